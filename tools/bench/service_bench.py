#!/usr/bin/python3
"""The service as systemd starts it, against simulated rooms, inside the network test bed (scripts/bench
--service runs it there): time from exec to the first poll (the service's READY=1, told only once a query
has gone out), time until every PDU is known, resident memory once they are and after a while more, and
the share of a core it took in that while.

usage: service_bench.py BUILD_DIR SIZES SECONDS
"""
import os
import select
import socket
import subprocess
import sys
import tempfile
import time


def rss_kib(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def drain(service):
    """What the service has written to its log so far, without waiting (a text stream's read may fail on
    a pipe left empty)."""
    try:
        return os.read(service.stderr.fileno(), 1 << 20).decode(errors="replace")
    except BlockingIOError:
        return ""


def run(build, devices, seconds):
    work = tempfile.mkdtemp(prefix="service-bench.")
    sim = subprocess.Popen([f"{build}/tools/pdusim/pdusim", "--netns", os.environ["RACKMIND_BED_DEVICE_NS"],
                            "--devices", str(devices)], stdin=subprocess.PIPE, stdout=subprocess.DEVNULL)
    notify = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
    notify.bind(f"{work}/notify")
    config = f"{work}/rackmindd.conf"
    with open(config, "w") as file:
        file.write("[Metrics]\nEnabled=false\n")
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
    env.update(NOTIFY_SOCKET=f"{work}/notify", HOME=work, TMPDIR=work, XDG_DATA_HOME=f"{work}/data")
    time.sleep(1)  # the simulator's sockets open
    started = time.monotonic()
    service = subprocess.Popen([f"{build}/rackmindd", "--config", config], cwd=work, env=env,
                               stderr=subprocess.PIPE)
    ready = None
    while ready is None and time.monotonic() - started < 60:
        if select.select([notify], [], [], 1)[0] and b"READY=1" in notify.recv(4096).split(b"\n"):
            ready = time.monotonic() - started
    known, all_known, log = 0, None, ""
    os.set_blocking(service.stderr.fileno(), False)
    while all_known is None and time.monotonic() - started < 120:
        select.select([service.stderr], [], [], 1)
        chunk = drain(service)
        log += chunk
        known += chunk.count("new PDU ")
        if known >= devices:
            all_known = time.monotonic() - started
    rss_known = rss_kib(service.pid)
    cpu_known = cpu_seconds(service.pid)
    # The service goes on logging (every PDU's online line, at 2000 PDUs more than a pipe holds): a pipe
    # nobody reads would block its writes and then its stop.
    drain_until = time.monotonic() + seconds
    while time.monotonic() < drain_until:
        select.select([service.stderr], [], [], 0.5)
        drain(service)
    rss_later = rss_kib(service.pid)
    cpu_share = (cpu_seconds(service.pid) - cpu_known) / seconds
    service.terminate()
    while service.poll() is None:
        select.select([service.stderr], [], [], 0.5)
        drain(service)
        if time.monotonic() - drain_until > 60:
            break
    service.wait(1)
    sim.terminate()
    sim.wait(10)
    return ready, all_known, known, rss_known, rss_later, cpu_share


def main():
    build, sizes, seconds = sys.argv[1], [int(s) for s in sys.argv[2].split(",")], int(sys.argv[3])
    print(f"service bench: {os.cpu_count()} cores, load average {os.getloadavg()[0]:.2f}")
    print("| PDUs | exec to first poll | all PDUs known | known | RSS then | RSS after %d s | per PDU | CPU in those s |" % seconds)
    print("|-----:|-----:|-----:|-----:|-----:|-----:|-----:|-----:|")
    base = None
    for devices in sizes:
        ready, all_known, known, rss_known, rss_later, cpu_share = run(build, devices, seconds)
        base = rss_later if base is None else base
        per_pdu = (rss_later - base) / devices if devices > sizes[0] else 0
        fmt = lambda t: "—" if t is None else f"{t * 1000:.0f} ms"
        print(f"| {devices} | {fmt(ready)} | {fmt(all_known)} | {known} | {rss_known / 1024:.1f} MiB "
              f"| {rss_later / 1024:.1f} MiB | {per_pdu:.1f} KiB | {cpu_share * 100:.1f} % |")
        if ready is None or all_known is None:
            return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
