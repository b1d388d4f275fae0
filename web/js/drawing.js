// The drawing: a mask of pixels stretched over the tunnel, the tools that
// change it, undo and redo, and the picture that is sent with a run.
//
// A drawing has 200 pixel rows across the tunnel's height and square pixels,
// so the fine mesh (100 nodes across) gets two pixels per node spacing each
// way. An uploaded picture keeps its own pixels until it is drawn over, so
// that it is sent to the server byte for byte. The drawing is kept in the
// browser's storage after every change, so that it survives a reload.

import { airfoil_shape } from "./airfoil.js";
import {
    copy_mask, fill_capsule, fill_ellipse, fill_mirrored, fill_polygon, fill_rectangle, make_mask, mask_from_pixels, resample,
} from "./raster.js";

const rows_per_height = 200;
const history_limit = 60;
const close_distance = 8;  // CSS pixels from the first corner that close a polygon
const storage_key = "veltaro.drawing";
const stored_upload_limit = 4 << 20;  // bytes of an uploaded picture kept across a reload
// A shape's centre within this many pixel rows of the tunnel's mirror line
// is put on it.
const mirror_snap_rows = 2;

export const tool_hints = {
    brush: "Brush: press and drag to paint solid.",
    eraser: "Eraser: press and drag to clear.",
    circle: "Circle: press at the centre, drag to the rim, release. A centre near the dashed mirror line is put on it.",
    ellipse: "Ellipse: drag from one corner of its box to the other. A centre near the dashed mirror line is put on it.",
    rectangle: "Rectangle: drag from one corner to the other. A centre near the dashed mirror line is put on it.",
    polygon: "Polygon: click its corners; click the first corner again (or double-click, or Enter) to fill it. Escape drops it.",
    airfoil: "Airfoil: set its digits, chord, angle and centre, then Place airfoil, or click where its centre goes. A centre near the dashed mirror line is put on it.",
};

export function drawing_size(length, height) {
    return { width: Math.max(1, Math.round((rows_per_height * length) / height)), height: rows_per_height };
}

export function create_drawing(canvas, overlay, on_change) {
    const d = {
        canvas, overlay, on_change,
        mask: make_mask(800, rows_per_height),
        source: null,  // the mask as last edited, which a new tunnel size is resampled from
        upload: null,  // {file, readable} while an uploaded picture is not drawn over
        airfoil: null,  // {naca, angle} while the drawing is one placed airfoil
        tunnel: { length: 4, height: 1 },
        mesh: { nx: 200, ny: 50 },
        tool: "brush", size: 8,
        undo: [], redo: [],
        gesture: null, polygon: [],
    };
    canvas.addEventListener("pointerdown", (event) => pointer_down(d, event));
    canvas.addEventListener("pointermove", (event) => pointer_move(d, event));
    canvas.addEventListener("pointerup", (event) => pointer_up(d, event));
    canvas.addEventListener("dblclick", () => close_polygon(d));
    new ResizeObserver(() => render_overlay(d)).observe(canvas);
    d.source = d.mask;
    render(d);
    return d;
}

// --- state and history ---------------------------------------------------

function snapshot(d) {
    return { mask: copy_mask(d.mask), upload: d.upload, airfoil: d.airfoil };
}

function restore(d, state) {
    d.mask = state.mask;
    d.upload = state.upload;
    d.airfoil = state.airfoil;
    d.source = d.mask;
    follow_size(d);
    render(d);
    keep(d);
    d.on_change();
}

// A drawing always has the drawing size of the current tunnel, resampled
// from the drawing as it was last edited (so that trying another length
// and coming back loses nothing).
function follow_size(d) {
    const size = drawing_size(d.tunnel.length, d.tunnel.height);
    if (!d.upload && (size.width !== d.mask.width || size.height !== d.mask.height)) {
        d.mask = resample(d.source, size.width, size.height);
    }
}

// Every change goes through here: the state before it is kept for undo, and
// an uploaded picture becomes a drawing at the drawing's resolution.
function begin_change(d) {
    d.undo.push(snapshot(d));
    if (d.undo.length > history_limit) d.undo.shift();
    d.redo = [];
    d.airfoil = null;
    if (d.upload) {
        const size = drawing_size(d.tunnel.length, d.tunnel.height);
        d.mask = resample(d.mask, size.width, size.height);
        d.upload = null;
        resize_canvas(d);
    }
}

export function undo(d) {
    if (d.undo.length === 0) return;
    d.redo.push(snapshot(d));
    restore(d, d.undo.pop());
}

export function redo(d) {
    if (d.redo.length === 0) return;
    d.undo.push(snapshot(d));
    restore(d, d.redo.pop());
}

export function clear(d) {
    begin_change(d);
    const size = drawing_size(d.tunnel.length, d.tunnel.height);
    d.mask = make_mask(size.width, size.height);
    finish_change(d);
}

function finish_change(d) {
    d.source = d.mask;
    render(d);
    keep(d);
    d.on_change();
}

// --- kept across a reload ------------------------------------------------

// Run lengths of alternating open and solid pixels, open first.
function run_lengths(data) {
    const runs = [];
    let value = 0;
    let count = 0;
    for (const pixel of data) {
        if (pixel === value) ++count;
        else {
            runs.push(count);
            value = pixel;
            count = 1;
        }
    }
    runs.push(count);
    return runs;
}

function from_run_lengths(width, height, runs) {
    const mask = make_mask(width, height);
    let at = 0;
    runs.forEach((count, k) => {
        if (k % 2) mask.data.fill(1, at, at + count);
        at += count;
    });
    return mask;
}

async function keep(d) {
    try {
        const kept = { airfoil: d.airfoil };
        if (d.upload && d.upload.file.size <= stored_upload_limit) {
            const bytes = new Uint8Array(await d.upload.file.arrayBuffer());
            let text = "";
            for (let k = 0; k < bytes.length; k += 0x8000) text += String.fromCharCode(...bytes.subarray(k, k + 0x8000));
            kept.upload = { name: d.upload.file.name, type: d.upload.file.type, base64: btoa(text) };
        } else {
            Object.assign(kept, { width: d.mask.width, height: d.mask.height, runs: run_lengths(d.mask.data) });
        }
        localStorage.setItem(storage_key, JSON.stringify(kept));
    } catch {
        // Storage full or refused: the drawing simply is not kept.
    }
}

// The drawing kept by an earlier visit, if any.
export async function bring_back(d) {
    let kept = null;
    try {
        kept = JSON.parse(localStorage.getItem(storage_key) || "null");
    } catch {
        return;
    }
    if (!kept) return;
    if (kept.upload) {
        const bytes = Uint8Array.from(atob(kept.upload.base64), (c) => c.charCodeAt(0));
        await load_upload(d, new File([bytes], kept.upload.name, { type: kept.upload.type }), kept.airfoil || null);
    } else if (kept.width > 0 && kept.height > 0 && Array.isArray(kept.runs)) {
        d.mask = from_run_lengths(kept.width, kept.height, kept.runs);
        d.source = d.mask;
        follow_size(d);
        render(d);
        d.on_change();
    }
    d.airfoil = kept.airfoil || null;
    d.undo = [];
}

// The tunnel's proportions or the mesh changed: a drawing follows the new
// shape (its pixels stretched, as the program would stretch them).
export function set_tunnel(d, length, height, mesh) {
    d.tunnel = { length, height };
    d.mesh = mesh;
    d.canvas.parentElement.style.aspectRatio = `${length} / ${height}`;
    follow_size(d);
    render(d);
    render_overlay(d);
}

export function set_tool(d, tool) {
    d.tool = tool;
    d.polygon = [];
    d.gesture = null;
    render_overlay(d);
}

// --- upload --------------------------------------------------------------

// Shows an uploaded picture as the program will see it. A file the browser
// cannot decode is still kept (the program judges it and says why).
// airfoil: the tag of a run's drawn airfoil, loaded again.
export async function load_upload(d, file, airfoil = null) {
    begin_change(d);
    d.upload = { file, readable: false };
    try {
        const bitmap = await createImageBitmap(file, { colorSpaceConversion: "none" });
        const paper = new OffscreenCanvas(bitmap.width, bitmap.height);
        const context = paper.getContext("2d");
        context.fillStyle = "#fff";
        context.fillRect(0, 0, bitmap.width, bitmap.height);
        context.drawImage(bitmap, 0, 0);
        d.mask = mask_from_pixels(context.getImageData(0, 0, bitmap.width, bitmap.height));
        d.upload.readable = true;
    } catch {
        d.mask = make_mask(d.mask.width, d.mask.height);
    }
    d.airfoil = airfoil;
    finish_change(d);
    return d.upload.readable;
}

// The picture to post: the uploaded file untouched, or the drawing as a
// black-and-white PNG.
export async function picture_to_send(d) {
    if (d.upload) return { blob: d.upload.file, name: d.upload.file.name || "picture" };
    return { blob: await mask_png(d.mask), name: "drawing.png" };
}

function mask_png(mask) {
    const paper = new OffscreenCanvas(mask.width, mask.height);
    paper.getContext("2d").putImageData(mask_image(mask), 0, 0);
    return paper.convertToBlob({ type: "image/png" });
}

// Replaces the drawing with a stored picture (re-running an old run), with
// the run's airfoil tag, kept across a reload with the picture.
export async function load_picture(d, blob, name, airfoil = null) {
    await load_upload(d, new File([blob], name, { type: blob.type }), airfoil);
}

// --- rendering -----------------------------------------------------------

function mask_image(mask) {
    const image = new ImageData(mask.width, mask.height);
    const rgba = new Uint32Array(image.data.buffer);
    const black = 0xff000000;  // little-endian RGBA: opaque black
    const white = 0xffffffff;
    for (let k = 0; k < mask.data.length; ++k) rgba[k] = mask.data[k] ? black : white;
    return image;
}

function resize_canvas(d) {
    if (d.canvas.width !== d.mask.width) d.canvas.width = d.mask.width;
    if (d.canvas.height !== d.mask.height) d.canvas.height = d.mask.height;
}

function render(d) {
    resize_canvas(d);
    d.canvas.getContext("2d").putImageData(mask_image(d.mask), 0, 0);
}

// The light grid of the mesh's nodes, and the shape being dragged out.
export function render_overlay(d) {
    const box = d.canvas.getBoundingClientRect();
    const scale = window.devicePixelRatio || 1;
    const width = Math.max(1, Math.round(box.width * scale));
    const height = Math.max(1, Math.round(box.height * scale));
    if (d.overlay.width !== width) d.overlay.width = width;
    if (d.overlay.height !== height) d.overlay.height = height;
    const context = d.overlay.getContext("2d");
    context.clearRect(0, 0, width, height);
    const { nx, ny } = d.mesh;
    // Lines closer than a pixel would be a wash of colour, and a mesh of
    // millions of them would hold the page up.
    if (nx > 1 && ny > 1 && width / (nx - 1) >= 1) {
        const spacing = width / (nx - 1);
        context.strokeStyle = `rgba(40, 110, 200, ${Math.min(0.35, spacing / 25)})`;
        context.lineWidth = 1;
        context.beginPath();
        for (let i = 0; i < nx; ++i) {
            const x = Math.min(width - 0.5, Math.max(0.5, (i * width) / (nx - 1)));
            context.moveTo(x, 0);
            context.lineTo(x, height);
        }
        for (let j = 0; j < ny; ++j) {
            const y = Math.min(height - 0.5, Math.max(0.5, (j * height) / (ny - 1)));
            context.moveTo(0, y);
            context.lineTo(width, y);
        }
        context.stroke();
    }
    // The tunnel's mirror line, which symmetric shapes snap to.
    context.save();
    context.strokeStyle = "rgba(220, 60, 30, 0.55)";
    context.setLineDash([6 * scale, 6 * scale]);
    context.beginPath();
    context.moveTo(0, Math.round(height / 2) + 0.5);
    context.lineTo(width, Math.round(height / 2) + 0.5);
    context.stroke();
    context.restore();
    draw_preview(d, context, width / d.mask.width, height / d.mask.height);
}

function draw_preview(d, context, sx, sy) {
    context.fillStyle = "rgba(220, 60, 30, 0.45)";
    context.strokeStyle = "rgb(220, 60, 30)";
    const g = d.gesture;
    if (g && (d.tool === "circle" || d.tool === "ellipse" || d.tool === "rectangle")) {
        const { cx, cy, rx, ry } = dragged_shape(d, g);
        context.beginPath();
        if (d.tool === "rectangle") context.rect((cx - rx) * sx, (cy - ry) * sy, 2 * rx * sx, 2 * ry * sy);
        else context.ellipse(cx * sx, cy * sy, rx * sx, ry * sy, 0, 0, 2 * Math.PI);
        context.fill();
    }
    if (d.polygon.length > 0) {
        [sx, sy] = [sx * d.mask.width, sy * d.mask.height];  // corners are fractions
        context.beginPath();
        d.polygon.forEach(([x, y], k) => (k ? context.lineTo(x * sx, y * sy) : context.moveTo(x * sx, y * sy)));
        if (d.hover) context.lineTo(d.hover[0] * sx, d.hover[1] * sy);
        context.stroke();
        for (const [x, y] of d.polygon) context.fillRect(x * sx - 3, y * sy - 3, 6, 6);
    }
}

// --- shapes symmetric about their centre line ------------------------------

// The row line a shape's centre is drawn on, in pixel rows from the top:
// the tunnel's mirror line (the middle of the picture, which is stretched
// over the grid, so the grid's mirror line too) when it is within
// mirror_snap_rows, else the nearest pixel edge or centre. Either way a
// shape symmetric about its centre line gets mirror-symmetric pixels, and
// one on the mirror line gets a mirror-symmetric set of solid nodes: no
// lift from the pixels alone.
function centre_line(mask, row) {
    const mirror = mask.height / 2;
    return Math.abs(row - mirror) <= mirror_snap_rows ? mirror : Math.round(2 * row) / 2;
}

// The circle, ellipse or rectangle of a drag, in pixel units: its centre
// and half sides, the centre moved onto its centre line.
function dragged_shape(d, g) {
    const [x0, y0] = g.from;
    const [x1, y1] = g.to;
    if (d.tool === "circle") {
        const radius = Math.hypot(x1 - x0, y1 - y0);
        return { cx: x0, cy: centre_line(d.mask, y0), rx: radius, ry: radius };
    }
    return { cx: (x0 + x1) / 2, cy: centre_line(d.mask, (y0 + y1) / 2), rx: Math.abs(x1 - x0) / 2, ry: Math.abs(y1 - y0) / 2 };
}

function fill_dragged(mask, tool, { cx, cy, rx, ry }) {
    fill_mirrored(mask, cy, (scratch) => (tool === "rectangle"
        ? fill_rectangle(scratch, cx - rx, cy - ry, cx + rx, cy + ry)
        : fill_ellipse(scratch, cx, cy, rx, ry)));
}

// --- pointer gestures ----------------------------------------------------

// The pointer's place in pixel units of the mask.
function pixel_at(d, event) {
    const box = d.canvas.getBoundingClientRect();
    return [
        ((event.clientX - box.left) * d.mask.width) / box.width,
        ((event.clientY - box.top) * d.mask.height) / box.height,
    ];
}

function brush_radius(d) {
    // The size is in pixels of a drawing; an uploaded picture of another
    // size is resampled to the drawing first, in begin_change.
    return Math.max(0.5, d.size / 2);
}

function pointer_down(d, event) {
    if (event.button !== 0) return;
    event.preventDefault();
    if (d.tool === "polygon") return polygon_click(d, event);
    if (d.tool === "airfoil") return d.on_airfoil_click?.(tunnel_point(d, pixel_at(d, event)));
    d.canvas.setPointerCapture(event.pointerId);
    begin_change(d);
    const at = pixel_at(d, event);
    d.gesture = { from: at, to: at };
    if (d.tool === "brush" || d.tool === "eraser") {
        fill_capsule(d.mask, at, at, brush_radius(d), d.tool === "brush" ? 1 : 0);
        render(d);
    }
}

function pointer_move(d, event) {
    const at = pixel_at(d, event);
    if (d.tool === "polygon" && d.polygon.length > 0) {
        d.hover = [at[0] / d.mask.width, at[1] / d.mask.height];
        render_overlay(d);
        return;
    }
    if (!d.gesture) return;
    if (d.tool === "brush" || d.tool === "eraser") {
        fill_capsule(d.mask, d.gesture.to, at, brush_radius(d), d.tool === "brush" ? 1 : 0);
        render(d);
    }
    d.gesture.to = at;
    render_overlay(d);
}

function pointer_up(d, event) {
    const g = d.gesture;
    if (!g) return;
    g.to = pixel_at(d, event);
    d.gesture = null;
    if (d.tool === "circle" || d.tool === "ellipse" || d.tool === "rectangle") fill_dragged(d.mask, d.tool, dragged_shape(d, g));
    render_overlay(d);
    finish_change(d);
}

// Polygon corners are kept as fractions of the picture, which may change
// resolution when the first one is filled into an uploaded picture.
function polygon_click(d, event) {
    const [px, py] = pixel_at(d, event);
    const at = [px / d.mask.width, py / d.mask.height];
    const box = d.canvas.getBoundingClientRect();
    const first = d.polygon[0];
    const distance = first ? Math.hypot((at[0] - first[0]) * box.width, (at[1] - first[1]) * box.height) : Infinity;
    if (d.polygon.length >= 3 && distance <= close_distance) {
        close_polygon(d);
        return;
    }
    d.polygon.push(at);
    render_overlay(d);
}

export function close_polygon(d) {
    if (d.polygon.length >= 3) {
        begin_change(d);
        fill_polygon(d.mask, d.polygon.map(([x, y]) => [x * d.mask.width, y * d.mask.height]));
        finish_change(d);
    }
    d.polygon = [];
    d.hover = null;
    render_overlay(d);
}

export function drop_polygon(d) {
    d.polygon = [];
    d.hover = null;
    render_overlay(d);
}

// --- airfoil -------------------------------------------------------------

function tunnel_point(d, [px, py]) {
    return [(px * d.tunnel.length) / d.mask.width, (1 - py / d.mask.height) * d.tunnel.height];
}

// The chord's midpoint is moved onto its centre line (at most half a pixel,
// or mirror_snap_rows onto the mirror line). A symmetric section is drawn
// mirror-symmetric in its pixels at zero incidence, and at a negative angle
// as the positive angle's pixels turned over about the line through its
// pivot, so that +a and -a give mirror pictures and opposite lifts.
function draw_airfoil(mask, tunnel, shape, chord, angle, centre_x, centre_y) {
    const row = (1 - centre_y / tunnel.height) * mask.height;
    const line = centre_line(mask, row);
    const to_pixels = ([x, y]) => [(x * mask.width) / tunnel.length, (1 - y / tunnel.height) * mask.height + line - row];
    const symmetric = shape.m === 0;
    const fill = (target) => {
        const { outline, camber_line } = airfoil_shape(shape, chord, symmetric ? Math.abs(angle) : angle, centre_x, centre_y);
        fill_polygon(target, outline.map(to_pixels));
        const points = camber_line.map(to_pixels);
        // Just over half a pixel: both rows along a line on a pixel edge.
        for (let k = 1; k < points.length; ++k) fill_capsule(target, points[k - 1], points[k], 0.51, 1);
    };
    if (!symmetric || angle > 0) fill(mask);
    else fill_mirrored(mask, line, fill, angle < 0);
}

// about: {naca, angle}, what the runs list will say of the drawing.
export function place_airfoil(d, shape, chord, angle, centre_x, centre_y, about) {
    begin_change(d);
    draw_airfoil(d.mask, d.tunnel, shape, chord, angle, centre_x, centre_y);
    d.airfoil = about;
    finish_change(d);
}

// One run of an angle sweep: the airfoil alone in a drawing of the tunnel's
// size, as a picture to post; the drawing on the page is left as it is.
export async function airfoil_picture(d, shape, chord, angle, centre_x, centre_y) {
    const size = drawing_size(d.tunnel.length, d.tunnel.height);
    const mask = make_mask(size.width, size.height);
    draw_airfoil(mask, d.tunnel, shape, chord, angle, centre_x, centre_y);
    return { blob: await mask_png(mask), name: "drawing.png" };
}
