"""The studio page in a real browser against a real `veltaro serve`, through
the API tests' studio harness (tests/server/studio_client.py) and headless
Chromium driven by Selenium. Run by CTest (label `browser`), one class per
CTest entry:
    VELTARO_EXE=build/veltaro VELTARO_EXAMPLES=examples \
        /usr/bin/python3 tests/browser/studio_test.py DrawingTest
"""

import base64
import csv
import io
import os
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.parse

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../server"))
from studio_client import EXE, EXAMPLES, FINAL, Studio, read_bytes  # noqa: E402

READ_VTK = os.path.join(os.path.dirname(os.path.abspath(__file__)), "../support/read_vtk.py")
CHROME_FLAGS = ("--headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking "
                "--disable-component-update --disable-sync --window-size=1400,2400").split()


def read_flow(data):
    """flow.vtk through VTK's own reader: {nx, ny, u, v, p}, values indexed [j * nx + i]."""
    with tempfile.NamedTemporaryFile(suffix=".vtk") as file:
        file.write(data)
        file.flush()
        text = subprocess.run(["/usr/bin/python3", READ_VTK, file.name], capture_output=True, text=True, check=True).stdout
    found = {line.split()[0]: [float(value) for value in line.split()[1:]] for line in text.splitlines()}
    velocity, (nx, ny) = found["velocity:float"], map(int, found["dimensions"][:2])
    return {"nx": nx, "ny": ny, "u": velocity[0::3], "v": velocity[1::3], "p": found["pressure:float"]}


class StudioTest(unittest.TestCase):
    """One server and one browser for the tests of a class; every test ends
    with a check that the browser's console holds no error that the test did
    not provoke on purpose."""

    @classmethod
    def setUpClass(cls):
        cls.server, options = Studio(None, "--jobs", "1"), webdriver.ChromeOptions()
        options.binary_location, cls.profile = "/usr/bin/chromium", tempfile.mkdtemp(prefix="veltaro-chromium-")
        for flag in CHROME_FLAGS + ["--user-data-dir=" + cls.profile]:
            options.add_argument(flag)
        options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
        cls.driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        cls.driver.set_script_timeout(30)

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        shutil.rmtree(cls.profile, ignore_errors=True)
        cls.server.close()

    def setUp(self):
        self.expected_errors = []  # substrings of console errors this test provokes
        self.driver.get(self.server.url)
        # Each test starts from an empty drawing: the page keeps the last one.
        self.driver.execute_script("localStorage.clear()")
        self.driver.get(self.server.url)  # returns once the page has loaded
        self.driver.get_log("browser")  # start each test with an empty log

    def tearDown(self):
        errors = [entry["message"] for entry in self.driver.get_log("browser")
                  if entry["level"] == "SEVERE" and not any(expected in entry["message"] for expected in self.expected_errors)]
        self.assertEqual(errors, [], "errors in the browser's console")

    def find(self, selector):
        return self.driver.find_element(By.CSS_SELECTOR, selector)

    def count(self, selector):
        return len(self.driver.find_elements(By.CSS_SELECTOR, selector))

    def wait_for(self, condition, timeout=120, message=""):
        return WebDriverWait(self.driver, timeout, poll_frequency=0.05).until(lambda _: condition(), message)

    def set_fields(self, **values):
        """Fills the fields in the order given, as a person would."""
        for element_id, value in values.items():
            field = self.find("#" + element_id)
            if field.tag_name == "select" or field.get_attribute("type") == "range":
                self.driver.execute_script("arguments[0].value = arguments[1]; arguments[0].dispatchEvent(new Event('input'));"
                                           "arguments[0].dispatchEvent(new Event('change'));", field, str(value))
            else:
                field.clear()
                field.send_keys(str(value))

    def status(self):
        return self.find("#status").text

    def upload(self, path, data=None):
        """Chooses the file at path, first written with data if given."""
        if data is not None:
            path = os.path.join(self.enterContext(tempfile.TemporaryDirectory()), path)
            with open(path, "wb") as file:
                file.write(data)
        self.find("#upload").send_keys(path)
        self.wait_for(lambda: os.path.basename(path) in self.find("#measure_picture").text, 30)

    def drag(self, element, start, end):
        """Presses at start and releases at end, CSS pixels from the
        element's top-left corner (Selenium's offsets are from its centre)."""
        box = element.rect
        start, middle, end = [(round(x - box["width"] / 2), round(y - box["height"] / 2)) for x, y in
                              (start, ((start[0] + end[0]) / 2, (start[1] + end[1]) / 2), end)]
        ActionChains(self.driver).move_to_element_with_offset(element, *start).click_and_hold() \
            .move_to_element_with_offset(element, *middle).move_to_element_with_offset(element, *end).release().perform()

    def run_and_watch(self, live=lambda: False, timeout=300):
        """Runs the form and waits for the final status; gives it, and whether
        live() held at some point while the run was running."""
        self.find("#run").click()
        self.wait_for(lambda: self.find("#status").get_attribute("data-status") is not None, 30, "the run was not posted")
        seen_live = False

        def ended():
            nonlocal seen_live
            seen_live = seen_live or ("running" in self.status() and live())
            return any(word in self.status() for word in FINAL)
        self.wait_for(ended, timeout, "the run did not end")
        return self.status(), seen_live

    def run_done(self, **fields):
        """Fills the fields, runs the form and checks the run ends done."""
        self.set_fields(**fields)
        self.assertEqual(self.run_and_watch()[0], "done", self.find("#message").text)

    def watched_run_id(self):  # the run list's newest row
        return self.server.runs_list()[0]["id"]

    def warning_codes(self, selector):
        return [item.get_attribute("data-code") for item in self.driver.find_elements(By.CSS_SELECTOR, selector + " li")]

    def dark_pixels(self, run_id):
        """The stored picture's rows as strings, "#" where the program's
        darkness rule holds (every channel at most 49), decoded by the browser."""
        return self.driver.execute_async_script("""
            const [src, done] = arguments, image = Object.assign(new Image(), {src});
            image.decode().then(() => {
                const c = Object.assign(document.createElement('canvas'), {width: image.width, height: image.height});
                c.getContext('2d').drawImage(image, 0, 0);
                const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
                const dark = k => d[k] <= 49 && d[k + 1] <= 49 && d[k + 2] <= 49 ? '#' : '.';
                done(Array.from({length: c.height}, (_, y) => Array.from({length: c.width}, (_, x) => dark(4 * (y * c.width + x))).join('')));
            });""", f"/api/runs/{run_id}/files/{self.server.record(run_id)['picture']}")

    def canvas_scale(self):
        """Picture pixels per CSS pixel of the drawing, and the canvas's width."""
        return self.driver.execute_script("const c = document.getElementById('drawing'), box = c.getBoundingClientRect();"
                                          "return [c.width / box.width, c.height / box.height, c.width];")


CYLINDER = os.path.join(EXAMPLES, "cylinder.jpg")


class DrawingTest(StudioTest):
    def test_disc_drawn_by_mouse_is_sent_as_a_png_of_its_size_and_place(self):
        scale_x, scale_y = self.canvas_scale()[:2]
        centre, rim = (300, 100), (345, 100)
        self.find("input[name=tool][value=circle]").find_element(By.XPATH, "..").click()
        self.drag(self.find("#drawing"), centre, rim)
        self.run_done(mesh_choice=0)
        run_id = self.watched_run_id()
        self.assertEqual(self.server.record(run_id)["picture"], "picture.png")
        pixels = [(c + 0.5, r + 0.5) for r, row in enumerate(self.dark_pixels(run_id))
                  for c, dark in enumerate(row) if dark == "#"]
        columns, rows = zip(*pixels)
        for value, expected in ((sum(columns) / len(pixels), centre[0] * scale_x),
                                (sum(rows) / len(pixels), centre[1] * scale_y),
                                (max(columns) - min(columns) + 1, 2 * 45 * scale_x)):
            self.assertLessEqual(abs(value - expected), 2)

    def test_undo_redo_and_another_tunnel_length_keep_the_drawing(self):
        self.find("input[name=tool][value=rectangle]").find_element(By.XPATH, "..").click()
        self.drag(self.find("#drawing"), (100, 50), (200, 150))
        drawn = self.find("#measure_height").text
        pixels = "return Array.from(document.getElementById('drawing').getContext('2d')" \
                 ".getImageData(0, 0, 800, 200).data.filter((v, k) => k % 4 == 0 && v == 0)).length"
        black = self.driver.execute_script(pixels)
        self.assertGreater(black, 0)
        for action, shown, width in (  # an action, the frontal height shown afterwards, the canvas width
                (lambda: self.find("#undo").click(), "0 m", 800), (lambda: self.find("#redo").click(), drawn, 800),
                (lambda: self.set_fields(tunnel_length=8), drawn, 1600),
                (lambda: self.set_fields(tunnel_length=4), drawn, 800),
                (lambda: self.driver.refresh(), drawn, 800)):  # kept in the browser's storage
            action()
            self.wait_for(lambda: self.find("#measure_height").text == shown, 5,
                          f"frontal height {self.find('#measure_height').text}, not {shown}")
            self.assertEqual(self.canvas_scale()[2], width)
        self.assertEqual(self.driver.execute_script(pixels), black)


class FormTest(StudioTest):
    def test_plainly_invalid_answers_are_named_and_nothing_is_posted(self):
        count = len(self.server.runs_list())
        for field, value, message, button in (
            ("density", "-1", "The density must be a positive number.", "#run"),
            ("reynolds_number", "", "The Reynolds number is empty.", "#run"),
            ("tunnel_length", "four", 'The tunnel length is not a number: "four".', "#run"),
            ("max_iterations", "2.5", "The maximum number of iterations must be a whole number.", "#run"),
            ("courant", "1.5", "The Courant number must be a number above 0 and at most 1.", "#run"),
            ("max_iterations", "3000000000", "The maximum number of iterations must be a whole number from -2147483648 to 2147483647.", "#run"),
            ("sweep_values", "10, -5", "With -5: The Reynolds number must not be negative: it gives a negative inlet velocity.", "#sweep_run")):
            with self.subTest(field=field, value=value):
                self.driver.refresh()
                self.set_fields(**{field: value})
                self.find(button).click()
                self.wait_for(lambda: self.find("#form_errors").text != "", 10)
                self.assertEqual(self.find("#form_errors").text, message)
                self.assertEqual(self.find(f"#{field}").get_attribute("aria-invalid"), "true")
                self.assertEqual(len(self.server.runs_list()), count)

    def test_inlet_velocity_and_options_are_posted_only_where_the_program_needs_them(self):
        page = {"stop_rule": "steady", "pressure_solver": "fft"}  # the page's own defaults
        # fields set, inlet field shown, expected answers subset, expected options, command line
        for fields, inlet_shown, answers, options, command in (
            ({}, False, {"reynolds_number": "20"}, page, "veltaro --stop-rule=steady --pressure-solver=fft < answers.txt"),
            ({"reynolds_number": "0", "inlet_velocity": "0.2"}, True, {"inlet_velocity": "0.2"}, page, None),
            ({"solid_nodes": "covered", "stop_rule": "limit"}, False, {},
             {"solid_nodes": "covered", "stop_rule": "limit", "pressure_solver": "fft"},
             "veltaro --solid-nodes=covered --stop-rule=limit --pressure-solver=fft < answers.txt"),
            ({"courant": "0.4", "projection": "faces"}, False, {}, {**page, "courant": "0.4", "projection": "faces"},
             "veltaro --stop-rule=steady --pressure-solver=fft --projection=faces --courant=0.4 < answers.txt"),
            # The program's defaults are not sent, nor written on its command line.
            ({"stop_rule": "quiet", "pressure_solver": "lu"}, False, {}, {}, "veltaro < answers.txt")):
            with self.subTest(fields=fields):
                self.driver.refresh()
                self.upload(CYLINDER)
                self.set_fields(**{"mesh_choice": "0", "max_iterations": "1", **fields})
                self.assertEqual(self.find("#inlet_velocity").is_displayed(), inlet_shown)
                count = len(self.server.runs_list())
                self.run_and_watch()
                record = (runs := self.server.runs_list())[0]
                self.assertEqual((len(runs), record["answers"], "inlet_velocity" in record["answers"],
                                  record.get("options") or {}),
                                 (count + 1, {**record["answers"], **answers}, inlet_shown, options))
                if command:
                    self.assertEqual(self.find("#command_line").text, command)


class UploadTest(StudioTest):
    def test_shipped_cylinder_is_sent_unchanged_and_gives_the_command_line_drag(self):
        self.upload(CYLINDER)
        self.run_done(mesh_choice=0)
        run_id = self.watched_run_id()
        stored = [self.server.get(f"/api/runs/{run_id}/files/{name}") for name in ("picture.jpg", "answers.txt")]
        self.assertEqual(stored, [read_bytes(CYLINDER), b"picture.jpg 20 0.01 1 1 4 0 20000\n"])
        # The command line the run's view shows, run by a shell beside the stored picture and answers.
        folder = self.enterContext(tempfile.TemporaryDirectory())
        for name, data in zip(("picture.jpg", "answers.txt"), stored):
            pathlib.Path(folder, name).write_bytes(data)
        done = subprocess.run(["bash", "-c", self.find("#command_line").text.replace("veltaro", EXE, 1)],
                              cwd=folder, capture_output=True, text=True, timeout=600)
        self.assertEqual(done.returncode, 1, done.stderr)
        # A program without the coefficients on the chord prints none; the
        # page then shows a dash.
        for element, name in (("drag_coefficient", "C_D"), ("lift_coefficient", "C_L"),
                              ("drag_coefficient_chord", "C_D,c"), ("lift_coefficient_chord", "C_L,c")):
            printed = [line.split()[2] for line in done.stdout.splitlines() if line.startswith(name + " = ")]
            self.assertEqual(self.find("#" + element).text, (printed or ["–"])[0])
        record = self.server.record(run_id)
        self.assertEqual(self.find("#iterations").text, str(record["iterations"]))
        # The page lists the run's warnings (this small cylinder on the
        # coarse mesh draws one from a program that gives warnings).
        self.assertEqual(self.warning_codes("#warnings"), [w["code"] for w in record["warnings"]])

    def test_a_file_that_is_no_picture_is_refused_at_once_and_nothing_is_stored(self):
        stored, folders = len(self.server.runs_list()), os.listdir(self.server.runs)
        self.upload("notes.png", b"These are notes, not a picture.\n")
        self.assertNotIn(" px", self.find("#measure_picture").text)
        self.set_fields(mesh_choice=0)
        self.expected_errors = ["415"]
        self.find("#run").click()
        self.wait_for(lambda: "notes.png" in self.find("#form_errors").text, 30)
        self.assertEqual(self.find("#form_errors").text,
                         "The server did not take the run: Can't open input jpg file: notes.png "
                         "(it looks like text, not a picture; give the name of a JPEG or PNG picture)")
        self.assertEqual((len(self.server.runs_list()), os.listdir(self.server.runs)), (stored, folders))

    def test_a_3x3_picture_at_re_1000_is_warned_and_drawn_from_its_flow(self):
        # One black pixel amid eight white ones, as the browser's canvas writes a PNG.
        tiny = self.driver.execute_script(
            "const c = Object.assign(document.createElement('canvas'), {width: 3, height: 3}), g = c.getContext('2d');"
            "g.fillStyle = 'white'; g.fillRect(0, 0, 3, 3); g.fillStyle = 'black'; g.fillRect(1, 1, 1, 1); return c.toDataURL();")
        self.upload("tiny.png", base64.b64decode(tiny.split(",", 1)[1]))
        self.set_fields(reynolds_number=1000, kinematic_viscosity=0.001, mesh_choice=0, max_iterations=30)
        self.assertIn("high_reynolds", self.warning_codes("#form_warnings"))
        self.run_done()
        self.assertIn("high_reynolds", self.warning_codes("#warnings"))
        # The speed view against its colour bar.
        flow = read_flow(self.server.get(f"/api/runs/{self.watched_run_id()}/files/flow.vtk"))
        canvas = self.find("#result_picture")
        self.wait_for(lambda: canvas.get_attribute("data-field") == "speed", 30, "no speed view")
        speeds = [(u * u + v * v) ** 0.5 for u, v in zip(flow["u"], flow["v"])]
        # Upstream, between two streamlines, where the speed changes smoothly.
        i, j = flow["nx"] // 6, 3
        shown, bar = self.driver.execute_script("""
            const [canvas, bar, fx, fy, s] = arguments;
            const x = Math.round(fx * (canvas.width - 1)), y = Math.round((1 - fy) * (canvas.height - 1));
            const at = (c, px, py) => Array.from(c.getContext('2d').getImageData(px, py, 1, 1).data.slice(0, 3));
            return [at(canvas, x, y), at(bar, Math.round(s * (bar.width - 1)), 0)];""",
            canvas, self.find("#colour_bar"), i / (flow["nx"] - 1), j / (flow["ny"] - 1),
            (speeds[j * flow["nx"] + i] - min(speeds)) / (max(speeds) - min(speeds)))
        for channel, expected in zip(shown, bar):
            self.assertLessEqual(abs(channel - expected), 12, f"speed view {shown}, colour bar {bar}")


class RunTest(StudioTest):
    def test_the_convergence_plot_fills_while_the_run_is_running(self):
        self.upload(CYLINDER)
        self.set_fields(mesh_choice=1)
        plot = self.find("#convergence_plot")
        residual = "#convergence_plot path[data-series='steady residual R [U²/c]']"
        status, seen_live = self.run_and_watch(
            lambda: int(plot.get_attribute("data-points") or 0) > 0 and self.count(residual) > 0)
        self.assertEqual((status, seen_live), ("done", True), "no residual plotted while the run was running")
        print(f"Run to first plotted iteration: {plot.get_attribute('data-first-point-ms')} ms", file=sys.stderr)
        self.assertEqual([int(e.get_attribute("data-points")) for e in (plot, self.find(residual))],
                         [self.server.record(self.watched_run_id())["iterations"]] * 2)

    def test_cancel_stops_a_long_run_and_the_page_reconnects_to_a_new_server(self):
        # That the child goes with a cancel is the API's cancel test (QueueAndLimits).
        self.upload(CYLINDER)
        self.set_fields(mesh_choice=2, max_iterations=1000000)
        for button, status in (("#run", "running"), ("#cancel", "cancelled"), ("#run", "running")):
            self.find(button).click()
            self.wait_for(lambda: self.status() == status, 60, f"the run is not shown {status}")
        self.assertEqual([run["status"] for run in self.server.runs_list()[:2]], ["running", "cancelled"])
        # The page says when the server is gone and reconnects to a new one.
        # The streams cut by the stop, and the browser's own retries.
        self.expected_errors = ["ERR_INCOMPLETE_CHUNKED_ENCODING", "ERR_CONNECTION_REFUSED"]
        self.server.stop()
        connection = self.find("#connection")
        self.wait_for(lambda: "not answering" in connection.text, 30, "the page did not notice")
        self.server.restart()
        self.wait_for(lambda: "Reconnected" in connection.text, 30, "the page did not reconnect")
        # The run's stream may be cut before its last status reaches the
        # page, which then watches the run again once the server is back.
        self.wait_for(lambda: "interrupted" in self.status(), 30, "the run is not shown interrupted")
        # Rows are rebuilt on events, so their text is read in one script.
        newest_row = "return document.querySelector('#runs tbody tr')?.textContent || ''"
        self.wait_for(lambda: "interrupted" in self.driver.execute_script(newest_row), 10)

    def test_probe_reads_flow_vtk_at_the_node_under_the_pointer(self):
        self.upload(os.path.join(EXAMPLES, "airfoil.jpg"))
        self.run_done(mesh_choice=1)
        flow = read_flow(self.server.get(f"/api/runs/{self.watched_run_id()}/files/flow.vtk"))
        picture = self.find("#result_picture")
        self.wait_for(lambda: picture.get_attribute("data-field") == "speed", 30, "flow.vtk was not drawn")
        self.driver.execute_script("arguments[0].scrollIntoView({block: 'center'})", picture)
        box = picture.rect
        for i, j in [(flow["nx"] // 3, flow["ny"] // 2), (flow["nx"] - 5, 3)]:
            ActionChains(self.driver).move_to_element_with_offset(
                picture, round((i / (flow["nx"] - 1) - 0.5) * box["width"]),
                round((0.5 - j / (flow["ny"] - 1)) * box["height"])).perform()
            self.wait_for(lambda: self.find("#probe").get_attribute("data-node") == f"{i},{j}", 10)
            for name, unit in (("u", "m/s"), ("v", "m/s"), ("p", "Pa")):
                shown = float(re.search(rf"\b{name} = (\S+) {unit}", self.find("#probe").text).group(1))
                expected = flow[name][j * flow["nx"] + i]
                self.assertAlmostEqual(shown, expected, delta=abs(expected) * 1e-6 + 1e-30, msg=f"{name} at ({i}, {j})")
        self.save_screenshot()

    def save_screenshot(self):
        """The results view, as the README shows it (docs/studio.png through
        scripts/studio-screenshot.sh)."""
        target = os.environ.get("VELTARO_STUDIO_SCREENSHOT", "studio.png")
        self.driver.set_window_size(1280, 1640)
        self.driver.execute_script("window.scrollTo(0, 0)")
        time.sleep(0.5)
        self.driver.save_screenshot(target)
        self.driver.set_window_size(1400, 2400)

    def test_reynolds_sweep_plots_three_points_and_keeps_them_after_a_reload(self):
        self.upload(CYLINDER)
        self.set_fields(mesh_choice=0, sweep_values="5, 10, 20", sweep_label="three")
        self.find("#sweep_run").click()
        markers = "#sweep_plot circle.marker"
        self.wait_for(lambda: self.count(markers) == 6, 120, "the sweep plot did not get its points")
        runs = [r for r in self.server.runs_list() if r["sweep"] == "three"]
        self.assertEqual(sorted(r["answers"]["reynolds_number"] for r in runs), ["10", "20", "5"])
        self.driver.refresh()
        self.wait_for(lambda: self.count(markers) == 6, 30)


class UnsteadyTest(StudioTest):
    def test_an_unsteady_run_plots_its_lift_live_then_plays_its_animation(self):
        # The validation cylinder at Re_D 100 on the standard mesh, with the
        # outline rule and the second-order advection the page picks for a
        # time-accurate run: it sheds within a few seconds of flow time (with
        # the first-order one it takes twice as long to grow from the small
        # start; on the coarse mesh, 2.5 nodes across, its wake settles).
        self.upload(os.path.join(EXAMPLES, "validation_cylinder.jpg"))
        self.set_fields(reynolds_number=1000, tunnel_height=2, tunnel_length=4, mesh_choice=1, max_iterations=1000000)
        self.assertIn("high_reynolds", self.warning_codes("#form_warnings"))
        self.set_fields(flow="unsteady", unsteady=6)
        picked = [self.find(f"#{name}").get_attribute("value") for name in ("advection", "solid_nodes")]
        self.assertEqual((picked, self.find("#flow_note").is_displayed()), (["second-order", "outline"], True))
        self.assertNotIn("high_reynolds", self.warning_codes("#form_warnings"))
        self.assertIn("7.5 flow-through times", self.find("#flow_throughs").text)
        status, seen_live = self.run_and_watch(lambda: self.count("#forces_plot path[data-series='C_L']"))
        self.assertEqual((status, seen_live), ("done", True), "no lift plotted while running, or " + self.find("#message").text)
        self.assertTrue(self.find("#convergence_figure").get_attribute("hidden"))
        self.assertIn("--unsteady=6", self.find("#command_line").text.split())
        self.assertRegex(self.find("#strouhal").text, r"^0\.\d+ ± [0-9.e-]+ \(\d+ cycles\)$")
        self.assertEqual(self.server.record(self.watched_run_id())["summary"]["frames"], 120)
        canvas = self.find("#animation_canvas")
        self.wait_for(lambda: canvas.get_attribute("data-frame") is not None, 30, "no frame was drawn")
        first = int(canvas.get_attribute("data-frame"))
        self.wait_for(lambda: int(canvas.get_attribute("data-frame")) != first, 10, "the animation does not play")
        self.find("#animation_play").click()  # pause
        paused = canvas.get_attribute("data-frame")
        time.sleep(0.3)
        # Frames equal to the one before are merged into it by the encoder,
        # so a wake that has settled holds fewer than the 120 taken.
        target = str(int(self.find("#animation_slider").get_attribute("max")) // 2)
        self.assertEqual((canvas.get_attribute("data-frame"), target != paused), (paused, True))
        self.set_fields(animation_slider=target)
        self.wait_for(lambda: canvas.get_attribute("data-frame") == target, 10, "the slider does not move the frame")


class AirfoilTest(StudioTest):
    def test_angle_sweep_of_a_naca_0012_with_the_chord_asked_for_gives_a_polar_with_the_sign_of_the_angle(self):
        self.find("input[name=tool][value=airfoil]").find_element(By.XPATH, "..").click()
        self.set_fields(naca_digits="0012", naca_chord=1, naca_x=2, naca_y=0.5, mesh_choice=0,
                        max_iterations=3000, solid_nodes="covered", angle_values="-8, 0, 8", sweep_label="polar")
        self.find("#angle_sweep_run").click()
        link = self.find("#polar_csv")
        self.wait_for(lambda: link.get_attribute("data-rows") == "3", 240, "the polar did not fill")
        rows = list(csv.DictReader(io.StringIO(urllib.parse.unquote(link.get_attribute("href").split(",", 1)[1]))))
        self.assertEqual((list(rows[0]), [row["angle"] for row in rows]),
                         ("angle lift_coefficient_chord drag_coefficient_chord lift_coefficient drag_coefficient run"
                          .split(), ["-8", "0", "8"]))
        for row in rows:
            record = self.server.record(row["run"])
            self.assertEqual((record["airfoil"], record["options"]["solid_nodes"]),
                             ({"naca": "0012", "angle": row["angle"]}, "covered"))
            self.assertEqual([float(row[name]) for name in list(row)[1:5]],
                             [record["summary"][name] for name in list(row)[1:5]])
        lift = {float(row["angle"]): float(row["lift_coefficient_chord"]) for row in rows}
        print(f"C_L,c at -8, 0, 8 degrees: {lift[-8]:.4f} {lift[0]:.4f} {lift[8]:.4f}", file=sys.stderr)
        self.assertTrue(lift[-8] < 0 < lift[8], lift)
        self.assertLessEqual(abs(lift[8] + lift[-8]), 0.1 * abs(lift[8]))
        self.assertEqual(("best L/D" in self.find("#polar_curve").text, self.find("#lift_column").text),
                         (True, "C_L,c (on c)"))
        # The stored picture at 0 degrees: symmetric about its chord line, which is at the
        # y = 0.5 m asked for, and 1 m long.
        dark = self.dark_pixels(rows[1]["run"])
        height, width = len(dark), len(dark[0])
        extents = {c: span for c in range(width) if (span := [r for r in range(height) if dark[r][c] == "#"])}
        # The chord line: the middle of the thickest column, in pixel rows.
        thickest = max(extents.values(), key=len)
        chord_line = (min(thickest) + max(thickest) + 1) / 2
        self.assertAlmostEqual(chord_line, height / 2, delta=1)
        for c, span in extents.items():
            above, below = chord_line - min(span), max(span) + 1 - chord_line
            self.assertLessEqual(abs(above - below), 1, f"column {c}")
        self.assertAlmostEqual((max(extents) - min(extents) + 1) * 4.0 / width, 1.0, delta=0.01)


if __name__ == "__main__":
    if os.environ.get("VELTARO_SANITIZED") == "1":
        print("Skipped in the sanitizer build: the browser tests only drive the page.")
        sys.exit(77)
    unittest.main(verbosity=2)
