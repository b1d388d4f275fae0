// The studio page: wires the drawing, the answers form, the run being
// watched, the results and the run store together. The page talks to the
// server only through api.js, and holds at most two event streams: the
// store's and the watched run's.

import * as api from "./api.js";
import * as drawing from "./drawing.js";
import { parse_digits } from "./airfoil.js";
import { append_answers, check_answers, fill_answers, mark_chosen, pick_unsteady_numerics, read_answers, update_flow_field, update_inlet_field, warnings_before_run } from "./form.js";
import { format_value } from "./format.js";
import { all_dark, chord, dark_rows, frontal_height, run_mesh } from "./measure.js";
import { show_mesh_source } from "./mesh_controls.js";
import { follow_runs, show_estimates } from "./estimates.js";
import { picture_hints } from "./hints.js";
import { hide_results, init_results, show_warnings } from "./results.js";
import { init_runs, render_runs, show_sweep } from "./runs.js";
import { draw_history, init_run_view, show_not_started, stop_watching, watch, watched_run } from "./run_view.js";
import { bring_back_form, keep_form, keep_watched, kept_watched } from "./keep.js";
import { recheck_problems, show_problems, until_drawing_changes } from "./problems.js";
import { recommended_options } from "./settings.js";
import { asks_again } from "./format.js";

const $ = (id) => document.getElementById(id);

let board = null;  // the drawing
let store = null;  // the store-wide event stream

// --- the drawing and its measures ----------------------------------------

function update_measures() {
    const answers = read_answers();
    const { tunnel_length: length, tunnel_height: height } = answers;
    const usable = length > 0 && height > 0;
    const mask = board.mask;
    const unreadable = board.upload && !board.upload.readable;
    // A file the browser cannot read has no size here: the canvas's is not its.
    $("measure_picture").textContent = !board.upload
        ? `drawing, ${mask.width} x ${mask.height} px`
        : unreadable ? `${board.upload.file.name} (not a picture this browser can read)`
            : `${board.upload.file.name}, ${mask.width} x ${mask.height} px`;
    // Measured as the program measures them: on the grid, which the picture spans.
    const mesh = usable ? run_mesh(answers) : { dx: NaN, span_height: NaN };
    show_mesh_source(mask.height);
    show_estimates(usable ? mesh : null, { pressure_solver: $("pressure_solver").value, advection: $("advection").value, grid_study: $("grid_study").checked }, answers.max_iterations);
    const solid = all_dark(mask);
    const d = usable && !solid ? frontal_height(mask, mesh) : NaN;
    const c = usable && !solid ? chord(mask, mesh) : NaN;
    const asked = answers.reynolds_number === 0 || answers.kinematic_viscosity === 0;
    const velocity = asked ? answers.inlet_velocity : (answers.reynolds_number * answers.kinematic_viscosity) / height;
    const spans = d / mesh.dx;
    $("measure_height").textContent = solid ? "– (the whole tunnel is solid)" : format_value(d, "m");
    $("measure_chord").textContent = format_value(c, "m");
    $("measure_blockage").textContent = solid ? "–" : format_value(dark_rows(mask) / mask.height);
    $("measure_reynolds").textContent = answers.kinematic_viscosity > 0 && d > 0 ? format_value((velocity * d) / answers.kinematic_viscosity) : "–";
    $("measure_nodes").textContent = format_value(spans);
    // An empty or all-dark picture is said beside the Run button.
    const warning = $("measure_warning");
    warning.hidden = !unreadable;
    warning.textContent = "This file cannot be shown as a picture here; the server will say whether it can be used.";
    const hints = unreadable ? [] : picture_hints(mask);
    show_warnings($("form_warnings"), usable && !unreadable ? [...warnings_before_run(answers, mask, spans), ...hints] : hints);
}

function drawing_changed() {
    update_measures();
    recheck_problems("drawing");
}

function follow_tunnel() {
    const answers = read_answers();
    update_inlet_field();
    update_flow_field();
    if (answers.tunnel_length > 0 && answers.tunnel_height > 0 && answers.tunnel_length / answers.tunnel_height < 200) {
        drawing.set_tunnel(board, answers.tunnel_length, answers.tunnel_height, run_mesh(answers));
    }
    update_measures();
}

function place_airfoil(centre) {
    const shape = parse_digits($("naca_digits").value.trim());
    const numbers = ["naca_chord", "naca_angle", "naca_x", "naca_y"].map((id) => Number($(id).value));
    if (!shape || !numbers.every(Number.isFinite) || numbers[0] <= 0) {
        $("tool_hint").textContent = "The airfoil needs four digits (e.g. 0012, 2412), a positive chord and numbers for the angle and centre.";
        return;
    }
    $("tool_hint").textContent = drawing.tool_hints.airfoil;
    if (centre) [numbers[2], numbers[3]] = centre;
    if (centre) [$("naca_x").value, $("naca_y").value] = centre.map((v) => Number(v.toPrecision(4)));
    drawing.place_airfoil(board, shape, ...numbers, { naca: $("naca_digits").value.trim(), angle: String(numbers[1]) });
}

function init_drawing() {
    board = drawing.create_drawing($("drawing"), $("drawing_overlay"), drawing_changed);
    board.on_airfoil_click = (point) => place_airfoil(point);
    const choose_tool = () => {
        const tool = document.querySelector("input[name=tool]:checked").value;
        drawing.set_tool(board, tool);
        $("airfoil_options").hidden = tool !== "airfoil";
        $("angle_sweep").hidden = tool !== "airfoil";
        $("tool_hint").textContent = drawing.tool_hints[tool];
    };
    for (const radio of document.querySelectorAll("input[name=tool]")) radio.addEventListener("change", choose_tool);
    choose_tool();
    const size = () => { board.size = Math.max(1, Number($("brush_size").value) || 1); };
    $("brush_size").addEventListener("input", size);
    size();
    $("undo").addEventListener("click", () => drawing.undo(board));
    $("redo").addEventListener("click", () => drawing.redo(board));
    $("clear").addEventListener("click", () => drawing.clear(board));
    $("naca_place").addEventListener("click", () => place_airfoil(null));
    $("upload").addEventListener("change", async (event) => {
        const file = event.target.files[0];
        if (!file) return;
        const readable = await drawing.load_upload(board, file);
        $("tool_hint").textContent = readable
            ? `${file.name} is shown as the program will see it: black is solid. It is sent as it is unless you draw over it.`
            : `${file.name} is not a picture this browser can read; it will be sent as it is, and the program will say what it makes of it.`;
        event.target.value = "";
    });
    document.addEventListener("keydown", (event) => {
        if (event.target.closest("input, select, textarea")) return;
        const key = event.key.toLowerCase();
        if ((event.ctrlKey || event.metaKey) && key === "z") drawing.undo(board);
        else if ((event.ctrlKey || event.metaKey) && key === "y") drawing.redo(board);
        else if (key === "enter") drawing.close_polygon(board);
        else if (key === "escape") drawing.drop_polygon(board);
    });
}

// Posts a run of the current drawing (or the picture given) and answers;
// gives its id, or null (with the reason on the page) when it could not be
// posted. airfoil: {naca, angle} of a drawn airfoil.
async function post_run(overrides = {}, sweep = "", picture = null, airfoil = board.airfoil) {
    const problems = check_answers(overrides);
    show_problems(problems.join(" "), () => check_answers(overrides).join(" "));
    if (problems.length) return null;
    picture = picture || await drawing.picture_to_send(board);
    const form = new FormData();
    form.append("picture", picture.blob, picture.name);
    append_answers(form, overrides);
    if (sweep) form.append("sweep", sweep);
    if (airfoil) {
        form.append("naca", airfoil.naca);
        form.append("angle", airfoil.angle);
    }
    try {
        return (await api.post_run(form)).id;
    } catch (error) {
        show_problems(`The server did not take the run: ${error.message}`, until_drawing_changes(`The server did not take the run: ${error.message}`));
        return null;
    }
}

async function run_clicked(event) {
    event.preventDefault();
    const clicked = performance.now();
    $("run").disabled = true;
    try {
        const id = await post_run();
        if (id) watch(id, clicked);
        else show_not_started(check_answers().length ? "the answers need the changes said under them" : "the server did not take it (see under the answers)");
    } finally {
        $("run").disabled = false;
    }
}

async function cancel_clicked() {
    const { id } = watched_run();
    if (!id) return;
    try {
        await api.delete_run(id);
    } catch (error) {
        $("message").textContent = `The run could not be cancelled: ${error.message}`;
    }
    refresh_runs();
}

// What is wrong with the numbers of a sweep box: "" when each is a number
// that makes a run the program takes.
function sweep_problems(id, what, check) {
    const words = $(id).value.split(/[\s,;]+/).filter(Boolean);
    if (words.length === 0) return `The sweep needs a list of ${what}.`;
    const problems = words.flatMap((word) => !Number.isFinite(Number(word)) ? [`"${word}" is not a number.`]
        : check(word).map((problem) => `With ${word}: ${problem}`));
    $(id).setAttribute("aria-invalid", problems.length ? "true" : "false");
    return problems.join(" ");
}

// The numbers of a sweep box, or null (with the reason on the page).
function sweep_values(id, what, check) {
    const problems = sweep_problems(id, what, check);
    show_problems(problems, () => sweep_problems(id, what, check));
    return problems ? null : $(id).value.split(/[\s,;]+/).filter(Boolean);
}

function sweep_label(fallback) {
    return $("sweep_label").value.trim() || `${fallback} ${new Date().toISOString().slice(0, 19).replace("T", " ")}`;
}

// Every run is checked before the first is queued.
async function queue_sweep(button, label, posts) {
    $(button).disabled = true;
    try {
        for (const post of posts) {
            if (!(await post())) break;
        }
    } finally {
        $(button).disabled = false;
    }
    show_sweep(label);
    await refresh_runs();
}

async function sweep_clicked() {
    const values = sweep_values("sweep_values", "Reynolds numbers, e.g. 10, 20, 40", (word) => check_answers({ reynolds_number: word }));
    if (!values) return;
    const label = sweep_label("sweep");
    await queue_sweep("sweep_run", label, values.map((value) => () => post_run({ reynolds_number: value }, label)));
}

function airfoil_problem() {
    const shape = parse_digits($("naca_digits").value.trim());
    const [chord_length, x, y] = ["naca_chord", "naca_x", "naca_y"].map((id) => Number($(id).value));
    return !shape || !(chord_length > 0) || !Number.isFinite(x) || !Number.isFinite(y)
        ? "The angle sweep needs four digits (e.g. 0012), a positive chord and numbers for the centre." : "";
}

async function angle_sweep_clicked() {
    const shape = parse_digits($("naca_digits").value.trim());
    const [chord_length, x, y] = ["naca_chord", "naca_x", "naca_y"].map((id) => Number($(id).value));
    if (airfoil_problem()) {
        show_problems(airfoil_problem(), airfoil_problem);
        return;
    }
    const values = sweep_values("angle_values", "angles of attack in degrees, e.g. -4, 0, 4, 8", () => check_answers());
    if (!values) return;
    const naca = $("naca_digits").value.trim();
    const label = sweep_label(`NACA ${naca} angles`);
    await queue_sweep("angle_sweep_run", label, values.map((angle) => async () => post_run(
        {}, label, await drawing.airfoil_picture(board, shape, chord_length, Number(angle), x, y), { naca, angle })));
}

// --- the run store --------------------------------------------------------

let refreshing = null;
async function refresh_runs() {
    // Events may come in bursts; one list request at a time is enough.
    if (refreshing) return refreshing;
    refreshing = (async () => {
        try {
            const runs = await api.list_runs();
            render_runs(runs);
            follow_runs(runs);
            update_measures();
        } catch (error) {
            show_connection(false, error.message);
        } finally {
            refreshing = null;
        }
    })();
    return refreshing;
}

let refresh_pending = 0;
function refresh_soon() {
    clearTimeout(refresh_pending);
    refresh_pending = setTimeout(refresh_runs, 150);
}

let server_lost = false;
function show_connection(open, reason = "") {
    const line = $("connection");
    if (!open) {
        server_lost = true;
        line.hidden = false;
        line.className = "connection lost";
        line.textContent = `The server is not answering${reason ? ` (${reason})` : ""}: it may have been stopped. Start veltaro serve again; this page reconnects by itself.`;
        return;
    }
    if (!server_lost) return;
    server_lost = false;
    line.className = "connection back";
    line.textContent = "Reconnected to the server.";
    setTimeout(() => { if (!server_lost) line.hidden = true; }, 4000);
    refresh_runs();
    const { id, status } = watched_run();
    if (id && !api.is_final(status)) watch(id);
}

function open_store_stream() {
    store = api.watch_store(refresh_soon, (open) => {
        show_connection(open);
        // A stream the browser gave up on (an error status) is opened again
        // after a pause; one it is retrying itself is left to it.
        if (!open && store.readyState === EventSource.CLOSED) setTimeout(open_store_stream, 3000);
        if (open) refresh_soon();
    });
}

// Opens a run: its progress and results, and its picture and answers in
// the drawing and the form, as Re-run loads them.
async function open_run(record) {
    watch(record.id);
    await load_run(record);
}

async function rerun(record) {
    await load_run(record);
    $("tool_hint").textContent = `Run ${record.id} is loaded: change the drawing or the answers, then Run.`;
    $("draw-panel").scrollIntoView({ behavior: "smooth" });
}

async function load_run(record) {
    fill_answers({ ...record.answers, ...record.options });
    keep_form();
    follow_tunnel();
    const name = record.picture;
    if (name) {
        try {
            const response = await api.get_file(record.id, name);
            await drawing.load_picture(board, await response.blob(), record.upload || name, record.airfoil || null);
        } catch (error) {
            show_problems(`The run's picture could not be loaded: ${error.message}`);
        }
    }
}

async function remove(record) {
    try {
        await api.delete_run(record.id);
        const { id, status } = watched_run();
        if (id === record.id && api.is_final(status)) {
            stop_watching();
            keep_watched(null);
            hide_results();
        }
        await refresh_runs();
    } catch (error) {
        show_problems(`Run ${record.id} could not be deleted: ${error.message}`);
    }
}

// --- start ----------------------------------------------------------------

// The run watched before a reload, watched again: a running run's stream
// replays its history and goes on, a finished one shows its results.
async function watch_again() {
    const id = kept_watched();
    if (!id) return;
    try {
        await api.get_run(id);
        watch(id);
    } catch {
        keep_watched(null);  // deleted, or another server's runs
    }
}

async function init() {
    bring_back_form();
    $("recommended_options").textContent = recommended_options();
    init_drawing();
    init_results();
    init_run_view();
    init_runs({ open: open_run, rerun, remove });
    // Before the measures follow the form: the numerics it picks change the memory estimate.
    $("flow").addEventListener("change", pick_unsteady_numerics);
    for (const id of ["tunnel_length", "tunnel_height", "mesh_choice", "nodes_across", "reynolds_number", "kinematic_viscosity", "inlet_velocity", "max_iterations", "flow", "unsteady", "pressure_solver", "advection", "grid_study"]) {
        $(id).addEventListener("input", follow_tunnel);
        $(id).addEventListener("change", follow_tunnel);
    }
    for (const id of ["advection", "solid_nodes", "stop_rule", "pressure_solver"]) $(id).addEventListener("change", mark_chosen);
    // Every field typed in is kept for a reload, and the problems said of it checked again.
    for (const kind of ["input", "change"]) {
        document.addEventListener(kind, (event) => {
            if (!event.target.closest?.("#answers, #airfoil_options, #angle_sweep, .sweep") || event.target.type === "file") return;
            keep_form();
            recheck_problems("form");
        });
    }
    $("answers").addEventListener("submit", run_clicked);
    asks_again($("cancel"), "Really cancel?", cancel_clicked);
    $("sweep_run").addEventListener("click", sweep_clicked);
    $("angle_sweep_run").addEventListener("click", angle_sweep_clicked);
    follow_tunnel();
    await drawing.bring_back(board);
    draw_history();
    refresh_runs();
    open_store_stream();
    await watch_again();
}

init();
