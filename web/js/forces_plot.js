// The live plot of a time-accurate run: C_L(t) and C_D(t) from forces.csv,
// fetched again every second while the run goes (the program flushes it
// every few hundred rows), in place of the convergence plot. Its scale is
// the flow's after the start-up: the impulsive start's drag, tens of times
// the shedding's, would flatten the street into a line.

import { get_file } from "./api.js";
import { plot } from "./plot.js";

const refetch_ms = 1000;
// The program's start-up: the tilt of the inflow is gone after this many
// flow-through times L/U, and the shedding is measured from there on.
const start_up_flow_throughs = 0.6;
// file: the forces.csv followed, a grid study's mesh's in its folder.
const live = { id: null, file: "forces.csv", timer: 0, start_up: 0 };

const $ = (id) => document.getElementById(id);

// forces.csv: iteration,time,dt,lift,drag,lift_coefficient,drag_coefficient;
// the coefficients are empty without a body (then the forces are plotted).
export function parse_forces(text) {
    const rows = text.split("\n").slice(1).filter((line) => line.includes(","))
        .map((line) => line.split(",").map((cell) => (cell === "" ? NaN : Number(cell))));
    const coefficients = rows.some((row) => Number.isFinite(row[5]));
    return {
        coefficients,
        lift: rows.map((row) => [row[1], coefficients ? row[5] : row[3]]),
        drag: rows.map((row) => [row[1], coefficients ? row[6] : row[4]]),
    };
}

// The range of the values after the start-up, or, before it ends, over the
// later half of the time so far.
export function range_after_start_up(series, start_up) {
    const last = Math.max(0, ...series.map((points) => points.at(-1)?.[0] ?? 0));
    const from = Math.min(start_up, 0.5 * last);
    let [low, high] = [Infinity, -Infinity];
    for (const points of series) {
        for (const [t, value] of points) {
            if (t < from || !Number.isFinite(value)) continue;
            low = Math.min(low, value);
            high = Math.max(high, value);
        }
    }
    return low <= high ? [low, high] : null;
}

function draw(text) {
    const forces = parse_forces(text);
    const [lift, drag] = forces.coefficients ? ["C_L", "C_D"] : ["lift [N/m]", "drag [N/m]"];
    const range = range_after_start_up([forces.lift, forces.drag], live.start_up);
    plot($("forces_plot"), {
        x_label: "flow time t [s]", y_label: forces.coefficients ? "coefficient" : "force [N/m]", y_range: range,
        series: [{ name: lift, colour: "#2471a3", points: forces.lift }, { name: drag, colour: "#c0392b", points: forces.drag }],
    });
    $("forces_plot").dataset.points = String(forces.lift.length);
    $("forces_plot").dataset.yRange = range ? range.join(",") : "";
}

// L/U of a run's record, 0 where its answers give no inlet velocity.
function flow_through(record) {
    const answers = record?.answers || {};
    const [re, nu, height, length] = ["reynolds_number", "kinematic_viscosity", "tunnel_height", "tunnel_length"].map((name) => Number(answers[name]));
    const velocity = re === 0 || nu === 0 ? Number(answers.inlet_velocity) : (re * nu) / height;
    const time = length / velocity;
    return Number.isFinite(time) && time > 0 ? time : 0;
}

async function fetch_and_draw(id, file) {
    try {
        const response = await get_file(id, file);
        const text = await response.text();
        if (live.id === id && live.file === file) draw(text);
    } catch {
        // Not written yet: the next fetch will find it.
    }
}

// Shows the forces plot instead of the convergence plot for a time-accurate
// run; keeps it fresh until final is true, then draws the whole file once.
// record: the run's, for its start-up time; file: the forces.csv to follow
// (a grid study's mesh's is grid/<N>-across/forces.csv while it runs).
export function follow_forces(id, final, record, file = "forces.csv") {
    $("forces_figure").hidden = false;
    $("convergence_figure").hidden = true;
    if (live.id !== id) {
        stop_forces();
        live.id = id;
        $("forces_figure").hidden = false;
        $("convergence_figure").hidden = true;
    }
    clearInterval(live.timer);
    live.timer = 0;
    live.file = file;
    live.start_up = start_up_flow_throughs * flow_through(record);
    fetch_and_draw(id, file);
    if (!final) live.timer = setInterval(() => fetch_and_draw(id, file), refetch_ms);
}

export function stop_forces() {
    clearInterval(live.timer);
    Object.assign(live, { id: null, file: "forces.csv", timer: 0, start_up: 0 });
    $("forces_figure").hidden = true;
    $("convergence_figure").hidden = false;
    $("forces_plot").replaceChildren();
    delete $("forces_plot").dataset.points;
}
