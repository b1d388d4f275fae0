// The answers form: the dialogue's questions with their units, checked for
// everything the program would refuse before a run is posted, and the
// warnings the program will give, said before the run.

import { run_mesh } from "./measure.js";
import { fill_mesh, mesh_answer, node_limit, nodes_across, nodes_across_advice, nodes_across_problem } from "./mesh_controls.js";
import { program_options } from "./settings.js";
import { grid_problem } from "./grid.js";

export const answer_fields = [
    "reynolds_number", "kinematic_viscosity", "density", "tunnel_height", "tunnel_length",
    "mesh_choice", "max_iterations", "inlet_velocity",
];

const labels = {
    reynolds_number: "The Reynolds number", kinematic_viscosity: "The kinematic viscosity",
    density: "The density", tunnel_height: "The tunnel height", tunnel_length: "The tunnel length",
    max_iterations: "The maximum number of iterations", inlet_velocity: "The inlet velocity",
};

// The program's limits, as its set-up checks them.
const int_range = [-2147483648, 2147483647];
export const warning_reynolds = 200;   // the dialogue warns above it
export const well_resolved_spacings = 8;  // fewer across the obstacle: coarse_obstacle
export const stretch_tolerance = 0.02;  // picture against tunnel proportions

function input(name) {
    return document.getElementById(name);
}

// The mesh answer is the select's, which also offers a mesh of its own.
function text_of(name, overrides) {
    return String(overrides[name] ?? (name === "mesh_choice" ? mesh_answer() : input(name).value)).trim();
}

function number_of(name, overrides = {}) {
    const text = text_of(name, overrides);
    return text === "" ? NaN : Number(text);
}

// The program asks for the inlet velocity only when Re or nu is zero (as
// single-precision values).
export function inlet_velocity_is_asked(overrides = {}) {
    return Math.fround(number_of("reynolds_number", overrides)) === 0 || Math.fround(number_of("kinematic_viscosity", overrides)) === 0;
}

export function update_inlet_field() {
    input("inlet_velocity_field").hidden = !inlet_velocity_is_asked();
}

export function flow_is_unsteady() {
    return input("flow").value === "unsteady";
}

// The Flow choice: the flow time's field, in seconds and in flow-through
// times L/U, and the stop rule, which a time-accurate run does not take.
export function update_flow_field() {
    const unsteady = flow_is_unsteady();
    input("unsteady_field").hidden = !unsteady;
    input("flow_note").hidden = !unsteady || !input("flow_note").textContent;
    input("stop_rule").disabled = unsteady;
    const answers = read_answers();
    const velocity = inlet_velocity_is_asked() ? answers.inlet_velocity : answers.reynolds_number * answers.kinematic_viscosity / answers.tunnel_height;
    const through = answers.tunnel_length / velocity;
    const time = number_of("unsteady");
    input("flow_throughs").textContent = Number.isFinite(through) && through > 0 && time > 0
        ? `= ${Number((time / through).toPrecision(3))} flow-through times (L/U = ${Number(through.toPrecision(3))} s)` : "";
}

// Choosing a time-accurate run picks the numerics the validation page
// measures the vortex street with, where the user has not chosen others:
// with the page's first choices (first-order advection, sampled nodes) the
// street grows slowly from the start's small seed and its wake is too short.
const unsteady_numerics = [["advection", "second-order", "second-order advection"], ["solid_nodes", "outline", "the outline rule"]];

export function mark_chosen(event) {
    event.target.dataset.chosen = "yes";
}

export function pick_unsteady_numerics() {
    if (!flow_is_unsteady()) return;
    const picked = [];
    for (const [name, value, words] of unsteady_numerics) {
        if (input(name).dataset.chosen || input(name).value === value) continue;
        input(name).value = value;
        picked.push(words);
    }
    if (picked.length > 0) {
        input("flow_note").textContent = `Picked for the time-accurate run: ${picked.join(" and ")}, which the validation page measures the vortex street with. Choose others above if you want them.`;
    }
    update_flow_field();
}

// The numbers as typed, for the drawing's measures (NaN where not a number).
export function read_answers(overrides = {}) {
    const answers = {};
    for (const name of answer_fields) answers[name] = number_of(name, overrides);
    answers.nodes_across = nodes_across();
    return answers;
}

// What the program refuses of one number, beyond its being a number.
function value_problem(name, value, answers) {
    const label = labels[name];
    if (name === "max_iterations") {
        if (value > int_range[1]) return `${label} must be at most ${int_range[1]}.`;
        if (value < int_range[0]) return `${label} must be a whole number of 1 or more (0 or less runs no iteration).`;
        if (!Number.isInteger(value)) return `${label} must be a whole number.`;
        return null;
    }
    // Every other answer is held in single precision.
    if (!Number.isFinite(Math.fround(value))) return `${label} is too large: the program holds it in single precision, at most about 3.4e38.`;
    if (["density", "tunnel_height", "tunnel_length", "inlet_velocity"].includes(name) && !(Math.fround(value) > 0 && Number.isFinite(Math.fround(value)))) {
        return `${label} must be a positive number.`;
    }
    if (name === "kinematic_viscosity" && !(Math.fround(value) >= 0 && Number.isFinite(Math.fround(value)))) return `${label} must be zero or a positive number.`;
    if (name === "reynolds_number" && value < 0 && answers.kinematic_viscosity > 0) {
        return `${label} must not be negative: it gives a negative inlet velocity.`;
    }
    return null;
}

function mesh_problem(answers) {
    const { tunnel_length: length, tunnel_height: height } = answers;
    if (!(length > 0 && height > 0)) return null;
    const mesh = run_mesh(answers);
    const { most, advice } = node_limit();
    if (mesh.nx < 3) return "The tunnel is too short for its height: the mesh needs at least 3 nodes along it; make it longer.";
    if (mesh.nx * mesh.ny > most) return `The mesh of ${mesh.nx} x ${mesh.ny} nodes is too large (at most ${most}); ${advice}.`;
    return null;
}

export function grid_study_asked() {
    return input("grid_study").checked;
}

// The nodes across the run's mesh: the box's or the very fine choice's, else
// the dialogue's mesh answer's (25, 50 or 100).
function run_across() {
    const across = nodes_across();
    return Number.isFinite(across) ? across : { 0: 25, 1: 50, 2: 100 }[mesh_answer()] ?? NaN;
}

// Sentences for everything the program would refuse, with overrides (a
// sweep's value) in place of the form's; each field in error is marked.
export function check_answers(overrides = {}) {
    const problems = [];
    const answers = read_answers(overrides);
    const asked = inlet_velocity_is_asked(overrides);
    const fields = answer_fields.filter((name) => name !== "mesh_choice" && (name !== "inlet_velocity" || asked));
    for (const name of fields) {
        const text = text_of(name, overrides);
        let problem = null;
        if (text === "") problem = `${labels[name]} is empty.`;
        else if (Number.isNaN(Number(text))) problem = `${labels[name]} is not a number: "${text}".`;
        else problem = value_problem(name, Number(text), answers);
        if (!(name in overrides)) input(name).setAttribute("aria-invalid", problem ? "true" : "false");
        if (problem) problems.push(problem);
    }
    const courant = text_of("courant", overrides);
    const courant_bad = courant !== "" && !(Number(courant) > 0 && Number(courant) <= 1);
    input("courant").setAttribute("aria-invalid", courant_bad ? "true" : "false");
    if (courant_bad) problems.push("The Courant number must be a number above 0 and at most 1.");
    if (flow_is_unsteady() && !(number_of("unsteady") > 0 && Number.isFinite(number_of("unsteady")))) {
        problems.push("The flow time T of an unsteady run must be a positive number of seconds.");
    }
    const across = nodes_across_problem();
    if (across) problems.push(across);
    const grid = grid_study_asked() && !across ? grid_problem(run_across()) : null;
    input("grid_study").setAttribute("aria-invalid", grid ? "true" : "false");
    if (grid) problems.push(grid);
    const mesh = problems.length ? null : mesh_problem(answers);
    return mesh ? [...problems, mesh] : problems;
}

// The warnings the program will give from the answers and the picture
// alone, as {code, message}. mask: the drawing's pixels; spans: the
// obstacle's frontal height in node spacings.
export function warnings_before_run(answers, mask, spans) {
    const warnings = [];
    // A time-accurate run is meant for such flows: the program does not warn.
    const reynolds = Math.fround(answers.reynolds_number);
    if (reynolds > warning_reynolds && Number.isFinite(reynolds) && !flow_is_unsteady()) {
        warnings.push({ code: "high_reynolds", message: `A Reynolds number of ${answers.reynolds_number} is above ${warning_reynolds}: the steady method is meant for low Reynolds numbers; time-accurate runs (--unsteady=T) are the way for such flows.` });
    }
    if (answers.max_iterations <= 0) {
        warnings.push({ code: "no_iterations", message: `An iteration limit of ${answers.max_iterations} runs no iteration: the results will be the initial flow.` });
    }
    const stretch = mask.width / mask.height / (answers.tunnel_length / answers.tunnel_height);
    if (Math.abs(stretch - 1) > stretch_tolerance) {
        // A circle of the picture spans 1 / stretch times as many metres along the tunnel as across it.
        const [times, how] = stretch < 1 ? [1 / stretch, "long as it is high"] : [stretch, "high as it is long"];
        warnings.push({ code: "stretched_picture", message: `The picture's proportions (${mask.width} x ${mask.height} pixels) are not the tunnel's, so it is stretched over the tunnel: a circle drawn in it becomes an ellipse ${Number(times.toPrecision(3))} times as ${how}.` });
    }
    if (spans > 0 && spans < well_resolved_spacings) {
        // With nodes across given, the program names the N that gives enough.
        const finer = answers.nodes_across > 0
            ? `${nodes_across_advice(spans / (run_mesh(answers).ny - 1), well_resolved_spacings)}, or draw it larger` : "choose a finer mesh or draw it larger";
        warnings.push({ code: "coarse_obstacle", message: `The obstacle spans only ${spans.toFixed(1)} node spacings, fewer than ${well_resolved_spacings}: ${finer}.` });
    }
    return warnings;
}

// The answers as the server's form fields, the inlet velocity only where
// the program asks for it and the options only where they differ from the
// program's defaults (the page's own choices are the selects' selected
// values), so a run's options are exactly what its command line needs.
export function append_answers(form_data, overrides = {}) {
    for (const name of answer_fields) {
        if (name === "inlet_velocity" && !inlet_velocity_is_asked(overrides)) continue;
        form_data.append(name, text_of(name, overrides));
    }
    const unsteady = flow_is_unsteady();
    for (const { name, fallback, given } of program_options) {
        // The flow time only for an unsteady run, which takes no stop rule.
        if ((name === "unsteady" && !unsteady) || (name === "stop_rule" && unsteady)) continue;
        const value = input(name)?.value.trim();
        if (value && (given || value !== fallback)) form_data.append(name, value);
    }
    const across = nodes_across();
    if (Number.isFinite(across)) form_data.append("nodes_across", String(across));
    if (grid_study_asked()) form_data.append("grid_study", "true");
}

// Fills the form from a run's record (to re-run it with changes).
export function fill_answers(answers) {
    for (const name of answer_fields) {
        if (answers[name] !== undefined && answers[name] !== null) input(name).value = String(answers[name]);
    }
    for (const { name, fallback, given } of program_options) {
        if (name === "unsteady" || !input(name)) continue;
        input(name).value = answers[name] ?? (given ? "" : fallback);
        // A run's own choices stay when it is changed to a time-accurate one.
        input(name).dataset.chosen = "yes";
    }
    fill_mesh(answers.mesh_choice ?? input("mesh_choice").value, answers.nodes_across);
    input("grid_study").checked = answers.grid_study === "true";
    input("flow").value = answers.unsteady ? "unsteady" : "steady";
    if (answers.unsteady) input("unsteady").value = String(answers.unsteady);
    update_inlet_field();
    update_flow_field();
}
