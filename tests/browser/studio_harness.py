"""Shared pieces of the studio's browser tests: a real `veltaro serve` on a
free port with a temporary runs folder, headless Chromium driven through
Selenium, the program on the command line for comparison, and small readers
for the files a run leaves (PNG, flow.vtk)."""

import json
import os
import re
import shutil
import signal
import struct
import subprocess
import tempfile
import time
import unittest
import urllib.error
import urllib.request
import zlib

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

VELTARO = os.environ["VELTARO_EXE"]
EXAMPLES = os.environ["VELTARO_EXAMPLES"]
CHROME_FLAGS = ("--headless --no-sandbox --disable-gpu --disable-quic --no-first-run "
                "--disable-background-networking --disable-component-update --disable-sync "
                "--window-size=1400,2400").split()
FINAL = ("done", "refused", "failed", "cancelled", "interrupted")


def sanitized():
    return os.environ.get("VELTARO_SANITIZED") == "1"


class Server:
    """`veltaro serve` on a free port with its own runs folder, one job at a time."""

    def __init__(self, jobs=1):
        self.folder = tempfile.mkdtemp(prefix="veltaro-browser-")
        self.runs = os.path.join(self.folder, "runs")
        self.jobs = jobs
        self.start("0")

    def start(self, port):
        # No address-space limit: these tests do not try it, and a sanitizer
        # build reserves far more address space than any limit would allow.
        self.process = subprocess.Popen(
            [VELTARO, "serve", "--port", port, "--runs", self.runs, "--jobs", str(self.jobs),
             "--memory-limit", "0"],
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        line = self.process.stdout.readline()
        match = re.search(r"(http://127\.0\.0\.1:(\d+))/", line)
        if not match:
            self.stop()
            raise RuntimeError(f"veltaro serve printed no address: {line!r} {self.process.stderr.read()}")
        self.url, self.port = match.group(1), match.group(2)

    def interrupt(self):
        """Ctrl-C: the server marks its running children interrupted and exits."""
        self.process.send_signal(signal.SIGINT)
        self.process.wait(timeout=20)
        self.process.stdout.close()
        self.process.stderr.close()

    def restart(self):
        """A new server on the same port and runs folder."""
        self.start(self.port)

    def get(self, path):
        with urllib.request.urlopen(self.url + path, timeout=30) as answer:
            return answer.read()

    def get_json(self, path):
        return json.loads(self.get(path))

    def record(self, run_id):
        return self.get_json(f"/api/runs/{run_id}")

    def runs_list(self):
        return self.get_json("/api/runs")["runs"]

    def children(self):
        """The server's child processes that are still alive (not zombies)."""
        found = []
        for name in os.listdir("/proc"):
            if not name.isdigit():
                continue
            try:
                with open(f"/proc/{name}/stat") as stat:
                    fields = stat.read().rsplit(")", 1)[1].split()
            except OSError:
                continue
            if int(fields[1]) == self.process.pid and fields[0] != "Z":
                found.append(int(name))
        return found

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGINT)
            try:
                self.process.wait(timeout=20)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        if not self.process.stdout.closed:
            self.process.stdout.close()
            self.process.stderr.close()
        shutil.rmtree(self.folder, ignore_errors=True)


def start_browser():
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for flag in CHROME_FLAGS:
        options.add_argument(flag)
    profile = tempfile.mkdtemp(prefix="veltaro-chromium-")
    options.add_argument("--user-data-dir=" + profile)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    driver.set_script_timeout(30)
    driver.profile_folder = profile
    return driver


def run_cli(picture_path, answers, options=()):
    """The program on the command line in a folder of its own, on a copy of
    the picture under the same name. Gives (stdout, stderr, exit status)."""
    folder = tempfile.mkdtemp(prefix="veltaro-cli-")
    try:
        name = os.path.basename(picture_path)
        shutil.copy(picture_path, os.path.join(folder, name))
        text = " ".join([name] + [str(a) for a in answers]) + "\n"
        done = subprocess.run([VELTARO, *options], input=text, cwd=folder, capture_output=True,
                              text=True, timeout=600)
        return done.stdout, done.stderr, done.returncode
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def console_value(stdout, name):
    """The text the console prints after `name = `, e.g. the C_D line."""
    match = re.search(rf"^{re.escape(name)} = (\S+)", stdout, re.MULTILINE)
    return match.group(1) if match else None


def read_png(data):
    """Pixels of an 8-bit, non-interlaced PNG as rows of (r, g, b) tuples."""
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
    at, chunks, header = 8, [], None
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            chunks.append(body)
        at += 12 + length
    width, height, depth, colour, _, _, interlace = header
    assert depth == 8 and interlace == 0, "only 8-bit plain PNGs are read here"
    channels = {0: 1, 2: 3, 4: 2, 6: 4}[colour]
    raw = zlib.decompress(b"".join(chunks))
    stride = width * channels
    rows, previous = [], bytearray(stride)
    for r in range(height):
        kind = raw[r * (stride + 1)]
        line = bytearray(raw[r * (stride + 1) + 1:(r + 1) * (stride + 1)])
        for k in range(stride):
            left = line[k - channels] if k >= channels else 0
            up = previous[k]
            corner = previous[k - channels] if k >= channels else 0
            if kind == 1:
                line[k] = (line[k] + left) & 255
            elif kind == 2:
                line[k] = (line[k] + up) & 255
            elif kind == 3:
                line[k] = (line[k] + (left + up) // 2) & 255
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                line[k] = (line[k] + (left if pa <= pb and pa <= pc else up if pb <= pc else corner)) & 255
        previous = line
        grey = channels < 3
        rows.append([(line[c * channels],) * 3 if grey else tuple(line[c * channels:c * channels + 3])
                     for c in range(width)])
    return rows


def dark_mask(rows):
    """The program's darkness rule: every channel at most 49."""
    return [[all(v <= 49 for v in pixel) for pixel in row] for row in rows]


def read_vtk(data):
    """flow.vtk as {nx, ny, dx, dy, u, v, p}, values indexed [j * nx + i]."""
    header_end = data.index(b"VECTORS velocity float\n")
    header = data[:header_end].decode()
    nx, ny = map(int, re.search(r"DIMENSIONS (\d+) (\d+)", header).groups())
    dx, dy = map(float, re.search(r"SPACING (\S+) (\S+)", header).groups())
    count = nx * ny
    at = header_end + len(b"VECTORS velocity float\n")
    velocity = struct.unpack(f">{3 * count}f", data[at:at + 12 * count])
    title = b"SCALARS pressure float 1\nLOOKUP_TABLE default\n"
    at = data.index(title, at + 12 * count) + len(title)
    pressure = struct.unpack(f">{count}f", data[at:at + 4 * count])
    return {"nx": nx, "ny": ny, "dx": dx, "dy": dy, "u": velocity[0::3], "v": velocity[1::3], "p": pressure}


class StudioTest(unittest.TestCase):
    """One server and one browser for the tests of a class; every test ends
    with a check that the browser's console holds no error that the test did
    not provoke on purpose."""

    jobs = 1

    @classmethod
    def setUpClass(cls):
        cls.server = Server(cls.jobs)
        cls.driver = start_browser()

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        shutil.rmtree(cls.driver.profile_folder, ignore_errors=True)
        cls.server.stop()

    def setUp(self):
        self.expected_errors = []  # substrings of console errors this test provokes
        self.driver.get(self.server.url + "/")
        # Each test starts from an empty drawing: the page keeps the last one.
        self.driver.execute_script("localStorage.clear()")
        self.driver.get(self.server.url + "/")
        self.wait_for(lambda: self.driver.execute_script("return document.readyState") == "complete")
        self.driver.get_log("browser")  # start each test with an empty log

    def tearDown(self):
        errors = [entry["message"] for entry in self.driver.get_log("browser")
                  if entry["level"] == "SEVERE"
                  and not any(expected in entry["message"] for expected in self.expected_errors)]
        self.assertEqual(errors, [], "errors in the browser's console")

    # --- page helpers ---------------------------------------------------

    def find(self, selector):
        return self.driver.find_element(By.CSS_SELECTOR, selector)

    def wait_for(self, condition, timeout=120, message=""):
        return WebDriverWait(self.driver, timeout, poll_frequency=0.05).until(lambda _: condition(), message)

    def set_field(self, element_id, value):
        field = self.find("#" + element_id)
        if field.tag_name == "select":
            self.driver.execute_script(
                "arguments[0].value = arguments[1]; arguments[0].dispatchEvent(new Event('input')); "
                "arguments[0].dispatchEvent(new Event('change'));", field, str(value))
        else:
            field.clear()
            field.send_keys(str(value))

    def choose_tool(self, tool):
        self.find(f"input[name=tool][value={tool}]").find_element(By.XPATH, "..").click()

    def status(self):
        return self.find("#status").text

    def wait_for_final_status(self, timeout=300):
        self.wait_for(lambda: any(word in self.status() for word in FINAL), timeout,
                      "the run did not end")
        return self.status()

    def watched_run_id(self):
        """The id of the run the page watches, from the run list's newest row."""
        return self.server.runs_list()[0]["id"]

    def canvas_scale(self):
        """Picture pixels per CSS pixel of the drawing, and the canvas's size."""
        return self.driver.execute_script(
            "const c = document.getElementById('drawing'); const box = c.getBoundingClientRect();"
            "return [c.width / box.width, c.height / box.height, c.width, c.height, box.width, box.height];")
