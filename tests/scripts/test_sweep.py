"""scripts/sweep.sh and sweep.py: the checks of the cases CSV, one case's run
with a stand-in program, the gathering of summaries into results.csv, and a
sweep end to end with the built program (VELTARO_EXE).
    python3 -m unittest discover -s tests/scripts   (scripts/ on PYTHONPATH)"""

import contextlib
import io
import json
import os
import pathlib
import shutil
import subprocess
import tempfile
import unittest
import unittest.mock

import sweep

HEADER = ",".join(sweep.REQUIRED_COLUMNS)
ROW = "cylinder.jpg,20,0.01,1,1,4,0,5"
PICTURE = "not a picture; the sweep only checks that it exists"


class Folder(unittest.TestCase):
    def setUp(self):
        self.dir = self.enterContext(tempfile.TemporaryDirectory())
        self.write("cylinder.jpg", PICTURE)

    def write(self, name, text):
        (path := pathlib.Path(self.dir, name)).parent.mkdir(parents=True, exist_ok=True)
        path.write_text(text)
        return str(path)

    def sweep(self, *args, program=None):
        """The sweep through its shell front end, from the folder."""
        env = dict(os.environ, VELTARO=program or os.path.join(self.dir, "no-such-program"))
        return subprocess.run(["bash", os.path.join(os.path.dirname(sweep.__file__), "sweep.sh"), *args],
                              capture_output=True, text=True, env=env, cwd=self.dir)



class Threads(unittest.TestCase):
    def test_each_case_gets_its_share_of_the_cores(self):
        for jobs, cores, threads in (("1", 8, 8), ("3", 8, 2), ("100%", 8, 1), ("50%", 8, 2), ("+0", 2, 1),
                                     ("-1", 8, 1), ("-8", 8, 8), ("16", 8, 1)):
            self.assertEqual(sweep.threads_per_job(jobs, cores), threads, jobs)
        for env, option in (({"VELTARO_THREADS": "4", "SLURM_CPUS_PER_TASK": "2"}, ["--threads=4"]),
                            ({"SLURM_CPUS_PER_TASK": "2"}, ["--threads=2"]), ({"SLURM_CPUS_PER_TASK": "0"}, []), ({}, [])):
            with unittest.mock.patch.dict(os.environ, env, clear=True):
                self.assertEqual(sweep.thread_option(), option, env)

class CasesCsv(Folder):
    def test_bad_input_is_refused_with_status_2_and_nothing_written(self):
        good, run = HEADER + "\na," + ROW + "\n", ["cases.csv", "out"]
        for text, args, words in (  # the cases CSV, the arguments, words of the message
            ("", run, "is empty; it needs the header line"), ("name,picture\n", run, "the first nine columns differ"),
            (HEADER + ",wind\n", run, "unknown column wind"), (HEADER + "\n\n", run, "has no cases under its header"),
            (HEADER + ",solid_nodes,solid_nodes\n", run, "a column is named twice"),
            (HEADER + ",solid_nodes,limiter\na," + ROW + ",covered,minmod\n", run, "unknown column limiter"),
            (HEADER + ",solid_nodes,limiter\n", ["--case", "cases.csv", "out", "1"], "unknown column limiter"),
            (HEADER + "\na," + ROW + ",9\n", run, "line 2: 10 fields, but the header has 9"),
            (HEADER + '\n"a",' + ROW + "\n", run, "line 2: quoted fields are not supported"),
            (HEADER + "\na,cylinder.jpg,,0.01,1,1,4,0,5\n", run, "line 2: field 3 is empty"),
            (HEADER + "\na b," + ROW + "\n", run, "field 1 ('a b') has a blank in it"),
            (HEADER + "\na/b," + ROW + "\n", run, "the name 'a/b' cannot be a folder name"),
            (HEADER + "\n..," + ROW + "\n", run, "the name '..' cannot be a folder name"),
            (HEADER + "\nresults.csv," + ROW + "\n", run, "taken by the sweep's own results.csv"),
            (HEADER + "\na," + ROW + "\na," + ROW + "\n", run, "line 3: the name 'a' is already used on line 2"),
            (HEADER + "\na,circle.jpg,20,0.01,1,1,4,0,5\n", run, "picture not found or not readable"),
            # Every problem is named before the refusal.
            (HEADER + "\na/b," + ROW + "\nc,no.jpg,20,0.01,1,1,4,0,5\n", run, "2 problem(s) in"),
            (HEADER + "\na,cylinder.jpg,0,0.01,1,1,4,0,5\n", run, "asks for the inlet velocity"),
            (HEADER + ",inlet_velocity\na,cylinder.jpg,20,0,1,1,4,0,5,\n", run, "asks for the inlet velocity"),
            (HEADER + ",inlet_velocity\na," + ROW + ",0.2\n", run, "inlet_velocity is given, but"),
            (HEADER + ",solid_nodes\na," + ROW + ",round\n", run, "'round' is not one of sampled, covered, outline"),
            (HEADER + ",solid_nodes\na," + ROW + ",Covered\n", run, "solid_nodes 'Covered' is not one of"),
            (HEADER + ",stop_rule\na," + ROW + ",settled\n", run, "stop_rule 'settled' is not one of quiet, steady, limit"),
            (HEADER + ",pressure_solver\na," + ROW + ",fftw\n", run, "pressure_solver 'fftw' is not one of lu, fft"),
            (HEADER + ",advection\na," + ROW + ",second\n", run, "'second' is not one of first-order, second-order"),
            (HEADER + ",projection\na," + ROW + ",staggered\n", run, "projection 'staggered' is not one of nodes, faces"),
            (HEADER + ",courant\na," + ROW + ",0\n", run, "courant '0' is not a number above 0 and at most 1"),
            (HEADER + ",courant\na," + ROW + ",1.5\n", run, "courant '1.5' is not a number above 0 and at most 1"),
            (HEADER + ",courant\na," + ROW + ",fast\n", run, "courant 'fast' is not a number above 0"),
            (HEADER + ",courant\na," + ROW + ",nan\n", run, "courant 'nan' is not a number above 0"),
            (HEADER + ",unsteady\na," + ROW + ",-8\n", run, "unsteady '-8' is not a positive number of seconds"),
            (HEADER + ",unsteady\na," + ROW + ",8s\n", run, "unsteady '8s' is not a positive number of seconds"),
            (HEADER + ",unsteady,stop_rule\na," + ROW + ",8,steady\n", run, "take no stop rule but limit"),
            (HEADER + ",frames\na," + ROW + ",60\n", run, "give unsteady too"),
            (HEADER + ",unsteady,frames\na," + ROW + ",8,0\n", run, "frames '0' is not a whole number"),
            (HEADER + ",unsteady,frames_vtk\na," + ROW + ",8,1\n", run, "frames_vtk '1' is not yes or no"),
            (HEADER + ",nodes_across\na," + ROW + ",2\n", run, "nodes_across '2' is not a whole number of at least 3"),
            (HEADER + ",nodes_across\na," + ROW + ",1e3\n", run, "nodes_across '1e3' is not a whole number"),
            (HEADER + ",grid_study\na," + ROW + ",true\n", run, "grid_study 'true' is not yes or no"),
            # Bad arguments, with a good CSV.
            (good, run, "program not found or not executable"), (good, run + ["--fast"], "unknown option --fast"),
            (good, ["cases.csv"], "usage: scripts/sweep.sh"), (good, run + ["-j", "many"], "-j takes a number of jobs"),
            (good, ["--case", "cases.csv", "out", "0"], "ROW must be a row number from 1, not '0'"),
            (good, ["--case", "cases.csv", "out", "2"], "has 1 cases; there is no row 2"),
            (good, ["--gather", "cases.csv", "out"], "no such OUTDIR"),
            (good, ["--count", "none.csv"], "cases CSV not found")):
            with self.subTest(csv=text, args=args):
                self.write("cases.csv", text)
                result = self.sweep(*args)
                self.assertEqual((result.returncode, result.stdout), (2, ""), result.stderr)
                self.assertIn(words, result.stderr)
                self.assertFalse(os.path.exists(os.path.join(self.dir, "out")))

    def test_accepted_rows_give_answers_and_options(self):
        header = HEADER + ",solid_nodes,inlet_velocity"
        for fields, answers, options in (  # the row's fields after the name, answers after the picture, options
            (ROW + ",,", "20 0.01 1 1 4 0 5", []), ("cylinder.jpg,0,0.01,1,1,4,0,5,,0.3", "0 0.01 1 1 4 0 5 0.3", []),
            ("cylinder.jpg,20,0.0,1,1,4,2,9,,1e-2", "20 0.0 1 1 4 2 9 1e-2", []),
            (" " + ROW + " , sampled ,", "20 0.01 1 1 4 0 5", ["--solid-nodes=sampled"])):
            with self.subTest(row=fields):
                # A byte order mark, CRLF line ends and blank lines are read past.
                cases = sweep.read_cases(self.write("cases.csv", f"\ufeff{header}\r\n\r\na,{fields}\r\n\r\n"))
                self.assertEqual([(c.name, c.answers, c.options) for c in cases], [("a", answers.split(), options)])
                self.assertEqual(cases[0].picture, os.path.join(self.dir, "cylinder.jpg"))
        self.write("cases.csv", HEADER + "\na," + ROW + "\n\nb," + ROW + "\n")
        self.assertEqual(self.sweep("--count", "cases.csv").stdout, "2\n")

    def test_a_case_gets_its_answers_on_stdin_and_options_as_arguments(self):
        # A stand-in program that writes what it was given as its summary.
        program = self.write("fake", "#!/bin/sh\n{ printf '{\"arguments\": \"%s\", ' \"$*\"\n"
                                     "  printf '\"answers\": \"%s\"}' \"$(tr '\\n' ' ')\"; } > summary.json\n"
                                     "echo console; echo 'last words' >&2; exit 1\n")
        os.chmod(program, 0o755)
        # The options in the command line's order, whatever the columns'.
        self.write("cases.csv", HEADER + ",grid_study,frames_vtk,unsteady,advection,nodes_across,pressure_solver,"
                   "solid_nodes,inlet_velocity,stop_rule,frames,courant,projection\na,cylinder.jpg,0,0.01,1,1,4,0,5,yes,"
                   "yes,2.5,second-order,60,fft,covered,0.3,limit,60,0.4,faces\n")
        result = self.sweep("--case", "cases.csv", "out", "1", program=program)
        self.assertEqual(result.returncode, 0, result.stderr)
        folder = os.path.join(self.dir, "out", "a")
        self.assertEqual(json.loads(pathlib.Path(folder, "summary.json").read_text()), {
            "arguments": "--solid-nodes=covered --stop-rule=limit --pressure-solver=fft --advection=second-order "
                         "--projection=faces --courant=0.4 --unsteady=2.5 --frames=60 --frames-vtk --nodes-across=60 "
                         "--grid-study",
            "answers": "cylinder.jpg 0 0.01 1 1 4 0 5 0.3 "})
        self.assertEqual([pathlib.Path(folder, name).read_text() for name in ("exit_status", "console.txt", "stderr.txt",
                          "cylinder.jpg")], ["1\n", "console\n", "last words\n", PICTURE])


def summary(**extra):
    """A summary.json text as the program writes one, numbers as written."""
    keys = ('{\n  "picture": "cylinder.jpg",\n  "reynolds_number": 20.0,\n  "nx": 100,\n'
            '  "stop": "iteration limit",\n  "lift": -2.89721846912748e-05,\n  "drag_coefficient": 230.4717')
    return keys + "".join(f',\n  "{k}": {json.dumps(v)}' for k, v in extra.items()) + "\n}\n"


class Gather(Folder):
    def test_results_csv_takes_every_scalar_key_and_the_warnings(self):
        warnings = [{"code": "iteration_limit", "message": "Warning: the run stopped, raise the limit."},
                    {"code": "coarse_obstacle", "message": "Warning: few nodes; use mesh 2."}]
        cases = [  # name, exit_status, summary.json, stderr.txt; None: no such file
            # A later program's keys: warnings with their messages, a key with a
            # comma in its value, a nested record (not a column), a new number.
            ("new", 1, summary(lift_coefficient_chord=-0.001, warnings=warnings, solid_nodes="covered, at half",
                               pressure_probe={"x": 1}, later=3, grid_study={"ratio": 1.4, "complete": True}), ""),
            ("incomplete", 1, summary(grid_study={"complete": False}), ""), ("old", 1, summary(), ""), ("refused", 2, None, "\nThe density must be a positive number\n\n"),
            ("silent", 1, None, ""), ("broken", 1, "[1, 2]", ""), ("waiting", None, None, None)]
        self.write("cases.csv", HEADER + "\n" + "".join(f"{name},{ROW}\n" for name, *_ in cases))
        for name, exit_status, summary_text, stderr in cases:
            for file, text in (("exit_status", exit_status), ("summary.json", summary_text), ("stderr.txt", stderr)):
                if text is not None:
                    self.write(f"out/{name}/{file}", f"{text}\n" if file == "exit_status" else text)
        errors = io.StringIO()
        with contextlib.redirect_stderr(errors), contextlib.redirect_stdout(io.StringIO()):
            self.assertEqual(sweep.gather(os.path.join(self.dir, "cases.csv"), os.path.join(self.dir, "out")), 1)
        self.assertEqual(pathlib.Path(self.dir, "out", "results.csv").read_bytes().decode(),
                         "name,status,exit_status,picture,reynolds_number,nx,stop,lift,drag_coefficient,"
                         "lift_coefficient_chord,warnings,solid_nodes,later,grid_study\n"
                         "new,ok,1,cylinder.jpg,20.0,100,iteration limit,-2.89721846912748e-05,230.4717,-0.001,"
                         'iteration_limit;coarse_obstacle,"covered, at half",3,yes\n'
                         "incomplete,ok,1,cylinder.jpg,20.0,100,iteration limit,-2.89721846912748e-05,230.4717,,,,,"
                         "incomplete\n"
                         "old,ok,1,cylinder.jpg,20.0,100,iteration limit,-2.89721846912748e-05,230.4717,,,,,\n"
                         "refused,failed,2,,,,,,,,,,,\nsilent,no summary,1,,,,,,,,,,,\n"
                         "broken,no summary,1,,,,,,,,,,,\nwaiting,not run,,,,,,,,,,,,\n")
        self.assertEqual(errors.getvalue(), "4 of 7 cases failed or did not run:\n  refused: exit status 2: The density "
                         "must be a positive number\n  silent: complete (exit status 1) but no summary.json\n  broken: "
                         "summary.json is not a readable JSON object\n  waiting: not run\n")

    def test_columns_keep_the_summaries_order(self):
        for key_lists, columns in (("ab ab", "ab"), ("ac abc", "abc"), ("ab xaby", "xaby"), (" a", "a")):
            # the keys of each summary, one letter a key; the columns
            with self.subTest(keys=key_lists):
                self.assertEqual(sweep.summary_columns({k: "1" for k in keys} for keys in key_lists.split(" ")), list(columns))


class WithTheProgram(Folder):
    @unittest.skipUnless(os.environ.get("VELTARO_EXE"), "VELTARO_EXE names no built program")
    def test_a_refused_case_is_named_and_a_second_start_runs_nothing_that_finished(self):
        shutil.copy(os.path.join(os.path.dirname(__file__), "../../examples/cylinder.jpg"), self.dir)
        self.write("cases.csv", f"{HEADER}\nfine,{ROW}\nrefused,cylinder.jpg,20,0.01,-1,1,4,0,5\n")
        result = self.sweep("cases.csv", "out", program=os.environ["VELTARO_EXE"])
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertIn("refused: exit status 2: The density must be a positive number", result.stdout + result.stderr)
        results = pathlib.Path(self.dir, "out", "results.csv").read_text()
        self.assertRegex(results, "(?m)^fine,ok,1,cylinder.jpg,800,200,(.|\n)*^refused,failed,2,")
        os.utime(summary := os.path.join(self.dir, "out", "fine", "summary.json"), (946684800, 946684800))
        self.sweep("cases.csv", "out", program=os.environ["VELTARO_EXE"])
        self.assertEqual(os.stat(summary).st_mtime, 946684800, "a finished case ran again")
