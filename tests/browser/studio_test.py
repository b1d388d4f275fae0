"""The studio page in a real browser against a real `veltaro serve`.

Run by CTest (label `browser`), one class per CTest entry:
    VELTARO_EXE=build/veltaro VELTARO_EXAMPLES=examples \
        /usr/bin/python3 tests/browser/studio_test.py DrawingTest
"""

import csv
import io
import os
import re
import sys
import tempfile
import time
import unittest
import urllib.parse
import zlib

from selenium.webdriver.common.action_chains import ActionChains

from studio_harness import EXAMPLES, StudioTest, console_value, read_flow

CYLINDER = os.path.join(EXAMPLES, "cylinder.jpg")


def png_bytes(rows):
    """An 8-bit grey PNG of the given rows of values."""
    def chunk(kind, body):
        return (len(body).to_bytes(4, "big") + kind + body
                + zlib.crc32(kind + body).to_bytes(4, "big"))
    header = len(rows[0]).to_bytes(4, "big") + len(rows).to_bytes(4, "big") + bytes([8, 0, 0, 0, 0])
    raw = b"".join(b"\0" + bytes(row) for row in rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw))
            + chunk(b"IEND", b""))


class DrawingTest(StudioTest):
    def test_disc_drawn_by_mouse_is_sent_as_a_png_of_its_size_and_place(self):
        scale_x, scale_y = self.canvas_scale()[:2]
        centre, rim = (300, 100), (345, 100)
        self.choose_tool("circle")
        self.drag(self.find("#drawing"), centre, rim)
        self.set_field("mesh_choice", 0)
        self.assertEqual(self.run_and_wait(), "done", self.find("#message").text)

        run_id = self.watched_run_id()
        self.assertEqual(self.server.record(run_id)["picture"], "picture.png")
        pixels = [(c + 0.5, r + 0.5) for r, row in enumerate(self.dark_pixels(run_id))
                  for c, dark in enumerate(row) if dark == "#"]
        columns = [p[0] for p in pixels]
        self.assertLessEqual(abs(sum(columns) / len(pixels) - centre[0] * scale_x), 2)
        self.assertLessEqual(abs(sum(p[1] for p in pixels) / len(pixels) - centre[1] * scale_y), 2)
        self.assertLessEqual(abs(max(columns) - min(columns) + 1 - 2 * 45 * scale_x), 2)

    def test_naca_0012_is_symmetric_about_its_chord_and_has_the_chord_asked_for(self):
        self.choose_tool("airfoil")
        self.set_fields([("naca_digits", "0012"), ("naca_chord", "1"), ("naca_angle", "0"),
                         ("naca_x", "2"), ("naca_y", "0.5")])
        self.find("#naca_place").click()
        self.set_fields([("mesh_choice", 0), ("max_iterations", 5)])
        self.run_and_wait()  # only the picture it stored matters here

        dark = self.dark_pixels(self.watched_run_id())
        height, width = len(dark), len(dark[0])
        extents = {c: [r for r in range(height) if dark[r][c] == "#"] for c in range(width)}
        extents = {c: rows for c, rows in extents.items() if rows}
        # The chord line: the middle of the thickest column, in pixel rows.
        thickest = max(extents.values(), key=len)
        chord_line = (min(thickest) + max(thickest) + 1) / 2
        self.assertAlmostEqual(chord_line, height / 2, delta=1)  # asked at y = 0.5 m
        for c, rows in extents.items():
            above, below = chord_line - min(rows), max(rows) + 1 - chord_line
            self.assertLessEqual(abs(above - below), 1, f"column {c}")
        self.assertAlmostEqual((max(extents) - min(extents) + 1) * 4.0 / width, 1.0, delta=0.01)

    def test_undo_redo_and_another_tunnel_length_keep_the_drawing(self):
        self.choose_tool("rectangle")
        self.drag(self.find("#drawing"), (100, 50), (200, 150))
        drawn = self.find("#measure_height").text
        pixels = "return Array.from(document.getElementById('drawing').getContext('2d')" \
                 ".getImageData(0, 0, 800, 200).data.filter((v, k) => k % 4 == 0 && v == 0)).length"
        black = self.driver.execute_script(pixels)
        self.assertGreater(black, 0)
        rows = [
            # action, frontal height shown afterwards, canvas width
            (lambda: self.find("#undo").click(), "0 m", 800),
            (lambda: self.find("#redo").click(), drawn, 800),
            (lambda: self.set_field("tunnel_length", "8"), drawn, 1600),
            (lambda: self.set_field("tunnel_length", "4"), drawn, 800),
            (lambda: self.driver.refresh(), drawn, 800),  # kept in the browser's storage
        ]
        for action, shown, width in rows:
            action()
            self.wait_for(lambda: self.find("#measure_height").text == shown, 5,
                          f"frontal height {self.find('#measure_height').text}, not {shown}")
            self.assertEqual(self.canvas_scale()[2], width)
        self.assertEqual(self.driver.execute_script(pixels), black)


class FormTest(StudioTest):
    def test_plainly_invalid_answers_are_named_and_nothing_is_posted(self):
        rows = [
            ("density", "-1", "The density must be a positive number.", "#run"),
            ("reynolds_number", "", "The Reynolds number is empty.", "#run"),
            ("tunnel_length", "four", 'The tunnel length is not a number: "four".', "#run"),
            ("max_iterations", "2.5", "The maximum number of iterations must be a whole number.", "#run"),
            ("max_iterations", "3000000000", "The maximum number of iterations must be a whole "
             "number from -2147483648 to 2147483647.", "#run"),
            ("sweep_values", "10, -5", "With -5: The Reynolds number must not be negative: it "
             "gives a negative inlet velocity.", "#sweep_run"),
        ]
        count = len(self.server.runs_list())
        for field, value, message, button in rows:
            with self.subTest(field=field, value=value):
                self.driver.refresh()
                self.set_field(field, value)
                self.find(button).click()
                self.wait_for(lambda: self.find("#form_errors").text != "", 10)
                self.assertEqual(self.find("#form_errors").text, message)
                self.assertEqual(self.find(f"#{field}").get_attribute("aria-invalid"), "true")
                self.assertEqual(len(self.server.runs_list()), count)

    def test_inlet_velocity_and_options_are_posted_only_where_the_program_needs_them(self):
        page = {"stop_rule": "steady", "pressure_solver": "fft"}  # the page's own defaults
        rows = [
            # fields set, inlet field shown, expected answers subset, expected options, command line
            ({}, False, {"reynolds_number": "20"}, page,
             "veltaro --stop-rule=steady --pressure-solver=fft < answers.txt"),
            ({"reynolds_number": "0", "inlet_velocity": "0.2"}, True, {"inlet_velocity": "0.2"}, page, None),
            ({"solid_nodes": "covered", "stop_rule": "limit"}, False, {},
             {"solid_nodes": "covered", "stop_rule": "limit", "pressure_solver": "fft"},
             "veltaro --solid-nodes=covered --stop-rule=limit --pressure-solver=fft < answers.txt"),
            # The program's defaults are not sent, nor written on its command line.
            ({"stop_rule": "quiet", "pressure_solver": "lu"}, False, {}, {}, "veltaro < answers.txt"),
        ]
        for fields, inlet_shown, answers, options, command in rows:
            with self.subTest(fields=fields):
                self.driver.refresh()
                self.upload(CYLINDER)
                self.set_fields({"mesh_choice": "0", "max_iterations": "1", **fields}.items())
                self.assertEqual(self.find("#inlet_velocity").is_displayed(), inlet_shown)
                count = len(self.server.runs_list())
                self.run_and_wait()
                runs = self.server.runs_list()
                self.assertEqual(len(runs), count + 1)
                record = runs[0]
                self.assertEqual(record["answers"], {**record["answers"], **answers})
                self.assertEqual("inlet_velocity" in record["answers"], inlet_shown)
                self.assertEqual(record.get("options") or {}, options)
                if command:
                    self.assertEqual(self.find("#command_line").text, command)


class UploadTest(StudioTest):
    def test_shipped_cylinder_is_sent_unchanged_and_gives_the_command_line_drag(self):
        self.upload(CYLINDER)
        self.set_field("mesh_choice", 0)
        self.assertEqual(self.run_and_wait(), "done", self.find("#message").text)
        run_id = self.watched_run_id()
        with open(CYLINDER, "rb") as original:
            self.assertEqual(self.server.get(f"/api/runs/{run_id}/files/picture.jpg"), original.read())
        self.assertEqual(self.server.get(f"/api/runs/{run_id}/files/answers.txt"),
                         b"picture.jpg 20 0.01 1 1 4 0 20000\n")
        with tempfile.TemporaryDirectory() as folder:
            stdout = self.rerun_shown_command(run_id, folder)
        # A program without the coefficients on the chord prints none; the
        # page then shows a dash.
        for element, name in (("drag_coefficient", "C_D"), ("lift_coefficient", "C_L"),
                              ("drag_coefficient_chord", "C_D,c"), ("lift_coefficient_chord", "C_L,c")):
            self.assertEqual(self.find("#" + element).text, console_value(stdout, name) or "–")
        record = self.server.record(run_id)
        self.assertEqual(self.find("#iterations").text, str(record["iterations"]))
        # The page lists the run's warnings (this small cylinder on the
        # coarse mesh draws one from a program that gives warnings).
        self.assertEqual(self.warning_codes("#warnings"), [w["code"] for w in record["warnings"]])

    def test_a_file_that_is_no_picture_is_refused_at_once_and_nothing_is_stored(self):
        stored = len(self.server.runs_list())
        folders = os.listdir(self.server.runs)
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "notes.png")
            with open(path, "w") as notes:
                notes.write("These are notes, not a picture.\n")
            self.upload(path)
            self.assertNotIn(" px", self.find("#measure_picture").text)
            self.set_field("mesh_choice", 0)
            self.expected_errors = ["415"]
            self.find("#run").click()
        self.wait_for(lambda: "notes.png" in self.find("#form_errors").text, 30)
        self.assertEqual(self.find("#form_errors").text,
                         "The server did not take the run: Can't open input jpg file: notes.png "
                         "(it looks like text, not a picture; give the name of a JPEG or PNG picture)")
        self.assertEqual(len(self.server.runs_list()), stored)
        self.assertEqual(os.listdir(self.server.runs), folders)

    def test_a_3x3_picture_at_re_1000_is_warned_and_drawn_from_its_flow(self):
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "tiny.png")
            with open(path, "wb") as picture:
                picture.write(png_bytes([[255, 255, 255], [255, 0, 255], [255, 255, 255]]))
            self.upload(path)
            self.set_fields([("reynolds_number", 1000), ("kinematic_viscosity", 0.001),
                             ("mesh_choice", 0), ("max_iterations", 30)])
            self.assertIn("high_reynolds", self.warning_codes("#form_warnings"))
            self.assertEqual(self.run_and_wait(), "done", self.find("#message").text)
        self.assertIn("high_reynolds", self.warning_codes("#warnings"))
        self.check_speed_view_against_its_colour_bar(self.watched_run_id())

    def check_speed_view_against_its_colour_bar(self, run_id):
        flow = read_flow(self.server.get(f"/api/runs/{run_id}/files/flow.vtk"))
        canvas = self.find("#result_picture")
        self.wait_for(lambda: canvas.get_attribute("data-field") == "speed", 30, "no speed view")
        speeds = [(u * u + v * v) ** 0.5 for u, v in zip(flow["u"], flow["v"])]
        low, high = min(speeds), max(speeds)
        # Upstream, between two streamlines, where the speed changes smoothly.
        i, j = flow["nx"] // 6, 3
        speed = speeds[j * flow["nx"] + i]
        shown, bar = self.driver.execute_script("""
            const [canvas, bar, fx, fy, s] = arguments;
            const x = Math.round(fx * (canvas.width - 1)), y = Math.round((1 - fy) * (canvas.height - 1));
            const at = (c, px, py) => Array.from(c.getContext('2d').getImageData(px, py, 1, 1).data.slice(0, 3));
            return [at(canvas, x, y), at(bar, Math.round(s * (bar.width - 1)), 0)];""",
            canvas, self.find("#colour_bar"), i / (flow["nx"] - 1), j / (flow["ny"] - 1),
            (speed - low) / (high - low))
        for channel, expected in zip(shown, bar):
            self.assertLessEqual(abs(channel - expected), 12, f"speed view {shown}, colour bar {bar}")


class RunTest(StudioTest):
    def start_long_run(self):
        self.upload(CYLINDER)
        self.set_fields([("mesh_choice", 2), ("max_iterations", 1000000)])
        self.find("#run").click()
        self.wait_for(lambda: self.status() == "running", 60)

    def test_the_convergence_plot_fills_while_the_run_is_running(self):
        self.upload(CYLINDER)
        self.set_field("mesh_choice", 1)
        plot = self.find("#convergence_plot")
        residual = "#convergence_plot path[data-series='steady residual R [U²/c]']"
        status, seen_live = self.run_and_watch(
            lambda: int(plot.get_attribute("data-points") or 0) > 0 and self.count(residual) > 0)
        self.assertEqual(status, "done")
        self.assertTrue(seen_live, "no iteration and its residual was plotted while the run was running")
        print(f"Run to first plotted iteration: {plot.get_attribute('data-first-point-ms')} ms",
              file=sys.stderr)
        record = self.server.record(self.watched_run_id())
        self.assertEqual(int(plot.get_attribute("data-points")), record["iterations"])
        self.assertEqual(int(self.find(residual).get_attribute("data-points")), record["iterations"])

    def test_cancel_stops_a_long_run_and_its_child(self):
        self.start_long_run()
        self.wait_for(lambda: self.server.children(), 30, "no child process seen")
        self.find("#cancel").click()
        self.wait_for(lambda: self.status() == "cancelled", 30)
        self.wait_for(lambda: not self.server.children(), 10, "the child is still there")
        self.assertEqual(self.server.record(self.watched_run_id())["status"], "cancelled")

    def test_the_page_says_when_the_server_is_gone_and_reconnects_to_a_new_one(self):
        self.start_long_run()
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
        self.set_field("mesh_choice", 1)
        self.assertEqual(self.run_and_wait(), "done")
        flow = read_flow(self.server.get(f"/api/runs/{self.watched_run_id()}/files/flow.vtk"))
        picture = self.find("#result_picture")
        self.wait_for(lambda: picture.get_attribute("data-field") == "speed", 30, "flow.vtk was not drawn")
        self.driver.execute_script("arguments[0].scrollIntoView({block: 'center'})", picture)
        box = picture.rect
        for i, j in [(flow["nx"] // 3, flow["ny"] // 2), (flow["nx"] - 5, 3)]:
            x = i / (flow["nx"] - 1) * box["width"]
            y = (1 - j / (flow["ny"] - 1)) * box["height"]
            ActionChains(self.driver).move_to_element_with_offset(
                picture, round(x - box["width"] / 2), round(y - box["height"] / 2)).perform()
            self.wait_for(lambda: self.find("#probe").get_attribute("data-node") == f"{i},{j}", 10)
            text = self.find("#probe").text
            k = j * flow["nx"] + i
            for name, unit in (("u", "m/s"), ("v", "m/s"), ("p", "Pa")):
                shown = float(re.search(rf"\b{name} = (\S+) {unit}", text).group(1))
                self.assertAlmostEqual(shown, flow[name][k], delta=abs(flow[name][k]) * 1e-6 + 1e-30,
                                       msg=f"{name} at node ({i}, {j})")
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
        self.set_fields([("mesh_choice", 0), ("sweep_values", "5, 10, 20"), ("sweep_label", "three")])
        self.find("#sweep_run").click()
        markers = "#sweep_plot circle.marker"
        self.wait_for(lambda: self.count(markers) == 6, 120, "the sweep plot did not get its points")
        runs = [r for r in self.server.runs_list() if r["sweep"] == "three"]
        self.assertEqual(sorted(r["answers"]["reynolds_number"] for r in runs), ["10", "20", "5"])
        self.driver.refresh()
        self.wait_for(lambda: self.count(markers) == 6, 30)


class UnsteadyTest(StudioTest):
    def test_an_unsteady_run_plots_its_lift_live_then_plays_its_animation(self):
        # The validation cylinder at Re_D 100 on the standard mesh with the
        # outline rule and the second-order advection: it sheds within a few
        # seconds of flow time (with the first-order one it takes twice as
        # long to grow from the small start; on the coarse mesh, 2.5 nodes
        # across, its wake settles, and so would the animation).
        self.upload(os.path.join(EXAMPLES, "validation_cylinder.jpg"))
        self.set_fields([("reynolds_number", 1000), ("tunnel_height", 2), ("tunnel_length", 4),
                         ("mesh_choice", 1), ("max_iterations", 1000000), ("solid_nodes", "outline"),
                         ("advection", "second-order")])
        self.assertIn("high_reynolds", self.warning_codes("#form_warnings"))
        self.set_fields([("flow", "unsteady"), ("unsteady", 6)])
        self.assertNotIn("high_reynolds", self.warning_codes("#form_warnings"))
        self.assertIn("7.5 flow-through times", self.find("#flow_throughs").text)
        status, seen_live = self.run_and_watch(lambda: self.count("#forces_plot path[data-series='C_L']"))
        self.assertEqual(status, "done", self.find("#message").text)
        self.assertTrue(seen_live, "no lift was plotted while the run was running")
        self.assertTrue(self.find("#convergence_figure").get_attribute("hidden"))
        self.assertIn("--unsteady=6", self.shown_options())
        self.assertRegex(self.find("#strouhal").text, r"^0\.\d+ ± [0-9.e-]+ \(\d+ cycles\)$")
        self.assertEqual(self.server.record(self.watched_run_id())["summary"]["frames"], 120)
        canvas = self.find("#animation_canvas")
        self.wait_for(lambda: canvas.get_attribute("data-frame") is not None, 30, "no frame was drawn")
        first = int(canvas.get_attribute("data-frame"))
        self.wait_for(lambda: int(canvas.get_attribute("data-frame")) != first, 10, "the animation does not play")
        self.find("#animation_play").click()  # pause
        paused = canvas.get_attribute("data-frame")
        time.sleep(0.3)
        self.assertEqual(canvas.get_attribute("data-frame"), paused)
        # Frames equal to the one before are merged into it by the encoder,
        # so a wake that has settled holds fewer than the 120 taken.
        slider = self.find("#animation_slider")
        target = str(int(slider.get_attribute("max")) // 2)
        self.assertNotEqual(target, paused)
        self.driver.execute_script("const s = arguments[0]; s.value = arguments[1]; s.dispatchEvent(new Event('input'));",
                                   slider, target)
        self.wait_for(lambda: canvas.get_attribute("data-frame") == target, 10, "the slider does not move the frame")


class AirfoilTest(StudioTest):
    def test_angle_sweep_gives_a_polar_with_the_sign_of_the_angle_and_its_csv(self):
        self.choose_tool("airfoil")
        self.set_fields([("naca_digits", "0012"), ("naca_chord", "1"), ("naca_x", "2"),
                         ("naca_y", "0.5"), ("mesh_choice", 0), ("max_iterations", 3000),
                         ("solid_nodes", "covered"), ("angle_values", "-8, 0, 8"),
                         ("sweep_label", "polar")])
        self.find("#angle_sweep_run").click()
        link = self.find("#polar_csv")
        self.wait_for(lambda: link.get_attribute("data-rows") == "3", 240, "the polar did not fill")
        text = urllib.parse.unquote(link.get_attribute("href").split(",", 1)[1])
        rows = list(csv.DictReader(io.StringIO(text)))
        self.assertEqual(text.split("\n")[0], "angle,lift_coefficient_chord,drag_coefficient_chord,"
                         "lift_coefficient,drag_coefficient,run")
        self.assertEqual([row["angle"] for row in rows], ["-8", "0", "8"])
        for row in rows:
            record = self.server.record(row["run"])
            self.assertEqual(record["airfoil"], {"naca": "0012", "angle": row["angle"]})
            self.assertEqual(record["options"]["solid_nodes"], "covered")
            for name in list(row)[1:5]:
                self.assertEqual(float(row[name]), record["summary"][name], name)
        lift = {float(row["angle"]): float(row["lift_coefficient_chord"]) for row in rows}
        print(f"C_L,c at -8, 0, 8 degrees: {lift[-8]:.4f} {lift[0]:.4f} {lift[8]:.4f}", file=sys.stderr)
        self.assertLess(lift[-8], 0)
        self.assertGreater(lift[8], 0)
        self.assertLessEqual(abs(lift[8] + lift[-8]), 0.1 * abs(lift[8]))
        self.assertIn("best L/D", self.find("#polar_curve").text)
        self.assertEqual(self.find("#lift_column").text, "C_L,c (on c)")


if __name__ == "__main__":
    if os.environ.get("VELTARO_SANITIZED") == "1":
        print("Skipped in the sanitizer build: the browser tests only drive the page.")
        sys.exit(77)
    unittest.main(verbosity=2)
