// Reads the program's flow.vtk: legacy VTK, BINARY, STRUCTURED_POINTS, with
// big-endian 32-bit values stored a grid row at a time (index j * nx + i).
// Gives {nx, ny, dx, dy, u, v, p, solid} with Float32Array / Int32Array data.

function reader(buffer) {
    const bytes = new Uint8Array(buffer);
    const view = new DataView(buffer);
    let at = 0;
    return {
        line() {
            const end = bytes.indexOf(10, at);
            if (end < 0) throw new Error("flow.vtk ends inside its header");
            const text = new TextDecoder().decode(bytes.subarray(at, end)).trim();
            at = end + 1;
            return text;
        },
        // The next line that holds something (a section ends with a newline).
        word_line() {
            while (at < bytes.length) {
                const text = this.line();
                if (text) return text;
            }
            return null;
        },
        values(count, type) {
            if (at + 4 * count > bytes.length) throw new Error("flow.vtk is shorter than its header says");
            const out = type === "int" ? new Int32Array(count) : new Float32Array(count);
            for (let k = 0; k < count; ++k, at += 4) {
                out[k] = type === "int" ? view.getInt32(at, false) : view.getFloat32(at, false);
            }
            return out;
        },
    };
}

export function parse_vtk(buffer) {
    const input = reader(buffer);
    const header = {};
    for (let text = input.word_line(); text !== null; text = input.word_line()) {
        const [key, ...rest] = text.split(/\s+/);
        if (key === "DIMENSIONS") [header.nx, header.ny] = rest.map(Number);
        if (key === "SPACING") [header.dx, header.dy] = rest.map(Number);
        if (key === "POINT_DATA") break;
    }
    if (!header.nx || !header.ny) throw new Error("flow.vtk has no grid dimensions");
    const count = header.nx * header.ny;
    const field = { ...header };
    for (let text = input.word_line(); text !== null; text = input.word_line()) {
        const [key, name, type, components] = text.split(/\s+/);
        if (key === "VECTORS" && name === "velocity") {
            const values = input.values(3 * count, type);
            field.u = new Float32Array(count);
            field.v = new Float32Array(count);
            for (let k = 0; k < count; ++k) [field.u[k], field.v[k]] = [values[3 * k], values[3 * k + 1]];
        } else if (key === "SCALARS") {
            input.line();  // LOOKUP_TABLE default
            field[name === "pressure" ? "p" : name] = input.values(count * Number(components || 1), type);
        }
    }
    if (!field.u || !field.p) throw new Error("flow.vtk holds no velocity or pressure");
    return field;
}

// The value of a field at node (i, j).
export function at_node(field, values, i, j) {
    return values[j * field.nx + i];
}

export function range_of(values) {
    let low = Infinity;
    let high = -Infinity;
    for (const value of values) {
        if (!Number.isFinite(value)) continue;
        low = Math.min(low, value);
        high = Math.max(high, value);
    }
    return [low, high];
}
