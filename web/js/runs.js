// The run store as a table (kept current by the store-wide event stream),
// side-by-side comparison of ticked runs, and the sweeps' plots: a
// Reynolds sweep's coefficients against Re_D, an angle sweep's polar. Every
// run shows its settings; the coefficients are on D or on c, as chosen, or
// by shape: on c for a drawn airfoil, on D otherwise. A time-accurate run
// shows its mean drag, its amplitudes and St, not its last step's forces.

import { file_url, is_final } from "./api.js";
import { asks_again, element, format_date, format_e } from "./format.js";
import { plot } from "./plot.js";
import { render_polar } from "./polar.js";
import { stop_text } from "./results.js";
import { airfoil_text, is_unsteady, mesh_text, settings_rows, settings_text } from "./settings.js";
import { band_absolute, band_text, grid_of } from "./grid.js";

const basis_key = "veltaro.basis";

// One state object for the view.
const view = { runs: [], rows: new Map(), ticked: new Set(), sweep: "", wanted: "", actions: null, basis: "auto" };

// "D" or "c": the basis the coefficients of runs are shown on, by the
// choice or, by shape, c when every one of them is a drawn airfoil.
function basis_of(runs) {
    if (view.basis !== "auto") return view.basis;
    return runs.length > 0 && runs.every((r) => r.airfoil) ? "c" : "D";
}

// The summary's names of the coefficients on a basis, and their labels.
function coefficients(basis) {
    return basis === "c"
        ? { drag: "drag_coefficient_chord", lift: "lift_coefficient_chord", drag_label: "C_D,c", lift_label: "C_L,c", on: "on c" }
        : { drag: "drag_coefficient", lift: "lift_coefficient", drag_label: "C_D", lift_label: "C_L", on: "on D" };
}

// A time-accurate run's measure on the basis: the summary's are on D, and
// on c they are the same forces over c instead of D.
function on_basis(record, name, basis) {
    const value = result_of(record, name);
    if (basis === "D" || value == null) return value;
    return (value * result_of(record, "frontal_height")) / result_of(record, "chord");
}

// The drag and lift cells: C_D and C_L, or, for a time-accurate run, the
// mean C_D with its amplitude and the C_L amplitude with St.
function coefficient_cells(record) {
    const basis = basis_of([record]);
    const { drag, lift, on } = coefficients(basis);
    // By shape, each cell says which basis it is on.
    const cell = (text) => {
        const item = element("span", text);
        if (view.basis === "auto") item.append(element("span", ` ${on}`, { class: "basis" }));
        return item;
    };
    if (!is_unsteady(record) || result_of(record, "mean_drag_coefficient") == null) {
        return [cell(with_band(record, drag)), cell(with_band(record, lift))];
    }
    const short = (value) => Number(value.toPrecision(3));
    const strouhal = result_of(record, "strouhal");
    return [cell(`mean ${short(on_basis(record, "mean_drag_coefficient", basis))} ± ${short(on_basis(record, "drag_coefficient_amplitude", basis))}`),
        cell(`± ${short(on_basis(record, "lift_coefficient_amplitude", basis))}, St ${short(strouhal)}`)];
}

// A record carries the answers as posted (strings) and its summary's
// results once there is one.
function answer_of(record, name) {
    return record.answers?.[name];
}

function result_of(record, name) {
    return record.results?.[name] ?? record.summary?.[name];
}

// "2.428000e+00 ± 0.6%": the value, and its grid study's band where it has one.
function with_band(record, name) {
    const band = band_text(grid_of(record), name);
    return band ? `${format_e(result_of(record, name))} ${band}` : format_e(result_of(record, name));
}

// [x, y, band]: a plot's point with its error bar where the run has one.
function point_of(record, x, name) {
    return [x, result_of(record, name), band_absolute(grid_of(record), name)];
}

function button(text, handler, title = "", label = "") {
    const item = element("button", text, { type: "button", title, "aria-label": label || text });
    item.addEventListener("click", handler);
    return item;
}

// A button that asks again before it acts: the first click only changes
// its label for a few seconds.
function confirmed_button(text, question, handler, title, label) {
    return asks_again(element("button", text, { type: "button", title, "aria-label": label }), question, handler);
}

function status_text(record) {
    if (record.status === "queued" && record.queue_position != null) return `queued (place ${record.queue_position})`;
    return record.status;
}

function row(record) {
    const tick = element("input", "", { type: "checkbox", "aria-label": `compare run ${record.id}` });
    tick.checked = view.ticked.has(record.id);
    tick.addEventListener("change", () => {
        if (tick.checked) view.ticked.add(record.id);
        else view.ticked.delete(record.id);
        render_comparison();
    });
    const picture = record.picture;
    const thumbnail = picture ? element("img", "", { src: file_url(record.id, picture), alt: "", class: "thumbnail", loading: "lazy" }) : placeholder();
    // A picture the browser cannot show gets words, not a broken image.
    thumbnail.addEventListener("error", () => thumbnail.replaceWith(placeholder()));
    const cells = [
        tick, thumbnail, element("span", status_text(record), { class: `state ${record.status}` }),
        element("span", String(answer_of(record, "reynolds_number") ?? "–")),
        element("span", mesh_text(record)),
        element("span", settings_text(record), { class: "options" }),
        ...coefficient_cells(record),
        element("span", record.sweep || ""),
        element("span", format_date(record.created)),
    ];
    const actions = element("span", "", { class: "row-actions" });
    actions.append(
        button("Open", () => view.actions.open(record), "Show this run's progress and results, and load its picture and answers", `Open run ${record.id}`),
        button("Re-run", () => view.actions.rerun(record), "Load its picture and answers into the form", `Re-run run ${record.id}`),
        is_final(record.status)
            ? confirmed_button("Delete", "Really delete?", () => view.actions.remove(record), "Delete this run and its files", `Delete run ${record.id}`)
            : confirmed_button("Cancel", "Really cancel?", () => view.actions.remove(record), "Cancel this run", `Cancel run ${record.id}`),
    );
    cells.push(actions);
    const line = element("tr", "", { "data-id": record.id });
    line.append(...cells.map((cell) => {
        const td = element("td");
        td.append(cell);
        return td;
    }));
    return line;
}

function placeholder() {
    return element("span", "no picture", { class: "placeholder thumbnail" });
}

function render_comparison() {
    const box = document.getElementById("comparison");
    const chosen = view.runs.filter((r) => view.ticked.has(r.id));
    box.hidden = chosen.length < 2;
    if (box.hidden) return box.replaceChildren();
    const keys = [["Re", (r) => answer_of(r, "reynolds_number")], ["Re_D", (r) => format_e(result_of(r, "reynolds_frontal"))],
        ["C_D", (r) => with_band(r, "drag_coefficient")], ["C_L", (r) => with_band(r, "lift_coefficient")],
        ["C_D,c", (r) => with_band(r, "drag_coefficient_chord")], ["C_L,c", (r) => with_band(r, "lift_coefficient_chord")],
        ["Mean C_D", (r) => with_band(r, "mean_drag_coefficient")],
        ["C_D amplitude", (r) => format_e(result_of(r, "drag_coefficient_amplitude"))],
        ["C_L amplitude", (r) => with_band(r, "lift_coefficient_amplitude")],
        ["St", (r) => with_band(r, "strouhal")],
        ["Mesh", mesh_text],
        ["Iterations", (r) => r.iterations], ["Stopped", (r) => (r.results ? stop_text(r.results) : "–")],
        ["R [U²/c]", (r) => format_e(result_of(r, "steady_residual"))], ["Status", (r) => r.status]];
    box.replaceChildren(...chosen.map((record) => {
        const card = element("figure", "", { class: "compare-card" });
        if (record.status === "done") card.append(element("img", "", { src: file_url(record.id, "velocity.jpg"), alt: `speed of run ${record.id}` }));
        const table = element("table");
        const rows = keys.map(([name, get]) => [name, get(record)]);
        // A steady run has no time-accurate measures to compare.
        if (!chosen.some(is_unsteady)) rows.splice(6, 4);
        rows.splice(rows.findIndex(([name]) => name === "Mesh") + 1, 0, ...settings_rows(record));
        for (const [name, value] of rows) {
            const line = element("tr");
            line.append(element("th", name), element("td", String(value ?? "–")));
            table.append(line);
        }
        card.append(element("figcaption", `Run ${record.id}`), table);
        return card;
    }));
}

function sweeps() {
    return [...new Set(view.runs.map((r) => r.sweep).filter(Boolean))];
}

// The settings the sweep's runs share, for its caption.
function shared_settings(runs) {
    const texts = [...new Set(runs.map((r) => settings_text(r).replace(/; NACA.*$/, "")))];
    return texts.length === 1 ? texts[0] : "mixed settings";
}

function is_angle_sweep(runs) {
    return runs.length > 0 && runs.every((r) => r.airfoil?.angle !== undefined) &&
        new Set(runs.map((r) => r.airfoil.angle)).size > 1;
}

// A sweep of time-accurate runs: the Strouhal number against Re_D, with the
// uncertainty of each in its caption.
function render_strouhal_sweep(runs) {
    const done = runs.filter((r) => r.status === "done" && Number.isFinite(result_of(r, "reynolds_frontal")) && Number.isFinite(result_of(r, "strouhal")))
        .sort((a, b) => result_of(a, "reynolds_frontal") - result_of(b, "reynolds_frontal"));
    plot(document.getElementById("sweep_plot"), {
        x_label: "Re_D", y_label: "St = f D/U",
        series: [{ name: "St", colour: "#7d3c98", markers: true, points: done.map((r) => point_of(r, result_of(r, "reynolds_frontal"), "strouhal")) }],
    });
    const spread = done.map((r) => `${Number(result_of(r, "strouhal").toPrecision(3))} ± ${Number((result_of(r, "strouhal_uncertainty") ?? 0).toPrecision(2))}`);
    document.getElementById("sweep_caption").textContent =
        `St against Re_D for the chosen sweep of unsteady runs (${spread.join(", ") || "none measured yet"}); ${shared_settings(runs)}.`;
}

function render_reynolds_sweep(runs) {
    if (runs.length > 0 && runs.every(is_unsteady)) return render_strouhal_sweep(runs);
    const basis = basis_of(runs);
    const { drag, lift, drag_label, lift_label } = coefficients(basis);
    // A sweep of a drawn airfoil plots the chord's coefficients too.
    const names = [[drag, drag_label, "#c0392b"], [lift, lift_label, "#2471a3"]];
    if (basis === "D" && runs.some((r) => r.airfoil)) {
        names.push(["drag_coefficient_chord", "C_D,c", "#e67e22"], ["lift_coefficient_chord", "C_L,c", "#17a589"]);
    }
    const done = runs.filter((r) => r.status === "done" && Number.isFinite(result_of(r, "reynolds_frontal")))
        .sort((a, b) => result_of(a, "reynolds_frontal") - result_of(b, "reynolds_frontal"));
    plot(document.getElementById("sweep_plot"), {
        x_label: "Re_D", y_label: "coefficient",
        series: names.map(([name, label, colour]) => ({
            name: label, colour, markers: true,
            points: done.map((r) => point_of(r, result_of(r, "reynolds_frontal"), name)).filter(([, y]) => Number.isFinite(y)),
        })),
    });
    document.getElementById("sweep_caption").textContent =
        `${names.map(([, label]) => label).join(", ")} against Re_D for the chosen sweep; ${shared_settings(runs)}.`;
}

function render_sweep() {
    const select = document.getElementById("sweep_select");
    const labels = sweeps();
    if (labels.includes(view.wanted)) [view.sweep, view.wanted] = [view.wanted, ""];
    if (!labels.includes(view.sweep)) view.sweep = labels[0] || "";
    select.replaceChildren(...(labels.length ? labels : [""]).map((label) => element("option", label || "no sweep yet", { value: label })));
    select.value = view.sweep;
    const runs = view.runs.filter((r) => r.sweep === view.sweep);
    const polar = is_angle_sweep(runs);
    document.getElementById("sweep_figure").hidden = labels.length === 0 || polar;
    document.getElementById("polar_figure").hidden = !polar;
    if (!polar) return render_reynolds_sweep(runs);
    render_polar(runs, basis_of(runs));
    const first = runs[0];
    document.getElementById("polar_caption").textContent =
        `${airfoil_text(first).replace(/ at .*$/, "")} at Re ${answer_of(first, "reynolds_number")}, coefficients ${coefficients(basis_of(runs)).on}; ${shared_settings(runs)}.`;
}

// By shape, each cell says which basis it is on.
function render_basis() {
    const { drag_label, lift_label, on } = coefficients(view.basis === "auto" ? "D" : view.basis);
    const own = view.basis === "auto";
    document.getElementById("drag_column").textContent = own ? "C_D" : `${drag_label} (${on})`;
    document.getElementById("lift_column").textContent = own ? "C_L" : `${lift_label} (${on})`;
}

export function init_runs(actions) {
    view.actions = actions;
    const basis = document.getElementById("coefficient_basis");
    basis.value = ["D", "c"].includes(localStorage.getItem(basis_key)) ? localStorage.getItem(basis_key) : "auto";
    basis.addEventListener("change", () => set_basis(basis.value));
    set_basis(basis.value);
    document.getElementById("sweep_select").addEventListener("change", (event) => {
        view.sweep = event.target.value;
        render_sweep();
    });
}

// "D", "c" or "auto" (by shape): the coefficients the list and the plots show.
export function set_basis(basis) {
    view.basis = ["D", "c"].includes(basis) ? basis : "auto";
    document.getElementById("coefficient_basis").value = view.basis;
    localStorage.setItem(basis_key, view.basis);
    render_basis();
    view.rows = new Map();  // every row again, on the new basis
    if (view.runs.length) render_runs(view.runs);
}

// label: a sweep just queued, shown as soon as the list holds its runs.
export function show_sweep(label) {
    view.wanted = label;
    render_sweep();
}

export function render_runs(runs) {
    view.runs = runs;
    const ids = new Set(runs.map((r) => r.id));
    for (const id of view.ticked) if (!ids.has(id)) view.ticked.delete(id);
    // Rows are rebuilt only when their record changed, so thumbnails are
    // not fetched again on every event.
    const rows = new Map();
    for (const record of runs) {
        const text = JSON.stringify(record);
        const kept = view.rows.get(record.id);
        rows.set(record.id, kept && kept.text === text ? kept : { text, line: row(record) });
    }
    view.rows = rows;
    document.querySelector("#runs tbody").replaceChildren(...[...rows.values()].map((r) => r.line));
    render_comparison();
    render_sweep();
}
