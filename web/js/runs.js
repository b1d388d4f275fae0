// The run store as a table (kept current by the store-wide event stream),
// side-by-side comparison of ticked runs, and the Reynolds sweep's plot.

import { file_url, is_final } from "./api.js";
import { options_in_force } from "./form.js";
import { element, format_date, format_e } from "./format.js";
import { plot } from "./plot.js";

const mesh_names = { 0: "coarse", 1: "standard", 2: "fine" };

// One state object for the view.
const view = { runs: [], rows: new Map(), ticked: new Set(), sweep: "", actions: null };

// A record carries the answers as posted (strings) and its summary's
// results once there is one.
function answer_of(record, name) {
    return record.answers?.[name];
}

function result_of(record, name) {
    return record.results?.[name] ?? record.summary?.[name];
}

function button(text, handler, title = "") {
    const item = element("button", text, { type: "button", title });
    item.addEventListener("click", handler);
    return item;
}

// A button that asks again before it deletes: the first click only
// changes its label for a few seconds.
function confirmed_button(text, handler, title) {
    const item = button(text, () => {
        if (item.dataset.armed) return handler();
        item.dataset.armed = "yes";
        item.textContent = "Really delete?";
        setTimeout(() => {
            delete item.dataset.armed;
            item.textContent = text;
        }, 3000);
    }, title);
    return item;
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
    const thumbnail = picture ? element("img", "", { src: file_url(record.id, picture), alt: "", class: "thumbnail", loading: "lazy" }) : element("span", "–");
    const cells = [
        tick, thumbnail, element("span", status_text(record), { class: `state ${record.status}` }),
        element("span", String(answer_of(record, "reynolds_number") ?? "–")),
        element("span", mesh_names[answer_of(record, "mesh_choice")] ?? String(answer_of(record, "mesh_choice") ?? "–")),
        element("span", Object.values(options_in_force(record)).join(", "), { class: "options" }),
        element("span", format_e(result_of(record, "drag_coefficient"))),
        element("span", format_e(result_of(record, "lift_coefficient"))),
        element("span", record.sweep || ""),
        element("span", format_date(record.created)),
    ];
    const actions = element("span", "", { class: "row-actions" });
    actions.append(
        button("Open", () => view.actions.open(record), "Show this run's progress and results"),
        button("Re-run", () => view.actions.rerun(record), "Load its picture and answers into the form"),
        is_final(record.status)
            ? confirmed_button("Delete", () => view.actions.remove(record), "Delete this run and its files")
            : button("Cancel", () => view.actions.remove(record), "Cancel this run"),
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

function render_comparison() {
    const box = document.getElementById("comparison");
    const chosen = view.runs.filter((r) => view.ticked.has(r.id));
    box.hidden = chosen.length < 2;
    if (box.hidden) return box.replaceChildren();
    const keys = [["Re", (r) => answer_of(r, "reynolds_number")], ["Re_D", (r) => format_e(result_of(r, "reynolds_frontal"))],
        ["C_D", (r) => format_e(result_of(r, "drag_coefficient"))], ["C_L", (r) => format_e(result_of(r, "lift_coefficient"))],
        ["C_D,c", (r) => format_e(result_of(r, "drag_coefficient_chord"))], ["C_L,c", (r) => format_e(result_of(r, "lift_coefficient_chord"))],
        ["Mesh", (r) => mesh_names[answer_of(r, "mesh_choice")]], ["Solid nodes", (r) => options_in_force(r).solid_nodes],
        ["Stop rule", (r) => options_in_force(r).stop_rule], ["Pressure solve", (r) => options_in_force(r).pressure_solver],
        ["Iterations", (r) => r.iterations], ["Stopped", (r) => result_of(r, "stop")],
        ["R [U²/c]", (r) => format_e(result_of(r, "steady_residual"))], ["Status", (r) => r.status]];
    box.replaceChildren(...chosen.map((record) => {
        const card = element("figure", "", { class: "compare-card" });
        if (record.status === "done") card.append(element("img", "", { src: file_url(record.id, "velocity.jpg"), alt: `speed of run ${record.id}` }));
        const table = element("table");
        for (const [name, get] of keys) {
            const line = element("tr");
            line.append(element("th", name), element("td", String(get(record) ?? "–")));
            table.append(line);
        }
        card.append(element("figcaption", `Run ${record.id}`), table);
        return card;
    }));
}

function sweeps() {
    return [...new Set(view.runs.map((r) => r.sweep).filter(Boolean))];
}

function render_sweep() {
    const select = document.getElementById("sweep_select");
    const labels = sweeps();
    if (!labels.includes(view.sweep)) view.sweep = labels[0] || "";
    select.replaceChildren(...(labels.length ? labels : [""]).map((label) => element("option", label || "no sweep yet", { value: label })));
    select.value = view.sweep;
    document.getElementById("sweep_figure").hidden = labels.length === 0;
    const done = view.runs.filter((r) => r.sweep === view.sweep && r.status === "done")
        .map((r) => [result_of(r, "reynolds_frontal"), result_of(r, "drag_coefficient"), result_of(r, "lift_coefficient")])
        .filter(([re]) => Number.isFinite(re))
        .sort((a, b) => a[0] - b[0]);
    plot(document.getElementById("sweep_plot"), {
        x_label: "Re_D", y_label: "coefficient",
        series: [
            { name: "C_D", colour: "#c0392b", points: done.map(([re, cd]) => [re, cd]), markers: true },
            { name: "C_L", colour: "#2471a3", points: done.map(([re, , cl]) => [re, cl]), markers: true },
        ],
    });
}

export function init_runs(actions) {
    view.actions = actions;
    document.getElementById("sweep_select").addEventListener("change", (event) => {
        view.sweep = event.target.value;
        render_sweep();
    });
}

export function show_sweep(label) {
    view.sweep = label;
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
