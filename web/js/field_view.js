// The four field views drawn from flow.vtk at the canvas's own size: each
// pixel bilinear between the four nodes around it, coloured by the
// program's colour scale over the field's smallest to largest node value
// (the colour bar's), the body in grey (black is the scale's lowest value,
// which a wake at rest reaches), and streamlines from the inlet in red over
// the speed view. The program's JPEGs are at the picture's size,
// which may be a few pixels; these are as sharp as the screen.

// Key colours at s = k / 4: black, blue, green, yellow, white.
const levels = [[0, 0, 0], [0, 0, 255], [0, 255, 0], [255, 255, 0], [255, 255, 255]];
// On no colour of the scale, so a wake at rest does not merge into its body.
export const body_colour = [150, 150, 150];

// The program's colour scale, s from 0 to 1 to [r, g, b].
export function colour_of(s) {
    const t = 4 * s;
    let k = 0;
    let f = 0;
    if (t >= 4) k = 4;
    else if (t > 0) {
        k = Math.floor(t);
        f = Math.fround(t - k);
    }
    if (k === 4) return levels[4];
    return levels[k].map((level, c) => Math.floor(level - (level - levels[k + 1][c]) * f));
}

// Where a value sits on its field's scale; the middle for a flat field.
export function scale_position(value, [low, high]) {
    return high > low ? (value - low) / (high - low) : 0.5;
}

export function draw_colour_bar(canvas) {
    const context = canvas.getContext("2d");
    const image = context.createImageData(canvas.width, 1);
    for (let x = 0; x < canvas.width; ++x) image.data.set([...colour_of(x / (canvas.width - 1)), 255], 4 * x);
    for (let y = 0; y < canvas.height; ++y) context.putImageData(image, 0, y);
}

// The value at grid coordinates (gx, gy), in node spacings from node (0, 0).
function bilinear(flow, values, gx, gy) {
    const i = Math.min(flow.nx - 2, Math.max(0, Math.floor(gx)));
    const j = Math.min(flow.ny - 2, Math.max(0, Math.floor(gy)));
    const fx = gx - i;
    const fy = gy - j;
    const k = j * flow.nx + i;
    return (1 - fy) * ((1 - fx) * values[k] + fx * values[k + 1]) +
        fy * ((1 - fx) * values[k + flow.nx] + fx * values[k + flow.nx + 1]);
}

// A streamline from (0, gy) through the velocity, in grid coordinates, by
// midpoint steps of a quarter node spacing; it ends in the body, at rest or
// outside the grid.
function streamline(flow, gy, solid) {
    const points = [[0, gy]];
    let [x, y] = [0, gy];
    const inside = (a, b) => a >= 0 && a <= flow.nx - 1 && b >= 0 && b <= flow.ny - 1;
    for (let step = 0; step < 8 * (flow.nx + flow.ny) && inside(x, y); ++step) {
        const direction = (a, b) => {
            const u = bilinear(flow, flow.u, a, b) / flow.dx;
            const v = bilinear(flow, flow.v, a, b) / flow.dy;
            const speed = Math.hypot(u, v);
            return speed > 0 ? [u / speed, v / speed] : null;
        };
        const first = direction(x, y);
        if (!first) break;
        const middle = [x + 0.125 * first[0], y + 0.125 * first[1]];
        if (!inside(...middle)) break;
        const second = direction(...middle);
        if (!second) break;
        [x, y] = [x + 0.25 * second[0], y + 0.25 * second[1]];
        if (solid && inside(x, y) && bilinear(flow, solid, x, y) >= 0.5) break;
        points.push([x, y]);
    }
    return points;
}

// Seeds a tenth of the tunnel's height apart, as the program's are.
function seeds(flow) {
    const result = [];
    for (let k = 1; k < 10; ++k) result.push((k * (flow.ny - 1)) / 10);
    return result;
}

// values: one per node; range: the scale's [low, high].
export function draw_field(canvas, flow, values, range, with_streamlines) {
    const scale = window.devicePixelRatio || 1;
    const box = canvas.getBoundingClientRect();
    const width = Math.max(2, Math.round(box.width * scale));
    const height = Math.max(2, Math.round(box.height * scale));
    if (canvas.width !== width) canvas.width = width;
    if (canvas.height !== height) canvas.height = height;
    const context = canvas.getContext("2d");
    const image = context.createImageData(width, height);
    const solid = flow.solid ? Float32Array.from(flow.solid) : null;
    for (let r = 0; r < height; ++r) {
        const gy = ((height - 1 - r) * (flow.ny - 1)) / (height - 1);
        for (let c = 0; c < width; ++c) {
            const gx = (c * (flow.nx - 1)) / (width - 1);
            const body = solid && bilinear(flow, solid, gx, gy) >= 0.5;
            const colour = body ? body_colour : colour_of(scale_position(bilinear(flow, values, gx, gy), range));
            image.data.set(colour, 4 * (r * width + c));
            image.data[4 * (r * width + c) + 3] = 255;
        }
    }
    context.putImageData(image, 0, 0);
    if (!with_streamlines) return;
    context.strokeStyle = "rgb(255, 0, 0)";
    context.lineWidth = scale;
    const to_canvas = ([x, y]) => [(x * (width - 1)) / (flow.nx - 1), height - 1 - (y * (height - 1)) / (flow.ny - 1)];
    for (const gy of seeds(flow)) {
        const line = streamline(flow, gy, solid).map(to_canvas);
        context.beginPath();
        line.forEach(([x, y], k) => (k ? context.lineTo(x, y) : context.moveTo(x, y)));
        context.stroke();
    }
}
