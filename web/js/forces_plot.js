// The live plot of a time-accurate run: C_L(t) and C_D(t) from forces.csv,
// fetched again every second while the run goes (the program flushes it
// every few hundred rows), in place of the convergence plot.

import { get_file } from "./api.js";
import { plot } from "./plot.js";

const refetch_ms = 1000;
const live = { id: null, timer: 0 };

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

function draw(text) {
    const forces = parse_forces(text);
    const [lift, drag] = forces.coefficients ? ["C_L", "C_D"] : ["lift [N/m]", "drag [N/m]"];
    plot($("forces_plot"), {
        x_label: "flow time t [s]", y_label: forces.coefficients ? "coefficient" : "force [N/m]",
        series: [{ name: lift, colour: "#2471a3", points: forces.lift }, { name: drag, colour: "#c0392b", points: forces.drag }],
    });
    $("forces_plot").dataset.points = String(forces.lift.length);
}

async function fetch_and_draw(id) {
    try {
        const response = await get_file(id, "forces.csv");
        const text = await response.text();
        if (live.id === id) draw(text);
    } catch {
        // Not written yet: the next fetch will find it.
    }
}

// Shows the forces plot instead of the convergence plot for a time-accurate
// run; keeps it fresh until final is true, then draws the whole file once.
export function follow_forces(id, final) {
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
    fetch_and_draw(id);
    if (!final) live.timer = setInterval(() => fetch_and_draw(id), refetch_ms);
}

export function stop_forces() {
    clearInterval(live.timer);
    Object.assign(live, { id: null, timer: 0 });
    $("forces_figure").hidden = true;
    $("convergence_figure").hidden = false;
    $("forces_plot").replaceChildren();
    delete $("forces_plot").dataset.points;
}
