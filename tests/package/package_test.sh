#!/usr/bin/env bash
# The Debian packages as an administrator meets them: built by CPack, lintian-clean, each depending on
# what its programs load (the SQLite driver plugin too), the service and the command line free of the
# display stack, installed with apt-get, the maintainer scripts doing what Debian's do with systemd
# (through recording stand-ins for systemd's tools), the installed service run the way its unit runs it
# inside the network test bed, the console's Chinese face, the protected outlets and outlet sets with
# every package that switches outlets installed, removed and purged in every order (protection_orders.sh),
# and everything gone after the last purge. The SNMP agent's package beside the service and Debian's snmpd:
# its drop-in a conffile kept across an upgrade, the installed service serving through the installed snmpd,
# and the service polling on, saying so, once the agent's package is removed.
#   package_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1 src=$2
packages=(rackmind rackmindd rackmind-ctl rackmind-report-pdf)
snmp_package=rackmind-snmp dropin=/etc/snmp/snmpd.conf.d/rackmind.conf

# dpkg is one per machine: package tests of several build trees take turns.
exec 9>/run/lock/rackmind-package-test
flock -w 600 9

# A Rackmind the machine's owner installed is not ours to replace or remove.
for p in "${packages[@]}" "$snmp_package"; do
    if dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        echo "$p is installed on this machine already; not touching it"
        exit 77
    fi
done

fail() { echo "FAIL: $*" >&2; exit 1; }
work=$(mktemp -d)
# snmpd's AgentX socket folder, where the installed service looks for it; a tmpfs of the test's over it.
made_agentx=""
[ -e /var/agentx ] || { mkdir /var/agentx && made_agentx=1; }
cleanup() {
    dpkg -P "$snmp_package" "${packages[@]}" >/dev/null 2>&1 || true
    [ -z "$made_agentx" ] || rmdir /var/agentx
    getent passwd rackmind >/dev/null && deluser --system --quiet rackmind >/dev/null 2>&1
    getent group rackmind >/dev/null && delgroup --system --quiet rackmind >/dev/null 2>&1
    rm -rf "$work"
}
trap cleanup EXIT

cd "$build"
rm -f ./*.deb
cpack -G DEB >/dev/null
debs=()
for p in "${packages[@]}"; do debs+=("$(ls "$PWD/${p}"_[0-9]*.deb)"); done
lintian --fail-on error,warning "${debs[@]}"
snmp_deb=$(ls "$PWD/${snmp_package}"_[0-9]*.deb)

# A server that wants no SNMP: where no net-snmp is installed (this machine's package list without it),
# apt brings none of it with the service, and brings it with the agent's package (recommends included).
awk -v RS= -v ORS='\n\n' '!/(^|\n)Package: (libsnmp|libnetsnmp|snmp)/' /var/lib/dpkg/status >"$work/status"
without_snmp() { apt-get -s -o Dir::State::status="$work/status" install "$@" 2>&1; }
! without_snmp "${debs[1]}" | grep -E '^Inst (libsnmp|libnetsnmp|snmpd)' || fail "installing rackmindd pulls in net-snmp"
without_snmp "${debs[1]}" "$snmp_deb" | grep -Eq '^Inst libsnmp[0-9]' ||
    fail "apt -s without net-snmp installs no net-snmp with rackmind-snmp: $(without_snmp "${debs[1]}" "$snmp_deb")"

# Runs a command with systemd's tools replaced by recorders (one line per call in $work/calls) and
# /run/systemd/system present, as on a machine booted with systemd; only in a mount namespace of its own.
with_recorded_systemd() {
    : >"$work/calls"
    unshare --mount --propagation private -- bash -c '
        mount -t tmpfs tmpfs /run/systemd && mkdir /run/systemd/system
        for tool in systemctl deb-systemd-helper deb-systemd-invoke; do
            printf "#!/bin/sh\necho \"%s \$*\" >>%s\n" "$tool" "$0" >"/run/systemd/$tool"
            chmod +x "/run/systemd/$tool"
            mount --bind "/run/systemd/$tool" "/usr/bin/$tool"
        done
        exec "$@"' "$work/calls" "$@" >/dev/null
}
expect_calls() {
    local want
    want=$(printf '%s\n' "${@:2}")
    [ "$(cat "$work/calls")" = "$want" ] ||
        fail "$1: systemd was asked for"$'\n'"$(cat "$work/calls")"$'\n'"instead of"$'\n'"$want"
}
unit=rackmindd.service

with_recorded_systemd env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    -o DPkg::Lock::Timeout=300 "${debs[@]}"
# Known to systemd, not enabled, not started: it broadcasts on every interface once running.
expect_calls "install" "deb-systemd-helper unmask $unit" "deb-systemd-helper update-state $unit" \
    "systemctl --system daemon-reload"

# package | program | its run-time needs in Depends | what it must not load (headless)
checks=(
    "rackmind /usr/bin/rackmind libqt5sql5-sqlite,adduser -"
    "rackmindd /usr/bin/rackmindd libqt5sql5-sqlite,adduser libQt5Gui|libQt5Widgets|libQt5Charts|libX11"
    "rackmind-ctl /usr/bin/rackmind-ctl libqt5sql5-sqlite,adduser libQt5Gui|libQt5Widgets|libQt5Charts|libX11"
    "rackmind-report-pdf /usr/libexec/rackmind/rackmind-report-pdf libqt5gui5,rackmind-ctl -"
)
for row in "${checks[@]}"; do
    read -r p program needs banned <<<"$row"
    [ -x "$program" ] || fail "$p: $program not installed"
    depends=$(dpkg-query -W -f='${Depends}' "$p")
    for need in ${needs//,/ }; do
        grep -Eq "(^|, )$need( |,|$)" <<<"$depends" || fail "$p does not depend on $need: $depends"
    done
    [ "$banned" = - ] && continue
    ! ldd "$program" | grep -E "$banned" || fail "$p: $program loads the display stack"
    # Nothing it pulls in, however deep, is the display stack: it installs on a server without X.
    ! apt-cache depends --recurse --installed --no-recommends --no-suggests --no-conflicts --no-breaks \
        --no-replaces --no-enhances "$p" | grep -E '^(libqt5gui5|libqt5widgets5|libx11-6)$' ||
        fail "$p pulls in the display stack"
done
# The command line and its PDF helper serve no web page: neither depends on nor loads the metrics
# endpoint's libraries (HTTP server, TLS, YAML, crypt) or systemd's, which only the service talks to.
web='libcpp-httplib|libssl|libyaml-cpp|libcrypt1|libsystemd'
for row in "rackmind-ctl /usr/bin/rackmind-ctl" "rackmind-report-pdf /usr/libexec/rackmind/rackmind-report-pdf"; do
    read -r p program <<<"$row"
    depends=$(dpkg-deb -f "$(ls "$build/${p}"_[0-9]*.deb)" Depends)
    ! grep -Eo "($web)[^,]*" <<<"$depends" || fail "$p depends on the web stack: $depends"
    ! ldd "$program" | grep -E 'libcpp-httplib|libssl\.so|libcrypto\.so|libyaml-cpp|libcrypt\.so|libsystemd' ||
        fail "$p: $program loads the web stack"
done
desktop-file-validate /usr/share/applications/rackmind.desktop
# The console's Chinese: the face it depends on for it, alone beside the desk's DejaVu in a font
# configuration of the test's own, is what fontconfig gives for Simplified and Traditional Chinese.
cjk=$(dpkg-query -W -f='${Depends}' rackmind | tr ',' '\n' | grep -E '^ ?fonts-' | tr -d ' ') ||
    fail "rackmind depends on no font: $(dpkg-query -W -f='${Depends}' rackmind)"
faces=$(dpkg -L ${cjk//|/ } fonts-dejavu-core 2>/dev/null | grep -E '\.(ttf|ttc|otf)$') || true
{
    echo '<?xml version="1.0"?><!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd"><fontconfig>'
    for dir in $(dirname $faces | sort -u); do echo "<dir>$dir</dir>"; done
    echo "<cachedir>$work/fontcache</cachedir></fontconfig>"
} >"$work/fonts.conf"
for lang in zh-cn zh-tw; do
    face=$(FONTCONFIG_FILE=$work/fonts.conf fc-match -f '%{file}' ":lang=$lang")
    dpkg -S "$face" 2>/dev/null | grep -Eq "^(${cjk})[,:]" && FONTCONFIG_FILE=$work/fonts.conf \
        fc-list -f '%{file}\n' ":lang=$lang" | grep -qxF "$face" ||
        fail "fontconfig gives $face for $lang, not a face of $cjk"
done
[ -f /usr/share/bash-completion/completions/rackmind-ctl ] || fail "rackmind-ctl: no bash completion"
# The mail password lives in the configuration file: root and the service only.
getent passwd rackmind | grep -q ':/usr/sbin/nologin$' || fail "no system user rackmind without a shell"
# Rights an administrator relies on: the mail password for root and the service only; the machine's
# protected outlets and outlet sets readable by everyone, changed by root and the group rackmind.
rights() {
    # The state folder is its user's, as systemd makes it: else systemd hands it over with all it holds.
    local want=("/etc/rackmind/rackmindd.conf root:rackmind 640" "/var/lib/rackmind rackmind:rackmind 755"
        "/var/lib/rackmind/protected-outlets root:rackmind 664" "/var/lib/rackmind/outlet-sets root:rackmind 664")
    for row in "${want[@]}"; do
        read -r path owner mode <<<"$row"
        [ "$(stat -c '%U:%G %a' "$path" 2>&1)" = "$owner $mode" ] ||
            fail "$1: $path is $(stat -c '%U:%G %a' "$path" 2>&1), not $owner $mode"
    done
}
rights install
echo "aa:bb:cc:00:00:01/3" >/var/lib/rackmind/protected-outlets
grep -qx '/etc/rackmind/rackmindd.conf' /var/lib/dpkg/info/rackmindd.conffiles ||
    fail "the configuration file is not a conffile"
if command -v systemd-analyze >/dev/null; then
    ! systemd-analyze verify "/lib/systemd/system/$unit" 2>&1 | grep "$unit:" || fail "systemd finds fault with the unit"
fi

# The agent's package beside the service and Debian's snmpd: a running snmpd is restarted to read the drop-in.
with_recorded_systemd env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq -o DPkg::Lock::Timeout=300 \
    "$snmp_deb" snmpd
expect_calls "SNMP install" "deb-systemd-invoke try-restart snmpd.service"
grep -qx "$dropin" "/var/lib/dpkg/info/$snmp_package.conffiles" || fail "snmpd's drop-in is not a conffile"

# The installed service as its unit runs it, serving through the installed snmpd; every program runs
# inside the bed only. The bed runs its device command through a shell: the paths go quoted.
scenario=$(printf %q "$work/humid.scn") pdusim=$(printf %q "$build/tools/pdusim/pdusim")
in_bed() {
    "$src/scripts/netbed" --devices 2 \
        --device-cmd "printf 'at 5 set 1 humidity 90\n' >$scenario; exec $pdusim --no-noise --scenario $scenario </dev/null" \
        -- "$src/tests/package/installed_service.sh" "$src" "$@"
}
in_bed snmp
rights "after the service ran"

# The administrator's drop-in survives an upgrade of the agent; removed, the agent leaves it and takes its
# tables out of snmpd, and the service polls on without SNMP; purged, the drop-in goes and snmpd drops the
# socket's rights and the view it gave.
echo "# kept" >>"$dropin"
dpkg-deb -R "$snmp_deb" "$work/snmp_next"
sed -i 's/^Version: .*/&+1/' "$work/snmp_next/DEBIAN/control"
dpkg-deb -b --root-owner-group "$work/snmp_next" "$work/snmp_next.deb" >/dev/null
with_recorded_systemd env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq -o DPkg::Lock::Timeout=300 \
    "$work/snmp_next.deb"
expect_calls "SNMP upgrade" "deb-systemd-invoke try-restart snmpd.service"
tail -n 1 "$dropin" | grep -qx '# kept' || fail "the upgrade replaced the edited drop-in"
with_recorded_systemd dpkg -r "$snmp_package"
expect_calls "SNMP removal" "deb-systemd-invoke try-restart snmpd.service"
[ ! -e /usr/lib/rackmind/rackmind-snmp-agent.so ] && [ -e "$dropin" ] || fail "SNMP removal: module left or drop-in lost"
in_bed snmp-removed
with_recorded_systemd dpkg -P "$snmp_package"
expect_calls "SNMP purge" "deb-systemd-invoke try-restart snmpd.service"
[ ! -e "$dropin" ] || fail "the purge left snmpd's drop-in"
sets='{"sets":[{"name":"db-07","outlets":["AABBCC000001/3"]}]}'
echo "$sets" >/var/lib/rackmind/outlet-sets

# An upgrade restarts a running service (a stopped one stays stopped); the administrator's files stay.
echo "; kept" >>/etc/rackmind/rackmindd.conf
dpkg-deb -R "${debs[1]}" "$work/next"
sed -i 's/^Version: .*/&+1/' "$work/next/DEBIAN/control"
dpkg-deb -b --root-owner-group "$work/next" "$work/rackmindd_next.deb" >/dev/null
with_recorded_systemd env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq -o DPkg::Lock::Timeout=300 \
    "$work/rackmindd_next.deb"
expect_calls "upgrade" "systemctl --system daemon-reload" "deb-systemd-helper unmask $unit" \
    "deb-systemd-helper update-state $unit" "systemctl --system daemon-reload" \
    "deb-systemd-invoke try-restart $unit"
tail -n 1 /etc/rackmind/rackmindd.conf | grep -q '^; kept$' || fail "the upgrade replaced the edited configuration"
rights upgrade
grep -qx "aa:bb:cc:00:00:01/3" /var/lib/rackmind/protected-outlets || fail "the upgrade lost the protected outlets"
grep -qxF "$sets" /var/lib/rackmind/outlet-sets || fail "the upgrade lost the outlet sets"

# The service's user owns the state folder: a link it puts in place of the list or the sets is replaced
# by the next configuration, never followed, and root's file it points at stays as it was.
printf 'root only\n' >"$work/roots" && chmod 600 "$work/roots"
for file in protected-outlets outlet-sets; do
    setpriv --reuid=rackmind --regid=rackmind --clear-groups -- ln -sfT "$work/roots" "/var/lib/rackmind/$file"
done
DPKG_MAINTSCRIPT_PACKAGE=rackmind /var/lib/dpkg/info/rackmind.postinst configure
[ "$(stat -c '%U:%G %a' "$work/roots")" = "root:root 600" ] && [ "$(cat "$work/roots")" = "root only" ] ||
    fail "a link at the list or the sets reached $(stat -c '%U:%G %a' "$work/roots"): $(cat "$work/roots")"
rights "a link at the list and the sets"
for file in protected-outlets outlet-sets; do
    [ "$(stat -c %h "/var/lib/rackmind/$file")" = 1 ] || fail "$file has more than one name"
done
echo "aa:bb:cc:00:00:01/3" >/var/lib/rackmind/protected-outlets
echo "$sets" >/var/lib/rackmind/outlet-sets

with_recorded_systemd dpkg -r rackmindd
expect_calls "removal" "deb-systemd-invoke stop $unit" "systemctl --system daemon-reload" \
    "deb-systemd-helper mask $unit"
[ ! -e /usr/bin/rackmindd ] && [ -e /etc/rackmind/rackmindd.conf ] || fail "removal: program left or configuration lost"

with_recorded_systemd dpkg -P rackmindd
expect_calls "purge" "systemctl --system daemon-reload" "deb-systemd-helper purge $unit" \
    "deb-systemd-helper unmask $unit"
[ ! -e /etc/rackmind ] || fail "purge left /etc/rackmind"
! dpkg-statoverride --list | grep -q rackmind || fail "purge left the rights override"
# The console and the command line keep the protected outlets and the sets, alone in a folder of root's.
[ "$(ls -A /var/lib/rackmind | tr '\n' ' ')" = "outlet-sets protected-outlets " ] &&
    [ "$(stat -c %U /var/lib/rackmind)" = root ] &&
    grep -qx "aa:bb:cc:00:00:01/3" /var/lib/rackmind/protected-outlets &&
    grep -qxF "$sets" /var/lib/rackmind/outlet-sets ||
    fail "the service's purge took the desk's protected outlets or sets, or left its own files"

dpkg -P rackmind rackmind-report-pdf rackmind-ctl >/dev/null
[ ! -e /var/lib/rackmind ] || fail "the last purge left /var/lib/rackmind"

# Every package that switches outlets, alone and in every order; man-db's index is not rebuilt at each
# step (the next real installation brings it up to date).
unshare --mount --propagation private -- bash -c 'mount --bind /bin/true /usr/bin/mandb && exec "$@"' - \
    "$src/tests/package/protection_orders.sh" "${debs[0]}" "${debs[2]}" "${debs[1]}" "${debs[3]}"
for p in "${packages[@]}"; do
    ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || fail "$p left installed"
done

# Installed again over the single package of 0.1 (every program and the unit, no maintainer script, no
# configuration file), the system user left from before.
mkdir "$work/old"
for deb in "${debs[@]}"; do dpkg-deb -x "$deb" "$work/old"; done
rm -r "$work/old/etc"
mkdir "$work/old/DEBIAN"
printf 'Package: rackmind\nVersion: 0.1\nArchitecture: %s\nMaintainer: x <x@example.org>\nDescription: x\n' \
    "$(dpkg --print-architecture)" >"$work/old/DEBIAN/control"
dpkg-deb -b --root-owner-group "$work/old" "$work/rackmind_0.1.deb" >/dev/null
dpkg -i "$work/rackmind_0.1.deb" >/dev/null
with_recorded_systemd env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    -o DPkg::Lock::Timeout=300 "${debs[@]}"
for i in "${!packages[@]}"; do
    [ "$(dpkg-query -W -f='${Status} ${Version}' "${packages[i]}")" = \
        "install ok installed $(dpkg-deb -f "${debs[i]}" Version)" ] || fail "${packages[i]} not installed over 0.1"
done
/usr/bin/rackmindd --version >/dev/null && [ -f /lib/systemd/system/$unit ] || fail "over 0.1: the service is gone"
rights "over 0.1"
echo "packages $(basename -a "${debs[@]}" | tr '\n' ' ')built, lint-free, installed, run, upgraded, purged"
