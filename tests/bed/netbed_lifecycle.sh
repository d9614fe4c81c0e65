#!/usr/bin/env bash
# The bed passes its command's exit status through and removes its namespaces and every process in
# them on a normal exit, on failure, on SIGINT and SIGTERM, and (on the next run) after SIGKILL.
set -euo pipefail
set -m # background beds get their own process group, so that they can be interrupted like a foreground one
netbed=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
marker="9$$"

fail() { echo "FAIL: $*" >&2; exit 1; }
exists() { ip netns list | awk '{print $1}' | grep -qx "$1"; }
# The bed's command records its namespaces, then runs the rest of its arguments.
record='echo "$RACKMIND_BED_CONSOLE_NS $RACKMIND_BED_DEVICE_NS ${RACKMIND_BED_ROUTER_NS:-}" >'"$tmp"'/ns; '
wait_for_ns() {
    for _ in $(seq 600); do [ -s "$tmp/ns" ] && return 0; sleep 0.05; done
    fail "bed did not start"
}
check_gone() {
    local c d r
    read -r c d r <"$tmp/ns"
    exists "$c" && fail "$1: console namespace $c left behind"
    exists "$d" && fail "$1: device namespace $d left behind"
    [ -n "$r" ] && exists "$r" && fail "$1: router namespace $r left behind"
    pgrep -a -x sleep | grep -q " $marker\$" && fail "$1: a process of the bed is still running"
    rm -f "$tmp/ns"
}

# Normal exit and failure: the command's status comes back, the device command is stopped.
for want in 0 7; do
    status=0
    "$netbed" --links 2 --device-cmd "exec sleep $marker" -- bash -c "$record exit $want" || status=$?
    [ "$status" = "$want" ] || fail "exit status $status, expected $want"
    check_gone "exit $want"
done

# The device namespace really holds the device addresses and runs the device command.
"$netbed" --devices 3 --device-cmd "ip -br addr >$tmp/dev-addrs; exec sleep $marker" -- \
    bash -c "$record for _ in \$(seq 600); do [ -s $tmp/dev-addrs ] && break; sleep 0.05; done"
grep -q '10.200.1.3/16' "$tmp/dev-addrs" || fail "device addresses missing: $(cat "$tmp/dev-addrs")"
check_gone "device command"

# Interrupted, or killed outright: then nothing can run at that moment, and the next bed sweeps it away.
for sig in INT TERM KILL; do
    "$netbed" --device-cmd "exec sleep $marker" -- bash -c "$record exec sleep $marker" &
    pid=$!
    wait_for_ns
    kill -"$sig" "$pid"
    status=0
    wait "$pid" 2>/dev/null || status=$?
    [ "$status" != 0 ] || fail "SIG$sig: bed reported success"
    [ "$sig" != KILL ] || "$netbed" -- true
    check_gone "SIG$sig"
done

# The routed layout: its router goes with the rest, at the end and after SIGKILL.
"$netbed" --routed -- bash -c "$record true"
check_gone "routed exit"
"$netbed" --routed -- bash -c "$record exec sleep $marker" &
pid=$!
wait_for_ns
kill -KILL "$pid"
wait "$pid" 2>/dev/null || true
"$netbed" -- true
check_gone "routed SIGKILL"

# Killed outright, its namespaces then removed by hand: the next bed still starts.
"$netbed" --device-cmd "exec sleep $marker" -- bash -c "$record exec sleep $marker" &
pid=$!
wait_for_ns
kill -KILL "$pid"
wait "$pid" 2>/dev/null || true
for ns in $(cat "$tmp/ns"); do
    ip netns pids "$ns" | xargs -r kill -KILL
    ip netns del "$ns"
done
"$netbed" -- true || fail "a bed whose namespaces were already removed stops the next one"
check_gone "namespaces removed by hand"
echo "netbed lifecycle: ok"
