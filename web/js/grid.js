// The grid error: a run posted with grid_study runs on its mesh and on two
// coarser ones, and its summary's grid_study holds each coefficient's
// three values, the observed order p, Richardson's extrapolated value and
// the grid-convergence index of the finest mesh as a band,
//     GCI = 1.25 |f2 - f1| / |f1| / (r^p - 1),
// relative (band_relative) and in the coefficient's units (band_absolute).
// Here: the words and numbers the page shows of it, and the check before Run.

import { file_url } from "./api.js";
import { element } from "./format.js";

// The program's ratio between the meshes, and its smallest coarsest mesh.
const ratio = Math.SQRT2;
export const fewest_coarsest = 25;

// The coefficients the program studies, in the order the table shows them.
export const grid_labels = {
    drag_coefficient: "C_D", lift_coefficient: "C_L", drag_coefficient_chord: "C_D,c", lift_coefficient_chord: "C_L,c",
    strouhal: "St", mean_drag_coefficient: "mean C_D", lift_coefficient_amplitude: "C_L amplitude",
};

// ny - 2 has no prime factor above 7: the program's fast transform sizes.
function fast_transform_across(ny) {
    let length = ny - 2;
    if (length < 1) return false;
    for (const factor of [2, 3, 5, 7]) while (length % factor === 0) length /= factor;
    return length === 1;
}

// The fast size nearest `ideal`, the larger of two as near.
function nearest_fast(ideal) {
    let best = 0;
    for (let ny = 3; ny <= 2 * Math.trunc(ideal) + 3; ++ny) {
        if (fast_transform_across(ny) && Math.abs(ny - ideal) <= Math.abs(best - ideal)) best = ny;
    }
    return best;
}

// [N1, N2, N3]: the three meshes' nodes across, as the program sizes them:
// the fast sizes nearest N1 / r and N1 / r^2 = N1 / 2.
export function grid_meshes(across) {
    return [across, nearest_fast(across / ratio), nearest_fast(across / 2)];
}

// What the program would refuse of a grid study on a mesh of `across`
// nodes across: null when its coarsest mesh has enough.
export function grid_problem(across) {
    if (!(across > 0)) return null;
    const [, middle, coarsest] = grid_meshes(across);
    if (coarsest >= fewest_coarsest) return null;
    return `The grid error needs at least ${fewest_coarsest} nodes across on its coarsest mesh: ${across} across gives ${middle} and ${coarsest}; choose a finer mesh or at least ${2 * fewest_coarsest} nodes across, or untick grid error.`;
}

// A record's grid study (from its results or summary), or null.
export function grid_of(record) {
    const grid = record?.results?.grid_study ?? record?.summary?.grid_study;
    return grid && typeof grid === "object" ? grid : null;
}

function entry_of(grid, name) {
    return grid?.coefficients?.[name] ?? null;
}

// "0.6%": the relative band to two significant digits.
function percent(relative) {
    return `${Number((relative * 100).toPrecision(2))}%`;
}

// "± 0.6%", "no band: near zero", or "" where the run has no grid study or
// the study has no such coefficient.
export function band_text(grid, name) {
    const entry = entry_of(grid, name);
    if (!entry) return grid && grid.complete === false ? "no band: the grid study is incomplete" : "";
    if (Number.isFinite(entry.band_relative)) return `± ${percent(entry.band_relative)}`;
    return `no band: ${entry.reason || "none given"}`;
}

// The band's half-width in the coefficient's units, or NaN.
export function band_absolute(grid, name) {
    const band = entry_of(grid, name)?.band_absolute;
    return Number.isFinite(band) ? band : NaN;
}

// Five significant digits: enough to see the three meshes' values part.
function grid_number(value) {
    if (value === null || value === undefined || !Number.isFinite(value)) return "–";
    return Math.abs(value) >= 1e5 || (Math.abs(value) < 1e-3 && value !== 0) ? value.toExponential(4) : String(Number(value.toPrecision(5)));
}

// Links to a mesh's summary and console in its folder of the run's.
function mesh_files(id, folder) {
    const cell = element("td");
    if (!/^grid\/\d+-across$/.test(folder || "")) return cell;
    for (const [k, name] of ["summary.json", "console.txt"].entries()) {
        if (k) cell.append(" · ");
        cell.append(element("a", name, { href: file_url(id, `${folder}/${name}`), download: `${folder.replace("/", "-")}-${name}` }));
    }
    return cell;
}

function table_row(cells, header = false) {
    const line = element("tr");
    line.append(...cells.map((text, k) => element(header || k === 0 ? "th" : "td", text)));
    return line;
}

// The three meshes' table: a row per mesh (its nodes across and each
// coefficient's value on it), then the extrapolated values, the orders and
// the bands; and its caption, the cost and the ratio.
// id: the run's, for the links to each mesh's own files.
export function show_grid_table(grid, id) {
    const figure = document.getElementById("grid_figure");
    figure.hidden = !grid;
    if (!grid) return;
    const names = Object.keys(grid.coefficients || {}).filter((name) => name in grid_labels);
    const head = document.querySelector("#grid_table thead");
    head.replaceChildren(table_row(["Mesh", "nodes across", ...names.map((name) => grid_labels[name]), "files"], true));
    const meshes = grid.meshes || [];
    const rows = meshes.map((mesh, k) => {
        const line = table_row([`${k + 1}${k === 0 ? " (finest: these results)" : ""}`, String(mesh.nodes_across ?? "–"),
            ...names.map((name) => grid_number(grid.coefficients[name].values?.[k]))]);
        line.append(mesh_files(id, mesh.folder));
        return line;
    });
    const row_of = (label, get) => table_row([label, "", ...names.map((name) => get(grid.coefficients[name]))]);
    rows.push(row_of("extrapolated", (entry) => grid_number(entry.extrapolated)),
        row_of("order p", (entry) => (Number.isFinite(entry.order) ? String(Number(entry.order.toPrecision(2))) : "–")),
        row_of("band", (entry) => (Number.isFinite(entry.band_relative) ? `± ${percent(entry.band_relative)}` : `none: ${entry.reason || "–"}`)));
    rows.forEach((line, k) => { line.dataset.row = k < meshes.length ? `mesh ${k + 1}` : ["extrapolated", "order", "band"][k - meshes.length]; });
    document.querySelector("#grid_table tbody").replaceChildren(...rows);
    const cost = Number.isFinite(grid.cost_factor) ? ` The three runs took ${Number(grid.cost_factor.toPrecision(3))} times the finest's time.` : "";
    document.getElementById("grid_caption").textContent = grid.complete === false
        ? "The grid study stopped: a coarser run failed (the warnings above say which), so no coefficient has a band; the results are the finest mesh's."
        : `The grid study: each coefficient on the three meshes (ratio ${Number((grid.ratio ?? ratio).toPrecision(4))}), Richardson's extrapolation, the observed order p and the finest mesh's grid-convergence index as the band (safety factor 1.25); no band where the three do not converge monotonically, p falls outside 0.5–4 or the value is near zero.${cost} Each mesh's complete results are in the run's folder grid/<N>-across/.`;
}
