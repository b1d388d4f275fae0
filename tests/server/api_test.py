"""The studio's API against a real "veltaro serve" on a free port, each test
class with a temporary runs folder of its own. Run by CTest (label api):
    VELTARO_EXE=build/veltaro python3 -m unittest -v api_test"""

import io
import json
import os
import shutil
import socket
import stat
import subprocess
import tempfile
import threading
import time
import unittest
import zipfile

from studio_client import (COARSE_ANSWERS, EXE, LONG_ANSWERS, Studio, example_picture,
                           multipart, run_cli)

RESULT_FILES = ["U.dat", "V.dat", "P.dat", "convergence.txt", "convergence.svg", "U.jpg",
                "V.jpg", "pressure.jpg", "velocity.jpg", "flow.vtk", "summary.json", "residual.txt"]
CONTENT_TYPES = {"U.dat": "text/plain", "U.jpg": "image/jpeg", "summary.json": "application/json",
                 "convergence.svg": "image/svg+xml", "flow.vtk": "application/octet-stream"}


def read_bytes(path):
    with open(path, "rb") as file:
        return file.read()


def run_folders(runs):
    return sorted(name for name in os.listdir(runs) if not name.startswith(".") and name != "token")


def residual_columns(folder):
    """residual.txt's lines as (count, R max, R rms, flow time)."""
    with open(os.path.join(folder, "residual.txt")) as lines:
        return [(int(c), float(m), float(r), float(t)) for c, m, r, t in
                (line.split() for line in lines if not line.startswith("#"))]


def event_residuals(events):
    return [(d["count"], d["residual"], d["residual_rms"], d["flow_time"]) for _, kind, d in events
            if kind == "iteration"]


def processes_in(folder):
    """Processes whose working folder is folder."""
    found = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            if os.readlink(f"/proc/{pid}/cwd") == folder:
                found.append(int(pid))
        except OSError:
            pass
    return found


def fresh_runs(test):
    runs = tempfile.mkdtemp(prefix="veltaro-api-")
    test.addCleanup(shutil.rmtree, runs, True)
    return runs


class StudioCase(unittest.TestCase):
    options = ()

    @classmethod
    def setUpClass(cls):
        cls.studio = Studio(None, *cls.options)
        cls.runs = cls.studio.runs

    @classmethod
    def tearDownClass(cls):
        cls.studio.close()


class GoodPath(StudioCase):
    def test_a_run_streams_to_done_with_the_command_lines_files(self):
        status, posted = self.studio.post_run(sweep="cylinders")
        self.assertEqual((status, posted["status"]), (201, "queued"))
        run_id = posted["id"]
        status, events = self.studio.events(f"/api/runs/{run_id}/events")
        self.assertEqual(status, 200)
        events = list(events)

        ids = [event[0] for event in events]
        self.assertEqual(ids, list(range(1, len(events) + 1)))
        counts = [data["count"] for _, kind, data in events if kind == "iteration"]
        self.assertEqual(counts, list(range(1, len(counts) + 1)))
        self.assertGreater(len(counts), 100)
        statuses = [data["status"] for _, kind, data in events if kind == "status"]
        self.assertEqual(statuses, ["queued", "running", "done"])
        self.assertEqual(events[-1][1], "status")

        record = self.studio.record(run_id)
        self.assertEqual([record[name] for name in ("status", "iterations", "sweep", "answers", "exit_status")],
                         ["done", counts[-1], "cylinders", COARSE_ANSWERS, 1])
        self.assertEqual(record["summary"]["iterations"], counts[-1])
        self.assertEqual(record["results"]["drag_coefficient"], record["summary"]["drag_coefficient"])
        listed = self.studio.runs_list()
        self.assertEqual([run["id"] for run in listed], [run_id])
        self.assertNotIn("summary", listed[0])

        # The command line on the same picture and answers writes the same bytes.
        folder = os.path.join(self.runs, run_id)
        with open(os.path.join(folder, "answers.txt")) as answers:
            line = answers.read()
        self.assertEqual(line, "picture.jpg 20 0.01 1 1 4 0 20000\n")
        cli = run_cli(os.path.join(self.runs, ".cli"), "picture.jpg", example_picture(), line)
        self.assertEqual(cli.returncode, 1, cli.stderr)
        for name in RESULT_FILES + ["console.txt"]:
            status, headers, served = self.studio.request("GET", f"/api/runs/{run_id}/files/{name}")
            self.assertEqual(status, 200, name)
            self.assertTrue(headers["Content-Type"].startswith(CONTENT_TYPES.get(name, "")), name)
            expected = cli.stdout.encode() if name == "console.txt" else read_bytes(
                os.path.join(self.runs, ".cli", name))
            if name == "summary.json":
                served, expected = json.loads(served), json.loads(expected)
                self.assertEqual(list(served), list(expected))
                served["seconds"] = expected["seconds"] = 0
            self.assertEqual(served, expected, name)
        # The iteration events carry the console's numbers as printed.
        first = next(l for l in cli.stdout.splitlines() if l.startswith("count = 1,"))
        self.assertIn(f"{events[2][2]['change_v']:e}", first)

        status, headers, archive = self.studio.request("GET", f"/api/runs/{run_id}/archive")
        self.assertEqual((status, headers["Content-Type"]), (200, "application/zip"))
        names = zipfile.ZipFile(io.BytesIO(archive)).namelist()
        self.assertTrue(set(RESULT_FILES + ["picture.jpg", "console.txt", "run.json"]) <= set(names))

    def test_the_page_is_served_from_the_executable(self):
        status, headers, page = self.studio.request("GET", "/")
        self.assertEqual(status, 200)
        self.assertTrue(headers["Content-Type"].startswith("text/html"))
        status, _, _ = self.studio.request("GET", "/no-such-file.js")
        self.assertEqual(status, 404)
        # Every file of web/ is served as it is, and the whole page stays small.
        web = os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../web")
        total = 0
        for folder, _, names in os.walk(web):
            for name in names:
                path = os.path.join(folder, name)
                status, _, served = self.studio.request("GET", "/" + os.path.relpath(path, web))
                self.assertEqual((status, served), (200, read_bytes(path)), path)
                total += len(served)
        self.assertLess(total, 250 * 1024)


class BadRequests(StudioCase):
    options = ("--jobs", "1")

    def setUp(self):
        self.before = run_folders(self.runs)

    def check_refusal(self, status, body, expected_status, words):
        self.assertEqual(status, expected_status, body)
        self.assertIsInstance(body, dict, body)
        for word in words:
            self.assertIn(word, body["error"])
        self.assertEqual(run_folders(self.runs), self.before, "nothing is written")

    def test_posts_the_server_refuses(self):
        def unsized_post():
            connection = self.studio.connection()
            body, content_type = multipart(COARSE_ANSWERS, {"picture": ("c.jpg", example_picture())})
            connection.request("POST", "/api/runs", body=iter([body]), encode_chunked=True,
                               headers={"Host": f"127.0.0.1:{self.studio.port}",
                                        "Content-Type": content_type})
            response = connection.getresponse()
            answer = response.status, json.loads(response.read())
            connection.close()
            return answer
        # Each refusal of the form's fields is a row of the request checks' own
        # test; here, that the server answers one with 400 and writes nothing.
        rows = [("not a number", lambda: self.studio.post_run(dict(COARSE_ANSWERS, density="2O")),
                 400, ['"density"', "not a number"]),
                ("picture missing", lambda: self.studio.post_run(picture=False), 400, ['"picture"']),
                ("over 20 MB", lambda: self.studio.post_run(picture=b"\xff\xd8\xff" + bytes(21 << 20)),
                 413, ["20 MB"]),
                ("no length given", unsized_post, 411, ["Content-Length"]),
                ("not a form", lambda: self.studio.json("POST", "/api/runs", b"{}",
                                                        {"Content-Type": "application/json"}),
                 400, ["multipart/form-data"])]
        for name, post, status, words in rows:
            with self.subTest(name):
                self.check_refusal(*post(), status, words)

    def finished_run(self):
        run_id = self.studio.post_run()[1]["id"]
        self.studio.wait_final(run_id)
        self.before = run_folders(self.runs)
        return run_id

    def test_unknown_runs_and_files(self):
        run_id = self.finished_run()
        rows = [("GET", "/api/runs/20990101-000000-0000"),
                ("DELETE", "/api/runs/20990101-000000-0000"),
                ("GET", "/api/runs/20990101-000000-0000/events"),
                ("GET", "/api/runs/20990101-000000-0000/archive"),
                ("GET", "/api/runs/20990101-000000-0000/files/U.dat"),
                ("GET", "/api/runs/..%2F..%2Fetc/files/passwd"),
                ("GET", "/api/nothing")]
        names = ["run.jsonx", "picture.png", "token", ".lock", "../run.json", "..%2Frun.json",
                 "%2e%2e%2f%2e%2e%2ftoken", "..%2F..%2F..%2Fetc%2Fpasswd", "%2Fetc%2Fpasswd",
                 "U.dat%00.txt", "U.dat/", "./U.dat", "u.dat", ""]
        rows += [("GET", f"/api/runs/{run_id}/files/{name}") for name in names]
        for method, path in rows:
            with self.subTest(path):
                status, body = self.studio.json(method, path)
                self.check_refusal(status, body, 404, [])

    def test_requests_from_elsewhere(self):
        run_id = self.finished_run()
        port = self.studio.port
        body, content_type = multipart(COARSE_ANSWERS, {"picture": ("c.jpg", example_picture())})
        post = {"Content-Type": content_type}
        # Which Host and Origin pass is the access policy's own test; here, that
        # the page, the posts and the deletes are all judged by it.
        rows = [
            ("rebound DNS name, page", "GET", "/", None, {"Host": f"evil.example:{port}"}),
            ("post from another site", "POST", "/api/runs", body,
             dict(post, Origin="http://evil.example")),
            ("delete from another site", "DELETE", f"/api/runs/{run_id}", None,
             {"Origin": "http://evil.example"}),
        ]
        for name, method, path, data, headers in rows:
            with self.subTest(name):
                status, answer = self.studio.json(method, path, data, headers)
                self.check_refusal(status, answer, 403, [])
        # The page's own origin may post.
        host = f"localhost:{port}"
        status, answer = self.studio.json("POST", "/api/runs", body,
                                          dict(post, Host=host, Origin=f"http://{host}"))
        self.assertEqual(status, 201, answer)
        self.studio.wait_final(answer["id"])

    def test_the_program_judges_the_picture_stored_under_its_kind(self):
        # A PNG's first bytes pass the server's check; the rest is the program's to judge.
        junk = b"\x89PNG\r\n\x1a\n this is not the rest of a picture\n"
        line = "picture.png 20 0.01 1 1 4 0 20000\n"
        cli = run_cli(os.path.join(self.runs, ".junk"), "picture.png", junk, line)
        self.assertEqual(cli.returncode, 2)
        # The server stores it by its first bytes and passes the program's
        # refusal on, naming the file as it was uploaded (the program's other
        # refusals are the bad-input matrix's rows).
        status, posted = self.studio.post_run(picture=junk, picture_name="my drawing.jpg")
        self.assertEqual(status, 201)
        record = self.studio.wait_final(posted["id"])
        self.assertEqual((record["status"], record["picture"], record["iterations"], record["results"]),
                         ("refused", "picture.png", 0, None))
        self.assertEqual(record["message"], cli.stderr.strip().replace("picture.png", "my drawing.jpg"))
        self.assertEqual(read_bytes(os.path.join(self.runs, posted["id"], "answers.txt")), line.encode())

    def test_options_go_to_the_program_and_the_residual_to_the_events(self):
        options = {"solid_nodes": "covered", "stop_rule": "steady", "pressure_solver": "fft"}
        status, posted = self.studio.post_run(**options)
        self.assertEqual(status, 201)
        record = self.studio.wait_final(posted["id"])
        self.assertEqual(record["options"], options)
        self.assertEqual(record["status"], "done", record)
        self.assertEqual({name: record["summary"][name] for name in options}, options)
        self.assertEqual(record["results"]["stop"], "steady")
        # Each iteration event carries its line of residual.txt, read live.
        events = list(self.studio.events(f"/api/runs/{posted['id']}/events")[1])
        residuals = residual_columns(os.path.join(self.runs, posted["id"]))
        self.assertEqual(event_residuals(events), residuals)
        self.assertEqual(float(f"{record['summary']['steady_residual']:e}"), residuals[-1][1])


class QueueAndLimits(StudioCase):
    options = ("--jobs", "1", "--queue", "1")

    def test_cancel_running_and_queued_and_a_full_queue(self):
        _, running = self.studio.post_run(LONG_ANSWERS)
        self.studio.wait_for(running["id"], lambda r: r["iterations"] > 0)
        _, queued = self.studio.post_run(LONG_ANSWERS)
        record = self.studio.record(queued["id"])
        self.assertEqual((record["status"], record["queue_position"]), ("queued", 1))
        status, body = self.studio.post_run(LONG_ANSWERS)
        self.assertEqual(status, 429)
        self.assertIn("queue is full", body["error"])
        self.assertEqual(len(run_folders(self.runs)), 2)

        status, record = self.studio.json("DELETE", f"/api/runs/{queued['id']}")
        self.assertEqual((status, record["status"]), (200, "cancelled"))
        children = self.studio.children()
        self.assertEqual(len(children), 1)
        status, record = self.studio.json("DELETE", f"/api/runs/{running['id']}")
        self.assertEqual((status, record["status"]), (200, "cancelled"))
        self.assertGreater(record["iterations"], 0)
        self.assertEqual(self.studio.children(), [])
        self.assertFalse(os.path.exists(f"/proc/{children[0]}"))
        # A finished run's DELETE removes it.
        for run in (running, queued):
            status, _ = self.studio.json("DELETE", f"/api/runs/{run['id']}")
            self.assertEqual(status, 204)
        self.assertEqual(run_folders(self.runs), [])


class TimeLimit(StudioCase):
    options = ("--time-limit", "1")

    def test_a_run_over_its_time_limit_fails(self):
        _, posted = self.studio.post_run(LONG_ANSWERS)
        record = self.studio.wait_final(posted["id"], 30)
        self.assertEqual(record["status"], "failed")
        self.assertEqual(record["message"], "stopped after the time limit of 1 s")
        self.assertEqual(self.studio.children(), [])


class EventStreams(StudioCase):
    def test_reconnect_and_late_watchers_miss_nothing(self):
        _, posted = self.studio.post_run()
        path = f"/api/runs/{posted['id']}/events"
        # Leave after a few events, as a dropped connection would, and come back.
        _, stream = self.studio.events(path)
        first = [next(stream) for _ in range(5)]
        stream.close()
        _, stream = self.studio.events(path, last_event_id=first[-1][0])
        rest = list(stream)
        self.assertEqual(rest[0][0], first[-1][0] + 1)
        self.assertEqual(rest[-1][2]["status"], "done")
        # A watcher after the end gets it all, the same events under the same ids.
        _, late = self.studio.events(path)
        self.assertEqual(list(late), first + rest)
        status, stream = self.studio.events(path, last_event_id=rest[-1][0])
        self.assertEqual((status, list(stream)), (204, []))

    def test_the_store_stream_tells_every_change(self):
        status, stream = self.studio.events("/api/events")
        self.assertEqual(status, 200)
        _, posted = self.studio.post_run(sweep="a")
        seen = []
        for _, kind, data in stream:
            seen.append((kind, data.get("status")))
            if data.get("status") == "done":
                break
        self.assertEqual(seen, [("status", "queued"), ("status", "running"), ("status", "done")])
        self.studio.json("DELETE", f"/api/runs/{posted['id']}")
        self.assertEqual(next(stream)[1:], ("deleted", {"id": posted["id"]}))
        stream.close()

    def test_twenty_watchers_and_a_get_at_once(self):
        _, posted = self.studio.post_run()
        results = [None] * 20

        def watch(n):
            results[n] = list(self.studio.events(f"/api/runs/{posted['id']}/events")[1])
        watchers = [threading.Thread(target=watch, args=(n,)) for n in range(20)]
        for watcher in watchers:
            watcher.start()
        self.assertEqual(self.studio.json("GET", "/api/runs")[0], 200)
        for watcher in watchers:
            watcher.join(60)
        self.assertTrue(all(result == results[0] for result in results))
        self.assertEqual(results[0][-1][2]["status"], "done")


class Restart(unittest.TestCase):
    def studio(self, *options):
        studio = Studio(self.runs, *options)
        self.addCleanup(studio.close)
        return studio

    def setUp(self):
        self.runs = fresh_runs(self)

    def test_a_killed_server_leaves_runs_interrupted_and_finished_runs_intact(self):
        first = self.studio("--jobs", "1")
        _, done = first.post_run()
        first.wait_final(done["id"])
        summary = read_bytes(os.path.join(self.runs, done["id"], "summary.json"))
        _, running = first.post_run(LONG_ANSWERS)
        first.wait_for(running["id"], lambda r: r["iterations"] > 2)
        _, queued = first.post_run()
        first.kill()
        # The child died with the server: nothing writes into the run any more.
        folder = os.path.join(self.runs, running["id"])
        deadline = time.monotonic() + 5
        while processes_in(folder) and time.monotonic() < deadline:
            time.sleep(0.05)
        self.assertEqual(processes_in(folder), [])

        second = self.studio()
        statuses = {run["id"]: run["status"] for run in second.runs_list()}
        self.assertEqual([statuses[run["id"]] for run in (done, running, queued)],
                         ["done", "interrupted", "interrupted"])
        self.assertEqual(second.get(f"/api/runs/{done['id']}/files/summary.json"), summary)
        # Its history is rebuilt from its console, and ends at once.
        events = list(second.events(f"/api/runs/{running['id']}/events")[1])
        counts = [data["count"] for _, kind, data in events if kind == "iteration"]
        self.assertEqual(counts, list(range(1, len(counts) + 1)))
        self.assertGreater(len(counts), 2)
        self.assertEqual(event_residuals(events), residual_columns(folder)[:len(counts)])
        self.assertEqual(events[-1][2]["status"], "interrupted")

    def test_sigterm_ends_the_runs_and_the_server(self):
        studio = self.studio()
        _, running = studio.post_run(LONG_ANSWERS)
        studio.wait_for(running["id"], lambda r: r["status"] == "running")
        children = studio.children()
        self.assertEqual(studio.stop(), 0)
        self.assertTrue(all(not os.path.exists(f"/proc/{pid}") for pid in children))
        with open(os.path.join(self.runs, running["id"], "run.json")) as record:
            self.assertEqual(json.load(record)["status"], "interrupted")


class Token(unittest.TestCase):
    def test_off_loopback_every_request_needs_the_token_kept_for_the_next_start(self):
        runs = fresh_runs(self)
        # A random token at first; then the one given; then the one kept.
        tokens = []
        for given in ((), ("--token", "secret-token-123"), ()):
            studio = Studio(runs, "--host", "0.0.0.0", *given)
            self.addCleanup(studio.close)
            tokens.append(studio.token)
            if len(tokens) < 3:
                self.assertEqual(studio.stop(), 0)
        self.assertGreaterEqual(len(tokens[0]), 32)
        self.assertEqual(tokens[1:], ["secret-token-123"] * 2)
        self.assertEqual(studio.host, socket.gethostname())  # an address to go to
        token_file = os.path.join(runs, "token")
        self.assertEqual(stat.S_IMODE(os.stat(token_file).st_mode), 0o600)
        self.assertEqual(read_bytes(token_file), b"secret-token-123\n")
        host = {"Host": f"studio.example:{studio.port}"}
        # Which tokens pass is the access policy's own test; here, that each
        # place the token may travel in reaches it.
        rows = [("no token", "/api/runs", host, 403),
                ("token on the address", "/api/runs?token=secret-token-123", host, 200),
                ("token in the cookie", "/api/runs",
                 dict(host, Cookie="a=b; veltaro_token=secret-token-123"), 200),
                ("token in the header", "/api/runs",
                 dict(host, Authorization="token secret-token-123"), 200)]
        for name, path, headers, expected in rows:
            with self.subTest(name):
                self.assertEqual(studio.request("GET", path, headers=headers)[0], expected)
        _, headers, _ = studio.request("GET", "/?token=secret-token-123", headers=host)
        self.assertIn("veltaro_token=secret-token-123", headers["Set-Cookie"])
        self.assertIn("HttpOnly", headers["Set-Cookie"])


class StartingUp(unittest.TestCase):
    def test_refusals_at_start(self):
        runs, locked = fresh_runs(self), fresh_runs(self)
        studio = Studio(locked)
        self.addCleanup(studio.close)
        busy = socket.socket()
        busy.bind(("127.0.0.1", 0))
        busy.listen()
        self.addCleanup(busy.close)
        rows = [(["--port", str(busy.getsockname()[1])], "--port"),
                (["--colour", "red"], "Unknown option"),
                (["--jobs", "0"], "--jobs"),
                (["--time-limit", "soon"], "--time-limit"),
                (["--runs", "/proc/version/runs"], "--runs"),
                (["--port", "0", "--runs", locked], "Another veltaro serve")]
        for options, words in rows:
            with self.subTest(words):
                result = subprocess.run([EXE, "serve", "--runs", runs, "--memory-limit", "0",
                                         *options], capture_output=True, text=True, timeout=30)
                self.assertEqual(result.returncode, 2)
                self.assertEqual(result.stdout, "")
                self.assertEqual(result.stderr.count("\n"), 1, result.stderr)
                self.assertIn(words, result.stderr)
        help_text = subprocess.run([EXE, "serve", "--help"], capture_output=True, text=True)
        self.assertEqual(help_text.returncode, 0)
        self.assertIn("--memory-limit", help_text.stdout)


if __name__ == "__main__":
    unittest.main()
