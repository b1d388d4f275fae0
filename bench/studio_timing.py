#!/usr/bin/env python3
"""A run through the studio against the same run from the command line:
10 interleaved pairs each on the coarse and the standard mesh (the shipped
cylinder, to the end). The server's time is from the post to the final
status event; the command line's from starting the program to its exit.
On a shared machine the runs' own times vary more than 5%, so it also
prints the server's own share of each run: the whole time less the time
the child ran (its record's started to finished).
    python3 bench/studio_timing.py build/veltaro [pairs]"""

import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from datetime import datetime

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.join(os.path.dirname(__file__), "../tests/server"))
os.environ.setdefault("VELTARO_EXE", sys.argv[1] if len(sys.argv) > 1 else "build/veltaro")
from studio_client import COARSE_ANSWERS, EXE, Studio, example_picture  # noqa: E402

PAIRS = int(sys.argv[2]) if len(sys.argv) > 2 else 10
ORDER = ["reynolds_number", "kinematic_viscosity", "density", "tunnel_height", "tunnel_length",
         "mesh_choice", "max_iterations"]


def seconds(iso_time):
    return datetime.fromisoformat(iso_time.replace("Z", "+00:00")).timestamp()


def through_server(studio, answers):
    """The whole time, and the time the child ran."""
    started = time.monotonic()
    _, posted = studio.post_run(answers)
    for _, kind, data in studio.events(f"/api/runs/{posted['id']}/events")[1]:
        if kind == "status" and data["status"] == "done":
            return time.monotonic() - started, seconds(data["finished"]) - seconds(data["started"])
    raise RuntimeError("the run did not finish")


def from_command_line(folder, answers):
    line = "picture.jpg " + " ".join(answers[name] for name in ORDER) + "\n"
    started = time.monotonic()
    result = subprocess.run([EXE], input=line, cwd=folder, capture_output=True, text=True)
    elapsed = time.monotonic() - started
    if result.returncode != 1:
        raise RuntimeError(result.stderr)
    return elapsed


def main():
    runs = tempfile.mkdtemp(prefix="veltaro-timing-")
    folder = tempfile.mkdtemp(prefix="veltaro-cli-")
    with open(os.path.join(folder, "picture.jpg"), "wb") as picture:
        picture.write(example_picture())
    studio = Studio(runs, "--jobs", "1")
    try:
        for mesh, name in (("0", "coarse"), ("1", "standard")):
            answers = dict(COARSE_ANSWERS, mesh_choice=mesh)
            server, child, cli = [], [], []
            for n in range(PAIRS):
                # Alternate which goes first, so a slow spell hits both alike.
                if n % 2 == 1:
                    cli.append(from_command_line(folder, answers))
                whole, ran = through_server(studio, answers)
                server.append(whole)
                child.append(ran)
                if n % 2 == 0:
                    cli.append(from_command_line(folder, answers))
            ratio = statistics.median(s / c for s, c in zip(server, cli))
            print(f"{name}: server median {statistics.median(server):.3f} s, command line "
                  f"median {statistics.median(cli):.3f} s, median ratio of pairs {ratio:.3f} "
                  f"({PAIRS} pairs); the server's own share median "
                  f"{statistics.median(w - r for w, r in zip(server, child)) * 1000:.1f} ms")
    finally:
        studio.stop()
        studio.close()
        shutil.rmtree(runs, ignore_errors=True)
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
