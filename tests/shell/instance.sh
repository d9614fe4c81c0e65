#!/usr/bin/env bash
# The real executable on a private X display: the first start with an empty settings store asks for
# the language first; a second start while one runs is refused; a start after the first was killed
# with SIGKILL is not.
set -euo pipefail
bin=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/instance.XXXX")
export TMPDIR=$work HOME=$work XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/run
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
pids=()
# -noreset: by default the server resets whenever its last client goes (a killed program, each
# xwininfo), and a program starting during the reset cannot connect.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$work/display" 2>/dev/null &
xvfb=$!
cleanup() {
    # What the program printed, when something went wrong.
    [ $? = 0 ] || { echo "--- program output:"; cat "$work/log" 2>/dev/null; }
    for p in "${pids[@]}"; do
        kill -9 "$p" 2>/dev/null || true
        # Segments left by the killed processes.
        ipcs -m -p | awk -v p="$p" '$3 == p { print $1 }' | xargs -r -n1 ipcrm -m 2>/dev/null || true
    done
    kill "$xvfb" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
# A busy machine starts the server slowly too.
for _ in $(seq 600); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "Xvfb did not start"; exit 1; }
export DISPLAY=:$(cat "$work/display") QT_QPA_PLATFORM=xcb

# The mapped top-level windows: "title WIDTHxHEIGHT" a line.
windows() { xwininfo -root -tree | sed -n 's/^ *0x[0-9a-f]* "\([^"]*\)": ([^)]*)  \([0-9]*x[0-9]*\)+.*/\1 \2/p'; }
# Waits for a window matching the pattern: up to 90 s, as a program starts slowly on a busy machine.
wait_window() {
    for _ in $(seq 900); do windows | grep -q -- "$1" && return 0; sleep 0.1; done
    echo "no window matching '$1'; windows:"; windows; return 1
}
start() { "$bin" >>"$work/log" 2>&1 & pids+=($!); }
# Kills the programs given (all that run) with SIGKILL and waits until they and their windows are gone,
# so that no window of theirs is taken for one of the next start's.
kill_all() {
    for p in "$@"; do kill -9 "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true; done
    for _ in $(seq 900); do [ -z "$(windows)" ] && return 0; sleep 0.1; done
    echo "windows left by killed programs:"; windows; return 1
}

echo "empty store: the language dialog comes first"
start; first=${pids[-1]}
wait_window ' 350x200$'
windows | grep -q ' 442x342$' && { echo "login shown with the language dialog"; exit 1; }
kill_all "$first"

mkdir -p "$XDG_CONFIG_HOME/Orvane"
printf '[General]\nLanguage=1\n' >"$XDG_CONFIG_HOME/Orvane/Rackmind.conf"
echo "a second start while one runs is refused"
start; first=${pids[-1]}
wait_window ' 442x342$'
start; second=${pids[-1]}
wait_window '^Critical '
kill -0 "$first"

echo "a start after kill -9 of the first is not refused"
kill_all "$second" "$first"
start; third=${pids[-1]}
# The login window comes only after the single-instance check let the program on; a refused start shows
# its box instead.
wait_window ' 442x342$\|^Critical '
if windows | grep -q '^Critical '; then echo "refused after a crash"; exit 1; fi
kill -0 "$third"
echo ok
