// The run being watched: its status, queue place, live convergence plot,
// iteration count and elapsed time, and its results once it is done. One
// event stream at a time: watching another run closes the last one.

import * as api from "./api.js";
import { format_seconds } from "./format.js";
import { plot } from "./plot.js";
import { hide_results, show_results } from "./results.js";
import { command_line, is_unsteady } from "./settings.js";
import { follow_forces, stop_forces } from "./forces_plot.js";
import { keep_watched } from "./keep.js";

const settled_change = 2e-6;  // the program's threshold for a quiet iteration
const steady_residual = 1e-4;  // and for a steady one, in U^2/c
// The live plot is redrawn at most this often: the run's own solver needs
// the processor more than the plot needs to move.
const redraw_interval_ms = 250;

const $ = (id) => document.getElementById(id);

// How a shell names the program, once the server has said.
let program = "veltaro";

// started, ended: the run's own start and end (ms since 1970) from its record.
// grid: the grid study's mesh the history is of ({mesh, meshes,
// nodes_across}), or null.
const watched = { id: null, source: null, status: null, unsteady: false, grid: null, history: [], started: 0, ended: 0, clicked: 0, first_point_ms: null, timer: 0, redraw: 0, last_drawn: 0 };

// The run shown, for the page's other views.
export function watched_run() {
    return { id: watched.id, status: watched.status };
}

export function draw_history() {
    watched.redraw = 0;
    watched.last_drawn = performance.now();
    const series = [["U", "change_u", "#c0392b"], ["V", "change_v", "#27ae60"], ["P", "change_p", "#2471a3"],
        ["steady residual R [U²/c]", "residual", "#7d3c98"]];
    plot($("convergence_plot"), {
        log_y: true, x_label: "iteration", y_label: "relative change; R", title: grid_words(watched.grid),
        lines: [{ y: settled_change, label: "2e-6: quiet" }, { y: steady_residual, label: "1e-4: steady" }],
        // A program without residual.txt gives no R: its points are dropped.
        series: series.map(([name, key, colour]) => ({ name, colour, points: watched.history.map((e) => [e.count, e[key] ?? NaN]) })),
    });
    $("convergence_plot").dataset.points = String(watched.history.length);
    $("convergence_plot").dataset.mesh = watched.grid ? String(watched.grid.mesh) : "";
    if (watched.history.length > 0 && watched.first_point_ms === null && watched.clicked) {
        watched.first_point_ms = Math.round(performance.now() - watched.clicked);
        $("convergence_plot").dataset.firstPointMs = String(watched.first_point_ms);
    }
}

// "mesh 2 of 3: 70 across", or "" outside a grid study.
function grid_words(grid) {
    return grid ? `mesh ${grid.mesh} of ${grid.meshes}: ${grid.nodes_across} across` : "";
}

function show_progress() {
    const last = watched.history.at(-1);
    const parts = watched.grid ? [grid_words(watched.grid)] : [];
    if (last) parts.push(`iteration ${last.count}`);
    if (watched.started) parts.push(format_seconds(((watched.ended || Date.now()) - watched.started) / 1000));
    $("progress").textContent = parts.length ? `(${parts.join(", ")})` : "";
}

function status_words(record) {
    if (record.status === "queued") {
        const ahead = record.queue_position;
        return ahead != null ? `queued: place ${ahead} in the queue` : "queued";
    }
    return { running: "running", done: "done", refused: "refused", failed: "failed", cancelled: "cancelled", interrupted: "interrupted (the server stopped during the run)" }[record.status] || record.status;
}

// The command line that computes the same run, beside its picture and
// answers.txt: only the options it was posted with, the rest being the
// program's defaults.
function show_command(record) {
    $("command_line").textContent = command_line(record.options, program);
    const picture = record.picture || "picture.jpg";
    Object.assign($("command_picture"), { textContent: picture, href: api.file_url(record.id, picture), download: picture });
    $("command_answers").href = api.file_url(record.id, "answers.txt");
    $("command").hidden = false;
}

async function copy_command() {
    const text = $("command_line").textContent;
    try {
        await navigator.clipboard.writeText(text);
        $("command_copy").textContent = "Copied";
    } catch {
        // No clipboard for this page (not a secure context): select the
        // text for Ctrl+C instead.
        getSelection().selectAllChildren($("command_line"));
        $("command_copy").textContent = "Selected: press Ctrl+C";
    }
    setTimeout(() => { $("command_copy").textContent = "Copy"; }, 2000);
}

export function init_run_view() {
    $("command_copy").addEventListener("click", copy_command);
    api.get_program().then((answer) => { program = answer.command || program; }).catch(() => {});
}

async function on_status(id, record) {
    if (watched.id !== id) return;
    show_command(record);
    watched.status = record.status;
    $("status").textContent = status_words(record);
    $("status").dataset.status = record.status;
    $("message").textContent = record.message || "";
    const final = api.is_final(record.status);
    $("cancel").disabled = final;
    // forces.csv exists once the first iteration is in (no fetch meets a 404).
    // A grid study's forces.csv is written in each mesh's own folder while it
    // runs; once it has ended, the finest's is the run's own.
    watched.unsteady = is_unsteady(record);
    if (watched.unsteady && watched.history.length > 0) follow_forces(id, final, record, final ? "forces.csv" : forces_file());
    watched.record = record;
    const started = Date.parse(record.started || "");
    if (Number.isFinite(started) && !watched.started) {
        watched.started = started;
        if (!final) watched.timer = setInterval(show_progress, 250);
    }
    if (!final) return;
    const ended = Date.parse(record.finished || "");
    if (Number.isFinite(ended)) watched.ended = ended;
    // Every point in, at once: the stream has ended.
    clearTimeout(watched.redraw);
    draw_history();
    clearInterval(watched.timer);
    show_progress();
    if (watched.grid) {
        const reached = watched.grid.mesh < watched.grid.meshes ? `it ended on ${grid_words(watched.grid)}` : `its ${watched.grid.meshes} meshes were run`;
        $("grid_progress").textContent = `Grid study: ${reached}; the plot shows that mesh's iterations.`;
    }
    if (record.status === "done") {
        try {
            show_results(await api.get_run(id));
        } catch (error) {
            $("message").textContent = `The results could not be loaded: ${error.message}`;
        }
    }
}

// The forces.csv of the run going: a grid study's mesh's, in its folder.
function forces_file() {
    return watched.grid ? `${watched.grid.folder}/forces.csv` : "forces.csv";
}

// A grid study starts on its next mesh: the plot starts over, and says which.
function on_grid_mesh(id, mesh) {
    if (watched.id !== id) return;
    watched.grid = mesh;
    watched.history = [];
    $("grid_progress").hidden = false;
    $("grid_progress").textContent = `Grid study: ${grid_words(mesh)} (finest first; the plot starts over for each mesh).`;
    clearTimeout(watched.redraw);
    draw_history();
    show_progress();
}

function on_iteration(id, point) {
    if (watched.id !== id) return;
    watched.history.push(point);
    if (watched.unsteady && watched.history.length === 1) follow_forces(id, false, watched.record, forces_file());
    if (watched.redraw) return;
    const wait = Math.max(0, watched.last_drawn + redraw_interval_ms - performance.now());
    watched.redraw = setTimeout(() => requestAnimationFrame(() => {
        draw_history();
        show_progress();
    }), wait);
}

export function stop_watching() {
    watched.source?.close();
    stop_forces();
    clearInterval(watched.timer);
    clearTimeout(watched.redraw);
    $("grid_progress").hidden = true;
    Object.assign(watched, { id: null, source: null, status: null, record: null, unsteady: false, grid: null, history: [], started: 0, ended: 0, first_point_ms: null, redraw: 0 });
}

// No run was posted (its problems are under the answers): the status line
// no longer speaks of the run before. why: in words.
export function show_not_started(why) {
    stop_watching();
    keep_watched(null);
    hide_results();
    draw_history();
    $("status").textContent = `not started: ${why}`;
    $("status").dataset.status = "not started";
    $("message").textContent = "";
    $("progress").textContent = "";
    $("command").hidden = true;
    $("cancel").disabled = true;
}

// Watches one run from its start (a finished run's stream replays its
// whole history, then its final status).
export function watch(id, clicked = 0) {
    stop_watching();
    keep_watched(id);
    watched.id = id;
    watched.clicked = clicked;
    hide_results();
    draw_history();
    watched.last_drawn = 0;  // the first point is drawn as it comes
    $("status").textContent = "waiting for the server";
    delete $("status").dataset.status;
    $("message").textContent = "";
    $("progress").textContent = "";
    $("command").hidden = true;
    $("cancel").disabled = false;
    watched.source = api.watch_run(id, {
        iteration: (point) => on_iteration(id, point),
        grid_mesh: (mesh) => on_grid_mesh(id, mesh),
        status: (record) => on_status(id, record),
    });
}
