// Every run's settings in sight: the program's options, listed once. A new
// option of the program becomes one row here, and the form, the command
// line, the runs list, the comparison and the sweep plots all show it.
//
// name: the form field (and, with "-" for "_", the command-line option);
// label: for the page; fallback: the program's default, in force when a
// run was not given the option; given: sent whenever the field is filled in,
// for an option whose default depends on the others.

export const program_options = [
    { name: "solid_nodes", label: "Solid nodes", fallback: "sampled" },
    { name: "stop_rule", label: "Stop rule", fallback: "quiet" },
    { name: "pressure_solver", label: "Pressure solve", fallback: "lu" },
    { name: "advection", label: "Advection", fallback: "first-order" },
    { name: "projection", label: "Projection", fallback: "nodes" },
    { name: "courant", label: "Courant number", fallback: "0.1", given: true },
    // A flow time in seconds: the run is time-accurate (--unsteady=T).
    { name: "unsteady", label: "Flow (T in s)", fallback: "steady" },
];

// The method the validation page recommends for results to trust, which
// the page starts with: one line per option (its form field and value).
export const recommended = {
    solid_nodes: "outline",
    advection: "second-order",
    stop_rule: "steady",
    pressure_solver: "fft",
};

// The options a run takes: a time-accurate run has no stop rule.
function options_taken(in_force) {
    return program_options.filter(({ name }) => name !== "stop_rule" || in_force.unsteady === "steady");
}

// True when a run's options in force are the recommended ones.
export function is_validated(record) {
    const in_force = options_in_force(record);
    return options_taken(in_force).every(({ name }) => !(name in recommended) || in_force[name] === recommended[name]);
}

// "--solid-nodes=outline --advection=second-order ...": the recommended
// options on the command line.
export function recommended_options() {
    return Object.entries(recommended).map(([name, value]) => `--${name.replaceAll("_", "-")}=${value}`).join(" ");
}

// True for a time-accurate run.
export function is_unsteady(record) {
    return options_in_force(record).unsteady !== "steady";
}

// The options in force for a run: its summary's, else those posted, else
// the program's defaults.
export function options_in_force(record) {
    const results = record.results || record.summary || {};
    return Object.fromEntries(program_options.map(({ name, fallback }) =>
        [name, results[name] ?? record.options?.[name] ?? fallback]));
}

// "NACA 0012 at 8°" for a drawn airfoil, else "".
export function airfoil_text(record) {
    const airfoil = record.airfoil;
    return airfoil?.naca ? `NACA ${airfoil.naca} at ${airfoil.angle}°` : "";
}

// True for a run posted with the grid error (its three meshes).
export function has_grid_study(record) {
    return record.options?.grid_study === "true";
}

// [label, value] of every setting, for a table.
export function settings_rows(record) {
    const in_force = options_in_force(record);
    const rows = options_taken(in_force).map(({ name, label }) => [label, in_force[name]]);
    if (has_grid_study(record)) rows.push(["Grid error", "three meshes"]);
    const airfoil = airfoil_text(record);
    return airfoil ? [...rows, ["Airfoil", airfoil]] : rows;
}

// The method in a word: "validated" for the recommended options (a
// time-accurate run's with its flow time), else the options in force:
// "covered, steady, fft, first-order, steady" (the last the flow).
export function method_text(record) {
    const in_force = options_in_force(record);
    const flow = in_force.unsteady !== "steady" ? `unsteady to ${in_force.unsteady} s` : "steady";
    if (is_validated(record)) return flow === "steady" ? "validated" : `validated, ${flow}`;
    return options_taken(in_force).map(({ name }) => (name === "unsteady" ? flow : in_force[name])).join(", ");
}

// "validated, grid error; NACA 0012 at 8°": the settings on one line.
export function settings_text(record) {
    const method = has_grid_study(record) ? `${method_text(record)}, grid error` : method_text(record);
    const airfoil = airfoil_text(record);
    return airfoil ? `${method}; ${airfoil}` : method;
}

// "coarse", or "200 across" for a mesh sized by nodes across.
export function mesh_text(record) {
    const across = record.options?.nodes_across;
    if (across) return `${across} across`;
    const choice = record.answers?.mesh_choice;
    return { 0: "coarse", 1: "standard", 2: "fine" }[choice] ?? String(choice ?? "–");
}

// "veltaro --stop-rule=steady --pressure-solver=fft < answers.txt": the run
// again, from its options as posted (the mesh's nodes across last, as the
// server passes them on, then --grid-study); program: how a shell names the program (GET
// /api/program), the bare name until the server said.
export function command_line(options = {}, program = "veltaro") {
    const given = [...program_options.map(({ name }) => name), "nodes_across"].filter((name) => options[name])
        .map((name) => `--${name.replaceAll("_", "-")}=${options[name]}`);
    if (options.grid_study === "true") given.push("--grid-study");
    return [program, ...given, "< answers.txt"].join(" ");
}
