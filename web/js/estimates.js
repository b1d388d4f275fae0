// What a run will take, said before Run: its grid, the memory the program
// will estimate for it before it allocates anything, and a time measured
// from the runs that finished.

import { options_in_force } from "./settings.js";

const $ = (id) => document.getElementById(id);

// The newest finished runs the time is measured from, and the iterations
// a run needs for its time to be mostly its iterations': a run's seconds
// also hold its start-up (the LU factors) and its result files.
const timed_runs = 5;
const long_run = 100;
// The grid study's three runs against its finest alone: 1 + 1/r^3 + 1/r^6
// at r = sqrt(2), for runs of as many iterations; the steady rule takes
// fewer on the coarser meshes.
const grid_cost = 1.5;

let finished = [];  // the runs list's done runs with a time, newest first

// The program's estimate (src/driver/run_memory.cpp, docs/method.md §12),
// n = nx ny nodes:
//   bytes = 16e6 + 80 n (+ 8 n with second-order advection)
//           + 20 n with the transform solve, or
//           + n max(260 log2(ny) - 850, 100) with the LU factors.
export function memory_bytes(mesh, pressure_solver, advection) {
    const nodes = mesh.nx * mesh.ny;
    const solve = pressure_solver === "fft" ? 20 : Math.max(260 * Math.log2(mesh.ny) - 850, 100);
    return 16e6 + nodes * (80 + (advection === "second-order" ? 8 : 0) + solve);
}

// "21 MB", "1.3 GB", as the program's refusal writes gigabytes.
export function bytes_text(bytes) {
    if (bytes < 1e9) return `${Math.max(1, Math.round(bytes / 1e6))} MB`;
    return `${bytes >= 100e9 ? Math.round(bytes / 1e9) : Number((bytes / 1e9).toPrecision(2))} GB`;
}

// "0.84 ms", "12 s", "4.2 min", "2.5 h".
function duration_text(seconds) {
    const short = (value) => Number(value.toPrecision(2));
    if (seconds < 1) return `${short(seconds * 1000)} ms`;
    if (seconds < 60) return `${short(seconds)} s`;
    return seconds < 3600 ? `${short(seconds / 60)} min` : `${short(seconds / 3600)} h`;
}

// The runs list, newest first, as the page last fetched it.
export function follow_runs(runs) {
    finished = runs.filter((r) => r.status === "done" && r.results?.seconds > 0 && r.results?.iterations > 0 && r.results?.nx > 0 && r.results?.ny > 0);
}

// A run's seconds and node iterations: a grid study's are its three
// meshes' together.
function timing(record) {
    const meshes = record.results.grid_study?.meshes;
    const runs = Array.isArray(meshes) && meshes.every((m) => m.seconds > 0 && m.iterations > 0 && m.nx > 0 && m.ny > 0)
        ? meshes : [record.results];
    return {
        seconds: runs.reduce((sum, m) => sum + m.seconds, 0),
        node_iterations: runs.reduce((sum, m) => sum + m.iterations * m.nx * m.ny, 0),
    };
}

// Seconds per node and iteration, seconds / (iterations nx ny) summed over
// the newest finished runs with the same pressure solve (else any: the
// solves differ most in cost per node), long ones where there are any.
// Null before any run has finished.
export function time_per_node_iteration(pressure_solver) {
    const same = finished.filter((r) => options_in_force(r).pressure_solver === pressure_solver);
    const solved = same.length ? same : finished;
    const long = solved.filter((r) => r.results.iterations >= long_run);
    const runs = (long.length ? long : solved).slice(0, timed_runs);
    if (runs.length === 0) return null;
    const seconds = runs.reduce((sum, r) => sum + timing(r).seconds, 0);
    const node_iterations = runs.reduce((sum, r) => sum + timing(r).node_iterations, 0);
    return { seconds: seconds / node_iterations, runs: runs.length, same_solve: same.length > 0, short: long.length === 0 };
}

function time_text(mesh, options, max_iterations) {
    const measured = time_per_node_iteration(options.pressure_solver);
    if (!measured) return "no estimate yet: it is measured from the runs that finish (their seconds per node and iteration)";
    const per_iteration = measured.seconds * mesh.nx * mesh.ny;
    const limit = max_iterations > 0 ? `, at most ${duration_text(per_iteration * max_iterations)} for the limit of ${max_iterations.toLocaleString("en")} iterations` : "";
    const runs = measured.runs > 1 ? `the last ${measured.runs} finished runs` : "the last finished run";
    const solve = measured.same_solve ? `with the ${options.pressure_solver} solve` : "with another pressure solve";
    const short = measured.short ? `; of fewer than ${long_run} iterations each, so their start-up and result files make this high` : "";
    const grid = options.grid_study ? `; the grid error's two coarser meshes add about half of that (${grid_cost} times in all)` : "";
    return `about ${duration_text(per_iteration)} per iteration${limit} (from ${runs} ${solve}${short})${grid}`;
}

// mesh: {nx, ny, dx} or null when the tunnel is unusable; options: the
// pressure solve and advection chosen, and grid_study (true for the grid
// error).
export function show_estimates(mesh, options, max_iterations) {
    const usable = mesh && mesh.nx >= 3 && mesh.ny >= 3;
    const nodes = usable ? mesh.nx * mesh.ny : NaN;
    $("estimate_nodes").textContent = usable
        ? `${mesh.nx.toLocaleString("en")} × ${mesh.ny.toLocaleString("en")} = ${nodes.toLocaleString("en")} nodes, ${Number(mesh.dx.toPrecision(4))} m apart` : "–";
    $("estimate_memory").textContent = usable
        ? `about ${bytes_text(memory_bytes(mesh, options.pressure_solver, options.advection))} with the ${options.pressure_solver} solve and ${options.advection} advection; the program refuses a run its machine's memory cannot hold` : "–";
    $("estimate_time").textContent = usable ? time_text(mesh, options, max_iterations) : "–";
}
