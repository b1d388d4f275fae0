"""The one harness of the studio's tests (API and browser) and the load
scripts: a real "veltaro serve" on a free port with its own runs folder,
stopped, killed or started again on the same port; an HTTP client that posts
runs as a browser's form would and reads event streams; and the program on
the command line for comparison. Standard library only."""

import http.client
import json
import os
import pathlib
import shutil
import signal
import subprocess
import tempfile
import time
import uuid

EXE = os.environ.get("VELTARO_EXE", "veltaro")
EXE = os.path.abspath(EXE) if os.sep in EXE else EXE  # the command-line runs start in other folders
EXAMPLES = os.environ.get("VELTARO_EXAMPLES", os.path.join(os.path.dirname(__file__), "../../examples"))
FINAL = ("done", "refused", "failed", "cancelled", "interrupted")
# The shipped cylinder on the coarse mesh: settles in well under a second.
COARSE_ANSWERS = {"reynolds_number": "20", "kinematic_viscosity": "0.01", "density": "1", "tunnel_height": "1",
                  "tunnel_length": "4", "mesh_choice": "0", "max_iterations": "20000"}
# The fine mesh with no end in sight: a run that is still going when the test acts on it.
LONG_ANSWERS = dict(COARSE_ANSWERS, mesh_choice="2", max_iterations="1000000")


def read_bytes(path):
    return pathlib.Path(path).read_bytes()


def example_picture(name="cylinder.jpg"):
    return read_bytes(os.path.join(EXAMPLES, name))


def run_cli(folder, picture_name, picture, answers_line, options=()):
    """The program on the command line in a new folder holding the picture's
    bytes under picture_name; its files stay there."""
    os.makedirs(folder)
    pathlib.Path(folder, picture_name).write_bytes(picture)
    return subprocess.run([EXE, *options], input=answers_line, cwd=folder, capture_output=True, text=True, timeout=600)


def multipart(fields, files):
    """The body and content type of a multipart/form-data post."""
    boundary = uuid.uuid4().hex
    head = f'--{boundary}\r\nContent-Disposition: form-data; name="%s"'
    parts = [(head % name + "\r\n\r\n").encode() + value.encode() + b"\r\n" for name, value in fields.items()]
    parts += [(head % name + f'; filename="{filename}"\r\nContent-Type: application/octet-stream\r\n\r\n')
              .encode() + data + b"\r\n" for name, (filename, data) in files.items()]
    return b"".join(parts) + f"--{boundary}--\r\n".encode(), f"multipart/form-data; boundary={boundary}"


class Studio:
    """One server process on runs (a temporary folder, removed by close(),
    when none is given). stop() ends it with SIGTERM (as Ctrl-C would),
    kill() with SIGKILL, restart() starts a new one on the same port."""

    def __init__(self, runs=None, *options):
        self.owned = runs is None
        self.runs = tempfile.mkdtemp(prefix="veltaro-studio-") if self.owned else runs
        self.options = options
        self.start("0")

    def start(self, port):
        # No address-space limit: a sanitizer build reserves far more than any would allow.
        self.process = subprocess.Popen([EXE, "serve", "--port", port, "--runs", self.runs, "--memory-limit", "0",
                                         *self.options], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        line = self.process.stdout.readline()
        if not line.startswith("Veltaro studio: http://"):
            self.process.kill()
            raise RuntimeError("the server did not start: " + line + self.process.stderr.read())
        self.url = line.split(": ", 1)[1].strip()
        self.host, port = self.url.split("//", 1)[1].split("/", 1)[0].rsplit(":", 1)
        self.port = int(port)
        self.token = self.url.split("?token=", 1)[1] if "?token=" in self.url else None

    def connection(self, timeout=60):
        return http.client.HTTPConnection("127.0.0.1", self.port, timeout=timeout)

    def request(self, method, path, body=None, headers=None):
        """(status, headers, body bytes)."""
        connection = self.connection()
        try:
            connection.request(method, path, body=body, headers={"Host": f"127.0.0.1:{self.port}", **(headers or {})})
            response = connection.getresponse()
            return response.status, dict(response.getheaders()), response.read()
        finally:
            connection.close()

    def json(self, method, path, body=None, headers=None):
        status, _, data = self.request(method, path, body, headers)
        return status, (json.loads(data) if data else None)

    def get(self, path):
        """The body of a GET that must succeed."""
        status, _, data = self.request("GET", path)
        assert status == 200, f"GET {path}: {status} {data[:200]!r}"
        return data

    def post_run(self, answers=None, picture=None, picture_name="cylinder.jpg", headers=None, **extra):
        fields = dict(COARSE_ANSWERS if answers is None else answers, **extra)
        files = {} if picture is False else {
            "picture": (picture_name, example_picture() if picture is None else picture)}
        body, content_type = multipart(fields, files)
        return self.json("POST", "/api/runs", body, dict(headers or {}, **{"Content-Type": content_type}))

    def record(self, run_id):
        return self.json("GET", f"/api/runs/{run_id}")[1]

    def runs_list(self):
        return self.json("GET", "/api/runs")[1]["runs"]

    def wait_for(self, run_id, predicate, seconds=60):
        deadline = time.monotonic() + seconds
        while not predicate(record := self.record(run_id)):
            if time.monotonic() > deadline:
                raise AssertionError(f"run {run_id} never got there: {record}")
            time.sleep(0.05)
        return record

    def wait_final(self, run_id, seconds=120):
        return self.wait_for(run_id, lambda r: r["status"] in FINAL, seconds)

    def events(self, path, last_event_id=None, timeout=120):
        """The response status and a generator of (id, event, data) of a stream."""
        connection = self.connection(timeout)
        resume = {} if last_event_id is None else {"Last-Event-ID": str(last_event_id)}
        connection.request("GET", path, headers={"Host": f"127.0.0.1:{self.port}", "Accept": "text/event-stream", **resume})
        response = connection.getresponse()
        return response.status, read_events(response, connection)

    def children(self):
        """Process ids of the server's children."""
        tasks = pathlib.Path(f"/proc/{self.process.pid}/task")
        return [int(pid) for task in tasks.iterdir() for pid in (task / "children").read_text().split()]

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
        return self.process.wait(30)

    def kill(self):
        self.process.kill()
        self.process.wait(30)

    def restart(self):
        self.process.stdout.close(), self.process.stderr.close()
        self.start(str(self.port))

    def close(self):
        self.kill()  # nothing to do on an ended process
        self.process.stdout.close(), self.process.stderr.close()
        if self.owned:
            shutil.rmtree(self.runs, ignore_errors=True)


def read_events(response, connection):
    """(id, event, data) per event of a Server-Sent Events response, until it ends."""
    try:
        event = {}
        while line := response.readline():
            line = line.decode().rstrip("\n")
            if line == "" and "event" in event:
                yield int(event["id"]), event["event"], json.loads(event["data"])
            if line == "":
                event = {}
            elif not line.startswith(":"):  # lines starting ":" are comments
                event.update([line.partition(": ")[::2]])
    finally:
        connection.close()
