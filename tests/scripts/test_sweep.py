"""scripts/sweep.py: the checks of the cases CSV, one case's run with a
stand-in program, and the gathering of summaries into results.csv.
    python3 -m unittest discover -s tests/scripts   (scripts/ on PYTHONPATH)"""

import contextlib
import csv
import io
import json
import os
import subprocess
import sys
import tempfile
import unittest

import sweep

HEADER = ",".join(sweep.REQUIRED_COLUMNS)
ROW = "cylinder.jpg,20,0.01,1,1,4,0,5"


class Folder(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp()
        self.addCleanup(subprocess.run, ["rm", "-rf", self.dir])
        self.write("cylinder.jpg", "not a picture; the sweep only checks that it exists")

    def write(self, name, text):
        path = os.path.join(self.dir, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w") as file:
            file.write(text)
        return path

    def read_cases(self, text):
        """read_cases of a CSV, and what it printed on standard error."""
        errors = io.StringIO()
        with contextlib.redirect_stderr(errors):
            try:
                return sweep.read_cases(self.write("cases.csv", text)), errors.getvalue()
            except sweep.Refusal as refusal:
                return refusal, errors.getvalue()


class CasesCsv(Folder):
    def test_refusals_name_the_problem(self):
        rows = [  # CSV text, words of the message
            ("", "is empty; it needs the header line"),
            ("name,picture\n", "the first nine columns differ"),
            (HEADER.replace("density", "rho") + "\n", "the first nine columns differ"),
            (HEADER + ",wind\n", "unknown column wind"),
            (HEADER + ",solid_nodes,solid_nodes\n", "a column is named twice"),
            (HEADER + ",solid_nodes,limiter\n", "unknown column limiter"),
            (HEADER + "\n\n", "has no cases under its header"),
            (HEADER + "\na," + ROW + ",9\n", "line 2: 10 fields, but the header has 9"),
            (HEADER + '\n"a",' + ROW + "\n", "line 2: quoted fields are not supported"),
            (HEADER + "\na,cylinder.jpg,,0.01,1,1,4,0,5\n", "line 2: field 3 is empty"),
            (HEADER + "\na b," + ROW + "\n", "field 1 ('a b') has a blank in it"),
            (HEADER + "\na/b," + ROW + "\n", "the name 'a/b' cannot be a folder name"),
            (HEADER + "\n..," + ROW + "\n", "the name '..' cannot be a folder name"),
            (HEADER + "\nresults.csv," + ROW + "\n", "taken by the sweep's own results.csv"),
            (HEADER + "\na," + ROW + "\na," + ROW + "\n", "line 3: the name 'a' is already used on line 2"),
            (HEADER + "\na,circle.jpg,20,0.01,1,1,4,0,5\n", "picture not found or not readable"),
            (HEADER + "\na,cylinder.jpg,0,0.01,1,1,4,0,5\n", "asks for the inlet velocity"),
            (HEADER + ",inlet_velocity\na,cylinder.jpg,20,0,1,1,4,0,5,\n", "asks for the inlet velocity"),
            (HEADER + ",inlet_velocity\na," + ROW + ",0.2\n", "inlet_velocity is given, but"),
            (HEADER + ",solid_nodes\na," + ROW + ",round\n", "solid_nodes 'round' is not one of sampled, covered, outline"),
            (HEADER + ",solid_nodes\na," + ROW + ",Covered\n", "solid_nodes 'Covered' is not one of"),
            (HEADER + ",stop_rule\na," + ROW + ",settled\n", "stop_rule 'settled' is not one of quiet, steady, limit"),
            (HEADER + ",pressure_solver\na," + ROW + ",fftw\n", "pressure_solver 'fftw' is not one of lu, fft"),
            (HEADER + ",advection\na," + ROW + ",second\n", "advection 'second' is not one of first-order, second-order"),
            (HEADER + ",unsteady\na," + ROW + ",-8\n", "unsteady '-8' is not a positive number of seconds"),
            (HEADER + ",unsteady\na," + ROW + ",8s\n", "unsteady '8s' is not a positive number of seconds"),
            (HEADER + ",unsteady,stop_rule\na," + ROW + ",8,steady\n", "take no stop rule but limit"),
            (HEADER + ",frames\na," + ROW + ",60\n", "give unsteady too"),
            (HEADER + ",unsteady,frames\na," + ROW + ",8,0\n", "frames '0' is not a whole number"),
            (HEADER + ",unsteady,frames_vtk\na," + ROW + ",8,1\n", "frames_vtk '1' is not yes or no"),
        ]
        for text, words in rows:
            with self.subTest(csv=text):
                result, errors = self.read_cases(text)
                self.assertIsInstance(result, sweep.Refusal)
                self.assertIn(words, str(result) + errors)

    def test_every_problem_is_named_before_refusing(self):
        result, errors = self.read_cases(HEADER + "\na/b," + ROW + "\nc,missing.jpg,20,0.01,1,1,4,0,5\n")
        self.assertEqual(str(result), f"2 problem(s) in {self.dir}/cases.csv; nothing was run")
        self.assertEqual(len(errors.splitlines()), 2)

    def test_accepted_rows_give_answers_and_options(self):
        header = HEADER + ",solid_nodes,inlet_velocity"
        rows = [  # the row's fields after the name, answers after the picture, options
            (ROW + ",,", ["20", "0.01", "1", "1", "4", "0", "5"], []),
            ("cylinder.jpg,0,0.01,1,1,4,0,5,,0.3", ["0", "0.01", "1", "1", "4", "0", "5", "0.3"], []),
            ("cylinder.jpg,20,0.0,1,1,4,2,9,,1e-2", ["20", "0.0", "1", "1", "4", "2", "9", "1e-2"], []),
            (ROW + ",covered,", ["20", "0.01", "1", "1", "4", "0", "5"], ["--solid-nodes=covered"]),
            (" " + ROW + " , sampled ,", ["20", "0.01", "1", "1", "4", "0", "5"], ["--solid-nodes=sampled"]),
            ("cylinder.jpg,0,0.01,1,1,4,0,5,covered,0.3", ["0", "0.01", "1", "1", "4", "0", "5", "0.3"],
             ["--solid-nodes=covered"]),
        ]
        for fields, answers, options in rows:
            with self.subTest(row=fields):
                cases, _ = self.read_cases(f"\ufeff{header}\r\n\r\na,{fields}\r\n")
                self.assertEqual([(c.name, c.answers, c.options) for c in cases], [("a", answers, options)])
                self.assertEqual(cases[0].picture, os.path.join(self.dir, "cylinder.jpg"))


class Command(Folder):
    """sweep.py as the shell front end and Slurm call it."""

    def sweep(self, *args, program=None):
        env = dict(os.environ, VELTARO=program or os.path.join(self.dir, "no-such-program"))
        return subprocess.run([sys.executable, sweep.__file__, *args], capture_output=True, text=True,
                              env=env, cwd=self.dir)

    def test_bad_input_is_refused_with_status_2_and_nothing_written(self):
        cases = self.write("cases.csv", HEADER + "\na," + ROW + "\n")
        # The column of an option the program does not have.
        old = self.write("old.csv", HEADER + ",solid_nodes,limiter\na," + ROW + ",covered,minmod\n")
        out = os.path.join(self.dir, "out")
        rows = [  # arguments, words of the message
            ([old, out], "unknown column limiter"),
            (["--case", old, out, "1"], "unknown column limiter"),
            ([cases, out], "program not found or not executable"),
            ([cases, out, "-j", "many"], "-j takes a number of jobs"),
            ([cases, out, "--fast"], "unknown option --fast"),
            ([cases], "usage: scripts/sweep.sh"),
            (["--case", cases, out, "0"], "ROW must be a row number from 1, not '0'"),
            (["--case", cases, out, "2"], "has 1 cases; there is no row 2"),
            (["--gather", cases, out], "no such OUTDIR"),
            (["--count", os.path.join(self.dir, "none.csv")], "cases CSV not found"),
        ]
        for args, words in rows:
            with self.subTest(args=args):
                result = self.sweep(*args)
                self.assertEqual(result.returncode, 2, result.stderr)
                self.assertIn(words, result.stderr)
                self.assertEqual(result.stdout, "")
                self.assertFalse(os.path.exists(out))

    def test_count(self):
        cases = self.write("cases.csv", HEADER + "\na," + ROW + "\n\nb," + ROW + "\n")
        self.assertEqual(self.sweep("--count", cases).stdout, "2\n")

    def test_a_case_gets_its_answers_on_stdin_and_options_as_arguments(self):
        # A stand-in program that writes what it was given as its summary.
        program = self.write("fake", "#!/bin/sh\n{ printf '{\"arguments\": \"%s\", ' \"$*\"\n"
                                     "  printf '\"answers\": \"%s\"}' \"$(tr '\\n' ' ')\"; } > summary.json\n"
                                     "echo console; echo 'last words' >&2; exit 1\n")
        os.chmod(program, 0o755)
        # The options in the command line's order, whatever the columns'.
        cases = self.write("cases.csv", HEADER + ",frames_vtk,unsteady,advection,pressure_solver,solid_nodes,inlet_velocity,stop_rule,frames\n"
                                                 "a,cylinder.jpg,0,0.01,1,1,4,0,5,yes,2.5,second-order,fft,covered,0.3,limit,60\n")
        result = self.sweep("--case", cases, "out", "1", program=program)
        self.assertEqual(result.returncode, 0, result.stderr)
        folder = os.path.join(self.dir, "out", "a")
        with open(os.path.join(folder, "summary.json")) as file:
            summary = json.load(file)
        self.assertEqual(summary, {"arguments": "--solid-nodes=covered --stop-rule=limit --pressure-solver=fft "
                                                "--advection=second-order --unsteady=2.5 --frames=60 --frames-vtk",
                                   "answers": "cylinder.jpg 0 0.01 1 1 4 0 5 0.3 "})
        for name, text in (("exit_status", "1\n"), ("console.txt", "console\n"), ("stderr.txt", "last words\n")):
            with open(os.path.join(folder, name)) as file:
                self.assertEqual(file.read(), text)
        self.assertTrue(os.path.isfile(os.path.join(folder, "cylinder.jpg")))


def summary(**extra):
    """A summary.json text as the program writes one, numbers as written."""
    keys = ('{\n  "picture": "cylinder.jpg",\n  "reynolds_number": 20.0,\n  "nx": 100,\n'
            '  "stop": "iteration limit",\n  "lift": -2.89721846912748e-05,\n  "drag_coefficient": 230.4717')
    return keys + "".join(f',\n  "{k}": {json.dumps(v)}' for k, v in extra.items()) + "\n}\n"


class Gather(Folder):
    def case(self, name, exit_status=None, summary_text=None, stderr=""):
        if exit_status is not None:
            self.write(f"out/{name}/exit_status", f"{exit_status}\n")
        if summary_text is not None:
            self.write(f"out/{name}/summary.json", summary_text)
        self.write(f"out/{name}/stderr.txt", stderr)

    def test_results_csv_takes_every_scalar_key_and_the_warnings(self):
        names = ["new", "old", "refused", "silent", "broken", "waiting"]
        self.write("cases.csv", HEADER + "\n" + "".join(f"{n},{ROW}\n" for n in names))
        warnings = [{"code": "iteration_limit", "message": "Warning: the run stopped, raise the limit."},
                    {"code": "coarse_obstacle", "message": "Warning: few nodes; use mesh 2."}]
        # A later program's keys: warnings with their messages, a key with a
        # comma in its value, a nested record (not a column), a new number.
        self.case("new", 1, summary(lift_coefficient_chord=-0.001, warnings=warnings,
                                    solid_nodes="covered, at half", pressure_probe={"x": 1}, later=3))
        self.case("old", 1, summary())
        self.case("refused", 2, None, "\nThe density must be a positive number\n\n")
        self.case("silent", 1, None)
        self.case("broken", 1, "[1, 2]")
        errors = io.StringIO()
        with contextlib.redirect_stderr(errors), contextlib.redirect_stdout(io.StringIO()):
            status = sweep.gather(os.path.join(self.dir, "cases.csv"), os.path.join(self.dir, "out"))
        self.assertEqual(status, 1)
        with open(os.path.join(self.dir, "out", "results.csv"), newline="") as file:
            text = file.read()
        table = list(csv.reader(io.StringIO(text)))
        self.assertEqual(table[0], ["name", "status", "exit_status", "picture", "reynolds_number", "nx", "stop",
                                    "lift", "drag_coefficient", "lift_coefficient_chord", "warnings",
                                    "solid_nodes", "later"])
        self.assertEqual(table[1], ["new", "ok", "1", "cylinder.jpg", "20.0", "100", "iteration limit",
                                    "-2.89721846912748e-05", "230.4717", "-0.001",
                                    "iteration_limit;coarse_obstacle", "covered, at half", "3"])
        self.assertEqual(table[2][:9], ["old", "ok", "1", "cylinder.jpg", "20.0", "100", "iteration limit",
                                        "-2.89721846912748e-05", "230.4717"])
        self.assertEqual(table[2][9:], ["", "", "", ""])
        self.assertEqual([row[:3] for row in table[3:]], [["refused", "failed", "2"], ["silent", "no summary", "1"],
                                                         ["broken", "no summary", "1"], ["waiting", "not run", ""]])
        self.assertTrue(all(len(row) == len(table[0]) for row in table))
        self.assertIn('"covered, at half"', text)
        self.assertEqual(errors.getvalue().splitlines(), [
            "4 of 6 cases failed or did not run:",
            "  refused: exit status 2: The density must be a positive number",
            "  silent: complete (exit status 1) but no summary.json",
            "  broken: summary.json is not a readable JSON object",
            "  waiting: not run"])

    def test_columns_keep_the_summaries_order(self):
        rows = [  # the keys of each summary, the columns
            ([["a", "b"], ["a", "b"]], ["a", "b"]),
            ([["a", "c"], ["a", "b", "c"]], ["a", "b", "c"]),
            ([["a", "b"], ["x", "a", "b", "y"]], ["x", "a", "b", "y"]),
            ([[], ["a"]], ["a"]),
        ]
        for key_lists, columns in rows:
            with self.subTest(keys=key_lists):
                self.assertEqual(sweep.summary_columns({k: "1" for k in keys} for keys in key_lists), columns)


if __name__ == "__main__":
    unittest.main()
