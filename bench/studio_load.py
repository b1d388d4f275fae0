#!/usr/bin/env python3
"""Load on the studio (not a timed test; prints its figures):
20 event watchers on one run plus 20 queued coarse runs, with plain GETs
going on beside them. Checks that every run completes, that each watcher
sees every event once and in order, and that GETs keep answering; reports
the server's resident memory (idle and peak), the GET latencies, and the
median time from the child's iteration line reaching "console.txt" to a
watcher receiving its event.
    python3 bench/studio_load.py build/veltaro"""

import os
import shutil
import statistics
import sys
import tempfile
import threading
import time

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.join(os.path.dirname(__file__), "../tests/server"))
os.environ.setdefault("VELTARO_EXE", sys.argv[1] if len(sys.argv) > 1 else "build/veltaro")
from studio_client import COARSE_ANSWERS, Studio  # noqa: E402

WATCHERS = 20
QUEUED = 20
# The watched run: the standard mesh, long enough to watch, every line timed.
WATCHED_ANSWERS = dict(COARSE_ANSWERS, mesh_choice="1", max_iterations="400")


def resident_kb(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def watch(studio, run_id, received):
    """Every event of the run with the time it arrived."""
    _, stream = studio.events(f"/api/runs/{run_id}/events")
    for event in stream:
        received.append((time.monotonic(), event))


def console_times(path, lines_seen, done):
    """When each "count = n" line first appears in the console file."""
    offset, partial = 0, b""
    while not done.is_set():
        try:
            with open(path, "rb") as console:
                console.seek(offset)
                chunk = console.read()
        except FileNotFoundError:
            chunk = b""
        now = time.monotonic()
        if chunk:
            offset += len(chunk)
            partial += chunk
            *whole, partial = partial.split(b"\n")
            for line in whole:
                if line.startswith(b"count = "):
                    lines_seen[int(line[8:line.index(b",")])] = now
        else:
            time.sleep(0.0005)


def main():
    runs = tempfile.mkdtemp(prefix="veltaro-load-")
    studio = Studio(runs, "--jobs", str(os.cpu_count()), "--queue", "100")
    pid = studio.process.pid
    try:
        time.sleep(0.5)
        idle = resident_kb(pid)
        _, watched = studio.post_run(WATCHED_ANSWERS)
        run_id = watched["id"]
        received = [[] for _ in range(WATCHERS)]
        watchers = [threading.Thread(target=watch, args=(studio, run_id, received[n]))
                    for n in range(WATCHERS)]
        lines_seen, done = {}, threading.Event()
        timer = threading.Thread(target=console_times,
                                 args=(os.path.join(runs, run_id, "console.txt"), lines_seen, done))
        timer.start()
        for watcher in watchers:
            watcher.start()
        queued = [studio.post_run()[1]["id"] for _ in range(QUEUED)]

        peak, gets, get_times = idle, 0, []
        while any(watcher.is_alive() for watcher in watchers) or any(
                studio.record(i)["status"] in ("queued", "running") for i in queued):
            started = time.monotonic()
            status, _ = studio.json("GET", "/api/runs")
            get_times.append(time.monotonic() - started)
            gets += status == 200
            peak = max(peak, resident_kb(pid))
            time.sleep(0.05)
        done.set()
        timer.join()
        for watcher in watchers:
            watcher.join()

        final = studio.record(run_id)
        expected = list(range(1, final["iterations"] + 1))
        complete = all(
            [e[2]["count"] for _, e in got if e[1] == "iteration"] == expected and
            [e[0] for _, e in got] == list(range(1, len(got) + 1)) for got in received)
        statuses = [studio.record(i)["status"] for i in queued]
        latencies = [(arrived - lines_seen[e[2]["count"]]) * 1000 for got in received
                     for arrived, e in got if e[1] == "iteration" and e[2]["count"] in lines_seen]
        print(f"watched run: {final['status']}, {final['iterations']} iterations; "
              f"{WATCHERS} watchers each saw every event once, in order: {complete}")
        print(f"queued runs done: {statuses.count('done')} of {QUEUED}")
        print(f"GET /api/runs during the load: {gets} of {len(get_times)} answered, "
              f"median {statistics.median(get_times) * 1000:.1f} ms, "
              f"max {max(get_times) * 1000:.1f} ms")
        print(f"server resident memory: idle {idle / 1024:.1f} MB, peak {peak / 1024:.1f} MB")
        print(f"line to event: median {statistics.median(latencies):.1f} ms, "
              f"90th percentile {statistics.quantiles(latencies, n=10)[-1]:.1f} ms "
              f"({len(latencies)} events)")
        ok = complete and statuses.count("done") == QUEUED and gets == len(get_times)
    finally:
        studio.stop()
        studio.close()
        shutil.rmtree(runs, ignore_errors=True)
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
