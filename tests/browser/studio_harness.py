"""Shared pieces of the studio's browser tests: the studio harness of the API
tests (tests/server/studio_client.py), headless Chromium driven through
Selenium, and the page's helpers."""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../server"))
from studio_client import EXE, EXAMPLES, FINAL, Studio  # noqa: E402,F401

READ_VTK = os.path.join(os.path.dirname(os.path.abspath(__file__)), "../support/read_vtk.py")
CHROME_FLAGS = ("--headless --no-sandbox --disable-gpu --disable-quic --no-first-run "
                "--disable-background-networking --disable-component-update --disable-sync "
                "--window-size=1400,2400").split()


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


def console_value(stdout, name):
    """The text the console prints after `name = `, e.g. the C_D line."""
    for line in stdout.splitlines():
        if line.startswith(name + " = "):
            return line.split()[2]
    return None


def read_flow(data):
    """flow.vtk through VTK's own reader: {nx, ny, u, v, p}, values indexed [j * nx + i]."""
    with tempfile.NamedTemporaryFile(suffix=".vtk") as file:
        file.write(data)
        file.flush()
        text = subprocess.run(["/usr/bin/python3", READ_VTK, file.name], capture_output=True,
                              text=True, check=True).stdout
    found = {line.split()[0]: line.split()[1:] for line in text.splitlines()}
    velocity = [float(value) for value in found["velocity:float"]]
    return {"nx": int(found["dimensions"][0]), "ny": int(found["dimensions"][1]),
            "u": velocity[0::3], "v": velocity[1::3],
            "p": [float(value) for value in found["pressure:float"]]}


class StudioTest(unittest.TestCase):
    """One server and one browser for the tests of a class; every test ends
    with a check that the browser's console holds no error that the test did
    not provoke on purpose."""

    @classmethod
    def setUpClass(cls):
        cls.server = Studio(None, "--jobs", "1")
        cls.driver = start_browser()

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        shutil.rmtree(cls.driver.profile_folder, ignore_errors=True)
        cls.server.close()

    def setUp(self):
        self.expected_errors = []  # substrings of console errors this test provokes
        self.driver.get(self.server.url)
        # Each test starts from an empty drawing: the page keeps the last one.
        self.driver.execute_script("localStorage.clear()")
        self.driver.get(self.server.url)
        self.wait_for(lambda: self.driver.execute_script("return document.readyState") == "complete")
        self.driver.get_log("browser")  # start each test with an empty log

    def tearDown(self):
        errors = [entry["message"] for entry in self.driver.get_log("browser")
                  if entry["level"] == "SEVERE"
                  and not any(expected in entry["message"] for expected in self.expected_errors)]
        self.assertEqual(errors, [], "errors in the browser's console")

    def find(self, selector):
        return self.driver.find_element(By.CSS_SELECTOR, selector)

    def count(self, selector):
        return len(self.driver.find_elements(By.CSS_SELECTOR, selector))

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

    def set_fields(self, pairs):
        for name, value in pairs:
            self.set_field(name, value)

    def choose_tool(self, tool):
        self.find(f"input[name=tool][value={tool}]").find_element(By.XPATH, "..").click()

    def status(self):
        return self.find("#status").text

    def upload(self, path):
        self.find("#upload").send_keys(path)
        self.wait_for(lambda: os.path.basename(path) in self.find("#measure_picture").text, 30)

    def drag(self, element, start, end):
        """Presses at start and releases at end, CSS pixels from the
        element's top-left corner (Selenium's offsets are from its centre)."""
        box = element.rect

        def offset(point):
            return round(point[0] - box["width"] / 2), round(point[1] - box["height"] / 2)
        middle = ((start[0] + end[0]) / 2, (start[1] + end[1]) / 2)
        ActionChains(self.driver).move_to_element_with_offset(element, *offset(start)).click_and_hold() \
            .move_to_element_with_offset(element, *offset(middle)) \
            .move_to_element_with_offset(element, *offset(end)).release().perform()

    def run_and_watch(self, live=lambda: False, timeout=300):
        """Runs the form and waits for the final status; gives it, and whether
        live() held at some point while the run was running."""
        self.find("#run").click()
        self.wait_for(lambda: self.find("#status").get_attribute("data-status") is not None, 30,
                      "the run was not posted")
        seen_live = False

        def ended():
            nonlocal seen_live
            seen_live = seen_live or ("running" in self.status() and live())
            return any(word in self.status() for word in FINAL)
        self.wait_for(ended, timeout, "the run did not end")
        return self.status(), seen_live

    def run_and_wait(self, timeout=300):
        return self.run_and_watch(timeout=timeout)[0]

    def watched_run_id(self):
        """The id of the run the page watches, from the run list's newest row."""
        return self.server.runs_list()[0]["id"]

    def shown_options(self):
        """The options of the command line the run's view shows."""
        words = self.find("#command_line").text.split()
        self.assertEqual((words[0], words[-2:]), ("veltaro", ["<", "answers.txt"]))
        return words[1:-2]

    def rerun_shown_command(self, run_id, folder):
        """The command line the run's view shows, run by a shell in folder
        beside the run's stored picture and answers.txt."""
        record = self.server.record(run_id)
        for name in (record["picture"], "answers.txt"):
            with open(os.path.join(folder, name), "wb") as out:
                out.write(self.server.get(f"/api/runs/{run_id}/files/{name}"))
        command = self.find("#command_line").text.replace("veltaro", EXE, 1)
        done = subprocess.run(["bash", "-c", command], cwd=folder, capture_output=True, text=True,
                              timeout=600)
        self.assertEqual(done.returncode, 1, done.stderr)
        return done.stdout

    def warning_codes(self, selector):
        return [item.get_attribute("data-code")
                for item in self.driver.find_elements(By.CSS_SELECTOR, selector + " li")]

    def dark_pixels(self, run_id):
        """The stored picture's rows as strings, "#" where the program's
        darkness rule holds (every channel at most 49), decoded by the browser."""
        return self.driver.execute_async_script("""
            const [src, done] = arguments, image = new Image();
            image.src = src;
            image.decode().then(() => {
                const c = Object.assign(document.createElement('canvas'), {width: image.width, height: image.height});
                c.getContext('2d').drawImage(image, 0, 0);
                const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
                const dark = k => d[k] <= 49 && d[k + 1] <= 49 && d[k + 2] <= 49 ? '#' : '.';
                done(Array.from({length: c.height}, (_, y) =>
                    Array.from({length: c.width}, (_, x) => dark(4 * (y * c.width + x))).join('')));
            });""", f"/api/runs/{run_id}/files/{self.server.record(run_id)['picture']}")

    def canvas_scale(self):
        """Picture pixels per CSS pixel of the drawing, and the canvas's width."""
        return self.driver.execute_script(
            "const c = document.getElementById('drawing'), box = c.getBoundingClientRect();"
            "return [c.width / box.width, c.height / box.height, c.width];")
