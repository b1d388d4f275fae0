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
import json
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
from selenium.webdriver.support.ui import Select, WebDriverWait

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../server"))
from studio_client import EXE, EXAMPLES, FINAL, Studio, read_bytes  # noqa: E402

EXE = os.path.realpath(EXE)  # as the server names itself, links resolved

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
        self.fresh_page()
        self.driver.get_log("browser")  # start each test with an empty log

    def fresh_page(self):
        """The page as a first visit sees it: it keeps the last drawing,
        answers and watched run across a reload."""
        self.driver.execute_script("localStorage.clear()")
        self.driver.get(self.server.url)  # returns once the page has loaded

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

    def choose_tool(self, tool):
        self.find(f"input[name=tool][value={tool}]").find_element(By.XPATH, "..").click()

    def place_airfoil(self, digits, angle, **fields):
        self.choose_tool("airfoil")
        self.set_fields(naca_digits=digits, naca_angle=angle, **fields)
        self.find("#naca_place").click()

    def drawing_rows(self):
        """The drawing's rows as strings, "#" where it is solid."""
        return self.driver.execute_script(
            "const c = document.getElementById('drawing'), d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;"
            "return Array.from({length: c.height}, (_, y) => Array.from({length: c.width}, (_, x) =>"
            " d[4 * (y * c.width + x)] < 128 ? '#' : '.').join(''));")

    def newest_record(self):
        return self.server.record(self.watched_run_id())

    def number(self, element_id):
        """The first number a results cell shows."""
        return float(self.find("#" + element_id).text.split()[0])


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
        # The blockage, the share of the picture's rows that hold the body;
        # its frontal height is on the grid, which the tunnel's length changes.
        drawn = self.find("#measure_blockage").text
        pixels = "return Array.from(document.getElementById('drawing').getContext('2d')" \
                 ".getImageData(0, 0, 800, 200).data.filter((v, k) => k % 4 == 0 && v == 0)).length"
        black = self.driver.execute_script(pixels)
        self.assertGreater(black, 0)
        for action, shown, width in (  # an action, the blockage shown afterwards, the canvas width
                (lambda: self.find("#undo").click(), "0", 800), (lambda: self.find("#redo").click(), drawn, 800),
                (lambda: self.set_fields(tunnel_length=8), drawn, 1600),
                (lambda: self.set_fields(tunnel_length=4), drawn, 800),
                (lambda: self.driver.refresh(), drawn, 800)):  # kept in the browser's storage
            action()
            self.wait_for(lambda: self.find("#measure_blockage").text == shown, 5,
                          f"blockage {self.find('#measure_blockage').text}, not {shown}")
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
            ("max_iterations", "3000000000", "The maximum number of iterations must be at most 2147483647.", "#run"),
            ("sweep_values", "10, -5", "With -5: The Reynolds number must not be negative: it gives a negative inlet velocity.", "#sweep_run")):
            with self.subTest(field=field, value=value):
                self.fresh_page()
                self.set_fields(**{field: value})
                self.find(button).click()
                self.wait_for(lambda: self.find("#form_errors").text != "", 10)
                self.assertEqual(self.find("#form_errors").text, message)
                self.assertEqual(self.find(f"#{field}").get_attribute("aria-invalid"), "true")
                self.assertEqual(len(self.server.runs_list()), count)

    def test_inlet_velocity_and_options_are_posted_only_where_the_program_needs_them(self):
        # The page's own defaults, the recommended method; the command line names
        # the program by its path, since a plain build's is on no PATH.
        page = {"solid_nodes": "outline", "stop_rule": "steady", "pressure_solver": "fft", "advection": "second-order"}
        recommended = "--solid-nodes=outline --stop-rule=steady --pressure-solver=fft --advection=second-order"
        defaults = {"solid_nodes": "sampled", "stop_rule": "quiet", "pressure_solver": "lu", "advection": "first-order"}
        # fields set, inlet field shown, expected answers subset, expected options, command line
        for fields, inlet_shown, answers, options, command in (
            ({}, False, {"reynolds_number": "20"}, page, f"{EXE} {recommended} < answers.txt"),
            ({"reynolds_number": "0", "inlet_velocity": "0.2"}, True, {"inlet_velocity": "0.2"}, page, None),
            ({"solid_nodes": "covered", "stop_rule": "limit"}, False, {}, dict(page, solid_nodes="covered", stop_rule="limit"),
             f"{EXE} --solid-nodes=covered --stop-rule=limit --pressure-solver=fft --advection=second-order < answers.txt"),
            ({"courant": "0.4", "projection": "faces"}, False, {}, {**page, "courant": "0.4", "projection": "faces"},
             f"{EXE} {recommended} --projection=faces --courant=0.4 < answers.txt"),
            # The program's defaults are not sent, nor written on its command line.
            (defaults, False, {}, {}, f"{EXE} < answers.txt")):
            with self.subTest(fields=fields):
                self.fresh_page()
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
        # It runs as pasted: the program is named by its path, which no PATH holds.
        self.assertTrue(self.find("#command_line").text.startswith(EXE + " --"), self.find("#command_line").text)
        done = subprocess.run(["bash", "-c", self.find("#command_line").text], cwd=folder, capture_output=True, text=True,
                              timeout=600, env=dict(os.environ, PATH="/usr/bin:/bin"))
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
        for buttons, status in ((["#run"], "running"), (["#cancel", "#cancel"], "cancelled"), (["#run"], "running")):
            for button in buttons:  # Cancel asks again before it cancels
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
        # page's outline rule and second-order advection: it sheds within a
        # few seconds of flow time (with the first-order one it takes twice as
        # long to grow from the small start; on the coarse mesh, 2.5 nodes
        # across, its wake settles).
        self.upload(os.path.join(EXAMPLES, "validation_cylinder.jpg"))
        self.set_fields(reynolds_number=1000, tunnel_height=2, tunnel_length=4, mesh_choice=1, max_iterations=1000000)
        self.assertIn("high_reynolds", self.warning_codes("#form_warnings"))
        self.set_fields(flow="unsteady", unsteady=6)
        picked = [self.find(f"#{name}").get_attribute("value") for name in ("advection", "solid_nodes")]
        self.assertEqual(picked, ["second-order", "outline"])
        self.assertNotIn("high_reynolds", self.warning_codes("#form_warnings"))
        self.assertIn("7.5 flow-through times", self.find("#flow_throughs").text)
        settings = "return document.querySelector('#runs tbody tr td:nth-child(6)')?.textContent"
        seen = set()

        def live():
            seen.add(self.driver.execute_script(settings))
            return self.count("#forces_plot path[data-series='C_L']")
        status, seen_live = self.run_and_watch(live)
        self.assertEqual((status, seen_live), ("done", True), "no lift plotted while running, or " + self.find("#message").text)
        self.assertTrue(self.find("#convergence_figure").get_attribute("hidden"))
        self.assertIn("--unsteady=6", self.find("#command_line").text.split())
        summary = self.newest_record()["summary"]
        self.assertEqual(summary["frames"], 120)
        # Its settings read the same while it runs and once it is done.
        self.wait_for(lambda: self.driver.execute_script(settings) == "validated, unsteady to 6 s", 10)
        self.assertEqual(seen - {None}, {"validated, unsteady to 6 s"})
        # The measures over its cycles, not its last step, and St's ± said for what it is.
        for name in ("mean_drag_coefficient", "drag_coefficient_amplitude", "lift_coefficient_amplitude"):
            self.assertEqual(float(self.find("#" + name).text), float(f"{summary[name]:e}"), name)
        self.assertTrue(self.find("#mean_drag_coefficient").is_displayed() and self.find("th .instant").is_displayed())
        self.assertRegex(self.find("#strouhal").text,
                         r"^0\.\d+ \(± [0-9.e-]+: half the spread of its \d+ cycles' periods, not its accuracy\)$")
        self.assertIn("from the standard mesh to the fine one", self.find("#strouhal_band").text)
        cells = self.driver.execute_script("return [...document.querySelectorAll('#runs tbody tr')[0].cells].map((c) => c.textContent)")
        self.assertRegex(cells[6], r"^mean \d\.\d+ ± \d\.\d+ on D$")
        self.assertRegex(cells[7], r"^± \d\.\d+, St 0\.\d+ on D$")
        # The live plot's scale is the flow's after the start-up, not the impulsive start's.
        forces = self.server.get(f"/api/runs/{self.watched_run_id()}/files/forces.csv").decode().splitlines()[1:]
        drag = [(float(row.split(",")[1]), float(row.split(",")[6])) for row in forces]
        low, high = map(float, self.find("#forces_plot").get_attribute("data-y-range").split(","))
        late = [value for time, value in drag if time > 3]
        self.assertTrue(low <= min(late) and max(late) <= high < 0.5 * max(value for _, value in drag), (low, high))
        canvas = self.find("#animation_canvas")
        self.wait_for(lambda: canvas.get_attribute("data-frame") is not None, 30, "no frame was drawn")
        first = int(canvas.get_attribute("data-frame"))
        self.wait_for(lambda: int(canvas.get_attribute("data-frame")) != first, 10, "the animation does not play")
        self.find("#animation_play").click()  # pause
        time.sleep(0.3)  # a frame already on its way may still be drawn
        paused = canvas.get_attribute("data-frame")
        time.sleep(0.3)
        # Frames equal to the one before are merged into it by the encoder,
        # so a wake that has settled holds fewer than the 120 taken.
        target = str(int(self.find("#animation_slider").get_attribute("max")) // 2)
        self.assertEqual((canvas.get_attribute("data-frame"), target != paused), (paused, True))
        self.set_fields(animation_slider=target)
        self.wait_for(lambda: canvas.get_attribute("data-frame") == target, 10, "the slider does not move the frame")
        # Compared with a steady run, the time-accurate measures stand beside its none.
        self.set_fields(flow="steady", mesh_choice=0, max_iterations=5, reynolds_number=20)
        self.run_and_watch()
        for box in self.driver.find_elements(By.CSS_SELECTOR, "#runs tbody input[type=checkbox]")[:2]:
            box.click()
        comparison = self.find("#comparison").text
        self.assertIn("Mean C_D", comparison)
        self.assertIn(f"{summary['mean_drag_coefficient']:e}", comparison)


class AirfoilTest(StudioTest):
    """A symmetric section on the tunnel's mirror line is mirror-symmetric in
    its pixels, so the rules that keep a mirror picture's symmetry (covered
    and outline; sampled does not, by design) give it no lift, and +a and -a
    give opposite lifts."""

    def test_shapes_centred_near_the_mirror_line_are_mirror_symmetric_in_pixels(self):
        scale_x, scale_y = self.canvas_scale()[:2]
        css = lambda x, row: (x / scale_x, row / scale_y)  # picture pixels to CSS pixels
        # A tool and the drag, in picture pixels: each centre 1 to 1.5 rows off the mirror line at row 100.
        for tool, start, end in (("circle", (300, 101.4), (345, 101.4)), ("ellipse", (250, 61), (380, 142)),
                                 ("rectangle", (250, 60.6), (380, 140.6)), ("airfoil", None, None)):
            with self.subTest(tool):
                self.find("#clear").click()
                if tool == "airfoil":
                    self.place_airfoil("0012", 0, naca_chord=1, naca_x=1.5, naca_y=0.505)
                else:
                    self.choose_tool(tool)
                    self.drag(self.find("#drawing"), css(*start), css(*end))
                rows = self.drawing_rows()
                dark = [r for r, row in enumerate(rows) if "#" in row]
                self.assertEqual((rows == rows[::-1], dark[0] + dark[-1] + 1), (True, len(rows)), f"{tool}: rows {dark[0]}-{dark[-1]}")

    def test_a_symmetric_section_on_the_mirror_line_gets_no_lift_on_any_mesh(self):
        self.place_airfoil("0012", 0, naca_chord=1, naca_x=1.5, naca_y=0.5)
        lifts = {}
        for mesh in (0, 1, 2):
            for rule in ("covered", "outline"):
                self.run_done(mesh_choice=mesh, solid_nodes=rule)
                lifts[mesh, rule] = self.newest_record()["summary"]["lift_coefficient_chord"]
        print("NACA 0012 at 0 degrees, C_L,c by mesh and rule:", lifts, file=sys.stderr)
        self.assertLessEqual(max(map(abs, lifts.values())), 1e-3, lifts)

    def test_angle_sweeps_give_lift_of_the_sign_of_the_angle_antisymmetric_within_2_percent(self):
        self.choose_tool("airfoil")
        for rule in ("covered", "outline"):
            with self.subTest(rule):
                self.set_fields(naca_digits="0012", naca_chord=1, naca_x=2, naca_y=0.5, mesh_choice=0,
                                max_iterations=5000, solid_nodes=rule, angle_values="-8, 0, 8", sweep_label="polar " + rule)
                self.find("#angle_sweep_run").click()
                link = self.find("#polar_csv")
                self.wait_for(lambda: self.find("#sweep_select").get_attribute("value") == "polar " + rule
                              and link.get_attribute("data-rows") == "3", 240, "the polar did not fill")
                rows = list(csv.DictReader(io.StringIO(urllib.parse.unquote(link.get_attribute("href").split(",", 1)[1]))))
                # Each row says how it was computed.
                self.assertEqual((list(rows[0]), [row["angle"] for row in rows]),
                                 ("angle lift_coefficient_chord drag_coefficient_chord lift_coefficient drag_coefficient run "
                                  "reynolds_number reynolds_frontal mesh solid_nodes stop_rule pressure_solver advection "
                                  "projection courant unsteady grid_study lift_coefficient_chord_band drag_coefficient_chord_band "
                                  "lift_coefficient_band drag_coefficient_band"
                                  .split(), ["-8", "0", "8"]))
                self.assertEqual([(row["reynolds_number"], row["mesh"], row["solid_nodes"], row["advection"]) for row in rows],
                                 [("20", "coarse", rule, "second-order")] * 3)
                for row in rows:
                    record = self.server.record(row["run"])
                    self.assertEqual((record["airfoil"], record["options"]["solid_nodes"]), ({"naca": "0012", "angle": row["angle"]}, rule))
                    self.assertEqual([float(row[name]) for name in list(row)[1:5]], [record["summary"][name] for name in list(row)[1:5]])
                lift = {float(row["angle"]): float(row["lift_coefficient_chord"]) for row in rows}
                print(f"{rule}: C_L,c at -8, 0, 8 degrees: {lift[-8]:.4f} {lift[0]:.2e} {lift[8]:.4f}", file=sys.stderr)
                self.assertTrue(lift[-8] < 0 < lift[8] and abs(lift[0]) <= 1e-3, lift)
                self.assertLessEqual(abs(lift[8] + lift[-8]), 0.02 * abs(lift[8]))
                # The pictures at -8 and 8 degrees are each other's mirror images.
                minus, plus = (self.dark_pixels(rows[k]["run"]) for k in (0, 2))
                self.assertEqual(minus, plus[::-1])
        self.check_polar_labels()
        # By shape, the list shows an airfoil's coefficients on its chord.
        newest = self.driver.execute_script("return document.querySelector('#runs tbody tr').textContent")
        self.assertEqual((self.find("#lift_column").text, newest.count(" on c")), ("C_L", 2), newest)
        # The stored picture at 0 degrees: symmetric about the mirror line, and 1 m long.
        dark = self.dark_pixels(rows[1]["run"])
        height, width = len(dark), len(dark[0])
        columns = [c for c in range(width) if any(row[c] == "#" for row in dark)]
        self.assertEqual(dark, dark[::-1])
        self.assertAlmostEqual((columns[-1] - columns[0] + 1) * 4.0 / width, 1.0, delta=0.01)

    def check_polar_labels(self):
        """The best-L/D words and the points cover no legend."""
        boxes = self.driver.execute_script("""
            const box = (e) => { const b = e.getBBox(); return [b.x, b.y, b.x + b.width, b.y + b.height]; };
            return [...document.querySelectorAll('#polar_figure svg')].map((svg) => ({
                legends: [...svg.querySelectorAll('text.legend')].map(box),
                covers: [...svg.querySelectorAll('circle.marker, circle.mark, text.mark-label')].map(box)}));""")
        overlap = lambda a, b: a[0] < b[2] and b[0] < a[2] and a[1] < b[3] and b[1] < a[3]
        for plot in boxes:
            self.assertFalse(any(overlap(a, b) for a in plot["legends"] for b in plot["covers"]), plot)
        self.assertIn("best L/D", self.find("#polar_curve").text)


class TrustTest(StudioTest):
    """The page starts with the method the validation page recommends,
    measures the obstacle as the program does, and says how its stop rule
    stopped."""

    RECOMMENDED = {"solid_nodes": "outline", "advection": "second-order", "stop_rule": "steady", "pressure_solver": "fft"}

    def test_the_page_starts_with_the_validated_method_and_the_programs_measures(self):
        self.assertEqual({name: self.find("#" + name).get_attribute("value") for name in self.RECOMMENDED}, self.RECOMMENDED)
        self.assertIn("--solid-nodes=outline --advection=second-order --stop-rule=steady --pressure-solver=fft",
                      self.find("#option_note").text)
        self.place_airfoil("2412", 4, naca_chord=1, naca_x=1.5, naca_y=0.5)
        drawn = [float(self.find(f"#measure_{name}").text.split()[0]) for name in ("height", "chord")]
        self.run_done(mesh_choice=1)
        record = self.newest_record()
        summary = record["summary"]
        # The drawing panel's four digits are the program's D and c.
        for shown, name in zip(drawn, ("frontal_height", "chord")):
            self.assertAlmostEqual(shown, summary[name], delta=6e-4 * summary[name], msg=name)
        self.assertEqual((record["options"], [w["code"] for w in record["warnings"]]), (self.RECOMMENDED, ["coarse_obstacle"]))
        print(f"NACA 2412 at 4 degrees, standard mesh, validated: C_L,c {summary['lift_coefficient_chord']:.4f}, "
              f"C_D,c {summary['drag_coefficient_chord']:.4f}, R {summary['steady_residual']:.2e}", file=sys.stderr)
        self.assertGreater(summary["lift_coefficient_chord"], 0.5)
        self.wait_for(lambda: self.driver.execute_script(
            "return document.querySelector('#runs tbody tr td:nth-child(6)')?.textContent") == "validated; NACA 2412 at 4°", 10)

    def test_the_stop_rule_says_what_stopped_it_and_warns_at_the_floor_above_one_in_a_thousand(self):
        # The picture, its answers; the stop as the page says it; whether it warns steady_at_floor.
        for picture, fields, stop, warns in (
                (CYLINDER, {"reynolds_number": 5}, r"steady \(R \d\.\de-5, below 1e-4\)", False),
                ("0012", {"reynolds_number": 5}, r"steady \(at the single-precision floor, R \d\.\de-4\)", False),
                ("0012", {"reynolds_number": 1}, r"steady \(at the single-precision floor, R \d\.\de-3\)", True)):
            with self.subTest(picture=picture, **fields):
                self.fresh_page()
                if picture == CYLINDER:
                    self.upload(CYLINDER)
                else:
                    self.place_airfoil(picture, 0, naca_chord=1, naca_x=1.5, naca_y=0.5)
                self.run_done(mesh_choice=0, **fields)
                self.assertRegex(self.find("#stop").text, "^" + stop + "$")
                self.assertEqual("steady_at_floor" in self.warning_codes("#warnings"), warns)
        warning = self.find("#warnings li[data-code=steady_at_floor]").text
        self.assertIn("check that the forces stay with a run of twice as many iterations", warning)
        self.assertIn("single-precision floor", self.find("#stop_rule").find_element(By.XPATH, "..").get_attribute("title"))


class HintsTest(StudioTest):
    """What the picture alone says is said before the run."""

    def test_blockage_an_all_dark_picture_and_an_empty_tunnel_are_said_before_the_run(self):
        self.assertEqual(self.warning_codes("#form_warnings"), ["no_obstacle"])
        # A rectangle over 40% of the height: the page says so, and so does the program.
        scale_x, scale_y = self.canvas_scale()[:2]
        self.choose_tool("rectangle")
        self.drag(self.find("#drawing"), (300 / scale_x, 60 / scale_y), (340 / scale_x, 140 / scale_y))
        self.wait_for(lambda: "high_blockage" in self.warning_codes("#form_warnings"), 5)
        self.assertIn("fills 40% of the tunnel's height", self.find("#form_warnings li[data-code=high_blockage]").text)
        self.run_done(mesh_choice=0, max_iterations=5)
        self.assertIn("high_blockage", self.warning_codes("#warnings"))
        # An all-black picture of one pixel: no frontal height of the whole tunnel before the run.
        black = self.driver.execute_script(
            "const c = Object.assign(document.createElement('canvas'), {width: 1, height: 1}), g = c.getContext('2d');"
            "g.fillStyle = 'black'; g.fillRect(0, 0, 1, 1); return c.toDataURL();")
        self.upload("black.png", base64.b64decode(black.split(",", 1)[1]))
        self.assertIn("all_solid", self.warning_codes("#form_warnings"))
        self.assertEqual((self.find("#measure_height").text, self.find("#measure_nodes").text),
                         ("– (the whole tunnel is solid)", "–"))
        self.run_done(mesh_choice=0, max_iterations=5)
        self.assertIn("all_solid", self.warning_codes("#warnings"))


class WordingTest(StudioTest):
    """Odd answers get words a reader can use."""

    def test_stretch_huge_numbers_and_a_diverged_run_are_said_plainly(self):
        wide = self.driver.execute_script(
            "const c = Object.assign(document.createElement('canvas'), {width: 20000, height: 5}), g = c.getContext('2d');"
            "g.fillStyle = 'white'; g.fillRect(0, 0, 20000, 5); g.fillStyle = 'black'; g.fillRect(9000, 1, 3, 3); return c.toDataURL();")
        self.upload("wide.png", base64.b64decode(wide.split(",", 1)[1]))
        stretched = self.find("#form_warnings li[data-code=stretched_picture]").text
        self.assertIn("a circle drawn in it becomes an ellipse 1000 times as high as it is long", stretched)
        self.fresh_page()
        for field, value, message in (
                ("reynolds_number", "1e400", "The Reynolds number is too large: the program holds it in single precision, at most about 3.4e38."),
                ("density", "1e39", "The density is too large: the program holds it in single precision, at most about 3.4e38."),
                ("max_iterations", "3000000000", "The maximum number of iterations must be at most 2147483647."),
                ("max_iterations", "-3000000000", "The maximum number of iterations must be a whole number of 1 or more (0 or less runs no iteration).")):
            with self.subTest(field=field, value=value):
                self.fresh_page()
                self.set_fields(**{field: value})
                self.find("#run").click()
                self.wait_for(lambda: self.find("#form_errors").text != "", 10)
                words = self.find("#form_errors").text + " " + self.find("#form_warnings").text
                self.assertEqual(self.find("#form_errors").text, message)
                self.assertFalse(any(word in words for word in ("Infinity", "NaN", "-2147483648")), words)
        # A run the program refuses is refused; one that diverges has failed, and says so.
        self.fresh_page()
        self.upload(CYLINDER)
        for fields, status, start in (({"tunnel_height": "1e-30", "tunnel_length": "4e-30"}, "refused", "The tunnel is too small to compute"),
                                      ({"reynolds_number": "1e30"}, "failed", "The run failed at iteration 1: the flow diverged")):
            with self.subTest(status):
                self.set_fields(mesh_choice=0, **fields)
                self.assertEqual(self.run_and_watch()[0], status)
                self.assertTrue(self.find("#message").text.startswith(start), self.find("#message").text)
                self.set_fields(tunnel_height=1, tunnel_length=4, reynolds_number=20)


class StateTest(StudioTest):
    """A reload loses nothing, and no message outlives its cause."""

    def test_a_reload_keeps_the_answers_the_airfoil_tag_and_the_running_run(self):
        self.place_airfoil("2412", 4, naca_chord=1, naca_x=1.5, naca_y=0.5)
        self.run_done(mesh_choice=0, reynolds_number=15, solid_nodes="covered", max_iterations=50)
        first = self.watched_run_id()
        # Re-run loads the run's picture and tag; a reload keeps both, and the answers.
        self.find("#clear").click()
        self.find(f"#runs tr[data-id='{first}'] button[aria-label='Re-run run {first}']").click()
        self.wait_for(lambda: self.find("#measure_height").text != "0 m", 10)
        self.driver.refresh()
        values = {name: self.find("#" + name).get_attribute("value") for name in ("reynolds_number", "mesh_choice", "solid_nodes", "max_iterations")}
        self.assertEqual(values, {"reynolds_number": "15", "mesh_choice": "0", "solid_nodes": "covered", "max_iterations": "50"})
        # The finished run it watched is shown again.
        self.wait_for(lambda: self.status() == "done" and self.find("#lift_coefficient_chord").text != "", 30)
        self.run_done()
        self.assertEqual(self.newest_record()["airfoil"], {"naca": "2412", "angle": "4"})
        # A run in progress: the reload watches it again, and its plot goes on.
        self.set_fields(mesh_choice=2, max_iterations=1000000)
        self.find("#run").click()
        self.wait_for(lambda: self.status() == "running", 60)
        self.driver.refresh()
        plot = self.find("#convergence_plot")
        self.wait_for(lambda: self.status() == "running" and int(plot.get_attribute("data-points") or 0) > 0, 30,
                      "the reload did not watch the running run again")
        # Cancel in the list asks again, as Delete does.
        running = self.watched_run_id()
        cancel = self.find(f"#runs tr[data-id='{running}'] button[aria-label='Cancel run {running}']")
        cancel.click()
        self.assertEqual((cancel.text, self.server.record(running)["status"]), ("Really cancel?", "running"))
        cancel.click()
        self.wait_for(lambda: self.status() == "cancelled", 60)

    def test_messages_go_with_their_cause(self):
        self.upload(CYLINDER)
        self.run_done(mesh_choice=0, max_iterations=5)
        # A refusal by the page speaks of no earlier run, and goes once the field is fixed.
        self.set_fields(density="-1")
        self.find("#run").click()
        self.wait_for(lambda: self.find("#form_errors").text == "The density must be a positive number.", 10)
        self.assertEqual((self.status(), self.find("#results-panel").get_attribute("hidden")),
                         ("not started: the answers need the changes said under them", "true"))
        self.set_fields(density="1")
        self.wait_for(lambda: self.find("#form_errors").text == "", 5, "the message outlived its cause")
        self.assertEqual(self.find("#density").get_attribute("aria-invalid"), "false")
        # The server's refusal of a picture goes when another picture is chosen.
        self.expected_errors = ["415"]
        self.upload("notes.png", b"These are notes, not a picture.\n")
        self.find("#run").click()
        self.wait_for(lambda: "notes.png" in self.find("#form_errors").text, 30)
        self.assertEqual(self.status(), "not started: the server did not take it (see under the answers)")
        self.upload(CYLINDER)
        self.assertEqual(self.find("#form_errors").text, "")


def short(value):
    """A number to two significant digits, as the page writes it."""
    return f"{float(f'{value:.2g}'):g}"


def duration(seconds):
    """A time as the page's estimate writes it."""
    if seconds < 1:
        return f"{short(seconds * 1000)} ms"
    if seconds < 60:
        return f"{short(seconds)} s"
    return f"{short(seconds / 60)} min" if seconds < 3600 else f"{short(seconds / 3600)} h"


class MeshTest(StudioTest):
    """The Mesh select's very fine choice and the nodes-across box reach the
    program as --nodes-across; the grid, its memory and a time are said
    before Run, and a box the program would refuse is refused in words."""

    def set_box(self, value):
        self.driver.execute_script("const box = document.getElementById('nodes_across'); box.value = arguments[0];"
                                   "box.dispatchEvent(new Event('input')); box.dispatchEvent(new Event('change'));", value)

    def test_the_mesh_controls_send_nodes_across_and_say_the_grid_memory_and_time(self):
        self.upload(CYLINDER)  # 800 x 200 pixels in the 4 m x 1 m tunnel
        self.assertEqual(self.find("#estimate_time").text,
                         "no estimate yet: it is measured from the runs that finish (their seconds per node and iteration)")
        # select, box, solve, advection; mesh answer and nodes_across sent; nx, ny; bytes per node
        # beyond the 16 MB; whether the obstacle is too coarse (the page then names the N that is not)
        for select, box, solve, advection, answer, across, nx, ny, per_node, coarse in (
                ("very-fine", "", "fft", "second-order", "2", "200", 800, 200, 80 + 8 + 20, False),
                ("0", "30", "lu", "first-order", "0", "30", 120, 30, 80 + 260 * 4.90689 - 850, True),  # log2(30)
                ("2", "", "fft", "first-order", "2", None, 400, 100, 80 + 20, False)):
            with self.subTest(select=select, box=box):
                self.set_fields(mesh_choice=select, pressure_solver=solve, advection=advection, max_iterations=3)
                self.set_box(box)
                source = self.find("#mesh_source").text
                self.assertEqual((source.startswith("Sized by the box: 30 nodes across, in place of the Mesh choice (its answer, 0,")
                                  if box else source.startswith("Sized by the Mesh choice"),
                                  "overridden" in self.find("#mesh_choice").find_element(By.XPATH, "..").get_attribute("class")),
                                 (True, bool(box)), source)
                nodes = self.find("#estimate_nodes").text
                self.assertTrue(self.find("#estimate_memory").text.startswith(
                    f"about {round((16e6 + nx * ny * per_node) / 1e6)} MB with the {solve} solve and {advection} advection"),
                    self.find("#estimate_memory").text)
                hint = " ".join(item.text for item in self.driver.find_elements(By.CSS_SELECTOR, "#form_warnings li[data-code=coarse_obstacle]"))
                self.run_done()
                record = self.newest_record()
                self.assertEqual((record["answers"]["mesh_choice"], record["options"].get("nodes_across"),
                                  record["summary"]["nx"], record["summary"]["ny"], record["summary"]["nodes_across"]),
                                 (answer, across, nx, ny, int(across) if across else None))
                dx = record["summary"]["dx"]  # the program's own, in single precision
                self.assertEqual(nodes, f"{nx:,} × {ny:,} = {nx * ny:,} nodes, {float(f'{dx:.4g}'):g} m apart")
                command = self.find("#command_line").text
                self.assertEqual(command.endswith(f"--nodes-across={across} < answers.txt") if across else "--nodes-across" not in command,
                                 True, command)
                # The page's hint and the program's warning name the same N and spacings.
                warned = [w["message"] for w in record["warnings"] if w["code"] == "coarse_obstacle"]
                self.assertEqual((bool(hint), bool(warned)), (coarse, coarse), hint)
                if coarse:
                    advice = r"--nodes-across=\d+ gives \d+\.\d"
                    self.assertEqual(re.search(advice, hint).group(0), re.search(advice, warned[0]).group(0), hint)
        # The time from the newest finished runs with the same solve, seconds / (iterations nx ny):
        # from the short runs, said to be high; then from the one long run alone.
        for runs_of, after in (("the last 2 finished runs", "; of fewer than 100 iterations each, so their start-up and "
                                "result files make this high"), ("the last finished run", "")):
            if not after:
                self.run_done(mesh_choice=0, stop_rule="limit", max_iterations=150)
            self.set_fields(mesh_choice="very-fine", pressure_solver="fft", advection="second-order", max_iterations=20000)

            def expected():
                runs = [r["results"] for r in self.server.runs_list() if r["status"] == "done" and r["results"]["pressure_solver"] == "fft"]
                runs = ([r for r in runs if r["iterations"] >= 100] or runs)[:5]
                per = sum(r["seconds"] for r in runs) / sum(r["iterations"] * r["nx"] * r["ny"] for r in runs) * 800 * 200
                return (f"about {duration(per)} per iteration, at most {duration(per * 20000)} for the limit of 20,000 iterations "
                        f"(from {runs_of} with the fft solve{after})")
            self.wait_for(lambda: self.find("#estimate_time").text == expected(), 10, self.find("#estimate_time").text)
        # A box of 2000 across: 8000 x 2000 nodes, in gigabytes.
        self.set_box("2000")
        self.assertTrue(self.find("#estimate_memory").text.startswith("about 1.7 GB"), self.find("#estimate_memory").text)
        # Re-run brings each run's mesh controls back: newest first, the select and the box.
        for run, (select, box) in zip(self.server.runs_list()[1:], (("2", ""), ("0", "30"), ("very-fine", ""))):
            self.find(f"#runs tr[data-id='{run['id']}'] button[aria-label='Re-run run {run['id']}']").click()
            self.wait_for(lambda: (self.find("#mesh_choice").get_attribute("value"), self.find("#nodes_across").get_attribute("value")) == (select, box), 10)

    def test_a_box_the_program_would_refuse_is_refused_in_words_before_run(self):
        count = len(self.server.runs_list())
        not_whole = 'The nodes across must be a whole number of 3 or more, such as 200, not "{}"; or leave the box empty to use the Mesh choice.'
        for value, message in (("2", not_whole), ("0", not_whole), ("-5", not_whole), ("3.5", not_whole), ("two hundred", not_whole),
                               ("1000000", "The mesh of 4000000 x 1000000 nodes is too large (at most 1000000000); "
                                           "give fewer nodes across or a shorter tunnel.")):
            with self.subTest(value=value):
                self.set_box(value)
                refused = message == not_whole
                said = f'The box\'s "{value}" is not a whole number of 3 or more, so it is not used.'
                self.assertEqual(said in self.find("#mesh_source").text, refused, self.find("#mesh_source").text)
                self.find("#run").click()
                self.wait_for(lambda: self.find("#form_errors").text != "", 10)
                self.assertEqual(self.find("#form_errors").text, message.format(value))
                self.assertEqual(self.find("#nodes_across").get_attribute("aria-invalid"), str(refused).lower())
                self.assertEqual(len(self.server.runs_list()), count)

def program_has_grid_study():
    return "--grid-study" in subprocess.run([EXE, "--help"], capture_output=True, text=True).stdout


@unittest.skipUnless(program_has_grid_study(), "the program has no --grid-study yet")
class GridTest(StudioTest):
    """The grid error: the check box, the live plot mesh by mesh, ± beside
    each coefficient, the three meshes' table and the error bars, on the
    smallest study the program takes (the standard mesh: 50, 34 and 26
    nodes across)."""

    def js_percent(self, relative):
        """A band as the page writes it, by the browser's own numbers."""
        return self.driver.execute_script("return `${Number((arguments[0] * 100).toPrecision(2))}%`", relative)

    def band_words(self, entry):
        return f"± {self.js_percent(entry['band_relative'])}" if entry["band_relative"] is not None else f"no band: {entry['reason']}"

    def test_a_study_shows_its_meshes_live_then_its_bands_and_table(self):
        self.upload(CYLINDER)
        self.set_fields(mesh_choice=0, max_iterations=30)
        self.find("#grid_study").click()
        count = len(self.server.runs_list())
        # Refused before Run, as the program would: the coarsest mesh of 12 across.
        self.find("#run").click()
        self.wait_for(lambda: self.find("#form_errors").text != "", 10)
        self.assertIn("The grid error needs at least 25 nodes across on its coarsest mesh: 25 across gives 18 and 12;",
                      self.find("#form_errors").text)
        self.assertEqual((len(self.server.runs_list()), self.find("#grid_study").get_attribute("aria-invalid")), (count, "true"))
        Select(self.find("#mesh_choice")).select_by_value("1")  # as a person does: its events reach the page's form
        self.wait_for(lambda: self.find("#form_errors").text == "", 5, "the refusal outlived its cause")
        self.assertIn("1.5 times", self.find("#estimate_time").text + self.find("#grid_study_hint").text)
        # The check box is kept over a reload.
        self.driver.refresh()
        self.assertTrue(self.find("#grid_study").is_selected())
        titles = set()

        def live():
            titles.add(self.driver.execute_script("return document.querySelector('#convergence_plot text.title')?.textContent ?? ''"))
            return True
        status, _ = self.run_and_watch(live)
        self.assertEqual(status, "done", self.find("#message").text)
        record = self.newest_record()
        study = record["summary"]["grid_study"]
        self.assertEqual(([m["nodes_across"] for m in study["meshes"]], record["options"]["grid_study"]), ([50, 34, 26], "true"))
        self.assertIn("--grid-study", self.find("#command_line").text.split())
        # The plot ends on the coarsest mesh's own iterations, and said each mesh it was on.
        plot = self.find("#convergence_plot")
        self.assertEqual((plot.find_element(By.CSS_SELECTOR, "text.title").text, plot.get_attribute("data-points")),
                         ("mesh 3 of 3: 26 across", str(study["meshes"][2]["iterations"])))
        self.assertLessEqual(titles - {""}, {"mesh 1 of 3: 50 across", "mesh 2 of 3: 34 across", "mesh 3 of 3: 26 across"})
        self.assertIn("its 3 meshes were run", self.find("#grid_progress").text)
        # ± (or why there is none) beside each coefficient the study measured.
        self.assertEqual(sorted(study["coefficients"]), sorted(["drag_coefficient", "lift_coefficient", "drag_coefficient_chord", "lift_coefficient_chord"]))
        for name, entry in study["coefficients"].items():
            self.assertEqual(self.find(f"#{name} .grid-band").text, self.band_words(entry), name)
        # The table: each mesh's values, then the extrapolated values, the orders and the bands.
        table = self.driver.execute_script("return [...document.querySelectorAll('#grid_table tr')].map((r) => "
                                           "[r.dataset.row ?? 'head', [...r.cells].map((c) => c.textContent)])")
        names = list(study["coefficients"])
        labels = {"drag_coefficient": "C_D", "lift_coefficient": "C_L", "drag_coefficient_chord": "C_D,c", "lift_coefficient_chord": "C_L,c"}
        self.assertEqual([row for row, _ in table], ["head", "mesh 1", "mesh 2", "mesh 3", "extrapolated", "order", "band"])
        self.assertEqual(table[0][1], ["Mesh", "nodes across", *(labels[name] for name in names), "files"])
        self.assertEqual([cells[-1] for _, cells in table[1:4]], ["summary.json · console.txt"] * 3)
        summary_link = self.find("#grid_table tr[data-row='mesh 2'] a").get_attribute("href")
        self.assertEqual(json.loads(self.server.get(urllib.parse.urlparse(summary_link).path))["nodes_across"], 34)
        self.assertEqual([cells[1] for _, cells in table[1:4]], ["50", "34", "26"])

        def close(text, value):
            return text == "–" if value is None else abs(float(text) - value) <= 1e-4 * abs(value)
        for k in range(3):
            for cell, name in zip(table[1 + k][1][2:], names):
                self.assertTrue(close(cell, study["coefficients"][name]["values"][k]), (k, name, cell))
        for cell, name in zip(table[4][1][2:], names):
            self.assertTrue(close(cell, study["coefficients"][name]["extrapolated"]), (name, cell))
        self.assertEqual(table[6][1][2:], [self.band_words(study["coefficients"][name]).replace("no band:", "none:") for name in names])
        # The list and a comparison with a run without a study stay right.
        self.find("#grid_study").click()
        self.run_done()
        plain = self.newest_record()
        self.assertIsNone(plain["summary"]["grid_study"])
        self.assertTrue(self.find("#grid_figure").get_attribute("hidden"))
        self.assertEqual(self.count("#numbers .grid-band"), 0)
        for run_id in (record["id"], plain["id"]):
            self.find(f"#runs tr[data-id='{run_id}'] input[type=checkbox]").click()
        cards = self.driver.find_elements(By.CSS_SELECTOR, "#comparison .compare-card")
        self.assertEqual(len(cards), 2)
        self.assertIn(self.band_words(study["coefficients"]["drag_coefficient"]), cards[1].text)
        self.assertIn("Grid error three meshes", cards[1].text)
        self.assertNotIn("band", cards[0].text)

    def test_error_bars_on_the_reynolds_sweep_and_the_polar(self):
        self.upload(CYLINDER)
        # Steady runs on the standard mesh, converged enough for C_D to converge on the three meshes.
        self.set_fields(mesh_choice=1, max_iterations=GRID_ITERATIONS, sweep_values="10, 20", sweep_label="grid sweep")
        self.find("#grid_study").click()
        self.find("#sweep_run").click()
        self.wait_for(lambda: self.count("#sweep_plot circle.marker") == 4, 600, "the sweep plot did not get its points")
        runs = [r for r in self.server.runs_list() if r["sweep"] == "grid sweep"]
        bands = [r["results"]["grid_study"]["coefficients"][name]["band_absolute"] for r in runs for name in ("drag_coefficient", "lift_coefficient")]
        bars = self.driver.execute_script("return [...document.querySelectorAll('#sweep_plot path.error-bar')].map((p) => p.dataset.series)")
        self.assertEqual(len(bars), sum(band is not None for band in bands), bands)
        self.assertIn("C_D", bars, "no error bar on C_D")
        # An angle sweep's polar: the bars of the runs that have a band, and the bands in its CSV.
        self.choose_tool("airfoil")
        self.set_fields(naca_digits="0012", naca_chord=1, naca_x=2, naca_y=0.5, angle_values="-8, 8", sweep_label="grid polar")
        self.find("#angle_sweep_run").click()
        link = self.find("#polar_csv")
        self.wait_for(lambda: self.find("#sweep_select").get_attribute("value") == "grid polar" and link.get_attribute("data-rows") == "2",
                      600, "the polar did not fill")
        rows = list(csv.DictReader(io.StringIO(urllib.parse.unquote(link.get_attribute("href").split(",", 1)[1]))))
        lift_bars = drag_bars = 0
        for row in rows:
            study = self.server.record(row["run"])["summary"]["grid_study"]["coefficients"]
            self.assertEqual(row["grid_study"], "yes")
            for name in ("lift_coefficient_chord", "drag_coefficient_chord"):
                band = study[name]["band_absolute"]
                self.assertEqual(float(row[name + "_band"] or "nan") if band is not None else row[name + "_band"], band if band is not None else "", name)
            lift_bars += study["lift_coefficient_chord"]["band_absolute"] is not None
            drag_bars += study["drag_coefficient_chord"]["band_absolute"] is not None
        self.assertEqual((self.count("#polar_lift path.error-bar"), self.count("#polar_drag path.error-bar")), (lift_bars, drag_bars))
        print(f"grid error bars: {len(bars)} on the sweep ({bars}), {lift_bars} and {drag_bars} on the polar's lift and drag", file=sys.stderr)


# The iterations of the error bars' runs: enough for the standard mesh's
# steady rule to stop the cylinder's runs, so that their C_D converges.
GRID_ITERATIONS = 3000


if __name__ == "__main__":
    if os.environ.get("VELTARO_SANITIZED") == "1":
        print("Skipped in the sanitizer build: the browser tests only drive the page.")
        sys.exit(77)
    unittest.main(verbosity=2)
