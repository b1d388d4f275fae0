// The server's API: runs as JSON records, files by name, and the two event
// streams. Every failure comes back as an Error whose message is a sentence
// for the page (the server's own {"error": ...} where it gave one).

const final_statuses = new Set(["done", "refused", "failed", "cancelled", "interrupted"]);

export function is_final(status) {
    return final_statuses.has(status);
}

async function request(method, path, body) {
    let response;
    try {
        response = await fetch(path, { method, body, cache: "no-store" });
    } catch {
        throw new Error("The server does not answer: is veltaro serve still running?");
    }
    if (response.ok) return response;
    let reason = `${response.status} ${response.statusText}`;
    try {
        const answer = await response.json();
        if (answer && answer.error) reason = answer.error;
    } catch {
        // Not JSON: the status line says enough.
    }
    throw new Error(reason);
}

export async function list_runs() {
    return (await (await request("GET", "/api/runs")).json()).runs;
}

export async function get_run(id) {
    return (await request("GET", `/api/runs/${encodeURIComponent(id)}`)).json();
}

export async function post_run(form_data) {
    return (await request("POST", "/api/runs", form_data)).json();
}

export async function delete_run(id) {
    await request("DELETE", `/api/runs/${encodeURIComponent(id)}`);
}

// {command}: how a shell names the program, for the command lines shown.
export async function get_program() {
    return (await request("GET", "/api/program")).json();
}

export function file_url(id, name) {
    return `/api/runs/${encodeURIComponent(id)}/files/${encodeURIComponent(name)}`;
}

export function archive_url(id) {
    return `/api/runs/${encodeURIComponent(id)}/archive`;
}

export async function get_file(id, name) {
    return request("GET", file_url(id, name));
}

function parse(event) {
    try {
        return JSON.parse(event.data);
    } catch {
        return null;
    }
}

// One run's stream: handlers.iteration({count, change_u, ...}),
// handlers.grid_mesh({mesh, meshes, nodes_across, folder}) and
// handlers.status(record). Closed by the page as soon as the final status
// arrives, so the browser never asks again for a finished stream.
export function watch_run(id, handlers) {
    const source = new EventSource(`/api/runs/${encodeURIComponent(id)}/events`);
    source.addEventListener("iteration", (event) => {
        const point = parse(event);
        if (point) handlers.iteration(point);
    });
    // A grid study's next mesh: the iterations after it count from 1 again.
    source.addEventListener("grid_mesh", (event) => {
        const mesh = parse(event);
        if (mesh) handlers.grid_mesh?.(mesh);
    });
    source.addEventListener("status", (event) => {
        const record = parse(event);
        if (!record) return;
        if (is_final(record.status)) source.close();
        handlers.status(record);
    });
    source.onerror = () => handlers.connection?.(source.readyState !== EventSource.CLOSED);
    source.onopen = () => handlers.connection?.(true, true);
    return source;
}

// The store-wide stream of status changes and deletions; on_change(data)
// for every event, on_connection(open) when the server comes and goes.
export function watch_store(on_change, on_connection) {
    const source = new EventSource("/api/events");
    const handle = (event) => on_change(parse(event));
    source.addEventListener("status", handle);
    source.addEventListener("deleted", handle);
    source.onopen = () => on_connection(true);
    source.onerror = () => on_connection(false);
    return source;
}
