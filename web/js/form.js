// The answers form: the dialogue's questions with their units, checked for
// what is plainly invalid before a run is posted. The program still judges
// the answers; its refusal comes back as the run's message.

export const answer_fields = [
    "reynolds_number", "kinematic_viscosity", "density", "tunnel_height", "tunnel_length",
    "mesh_choice", "max_iterations", "inlet_velocity",
];

// The program's options and its defaults, in the order its command line
// takes them. An option is sent only when it differs from the program's
// default (the page's own choices are the selects' selected values), so a
// run's options are exactly what its command line needs.
export const option_defaults = { solid_nodes: "sampled", stop_rule: "quiet", pressure_solver: "lu" };

const labels = {
    reynolds_number: "The Reynolds number", kinematic_viscosity: "The kinematic viscosity",
    density: "The density", tunnel_height: "The tunnel height", tunnel_length: "The tunnel length",
    max_iterations: "The maximum number of iterations", inlet_velocity: "The inlet velocity",
};

function input(name) {
    return document.getElementById(name);
}

function number_of(name) {
    const text = input(name).value.trim();
    return text === "" ? NaN : Number(text);
}

// The program asks for the inlet velocity only when Re or nu is zero.
export function inlet_velocity_is_asked() {
    return number_of("reynolds_number") === 0 || number_of("kinematic_viscosity") === 0;
}

export function update_inlet_field() {
    input("inlet_velocity_field").hidden = !inlet_velocity_is_asked();
}

// The numbers as typed, for the drawing's measures (NaN where not a number).
export function read_answers() {
    const answers = {};
    for (const name of answer_fields) answers[name] = number_of(name);
    answers.mesh_choice = Number(input("mesh_choice").value);
    return answers;
}

// Sentences for what is plainly invalid; each field in error is marked.
export function check_answers() {
    const problems = [];
    const fields = answer_fields.filter((name) => name !== "mesh_choice" && (name !== "inlet_velocity" || inlet_velocity_is_asked()));
    for (const name of fields) {
        const text = input(name).value.trim();
        let problem = null;
        if (text === "") problem = `${labels[name]} is empty.`;
        else if (!Number.isFinite(Number(text))) problem = `${labels[name]} is not a number: "${text}".`;
        else if (name === "max_iterations" && !Number.isInteger(Number(text))) problem = `${labels[name]} must be a whole number.`;
        else if (["density", "tunnel_height", "tunnel_length"].includes(name) && Number(text) <= 0) {
            problem = `${labels[name]} must be a positive number.`;
        }
        input(name).setAttribute("aria-invalid", problem ? "true" : "false");
        if (problem) problems.push(problem);
    }
    return problems;
}

// The answers as the server's form fields, the inlet velocity only where
// the program asks for it and the options only where they differ.
export function append_answers(form_data, overrides = {}) {
    for (const name of answer_fields) {
        if (name === "inlet_velocity" && !inlet_velocity_is_asked()) continue;
        form_data.append(name, overrides[name] ?? input(name).value.trim());
    }
    for (const [name, default_value] of Object.entries(option_defaults)) {
        const value = input(name).value;
        if (value !== default_value) form_data.append(name, value);
    }
}

// The options in force for a run: its summary's, else those posted, else
// the program's defaults.
export function options_in_force(record) {
    const given = { ...option_defaults, ...record.options };
    const results = record.results || record.summary || {};
    return Object.fromEntries(Object.keys(option_defaults).map((name) => [name, results[name] ?? given[name]]));
}

// "veltaro --stop-rule=steady --pressure-solver=fft < answers.txt": the run
// again, from its options as posted.
export function command_line(options = {}) {
    const given = Object.keys(option_defaults).filter((name) => options[name])
        .map((name) => `--${name.replaceAll("_", "-")}=${options[name]}`);
    return ["veltaro", ...given, "< answers.txt"].join(" ");
}

// Fills the form from a run's record (to re-run it with changes).
export function fill_answers(answers) {
    for (const name of answer_fields) {
        if (answers[name] !== undefined && answers[name] !== null) input(name).value = String(answers[name]);
    }
    for (const [name, default_value] of Object.entries(option_defaults)) input(name).value = answers[name] ?? default_value;
    update_inlet_field();
}
