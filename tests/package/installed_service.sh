#!/usr/bin/env bash
# Inside the test bed, as root: the installed rackmindd run the way its unit runs it (the unit's user,
# state folder as HOME and working directory, a private /tmp, its capability), with the settings an
# administrator wrote into the shipped configuration file. It must poll the simulated PDUs, serve
# metrics (the machine's outlet sets among them), mail an alarm to the mail server on loopback and keep
# its history where rackmind-ctl, run by an ordinary user with no setting, finds it.
#   installed_service.sh SOURCE_DIR [snmp | snmp-removed]
#                                   (PDU 1 of the bed's simulator turns humid after a few seconds)
# snmp: SNMP on, and Debian's snmpd run as its unit runs it: a walk through it shows the polled PDUs.
# snmp-removed: SNMP on without the agent's package: the service says so and polls on; nothing else.
set -euo pipefail
src=$1 snmp=${2:-}
# snmpd's AgentX socket folder and its state are a tmpfs of this run's own (/var/agentx must exist).
if [ "$snmp" = snmp ] && [ -z "${RACKMIND_OWN_MOUNTS:-}" ]; then
    exec unshare --mount --propagation private -- env RACKMIND_OWN_MOUNTS=1 bash -c '
        mount -t tmpfs -o mode=0755 tmpfs /var/agentx && mount -t tmpfs -o mode=0755 tmpfs /var/lib/snmp &&
        chown Debian-snmp:Debian-snmp /var/lib/snmp && exec "$@"' - "$0" "$@"
fi
unit=/lib/systemd/system/rackmindd.service
work=$(mktemp -d)
service_pid="" smtp_pid="" snmpd_pid=""
cleanup() {
    [ -n "$service_pid" ] && kill "$service_pid" 2>/dev/null
    [ -n "$snmpd_pid" ] && kill "$snmpd_pid" 2>/dev/null
    [ -n "$smtp_pid" ] && kill "$smtp_pid" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    [ -f "$work/service.log" ] && sed 's/^/  rackmindd: /' "$work/service.log" >&2
    [ -f "$work/snmpd.log" ] && sed 's/^/  snmpd: /' "$work/snmpd.log" >&2
    exit 1
}
key() { sed -n "s/^$1=//p" "${2:-$unit}" | head -n 1; }
# Retries a check for up to $1 seconds; a service that has ended fails at once.
within() {
    local limit=$1
    shift
    for _ in $(seq $((limit * 2))); do
        "$@" && return 0
        [ -z "$service_pid" ] || kill -0 "$service_pid" 2>/dev/null || fail "rackmindd ended"
        sleep 0.5
    done
    return 1
}

# The unit as installed, no line rewritten: its program is there and runs.
read -ra exec_start <<<"$(key ExecStart)"
[ -x "${exec_start[0]}" ] || fail "the unit's ExecStart names ${exec_start[0]}, which is not installed"
"${exec_start[0]}" --version | grep -q '^rackmindd [0-9]' || fail "${exec_start[0]} --version"
conf=""
for ((i = 1; i < ${#exec_start[@]}; i++)); do
    [ "${exec_start[i]}" = --config ] && conf=${exec_start[i + 1]}
done
[ -f "$conf" ] || fail "the unit reads no configuration file that the package installed (${conf:-none})"

# An administrator's edit: keys uncommented and set in their sections, the rest left as shipped.
/usr/bin/python3 "$src/tests/mail/smtp_server.py" real --user room@example.org --password s3cret \
    >"$work/smtp.log" &
smtp_pid=$!
within 20 grep -q '^PORT ' "$work/smtp.log" || fail "the mail server did not start"
smtp_port=$(sed -n 's/^PORT //p' "$work/smtp.log")
/usr/bin/python3 - "$conf" Smtp/Host=127.0.0.1 "Smtp/Port=$smtp_port" Smtp/Account=room@example.org \
    Smtp/Password=s3cret Smtp/AllowUnencryptedPassword=true Smtp/Receiver=ops@example.org Metrics/Enabled=true \
    "Snmp/Enabled=$([ -n "$snmp" ] && echo true || echo false)" <<'EOF'
import re, sys
path, pairs = sys.argv[1], sys.argv[2:]
lines = open(path).read().split("\n")
for pair in pairs:
    name, value = pair.split("=", 1)
    section, key = name.split("/")
    start = lines.index("[%s]" % section)
    end = next((i for i in range(start + 1, len(lines)) if lines[i].startswith("[")), len(lines))
    hit = [i for i in range(start + 1, end) if re.fullmatch(";?%s=.*" % re.escape(key), lines[i])]
    if hit:
        lines[hit[0]] = "%s=%s" % (key, value)
    else:
        lines.insert(start + 1, "%s=%s" % (key, value))
open(path, "w").write("\n".join(lines))
EOF

# What systemd makes for the unit: the state folder owned by the unit's user, HOME and the working
# directory from the unit, STATE_DIRECTORY, a private /tmp, the one capability, and everything but the
# state folder read-only (ProtectSystem=strict).
user=$(key User) group=$(key Group)
state=/var/lib/$(key StateDirectory)
# The state folder as systemd makes it: mode 0755, and handed with all it holds to the unit's user unless
# it is that user's already.
mkdir -p "$state"
chmod 0755 "$state"
[ "$(stat -c %U:%G "$state")" = "$user:$group" ] || chown -R "$user:$group" "$state"
read -ra unit_env <<<"$(key Environment)"

# snmpd as its unit starts it (as root, dropping to its user), reading the drop-in the package installed.
if [ "$snmp" = snmp ]; then
    read -ra snmpd_start <<<"$(key ExecStart /lib/systemd/system/snmpd.service)"
    "${snmpd_start[@]}" >"$work/snmpd.log" 2>&1 &
    snmpd_pid=$!
    within 20 test -S /var/agentx/master || fail "snmpd made no AgentX socket"
fi

# Its single-instance token is keyed by a file in that /tmp, so it meets no other program's token; a fresh
# tmpfs reuses the numbers of other runs' leftovers, hence the IPC namespace of its own.
unshare --mount --ipc --propagation private -- bash -c 'mount -t tmpfs -o mode=1777 tmpfs /tmp &&
    mount --bind "$0" "$0" && mount -o remount,bind,ro / &&
    { ! mountpoint -q /var/agentx || mount -o remount,bind,ro /var/agentx; } && exec "$@"' "$state" \
    setpriv --reuid "$user" --regid "$group" --init-groups --no-new-privs \
    --inh-caps +net_admin --ambient-caps +net_admin --bounding-set -all,+net_admin \
    env -i --chdir="$(key WorkingDirectory)" PATH=/usr/bin:/bin LANG=C.UTF-8 "${unit_env[@]}" \
    STATE_DIRECTORY="$state" "${exec_start[@]}" >"$work/service.log" 2>&1 &
service_pid=$!

devices=$RACKMIND_BED_DEVICE_COUNT
online() {
    [ "$(curl -sf http://127.0.0.1:9150/metrics | grep -c '^rackmind_pdu_online{.*} 1$')" = "$devices" ]
}
within 60 online || fail "the metrics do not show the $devices simulated PDUs online"
macs_online() {
    curl -sf http://127.0.0.1:9150/metrics | sed -n 's/^rackmind_pdu_online{mac="\([0-9A-F]*\)"} 1$/\1/p' | sort
}
if [ "$snmp" = snmp-removed ]; then
    grep -qF 'snmp: not serving: /usr/lib/rackmind/rackmind-snmp-agent.so is missing' "$work/service.log" ||
        fail "no word that the SNMP agent's module is missing"
    kill -TERM "$service_pid"
    wait "$service_pid" || fail "rackmindd without its SNMP module did not end cleanly on SIGTERM"
    service_pid=""
    echo "installed rackmindd without rackmind-snmp polled $devices PDUs and said SNMP is missing"
    exit 0
fi
if [ "$snmp" = snmp ]; then
    within 30 grep -q 'snmp: serving through the master agent at /var/agentx/master' "$work/service.log" ||
        fail "the service does not serve through snmpd"
    grep -q ' /usr/lib/rackmind/rackmind-snmp-agent.so$' "/proc/$service_pid/maps" ||
        fail "the service did not load the installed module"
    # The chassis of every PDU online, by serial number (its MAC), through snmpd's own port and community.
    walked() {
        snmpwalk -v2c -c public -On -Oqv 127.0.0.1 1.3.6.1.2.1.47.1.1.1.1.11 2>"$work/snmpwalk.err" |
            tr -d '":' | grep -E '^[0-9A-F]{12}$' | sort >"$work/walked"
        [ "$(cat "$work/walked")" = "$(macs_online)" ]
    }
    within 20 walked || fail "snmpwalk through snmpd shows $(tr '\n' ' ' <"$work/walked") for $(macs_online | tr '\n' ' ')$(cat "$work/snmpwalk.err")"
fi
# The machine's outlet sets as root changes them in place: the running service, under its own user, reads
# the file the package made and shows the set's outlets as the PDU shows them.
mac=$(macs_online | head -n 1)
printf '{"sets": [{"name": "feed", "outlets": ["%s/1", "%s/2"]}]}\n' "$mac" "$mac" >/var/lib/rackmind/outlet-sets
set_shown() {
    local page on
    page=$(curl -sf http://127.0.0.1:9150/metrics)
    on=$(grep -cE "^rackmind_pdu_outlet_on\{mac=\"$mac\",outlet=\"[12]\"\} 1$" <<<"$page") || true
    grep -qx "rackmind_outlet_set_on{set=\"feed\"} $(awk "BEGIN { print $on / 2 }")" <<<"$page"
}
within 20 set_shown || fail "the service does not show the machine's outlet set"
alarm_mailed() {
    /usr/bin/python3 -c '
import base64, json, sys
mails = [json.loads(l) for l in open(sys.argv[1]) if l.startswith("{")]
sys.exit(not any(m["event"] == "mail" and m["user"] == "room@example.org" and
                 b"Humidity" in base64.b64decode(m["data"]) for m in mails))' "$work/smtp.log"
}
within 60 alarm_mailed || fail "no alarm mail reached the mail server"
[ "$(stat -c %U "$state/history.sqlite")" = "$user" ] || fail "no history store in $state"

# An ordinary user, no environment override: rackmind-ctl reads the service's history.
history_rows() {
    setpriv --reuid nobody --regid nogroup --clear-groups env -i HOME=/nonexistent PATH=/usr/bin:/bin \
        rackmind-ctl history "$(head -n 1 "$RACKMIND_BED_DEVICE_ADDRS_FILE")" \
        --from "$(date -d '-1 hour' -Iseconds)" --to "$(date -d '+1 hour' -Iseconds)" >"$work/history.txt" \
        2>"$work/history.err" && [ "$(grep -c '[0-9]' "$work/history.txt")" -gt 0 ]
}
within 60 history_rows || fail "rackmind-ctl history as nobody: $(cat "$work/history.err")"

kill -TERM "$service_pid"
wait "$service_pid" || fail "rackmindd did not end cleanly on SIGTERM"
service_pid=""
# A stopped service leaves no files beside its store, and an ordinary user cannot make them there.
history_rows || fail "rackmind-ctl history as nobody, the service stopped: $(cat "$work/history.err")"
# The month's report as a PDF from the service's store: an ordinary user, no display, nothing set.
reports=$(mktemp -d)
chmod 1777 "$reports"
month=$(date +%Y-%m)
# A sanitizer build's leak checker goes along with its suppressions (the toolkit's offscreen screen is
# never freed), copied where the user nobody can read them.
sanitizer_env=()
supp=""
IFS=: read -ra lsan_options <<<"${LSAN_OPTIONS:-}"
for option in "${lsan_options[@]}"; do
    if [[ $option == suppressions=* ]]; then supp=${option#suppressions=}; fi
done
if [ -n "$supp" ] && [ -r "$supp" ]; then
    install -m 644 "$supp" "$reports/lsan.supp"
    sanitizer_env+=("LSAN_OPTIONS=suppressions=$reports/lsan.supp:print_suppressions=0")
fi
setpriv --reuid nobody --regid nogroup --clear-groups env -i HOME=/nonexistent PATH=/usr/bin:/bin \
    "${sanitizer_env[@]}" \
    rackmind-ctl report --month "$month" --pdf "$reports/report.pdf" 2>"$work/report.err" ||
    fail "rackmind-ctl report --pdf as nobody: $(cat "$work/report.err")"
pdftotext "$reports/report.pdf" - | grep -q "$month" || fail "the report PDF does not name its month"
rm -r "$reports"
echo "installed rackmindd polled $devices PDUs${snmp:+ (walked through snmpd)}, served metrics with the outlet set, mailed the alarm; rackmind-ctl read its history and made its report"
