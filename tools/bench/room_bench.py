#!/usr/bin/python3
"""What one room's rackmindd costs, as a room runs it (scripts/bench --room runs it in the test bed):
history on, metrics on and scraped every 15 s as Prometheus would. For each size: the service's share of a
core and its resident memory over the span, the scrape's time and size, and how much the history file took
in the span, table by table (SQLite's dbstat, whole pages), with the raw table's rows per PDU per minute.

usage: room_bench.py BUILD_DIR SIZES SECONDS   (SECONDS rounded up to whole minutes)
"""
import os
import shutil
import sqlite3
import statistics
import subprocess
import sys
import tempfile
import time
import urllib.request

from service_bench import cpu_seconds, drain, rss_kib

TABLES = ("raw", "agg_minute", "agg_hour", "raw_open", "event")


def table_pages(path):
    """Bytes and rows of the history tables, read beside the running writer."""
    db = sqlite3.connect(f"file:{path}?mode=ro", uri=True, timeout=30)
    try:
        size = dict(db.execute("SELECT name, SUM(pgsize) FROM dbstat GROUP BY name"))
        rows = {t: db.execute(f"SELECT COUNT(*) FROM {t}").fetchone()[0] for t in TABLES}
        return {t: (size.get(t, 0), rows[t]) for t in TABLES}
    finally:
        db.close()


def scrape(port):
    started = time.monotonic()
    with urllib.request.urlopen(f"http://127.0.0.1:{port}/metrics", timeout=30) as reply:
        body = reply.read()
    return time.monotonic() - started, len(body)


def run(build, devices, seconds, port):
    work = tempfile.mkdtemp(prefix="room-bench.")
    sim = subprocess.Popen([f"{build}/tools/pdusim/pdusim", "--netns", os.environ["RACKMIND_BED_DEVICE_NS"],
                            "--devices", str(devices)], stdin=subprocess.PIPE, stdout=subprocess.DEVNULL)
    config = f"{work}/rackmindd.conf"
    with open(config, "w") as file:
        file.write(f"[Metrics]\nEnabled=true\nAddress=127.0.0.1\nPort={port}\n")
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
    env.update(HOME=work, TMPDIR=work, STATE_DIRECTORY=work)
    time.sleep(1)  # the simulator's sockets open
    service = subprocess.Popen([f"{build}/rackmindd", "--config", config], cwd=work, env=env,
                               stderr=subprocess.PIPE)
    os.set_blocking(service.stderr.fileno(), False)
    known, deadline = 0, time.monotonic() + 120
    while known < devices and time.monotonic() < deadline:
        time.sleep(0.5)
        known += drain(service).count("new PDU ")
    # The first minute's raw rows are out once a minute has turned.
    settle = time.monotonic() + 65
    while time.monotonic() < settle:
        time.sleep(0.5)
        drain(service)
    store = f"{work}/history.sqlite"
    before, cpu_before, started = table_pages(store), cpu_seconds(service.pid), time.monotonic()
    scrapes, sizes, next_scrape = [], [], started
    while time.monotonic() - started < seconds:
        if time.monotonic() >= next_scrape:
            took, size = scrape(port)
            scrapes.append(took)
            sizes.append(size)
            next_scrape += 15
        time.sleep(0.2)
        drain(service)
    span = time.monotonic() - started
    cpu_share = (cpu_seconds(service.pid) - cpu_before) / span
    rss = rss_kib(service.pid)
    after = table_pages(store)
    service.terminate()
    while service.poll() is None:
        time.sleep(0.2)
        drain(service)
    sim.terminate()
    sim.wait(10)
    shutil.rmtree(work, ignore_errors=True)
    grown = {t: (after[t][0] - before[t][0], after[t][1] - before[t][1]) for t in TABLES}
    return known, cpu_share, rss, scrapes, sizes, span, grown


def main():
    build, sizes, seconds = sys.argv[1], [int(s) for s in sys.argv[2].split(",")], int(sys.argv[3])
    # Raw readings are written a row per PDU when a minute ends: a span of whole minutes holds exactly
    # as many ends as minutes.
    seconds = max(60, (seconds + 59) // 60 * 60)
    print(f"room bench: {os.cpu_count()} cores, load average {os.getloadavg()[0]:.2f}, {seconds} s a size")
    print("| PDUs | known | CPU | RSS | scrape median | scrape max | scrape size | raw rows/PDU/min "
          "| raw bytes/row | raw per PDU per day | summaries+events in span, per PDU |")
    print("|-----:|-----:|-----:|-----:|-----:|-----:|-----:|-----:|-----:|-----:|-----:|")
    port = 9150
    for devices in sizes:
        known, cpu, rss, scrapes, lengths, span, grown = run(build, devices, seconds, port)
        raw_bytes, raw_rows = grown["raw"]
        per_row = raw_bytes / raw_rows if raw_rows else 0
        rows_per_min = raw_rows / devices / (span / 60)
        others = sum(grown[t][0] for t in TABLES if t != "raw") / devices
        print(f"| {devices} | {known} | {cpu * 100:.1f} % | {rss / 1024:.1f} MiB "
              f"| {statistics.median(scrapes) * 1000:.1f} ms | {max(scrapes) * 1000:.1f} ms "
              f"| {statistics.median(lengths) / 1e6:.2f} MB | {rows_per_min:.2f} | {per_row:.0f} B "
              f"| {per_row * rows_per_min * 1440 / 1024:.0f} KiB | {others / 1024:.1f} KiB |", flush=True)
        port += 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
