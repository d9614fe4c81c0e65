#!/usr/bin/env bash
# The Debian package as an operator meets it: built by CPack, free of lintian errors, installed with
# apt-get, rackmind-ctl answering --help from /usr/bin, the desktop entry valid, removed cleanly.
# Nothing here starts the console or talks to a network.
#   package_test.sh BUILD_DIR
set -euo pipefail
build=$1

# dpkg is one per machine: package tests of several build trees take turns.
exec 9>/run/lock/rackmind-package-test
flock -w 600 9

# A Rackmind the machine's owner installed is not ours to replace or remove.
if dpkg-query -W -f='${Status}' rackmind 2>/dev/null | grep -q 'install ok installed'; then
    echo "rackmind is installed on this machine already; not touching it"
    exit 77
fi

cd "$build"
rm -f rackmind_*.deb
cpack -G DEB >/dev/null
deb=$(ls "$PWD"/rackmind_*.deb)
lintian --fail-on error "$deb"

trap 'dpkg -r rackmind >/dev/null 2>&1 || true' EXIT
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    -o DPkg::Lock::Timeout=300 "$deb" >/dev/null
[ "$(command -v rackmind-ctl)" = /usr/bin/rackmind-ctl ]
/usr/bin/rackmind-ctl --help | grep -q '^  outlet PDU N on|off|cycle$'
/usr/bin/rackmind-ctl outlet --help | grep -q -- '--force'
desktop-file-validate /usr/share/applications/rackmind.desktop
for f in /usr/bin/rackmind /usr/share/icons/hicolor/256x256/apps/rackmind.png \
    /usr/share/bash-completion/completions/rackmind-ctl; do
    [ -f "$f" ] || { echo "missing after install: $f"; exit 1; }
done

dpkg -r rackmind >/dev/null
trap - EXIT
if [ -e /usr/bin/rackmind-ctl ] || dpkg-query -W -f='${Status}' rackmind 2>/dev/null | grep -q 'ok installed'; then
    echo "rackmind left behind after dpkg -r"
    exit 1
fi
echo "package $(basename "$deb") built, lint-free, installed, checked and removed"
