#!/usr/bin/env python3
"""Sets Veltaro beside published results and confined references for the
flow past a circular cylinder: runs the validation cylinder
(examples/validation_cylinder.jpg, 800 x 400 pixels, a disc a tenth of the
tunnel high) at Re_D = 5, 10, 20 and 40 on the coarse, standard and fine
meshes through scripts/sweep.sh, in each configuration of CONFIGURATIONS that
the program offers (its default first), then the time-accurate runs of
UNSTEADY_CASES (and the face projection's) through a second sweep, the
steady and time-accurate runs against the Courant number through a third
(when the program offers --projection), the grid studies through a fourth
(when it offers --grid-study too), and writes docs/validation.md,
docs/validation-cd.svg, docs/validation-vorticity.png and, with the outline
rule, docs/validation-outline-nodes.svg from the results.

    bash scripts/validate.sh [-j N] [--resume] [--workdir DIR]

  -j N          cases run at once (default: one per core)
  --resume      go on with an interrupted run instead of starting afresh
  --workdir DIR where the cases run (default: build-validation/); its
                sweep/, unsteady/, courant/, grid/ and settle/ folders
                are replaced

Each run starts the cases afresh, because the page must describe the
program as it is now. It takes about five minutes on 2 cores for the eight
configurations, the nine time-accurate runs, the eighteen of the Courant
number's table and the grid studies (ten when other work shares them), most of it on the fine
mesh, and is no part of CI. The program is
build/veltaro (built by scripts/build.sh when missing) unless VELTARO names
another; the picture is drawn by build/make_examples (or
VELTARO_MAKE_EXAMPLES) when it knows it, else the committed one is used.
The reference values are in docs/validation-references.csv, the page's
prose in scripts/validation/page.md.
"""

import json
import math
import os
import re
import shutil
import struct
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # no __pycache__ left in the source tree
import sweep  # noqa: E402 (after the line above)
import validation_page  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SCRIPTS = os.path.join(ROOT, "scripts")
PROG = "validate.sh"
REYNOLDS = (5, 10, 20, 40)
MAX_ITERATIONS = 200000
# The set-up, fixed by the picture: an 800 x 400 picture over a 4 m x 2 m
# tunnel is 200 pixels to the metre, so the 40-pixel disc centred at pixel
# (200, 200) is D = 0.2 m across, centred 1 m from the inlet, its rear at
# 220 / 800 of the length.
SETUP = dict(height=2, length=4, viscosity=0.01, density=1, diameter=0.2, rear_x=220 / 800 * 4,
             centre_x=200 / 800 * 4, max_iterations=MAX_ITERATIONS)
# The configurations of the program's options: a label for the tables, the
# prefix of their case folders and the sweep CSV's option columns (their
# section's title is the command line they add). The default comes first;
# each other one runs only when the program's --help names all its options.
# Only these run, whatever else --help offers: the page's prose is written
# for them. Default and covered keep the quiet stop rule, so that they stay
# comparable with stored results; the others stop when steady.
STEADY = {"stop_rule": "steady", "pressure_solver": "fft"}
CONFIGURATIONS = (
    ("default", "", {}),
    ("covered", "covered_", {"solid_nodes": "covered"}),
    ("steady", "steady_", STEADY),
    ("covered, steady", "covered_steady_", {"solid_nodes": "covered", **STEADY}),
    ("outline", "outline_", {"solid_nodes": "outline", **STEADY}),
    ("outline, second order", "outline_second_", {"solid_nodes": "outline", "advection": "second-order", **STEADY}),
    ("covered, second order", "covered_second_", {"solid_nodes": "covered", "advection": "second-order", **STEADY}),
    (validation_page.FACES, "outline_second_faces_",
     {"solid_nodes": "outline", "advection": "second-order", "projection": "faces", **STEADY}),
)
# The time-accurate runs: (Re_D, mesh, flow time T in seconds), the fine
# mesh first; Re_D 40 is below the onset of shedding and must not shed. The
# start's seed is small, and at Re_D 60 the shedding grows slowest from it.
UNSTEADY_CASES = ((100, 2, 8), (150, 2, 8), (60, 2, 16), (40, 2, 4), (100, 1, 8), (150, 1, 8), (60, 1, 16))
# Re_D 40 again, run on: so near the onset a disturbance decays slowly, and
# 4 s show too little of the decay to tell it from shedding.
ONSET_CHECK = (40, 2, 16)
UNSTEADY = {"solid_nodes": "outline", "pressure_solver": "fft", "advection": "second-order"}
# The time-accurate run of the face projection, beside the node projection's.
FACES_UNSTEADY = (100, 2, 8)
# The answers against the time step's Courant number (--courant), run with
# the two projections of "outline, second order": the steady cases on the
# fine mesh at each Courant number of COURANT_STEADY (the face projection's
# also at its steady default, 0.5), and the Re_D = 100 fine run of
# FACES_UNSTEADY at each of COURANT_UNSTEADY.
COURANT_PROJECTIONS = (("outline, second order", "nodes"), (validation_page.FACES, "faces"))
COURANT_STEADY = {"nodes": (0.1, 0.2, 0.4), "faces": (0.1, 0.2, 0.4, 0.5)}
COURANT_REYNOLDS = (20, 40)
COURANT_UNSTEADY = (0.1, 0.05)
UNSTEADY_ITERATIONS = 400000
# The grid study (--grid-study) on the cylinder, the fine mesh finest, with
# the two projections of COURANT_PROJECTIONS: steady at each Re_D of
# GRID_REYNOLDS and time-accurate as FACES_UNSTEADY; and, to show what the
# bands stand on, the steady C_D of each on the meshes of GRID_SCATTER
# nodes across.
GRID_REYNOLDS = (20, 40)
GRID_SCATTER = (50, 56, 60, 66, 70, 72, 76, 80, 86, 90, 96, 100)
VORTICITY_PICTURE = "validation-vorticity.png"


def command_line(options):
    """The options of a configuration as the program's command line takes
    them, in its order; "default" for none."""
    words = [f"--{c.replace('_', '-')}={options[c]}" for c in sweep.OPTION_VALUES if c in options]
    return " ".join(words) or "default"


HEADER = ",".join(sweep.REQUIRED_COLUMNS)


class Refusal(Exception):
    pass


def offered(configurations, help_text):
    """The configurations whose every option the program's --help names."""
    return [c for c in configurations
            if all(f"--{option.replace('_', '-')}" in help_text for option in c[2])]


def cases_csv(configurations, picture, reynolds=REYNOLDS):
    """The sweep's CSV: fine meshes first, since they take longest and
    starting them early keeps every core busy to the end."""
    option_columns = [c for c in sweep.OPTION_VALUES if any(c in cfg[2] for cfg in configurations)]
    lines = [",".join([HEADER] + option_columns)]
    for mesh in reversed(validation_page.MESHES):
        for _, prefix, options in configurations:
            for re_d in reynolds:
                # Re of the dialogue is based on the tunnel height: H / D = 10.
                fields = [f"{prefix}re{re_d}_{validation_page.MESH_NAMES[mesh]}", picture, str(re_d * 10),
                          str(SETUP["viscosity"]), str(SETUP["density"]), str(SETUP["height"]),
                          str(SETUP["length"]), str(mesh), str(MAX_ITERATIONS)]
                lines.append(",".join(fields + [options.get(c, "") for c in option_columns]))
    return "\n".join(lines) + "\n"


def unsteady_name(re_d, mesh, flow_time=None, projection=None):
    """A time-accurate case's folder; flow_time for the onset check,
    projection for another than the nodes'."""
    return (f"unsteady_{projection + '_' if projection else ''}re{re_d}_{validation_page.MESH_NAMES[mesh]}" +
            (f"_to{flow_time:g}s" if flow_time else ""))


def unsteady_csv(picture, cases=UNSTEADY_CASES, onset_check=ONSET_CHECK, faces=FACES_UNSTEADY):
    """The time-accurate runs' sweep CSV, with the unsteady column; the
    face projection's run with the projection column."""
    lines = [",".join([HEADER] + list(UNSTEADY) + ["projection", "unsteady"])]
    # The face projection's run is on the fine mesh, and starts with those.
    runs = [(unsteady_name(*faces[:2], projection="faces"), faces, "faces")] if faces else []
    runs += [(unsteady_name(re_d, mesh), (re_d, mesh, flow_time), "") for re_d, mesh, flow_time in cases]
    runs += [(unsteady_name(*onset_check), onset_check, "")] if onset_check else []
    for name, (re_d, mesh, flow_time), projection in runs:
        lines.append(",".join(case_fields(name, picture, re_d, mesh, UNSTEADY_ITERATIONS) + list(UNSTEADY.values()) +
                              [projection, str(flow_time)]))
    return "\n".join(lines) + "\n"


def case_fields(name, picture, re_d, mesh, iterations):
    """A sweep row's required fields for the cylinder at Re_D on a mesh."""
    return [name, picture, str(re_d * 10), str(SETUP["viscosity"]), str(SETUP["density"]), str(SETUP["height"]),
            str(SETUP["length"]), str(mesh), str(iterations)]


def courant_name(projection, courant, re_d, flow_time=None):
    """A case folder of the Courant number's table."""
    return f"courant_{projection}_{courant:g}_re{re_d}_fine" + ("_unsteady" if flow_time else "")


def courant_cases():
    """The Courant number's cases: (folder, projection, Courant, Re_D, T or None)."""
    cases = [(courant_name(p, c, re_d), p, c, re_d, None)
             for _, p in COURANT_PROJECTIONS for c in COURANT_STEADY[p] for re_d in COURANT_REYNOLDS]
    re_d, _, flow_time = FACES_UNSTEADY
    return cases + [(courant_name(p, c, re_d, flow_time), p, c, re_d, flow_time)
                    for _, p in COURANT_PROJECTIONS for c in COURANT_UNSTEADY]


def courant_csv(picture, cases=None):
    """The Courant number's sweep CSV, steady and time-accurate rows in one,
    the fine mesh throughout; the projection and courant columns name the
    step and the scheme."""
    columns = ["solid_nodes", "advection", "pressure_solver", "stop_rule", "projection", "courant", "unsteady"]
    lines = [",".join([HEADER] + columns)]
    # The time-accurate runs last longest: they start first.
    for name, projection, courant, re_d, flow_time in sorted(cases or courant_cases(), key=lambda c: c[4] is None):
        options = dict(solid_nodes="outline", advection="second-order", pressure_solver="fft",
                       stop_rule="" if flow_time else "steady", projection=projection, courant=f"{courant:g}",
                       unsteady=f"{flow_time:g}" if flow_time else "")
        limit = UNSTEADY_ITERATIONS if flow_time else MAX_ITERATIONS
        lines.append(",".join(case_fields(name, picture, re_d, 2, limit) + [options[c] for c in columns]))
    return "\n".join(lines) + "\n"


def read_courant(folder):
    """The Courant number's records for the page (see validation_page):
    steady {(configuration, Re_D, C): record}, unsteady {(configuration, C):
    record}."""
    labels = dict((p, label) for label, p in COURANT_PROJECTIONS)
    steady, unsteady = {}, {}
    for name, projection, courant, re_d, flow_time in courant_cases():
        path = os.path.join(folder, name)
        if flow_time:
            unsteady[labels[projection], courant] = read_unsteady_case(path)
        else:
            steady[labels[projection], re_d, courant] = read_case(path)
    return dict(steady=steady, unsteady=unsteady, reynolds=COURANT_REYNOLDS, flow_time=FACES_UNSTEADY[2],
                configurations=[label for label, _ in COURANT_PROJECTIONS])


def grid_name(projection, re_d, across=None, flow_time=None):
    """A case folder of the grid study's section: a study, or one run on
    `across` nodes across."""
    return (f"grid_{projection}_re{re_d}_" + (f"{across}_across" if across else "study") +
            ("_unsteady" if flow_time else ""))


def grid_cases():
    """The grid section's cases: (folder, projection, Re_D, nodes across or
    None for a study, T or None), the longest first."""
    re_d, _, flow_time = FACES_UNSTEADY
    cases = [(grid_name(p, re_d, flow_time=flow_time), p, re_d, None, flow_time) for _, p in COURANT_PROJECTIONS]
    cases += [(grid_name(p, r), p, r, None, None) for _, p in COURANT_PROJECTIONS for r in GRID_REYNOLDS]
    return cases + [(grid_name(p, r, n), p, r, n, None)
                    for _, p in COURANT_PROJECTIONS for r in GRID_REYNOLDS for n in reversed(GRID_SCATTER)]


def grid_csv(picture, cases=None):
    """The grid section's sweep CSV: the studies with the grid_study column,
    the single meshes with nodes_across."""
    columns = ["solid_nodes", "advection", "pressure_solver", "stop_rule", "projection", "unsteady", "nodes_across",
               "grid_study"]
    lines = [",".join([HEADER] + columns)]
    for name, projection, re_d, across, flow_time in cases or grid_cases():
        options = dict(solid_nodes="outline", advection="second-order", pressure_solver="fft",
                       stop_rule="" if flow_time else "steady", projection=projection,
                       unsteady=f"{flow_time:g}" if flow_time else "", nodes_across=str(across or ""),
                       grid_study="" if across else "yes")
        limit = UNSTEADY_ITERATIONS if flow_time else MAX_ITERATIONS
        lines.append(",".join(case_fields(name, picture, re_d, 2, limit) + [options[c] for c in columns]))
    return "\n".join(lines) + "\n"


def read_grid(folder):
    """The grid section's records (see validation_page.grid_section):
    studies {(configuration, Re_D, steady): the summary's grid_study},
    scatter {(configuration, Re_D, nodes across): C_D}."""
    labels = dict((p, label) for label, p in COURANT_PROJECTIONS)
    studies, scatter = {}, {}
    for name, projection, re_d, across, flow_time in grid_cases():
        with open(os.path.join(folder, name, "summary.json"), encoding="utf-8") as file:
            summary = json.load(file)
        if across:
            scatter[labels[projection], re_d, across] = summary["drag_coefficient"]
        elif not isinstance(summary.get("grid_study"), dict):
            raise Refusal(f"{folder}/{name}/summary.json has no grid_study")
        else:
            studies[labels[projection], re_d, flow_time is None] = summary["grid_study"]
    return dict(studies=studies, scatter=scatter, configurations=[label for label, _ in COURANT_PROJECTIONS],
                reynolds=GRID_REYNOLDS, across=GRID_SCATTER, unsteady_re=FACES_UNSTEADY[0],
                flow_time=FACES_UNSTEADY[2])


def vtk_block(data, header, kind, count):
    """The values of one block of a legacy binary VTK file (big-endian): the
    block under the line `header`, past its LOOKUP_TABLE line when it has
    one; None when there is no such block or it is cut short."""
    at = data.find(b"\n" + header.encode() + b"\n")
    if at < 0:
        return None
    start = at + len(header) + 2
    lookup = b"LOOKUP_TABLE default\n"
    if data.startswith(lookup, start):
        start += len(lookup)
    if len(data) < start + 4 * count:
        return None
    return struct.unpack(f">{count}{kind}", data[start:start + 4 * count])


def read_flow_vtk(path):
    """(nx, ny, solid, velocity) from flow.vtk, or None when it is missing."""
    try:
        with open(path, "rb") as file:
            data = file.read()
    except OSError:
        return None
    found = re.search(rb"^DIMENSIONS (\d+) (\d+) ", data, re.M)
    if not found:
        return None
    nx, ny = int(found[1]), int(found[2])
    solid = vtk_block(data, "SCALARS solid int 1", "i", nx * ny)
    velocity = vtk_block(data, "VECTORS velocity float", "f", 3 * nx * ny)
    return nx, ny, solid, velocity


def recirculation_length(centreline, dx, start, rear_x, diameter):
    """L_w/D: the first change from backward to forward flow on the
    centreline, from node `start` on, in a bubble that starts within half a
    diameter of the rear, interpolated linearly between nodes; "none"
    without such a bubble."""
    nx = len(centreline)
    first = next((i for i in range(start, nx) if i * dx <= rear_x + 0.5 * diameter and centreline[i] < 0), None)
    if first is None:
        return "none"
    for i in range(first + 1, nx):
        if centreline[i] >= 0:
            before, after = centreline[i - 1], centreline[i]
            x = (i - 1) * dx + dx * (-before) / (after - before)
            return round((x - rear_x) / diameter, 4)
    return "none"


def wake(u_rows, vtk, length=SETUP["length"], diameter=SETUP["diameter"], rear_x=SETUP["rear_x"],
         centre_x=SETUP["centre_x"]):
    """The wake and the drawn cylinder of one case. The centreline is the
    node row through the cylinder's centre, the middle of the tunnel; with
    an even number of rows no row lies on it, and the mean of the two
    beside it stands for it. u_rows (U.dat, top row first) gives the
    recirculation length; flow.vtk, when there is one, the solid nodes and,
    as a check, the length from the final velocity."""
    ny, nx = len(u_rows), len(u_rows[0])
    dx = length / (nx - 1)
    a, b = ((ny - 1) // 2,) * 2 if ny % 2 else (ny // 2 - 1, ny // 2)
    measured = dict(lw_final=None, front=None, rear=None, across=None, solid=None, unmatched=None)
    solid = vtk[2] if vtk and (vtk[0], vtk[1]) == (nx, ny) else None
    velocity = vtk[3] if vtk and (vtk[0], vtk[1]) == (nx, ny) else None
    # The bubble is looked for from the first node behind the drawn rear,
    # which the staircase may put ahead of the nominal one.
    start = next((i for i in range(nx) if i * dx >= rear_x), nx)
    if solid is not None:
        # flow.vtk's rows run from the bottom, U.dat's from the top; the
        # pair beside the middle is the same either way.
        nodes = [(i, j) for j in range(ny) for i in range(nx) if solid[j * nx + i]]
        centre_column = int(centre_x / dx + 0.5)
        on_centreline = [i for i, j in nodes if j in (a, b)]
        measured.update(solid=len(nodes), across=sum(i == centre_column for i, _ in nodes),
                        unmatched=sum(not solid[(ny - 1 - j) * nx + i] for i, j in nodes),
                        front=min(on_centreline, default=-1) * dx, rear=max(on_centreline, default=-1) * dx)
        if on_centreline:
            start = max(on_centreline) + 1
    centreline = [(u_rows[ny - 1 - a][i] + u_rows[ny - 1 - b][i]) / 2 for i in range(nx)]
    measured["lw"] = recirculation_length(centreline, dx, start, rear_x, diameter)
    if velocity is not None:
        final = [(velocity[3 * (a * nx + i)] + velocity[3 * (b * nx + i)]) / 2 for i in range(nx)]
        measured["lw_final"] = recirculation_length(final, dx, start, rear_x, diameter)
    return measured


def read_case(folder):
    """One case's record for the page (see validation_page)."""
    with open(os.path.join(folder, "summary.json"), encoding="utf-8") as file:
        summary = json.load(file)
    if not isinstance(summary.get("drag_coefficient"), (int, float)):
        raise Refusal(f"{folder}/summary.json has no drag_coefficient")
    with open(os.path.join(folder, "U.dat")) as file:
        u_rows = [[float(v) for v in line.split()] for line in file if line.strip()]
    record = {k: summary.get(k) for k in ("nx", "ny", "dx", "drag_coefficient", "lift_coefficient", "iterations",
                                          "seconds", "stop", "frontal_height", "reynolds_frontal",
                                          "steady_residual", "courant")}
    record["flow_through"] = flow_through(os.path.join(folder, "residual.txt"), summary.get("inlet_velocity"))
    vtk = read_flow_vtk(os.path.join(folder, "flow.vtk"))
    record.update(wake(u_rows, vtk))
    record["ahead"] = speed_ahead(vtk, summary.get("inlet_velocity"))
    return record


def speed_ahead(vtk, inlet_velocity):
    """The largest speed over U at the nodes ahead of the body's front (the
    columns before the first one with a solid node), where the flow turns
    to pass the body but gains little speed: a speed well above U there is
    an advection's wiggle; None without flow.vtk."""
    if not vtk or vtk[2] is None or vtk[3] is None or not inlet_velocity:
        return None
    nx, ny, solid, velocity = vtk
    front = min((k % nx for k in range(nx * ny) if solid[k]), default=nx)
    speeds = [math.hypot(velocity[3 * k], velocity[3 * k + 1]) for k in range(nx * ny) if k % nx < front]
    return max(speeds, default=0) / inlet_velocity


UNSTEADY_KEYS = ("iterations", "seconds", "stop", "flow_time", "strouhal", "strouhal_uncertainty", "cycles",
                 "mean_drag_coefficient", "drag_coefficient_amplitude", "lift_coefficient_amplitude",
                 "inlet_velocity", "courant")


def read_unsteady_case(folder, tail=1.0):
    """One time-accurate case's record (see validation_page): the summary's
    shedding measures, and from forces.csv the lift's swing over the last
    `tail` seconds of flow time (half its peak-to-peak), which says whether
    a flow that does not shed has settled."""
    with open(os.path.join(folder, "summary.json"), encoding="utf-8") as file:
        summary = json.load(file)
    if not isinstance(summary.get("flow_time"), (int, float)):
        raise Refusal(f"{folder}/summary.json has no flow_time: not a time-accurate run")
    record = {k: summary.get(k) for k in UNSTEADY_KEYS}
    with open(os.path.join(folder, "forces.csv")) as file:
        rows = [line.split(",") for line in file.read().split("\n")[1:] if line]
    end = float(rows[-1][1])
    lifts = [float(r[5]) for r in rows if float(r[1]) >= end - tail]
    record["end_lift_amplitude"] = (max(lifts) - min(lifts)) / 2
    record["swings"] = lift_swings([(float(r[1]), float(r[5])) for r in rows])
    return record


def lift_swings(samples):
    """Half the swing of C_L in each whole second of flow time, from (time,
    C_L) samples: [(the second's end, half swing)], the last second whole."""
    by_second = {}
    for t, lift in samples:
        by_second.setdefault(int(t), []).append(lift)
    whole = int(samples[-1][0]) if samples else 0
    return [(k + 1, (max(v) - min(v)) / 2) for k, v in sorted(by_second.items()) if k < whole]


def read_dat(path):
    """A .dat field, top row first, as a list of rows."""
    with open(path) as file:
        return [[float(v) for v in line.split()] for line in file if line.strip()]


def plot_vorticity(path, folder, diameter=SETUP["diameter"], centre_x=SETUP["centre_x"]):
    """The vorticity dv/dx - du/dy of one case's last velocity (U.dat and
    V.dat) behind the cylinder, on a colour scale symmetric about zero, with
    the solid nodes of flow.vtk in black, as a small PNG."""
    import matplotlib
    matplotlib.use("agg")
    import matplotlib.pyplot as plt
    import numpy
    # Rows from the bottom, as y grows.
    u = numpy.array(read_dat(os.path.join(folder, "U.dat")))[::-1]
    v = numpy.array(read_dat(os.path.join(folder, "V.dat")))[::-1]
    ny, nx = u.shape
    dx = SETUP["length"] / (nx - 1)
    vorticity = numpy.gradient(v, dx, axis=1) - numpy.gradient(u, dx, axis=0)
    vtk = read_flow_vtk(os.path.join(folder, "flow.vtk"))
    solid = numpy.array(vtk[2]).reshape(ny, nx) != 0 if vtk and vtk[2] and (vtk[0], vtk[1]) == (nx, ny) else None
    # The scale stops at a quarter of the largest magnitude, which sits on the
    # body's surface, so that the street's weaker vortices show.
    limit = 0.25 * float(numpy.abs(vorticity if solid is None else vorticity[~solid]).max())
    figure, axes = plt.subplots(figsize=(8, 2.6))
    extent = (-centre_x / diameter, (SETUP["length"] - centre_x) / diameter, -SETUP["height"] / 2 / diameter,
              SETUP["height"] / 2 / diameter)
    image = axes.imshow(vorticity, origin="lower", extent=extent, cmap="RdBu_r", vmin=-limit, vmax=limit)
    if solid is not None:
        axes.imshow(numpy.ma.masked_where(~solid, solid), origin="lower", extent=extent, cmap="gray_r",
                    vmin=0, vmax=1, interpolation="nearest")
    axes.set(xlim=(-2, 15), ylim=(-3, 3), xlabel="x / D from the centre", ylabel="y / D")
    figure.colorbar(image, ax=axes, label="vorticity, 1/s", shrink=0.9)
    figure.tight_layout()
    figure.savefig(path + ".partial", format="png", dpi=90, metadata={"Software": None})
    os.replace(path + ".partial", path)


def flow_through(path, inlet_velocity, length=SETUP["length"]):
    """The flow-through times a run reached, t U / L, from the flow time on
    the last line of residual.txt; None when the program writes none."""
    try:
        with open(path) as file:
            last = [line for line in file if line.strip() and not line.startswith("#")][-1:]
        return float(last[0].split()[3]) * inlet_velocity / length
    except (OSError, IndexError, ValueError, TypeError):
        return None


def joblog_span(*paths):
    """Seconds from the first start to the last end in GNU parallel's job
    logs (their Starttime and JobRuntime columns); None without them."""
    try:
        rows = []
        for path in paths:
            with open(path) as file:
                rows += [line.split("\t") for line in file][1:]
        return round(max(float(r[2]) + float(r[3]) for r in rows) - min(float(r[2]) for r in rows))
    except (OSError, ValueError, IndexError):
        return None


def run(command, **kwargs):
    return subprocess.run(command, **kwargs).returncode


def run_sweep(cases, outdir, jobs):
    return run([sys.executable, os.path.join(SCRIPTS, "sweep.py"), cases, outdir] + jobs)


def sweep_step(workdir, name, csv_text, resume, jobs, what):
    """One sweep of the page: its CSV written as WORKDIR/NAME.csv, its cases
    run into WORKDIR/NAME/ (afresh unless resuming); refused when any case
    did not complete."""
    path, folder = os.path.join(workdir, name + ".csv"), os.path.join(workdir, name)
    with open(path, "w") as file:
        file.write(csv_text)
    if not resume:
        shutil.rmtree(folder, ignore_errors=True)
    if run_sweep(path, folder, jobs):
        raise Refusal(f"{what} did not complete (see above and {folder}/results.csv); docs/ left as it was")


def prepare_program(workdir, resume):
    """Every case runs one private copy of the program (the one of the
    interrupted run, when resuming), so that a rebuild of build/ during the
    run cannot mix two programs on one page."""
    copy = os.path.join(workdir, "veltaro")
    if resume and os.access(copy, os.X_OK):
        return copy
    program = os.environ.get("VELTARO") or os.path.join(ROOT, "build", "veltaro")
    if "/" not in program:
        program = shutil.which(program) or program
    if not os.path.isfile(program) or not os.access(program, os.X_OK):
        raise Refusal(f"program not found or not executable: {program}")
    shutil.copy2(program, copy + ".partial")
    os.replace(copy + ".partial", copy)
    return copy


def prepare_picture(workdir):
    """The picture: drawn afresh when the generator knows it, so that a
    change to the drawing is what gets validated."""
    picture = os.path.join(workdir, "validation_cylinder.jpg")
    committed = os.path.join(ROOT, "examples", "validation_cylinder.jpg")
    if os.path.exists(picture):
        os.remove(picture)
    make_examples = os.environ.get("VELTARO_MAKE_EXAMPLES") or os.path.join(ROOT, "build", "make_examples")
    if os.access(make_examples, os.X_OK):
        run([make_examples, "validation_cylinder"], cwd=workdir, stdout=subprocess.DEVNULL)
    if os.path.isfile(picture):
        if os.path.isfile(committed) and open(picture, "rb").read() != open(committed, "rb").read():
            print(f"Note: the picture drawn by {make_examples} differs from examples/validation_cylinder.jpg; "
                  "using the drawn one.")
    elif os.path.isfile(committed):
        shutil.copyfile(committed, picture)
    else:
        raise Refusal(f"no validation picture: {make_examples} does not draw validation_cylinder and "
                      "examples/validation_cylinder.jpg is missing")


def settle_check(workdir, iterations, resume, jobs):
    """How far the drag still moves when a run settles: the Re_D = 20 fine
    case again, stopped at a half and at four fifths of its iterations."""
    rows = [HEADER]
    for name, limit in (("half", iterations // 2), ("four_fifths", iterations * 4 // 5)):
        rows.append(f"re20_fine_{name},validation_cylinder.jpg,200,{SETUP['viscosity']},{SETUP['density']},"
                    f"{SETUP['height']},{SETUP['length']},2,{limit}")
    path = os.path.join(workdir, "settle.csv")
    with open(path, "w") as file:
        file.write("\n".join(rows) + "\n")
    outdir = os.path.join(workdir, "settle")
    if not resume:
        shutil.rmtree(outdir, ignore_errors=True)
    if run_sweep(path, outdir, jobs):
        raise Refusal("the settling check did not complete (see above); docs/ left as it was")
    settle = {}
    for name in ("half", "four_fifths"):
        with open(os.path.join(outdir, f"re20_fine_{name}", "summary.json")) as file:
            summary = json.load(file)
        settle[name] = (summary["iterations"], summary["drag_coefficient"])
    return settle


def plot(path, configurations, records, references):
    """C_D against Re_D: the default per mesh and the options on the fine
    mesh, beside the published points and the confined reference."""
    import matplotlib
    matplotlib.use("svg")
    import matplotlib.pyplot as plt
    # Fixed ids and no date, so that the same numbers draw the same file.
    # Text as text: smaller, and the same file whatever fonts are installed.
    plt.rcParams.update({"svg.hashsalt": "veltaro-validation", "svg.fonttype": "none", "font.size": 11})
    page = validation_page
    figure, axes = plt.subplots(figsize=(7.6, 6.0))
    default = records[configurations[0][0]]
    for mesh, marker in zip(page.MESHES, "osD"):
        axes.plot(REYNOLDS, [default[r, mesh]["drag_coefficient"] for r in REYNOLDS], marker=marker,
                  fillstyle="none", label=f"ours, {page.MESH_NAMES[mesh]} mesh")
    for (label, _, _), marker in zip(configurations[1:], "^v<>*PX"):
        axes.plot(REYNOLDS, [records[label][r, 2]["drag_coefficient"] for r in REYNOLDS], marker=marker,
                  linestyle="--", label=f"ours, {label}, fine mesh")

    def points(source, quantity="drag_coefficient"):
        table = references.get(source, {})
        keys = sorted(r for r in table if quantity in table[r])
        return keys, [float(table[r][quantity]) for r in keys]

    re_dc, cd_dc = points(page.DENNIS_CHANG)
    axes.plot(re_dc, [c * page.BLOCKAGE_ESTIMATE for c in cd_dc], linestyle=":", color="#808080",
              label=f"Dennis & Chang x {page.BLOCKAGE_ESTIMATE} (blockage estimate)")
    axes.plot(re_dc, cd_dc, "o", color="black", label="Dennis & Chang 1970, unbounded")
    axes.plot(*points(page.FORNBERG), "s", color="#c00000", label="Fornberg 1980, unbounded")
    axes.plot(*points(page.CONFINED), "*", markersize=12, color="#0060c0",
              label="confined reference (D/H = 0.1)")
    axes.set(xscale="log", yscale="log", xlim=(4, 50), ylim=(1.2, 8),
             title="Drag of the validation cylinder (D/H = 0.1, frictionless walls)",
             xlabel="Re_D = U D / ν", ylabel="C_D = drag / (½ ρ U² D)")
    axes.set_xticks(REYNOLDS, [str(r) for r in REYNOLDS])
    axes.set_yticks([1.5, 2, 3, 4, 5, 6, 8], ["1.5", "2", "3", "4", "5", "6", "8"])
    axes.minorticks_off()
    axes.grid(True, color="#dddddd")
    axes.legend(loc="upper center", bbox_to_anchor=(0.5, -0.12), ncol=2, fontsize=9)
    figure.tight_layout()
    figure.savefig(path + ".partial", format="svg", metadata={"Date": None})
    os.replace(path + ".partial", path)


def node_classes(nx, ny, solid):
    """Each node's class from flow.vtk's solid block, rows from the bottom:
    0 fluid, 1 ghost (a solid node with a fluid neighbour left, right,
    below or above, off the tunnel's boundary, as the outline rule makes
    them), 2 the other solid nodes."""
    def is_solid(i, j):
        return solid[j * nx + i] != 0

    def ghost(i, j):
        return (0 < i < nx - 1 and 0 < j < ny - 1 and
                not all(is_solid(a, b) for a, b in ((i - 1, j), (i + 1, j), (i, j - 1), (i, j + 1))))
    return [[0 if not is_solid(i, j) else 1 if ghost(i, j) else 2 for i in range(nx)] for j in range(ny)]


def plot_nodes(path, meshes, half_width=1.0):
    """The node classes around the cylinder, one panel per (mesh name, nx,
    ny, solid) in node spacings from its centre, with the drawn circle
    carried to the grid by the stretch the program uses: pixel edge x of
    800 lies x (nx - 1) / 800 spacings from the inlet."""
    import matplotlib
    matplotlib.use("svg")
    import matplotlib.pyplot as plt
    plt.rcParams.update({"svg.hashsalt": "veltaro-validation", "svg.fonttype": "none", "font.size": 11})
    figure, panels = plt.subplots(1, len(meshes), figsize=(4.2 * len(meshes), 4.8))
    styles = (("fluid", dict(marker=".", color="#a0a0a0", markersize=3)),
              ("ghost", dict(marker="o", color="#d04000", markersize=6)),
              ("other solid", dict(marker="s", color="black", markersize=5)))
    for axes, (name, nx, ny, solid) in zip(panels, meshes):
        classes = node_classes(nx, ny, solid)
        centre_x, centre_y = 200 * (nx - 1) / 800, 200 * (ny - 1) / 400
        radius_x, radius_y = 20 * (nx - 1) / 800, 20 * (ny - 1) / 400
        reach = half_width * 2 * radius_x + 1
        for kind, (label, style) in enumerate(styles):
            nodes = [(i - centre_x, j - centre_y) for j in range(ny) for i in range(nx)
                     if classes[j][i] == kind and abs(i - centre_x) <= reach and abs(j - centre_y) <= reach]
            axes.plot([x for x, _ in nodes], [y for _, y in nodes], linestyle="none", label=label, **style)
        angles = [2 * math.pi * k / 200 for k in range(201)]
        axes.plot([radius_x * math.cos(a) for a in angles],
                  [radius_y * math.sin(a) for a in angles], color="#0060c0", label="drawn circle")
        axes.set(aspect="equal", xlim=(-reach, reach), ylim=(-reach, reach), title=f"{name} mesh ({nx} x {ny})",
                 xlabel="x from the centre, node spacings")
        axes.set_ylabel("y from the centre, node spacings")
    figure.legend(*panels[0].get_legend_handles_labels(), loc="lower center", ncol=4, fontsize=9)
    figure.tight_layout(rect=(0, 0.07, 1, 1))
    figure.savefig(path + ".partial", format="svg", metadata={"Date": None})
    os.replace(path + ".partial", path)


def node_pictures(docs, configurations, sweep_dir):
    """The node classes of the outline rule's Re_D = 20 cases on the
    standard and fine meshes, drawn to docs/; {label: file name}."""
    pictures = {}
    for label, prefix, options in configurations:
        if options.get("solid_nodes") != "outline" or pictures:  # the node classes of one suffice
            continue
        meshes = []
        for m in (1, 2):
            name = validation_page.MESH_NAMES[m]
            vtk = read_flow_vtk(os.path.join(sweep_dir, f"{prefix}re20_{name}", "flow.vtk"))
            if vtk and vtk[2]:
                meshes.append((name,) + vtk[:3])
        if meshes:
            pictures[label] = "validation-outline-nodes.svg"
            plot_nodes(os.path.join(docs, pictures[label]), meshes)
    return pictures


def source_commit():
    """The commit the page describes, marked when the tracked files differ
    from it; taken before the cases run, since the tree may change while
    they do."""
    git = ["git", "-C", ROOT]
    head = subprocess.run(git + ["rev-parse", "--short", "HEAD"], capture_output=True, text=True)
    if head.returncode != 0:
        return "unknown"
    changes = subprocess.run(git + ["status", "--porcelain", "--untracked-files=no"], capture_output=True, text=True)
    return head.stdout.strip() + (" with uncommitted changes" if changes.stdout.strip() else "")


def describe_run(console, wall_note, commit, load):
    """What the page says about the run itself: the program's version (from
    a console), the commit, the machine and how busy it was."""
    version = "Veltaro"
    try:
        with open(console, encoding="utf-8", errors="replace") as file:
            found = re.search(r"Veltaro - \S+", file.read())
            version = found[0] if found else version
    except OSError:
        pass
    cpu = ""
    try:
        with open("/proc/cpuinfo") as file:
            cpu = next((line.split(":", 1)[1].strip() for line in file if line.startswith("model name")), "")
    except OSError:
        pass
    return dict(version=version, commit=commit, wall_note=wall_note, load_average=f"{load:.1f}",
                machine=f"{os.cpu_count()} cores" + (f", {cpu}" if cpu else ""))


def parse_arguments(args):
    jobs, resume, workdir = [], False, os.path.join(ROOT, "build-validation")
    while args:
        arg, args = args[0], args[1:]
        if arg in ("-j", "--jobs"):
            if not args:
                raise Refusal(f"{arg} needs a number of jobs")
            jobs, args = ["-j", args[0]], args[1:]
        elif arg.startswith("-j") and len(arg) > 2:
            jobs = ["-j", arg[2:]]
        elif arg == "--resume":
            resume = True
        elif arg == "--workdir":
            if not args:
                raise Refusal("--workdir needs a folder")
            workdir, args = args[0], args[1:]
        elif arg in ("-h", "--help"):
            print(__doc__.rstrip())
            sys.exit(0)
        else:
            print(f"{PROG}: unknown argument {arg}", file=sys.stderr)
            raise Refusal("usage: bash scripts/validate.sh [-j N] [--resume] [--workdir DIR]")
    return jobs, resume, os.path.abspath(workdir)


def main(args):
    jobs, resume, workdir = parse_arguments(args)
    commit = source_commit()
    # Other work on the machine slows the cases: the page says how much there was.
    load = os.getloadavg()[0]
    named = os.environ.get("VELTARO", "")
    if "/" in named:  # a path from here, not a command on the PATH
        os.environ["VELTARO"] = os.path.abspath(named)
    if run(["bash", os.path.join(SCRIPTS, "setup-scripts.sh"), "parallel", "matplotlib"]):
        raise Refusal("the sweep's tools are missing (see above)")
    if not os.environ.get("VELTARO") and not os.access(os.path.join(ROOT, "build", "veltaro"), os.X_OK):
        print("build/veltaro is missing: building it.", flush=True)
        if run(["bash", os.path.join(SCRIPTS, "build.sh")]):
            raise Refusal("the build failed")
    os.makedirs(workdir, exist_ok=True)
    program = prepare_program(workdir, resume)
    os.environ["VELTARO"] = program
    prepare_picture(workdir)
    help_text = subprocess.run([program, "--help"], capture_output=True, text=True).stdout
    configurations = offered(CONFIGURATIONS, help_text)
    skipped = [command_line(c[2]) for c in CONFIGURATIONS if c not in configurations]
    if skipped:
        print(f"The program does not offer {', '.join(skipped)}: validating without.", flush=True)
    faces_offered = any(c[0] == validation_page.FACES for c in configurations)
    cases = os.path.join(workdir, "cases.csv")
    with open(cases, "w") as file:
        file.write(cases_csv(configurations, "validation_cylinder.jpg"))
    sweep_dir = os.path.join(workdir, "sweep")
    if not resume:
        shutil.rmtree(sweep_dir, ignore_errors=True)
    started = time.monotonic()
    if run_sweep(cases, sweep_dir, jobs):
        raise Refusal(f"some cases did not complete (see above and {sweep_dir}/results.csv); docs/ left as it was")
    unsteady_cases = os.path.join(workdir, "unsteady.csv")
    with open(unsteady_cases, "w") as file:
        file.write(unsteady_csv("validation_cylinder.jpg", faces=FACES_UNSTEADY if faces_offered else None))
    unsteady_dir = os.path.join(workdir, "unsteady")
    if not resume:
        shutil.rmtree(unsteady_dir, ignore_errors=True)
    if run_sweep(unsteady_cases, unsteady_dir, jobs):
        raise Refusal(f"some time-accurate cases did not complete (see above and {unsteady_dir}/results.csv); "
                      "docs/ left as it was")
    courant_dir = os.path.join(workdir, "courant")
    if faces_offered:
        sweep_step(workdir, "courant", courant_csv("validation_cylinder.jpg"), resume, jobs,
                   "some cases of the Courant number")
    grid_dir = os.path.join(workdir, "grid")
    grid_offered = faces_offered and "--grid-study" in help_text
    if grid_offered:
        sweep_step(workdir, "grid", grid_csv("validation_cylinder.jpg"), resume, jobs,
                   "some cases of the grid study")
    wall_seconds = round(time.monotonic() - started)
    unsteady = {(re_d, mesh): read_unsteady_case(os.path.join(unsteady_dir, unsteady_name(re_d, mesh)))
                for re_d, mesh, _ in UNSTEADY_CASES}
    onset = read_unsteady_case(os.path.join(unsteady_dir, unsteady_name(*ONSET_CHECK)))
    faces_unsteady = read_unsteady_case(os.path.join(unsteady_dir, unsteady_name(
        *FACES_UNSTEADY[:2], projection="faces"))) if faces_offered else None
    courant = read_courant(courant_dir) if faces_offered else None
    grid = read_grid(grid_dir) if grid_offered else None
    records = {label: {(r, m): read_case(os.path.join(sweep_dir, f"{prefix}re{r}_{validation_page.MESH_NAMES[m]}"))
                       for r in REYNOLDS for m in validation_page.MESHES}
               for label, prefix, _ in configurations}
    settle = settle_check(workdir, records["default"][20, 2]["iterations"], resume, jobs)
    references = validation_page.load_references(os.path.join(ROOT, "docs", "validation-references.csv"))
    docs = os.path.join(ROOT, "docs")
    plot(os.path.join(docs, "validation-cd.svg"), configurations, records, references)
    pictures = node_pictures(docs, configurations, sweep_dir)
    plot_vorticity(os.path.join(docs, VORTICITY_PICTURE), os.path.join(unsteady_dir, unsteady_name(100, 2)))
    blocks = validation_page.load_blocks(validation_page.template_path())
    count = (len(configurations) * len(REYNOLDS) * len(validation_page.MESHES) + len(UNSTEADY_CASES) + 1 +
             (1 + len(courant_cases()) if faces_offered else 0) + (len(grid_cases()) if grid_offered else 0))
    span = joblog_span(*(os.path.join(d, "joblog.txt") for d in (sweep_dir, unsteady_dir) +
                         ((courant_dir,) if faces_offered else ()) + ((grid_dir,) if grid_offered else ()))) \
        if resume else None
    wall_note = (f"{wall_seconds} s of wall time for all {count} cases, the time-accurate ones included" if not resume else
                 "resumed run, so no total wall time" if span is None else
                 f"a resumed run: {span} s from the first case's start to the last one's end in the sweeps' "
                 "job logs, any pause included")
    run_facts = describe_run(os.path.join(sweep_dir, "re20_standard", "console.txt"), wall_note, commit, load)
    page = validation_page.render(blocks, references, [(c[0], command_line(c[2])) for c in configurations], records,
                                  list(REYNOLDS), SETUP, settle, run_facts, pictures,
                                  dict(records=unsteady, cases=UNSTEADY_CASES, picture=VORTICITY_PICTURE, onset_check=onset,
                                       command_line=command_line(UNSTEADY), faces=faces_unsteady), courant, grid)
    with open(os.path.join(docs, "validation.md.partial"), "w", encoding="utf-8") as file:
        file.write(page)
    os.replace(os.path.join(docs, "validation.md.partial"), os.path.join(docs, "validation.md"))
    print(f"Wrote docs/validation.md, docs/validation-cd.svg, docs/{VORTICITY_PICTURE}{''.join(', docs/' + p for p in pictures.values())} "
          f"(cases in {sweep_dir}).")
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main(sys.argv[1:]))
    except Refusal as refusal:
        print(f"{PROG}: {refusal}", file=sys.stderr)
        sys.exit(2)
