// An airfoil's polar from the finished runs of an angle sweep: the lift
// and drag coefficients against the angle of attack, lift against drag
// with the best lift-to-drag ratio marked (error bars where the runs have a
// grid study), and the table as CSV.

import { plot } from "./plot.js";
import { has_grid_study, mesh_text, options_in_force, program_options } from "./settings.js";
import { band_absolute, grid_of } from "./grid.js";

const coefficient_columns = ["lift_coefficient_chord", "drag_coefficient_chord", "lift_coefficient", "drag_coefficient"];
// Each row says how it was computed: the Reynolds numbers, the mesh and
// every option in force, so a table copied elsewhere keeps its method.
// A grid study's rows (grid_study "yes") hold each coefficient's band, its
// half-width in the coefficient's units, after the options.
const band_columns = coefficient_columns.map((name) => `${name}_band`);
const csv_columns = ["angle", ...coefficient_columns, "run", "reynolds_number", "reynolds_frontal", "mesh",
    ...program_options.map(({ name }) => name), "grid_study", ...band_columns];

// One row per finished run with an angle, by angle.
export function polar_rows(runs) {
    return runs.filter((r) => r.status === "done" && r.results && Number.isFinite(Number(r.airfoil?.angle)))
        .map((r) => ({
            ...Object.fromEntries(coefficient_columns.map((name) => [name, r.results[name]])),
            ...options_in_force(r),
            angle: r.airfoil.angle, run: r.id, reynolds_number: r.answers?.reynolds_number,
            reynolds_frontal: r.results.reynolds_frontal, mesh: mesh_text(r),
            grid_study: has_grid_study(r) ? "yes" : "",
            ...Object.fromEntries(coefficient_columns.map((name) => [`${name}_band`, band_or_null(r, name)])),
        }))
        .sort((a, b) => Number(a.angle) - Number(b.angle));
}

function band_or_null(record, name) {
    const band = band_absolute(grid_of(record), name);
    return Number.isFinite(band) ? band : null;
}

export function polar_csv(rows) {
    const cell = (value) => (value === null || value === undefined ? "" : String(value));
    return [csv_columns.join(","), ...rows.map((row) => csv_columns.map((name) => cell(row[name])).join(","))].join("\n") + "\n";
}

// basis: "c" for the coefficients on the chord, "D" for those on the
// frontal height.
export function render_polar(runs, basis) {
    const rows = polar_rows(runs);
    const [lift, drag, suffix] = basis === "c"
        ? ["lift_coefficient_chord", "drag_coefficient_chord", ",c"] : ["lift_coefficient", "drag_coefficient", ""];
    const points = rows.map((r) => ({ angle: Number(r.angle), cl: r[lift], cd: r[drag], dcl: r[`${lift}_band`] ?? NaN, dcd: r[`${drag}_band`] ?? NaN }))
        .filter((p) => Number.isFinite(p.cl) && Number.isFinite(p.cd));
    const colour = { lift: "#2471a3", drag: "#c0392b" };
    plot(document.getElementById("polar_lift"), {
        x_label: "α [°]", y_label: `C_L${suffix}`,
        series: [{ name: `C_L${suffix}`, colour: colour.lift, points: points.map((p) => [p.angle, p.cl, p.dcl]), markers: true }],
    });
    plot(document.getElementById("polar_drag"), {
        x_label: "α [°]", y_label: `C_D${suffix}`,
        series: [{ name: `C_D${suffix}`, colour: colour.drag, points: points.map((p) => [p.angle, p.cd, p.dcd]), markers: true }],
    });
    const best = points.filter((p) => p.cd > 0).reduce((a, p) => (!a || p.cl / p.cd > a.cl / a.cd ? p : a), null);
    plot(document.getElementById("polar_curve"), {
        x_label: `C_D${suffix}`, y_label: `C_L${suffix}`,
        series: [{ name: "polar", colour: "#7d3c98", points: points.map((p) => [p.cd, p.cl, p.dcl, p.dcd]), markers: true }],
        marks: best ? [{ x: best.cd, y: best.cl, label: `best L/D ${(best.cl / best.cd).toPrecision(3)} at ${best.angle}°` }] : [],
    });
    document.getElementById("polar_curve").dataset.bestAngle = best ? String(best.angle) : "";
    const link = document.getElementById("polar_csv");
    link.href = `data:text/csv;charset=utf-8,${encodeURIComponent(polar_csv(rows))}`;
    link.dataset.rows = String(rows.length);
}
