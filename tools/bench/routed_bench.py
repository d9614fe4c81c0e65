#!/usr/bin/python3
"""Routed PDUs at scale (scripts/bench --routed runs it in the routed test bed): rackmindd sweeps a /20
behind the router for the simulated PDUs, then polls every found one by unicast. Every datagram is counted
on the router's two links (AF_PACKET sockets opened in the router's namespace), so nothing here relies on
the service's own account:
  sweep: sweep queries (the network query to an address not yet polled) per 100 ms and per second, against
         the configured pace;
  polls: after every PDU is found, per second of polling, the queries sent, how long the burst of one
         poll lasts and its peak per 10 ms, what the router passed on, the replies the devices sent and
         the replies that reached the console's side, and the receive-buffer drops there.

usage: routed_bench.py BUILD_DIR DEVICES RATES POLL_SECONDS
"""
import bisect
import ctypes
import os
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time

from service_bench import drain

PORT = 51230
CLONE_NEWNET = 0x40000000
ETH_P_ALL = 3
PACKET_OUTGOING = 4
SO_TIMESTAMPNS = 35  # also the control message's type
SOL_PACKET, PACKET_STATISTICS = 263, 6


def setns(path):
    libc = ctypes.CDLL(None, use_errno=True)
    fd = os.open(path, os.O_RDONLY)
    try:
        if libc.setns(fd, CLONE_NEWNET) != 0:
            raise OSError(ctypes.get_errno(), "setns " + path)
    finally:
        os.close(fd)


class Capture(threading.Thread):
    """UDP datagrams to or from the PDU port on both router links: (time, link, outgoing, src, dst, sport,
    cmd)."""

    def __init__(self, router_ns):
        super().__init__(daemon=True)
        own = f"/proc/{os.getpid()}/task/{threading.get_native_id()}/ns/net"
        keep = os.open(own, os.O_RDONLY)
        setns(f"/run/netns/{router_ns}")
        links = [name for _, name in socket.if_nameindex()]
        self.socks = []
        for link in sorted(l for l in links if l != "lo"):
            s = socket.socket(socket.AF_PACKET, socket.SOCK_RAW, socket.htons(ETH_P_ALL))
            s.setsockopt(socket.SOL_SOCKET, 33, 256 << 20)  # SO_RCVBUFFORCE
            s.setsockopt(socket.SOL_SOCKET, SO_TIMESTAMPNS, 1)
            s.bind((link, 0))
            self.socks.append((link, s))
        libc = ctypes.CDLL(None, use_errno=True)
        libc.setns(keep, CLONE_NEWNET)
        os.close(keep)
        self.records, self.running = [], True

    def run(self):
        import select
        socks = {s.fileno(): (i, s) for i, (_, s) in enumerate(self.socks)}
        while self.running:
            for fd in select.select(list(socks), [], [], 0.2)[0]:
                i, s = socks[fd]
                while True:
                    try:
                        data, ancillary, _, addr = s.recvmsg(128, 64, socket.MSG_DONTWAIT)
                    except BlockingIOError:
                        break
                    # The kernel's time of arrival: this thread may read a while later, in batches.
                    now = next((sec + nsec / 1e9 for level, kind, value in ancillary
                                if level == socket.SOL_SOCKET and kind == SO_TIMESTAMPNS
                                for sec, nsec in [struct.unpack("qq", value[:16])]), time.time())
                    # Ethernet, IPv4 without options, UDP, the frame's command byte.
                    if len(data) < 45 or data[12:14] != b"\x08\x00" or data[23] != 17:
                        continue
                    sport, dport = struct.unpack("!HH", data[34:38])
                    if PORT not in (sport, dport):
                        continue
                    self.records.append((now, i, addr[2] == PACKET_OUTGOING, data[26:30], data[30:34],
                                         sport, data[44]))

    def drops(self):
        return sum(struct.unpack("II", s.getsockopt(SOL_PACKET, PACKET_STATISTICS, 8))[1] for _, s in self.socks)


def udp_rcvbuf_errors(ns=None):
    text = subprocess.run((["ip", "netns", "exec", ns] if ns else []) + ["cat", "/proc/net/snmp"],
                          capture_output=True, text=True).stdout
    head, values = [l.split()[1:] for l in text.splitlines() if l.startswith("Udp:")][:2]
    return int(dict(zip(head, values))["RcvbufErrors"])


def peak(times, window):
    """Most datagrams in any window of the given length."""
    best, j = 0, 0
    for i, t in enumerate(times):
        while times[j] < t - window:
            j += 1
        best = max(best, i - j + 1)
    return best


def run(build, devices, rate, poll_seconds, router_ns, device_ns):
    work = tempfile.mkdtemp(prefix="routed-bench.")
    with open(f"{work}/target.prt", "w") as file:
        file.write(f"[0]\ntarget=10.210.0.0/20\n[sweep]\nrate={rate}\n")
    with open(f"{work}/rackmindd.conf", "w") as file:
        file.write("[Metrics]\nEnabled=false\n")
    sim = subprocess.Popen([f"{build}/tools/pdusim/pdusim", "--netns", device_ns, "--devices", str(devices),
                            "--no-noise"], stdin=subprocess.PIPE, stdout=subprocess.DEVNULL)
    time.sleep(1)
    capture = Capture(router_ns)
    capture.start()
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
    env.update(HOME=work, TMPDIR=work, STATE_DIRECTORY=work)
    started = time.time()
    service = subprocess.Popen([f"{build}/rackmindd", "--config", f"{work}/rackmindd.conf"], cwd=work,
                               env=env, stderr=subprocess.PIPE)
    os.set_blocking(service.stderr.fileno(), False)
    known, log = 0, ""
    while known < devices and time.time() - started < 4094 / rate + 60:
        time.sleep(0.5)
        chunk = drain(service)
        log += chunk
        known += chunk.count("new PDU ")
    all_known = time.time()
    drops_console, drops_devices = udp_rcvbuf_errors(), udp_rcvbuf_errors(device_ns)
    offline_before = log.count("\" offline")
    while time.time() - all_known < poll_seconds:
        time.sleep(0.5)
        log += drain(service)
    drops_console = udp_rcvbuf_errors() - drops_console
    drops_devices = udp_rcvbuf_errors(device_ns) - drops_devices
    capture.running = False
    capture.join()
    service.terminate()
    service.wait(30)
    sim.terminate()
    sim.wait(10)
    shutil.rmtree(work, ignore_errors=True)
    # Polls are counted once the last found PDUs are polled in full and up to a second before the end.
    window = (all_known + 3, all_known + poll_seconds - 1)
    return analyse(capture, rate, all_known - started, known, window, drops_console, drops_devices,
                   log.count("\" offline") - offline_before)


def analyse(capture, rate, t_known, known, window, drops_console, drops_devices, offline):
    link_console = 0  # the links sorted by name: the console's side first (ra.. before rb..)
    # A poll sends the network query first and five more right after it; a sweep sends the network query
    # alone. So a network query is the sweep's unless the same address gets a poll's second frame at once.
    second = {}
    for t, link, outgoing, src, dst, sport, cmd in capture.records:
        if cmd == 2 and (link == link_console) != outgoing:
            second.setdefault((link, dst), []).append(t)

    def swept(t, link, dst):
        times = second.get((link, dst), [])
        i = bisect.bisect_left(times, t)
        return i == len(times) or times[i] - t > 0.05

    sweep, queries, queries_out, replies_in, replies_out = [], [], 0, 0, 0
    for t, link, outgoing, src, dst, sport, cmd in capture.records:
        # Queries come in on the console's link and leave on the devices'; replies the other way round.
        query = (link == link_console) != outgoing
        if query and cmd == 1 and swept(t, link, dst):
            if link == link_console:
                sweep.append(t)
        elif not window[0] <= t < window[1]:
            continue
        elif query:
            if link == link_console:
                queries.append(t)
            else:
                queries_out += 1
        else:
            replies_in += not outgoing
            replies_out += outgoing
    sweep_rate = len(sweep) / (sweep[-1] - sweep[0]) if len(sweep) > 1 else 0
    # One poll's burst: queries with less than 100 ms between them.
    bursts, start = [], None
    for i, t in enumerate(queries):
        if start is None:
            start = t
        if i + 1 == len(queries) or queries[i + 1] - t > 0.1:
            bursts.append(t - start)
            start = None
    seconds = window[1] - window[0]
    per_s = len(queries) / seconds
    return {
        "known": known, "t_known": t_known, "sweep": len(sweep), "sweep_rate": sweep_rate,
        "sweep_100ms": peak(sweep, 0.1), "sweep_1s": peak(sweep, 1.0), "rate": rate,
        "queries_s": per_s, "burst_ms": 1000 * sorted(bursts)[len(bursts) // 2] if bursts else 0,
        "peak_10ms": peak(queries, 0.01), "router_passed": queries_out / max(1, len(queries)),
        "replies_s": replies_in / seconds, "replies_console_s": replies_out / seconds,
        "rcvbuf_console": drops_console, "rcvbuf_devices": drops_devices, "offline": offline,
        "capture_drops": capture.drops(),
    }


def main():
    build, devices = sys.argv[1], int(sys.argv[2])
    rates, poll_seconds = [int(r) for r in sys.argv[3].split(",")], int(sys.argv[4])
    router_ns, device_ns = os.environ["RACKMIND_BED_ROUTER_NS"], os.environ["RACKMIND_BED_DEVICE_NS"]
    # The kernel keeps one neighbour table for every namespace together (1024 entries by default), so the
    # router could not reach more than about a thousand PDUs on its own link: the swept /20 goes through
    # one neighbour, the device namespace, which holds every PDU's address, as a site's PDUs lie behind
    # a further router.
    subprocess.run(["ip", "-n", router_ns, "route", "add", "10.210.0.0/20", "via", "10.210.1.1"], check=True)
    print(f"routed bench: {devices} PDUs behind the router, a /20 swept, {os.cpu_count()} cores, "
          f"load average {os.getloadavg()[0]:.2f}")
    print("| pace | found | all found after | sweep datagrams | sweep mean /s | most in 100 ms | most in 1 s "
          "| poll queries /s | one poll's burst | most in 10 ms | passed by the router | replies sent /s "
          "| replies reaching the console /s | console rcvbuf drops | device rcvbuf drops | offline | capture drops |")
    print("|" + "-----:|" * 17)
    for rate in rates:
        r = run(build, devices, rate, poll_seconds, router_ns, device_ns)
        print(f"| {rate}/s | {r['known']} | {r['t_known']:.1f} s | {r['sweep']} | {r['sweep_rate']:.1f} "
              f"| {r['sweep_100ms']} | {r['sweep_1s']} | {r['queries_s']:.0f} | {r['burst_ms']:.1f} ms "
              f"| {r['peak_10ms']} | {100 * r['router_passed']:.1f} % | {r['replies_s']:.0f} "
              f"| {r['replies_console_s']:.0f} | {r['rcvbuf_console']} | {r['rcvbuf_devices']} | {r['offline']} "
              f"| {r['capture_drops']} |", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
