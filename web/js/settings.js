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

// [label, value] of every setting, for a table.
export function settings_rows(record) {
    const in_force = options_in_force(record);
    const rows = program_options.map(({ name, label }) => [label, in_force[name]]);
    const airfoil = airfoil_text(record);
    return airfoil ? [...rows, ["Airfoil", airfoil]] : rows;
}

// "covered, steady, fft; NACA 0012 at 8°": the settings on one line.
export function settings_text(record) {
    const options = Object.values(options_in_force(record)).join(", ");
    const airfoil = airfoil_text(record);
    return airfoil ? `${options}; ${airfoil}` : options;
}

// "veltaro --stop-rule=steady --pressure-solver=fft < answers.txt": the run
// again, from its options as posted.
export function command_line(options = {}) {
    const given = program_options.filter(({ name }) => options[name])
        .map(({ name }) => `--${name.replaceAll("_", "-")}=${options[name]}`);
    return ["veltaro", ...given, "< answers.txt"].join(" ");
}
