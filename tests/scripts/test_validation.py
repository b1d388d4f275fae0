"""scripts/validate.py and scripts/validation_page.py on small fake sets of
results: the page's tables and sentences, the wake measures, the cases it
runs.  python3 -m unittest discover -s tests/scripts  (scripts/ on PYTHONPATH)"""

import copy
import os
import struct
import subprocess
import sys
import tempfile
import unittest

import sweep
import validate
import validation_page as page

REYNOLDS = [5, 10, 20, 40]
BLOCKS = page.load_blocks(page.template_path())
REFERENCES = page.load_references(os.path.join(validate.ROOT, "docs", "validation-references.csv"))
SETTLE = {"half": (727, 2.6), "four_fifths": (1164, 2.55)}
RUN = dict(version="Veltaro - V3.0", commit="abc1234", machine="2 cores", wall_note="9 s of wall time",
           load_average="1.5")
DEFAULT = [("default", "default")]
ALL = DEFAULT + [("covered", "--solid-nodes=covered")]
EVERY_CONFIGURATION = [(label, validate.command_line(options)) for label, _, options in validate.CONFIGURATIONS]
# C_D per Re_D on the standard mesh; the coarse one is 0.4 / 2.4 of it lower
# and the fine one 0.1 / 2.4 higher, so that p = 2 at every Re_D.
STANDARD_CD = {5: 4.8, 10: 3.3, 20: 2.4, 40: 1.75}
WAKE = {5: ("none", "none", "none"), 10: ("none", "none", 0.06), 20: ("none", -0.03, 0.62), 40: (0.03, 0.87, 1.49)}


def fake_records(lift=0.1, unmatched=2):
    records = {}
    for re_d in REYNOLDS:
        for m in page.MESHES:
            nx = 50 * 2**m
            records[re_d, m] = dict(
                nx=nx, ny=nx // 2, dx=4 / (nx - 1), frontal_height=0.2,
                drag_coefficient=STANDARD_CD[re_d] * (1 + (-0.4, 0, 0.1)[m] / 2.4),
                lift_coefficient=lift * (-1) ** m, iterations=1000 * (m + 1), seconds=0.5 * 4**m,
                stop="settled", lw=WAKE[re_d][m], lw_final=WAKE[re_d][m], front=0.9, rear=1.1,
                reynolds_frontal=re_d * 0.99, flow_through=0.3 * (m + 1), steady_residual=3e-2,
                across=5 * 2**m, solid=20 * 4**m, unmatched=unmatched)
    return records


EVERY = [(re_d, m) for re_d in REYNOLDS for m in page.MESHES]
NO_VTK = dict(lw_final=None, solid=None, across=None, front=None, rear=None, unmatched=None)


def edited(records, changes):
    """The records with changes, each ((Re_D, mesh), {key: value})."""
    for key, values in changes:
        records[key].update(values)
    return records


def render(configurations=DEFAULT, records=None, pictures=None):
    records = records or {"default": fake_records(), "covered": fake_records(-2e-4, 0)}
    return page.render(BLOCKS, REFERENCES, configurations, records, REYNOLDS, validate.SETUP, SETTLE, RUN, pictures)


def render_every(outline_changes=()):
    """The page of every configuration, the outline rule's records changed."""
    records = {key: fake_records(-2e-4, 0) for key, _ in EVERY_CONFIGURATION}
    records["default"] = fake_records()
    edited(records["outline"], outline_changes)
    return render(EVERY_CONFIGURATION, records, {"outline": "nodes.svg"})


def fake_unsteady(changes=()):
    """Time-accurate records: shedding at Re_D 60 to 150, none at 40."""
    records = {}
    for re_d, m, _ in validate.UNSTEADY_CASES:
        shed = re_d > 40
        records[re_d, m] = dict(
            iterations=20000 * m, seconds=30.0 * m, stop="flow time", flow_time=8.0, inlet_velocity=re_d / 20,
            strouhal=(0.17 + 0.005 * m) if shed else None, strouhal_uncertainty=1e-4 if shed else None,
            cycles=20 if shed else None, mean_drag_coefficient=1.45 if shed else None,
            drag_coefficient_amplitude=0.011 if shed else None, lift_coefficient_amplitude=0.32 if shed else None,
            end_lift_amplitude=0.3 if shed else 2e-4)
    return edited(records, changes)


def render_unsteady(changes=(), decay=0.85):
    unsteady = dict(records=fake_unsteady(changes), cases=validate.UNSTEADY_CASES, picture="vorticity.png",
                    command_line=validate.command_line(validate.UNSTEADY),
                    onset_check=dict(swings=[(t, 0.2 * decay ** (t - 4)) for t in range(1, 17)]))
    return page.render(BLOCKS, REFERENCES, DEFAULT, {"default": fake_records()}, REYNOLDS, validate.SETUP, SETTLE,
                       RUN, None, unsteady)


def tables(text):
    """The page's tables as lists of rows of cells."""
    found, current = [], None
    for line in text.split("\n") + [""]:
        if line.startswith("|"):
            current = current or []
            current.append([cell.strip() for cell in line.strip("|").split("|")])
        elif current:
            found.append(current)
            current = None
    return found


class Page(unittest.TestCase):
    def test_default_tables_beside_the_references(self):
        text = render()
        rows = [  # a table row that must be on the page
            "| 20 | fine | 2.500 | 2.045 | 1.222 | 2.00 | 1.250 | 2.422 | 1.032 | 0.1000 | settled | 3000 | 0.90 | 3.0e-02 |",
            "| 5 | standard | 4.800 | 4.12 | 1.165 | — | — | — | — | -0.1000 | settled | 2000 | 0.60 | 3.0e-02 |",
            "| 20 | 0.62 | 0.62 | -0.03 | none | 0.93 | 0.667 | 0.93 | 0.667 |",
            "| 40 | 1.49 | 1.49 | 0.87 | 0.03 | 2.13 | 0.700 | 2.18 | 0.683 |",
            "| 20 | 2.000 | 2.400 | 2.500 | +0.400 | +0.100 | 2.00 | 2.533 | 1.239 | 1.046 |",
            "| 2, fine | 200 x 100 | 0.0201 m | 9.95 | 0.2000 m | -1.0% |",
            "| fine | 320 (77.8) | 20 | 0.9000 m | 1.1000 m | 2 |",
            "| 40 | 1000 | 0.50 | 2000 | 2.00 | 3000 | 8.00 |",
        ]
        for row in rows:
            with self.subTest(row=row):
                self.assertIn(row, text.split("\n"))
        self.assertEqual(len(tables(text)), 6)
        self.assertIn("C_D = 2.422 and L_w/D = 0.93 at Re_D = 20 and C_D = 1.792 and L_w/D = 2.18 at Re_D = 40, "
                      "C_L zero", text)
        self.assertIn("does not offer `--solid-nodes`", text)
        self.assertNotIn("## The options", text)

    def test_the_option_has_the_same_tables_and_a_comparison(self):
        text = render(ALL)
        # The default's six, the comparison, distance and endings, the
        # option's four and its goals.
        self.assertEqual(len(tables(text)), 6 + 3 + 4 + 1)
        self.assertIn("### --solid-nodes=covered", text.split("\n"))
        comparison = next(t for t in tables(text) if t[0][1] == "C_D, default")
        self.assertEqual(comparison[0][1:], ["C_D, default", "C_D, covered", "C_D, confined reference",
                                             "L_w/D, default", "L_w/D, covered", "L_w/D, confined reference"])
        self.assertEqual(comparison[4], ["20", "2.500", "2.500", "2.422", "0.62", "0.62", "0.93"])
        self.assertIn("| 20 | fine | 2.500 | 2.045 | 1.222 | 2.00 | 1.250 | 2.422 | 1.032 | -2.0e-04 | settled |",
                      text)
        against = next(t for t in tables(text) if t[0][0] == "configuration")
        self.assertEqual(against, [
            ["configuration", "C_D, Re_D = 20", "C_D, Re_D = 40", "L_w/D, Re_D = 20", "L_w/D, Re_D = 40",
             "largest magnitude of C_L"], ["---"] * 6,
            ["default", "+3.2%", "+1.7%", "-33.3%", "-31.7%", "1.0e-01"],
            ["covered", "+3.2%", "+1.7%", "-33.3%", "-31.7%", "2.0e-04"]])
        self.assertNotIn("--advection", text)

    def test_the_goals_follow_the_numbers(self):
        fine_cd = {re_d: STANDARD_CD[re_d] * (1 + 0.1 / 2.4) for re_d in REYNOLDS}
        scale_fine = [((re_d, 2), {"drag_coefficient": fine_cd[re_d] * 0.98}) for re_d in REYNOLDS]
        long_wake = [((20, 2), {"lw": 0.9}), ((40, 2), {"lw": 2.0})]
        no_wake = [(key, {"lw": "none"}) for key in EVERY]
        grown_wake = [((re_d, m), {"lw": length}) for re_d, lengths in ((10, (0.01, 0.03, 0.06)), (20, (0.1, 0.3, 0.62)))
                      for m, length in enumerate(lengths)]
        rows = [  # changes to the option's records, its goal, the verdict
            ([], "largest magnitude of C_L", "**met**: 2.0e-04 (the default: 1.0e-01)"),
            ([((40, 0), {"lift_coefficient": 1.5e-3})], "largest magnitude of C_L",
             "**not met**: 1.5e-03 (the default: 1.0e-01)"),
            ([], "C_D within 3%",
             "**not met**: +3.2% at Re_D = 20 and +1.7% at Re_D = 40 (the default: +3.2% and +1.7%)"),
            (scale_fine, "C_D within 3%",
             "**met**: +1.2% at Re_D = 20 and -0.3% at Re_D = 40 (the default: +3.2% and +1.7%)"),
            ([], "L_w/D within 10%",
             "**not met**: -33.3% at Re_D = 20 and -31.7% at Re_D = 40 (the default: -33.3% and -31.7%)"),
            (long_wake, "L_w/D within 10%",
             "**met**: -3.2% at Re_D = 20 and -8.3% at Re_D = 40 (the default: -33.3% and -31.7%)"),
            (no_wake, "L_w/D within 10%",
             "**not met**: no bubble at Re_D = 20 and no bubble at Re_D = 40 "
             "(the default: -33.3% and -31.7%)"),
            ([], "C_D moves one way", "**met**"),
            ([((20, 1), {"drag_coefficient": 1.9})], "C_D moves one way",
             "**not met**: 2.000, 1.900, 2.500 at Re_D = 20"),
            ([], "L_w/D moves one way",
             "**not met**: none, none, 0.06 at Re_D = 10; none, -0.03, 0.62 at Re_D = 20"),
            (grown_wake, "L_w/D moves one way", "**met**"),
            (no_wake, "L_w/D moves one way", "no bubble on any mesh"),
        ]
        for changes, goal, result in rows:
            with self.subTest(goal=goal, result=result):
                records = edited(fake_records(-2e-4, 0), changes)
                text = render(ALL, {"default": fake_records(), "covered": records})
                goals = next(t for t in tables(text) if t[0] == ["goal", "result"])
                self.assertEqual([row[1] for row in goals if row[0].startswith(goal)], [result])

    def test_a_drag_that_does_not_converge_is_explained(self):
        rows = [  # C_D of the option on the standard mesh at Re_D = 20, flow.vtk read, the explanation
            (2.4, True, None),
            (1.9, True, "5, 10 and 20 rows across a cylinder of 2.45, 4.95 and 9.95 node spacings"),
            (1.9, False, None),
        ]
        for standard, vtk, explained in rows:
            with self.subTest(standard=standard, vtk=vtk):
                records = edited(fake_records(-2e-4, 0), [((20, 1), {"drag_coefficient": standard})]
                                 + ([] if vtk else [(key, NO_VTK) for key in EVERY]))
                text = " ".join(render(ALL, {"default": fake_records(), "covered": records}).split("\n"))
                self.assertEqual("does not make the drag converge" in text, explained is not None)
                if explained:
                    self.assertIn(explained, text)

    def test_every_table_is_whole_and_every_value_filled(self):
        for text in (render(DEFAULT), render(ALL), render_every()):
            self.assertNotIn("$", text)
            self.assertNotIn(page.OMIT, text)
            for found in tables(text):
                self.assertEqual(found[1], ["---"] * len(found[0]))
                self.assertEqual({len(row) for row in found}, {len(found[0])})

    def test_every_configuration_has_its_goals_advice_and_picture(self):
        rows = [  # changes to the outline rule's records, a goal's verdict or a sentence on the page
            ([], "| C_D within 7% of the confined reference on the standard mesh | **met**: -0.9% at Re_D = 20 and "
                 "-2.3% at Re_D = 40 (the default: -0.9% and -2.3%) |"),
            ([], "| every case settles before the iteration limit, at every Re_D and mesh | **met**: in 1000 to "
                 "3000 iterations |"),
            ([((5, 0), {"stop": "iteration limit"})],
             "| every case settles before the iteration limit, at every Re_D and mesh | **not met**: not Re_D = 5 "
             "on the coarse mesh |"),
            ([], "| outline | 3000 | 0.90 | 3000 | 0.90 | 3.0e-02 | 0 |"),
            ([], "![Fluid, ghost and other solid nodes around the drawn circle](nodes.svg)"),
            ([], "## Which to choose"),
            ([], "it ran 3000 iterations, 0.90 flow-through times,"),
            ([((20, 2), {"lw": 0.9})], "the wake is -3.2% and -31.7% off the confined reference with the "
                                      "first-order advection and -33.3% and -31.7% with the second-order one"),
        ]
        for changes, line in rows:
            with self.subTest(line=line):
                text = render_every(changes)
                self.assertIn(line, " ".join(text.split("\n")))
        self.assertEqual(render_every().count("### What the"), 3)

    def test_sentences_follow_the_numbers(self):
        rows = [  # changes to the default's records, a sentence they bring, one they take away
            ([], "Every case settled before the iteration limit.", "did not settle"),
            ([((10, 1), {"stop": "iteration limit"})], "**1 case(s) did not settle**", "Every case settled"),
            ([((5, 2), {"drag_coefficient": 4.7})], "- Re_D = 5: not monotone", "The drag changes monotonically"),
            ([], "It is not even symmetric about the centreline", "Re_D = 5: not monotone"),
            ([(key, {"unmatched": 0}) for key in EVERY], "The lift of this symmetric body", "It is not even symmetric"),
            ([(key, NO_VTK) for key in EVERY], "The lift of this symmetric body", "from the final velocity"),
            ([], "and it was still falling when the run stopped.", "still rising"),
        ]
        for changes, present, absent in rows:
            with self.subTest(present=present):
                text = render(DEFAULT, {"default": edited(fake_records(), changes)})
                self.assertIn(present, text)
                self.assertNotIn(absent, text)

    def test_the_time_accurate_runs_beside_their_references(self):
        rows = [  # changes to the records, a line of the page
            ([], "| 100 | fine | 0.1800 ± 0.0001 | 1.450 | 0.0110 | 0.320 | 20 | 3.0e-01 | 40000 | 60 | flow time |"),
            ([], "| 100 | confined time-accurate reference | 0.178 | 1.492 | 0.012 | 0.371 | — | — | — | — | — |"),
            ([], "| 100 | 0.1750 | 0.1800 | +2.9% | 1.450 | 1.450 | +0.0% | 0.320 | 0.320 | +0.0% |"),
            ([], "| Re_D = 100, fine mesh: St within 5% of the confined reference | **met**: +1.1% |"),
            ([], "| Re_D = 100, fine mesh: C_L amplitude within 20% of the confined reference | **met**: -13.7% |"),
            ([((100, 2), {"strouhal": 0.16})], "St within 5% of the confined reference | **not met**: -10.1% |"),
            ([], "no shedding, the lift's half swing over the last second below 1e-3 | **met**: 2.0e-04 |"),
            ([((40, 2), {"end_lift_amplitude": 0.02})], "below 1e-3 | **not met**: 2.0e-02 |"),
            ([], "to T = 8 s in under 3 minutes | **met**: 40000 iterations, 60 s"),
            ([], "![Vorticity behind the cylinder at the end of the Re_D = 100 run on the fine mesh](vorticity.png)"),
        ]
        for changes, line in rows:
            with self.subTest(line=line):
                self.assertIn(line, render_unsteady(changes))
        text = " ".join(render_unsteady().split("\n"))
        self.assertIn("a factor 0.85 a second, an e-folding time of 6.2 s", text)
        self.assertIn("below 1e-3 at about 37 s", text)
        self.assertIn("so the flow sheds at Re_D = 40", " ".join(render_unsteady(decay=1.01).split("\n")))
        self.assertNotIn("## Time-accurate runs", render())

    def test_observed_order(self):
        rows = [  # C0, C1, C2, p, Richardson's estimate, note
            (2.0, 2.4, 2.5, 2.0, 2.5 + 0.1 / 3, None),
            (2.0, 2.4, 2.6, 1.0, 2.8, None),
            (2.0, 2.4, 2.4, None, None, "no change from the standard to the fine mesh"),
            (2.0, 2.4, 2.3, None, None, "not monotone: the change from the standard to the fine mesh has the other sign"),
            (2.0, 2.1, 2.3, -1.0, None, "diverging: the change grows as the mesh is refined"),
        ]
        for c0, c1, c2, p, estimate, note in rows:
            with self.subTest(meshes=(c0, c1, c2)):
                got = page.observed_order(c0, c1, c2)
                for value, expected in zip(got[:2], (p, estimate)):
                    if expected is None:
                        self.assertIsNone(value)
                    else:
                        self.assertAlmostEqual(value, expected)
                self.assertEqual(got[2], note)


class Wake(unittest.TestCase):
    def test_recirculation_length(self):
        # Nodes 0.1 m apart, the rear at 1.0 m, D = 0.2 m: a bubble must start
        # by 1.1 m, and its end is interpolated between nodes.
        ahead = [1.0] * 10
        rows = [  # u on the centreline from node 10 on, L_w/D
            ([1, -0.5, -0.5, 0.5, 1], 1.25),
            ([-1, -1, 0, 1, 1], 1.0),
            ([-0.2, 0.6, 1, 1, 1], 0.125),
            ([1, 1, -1, 1, 1], "none"),
            ([1, -1, -1, -1, -1], "none"),
            ([1, 1, 1, 1, 1], "none"),
        ]
        for tail, length in rows:
            with self.subTest(tail=tail):
                self.assertEqual(validate.recirculation_length(ahead + tail, 0.1, 10, 1.0, 0.2), length)

    def test_solid_nodes_measured_from_flow_vtk(self):
        # 11 x 4 nodes over 1 m: dx = 0.1; the cylinder centred at x = 0.5,
        # its rear at 0.6; the centreline between rows 1 and 2.
        nx, ny = 11, 4
        rows = [  # solid (i, j), solid nodes, across, front, rear, unmatched
            ({(4, 1), (5, 1), (4, 2), (5, 2)}, 4, 2, 0.4, 0.5, 0),
            ({(4, 1), (5, 1), (6, 1), (4, 2), (5, 2)}, 5, 2, 0.4, 0.6, 1),
            ({(5, 0), (5, 3)}, 2, 2, -0.1, -0.1, 0),
        ]
        for nodes, solid, across, front, rear, unmatched in rows:
            with self.subTest(nodes=sorted(nodes)):
                mask = [int((i, j) in nodes) for j in range(ny) for i in range(nx)]
                u_rows = [[1.0] * nx for _ in range(ny)]
                measured = validate.wake(u_rows, (nx, ny, mask, [0.0] * 3 * nx * ny), length=1.0,
                                         diameter=0.2, rear_x=0.6, centre_x=0.5)
                self.assertEqual((measured["solid"], measured["across"], measured["unmatched"]),
                                 (solid, across, unmatched))
                self.assertAlmostEqual(measured["front"], front)
                self.assertAlmostEqual(measured["rear"], rear)
                self.assertEqual(measured["lw_final"], "none")

    def test_the_largest_speed_ahead_of_the_body(self):
        # 4 x 2 nodes, rows from the bottom; the body's front is column 2.
        solid = [0, 0, 1, 0, 0, 0, 0, 1]
        velocity = [2, 0, 0, 0, 1.5, 0, 9, 9, 0, 9, 9, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 9, 9, 0]
        self.assertAlmostEqual(validate.speed_ahead((4, 2, solid, velocity), 2.0), 1.0)
        self.assertIsNone(validate.speed_ahead(None, 2.0))

    def test_vtk_blocks_are_read_big_endian(self):
        solid = [0, 1, 1, 0, 0, 1]
        data = (b"# vtk DataFile Version 3.0\nflow\nBINARY\nDATASET STRUCTURED_POINTS\nDIMENSIONS 3 2 1\n"
                b"VECTORS velocity float\n" + struct.pack(">18f", *range(18)) +
                b"\nSCALARS solid int 1\nLOOKUP_TABLE default\n" + struct.pack(">6i", *solid) + b"\n")
        with tempfile.NamedTemporaryFile(suffix=".vtk") as file:
            file.write(data)
            file.flush()
            self.assertEqual(validate.read_flow_vtk(file.name), (3, 2, tuple(solid), tuple(float(v) for v in range(18))))
            file.truncate(len(data) - 10)
            file.flush()
            self.assertIsNone(validate.read_flow_vtk(file.name)[2])


    def test_ghost_nodes_are_solid_nodes_beside_the_fluid(self):
        # 5 x 4 nodes, rows from the bottom; solid nodes on the tunnel's
        # boundary are never ghosts.
        solid = [0, 0, 1, 0, 0,
                 0, 1, 1, 1, 0,
                 0, 1, 1, 1, 0,
                 0, 0, 0, 0, 0]
        self.assertEqual(validate.node_classes(5, 4, solid), [[0, 0, 2, 0, 0], [0, 1, 2, 1, 0],
                                                              [0, 1, 1, 1, 0], [0, 0, 0, 0, 0]])
        solid[2] = 0  # now (2, 1) has a fluid neighbour below
        self.assertEqual(validate.node_classes(5, 4, solid)[1], [0, 1, 1, 1, 0])


class Cases(unittest.TestCase):
    def test_configurations_follow_the_programs_help(self):
        rows = [  # --help names, configurations offered
            ("Usage: veltaro [--help | --version]", ["default"]),
            ("  --solid-nodes=sampled|covered", ["default", "covered"]),
            # An advection option, while a program still has one, is not validated.
            ("  --solid-nodes=...\n  --advection=first-order|corrected", ["default", "covered"]),
            ("  --advection=first-order|corrected", ["default"]),
            ("  --solid-nodes=...\n  --stop-rule=...\n  --pressure-solver=...",
             ["default", "covered", "steady", "covered, steady", "outline"]),
        ]
        for help_text, labels in rows:
            with self.subTest(help=help_text):
                self.assertEqual([c[0] for c in validate.offered(validate.CONFIGURATIONS, help_text)], labels)

    def test_the_sweep_takes_the_cases_with_their_options(self):
        with tempfile.TemporaryDirectory() as folder:
            open(os.path.join(folder, "validation_cylinder.jpg"), "w").close()
            path = os.path.join(folder, "cases.csv")
            for configurations, columns in ((validate.CONFIGURATIONS[:1], 9), (validate.CONFIGURATIONS, 13)):
                with open(path, "w") as file:
                    file.write(validate.cases_csv(configurations, "validation_cylinder.jpg"))
                cases = sweep.read_cases(path)
                with open(path) as file:
                    self.assertEqual(len(file.readline().split(",")), columns)
                self.assertEqual(len(cases), 12 * len(configurations))
                self.assertEqual(cases[0].name, "re5_fine")
                self.assertEqual(cases[0].answers, ["50", "0.01", "1", "2", "4", "2", "200000"])
                options = {c.name: c.options for c in cases}
                self.assertEqual(options["re40_coarse"], [])
                if len(configurations) > 1:
                    self.assertEqual(options["covered_re40_coarse"], ["--solid-nodes=covered"])
                    self.assertEqual(options["outline_re40_coarse"],
                                     ["--solid-nodes=outline", "--stop-rule=steady", "--pressure-solver=fft"])

    def test_bad_arguments_are_refused_before_anything_runs(self):
        rows = [  # arguments after --workdir DIR, words of the message
            (["--frobnicate"], "unknown argument --frobnicate"),
            (["-j"], "-j needs a number of jobs"),
            (["--workdir"], "--workdir needs a folder"),
        ]
        with tempfile.TemporaryDirectory() as folder:
            workdir = os.path.join(folder, "work")
            for args, words in rows:
                with self.subTest(args=args):
                    result = subprocess.run([sys.executable, validate.__file__, "--workdir", workdir] + args,
                                            capture_output=True, text=True)
                    self.assertEqual(result.returncode, 2)
                    self.assertIn(words, result.stderr)
                    self.assertEqual(result.stdout, "")
                    self.assertFalse(os.path.exists(workdir))

    def test_the_plot_is_the_same_file_for_the_same_numbers(self):
        try:
            import matplotlib  # noqa: F401  (the plot's one dependency)
        except ImportError:
            self.skipTest("matplotlib is not installed for this python3 (scripts/setup-scripts.sh matplotlib)")
        records = {label: fake_records() for label, *_ in validate.CONFIGURATIONS}
        with tempfile.TemporaryDirectory() as folder:
            drawn = []
            for name in ("a.svg", "b.svg"):
                validate.plot(os.path.join(folder, name), validate.CONFIGURATIONS, copy.deepcopy(records), REFERENCES)
                with open(os.path.join(folder, name)) as file:
                    drawn.append(file.read())
            self.assertEqual(drawn[0], drawn[1])
            self.assertIn("confined reference", drawn[0])


if __name__ == "__main__":
    unittest.main()
