#!/usr/bin/env bash
# The SNMP agent's package as built: lintian-clean, snmpd's drop-in a conffile, the module the only thing
# that needs net-snmp (the service's and the console's packages depend on none of it), and depending on
# the service of its own version.
#   snmp_package.sh BUILD_DIR
set -euo pipefail
build=$1
fail() { echo "FAIL: $*" >&2; exit 1; }
cd "$build"
cpack -G DEB -D CPACK_COMPONENTS_ALL=snmp\;service\;console >/dev/null
deb=$(ls "$PWD"/rackmind-snmp_[0-9]*.deb)
lintian --fail-on error,warning "$deb"
[ "$(dpkg-deb -I "$deb" conffiles)" = /etc/snmp/snmpd.conf.d/rackmind.conf ] || fail "the drop-in is no conffile"
contents=$(dpkg-deb -c "$deb")
grep -q ' ./usr/lib/rackmind/rackmind-snmp-agent.so$' <<<"$contents" || fail "no module in $deb"
depends=$(dpkg-deb -f "$deb" Depends)
grep -q 'rackmindd (= ' <<<"$depends" && grep -q 'libsnmp' <<<"$depends" || fail "rackmind-snmp depends on: $depends"
for p in rackmindd rackmind; do
    depends=$(dpkg-deb -f "$(ls "$PWD/${p}"_[0-9]*.deb)" Depends)
    ! grep -Eo 'libsnmp[^,]*|libnetsnmp[^,]*' <<<"$depends" || fail "$p depends on net-snmp: $depends"
done
for program in rackmindd rackmind; do
    ! ldd "$build/$program" | grep -E 'libnetsnmp|libsnmp' || fail "$program loads net-snmp"
done
echo "rackmind-snmp: lint-free, drop-in a conffile; rackmindd and rackmind need no net-snmp"
