#!/usr/bin/env bash
# The evening timer and its service as outlets.md shows them, made an instance the way
# "systemctl enable rackmind-sequence@room-up.timer" makes one, pass systemd's own check: every key
# known and valid, the timer's schedule parsed, the service it starts present, its program there.
# The program is the one just built, where the installed one would be.
#   sequence_units.sh SOURCE_DIR RACKMIND_CTL
set -euo pipefail
src=$1 ctl=$2
command -v systemd-analyze >/dev/null || { echo "no systemd-analyze"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for kind in service timer; do
    sed "s#/usr/bin/rackmind-ctl #$ctl #" "$src/docs/rackmind-sequence@.$kind" >"$work/rackmind-sequence@room-up.$kind"
done
# Other units of this machine may draw remarks of their own; only ours count.
cd "$work"
if ! out=$(systemd-analyze verify --man=no ./rackmind-sequence@room-up.timer ./rackmind-sequence@room-up.service 2>&1) ||
    grep rackmind-sequence <<<"$out"; then
    echo "FAIL: systemd finds fault with the units:"$'\n'"$out" >&2
    exit 1
fi
# Every name a sequence may have (letters, digits and -_.@) must be one the timer can be enabled for:
# its instance reaches rackmind-ctl as %i, unescaped only where systemd needs no escape.
for name in db@7 a_b.c-d; do
    sed "s#/usr/bin/rackmind-ctl #$ctl #" "$src/docs/rackmind-sequence@.service" >"$work/rackmind-sequence@$name.service"
    if ! out=$(systemd-analyze verify --man=no "./rackmind-sequence@$name.service" 2>&1); then
        echo "FAIL: a sequence named $name cannot be run by the timer:"$'\n'"$out" >&2
        exit 1
    fi
done
echo "rackmind-sequence@room-up.timer and .service verified"
