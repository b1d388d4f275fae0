// The results of a finished run: warnings first, then the numbers, the four
// field views drawn from flow.vtk with their colour bar, a probe that reads
// flow.vtk under the pointer, and links to every file.

import { archive_url, file_url, get_file } from "./api.js";
import { draw_colour_bar, draw_field } from "./field_view.js";
import { element, format_e, format_seconds, format_value } from "./format.js";
import { at_node, parse_vtk, range_of } from "./vtk.js";
import { hide_animation, init_animation, show_animation } from "./animation.js";
import { band_text, show_grid_table } from "./grid.js";

const pictures = {
    speed: { values: "speed", unit: "m/s" },
    pressure: { values: "p", unit: "Pa" },
    u: { values: "u", unit: "m/s" },
    v: { values: "v", unit: "m/s" },
};

const steady_residual_limit = 1e-4;  // the steady rule's, in U^2/c

const result_files = [
    "summary.json", "console.txt", "convergence.txt", "residual.txt", "convergence.svg", "flow.vtk",
    "U.dat", "V.dat", "P.dat", "velocity.jpg", "pressure.jpg", "U.jpg", "V.jpg", "answers.txt",
];

// One state object for the view: the run shown, its parsed flow.vtk and the
// tab chosen.
const view = { id: null, flow: null, ranges: {}, tab: "speed" };

function set_text(id, text) {
    document.getElementById(id).textContent = text;
}

// The program's warnings start in lower case, after its "Warning: ".
export function show_warnings(list, warnings) {
    const sentence = (text) => text.charAt(0).toUpperCase() + text.slice(1);
    list.replaceChildren(...(warnings || []).map((w) => element("li", sentence(w.message || ""), { "data-code": w.code || "" })));
}

function show_numbers(summary, mesh, id) {
    const time_accurate = summary.unsteady != null;
    for (const item of document.querySelectorAll("#numbers .time-accurate, #numbers .instant")) item.hidden = !time_accurate;
    set_text("lift", `${format_e(summary.lift)} N/m`);
    set_text("drag", `${format_e(summary.drag)} N/m`);
    set_text("frontal_height", summary.frontal_height != null ? `${format_e(summary.frontal_height)} m` : "no obstacle");
    set_text("reynolds_frontal", summary.reynolds_frontal != null ? format_e(summary.reynolds_frontal) : "–");
    for (const name of ["lift_coefficient", "drag_coefficient", "lift_coefficient_chord", "drag_coefficient_chord",
        "mean_drag_coefficient", "drag_coefficient_amplitude", "lift_coefficient_amplitude"]) set_text(name, format_e(summary[name]));
    set_text("chord", summary.chord != null ? `${format_e(summary.chord)} m` : "–");
    set_text("strouhal", strouhal_text(summary));
    set_text("strouhal_band", time_accurate ? strouhal_band(mesh) : "");
    set_text("iterations", String(summary.iterations ?? "–"));
    set_text("stop", stop_text(summary));
    set_text("steady_residual", summary.steady_residual != null ? `${format_e(summary.steady_residual)} U²/c` : "–");
    set_text("seconds", format_seconds(summary.seconds));
    show_bands(summary.grid_study ?? null, time_accurate, id);
}

// The coefficients a grid study measures, by the kind of run.
const studied = {
    steady: ["drag_coefficient", "lift_coefficient", "drag_coefficient_chord", "lift_coefficient_chord"],
    time_accurate: ["strouhal", "mean_drag_coefficient", "lift_coefficient_amplitude"],
};

// "± 0.6%" (or "no band: near zero") beside each coefficient the grid
// study measured; nothing beside any without one.
function show_bands(grid, time_accurate, id) {
    for (const name of studied[time_accurate ? "time_accurate" : "steady"]) {
        const cell = document.getElementById(name);
        const text = band_text(grid, name);
        if (!cell || !text) continue;
        cell.append(" ", element("span", text, { class: "grid-band", "data-coefficient": name, title: "The grid study's error band: the grid-convergence index of this, the finest, mesh" }));
    }
    show_grid_table(grid, id);
}

// The steady rule stops below its limit of R, or at the single-precision
// floor above it (docs/method.md, section 9): which one, in words.
export function stop_text(summary) {
    const stops = { "flow time": "at the flow time", settled: "settled", "iteration limit": "at the iteration limit", "at rest": "the flow is at rest" };
    const r = summary.steady_residual;
    if (summary.stop !== "steady") return stops[summary.stop] || summary.stop || "–";
    if (!(r >= steady_residual_limit)) return `steady (R ${short_e(r)}, below 1e-4)`;
    return `steady (at the single-precision floor, R ${short_e(r)})`;
}

// "4.9e-4": two digits, as the stop rule's words need.
function short_e(value) {
    return Number.isFinite(value) ? value.toExponential(1).replace("e+", "e") : "–";
}

// "0.178 (± 0.002: half the spread of its 10 cycles' periods)"; a steady
// run has none, a time-accurate run without enough cycles says so.
function strouhal_text(summary) {
    if (summary.unsteady == null) return "– (steady run)";
    if (summary.strouhal == null) return `none measured (${summary.cycles ?? 0} cycles)`;
    const spread = Number((summary.strouhal_uncertainty ?? 0).toPrecision(2));
    return `${Number(summary.strouhal.toPrecision(3))} (± ${spread}: half the spread of its ${summary.cycles} cycles' periods, not its accuracy)`;
}

// How far St moves with the mesh, from the validation page's grid study of
// the cylinder (docs/validation.md, "The vortex street"), the mesh of 200
// across among them.
const strouhal_bands = {
    0: "The validation's grid study has no coarse-mesh runs: with a body a few node spacings across, expect St far from the converged one.",
    1: "On the validation cylinder at Re_D 60 to 150, St rose by 18% to 46% from the standard mesh to the fine one: read this St as well below the converged one.",
    2: "On the validation cylinder at Re_D 100, the fine mesh's St is 3.7% below the confined reference and moves 4% on a mesh twice as fine.",
    "200 across": "On the validation cylinder at Re_D 100, the mesh of 200 across (D = 20 spacings) gives St 0.2% above the confined reference.",
};

// mesh: the mesh answer, or "N across" for a mesh sized by nodes across.
function strouhal_band(mesh) {
    return strouhal_bands[mesh] || "The validation's grid study covers the named meshes and 200 across only.";
}

function show_links(id, picture_name, summary) {
    const time_accurate = summary.unsteady != null ? ["forces.csv", ...(summary.frames > 0 ? ["vorticity.webp"] : [])] : [];
    const names = [...result_files, ...time_accurate, ...(picture_name ? [picture_name] : [])];
    const links = names.map((name) => element("a", name, { href: file_url(id, name), download: name }));
    links.push(element("a", "all as .zip", { href: archive_url(id), download: `${id}.zip` }));
    document.getElementById("file_links").replaceChildren(...links.flatMap((a, k) => (k ? [" · ", a] : [a])));
}

function speeds(flow) {
    return flow.u.map((u, k) => Math.fround(Math.sqrt(Math.fround(u * u + flow.v[k] * flow.v[k]))));
}

// The colour bar spans each field's smallest and largest node value, as the
// program's pictures' colour scale does.
function show_tab(tab) {
    view.tab = tab;
    for (const button of document.querySelectorAll("#results-panel [role=tab]")) {
        const chosen = button.dataset.field === tab;
        button.setAttribute("aria-selected", String(chosen));
        button.tabIndex = chosen ? 0 : -1;
    }
    const picture = pictures[tab];
    const range = view.ranges[tab];
    set_text("bar_min", range ? `${format_value(range[0])} ${picture.unit}` : "");
    set_text("bar_max", range ? `${format_value(range[1])} ${picture.unit}` : "");
    const canvas = document.getElementById("result_picture");
    const flow = view.flow;
    if (!flow) return;
    canvas.style.aspectRatio = `${(flow.nx - 1) * flow.dx} / ${(flow.ny - 1) * flow.dy}`;
    draw_field(canvas, flow, flow[picture.values], range, tab === "speed");
    canvas.dataset.field = tab;
}

// Arrow keys, Home and End move between the tabs, as in any tab list.
function tab_key(event) {
    const tabs = [...document.querySelectorAll("#results-panel [role=tab]")];
    const at = tabs.indexOf(event.target);
    const moves = { ArrowRight: at + 1, ArrowLeft: at - 1 + tabs.length, Home: 0, End: tabs.length - 1 };
    if (at < 0 || !(event.key in moves)) return;
    event.preventDefault();
    const next = tabs[moves[event.key] % tabs.length];
    next.focus();
    show_tab(next.dataset.field);
}

// The node nearest the pointer: the picture spans the grid, inlet to
// outlet and bottom wall to top wall.
function probe(event) {
    const flow = view.flow;
    if (!flow) return;
    const image = event.currentTarget;
    const fx = Math.min(1, Math.max(0, event.offsetX / image.clientWidth));
    const fy = Math.min(1, Math.max(0, event.offsetY / image.clientHeight));
    const i = Math.round(fx * (flow.nx - 1));
    const j = Math.round((1 - fy) * (flow.ny - 1));
    const u = at_node(flow, flow.u, i, j);
    const v = at_node(flow, flow.v, i, j);
    const text = `node (${i}, ${j}): x = ${format_e(i * flow.dx)} m, y = ${format_e(j * flow.dy)} m, ` +
        `u = ${format_e(u)} m/s, v = ${format_e(v)} m/s, speed = ${format_e(Math.hypot(u, v))} m/s, ` +
        `p = ${format_e(at_node(flow, flow.p, i, j))} Pa` + (flow.solid && at_node(flow, flow.solid, i, j) ? " (solid)" : "");
    const readout = document.getElementById("probe");
    readout.textContent = text;
    readout.dataset.node = `${i},${j}`;
}

async function load_flow(id) {
    try {
        const flow = parse_vtk(await (await get_file(id, "flow.vtk")).arrayBuffer());
        if (view.id !== id) return;
        flow.speed = speeds(flow);
        view.flow = flow;
        view.ranges = { u: range_of(flow.u), v: range_of(flow.v), pressure: range_of(flow.p), speed: range_of(flow.speed) };
        show_tab(view.tab);
    } catch (error) {
        set_text("probe", `The flow could not be read from flow.vtk: ${error.message}`);
    }
}

export function init_results() {
    for (const button of document.querySelectorAll("#results-panel [role=tab]")) {
        button.addEventListener("click", () => show_tab(button.dataset.field));
    }
    document.querySelector("#results-panel [role=tablist]").addEventListener("keydown", tab_key);
    document.getElementById("result_picture").addEventListener("pointermove", probe);
    draw_colour_bar(document.getElementById("colour_bar"));
    init_animation();
    new ResizeObserver(() => { if (view.flow) show_tab(view.tab); }).observe(document.getElementById("result_picture"));
}

export function hide_results() {
    view.id = null;
    view.flow = null;
    hide_animation();
    document.getElementById("results-panel").hidden = true;
}

// record: the server's record of a done run, with its summary.
export function show_results(record) {
    const summary = record.summary || {};
    const panel = document.getElementById("results-panel");
    panel.hidden = false;
    view.id = record.id;
    view.flow = null;
    view.ranges = {};
    show_warnings(document.getElementById("warnings"), summary.warnings || record.warnings);
    const across = record.options?.nodes_across;
    show_numbers(summary, across ? `${across} across` : Number(record.answers?.mesh_choice), record.id);
    show_links(record.id, record.picture, summary);
    show_animation(record.id, summary.frames);
    set_text("probe", "Move the pointer over the picture to read the flow there.");
    show_tab(view.tab);
    load_flow(record.id);
}
