"""docs/validation.md from the validation runs' numbers: the tables and the
sentences that depend on the numbers. The prose is in validation/page.md;
scripts/validate.py runs the cases and reads their files into the records
this module takes.

A record is one case (configuration, Re_D, mesh) as a dict: the summary's
nx, ny, dx, drag_coefficient, lift_coefficient, iterations, seconds, stop,
frontal_height, reynolds_frontal and steady_residual (None when the program
writes none), flow_through (the flow-through times t U / L reached, None
without residual.txt), and what validate.py measures on the flow: lw and
lw_final (L_w/D, "none" without a bubble, None when not measured), front and
rear (the drawn cylinder's ends on the centreline, in metres), across, solid
and unmatched (node counts; None without flow.vtk), and ahead (the largest
speed ahead of the body over U, None without flow.vtk).

A time-accurate record is the summary's iterations, seconds, stop,
flow_time, strouhal, strouhal_uncertainty, cycles, mean_drag_coefficient,
drag_coefficient_amplitude, lift_coefficient_amplitude and inlet_velocity,
and end_lift_amplitude, half the swing of C_L over the last second.
"""

import csv
import math
import os
import re
import string

MESHES = (0, 1, 2)
MESH_NAMES = ("coarse", "standard", "fine")
DENNIS_CHANG = "Dennis & Chang 1970"
FORNBERG = "Fornberg 1980"
COUTANCEAU_BOUARD = "Coutanceau & Bouard 1977"
CONFINED = "confined reference"
CONFINED_UNSTEADY = "confined time-accurate reference"
WILLIAMSON = "Williamson 1996"
# The configuration of the face projection (--projection=faces), and the
# node projection's that it is set beside.
FACES = "outline, second order, faces"
NODES = "outline, second order"
# The rise of the drag that 10% blockage makes, roughly, over open flow.
BLOCKAGE_ESTIMATE = 1.17
# What a node rule was built to reach on this cylinder, by configuration:
# its name in the prose, the largest magnitude of C_L of the symmetric body,
# how far C_D and L_w/D may be from the confined reference by mesh, in per
# cent, and whether the grid convergence and the settling of every case are
# goals; "note" names the block that explains a drag that does not converge;
# "ahead" the largest speed ahead of the body, over U, by mesh.
GOALS = {
    "covered": dict(name="the covered rule", lift=1e-3, drag={2: 3}, wake={2: 10}, monotone=True,
                    note="covered-not-monotone"),
    "outline": dict(name="the outline rule", lift=1e-3, drag={2: 3, 1: 7}, wake={2: 20}, settle=True,
                    symmetric=True),
    "outline, second order": dict(name="the second-order advection", lift=1e-3, drag={2: 3, 1: 7}, wake={2: 10},
                                  settle=True, ahead={1: 1.3}),
    FACES: dict(name="the face projection", lift=1e-3, drag={2: 2}, wake={2: 7}, settle=True),
}
# The face projection's goals against the step: how far C_D may move between
# the smallest and the largest steady Courant number of the table (per cent),
# and how far the time-accurate St, mean C_D and C_L amplitude may move
# between its two Courant numbers, and be from the confined reference.
COURANT_GOALS = dict(steady_change=0.7, steady_span=(0.1, 0.4), unsteady_change=1,
                     unsteady_reference=(4, 3, 20))
# Stands for an optional sentence that a case does not need: its line goes.
OMIT = "\x00"


def load_blocks(path):
    """The template's blocks by name; the text before the first is its
    own description, not part of the page."""
    with open(path, encoding="utf-8") as file:
        parts = re.split(r"^@@ (\S+)\n", file.read(), flags=re.M)
    return {name: text.rstrip("\n") for name, text in zip(parts[1::2], parts[2::2])}


def fill(blocks, name, **values):
    return string.Template(blocks[name]).substitute(values)


def drop_omitted(text):
    return "\n".join(line for line in text.split("\n") if line != OMIT)


def load_references(path):
    """The reference values as {source: {re_d: {quantity: text}}}, the text
    as written (so 2.00 stays 2.00 on the page)."""
    references = {}
    with open(path, encoding="utf-8", newline="") as file:
        for row in csv.DictReader(file):
            values = {k: v for k, v in row.items() if k not in ("source", "flow", "re_d") and v}
            references.setdefault(row["source"], {})[int(row["re_d"])] = values
    return references


def reference(references, source, re_d, quantity):
    """A reference value as a float, or None where the source has none."""
    text = references.get(source, {}).get(re_d, {}).get(quantity)
    return float(text) if text else None


def reference_text(references, source, re_d, quantity):
    return references.get(source, {}).get(re_d, {}).get(quantity, "—")


def ratio(a, b):
    return f"{a / b:.3f}"


def signed(value):
    """+1.2%, and +0.0% for a value that rounds to zero from below."""
    return f"{round(value, 1) + 0.0:+.1f}%"


def percent(a, b):
    return signed(100 * (a / b - 1))


def show_lw(value):
    return value if value in ("none", "missing") else ("missing" if value is None else f"{value:.2f}")


def show(value, form):
    return "—" if value is None else format(value, form)


def settled(record):
    """Whether a case stopped by its rule rather than at the iteration limit."""
    return record["stop"] in ("settled", "steady")


def show_lift(value):
    """C_L to four places, or in exponent form when that would show 0."""
    if value is None:
        return "—"
    return f"{value:.4f}" if value == 0 or abs(value) >= 1e-3 else f"{value:.1e}"


def join_words(items):
    """a, b and c."""
    items = list(items)
    return items[0] if len(items) == 1 else ", ".join(items[:-1]) + " and " + items[-1]


def table(header, rows):
    lines = ["| " + " | ".join(header) + " |", "|" + "---|" * len(header)]
    lines += ["| " + " | ".join(str(cell) for cell in row) + " |" for row in rows]
    return "\n".join(lines)


def mesh_table(records, first_re, diameter):
    rows = []
    for m in MESHES:
        r = records[first_re, m]
        reynolds = r.get("reynolds_frontal")
        rows.append([f"{m}, {MESH_NAMES[m]}", f"{r['nx']} x {r['ny']}", f"{r['dx']:.4f} m",
                     f"{diameter / r['dx']:.2f}", show(r["frontal_height"], ".4f") + " m",
                     "—" if reynolds is None else percent(reynolds, first_re)])
    return table(["mesh", "nodes", "node spacing", "D in node spacings", "D as computed",
                  "Re_D as computed, against the nominal"], rows)


def drag_table(records, reynolds, references):
    header = ["Re_D", "mesh", "C_D", DENNIS_CHANG, "ours / D&C", FORNBERG, "ours / F", CONFINED,
              "ours / confined", "C_L", "stop", "iterations", "flow-through times", "R at the stop"]
    rows = []
    for re_d in reynolds:
        dc = reference(references, DENNIS_CHANG, re_d, "drag_coefficient")
        fb = reference(references, FORNBERG, re_d, "drag_coefficient")
        confined = reference(references, CONFINED, re_d, "drag_coefficient")
        for m in MESHES:
            r = records[re_d, m]
            cd = r["drag_coefficient"]
            rows.append([re_d, MESH_NAMES[m], f"{cd:.3f}",
                         reference_text(references, DENNIS_CHANG, re_d, "drag_coefficient"),
                         ratio(cd, dc) if dc else "—",
                         reference_text(references, FORNBERG, re_d, "drag_coefficient"),
                         ratio(cd, fb) if fb else "—",
                         reference_text(references, CONFINED, re_d, "drag_coefficient"),
                         ratio(cd, confined) if confined else "—",
                         show_lift(r["lift_coefficient"]), r["stop"], r["iterations"],
                         show(r.get("flow_through"), ".2f"), show(r.get("steady_residual"), ".1e")])
    return table(header, rows)


def have_final(records):
    return all(r["lw_final"] is not None for r in records.values())


def wake_table(records, reynolds, references):
    final = have_final(records)
    header = ["Re_D", "L_w/D, fine"] + (["fine, from the final velocity"] if final else []) + [
        "standard", "coarse", COUTANCEAU_BOUARD, "fine / C&B", CONFINED, "fine / confined"]
    rows = []
    for re_d in reynolds:
        fine = records[re_d, 2]["lw"]
        row = [re_d, show_lw(fine)]
        if final:
            row.append(show_lw(records[re_d, 2]["lw_final"]))
        row += [show_lw(records[re_d, 1]["lw"]), show_lw(records[re_d, 0]["lw"])]
        for source in (COUTANCEAU_BOUARD, CONFINED):
            value = reference(references, source, re_d, "recirculation_length")
            row += [f"{value:.2f}" if value is not None else "—",
                    ratio(fine, value) if value and isinstance(fine, float) else "—"]
        rows.append(row)
    return table(header, rows)


def observed_order(c0, c1, c2):
    """Observed order p and Richardson's estimate from three meshes that
    halve the spacing, p = ln((C0 − C1) / (C1 − C2)) / ln 2, or a note why
    there is none."""
    d01, d12 = c1 - c0, c2 - c1
    if d12 == 0:
        return None, None, "no change from the standard to the fine mesh"
    if d01 / d12 <= 0:
        return None, None, "not monotone: the change from the standard to the fine mesh has the other sign"
    p = math.log(d01 / d12) / math.log(2)
    if p <= 0:
        return p, None, "diverging: the change grows as the mesh is refined"
    return p, c2 + d12 / (2**p - 1), None


def convergence(records, reynolds, references):
    """The grid-convergence table, its notes and the Reynolds numbers whose
    order is implausibly high (with those orders)."""
    header = ["Re_D", "C0", "C1", "C2", "C1 − C0", "C2 − C1", "p", "Richardson estimate",
              "its ratio to D&C", "its ratio to the confined reference"]
    rows, notes, high = [], [], {}
    for re_d in reynolds:
        c0, c1, c2 = (records[re_d, m]["drag_coefficient"] for m in MESHES)
        p, estimate, note = observed_order(c0, c1, c2)
        if note:
            notes.append(f"- Re_D = {re_d}: {note}.")
        if p is not None and p > 2.5:
            high[re_d] = p
        shown = "—" if p is None else f"{p:.2f}"
        if p is None:
            shown = "— (C2 = C1)" if c2 == c1 else "not monotone"
        cells = [re_d, f"{c0:.3f}", f"{c1:.3f}", f"{c2:.3f}", f"{c1 - c0:+.3f}", f"{c2 - c1:+.3f}", shown,
                 "—" if estimate is None else f"{estimate:.3f}"]
        for source in (DENNIS_CHANG, CONFINED):
            value = reference(references, source, re_d, "drag_coefficient")
            cells.append(ratio(estimate, value) if estimate is not None and value else "—")
        rows.append(cells)
    return table(header, rows), notes, high


def mask_table(records, first_re, diameter):
    header = ["mesh", "solid nodes (a disc of D = 0.2 m would cover)", "across, in the centre column",
              "drawn front", "drawn rear", "solid nodes whose mirror image across the centreline is fluid"]
    rows = []
    for m in MESHES:
        r = records[first_re, m]
        disc = math.pi * (diameter / 2 / r["dx"]) ** 2
        rows.append([MESH_NAMES[m], f"{r['solid']} ({disc:.1f})", r["across"], f"{r['front']:.4f} m",
                     f"{r['rear']:.4f} m", r["unmatched"]])
    return table(header, rows)


def have_mask(records):
    return all(r["solid"] is not None for r in records.values())


def mask_section(blocks, records, first_re, setup):
    if not have_mask(records):
        return OMIT
    return fill(blocks, "mask", front_x=f"{setup['rear_x'] - setup['diameter']:g}",
                rear_x=setup["rear_x"], table=mask_table(records, first_re, setup["diameter"])) + "\n"


def timing_table(records, reynolds):
    header = ["Re_D"]
    for name in MESH_NAMES:
        header += [f"{name}: iterations", "seconds"]
    rows = []
    for re_d in reynolds:
        row = [re_d]
        for m in MESHES:
            row += [records[re_d, m]["iterations"], f"{records[re_d, m]['seconds']:.2f}"]
        rows.append(row)
    return table(header, rows)


def per_iteration(records, reynolds):
    parts = []
    for m in MESHES:
        mean = sum(records[re_d, m]["seconds"] / records[re_d, m]["iterations"] for re_d in reynolds)
        parts.append(f"{1000 * mean / len(reynolds):.2f} ms on the {MESH_NAMES[m]} mesh")
    return join_words(parts)


def ratio_range(records, reynolds, references, source, m):
    ratios = [records[re_d, m]["drag_coefficient"] / value for re_d in reynolds
              if (value := reference(references, source, re_d, "drag_coefficient"))]
    return f"{min(ratios):.2f} to {max(ratios):.2f}" if ratios else "—"


def max_cd_change(records, reynolds, start, end):
    return max(abs(100 * (records[re_d, end]["drag_coefficient"] / records[re_d, start]["drag_coefficient"] - 1))
               for re_d in reynolds)


def convergence_notes(blocks, notes):
    return "\n".join(notes) if notes else blocks["monotone"]


def high_order_note(blocks, records, high, first_re):
    if not high:
        return OMIT
    coarse_solid = records[first_re, 0]["solid"]
    return "\n" + fill(blocks, "high-order", reynolds=join_words(str(r) for r in high),
                       low=f"{min(high.values()):.1f}", high=f"{max(high.values()):.1f}",
                       coarse_solid=f" (its cylinder is {coarse_solid} solid nodes)" if coarse_solid is not None else "")


def bubble_share(blocks, records, reynolds, references):
    shares = [f"{100 * records[re_d, 2]['lw'] / value:.0f}% (Re_D = {re_d})" for re_d in reynolds
              if (value := reference(references, COUTANCEAU_BOUARD, re_d, "recirculation_length"))
              and isinstance(records[re_d, 2]["lw"], float)]
    return fill(blocks, "bubble-share", shares=join_words(shares)) if shares else OMIT


def negative_length(records):
    return any(isinstance(r[key], float) and r[key] < 0 for r in records.values() for key in ("lw", "lw_final"))


def picture_note(blocks, picture):
    return fill(blocks, "node-picture", picture=picture) + "\n" if picture else OMIT


def configuration_section(blocks, title, records, reynolds, references, setup, picture=None):
    table_text, notes, high = convergence(records, reynolds, references)
    return fill(blocks, "configuration", title=title, drag_table=drag_table(records, reynolds, references),
                picture_note=picture_note(blocks, picture),
                wake_table=wake_table(records, reynolds, references), convergence_table=table_text,
                convergence_notes=convergence_notes(blocks, notes),
                mask_section=mask_section(blocks, records, reynolds[0], setup),
                per_iteration=per_iteration(records, reynolds))


def side_by_side(configurations, records, reynolds, references):
    """The fine mesh's C_D and L_w/D of every configuration, beside the
    confined reference."""
    header = ["Re_D"] + [f"C_D, {key}" for key, _ in configurations] + [f"C_D, {CONFINED}"]
    header += [f"L_w/D, {key}" for key, _ in configurations] + [f"L_w/D, {CONFINED}"]
    rows = []
    for re_d in reynolds:
        row = [re_d] + [f"{records[key][re_d, 2]['drag_coefficient']:.3f}" for key, _ in configurations]
        row.append(reference_text(references, CONFINED, re_d, "drag_coefficient"))
        row += [show_lw(records[key][re_d, 2]["lw"]) for key, _ in configurations]
        row.append(reference_text(references, CONFINED, re_d, "recirculation_length"))
        rows.append(row)
    return table(header, rows)


def against_confined(configurations, records, reynolds, references):
    """Per configuration, the fine mesh's C_D and L_w/D against the confined
    reference, and the largest |C_L| of every case."""
    compared = [(re_d, quantity) for quantity in ("drag_coefficient", "recirculation_length") for re_d in reynolds
                if reference(references, CONFINED, re_d, quantity) is not None]
    names = {"drag_coefficient": "C_D", "recirculation_length": "L_w/D"}
    header = ["configuration"] + [f"{names[q]}, Re_D = {re_d}" for re_d, q in compared] + ["largest magnitude of C_L"]
    ahead = all(largest_ahead(records[key]) is not None for key, _ in configurations)
    header += ["largest speed ahead of the body, over U"] if ahead else []
    rows = []
    for key, _ in configurations:
        row = [key]
        for re_d, quantity in compared:
            value = records[key][re_d, 2]["drag_coefficient" if quantity == "drag_coefficient" else "lw"]
            target = reference(references, CONFINED, re_d, quantity)
            row.append(percent(value, target) if isinstance(value, float) else show_lw(value))
        row.append(f"{max(abs(r['lift_coefficient']) for r in records[key].values()):.1e}")
        rows.append(row + ([f"{largest_ahead(records[key]):.2f}"] if ahead else []))
    return table(header, rows)


def fine_errors(records, reynolds, references, quantity, mesh=2):
    """(Re_D, per cent off the confined reference) on a mesh (the fine one
    unless told), where there is a reference; None for a length without a
    bubble."""
    value_key = "drag_coefficient" if quantity == "drag_coefficient" else "lw"
    errors = []
    for re_d in reynolds:
        target = reference(references, CONFINED, re_d, quantity)
        value = records[re_d, mesh][value_key]
        if target:
            errors.append((re_d, 100 * (value / target - 1) if isinstance(value, (int, float)) else None))
    return errors


def show_error(error):
    return "no bubble" if error is None else signed(error)


def verdict(met):
    return "**met**" if met else "**not met**"


def within_goal(records, default, reynolds, references, quantity, limit, mesh=2):
    """The verdict on a mesh's distance from the confined reference."""
    errors = fine_errors(records, reynolds, references, quantity, mesh)
    if not errors:
        return "no confined reference"
    met = all(e is not None and abs(e) <= limit for _, e in errors)
    before = join_words(show_error(e) for _, e in fine_errors(default, reynolds, references, quantity, mesh))
    return (f"{verdict(met)}: " + join_words(f"{show_error(e)} at Re_D = {re_d}" for re_d, e in errors) +
            f" (the default: {before})")


def monotone(values):
    """Whether a value moves the same way at each refinement of the mesh;
    a missing bubble ("none") is not a length that converges."""
    if not all(isinstance(v, (int, float)) for v in values):
        return False
    coarse, standard, fine = values
    return (standard - coarse) * (fine - standard) > 0


def over_meshes(records, reynolds, key):
    """{Re_D: [the quantity on the coarse, standard and fine meshes]}, leaving
    out the lengths of Reynolds numbers without a bubble on any mesh, which
    have no length to converge."""
    per_re = {re_d: [records[re_d, m][key] for m in MESHES] for re_d in reynolds}
    return {re_d: values for re_d, values in per_re.items()
            if key != "lw" or any(isinstance(v, (int, float)) for v in values)}


def monotone_goal(records, reynolds, key, show):
    """The verdict on the grid convergence of one quantity, with the values
    of the Reynolds numbers where it fails."""
    judged = over_meshes(records, reynolds, key)
    if not judged:
        return "no bubble on any mesh"
    failing = [f"{', '.join(show(v) for v in values)} at Re_D = {re_d}"
               for re_d, values in judged.items() if not monotone(values)]
    return verdict(not failing) + (": " + "; ".join(failing) if failing else "")


def largest_ahead(records, mesh=None):
    """The largest speed ahead of the body over U, on one mesh or all; None
    when a case has no measure."""
    speeds = [r.get("ahead") for (_, m), r in records.items() if mesh in (None, m)]
    return None if None in speeds or not speeds else max(speeds)


def ahead_goal(records, default, mesh, limit):
    speed, before = largest_ahead(records, mesh), largest_ahead(default, mesh)
    if speed is None:
        return "not measured (no flow.vtk)"
    return f"{verdict(speed <= limit)}: {speed:.2f} U" + ("" if before is None else f" (the default: {before:.2f} U)")


def goals_table(records, default, reynolds, references, goals):
    """A node rule's goals on this cylinder (see GOALS), each with its
    verdict and the numbers behind it."""
    lift = max(abs(r["lift_coefficient"]) for r in records.values())
    default_lift = max(abs(r["lift_coefficient"]) for r in default.values())
    rows = [[f"largest magnitude of C_L at most {goals['lift']:.1e}, at every Re_D and mesh",
             f"{verdict(lift <= goals['lift'])}: {lift:.1e} (the default: {default_lift:.1e})"]]
    for quantity, name, key in (("drag_coefficient", "C_D", "drag"), ("recirculation_length", "L_w/D", "wake")):
        for mesh, limit in goals[key].items():
            rows.append([f"{name} within {limit}% of the confined reference on the {MESH_NAMES[mesh]} mesh",
                         within_goal(records, default, reynolds, references, quantity, limit, mesh)])
    for mesh, limit in goals.get("ahead", {}).items():
        rows.append([f"no wiggles: the largest speed ahead of the body at most {limit} U on the {MESH_NAMES[mesh]} "
                     "mesh, at every Re_D", ahead_goal(records, default, mesh, limit)])
    if goals.get("monotone"):
        rows += [["C_D moves one way from the coarse to the standard to the fine mesh",
                  monotone_goal(records, reynolds, "drag_coefficient", lambda v: f"{v:.3f}")],
                 ["L_w/D moves one way from the coarse to the standard to the fine mesh",
                  monotone_goal(records, reynolds, "lw", show_lw)]]
    if goals.get("symmetric") and have_mask(records):
        lopsided = [f"{r['unmatched']} on the {MESH_NAMES[m]} mesh" for (re_d, m), r in sorted(records.items())
                    if re_d == reynolds[0] and r["unmatched"]]
        rows.append(["the solid nodes of the symmetric picture mirror-symmetric on every mesh",
                     verdict(not lopsided) + (": solid nodes whose mirror image is fluid, " + join_words(lopsided)
                                              if lopsided else "")])
    if goals.get("settle"):
        stuck = [f"Re_D = {re_d} on the {MESH_NAMES[m]} mesh" for (re_d, m), r in sorted(records.items())
                 if not settled(r)]
        rows.append(["every case settles before the iteration limit, at every Re_D and mesh",
                     verdict(not stuck) + (": not " + join_words(stuck) if stuck else
                                           f": in {min(r['iterations'] for r in records.values())} to "
                                           f"{max(r['iterations'] for r in records.values())} iterations")])
    return table(["goal", "result"], rows)


def drag_convergence_note(blocks, name, records, reynolds, diameter):
    """Why the drag with a node rule jumps between meshes, when it does (the
    block `name`): the solid rows across the cylinder against its diameter
    in spacings."""
    if all(map(monotone, over_meshes(records, reynolds, "drag_coefficient").values())):
        return OMIT
    first = [records[reynolds[0], m] for m in MESHES]
    if any(r["across"] is None for r in first):
        return OMIT
    return "\n" + fill(blocks, name, rows=join_words(str(r["across"]) for r in first),
                       spacings=join_words(f"{diameter / r['dx']:.2f}" for r in first))


def ending_table(configurations, records, reynolds, references):
    """How each configuration's runs ended: on the fine mesh at the Reynolds
    numbers of the confined reference, the iterations and flow-through
    times, and over every case the largest R at the stop and the cases that
    reached the iteration limit."""
    compared = [re_d for re_d in reynolds if reference(references, CONFINED, re_d, "drag_coefficient")]
    header = ["configuration"]
    for re_d in compared:
        header += [f"Re_D = {re_d}, fine: iterations", "flow-through times"]
    header += ["largest R at the stop", "cases at the iteration limit"]
    rows = []
    for key, _ in configurations:
        row = [key]
        for re_d in compared:
            row += [records[key][re_d, 2]["iterations"], show(records[key][re_d, 2].get("flow_through"), ".2f")]
        residuals = [r.get("steady_residual") for r in records[key].values()]
        row += ["—" if None in residuals else f"{max(residuals):.1e}",
                sum(not settled(r) for r in records[key].values())]
        rows.append(row)
    return table(header, rows)


def option_descriptions(blocks, configurations):
    """What each option used by a configuration does, once each, from its
    block in the template ("@@ --solid-nodes=covered"), else just named."""
    words = []
    for _, title in configurations[1:]:
        words += [w for w in title.split() if w not in words]
    return "\n".join(f"- `{w}`" + (": " + " ".join(blocks[w].split("\n")) if w in blocks else ".") for w in words)


def goal_sections(blocks, configurations, records, reynolds, references, setup):
    """"What the rule reaches" for each configuration with goals."""
    default = records[configurations[0][0]]
    sections = []
    for key, title in configurations:
        goals = GOALS.get(key)
        if not goals:
            continue
        note = OMIT
        if goals.get("note"):
            note = drag_convergence_note(blocks, goals["note"], records[key], reynolds, setup["diameter"])
        sections.append(fill(blocks, "goals", rule=goals["name"], title=title,
                             goals_table=goals_table(records[key], default, reynolds, references, goals),
                             convergence_note=note))
    return "\n\n".join(sections) if sections else OMIT


def options_section(blocks, configurations, records, reynolds, references, setup, pictures):
    if len(configurations) < 2:
        return OMIT
    sections = [configuration_section(blocks, title, records[key], reynolds, references, setup, pictures.get(key))
                for key, title in configurations[1:]]
    return "\n" + fill(blocks, "options", option_descriptions=option_descriptions(blocks, configurations),
                       side_by_side=side_by_side(configurations, records, reynolds, references),
                       against_confined=against_confined(configurations, records, reynolds, references),
                       ending_table=ending_table(configurations, records, reynolds, references),
                       configuration_sections="\n" + "\n\n".join(sections),
                       goal_sections=goal_sections(blocks, configurations, records, reynolds, references, setup),
                       advection_note=advection_note(blocks, configurations, records, reynolds, references),
                       faces_note=faces_note(blocks, configurations, records, reynolds, references))


def advection_note(blocks, configurations, records, reynolds, references):
    """What the second-order advection changes on the outline rule, when
    the page has both advections."""
    keys = ("outline", "outline, second order")
    if not all(key in records for key in keys):
        return OMIT
    first, second = (records[key] for key in keys)
    return "\n" + fill(blocks, "advection", reynolds=join_words(str(r) for r, _ in fine_errors(
        second, reynolds, references, "recirculation_length")),
        first_wake=errors_at(first, reynolds, references, "recirculation_length"),
        second_wake=errors_at(second, reynolds, references, "recirculation_length"),
        first_drag=errors_at(first, reynolds, references, "drag_coefficient"),
        second_drag=errors_at(second, reynolds, references, "drag_coefficient"))


def configurations_note(blocks, configurations):
    if len(configurations) < 2:
        return blocks["configurations-default-only"]
    return fill(blocks, "configurations-all", count=len(configurations),
                option_list=join_words(f"`{title}` ({key})" for key, title in configurations[1:]))


def confined_values(references):
    parts = []
    for re_d, values in sorted(references.get(CONFINED, {}).items()):
        parts.append(f"C_D = {values['drag_coefficient']} and L_w/D = {values['recirculation_length']} at Re_D = {re_d}")
    lift = {v.get("lift_coefficient") for v in references.get(CONFINED, {}).values()}
    return join_words(parts) + (", C_L zero" if lift == {"0"} else "")


def confined_drag_note(blocks, records, reynolds, references):
    parts = [f"{ratio(records[re_d, 2]['drag_coefficient'], value)} (Re_D = {re_d})" for re_d in reynolds
             if (value := reference(references, CONFINED, re_d, "drag_coefficient"))]
    return fill(blocks, "confined-drag", confined_ratios=join_words(parts)) if parts else OMIT


def errors_at(records, reynolds, references, quantity):
    """"-1.5% and -1.6%": the fine mesh's distance from the confined
    reference at each of its Reynolds numbers."""
    return join_words(show_error(e) for _, e in fine_errors(records, reynolds, references, quantity))


def choose_note(blocks, records, reynolds, references):
    """The advice on which configuration to use, when the page has the
    ones it names."""
    named = ("default", "outline", "outline, second order", "covered, second order")
    if not all(key in records for key in named):
        return OMIT
    values = {}
    for key in named:
        name = key.replace(", ", "_").replace(" ", "_")
        values[f"{name}_ahead"] = show(largest_ahead(records[key]), ".2f")
        values[f"{name}_drag"] = errors_at(records[key], reynolds, references, "drag_coefficient")
        values[f"{name}_wake"] = errors_at(records[key], reynolds, references, "recirculation_length")
        values[f"{name}_standard_drag"] = join_words(
            show_error(e) for _, e in fine_errors(records[key], reynolds, references, "drag_coefficient", 1))
        values[f"{name}_lift"] = f"{max(abs(r['lift_coefficient']) for r in records[key].values()):.0e}"
    compared = [re_d for re_d in reynolds if reference(references, CONFINED, re_d, "drag_coefficient")]
    fine = [records["default"][re_d, 2] for re_d in reynolds]
    values["default_flow"] = show(max((r.get("flow_through") or 0) for r in fine), ".2f")
    values["default_residual"] = show(max((r.get("steady_residual") or 0) for r in fine), ".0e")
    return "\n" + fill(blocks, "choose", reynolds=join_words(str(r) for r in compared), **values)


def steady_note(blocks, configurations, records):
    """The steady rule against the quiet one on the default's Re_D = 20 fine
    case, when a configuration differs from the default only by the stop
    rule and the pressure solve."""
    steady = next((key for key, title in configurations
                   if "--stop-rule=steady" in title and "--solid-nodes" not in title), None)
    if steady is None:
        return OMIT
    quiet, ran = records[configurations[0][0]][20, 2], records[steady][20, 2]
    return "\n" + fill(blocks, "steady-rule", title=[t for k, t in configurations if k == steady][0],
                       iterations=ran["iterations"], flow=show(ran.get("flow_through"), ".2f"),
                       quiet_iterations=quiet["iterations"], quiet_flow=show(quiet.get("flow_through"), ".2f"),
                       cd=f"{ran['drag_coefficient']:.4f}", change=percent(ran["drag_coefficient"],
                                                                           quiet["drag_coefficient"]),
                       quiet_r=show(quiet.get("steady_residual"), ".1e"),
                       lw=show_lw(ran["lw"]), quiet_lw=show_lw(quiet["lw"]))


def drift_note(cd, half_cd, four_fifths_cd):
    if half_cd > four_fifths_cd > cd:
        return ", and it was still falling when the run stopped."
    if half_cd < four_fifths_cd < cd:
        return ", and it was still rising when the run stopped."
    return "."


def unsteady_cells(r):
    """St ± its uncertainty, mean C_D, the C_D and C_L amplitudes and the
    cycles of one time-accurate case; dashes where the flow gave none."""
    strouhal = "—" if r["strouhal"] is None else f"{r['strouhal']:.4f} ± {r['strouhal_uncertainty']:.4f}"
    return [strouhal, show(r["mean_drag_coefficient"], ".3f"), show(r["drag_coefficient_amplitude"], ".4f"),
            show(r["lift_coefficient_amplitude"], ".3f"), show(r["cycles"], "d")]


def unsteady_table(records, cases, references, faces=None):
    """Every time-accurate case, the face projection's beside the fine
    mesh's at its Re_D, then the references at Re_D = 100."""
    header = ["Re_D", "mesh or source", "St", "mean C_D", "C_D amplitude", "C_L amplitude", "cycles",
              "C_L half swing over the last second", "iterations", "wall seconds", "stop"]

    def row(re_d, name, r):
        return [re_d, name] + unsteady_cells(r) + [f"{r['end_lift_amplitude']:.1e}", r["iterations"],
                                                   f"{r['seconds']:.0f}", r["stop"]]
    rows = []
    for re_d, m in sorted((re_d, m) for re_d, m, _ in cases):
        rows.append(row(re_d, MESH_NAMES[m], records[re_d, m]))
        if faces is not None and (re_d, m) == (100, 2):
            rows.append(row(re_d, "fine, faces", faces))
    for source in (CONFINED_UNSTEADY, WILLIAMSON):
        for re_d, values in sorted(references.get(source, {}).items()):
            rows.append([re_d, source] + [values.get(q, "—") for q in (
                "strouhal", "mean_drag_coefficient", "drag_coefficient_amplitude", "lift_coefficient_amplitude")]
                + ["—"] * 5)
    return table(header, rows)


UNSTEADY_QUANTITIES = (("strouhal", "St"), ("mean_drag_coefficient", "mean C_D"),
                       ("lift_coefficient_amplitude", "C_L amplitude"))


def unsteady_error(record, references, quantity, re_d=100):
    target = reference(references, CONFINED_UNSTEADY, re_d, quantity)
    value = record.get(quantity)
    return None if target is None or value is None else 100 * (value / target - 1)


def unsteady_convergence(records, cases):
    """St, mean C_D and the C_L amplitude on the standard and fine meshes,
    and the change between them, at each Re_D run on both."""
    header = ["Re_D"]
    for _, name in UNSTEADY_QUANTITIES:
        header += [f"{name}, standard", "fine", "change"]
    rows = []
    for re_d in sorted({re_d for re_d, m, _ in cases if (re_d, 1) in records and (re_d, 2) in records}):
        row = [re_d]
        for quantity, _ in UNSTEADY_QUANTITIES:
            standard, fine = records[re_d, 1][quantity], records[re_d, 2][quantity]
            row += [show(standard, ".4f" if quantity == "strouhal" else ".3f"),
                    show(fine, ".4f" if quantity == "strouhal" else ".3f"),
                    percent(fine, standard) if standard and fine else "—"]
        rows.append(row)
    return table(header, rows)


def reference_goals(record, references, limits, what):
    """Rows of goals: St, mean C_D and the C_L amplitude of a time-accurate
    record within their limits of the confined reference."""
    rows = []
    for (quantity, name), limit in zip(UNSTEADY_QUANTITIES, limits):
        error = None if record is None else unsteady_error(record, references, quantity)
        rows.append([f"{what}: {name} within {limit}% of the confined reference",
                     "no value" if error is None else f"{verdict(abs(error) <= limit)}: {signed(error)}"])
    return rows


def unsteady_goals(records, references, limits=(5, 5, 20), onset=40, speed=180, faces=None):
    """The goals of the time-accurate runs, each with its verdict; the face
    projection's against the confined reference too, when it ran."""
    fine = records.get((100, 2))
    rows = reference_goals(fine, references, limits, "Re_D = 100, fine mesh")
    if faces is not None:
        rows += reference_goals(faces, references, COURANT_GOALS["unsteady_reference"],
                                "Re_D = 100, fine mesh, `--projection=faces`")
    below = records.get((onset, 2))
    if below is not None:
        still = below["end_lift_amplitude"] < 1e-3 and below["strouhal"] is None
        rows.append([f"Re_D = {onset}, fine mesh: no shedding, the lift's half swing over the last second below 1e-3",
                     f"{verdict(still)}: {below['end_lift_amplitude']:.1e}" +
                     ("" if below["strouhal"] is None else f", St = {below['strouhal']:.4f}")])
    if fine is not None:
        rows.append([f"Re_D = 100, fine mesh, to T = 8 s in under {speed // 60} minutes",
                     f"{verdict(fine['seconds'] < speed)}: {fine['iterations']} iterations, {fine['seconds']:.0f} s "
                     "as the program measured it, two cases sharing the two cores"])
    return table(["goal", "result"], rows)


def onset_note(blocks, record, after=4, floor=1e-3):
    """How the lift decays when the Re_D = 40 run goes on: its half swing
    per second from the second ending at `after` on, the mean factor per
    second and, at that rate, when it would fall below `floor`."""
    swings = [(t, swing) for t, swing in (record or {}).get("swings", []) if t >= after]
    if len(swings) < 2 or swings[-1][1] <= 0 or swings[0][1] <= 0:
        return OMIT
    (t0, first), (t1, last) = swings[0], swings[-1]
    factor = (last / first) ** (1 / (t1 - t0))
    values = dict(flow_time=f"{t1:g}", swings=join_words(f"{swing:.1e}" for _, swing in swings[::2]),
                  every=f"{t0:g}", first=show_lift(first), last=show_lift(last), factor=f"{factor:.2f}")
    if factor >= 1:
        return fill(blocks, "onset-growing", **values)
    return fill(blocks, "onset-decaying", efold=f"{-1 / math.log(factor):.1f}",
                below=", and at that rate the swing would fall below 1e-3 at about "
                      f"{t1 + math.log(last / floor) / -math.log(factor):.0f} s" if last > floor else "",
                **values)


def unsteady_section(blocks, unsteady, references):
    """The time-accurate runs' section; unsteady: records {(Re_D, mesh):
    record}, cases ((Re_D, mesh, T), ...), picture and command_line."""
    if not unsteady:
        return OMIT
    records, cases = unsteady["records"], unsteady["cases"]
    fine, standard = records.get((100, 2)), records.get((100, 1))

    def errors(record):
        return join_words(f"{name} {show_error(unsteady_error(record, references, q))}"
                          for q, name in UNSTEADY_QUANTITIES)
    shedding = [re_d for re_d, m, _ in cases if m == 2 and records[re_d, m]["strouhal"] is not None]
    williamson = reference(references, WILLIAMSON, 100, "strouhal")
    below = records.get((40, 2))
    return "\n" + fill(
        blocks, "unsteady", command_line=unsteady["command_line"], picture=unsteady["picture"],
        reynolds_list=join_words(str(r) for r in sorted({c[0] for c in cases})),
        times=join_words(f"T = {t:g} s at Re_D = " + join_words(str(r) for r in sorted({c[0] for c in cases if c[2] == t}))
                         for t in sorted({c[2] for c in cases}, reverse=True)),
        table=unsteady_table(records, cases, references, unsteady.get("faces")), fine_errors=errors(fine),
        standard_errors=errors(standard),
        faces_note=fill(blocks, "unsteady-faces", faces_errors=errors(unsteady["faces"]))
        if unsteady.get("faces") else OMIT,
        williamson=show(williamson, ".3f"),
        fine_open=percent(fine["strouhal"], williamson) if fine["strouhal"] and williamson else "—",
        shedding=join_words(str(r) for r in sorted(shedding)) or "none",
        convergence_table=unsteady_convergence(records, cases),
        onset_amplitude="—" if below is None else f"{below['end_lift_amplitude']:.1e}",
        onset_note=onset_note(blocks, unsteady.get("onset_check")),
        goals_table=unsteady_goals(records, references, faces=unsteady.get("faces")))


def render(blocks, references, configurations, records, reynolds, setup, settle, run, pictures=None, unsteady=None,
           courant=None, grid=None):
    """The whole page. configurations: (key, title) pairs, the default first;
    records: {key: {(re_d, mesh): record}}; setup: the tunnel and cylinder;
    settle: the Re_D = 20 fine case stopped early, {"half": (iterations,
    C_D), "four_fifths": ...}; run: version, commit, machine and wall_note;
    pictures: {key: file name of the picture of its node classes};
    unsteady: the time-accurate runs (see unsteady_section), or None;
    courant: the runs against the Courant number (see courant_section), or
    None; grid: the grid studies (see grid_section), or None."""
    default = records[configurations[0][0]]
    first, top = reynolds[0], reynolds[-1]
    table_text, notes, high = convergence(default, reynolds, references)
    dc_20 = reference(references, DENNIS_CHANG, 20, "drag_coefficient")
    settle_case = default[20, 2]
    not_settled = sum(not settled(r) for r in default.values())
    lopsided = have_mask(default) and any(r["unmatched"] > 0 for r in default.values())
    lifts = [r["lift_coefficient"] for r in default.values()]
    all_records = [r for by_case in records.values() for r in by_case.values()]
    values = dict(
        run, **{k: setup[k] for k in ("height", "length", "diameter", "viscosity", "density", "rear_x",
                                      "max_iterations")},
        reynolds_list=join_words(str(r) for r in reynolds),
        mesh_table=mesh_table(default, first, setup["diameter"]),
        choose_note=choose_note(blocks, records, reynolds, references),
        steady_note=steady_note(blocks, configurations, records),
        open_sources=join_words(s for s in (DENNIS_CHANG, FORNBERG, COUTANCEAU_BOUARD) if s in references),
        confined_values=confined_values(references),
        configurations=configurations_note(blocks, configurations),
        drag_table=drag_table(default, reynolds, references),
        dc_ratio_fine=ratio_range(default, reynolds, references, DENNIS_CHANG, 2),
        dc_ratio_standard=ratio_range(default, reynolds, references, DENNIS_CHANG, 1),
        dc_ratio_coarse=ratio_range(default, reynolds, references, DENNIS_CHANG, 0),
        cd_20_standard=f"{default[20, 1]['drag_coefficient']:.3f}",
        cd_20_against_estimate=percent(default[20, 1]["drag_coefficient"], dc_20 * BLOCKAGE_ESTIMATE),
        dc_20=reference_text(references, DENNIS_CHANG, 20, "drag_coefficient"),
        blockage_percent=f"{100 * (BLOCKAGE_ESTIMATE - 1):.0f}",
        dc_20_raised=f"{dc_20 * BLOCKAGE_ESTIMATE:.3f}",
        confined_drag_note=confined_drag_note(blocks, default, reynolds, references),
        final_velocity_note=blocks["final-velocity"] if have_final(default) else OMIT,
        rows_fine=default[first, 2]["ny"], rows_standard=default[first, 1]["ny"],
        rows_coarse=default[first, 0]["ny"],
        wake_table=wake_table(default, reynolds, references),
        bubble_share_note=bubble_share(blocks, default, reynolds, references),
        negative_length_note=fill(blocks, "negative-length", rear_x=setup["rear_x"])
        if negative_length(default) else OMIT,
        spacing_ratios=f"{default[first, 0]['dx'] / default[first, 1]['dx']:.3f} and "
        f"{default[first, 1]['dx'] / default[first, 2]['dx']:.3f}",
        convergence_table=table_text, convergence_notes=convergence_notes(blocks, notes),
        high_order_note=high_order_note(blocks, default, high, first),
        changes_standard_fine=join_words(
            f"{percent(default[r, 2]['drag_coefficient'], default[r, 1]['drag_coefficient'])} at Re_D = {r}"
            for r in reynolds),
        changes_coarse_fine=join_words(
            percent(default[r, 2]["drag_coefficient"], default[r, 0]["drag_coefficient"]) for r in reynolds),
        options_section=options_section(blocks, configurations, records, reynolds, references, setup,
                                        pictures or {}),
        unsteady_section=unsteady_section(blocks, unsteady, references),
        courant_section=courant_section(blocks, courant, references),
        grid_section=grid_section(blocks, grid, references, setup),
        second_order_pointer=blocks["second-order-pointer"] if any(
            "--advection=second-order" in title for _, title in configurations) else OMIT,
        max_cd_change=f"{max_cd_change(default, reynolds, 1, 2):.1f}", top_re=top,
        top_lw_coarse=show_lw(default[top, 0]["lw"]), top_lw_standard=show_lw(default[top, 1]["lw"]),
        top_lw_fine=show_lw(default[top, 2]["lw"]),
        coarse_spacings=f"{setup['diameter'] / default[first, 0]['dx']:.1f}",
        lopsided_note=blocks["lopsided"] if lopsided else OMIT,
        mask_section=mask_section(blocks, default, first, setup),
        min_cl=f"{min(lifts):.4f}", max_cl=f"{max(lifts):.4f}",
        lopsided_pointer=" (the last\ncolumn of the table)." if have_mask(default) else ".",
        timing_table=timing_table(default, reynolds),
        settled_note=fill(blocks, "settled-not", count=not_settled) if not_settled else blocks["settled-all"],
        settle_iterations=settle_case["iterations"], settle_cd=f"{settle_case['drag_coefficient']:.4f}",
        half_iterations=settle["half"][0], half_cd=f"{settle['half'][1]:.4f}",
        four_fifths_iterations=settle["four_fifths"][0], four_fifths_cd=f"{settle['four_fifths'][1]:.4f}",
        last_fifth_change=percent(settle_case["drag_coefficient"], settle["four_fifths"][1]),
        drift_note=drift_note(settle_case["drag_coefficient"], settle["half"][1], settle["four_fifths"][1]),
        case_count=len(all_records), total_seconds=f"{sum(r['seconds'] for r in all_records):.1f}",
        per_iteration=per_iteration(default, reynolds))
    return drop_omitted(fill(blocks, "page", **values)) + "\n"


def change(value, base):
    """The change from base in per cent, to two places: the step's effect is
    a fraction of a per cent."""
    return "—" if value is None or not base else f"{round(100 * (value / base - 1), 2) + 0.0:+.2f}%"


def against(value, target, form):
    """A value and, when there is a reference, its distance from it."""
    if not isinstance(value, (int, float)):
        return show_lw(value)
    return format(value, form) + (f" ({percent(value, target)})" if target else "")


def courant_steady_table(courant, references):
    """C_D, L_w/D and iterations against the Courant number, steady, per
    configuration; C_D's change from the configuration's smallest number."""
    header = ["configuration", "Courant"]
    for re_d in courant["reynolds"]:
        header += [f"Re_D = {re_d}: iterations", "C_D", "change", "L_w/D"]
    header.append("largest magnitude of C_L")
    steps, rows = steady_steps(courant), []
    for key in courant["configurations"]:
        for c in steps[key]:
            row = [key, f"{c:g}"]
            for re_d in courant["reynolds"]:
                r, base = courant["steady"][key, re_d, c], courant["steady"][key, re_d, steps[key][0]]
                row += [r["iterations"], against(r["drag_coefficient"], reference(
                    references, CONFINED, re_d, "drag_coefficient"), ".4f"),
                    change(r["drag_coefficient"], base["drag_coefficient"]),
                    against(r["lw"], reference(references, CONFINED, re_d, "recirculation_length"), ".3f")]
            lift = max(abs(courant["steady"][key, re_d, c]["lift_coefficient"]) for re_d in courant["reynolds"])
            rows.append(row + [f"{lift:.0e}"])
    return table(header, rows)


def steady_steps(courant):
    """{configuration: its steady Courant numbers, smallest first}."""
    return {key: sorted({c for k, _, c in courant["steady"] if k == key}) for key in courant["configurations"]}


def unsteady_steps(courant, key):
    """A configuration's time-accurate Courant numbers, largest first."""
    return sorted((c for k, c in courant["unsteady"] if k == key), reverse=True)


def courant_unsteady_table(courant, references):
    """St, mean C_D, C_L amplitude and iterations against the Courant
    number, time-accurate, and their change from the largest number."""
    header = ["configuration", "Courant", "iterations", "St", "mean C_D", "C_L amplitude",
              "change of St, mean C_D, C_L amplitude", "wall seconds"]
    rows = []
    for key in courant["configurations"]:
        steps = unsteady_steps(courant, key)
        for c in steps:
            r, base = courant["unsteady"][key, c], courant["unsteady"][key, steps[0]]
            cells = [against(r[q], reference(references, CONFINED_UNSTEADY, 100, q), ".4f" if q == "strouhal" else
                             ".3f") if r[q] is not None else "—" for q, _ in UNSTEADY_QUANTITIES]
            changes = ", ".join(change(r[q], base[q]) for q, _ in UNSTEADY_QUANTITIES) if c != steps[0] else "—"
            rows.append([key, f"{c:g}", r["iterations"]] + cells + [changes, f"{r['seconds']:.0f}"])
    return table(header, rows)


def courant_goals(courant, references, goals=COURANT_GOALS, key=FACES, nodes=NODES):
    """The face projection's goals against the step, each with its verdict."""
    steady, steps = courant["steady"], steady_steps(courant)[key]
    low, high = goals["steady_span"]
    rows = []
    for re_d in courant["reynolds"]:
        a, b = (steady.get((key, re_d, c)) for c in (low, high))
        moved = None if a is None or b is None else 100 * (b["drag_coefficient"] / a["drag_coefficient"] - 1)
        rows.append([f"Re_D = {re_d}: C_D at Courant {low:g} and {high:g} within {goals['steady_change']:g}% of "
                     "each other", "no value" if moved is None else
                     f"{verdict(abs(moved) <= goals['steady_change'])}: {a['drag_coefficient']:.4f} and "
                     f"{b['drag_coefficient']:.4f}, {change(b['drag_coefficient'], a['drag_coefficient'])}"])
    for quantity, name, value_key, limit in (("drag_coefficient", "C_D", "drag_coefficient", GOALS[key]["drag"][2]),
                                             ("recirculation_length", "L_w/D", "lw", GOALS[key]["wake"][2])):
        errors = [(re_d, c, steady[key, re_d, c][value_key], reference(references, CONFINED, re_d, quantity))
                  for re_d in courant["reynolds"] for c in steps]
        errors = [(re_d, c, 100 * (v / t - 1) if isinstance(v, (int, float)) else None) for re_d, c, v, t in errors]
        met = all(e is not None and abs(e) <= limit for _, _, e in errors)
        rows.append([f"{name} within {limit}% of the confined reference at every Courant number above",
                     f"{verdict(met)}: " + "; ".join(
                         f"{join_words(show_error(e) for r, _, e in errors if r == re_d)} at Re_D = {re_d}"
                         for re_d in courant["reynolds"])])
    lift = max(abs(steady[key, re_d, c]["lift_coefficient"]) for re_d in courant["reynolds"] for c in steps)
    rows.append([f"largest magnitude of C_L at most {GOALS[key]['lift']:.0e}", f"{verdict(lift <= GOALS[key]['lift'])}: "
                 f"{lift:.1e}"])
    quick, slow = steady.get((key, 20, steps[-1])), steady.get((nodes, 20, low))
    if quick and slow:
        rows.append([f"Re_D = 20 at Courant {steps[-1]:g} in at most a third of the wall time of `{nodes}` at "
                     f"{low:g}", f"{verdict(quick['seconds'] <= slow['seconds'] / 3)}: {quick['seconds']:.2f} s "
                     f"against {slow['seconds']:.2f} s ({quick['seconds'] / slow['seconds']:.2f} of it), as the program "
                     "measured them, two cases sharing the two cores"])
    rows += unsteady_step_goals(courant, references, goals, key)
    return table(["goal", "result"], rows)


def unsteady_step_goals(courant, references, goals, key):
    steps = unsteady_steps(courant, key)
    if len(steps) < 2:
        return []
    first, last = (courant["unsteady"][key, c] for c in (steps[0], steps[-1]))
    moves = [(name, None if first[q] is None or last[q] is None else 100 * (last[q] / first[q] - 1))
             for q, name in UNSTEADY_QUANTITIES]
    met = all(m is not None and abs(m) <= goals["unsteady_change"] for _, m in moves)
    rows = [[f"Re_D = 100: St, mean C_D and C_L amplitude at Courant {steps[0]:g} and {steps[-1]:g} within "
             f"{goals['unsteady_change']:g}% of each other", f"{verdict(met)}: " + join_words(
                 f"{name} {'no value' if m is None else change(1 + m / 100, 1)}" for name, m in moves)]]
    for c in steps:
        rows += reference_goals(courant["unsteady"][key, c], references, goals["unsteady_reference"],
                                f"Re_D = 100 at Courant {c:g}")
    return rows


def courant_section(blocks, courant, references):
    """The answers against the Courant number; courant: the records of
    validate.read_courant, or None when the program has no --projection."""
    if not courant:
        return OMIT
    key, nodes = FACES, NODES
    steady = courant["steady"]
    steps = steady_steps(courant)
    moved = [f"{change(steady[k, re_d, steps[k][-1]]['drag_coefficient'], steady[k, re_d, steps[k][0]]['drag_coefficient'])}"
             for k in (nodes, key) for re_d in courant["reynolds"]]
    half = len(courant["reynolds"])
    return "\n" + fill(blocks, "courant", nodes=nodes, faces=key, reynolds=join_words(str(r) for r in courant["reynolds"]),
                       flow_time=f"{courant['flow_time']:g}",
                       steady_table=courant_steady_table(courant, references),
                       unsteady_table=courant_unsteady_table(courant, references),
                       nodes_span=f"{steps[nodes][0]:g} to {steps[nodes][-1]:g}",
                       faces_span=f"{steps[key][0]:g} to {steps[key][-1]:g}",
                       nodes_moved=join_words(moved[:half]), faces_moved=join_words(moved[half:]),
                       goals_table=courant_goals(courant, references))


def faces_note(blocks, configurations, records, reynolds, references):
    """The face projection beside the node projection, when the page has
    both."""
    if not all(key in records for key in (NODES, FACES)):
        return OMIT
    nodes, faces = records[NODES], records[FACES]
    errors = [e for _, e in fine_errors(faces, reynolds, references, "drag_coefficient") if e is not None]
    side = ("below" if errors and max(errors) < 0 else "above" if errors and min(errors) > 0 else "on both sides of")
    compared = [r for r, _ in fine_errors(faces, reynolds, references, "drag_coefficient")]
    return "\n" + fill(
        blocks, "faces", reynolds=join_words(str(r) for r in compared),
        faces_drag=errors_at(faces, reynolds, references, "drag_coefficient"),
        nodes_drag=errors_at(nodes, reynolds, references, "drag_coefficient"),
        faces_wake=errors_at(faces, reynolds, references, "recirculation_length"),
        nodes_wake=errors_at(nodes, reynolds, references, "recirculation_length"), side=side,
        faces_iterations=join_words(str(faces[r, 2]["iterations"]) for r in compared),
        nodes_iterations=join_words(str(nodes[r, 2]["iterations"]) for r in compared),
        faces_courant=show(faces[compared[0], 2].get("courant"), "g"),
        nodes_courant=show(nodes[compared[0], 2].get("courant"), "g"),
        faces_lift=f"{max(abs(r['lift_coefficient']) for r in faces.values()):.0e}",
        faces_standard_drag=join_words(show_error(e) for _, e in fine_errors(faces, reynolds, references,
                                                                              "drag_coefficient", 1)))


GRID_NAMES = {"drag_coefficient": "C_D", "lift_coefficient": "C_L", "strouhal": "St",
              "mean_drag_coefficient": "mean C_D", "lift_coefficient_amplitude": "C_L amplitude"}
# The names of the coefficients the table leaves out, for the goals' count.
GRID_OTHER_NAMES = {"drag_coefficient_chord": "C_D,c", "lift_coefficient_chord": "C_L,c"}
GRID_GOALS = dict(band=3.0, cost=1.6)


def grid_case(re_d, steady, flow_time):
    return f"Re_D = {re_d}" + ("" if steady else f", to T = {flow_time:g} s")


def grid_target(references, re_d, steady, name):
    return reference(references, CONFINED if steady else CONFINED_UNSTEADY, re_d, name)


def band_text(c):
    """The band as the console prints it, or why there is none."""
    if c["band_relative"] is None:
        return "no band: " + c["reason"]
    return f"± {100 * c['band_relative']:.2g}%"


def band_holds(c, target):
    """Whether the band holds the reference: True, False, or None (no band
    or no reference)."""
    if target is None or c["band_absolute"] is None:
        return None
    return abs(target - c["values"][0]) <= c["band_absolute"]


def inside_text(c, target):
    holds = band_holds(c, target)
    if holds is None:
        return "—"
    low, high = c["values"][0] - c["band_absolute"], c["values"][0] + c["band_absolute"]
    return f"{'yes' if holds else 'no'} ({low:.4g} to {high:.4g})"


def grid_studies(grid):
    """[(configuration, Re_D, steady, study)], steady first."""
    return [(key, re_d, steady, grid["studies"][key, re_d, steady]) for key in grid["configurations"]
            for re_d, steady in [(r, True) for r in grid["reynolds"]] + [(grid["unsteady_re"], False)]]


def grid_band_table(grid, references):
    header = ["configuration", "case", "coefficient", "on N₁, N₂, N₃ nodes across", "order", "extrapolated", "band",
              "confined reference", "inside the band"]
    rows = []
    for key, re_d, steady, study in grid_studies(grid):
        across = ", ".join(str(m["nodes_across"]) for m in study["meshes"])
        for name, c in study["coefficients"].items():
            if name not in GRID_NAMES:
                continue
            form = show_lift if name == "lift_coefficient" else (lambda v: show(v, ".4f"))
            target = grid_target(references, re_d, steady, name)
            rows.append([key, grid_case(re_d, steady, grid["flow_time"]), GRID_NAMES[name],
                         ", ".join(form(v) for v in c["values"]) + f" ({across})", show(c["order"], ".2f"),
                         show(c["extrapolated"], ".4f"), band_text(c), show(target, "g"), inside_text(c, target)])
    return table(header, rows)


def linear_fit(points):
    """The least-squares line y = a + b x through [(x, y)]: (a, b)."""
    n = len(points)
    mx, my = sum(x for x, _ in points) / n, sum(y for _, y in points) / n
    b = sum((x - mx) * (y - my) for x, y in points) / sum((x - mx) ** 2 for x, _ in points)
    return my - b * mx, b


def scatter_fits(grid, setup):
    """{(configuration, Re_D): (a, RMS of the residuals over a, in per cent)}
    of C_D = a + b h over the meshes of the scatter table."""
    fits = {}
    for key in grid["configurations"]:
        for re_d in grid["reynolds"]:
            points = [(setup["height"] / (n - 1), grid["scatter"][key, re_d, n]) for n in grid["across"]]
            a, b = linear_fit(points)
            rms = math.sqrt(sum((y - a - b * h) ** 2 for h, y in points) / len(points))
            fits[key, re_d] = (a, 100 * rms / a)
    return fits


def grid_scatter_table(grid, references, setup, fits):
    columns = [(key, re_d) for key in grid["configurations"] for re_d in grid["reynolds"]]
    header = ["nodes across", "D in node spacings"] + [f"{key}, Re_D = {re_d}" for key, re_d in columns]
    rows = [[n, f"{setup['diameter'] * (n - 1) / setup['height']:.1f}"] +
            [against(grid["scatter"][key, re_d, n], reference(references, CONFINED, re_d, "drag_coefficient"), ".4f")
             for key, re_d in columns] for n in grid["across"]]
    rows.append(["the line a + b h: a", ""] + [against(fits[c][0], reference(references, CONFINED, c[1],
                                                                                "drag_coefficient"), ".4f")
                                                 for c in columns])
    rows.append(["scatter about the line (RMS)", ""] + [f"{fits[c][1]:.1f}%" for c in columns])
    return table(header, rows)


def grid_cost_table(grid):
    header = ["configuration", "case", "nodes across", "D on each mesh, m", "Re_D on each", "seconds on each",
              "the study over its finest run"]
    rows = [[key, grid_case(re_d, steady, grid["flow_time"])] +
            [", ".join(format(m[k], form) for m in study["meshes"]) for k, form in (
                ("nodes_across", "d"), ("frontal_height", ".4f"), ("reynolds_frontal", ".2f"), ("seconds", ".1f"))] +
            [f"{study['cost_factor']:.2f}"] for key, re_d, steady, study in grid_studies(grid)]
    return table(header, rows)


def grid_goals(grid, references, goals=GRID_GOALS):
    rows = []
    studies = grid_studies(grid)
    for key, re_d, steady, study in studies:
        names = ["drag_coefficient"] if steady else ["strouhal"]
        for name in names:
            c = study["coefficients"][name]
            target = grid_target(references, re_d, steady, name)
            holds = band_holds(c, target)
            if steady:
                met = holds is True and 100 * c["band_relative"] <= goals["band"]
                goal = (f"{key}, Re_D = {re_d}: C_D's band at most {goals['band']:g}%, the confined reference "
                        f"{target:g} inside it")
            else:
                met = holds is True
                goal = f"{key}, Re_D = {re_d}: St's band beside {target:g}"
            rows.append([goal, f"{verdict(met)}: {band_text(c)}" + (f"; inside: {inside_text(c, target)}"
                                                                    if holds is not None else "")])
    lifts = [s["coefficients"]["lift_coefficient"] for _, _, steady, s in studies if steady]
    rows.append(["a symmetric body's C_L gives no band and says why",
                 f"{verdict(all(c['reason'] == 'near zero' for c in lifts))}: "
                 + join_words(sorted({band_text(c) for c in lifts}))])
    names = {**GRID_NAMES, **GRID_OTHER_NAMES}
    oscillating = [f"{names.get(name, name)} of `{key}` at {grid_case(re_d, steady, grid['flow_time'])}"
                   for key, re_d, steady, s in studies for name, c in s["coefficients"].items()
                   if c["reason"] == "oscillating"]
    rows.append(["a case with an oscillating sequence says so",
                 (f"**met**: {len(oscillating)} coefficients, the first {oscillating[0]}: no band, the reason "
                  "`oscillating` and the warning `grid_not_converging`") if oscillating else
                 "none of these cases oscillates"])
    costs = [s["cost_factor"] for *_, s in studies]
    rows.append([f"the study costs at most {goals['cost']:g} times its finest run",
                 f"{verdict(max(costs) <= goals['cost'])}: {min(costs):.2f} to {max(costs):.2f}"])
    return table(["goal", "result"], rows)


def grid_section(blocks, grid, references, setup):
    """The grid study beside the confined reference; grid: the records of
    validate.read_grid, or None when the program has no --grid-study."""
    if not grid:
        return OMIT
    fits = scatter_fits(grid, setup)
    finest = grid_studies(grid)[0][3]["meshes"]
    columns = [(key, re_d) for key in grid["configurations"] for re_d in grid["reynolds"]]
    changes = [100 * abs(v[0] / v[1] - 1) for *_, steady, study in grid_studies(grid) if steady
               for v in [study["coefficients"]["drag_coefficient"]["values"]]]
    amplitudes = [f"{', '.join(f'{v:.3f}' for v in study['coefficients']['lift_coefficient_amplitude']['values'])} "
                  f"with `{key}`" for key, _, steady, study in grid_studies(grid) if not steady]
    return "\n" + fill(
        blocks, "grid", reynolds=join_words(str(r) for r in grid["reynolds"]), unsteady_re=grid["unsteady_re"],
        flow_time=f"{grid['flow_time']:g}", configurations=join_words(f"`{k}`" for k in grid["configurations"]),
        meshes=", ".join(str(m["nodes_across"]) for m in finest),
        band_table=grid_band_table(grid, references), cost_table=grid_cost_table(grid),
        scatter_across=f"{grid['across'][0]} to {grid['across'][-1]}",
        scatter_table=grid_scatter_table(grid, references, setup, fits),
        scatter_range=f"{min(f[1] for f in fits.values()):.1f}% to {max(f[1] for f in fits.values()):.1f}%",
        study_changes=f"{min(changes):.1f}% to {max(changes):.1f}%", amplitudes=join_words(amplitudes),
        fit_errors=join_words(f"{percent(fits[c][0], reference(references, CONFINED, c[1], 'drag_coefficient'))} "
                              f"({c[0]}, Re_D = {c[1]})" for c in columns),
        goals_table=grid_goals(grid, references))


def template_path():
    return os.path.join(os.path.dirname(os.path.abspath(__file__)), "validation", "page.md")
