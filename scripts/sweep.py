#!/usr/bin/env python3
"""Runs Veltaro once per row of a cases CSV, each case in its own folder, in
parallel, then gathers every case's summary.json into one results.csv.

  scripts/sweep.sh CASES.csv OUTDIR [-j N]       run all cases, N at a time
                                                 (default one per core), then gather
  scripts/sweep.sh --case CASES.csv OUTDIR ROW   run one case: ROW 1 is the first
                                                 row under the header (what each
                                                 parallel job and each Slurm array
                                                 task of scripts/sweep.sbatch runs)
  scripts/sweep.sh --gather CASES.csv OUTDIR     only gather OUTDIR/*/summary.json
                                                 into OUTDIR/results.csv
  scripts/sweep.sh --count CASES.csv             print the number of cases (the
                                                 size of a Slurm job array)

CASES.csv starts with exactly these nine columns:
  name,picture,reynolds_number,kinematic_viscosity,density,tunnel_height,tunnel_length,mesh_choice,max_iterations
and may go on with any of these, each once, in any order:
  inlet_velocity   the answer the program asks for only when reynolds_number
                   or kinematic_viscosity is 0 (then it is needed, else it
                   must be left empty)
  solid_nodes      passed on as --solid-nodes=VALUE, sampled, covered or outline
  stop_rule        passed on as --stop-rule=VALUE, quiet, steady or limit
  pressure_solver  passed on as --pressure-solver=VALUE, lu or fft
  advection        passed on as --advection=VALUE, first-order or second-order
  projection       passed on as --projection=VALUE, nodes or faces
  courant          passed on as --courant=VALUE, the time step's Courant number
                   (a number above 0 and at most 1; empty: the program's default,
                   0.1, or 0.5 for a steady faces run with second-order advection)
  unsteady         passed on as --unsteady=VALUE, a flow time in seconds (a
                   positive number) for a time-accurate run; its stop_rule
                   must be empty or limit
  frames           passed on as --frames=VALUE, the animation's frame count
                   (a whole number from 1 to 10000); needs unsteady
  frames_vtk       yes: passed on as --frames-vtk, the frames as a ParaView
                   series too; empty or no: not; needs unsteady
  nodes_across     passed on as --nodes-across=VALUE, the nodes across the
                   tunnel (a whole number, at least 3) instead of mesh_choice's
  grid_study       yes: passed on as --grid-study, the case on two coarser meshes
                   as well and the error band of each coefficient; empty or no: not
                   (each empty: the program's default, the first named; the
                   options go in this order whatever the columns' order)
Then one case per line. Fields are separated by commas, with no quoting, and
each is one word, because the program reads its answers as words. Blank lines
are skipped. A picture path is relative to the CSV's folder. Names become
folder names: no slash, each used once.

OUTDIR/NAME/ gets a copy of the picture, answers.txt (the answers, fed on
standard input), console.txt (standard output), stderr.txt, exit_status and
the program's own results. OUTDIR/results.csv has a header line, then one
row per case in the CSV's order:
  name,status,exit_status,<every scalar key of summary.json, in its order>
with `warnings` as the warning codes joined by ';', `grid_study` as yes (or
incomplete, when a coarser run failed) for a grid study, and status ok, failed
(exit status other than 1, the program's success), no summary (exit status 1
but no readable summary.json), or not run.

The program is build/veltaro of this project unless VELTARO names another.
OUTDIR/joblog.txt (GNU parallel's job log) makes an interrupted sweep
resume when it is started again with the same CSV and OUTDIR: complete
cases are not run again, failed and unfinished ones are. A changed CSV
starts over (the old log is kept as joblog.txt.old).

Exit status: 0 when every case is complete, 1 when some are not (after
gathering the rest), 2 for bad arguments, a bad CSV or a missing program.
"""

import csv
import dataclasses
import filecmp
import json
import math
import os
import re
import shutil
import subprocess
import sys

SCRIPT_DIR = os.path.dirname(os.path.abspath(__file__))
PROG = "sweep.sh"
REQUIRED_COLUMNS = ("name", "picture", "reynolds_number", "kinematic_viscosity", "density",
                    "tunnel_height", "tunnel_length", "mesh_choice", "max_iterations")
# The values the program takes for its options, in the order its command
# line is written; empty leaves its default.
OPTION_VALUES = {"solid_nodes": ("sampled", "covered", "outline"), "stop_rule": ("quiet", "steady", "limit"),
                 "pressure_solver": ("lu", "fft"), "advection": ("first-order", "second-order"),
                 "projection": ("nodes", "faces")}
OPTIONAL_COLUMNS = ("inlet_velocity",) + tuple(OPTION_VALUES) + ("courant", "unsteady", "frames", "frames_vtk",
                                                                  "nodes_across", "grid_study")
# Files of the sweep itself in OUTDIR, which a case folder must not replace.
RESERVED_NAMES = ("results.csv", "joblog.txt", "joblog.txt.old", "cases.csv")
USAGE = """usage: scripts/sweep.sh CASES.csv OUTDIR [-j N]
       scripts/sweep.sh --case CASES.csv OUTDIR ROW
       scripts/sweep.sh --gather CASES.csv OUTDIR
       scripts/sweep.sh --count CASES.csv"""


class Refusal(Exception):
    """A bad argument, CSV or program: one message, exit status 2."""


@dataclasses.dataclass
class Case:
    name: str
    picture: str  # absolute path
    answers: list  # the dialogue's answers after the picture's name
    options: list  # command-line options


def _is_zero(word):
    try:
        return float(word) == 0
    except ValueError:
        return False  # the program refuses it itself, with its own message


def _check_header(path, line):
    columns = [c.strip() for c in line.split(",")]
    extra = columns[len(REQUIRED_COLUMNS):]
    problem = None
    if tuple(columns[:len(REQUIRED_COLUMNS)]) != REQUIRED_COLUMNS:
        problem = "the first nine columns differ"
    elif any(c not in OPTIONAL_COLUMNS for c in extra):
        problem = "unknown column " + next(c for c in extra if c not in OPTIONAL_COLUMNS)
    elif len(set(extra)) != len(extra):
        problem = "a column is named twice"
    if problem:
        raise Refusal(f"{path}: the first line must be exactly the header\n  {','.join(REQUIRED_COLUMNS)}\n"
                      f"optionally followed by any of {', '.join(OPTIONAL_COLUMNS)}; but it is\n"
                      f"  {line}\n({problem})")
    return columns


def _row_problems(where, fields, columns):
    """The problems of one row's fields (a dict by column), as messages."""
    problems = []
    for number, column in enumerate(columns, 1):
        value = fields[column]
        if not value and column in REQUIRED_COLUMNS:
            problems.append(f"{where}: field {number} is empty")
        elif re.search(r"\s", value):
            problems.append(f"{where}: field {number} ('{value}') has a blank in it; "
                            "answers are one word each")
    if problems:
        return problems
    asked = _is_zero(fields["reynolds_number"]) or _is_zero(fields["kinematic_viscosity"])
    inlet = fields.get("inlet_velocity", "")
    if asked and not inlet:
        problems.append(f"{where}: reynolds_number or kinematic_viscosity is 0, so the program asks "
                        "for the inlet velocity: give it in an inlet_velocity column")
    elif inlet and not asked:
        problems.append(f"{where}: inlet_velocity is given, but the program asks for it only when "
                        "reynolds_number or kinematic_viscosity is 0; leave it empty")
    for column, allowed in OPTION_VALUES.items():
        value = fields.get(column, "")
        if value and value not in allowed:
            problems.append(f"{where}: {column} '{value}' is not one of {', '.join(allowed)}")
    if fields.get("grid_study", "") not in ("", "yes", "no"):
        problems.append(f"{where}: grid_study '{fields['grid_study']}' is not yes or no")
    across = fields.get("nodes_across", "")
    if across and not (across.isdigit() and int(across) >= 3):
        problems.append(f"{where}: nodes_across '{across}' is not a whole number of at least 3")
    return (problems + _courant_problems(where, fields) + _unsteady_problems(where, fields)
            + _frames_problems(where, fields))


def _courant_problems(where, fields):
    """The courant column: a number above 0 and at most 1, as the program takes it."""
    value = fields.get("courant", "")
    try:
        courant = float(value) if value else 0.5
    except ValueError:
        courant = math.nan
    if not 0 < courant <= 1:
        return [f"{where}: courant '{value}' is not a number above 0 and at most 1"]
    return []


def _unsteady_problems(where, fields):
    """The unsteady column: a positive number of seconds, with no stop rule but limit."""
    value = fields.get("unsteady", "")
    if not value:
        return []
    try:
        seconds = float(value)
    except ValueError:
        seconds = math.nan
    if not (math.isfinite(seconds) and seconds > 0):
        return [f"{where}: unsteady '{value}' is not a positive number of seconds"]
    if fields.get("stop_rule", "") not in ("", "limit"):
        return [f"{where}: unsteady runs take no stop rule but limit; leave stop_rule empty"]
    return []


def _frames_problems(where, fields):
    """The animation's columns: a frame count and yes/no, each only with unsteady."""
    frames, vtk = fields.get("frames", ""), fields.get("frames_vtk", "")
    problems = []
    if frames and not (frames.isdigit() and 1 <= int(frames) <= 10000):
        problems.append(f"{where}: frames '{frames}' is not a whole number from 1 to 10000")
    if vtk not in ("", "yes", "no"):
        problems.append(f"{where}: frames_vtk '{vtk}' is not yes or no")
    if (frames or vtk == "yes") and not fields.get("unsteady"):
        problems.append(f"{where}: frames and frames_vtk make the animation of an unsteady run; give unsteady too")
    return problems


def read_cases(path):
    """Reads and checks the whole CSV (every mode does, so that a row number
    means the same case everywhere). Raises Refusal naming every problem."""
    if not os.path.exists(path):
        raise Refusal(f"cases CSV not found: {path}")
    if not os.path.isfile(path) or not os.access(path, os.R_OK):
        raise Refusal(f"cases CSV is not a readable file: {path}")
    with open(path, encoding="utf-8", errors="replace", newline="") as file:
        lines = [line.rstrip("\n").rstrip("\r") for line in file]
    if not lines:
        raise Refusal(f"{path} is empty; it needs the header line\n  {','.join(REQUIRED_COLUMNS)}")
    columns = _check_header(path, lines[0].removeprefix("\ufeff"))
    csv_dir = os.path.dirname(os.path.abspath(path))
    cases, problems, first_row_of = [], [], {}
    for number, line in enumerate(lines[1:], 2):
        if not line.strip():
            continue
        where = f"{path} line {number}"
        if '"' in line:
            problems.append(f"{where}: quoted fields are not supported (each field is one word)")
            continue
        raw = line.split(",")
        if len(raw) != len(columns):
            problems.append(f"{where}: {len(raw)} fields, but the header has {len(columns)}")
            continue
        fields = dict(zip(columns, (f.strip() for f in raw)))
        row_problems = _row_problems(where, fields, columns)
        problems += row_problems
        if row_problems:
            continue
        name = fields["name"]
        if "/" in name or name in (".", ".."):
            problems.append(f"{where}: the name '{name}' cannot be a folder name (no slash, not . or ..)")
        elif name in RESERVED_NAMES:
            problems.append(f"{where}: the name '{name}' is taken by the sweep's own {name}")
        elif name in first_row_of:
            problems.append(f"{where}: the name '{name}' is already used on line {first_row_of[name]}")
        else:
            first_row_of[name] = number
        picture = os.path.join(csv_dir, fields["picture"])
        if not os.path.isfile(picture) or not os.access(picture, os.R_OK):
            problems.append(f"{where}: picture not found or not readable: {picture}")
        answers = [fields[c] for c in REQUIRED_COLUMNS[2:]]
        if fields.get("inlet_velocity"):
            answers.append(fields["inlet_velocity"])
        options = [f"--{c.replace('_', '-')}={fields[c]}" for c in OPTION_VALUES if fields.get(c)]
        if fields.get("courant"):
            options.append(f"--courant={fields['courant']}")
        if fields.get("unsteady"):
            options.append(f"--unsteady={fields['unsteady']}")
        if fields.get("frames"):
            options.append(f"--frames={fields['frames']}")
        if fields.get("frames_vtk") == "yes":
            options.append("--frames-vtk")
        if fields.get("nodes_across"):
            options.append(f"--nodes-across={fields['nodes_across']}")
        if fields.get("grid_study") == "yes":
            options.append("--grid-study")
        cases.append(Case(name, picture, answers, options))
    if problems:
        for problem in problems:
            print(f"{PROG}: {problem}", file=sys.stderr)
        raise Refusal(f"{len(problems)} problem(s) in {path}; nothing was run")
    if not cases:
        raise Refusal(f"{path} has no cases under its header")
    return cases


def find_program():
    """The program as an absolute path, so that it still works from a case folder."""
    named = os.environ.get("VELTARO", "")
    program = named or os.path.join(SCRIPT_DIR, "..", "build", "veltaro")
    if "/" not in program:
        found = shutil.which(program)
        if not found:
            raise Refusal(f"program not found: {program} (VELTARO names no command on the PATH)")
        program = found
    program = os.path.abspath(program)
    if not os.path.isfile(program) or not os.access(program, os.X_OK):
        if named:
            raise Refusal(f"program not found or not executable: {program} (from VELTARO)")
        raise Refusal(f"program not found or not executable: {program} (build it with: "
                      "bash scripts/build.sh, or set VELTARO to the program)")
    return program


def stderr_line(path):
    """The last non-blank line the program wrote on standard error."""
    try:
        with open(path, encoding="utf-8", errors="replace") as file:
            lines = [line.strip() for line in file if line.strip()]
    except OSError:
        lines = []
    return lines[-1] if lines else "(nothing on standard error)"


def _rounded(value):
    return round(float(value), 3) if isinstance(value, (_Number, int, float)) else value


def case_note(summary):
    """The one-line account of a finished case on the console."""
    try:
        note = (f"{summary['stop']}, {summary['iterations']} iterations, "
                f"C_D {_rounded(summary['drag_coefficient'])}, {_rounded(summary['seconds'])} s")
    except (KeyError, TypeError):
        return ""
    codes = warning_codes(summary.get("warnings"))
    return note + (f", warnings: {codes}" if codes else "")


def thread_option():
    """--threads=N from this case's share of the cores: the sweep's (VELTARO_THREADS, the cores over
    GNU parallel's job slots) or the Slurm task's (SLURM_CPUS_PER_TASK); none without either, the
    program's default. The results are the same bytes at any count."""
    for name in ("VELTARO_THREADS", "SLURM_CPUS_PER_TASK"):
        value = os.environ.get(name, "")
        if value.isdigit() and int(value) >= 1:
            return [f"--threads={int(value)}"]
    return []


def threads_per_job(jobs, cores):
    """The cores over the job slots GNU parallel makes of -j (N, +N, -N or N% of the cores)."""
    number = float(jobs.rstrip("%"))
    slots = cores * number / 100 if jobs.endswith("%") else cores + number if jobs[0] in "+-" else number
    return max(1, int(cores // max(1, int(slots))))


def run_case(csv_path, outdir, row):
    if not re.fullmatch(r"[1-9][0-9]*", row):
        raise Refusal(f"ROW must be a row number from 1, not '{row}'")
    cases = read_cases(csv_path)
    if int(row) > len(cases):
        raise Refusal(f"{csv_path} has {len(cases)} cases; there is no row {row}")
    program = find_program()
    case = cases[int(row) - 1]
    folder = os.path.join(outdir, case.name)
    base = os.path.basename(case.picture)
    try:
        os.makedirs(folder, exist_ok=True)
    except OSError:
        raise Refusal(f"cannot create the case folder {folder}")
    # Nothing of an earlier run of this case may pass for this run's result.
    for stale in ("summary.json", "exit_status"):
        if os.path.lexists(os.path.join(folder, stale)):
            os.remove(os.path.join(folder, stale))
    copy = os.path.join(folder, base)
    if not (os.path.exists(copy) and os.path.samefile(case.picture, copy)):
        shutil.copyfile(case.picture, copy)
    with open(os.path.join(folder, "answers.txt"), "w") as file:
        file.write("\n".join([base] + case.answers) + "\n")
    with open(os.path.join(folder, "answers.txt")) as answers, \
            open(os.path.join(folder, "console.txt"), "w") as console, \
            open(os.path.join(folder, "stderr.txt"), "w") as errors:
        status = subprocess.run([program] + case.options + thread_option(), stdin=answers, stdout=console,
                                stderr=errors, cwd=folder).returncode
    if status < 0:
        status = 128 - status  # as a shell reports a signal
    with open(os.path.join(folder, "exit_status"), "w") as file:
        file.write(f"{status}\n")
    if status != 1:
        print(f"FAILED {case.name} (exit status {status}): "
              f"{stderr_line(os.path.join(folder, 'stderr.txt'))}", file=sys.stderr)
        return 1
    summary = read_summary(os.path.join(folder, "summary.json"))
    if summary is None:
        print(f"FAILED {case.name}: the run completed (exit status 1) but wrote no summary.json",
              file=sys.stderr)
        return 1
    note = case_note(summary)
    print(f"done   {case.name}" + (f": {note}" if note else ""), flush=True)
    return 0


class _Number(str):
    """A number kept as the summary wrote it, so that results.csv repeats
    its digits rather than a re-formatting of them."""

    def __float__(self):
        return float(str(self))


def read_summary(path):
    """A summary.json as an ordered dict with its numbers as written, or None
    when there is none or it is not a JSON object."""
    try:
        with open(path, encoding="utf-8") as file:
            summary = json.load(file, parse_float=_Number, parse_int=_Number)
    except (OSError, ValueError):
        return None
    return summary if isinstance(summary, dict) else None


def warning_codes(warnings):
    """The codes of a summary's warnings, joined by ';'."""
    if not isinstance(warnings, list):
        return ""
    return ";".join(str(w.get("code", "")) for w in warnings if isinstance(w, dict))


def _is_column(key, value):
    return key in ("warnings", "grid_study") or value is None or isinstance(value, (str, bool))


def summary_columns(summaries):
    """Every scalar key of the summaries (and `warnings`), in their own
    order: a key that only a later summary has goes after the key it follows
    there, so that a newer program's keys slot in where it writes them."""
    columns = []
    for summary in summaries:
        position = 0
        for key, value in summary.items():
            if key in columns:
                position = columns.index(key) + 1
            elif _is_column(key, value):
                columns.insert(position, key)
                position += 1
    return columns


def csv_value(key, value):
    if key == "warnings":
        return warning_codes(value)
    if key == "grid_study" and isinstance(value, dict):
        return "yes" if value.get("complete") else "incomplete"
    if value is None or isinstance(value, (list, dict)):
        return ""
    if isinstance(value, bool):
        return "true" if value else "false"
    return str(value)


def gather(csv_path, outdir):
    cases = read_cases(csv_path)
    if not os.path.isdir(outdir):
        raise Refusal(f"no such OUTDIR: {outdir}")
    rows, problems = [], []
    for case in cases:
        folder = os.path.join(outdir, case.name)
        exit_status, summary = "", None
        try:
            with open(os.path.join(folder, "exit_status")) as file:
                exit_status = file.read().strip()
        except OSError:
            pass
        if not exit_status:
            status = "not run"
            problems.append(f"{case.name}: not run")
        elif exit_status != "1":
            status = "failed"
            problems.append(f"{case.name}: exit status {exit_status}: "
                            f"{stderr_line(os.path.join(folder, 'stderr.txt'))}")
        elif (summary := read_summary(os.path.join(folder, "summary.json"))) is None:
            status = "no summary"
            if os.path.isfile(os.path.join(folder, "summary.json")):
                problems.append(f"{case.name}: summary.json is not a readable JSON object")
            else:
                problems.append(f"{case.name}: complete (exit status 1) but no summary.json")
        else:
            status = "ok"
        rows.append((case.name, status, exit_status, summary or {}))
    columns = summary_columns(row[3] for row in rows)
    table = os.path.join(outdir, "results.csv")
    with open(table + ".partial", "w", newline="") as file:
        writer = csv.writer(file, lineterminator="\n")
        writer.writerow(["name", "status", "exit_status"] + columns)
        for name, status, exit_status, summary in rows:
            writer.writerow([name, status, exit_status] +
                            [csv_value(key, summary.get(key)) for key in columns])
    os.replace(table + ".partial", table)
    complete = sum(row[1] == "ok" for row in rows)
    print(f"results: {table} ({complete} of {len(cases)} cases complete)", flush=True)
    if problems:
        print(f"{len(problems)} of {len(cases)} cases failed or did not run:", file=sys.stderr)
        for problem in problems:
            print(f"  {problem}", file=sys.stderr)
        return 1
    return 0


def complete_in_joblog(joblog):
    """How many rows GNU parallel's job log records as complete. The last
    entry per row counts: a failed case that was run again appears twice."""
    last = {}
    with open(joblog, newline="") as file:
        for entry in list(csv.reader(file, delimiter="\t"))[1:]:
            if len(entry) >= 8:
                last[entry[0]] = entry[6] == "0" and entry[7] == "0"
    return sum(last.values())


def sweep(csv_path, outdir, jobs):
    cases = read_cases(csv_path)
    program = find_program()
    if subprocess.run(["bash", os.path.join(SCRIPT_DIR, "setup-scripts.sh"), "parallel"]).returncode:
        raise Refusal("GNU parallel is missing (see above)")
    try:
        os.makedirs(outdir, exist_ok=True)
    except OSError:
        raise Refusal(f"cannot create OUTDIR {outdir}")
    joblog, copy = os.path.join(outdir, "joblog.txt"), os.path.join(outdir, "cases.csv")
    # The job log knows cases by row number only, so it is only good for the
    # very CSV it was written for.
    if os.path.isfile(joblog) and not (os.path.isfile(copy) and filecmp.cmp(csv_path, copy, False)):
        os.replace(joblog, joblog + ".old")
        print(f"The cases differ from the last sweep into {outdir}: running them all "
              "(old log: joblog.txt.old).")
    shutil.copyfile(csv_path, copy + ".partial")
    os.replace(copy + ".partial", copy)
    if os.path.isfile(joblog):
        print(f"Resuming: {complete_in_joblog(joblog)} of {len(cases)} cases are complete from an "
              "earlier sweep and are not run again.")
    print(f"Running {len(cases)} cases with {program} into {outdir} (jobs: {jobs})", flush=True)
    # Up to 254, parallel's exit status counts the failed cases, which the
    # gathering below names from the case folders; 255 is parallel itself
    # stopping (interrupted, or refusing its options).
    command = ["parallel", "--joblog", joblog, "--resume-failed", "--jobs", jobs, "--quote",
               sys.executable, os.path.abspath(__file__), "--case", csv_path, outdir, "{}"]
    rows = "".join(f"{row}\n" for row in range(1, len(cases) + 1))
    status = subprocess.run(command, input=rows, text=True,
                            env=dict(os.environ, VELTARO=program,
                                     VELTARO_THREADS=str(threads_per_job(jobs, os.cpu_count() or 1)))).returncode
    if status == 255:
        raise Refusal("GNU parallel stopped before every case ran (interrupted, or see its message "
                      "above); the same command resumes the sweep")
    return gather(csv_path, outdir)


def main(args):
    mode = args[0] if args else ""
    if mode in ("-h", "--help"):
        print(__doc__.rstrip())
        return 0
    if mode == "--case" and len(args) == 4:
        return run_case(os.path.abspath(args[1]), os.path.abspath(args[2]), args[3])
    if mode == "--gather" and len(args) == 3:
        return gather(os.path.abspath(args[1]), os.path.abspath(args[2]))
    if mode == "--count" and len(args) == 2:
        print(len(read_cases(os.path.abspath(args[1]))))
        return 0
    if mode in ("--case", "--gather", "--count"):
        raise Refusal(None)
    positional, jobs = [], "100%"
    while args:
        arg, args = args[0], args[1:]
        if arg in ("-j", "--jobs"):
            if not args:
                raise Refusal(f"{arg} needs a number of jobs")
            jobs, args = args[0], args[1:]
        elif arg.startswith("--jobs="):
            jobs = arg.removeprefix("--jobs=")
        elif arg.startswith("-j"):
            jobs = arg.removeprefix("-j")
        elif arg.startswith("-"):
            print(f"{PROG}: unknown option {arg}", file=sys.stderr)
            raise Refusal(None)
        else:
            positional.append(arg)
    if len(positional) != 2:
        raise Refusal(None)
    if not re.fullmatch(r"[+-]?[0-9]+(\.[0-9]+)?%?", jobs):
        raise Refusal("-j takes a number of jobs as GNU parallel's -j does (N, +N, -N or N%), "
                      f"not '{jobs}'")
    return sweep(os.path.abspath(positional[0]), os.path.abspath(positional[1]), jobs)


if __name__ == "__main__":
    try:
        sys.exit(main(sys.argv[1:]))
    except Refusal as refusal:
        print(f"{PROG}: {refusal}" if refusal.args[0] else USAGE, file=sys.stderr)
        sys.exit(2)
