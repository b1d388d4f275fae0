"""The studio's API against a real "veltaro serve" on a free port, each test
class with a temporary runs folder of its own. Run by CTest (label api):
    VELTARO_EXE=build/veltaro python3 -m unittest -v api_test"""

import io
import json
import os
import socket
import stat
import subprocess
import tempfile
import time
import unittest
import zipfile
from concurrent.futures import ThreadPoolExecutor

from studio_client import COARSE_ANSWERS, EXE, LONG_ANSWERS, Studio, example_picture, multipart, read_bytes, run_cli

RESULT_FILES = ["U.dat", "V.dat", "P.dat", "convergence.txt", "convergence.svg", "U.jpg",
                "V.jpg", "pressure.jpg", "velocity.jpg", "flow.vtk", "summary.json", "residual.txt"]
CONTENT_TYPES = {"U.dat": "text/plain", "U.jpg": "image/jpeg", "summary.json": "application/json",
                 "convergence.svg": "image/svg+xml", "flow.vtk": "application/octet-stream"}


def run_folders(runs):
    return sorted(name for name in os.listdir(runs) if not name.startswith(".") and name != "token")


def residual_columns(folder):
    """residual.txt's lines as (count, R max, R rms, flow time)."""
    with open(os.path.join(folder, "residual.txt")) as lines:
        return [(int(c), float(m), float(r), float(t)) for c, m, r, t in
                (line.split() for line in lines if not line.startswith("#"))]


def event_residuals(events):
    return [(d["count"], d["residual"], d["residual_rms"], d["flow_time"]) for _, kind, d in events if kind == "iteration"]


def iteration_counts(test, events, more_than):
    """The iteration events' counts, checked to run 1, 2, ... past more_than."""
    counts = [data["count"] for _, kind, data in events if kind == "iteration"]
    test.assertEqual((counts, len(counts) > more_than), (list(range(1, len(counts) + 1)), True))
    return counts


def processes_in(folder):
    """Processes whose working folder is folder."""
    def cwd(pid):
        try:
            return os.readlink(f"/proc/{pid}/cwd")
        except OSError:  # gone, or not ours to see
            return None
    return [pid for pid in filter(str.isdigit, os.listdir("/proc")) if cwd(pid) == folder]


class StudioCase(unittest.TestCase):
    options = ()

    @classmethod
    def setUpClass(cls):
        cls.studio = Studio(None, *cls.options)
        cls.runs = cls.studio.runs

    @classmethod
    def tearDownClass(cls):
        cls.studio.close()

    def finished(self, **post):
        """A run posted (which must be taken) and its final record."""
        status, posted = self.studio.post_run(**post)
        self.assertEqual(status, 201, posted)
        return self.studio.wait_final(posted["id"])


class GoodPath(StudioCase):
    def test_a_run_streams_to_done_with_the_command_lines_files(self):
        status, posted = self.studio.post_run(sweep="cylinders")
        self.assertEqual((status, posted["status"]), (201, "queued"))
        run_id = posted["id"]
        status, events = self.studio.events(f"/api/runs/{run_id}/events")
        events = list(events)
        self.assertEqual((status, [event[0] for event in events]), (200, list(range(1, len(events) + 1))))
        counts = iteration_counts(self, events, 100)
        self.assertEqual([data["status"] for _, kind, data in events if kind == "status"] + [events[-1][1]],
                         ["queued", "running", "done", "status"])

        record = self.studio.record(run_id)
        self.assertEqual([record[name] for name in ("status", "iterations", "sweep", "answers", "exit_status")],
                         ["done", counts[-1], "cylinders", COARSE_ANSWERS, 1])
        self.assertEqual((record["summary"]["iterations"], record["results"]["drag_coefficient"]),
                         (counts[-1], record["summary"]["drag_coefficient"]))
        self.assertEqual([(run["id"], "summary" in run) for run in self.studio.runs_list()], [(run_id, False)])

        # The command line on the same picture and answers writes the same bytes.
        line = read_bytes(os.path.join(self.runs, run_id, "answers.txt")).decode()
        self.assertEqual(line, "picture.jpg 20 0.01 1 1 4 0 20000\n")
        cli = run_cli(os.path.join(self.runs, ".cli"), "picture.jpg", example_picture(), line)
        self.assertEqual(cli.returncode, 1, cli.stderr)
        for name in RESULT_FILES + ["console.txt"]:
            status, headers, served = self.studio.request("GET", f"/api/runs/{run_id}/files/{name}")
            self.assertEqual((status, headers["Content-Type"].startswith(CONTENT_TYPES.get(name, ""))), (200, True), name)
            expected = cli.stdout.encode() if name == "console.txt" else read_bytes(os.path.join(self.runs, ".cli", name))
            if name == "summary.json":  # the same keys in the same order; only the time differs
                served, expected = (list({**json.loads(x), "seconds": 0}.items()) for x in (served, expected))
            self.assertEqual(served, expected, name)
        # The iteration events carry the console's numbers as printed.
        first = next(l for l in cli.stdout.splitlines() if l.startswith("count = 1,"))
        self.assertIn(f"{events[2][2]['change_v']:e}", first)

        status, headers, archive = self.studio.request("GET", f"/api/runs/{run_id}/archive")
        self.assertEqual((status, headers["Content-Type"]), (200, "application/zip"))
        self.assertLessEqual({*RESULT_FILES, "picture.jpg", "console.txt", "run.json"},
                             set(zipfile.ZipFile(io.BytesIO(archive)).namelist()))

    def test_the_page_is_served_from_the_executable(self):
        status, headers, _ = self.studio.request("GET", "/")
        self.assertEqual((status, headers["Content-Type"].split(";")[0]), (200, "text/html"))
        # Every file of web/ is served as it is, and the whole page stays small.
        web = os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../web")
        paths = [os.path.join(folder, name) for folder, _, names in os.walk(web) for name in names]
        for path in paths:
            self.assertEqual(self.studio.get("/" + os.path.relpath(path, web)), read_bytes(path), path)
        self.assertLess(sum(map(os.path.getsize, paths)), 250 * 1024)
        # The command lines it shows name the program by its path: the
        # server's PATH has no veltaro.
        self.assertEqual(json.loads(self.studio.get("/api/program")), {"command": os.path.realpath(EXE)})


class BadRequests(StudioCase):
    options = ("--jobs", "1")

    def test_refusals(self):
        run_id = self.finished()["id"]
        before = run_folders(self.runs)

        def form(fields=COARSE_ANSWERS, picture=example_picture()):
            body, content_type = multipart(fields, {"picture": ("c.jpg", picture)} if picture else {})
            return body, {"Content-Type": content_type}
        body, headers = form()
        foreign, missing = {"Origin": "http://evil.example"}, "/api/runs/20990101-000000-0000"
        names = ["run.jsonx", "picture.png", "token", ".lock", "../run.json", "..%2Frun.json", "%2e%2e%2f%2e%2e%2ftoken",
                 "..%2F..%2F..%2Fetc%2Fpasswd", "%2Fetc%2Fpasswd", "U.dat%00.txt", "U.dat/", "./U.dat", "u.dat", ""]
        paths = [missing + end for end in ("", "/events", "/archive", "/files/U.dat")] + [f"/api/runs/{run_id}/files/{n}"
                 for n in names] + ["/api/runs/..%2F..%2Fetc/files/passwd", "/api/nothing", "/no-such-file.js"]
        rows = [("GET", path, None, None, 404, []) for path in paths] + [("DELETE", missing, None, None, 404, [])]
        # Each refusal of the form's fields is a row of the request checks' own
        # test; here, that the server answers one with 400.
        rows += [("POST", "/api/runs", *form(dict(COARSE_ANSWERS, density="2O")), 400, ['"density"', "not a number"]),
                 ("POST", "/api/runs", *form(dict(COARSE_ANSWERS, grid_study="yes")), 400, ['"grid_study"', "true or false"]),
                 ("POST", "/api/runs", *form(picture=None), 400, ['"picture"']),
                 ("POST", "/api/runs", *form(picture=b"\xff\xd8\xff" + bytes(21 << 20)), 413, ["20 MB"]),
                 # An iterable body goes out chunked, without a length.
                 ("POST", "/api/runs", iter([body]), headers, 411, ["Content-Length"]),
                 ("POST", "/api/runs", b"{}", {"Content-Type": "application/json"}, 400, ["multipart/form-data"])]
        # Which Host and Origin pass is the access policy's own test; here, that
        # the page, the posts and the deletes are all judged by it.
        rows += [("GET", "/", None, {"Host": f"evil.example:{self.studio.port}"}, 403, []),
                 ("POST", "/api/runs", body, dict(headers, **foreign), 403, []),
                 ("DELETE", f"/api/runs/{run_id}", None, foreign, 403, [])]
        for method, path, data, headers, status, words in rows:
            with self.subTest(method=method, path=path, status=status):
                answer_status, answer = self.studio.json(method, path, data, headers)
                self.assertEqual(answer_status, status, answer)
                self.assertTrue(all(word in answer["error"] for word in words), answer)
                self.assertEqual(run_folders(self.runs), before, "nothing is written")
        # The page's own origin may post.
        host = f"localhost:{self.studio.port}"
        self.finished(headers={"Host": host, "Origin": f"http://{host}"})

    def test_the_program_judges_the_picture_stored_under_its_kind(self):
        # A PNG's first bytes pass the server's check; the rest is the program's to judge.
        junk = b"\x89PNG\r\n\x1a\n this is not the rest of a picture\n"
        line = "picture.png 20 0.01 1 1 4 0 20000\n"
        cli = run_cli(os.path.join(self.runs, ".junk"), "picture.png", junk, line)
        self.assertEqual(cli.returncode, 2)
        # The server stores it by its first bytes and passes the program's
        # refusal on, naming the file as it was uploaded (the program's other
        # refusals are the bad-input matrix's rows).
        record = self.finished(picture=junk, picture_name="my drawing.jpg")
        self.assertEqual((record["status"], record["picture"], record["iterations"], record["results"]),
                         ("refused", "picture.png", 0, None))
        self.assertEqual(record["message"], cli.stderr.strip().replace("picture.png", "my drawing.jpg"))
        self.assertEqual(read_bytes(os.path.join(self.runs, record["id"], "answers.txt")), line.encode())

    def test_a_refused_run_and_a_diverged_one_are_told_apart(self):
        # Both exit with status 2 before an iteration line; the diverged one ran.
        for answers, status, words in ((dict(COARSE_ANSWERS, tunnel_height="1e-30", tunnel_length="4e-30"), "refused",
                                        "The tunnel is too small to compute"),
                                       (dict(COARSE_ANSWERS, reynolds_number="1e30"), "failed",
                                        "The run failed at iteration 1: the flow diverged")):
            with self.subTest(status):
                record = self.finished(answers=answers)
                self.assertEqual((record["status"], record["exit_status"], record["message"].startswith(words)),
                                 (status, 2, True), record["message"])

    def test_options_go_to_the_program_and_the_residual_to_the_events(self):
        options = {"solid_nodes": "covered", "stop_rule": "steady", "pressure_solver": "fft", "courant": "0.15",
                   "projection": "faces"}
        record = self.finished(**options)
        self.assertEqual((record["status"], record["options"], record["results"]["stop"]),
                         ("done", options, "steady"), record)
        self.assertEqual({name: str(record["summary"][name]) for name in options}, options)
        # Each iteration event carries its line of residual.txt, read live.
        residuals = residual_columns(os.path.join(self.runs, record["id"]))
        self.assertEqual(event_residuals(self.studio.events(f"/api/runs/{record['id']}/events")[1]), residuals)
        self.assertEqual(float(f"{record['summary']['steady_residual']:e}"), residuals[-1][1])


def program_has_grid_study():
    return "--grid-study" in subprocess.run([EXE, "--help"], capture_output=True, text=True).stdout


@unittest.skipUnless(program_has_grid_study(), "the program has no --grid-study yet")
class GridStudy(StudioCase):
    options = ("--jobs", "1")
    # The smallest study: the standard mesh's 50 across, then 34 and 26; a
    # few iterations each are enough for the events and the folders.
    ANSWERS = dict(COARSE_ANSWERS, mesh_choice="1", max_iterations="30")

    def test_each_mesh_is_an_event_and_its_iterations_carry_its_own_residual(self):
        record = self.finished(answers=self.ANSWERS, grid_study="true")
        self.assertEqual((record["status"], record["options"]), ("done", {"grid_study": "true"}), record["message"])
        events = list(self.studio.events(f"/api/runs/{record['id']}/events")[1])
        meshes = [data for _, kind, data in events if kind == "grid_mesh"]
        self.assertEqual(meshes, [{"mesh": k + 1, "meshes": 3, "nodes_across": n, "folder": f"grid/{n}-across"}
                                  for k, n in enumerate((50, 34, 26))])
        # Each mesh's iterations count from 1, with the residual.txt of its folder.
        kinds = [kind for _, kind, _ in events]
        starts = [k for k, kind in enumerate(kinds) if kind == "grid_mesh"] + [kinds.index("status", kinds.index("grid_mesh"))]
        for mesh, start, end in zip(meshes, starts, starts[1:]):
            with self.subTest(mesh["folder"]):
                folder = os.path.join(self.runs, record["id"], mesh["folder"])
                self.assertEqual(event_residuals(events[start + 1:end]), residual_columns(folder))
                self.assertEqual(len(residual_columns(folder)), 30)
        study = record["results"]["grid_study"]
        self.assertEqual([mesh["nodes_across"] for mesh in study["meshes"]], [50, 34, 26])
        # Each mesh's files are served from its folder, and nothing else of it.
        files = f"/api/runs/{record['id']}/files/"
        for mesh in meshes:
            served = self.studio.request("GET", files + mesh["folder"] + "/summary.json")
            self.assertEqual((served[0], served[2]), (200, read_bytes(os.path.join(self.runs, record["id"], mesh["folder"], "summary.json"))))
        for name in ("grid/34-across/../../token", "grid/34-across/picture.jpg", "grid/34-across/answers.txt.x", "grid/-across/U.dat",
                     "grid/34-across", "grid/34-across/", "grid/034-across/U.dat", "grid/35-across/U.dat", "grid/x-across/U.dat"):
            self.assertEqual(self.studio.request("GET", files + name)[0], 404, name)
        self.assertEqual((record["iterations"], record["summary"]["grid_study"]), (30, study))
        # The archive keeps each mesh's results in its own folder.
        names = zipfile.ZipFile(io.BytesIO(self.studio.request("GET", f"/api/runs/{record['id']}/archive")[2])).namelist()
        self.assertLessEqual({mesh["folder"] + "/" + name for mesh in meshes for name in ("summary.json", "U.dat", "residual.txt")}, set(names))
        # A run of an earlier session replays the same events from its console.
        self.studio.stop()
        self.studio.restart()
        replayed = list(self.studio.events(f"/api/runs/{record['id']}/events")[1])
        self.assertEqual(*([(kind, data) for _, kind, data in run if kind != "status"] for run in (replayed, events)))

    def test_a_plain_run_has_no_study_and_a_study_on_the_coarse_mesh_is_refused(self):
        plain = self.finished(answers=self.ANSWERS, grid_study="false")
        self.assertEqual((plain["status"], plain["options"], plain["results"]["grid_study"]), ("done", {}, None))
        refused = self.finished(answers=dict(self.ANSWERS, mesh_choice="0"), grid_study="true")
        self.assertEqual((refused["status"], refused["iterations"], refused["results"]), ("refused", 0, None))
        self.assertTrue(refused["message"].startswith("The grid study needs at least 25 nodes across on its coarsest mesh"),
                        refused["message"])


class QueueAndLimits(StudioCase):
    options = ("--jobs", "1", "--queue", "1")

    def test_cancel_running_and_queued_and_a_full_queue(self):
        _, running = self.studio.post_run(LONG_ANSWERS)
        self.studio.wait_for(running["id"], lambda r: r["iterations"] > 0)
        _, queued = self.studio.post_run(LONG_ANSWERS)
        record = self.studio.record(queued["id"])
        self.assertEqual((record["status"], record["queue_position"]), ("queued", 1))
        status, body = self.studio.post_run(LONG_ANSWERS)
        self.assertEqual((status, "queue is full" in body["error"]), (429, True), body)
        self.assertEqual(len(run_folders(self.runs)), 2)

        cancel = [self.studio.json("DELETE", f"/api/runs/{queued['id']}")]
        children = self.studio.children()
        self.assertEqual(len(children), 1)
        cancel.append(self.studio.json("DELETE", f"/api/runs/{running['id']}"))
        self.assertEqual([(status, record["status"]) for status, record in cancel], [(200, "cancelled")] * 2)
        self.assertGreater(cancel[1][1]["iterations"], 0)
        self.assertEqual((self.studio.children(), os.path.exists(f"/proc/{children[0]}")), ([], False))
        # A finished run's DELETE removes it.
        self.assertEqual([self.studio.json("DELETE", f"/api/runs/{run['id']}")[0] for run in (running, queued)], [204] * 2)
        self.assertEqual(run_folders(self.runs), [])


class EventStreams(StudioCase):
    def test_reconnect_and_late_watchers_miss_nothing(self):
        path = f"/api/runs/{self.studio.post_run()[1]['id']}/events"
        # Leave after a few events, as a dropped connection would, and come back.
        _, stream = self.studio.events(path)
        first = [next(stream) for _ in range(5)]
        stream.close()
        _, stream = self.studio.events(path, last_event_id=first[-1][0])
        rest = list(stream)
        self.assertEqual((rest[0][0], rest[-1][2]["status"]), (first[-1][0] + 1, "done"))
        # A watcher after the end gets it all, the same events under the same ids.
        self.assertEqual(list(self.studio.events(path)[1]), first + rest)
        status, stream = self.studio.events(path, last_event_id=rest[-1][0])
        self.assertEqual((status, list(stream)), (204, []))

    def test_the_store_stream_tells_every_change(self):
        stream = self.studio.events("/api/events")[1]
        _, posted = self.studio.post_run(sweep="a")
        self.assertEqual([(kind, data.get("status")) for _, kind, data in (next(stream) for _ in range(3))],
                         [("status", "queued"), ("status", "running"), ("status", "done")])
        self.studio.json("DELETE", f"/api/runs/{posted['id']}")
        self.assertEqual(next(stream)[1:], ("deleted", {"id": posted["id"]}))
        stream.close()

    def test_twenty_watchers_and_a_get_at_once(self):
        path = f"/api/runs/{self.studio.post_run()[1]['id']}/events"
        with ThreadPoolExecutor(20) as pool:
            watchers = [pool.submit(lambda: list(self.studio.events(path)[1])) for _ in range(20)]
            self.assertEqual(self.studio.json("GET", "/api/runs")[0], 200)
            results = [watcher.result(60) for watcher in watchers]
        self.assertEqual((results, results[0][-1][2]["status"]), ([results[0]] * 20, "done"))


class ServerProcess(unittest.TestCase):
    """Each test with servers of its own on a runs folder of its own."""

    def studio(self, *options):
        studio = Studio(self.runs, *options)
        self.addCleanup(studio.close)
        return studio

    def setUp(self):
        self.runs = self.enterContext(tempfile.TemporaryDirectory(prefix="veltaro-api-"))

    def test_a_run_over_its_time_limit_fails(self):
        studio = self.studio("--time-limit", "1")
        record = studio.wait_final(studio.post_run(LONG_ANSWERS)[1]["id"])
        self.assertEqual((record["status"], record["message"]), ("failed", "stopped after the time limit of 1 s"))
        self.assertEqual(studio.children(), [])

    def test_a_killed_server_leaves_runs_interrupted_and_finished_runs_intact(self):
        first = self.studio("--jobs", "1")
        done = first.wait_final(first.post_run()[1]["id"])
        summary = read_bytes(os.path.join(self.runs, done["id"], "summary.json"))
        _, running = first.post_run(LONG_ANSWERS)
        first.wait_for(running["id"], lambda r: r["iterations"] > 2)
        _, queued = first.post_run()
        first.kill()
        # The child died with the server: nothing writes into the run any more.
        folder, deadline = os.path.join(self.runs, running["id"]), time.monotonic() + 5
        while processes_in(folder) and time.monotonic() < deadline:
            time.sleep(0.05)
        self.assertEqual(processes_in(folder), [])
        self.assertEqual(json.loads(read_bytes(os.path.join(folder, "run.json")))["status"], "running")

        second = self.studio()
        statuses = {run["id"]: run["status"] for run in second.runs_list()}
        self.assertEqual([statuses[run["id"]] for run in (done, running, queued)],
                         ["done", "interrupted", "interrupted"])
        self.assertEqual(second.get(f"/api/runs/{done['id']}/files/summary.json"), summary)
        # Its history is rebuilt from its console, and ends at once.
        events = list(second.events(f"/api/runs/{running['id']}/events")[1])
        counts = iteration_counts(self, events, 2)
        self.assertEqual(event_residuals(events), residual_columns(folder)[:len(counts)])
        self.assertEqual(events[-1][2]["status"], "interrupted")

    def test_sigterm_ends_the_runs_and_the_server(self):
        studio = self.studio()
        _, running = studio.post_run(LONG_ANSWERS)
        studio.wait_for(running["id"], lambda r: r["status"] == "running")
        children = studio.children()
        self.assertEqual(studio.stop(), 0)
        self.assertTrue(all(not os.path.exists(f"/proc/{pid}") for pid in children))
        self.assertEqual(json.loads(read_bytes(os.path.join(self.runs, running["id"], "run.json")))["status"],
                         "interrupted")

    def test_off_loopback_every_request_needs_the_token_kept_for_the_next_start(self):
        # A random token at first; then the one given; then the one kept.
        tokens = []
        for given in ((), ("--token", "secret-token-123"), ()):
            tokens.append((studio := self.studio("--host", "0.0.0.0", *given)).token)
            if len(tokens) < 3:
                self.assertEqual(studio.stop(), 0)
        self.assertEqual((len(tokens[0]) >= 32, tokens[1:]), (True, ["secret-token-123"] * 2))
        self.assertEqual(studio.host, socket.gethostname())  # an address to go to
        token_file = os.path.join(self.runs, "token")
        self.assertEqual((stat.S_IMODE(os.stat(token_file).st_mode), read_bytes(token_file)), (0o600, b"secret-token-123\n"))
        host = {"Host": f"studio.example:{studio.port}"}
        # Which tokens pass is the access policy's own test; here, that each
        # place the token may travel in reaches it.
        for name, path, headers, expected in (
                ("no token", "/api/runs", host, 403), ("token on the address", "/api/runs?token=secret-token-123", host, 200),
                ("token in the cookie", "/api/runs", dict(host, Cookie="a=b; veltaro_token=secret-token-123"), 200),
                ("token in the header", "/api/runs", dict(host, Authorization="token secret-token-123"), 200)):
            with self.subTest(name):
                self.assertEqual(studio.request("GET", path, headers=headers)[0], expected)
        _, headers, _ = studio.request("GET", "/?token=secret-token-123", headers=host)
        self.assertLessEqual({"veltaro_token=secret-token-123", "HttpOnly"}, set(headers["Set-Cookie"].split("; ")))

    def test_refusals_at_start(self):
        runs, locked = self.enterContext(tempfile.TemporaryDirectory(prefix="veltaro-api-")), self.studio().runs
        busy = self.enterContext(socket.create_server(("127.0.0.1", 0)))
        for options, words in ((["--port", str(busy.getsockname()[1])], "--port"), (["--colour", "red"], "Unknown option"),
                               (["--jobs", "0"], "--jobs"), (["--time-limit", "soon"], "--time-limit"),
                               (["--runs", "/proc/version/runs"], "--runs"),
                               (["--port", "0", "--runs", locked], "Another veltaro serve")):
            with self.subTest(words):
                result = subprocess.run([EXE, "serve", "--runs", runs, "--memory-limit", "0", *options],
                                        capture_output=True, text=True, timeout=30)
                self.assertEqual((result.returncode, result.stdout, result.stderr.count("\n"),
                                  words in result.stderr), (2, "", 1, True), result.stderr)
        help_text = subprocess.run([EXE, "serve", "--help"], capture_output=True, text=True)
        self.assertEqual((help_text.returncode, "--memory-limit" in help_text.stdout), (0, True))


if __name__ == "__main__":
    unittest.main()
