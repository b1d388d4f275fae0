// Small SVG line plots: the convergence history (log scale), the sweep's
// coefficients against Re_D and an airfoil's polar. plot(svg, figure)
// redraws the whole figure.
//
// figure = {series: [{name, colour, points: [[x, y], ...], markers}] (a
//         point [x, y, dy, dx] has an error bar y ± dy, and x ± dx, where
//         dy, dx are finite), title (words at the frame's top left),
//         lines: [{y, label}] (dashed, horizontal), marks: [{x, y, label}]
//         (a ring with its words), log_y, x_label, y_label, y_range: [low,
//         high] (the values outside it are cut at the frame)}
//
// The legend sits above the frame, where no point or mark can cover it.

const ns = "http://www.w3.org/2000/svg";
const box = { left: 64, right: 12, top: 26, bottom: 36 };
let clip_count = 0;  // one clip path id per plot drawn

function node(tag, attributes, text) {
    const item = document.createElementNS(ns, tag);
    for (const [name, value] of Object.entries(attributes)) item.setAttribute(name, value);
    if (text !== undefined) item.textContent = text;
    return item;
}

function extent(values, log) {
    const usable = values.filter((v) => Number.isFinite(v) && (!log || v > 0));
    if (usable.length === 0) return log ? [1e-8, 1] : [0, 1];
    // A loop, not Math.min(...values): a long run has more values than a
    // call may take arguments.
    let low = Infinity;
    let high = -Infinity;
    for (const v of usable) {
        low = Math.min(low, v);
        high = Math.max(high, v);
    }
    if (log) return [10 ** Math.floor(Math.log10(low)), 10 ** Math.ceil(Math.log10(high) + 1e-9)];
    if (low === high) [low, high] = [low - Math.abs(low || 1) * 0.1, high + Math.abs(high || 1) * 0.1];
    const pad = (high - low) * 0.08;
    return [low - pad, high + pad];
}

function ticks(low, high, log) {
    if (log) {
        const result = [];
        const step = Math.max(1, Math.ceil((Math.log10(high) - Math.log10(low)) / 6));
        for (let e = Math.log10(low); e <= Math.log10(high) + 1e-9; e += step) result.push(10 ** e);
        return result;
    }
    const raw = (high - low) / 5;
    const magnitude = 10 ** Math.floor(Math.log10(raw));
    const step = [1, 2, 5, 10].map((f) => f * magnitude).find((s) => s >= raw);
    const result = [];
    for (let t = Math.ceil(low / step) * step; t <= high + step * 1e-9; t += step) result.push(Number(t.toPrecision(12)));
    return result;
}

function tick_text(value, log) {
    if (log) return `1e${Math.round(Math.log10(value))}`;
    return Math.abs(value) >= 1e4 || (Math.abs(value) < 1e-2 && value !== 0) ? value.toExponential(1) : String(value);
}

// At most one point per pixel column (and the last): a long history drawn
// whole costs the browser far more than it shows.
function thin(points, px) {
    let column = NaN;
    return points.filter((p, k) => {
        const here = Math.round(px(p[0]));
        if (here === column && k !== points.length - 1) return false;
        column = here;
        return true;
    });
}

// A point's error bars, each a line with short caps at its ends.
function error_bars(svg, p, px, py, series, clip) {
    const cap = 4;
    const attributes = { stroke: series.colour, class: "error-bar", "clip-path": `url(#${clip})`, "data-series": series.name };
    if (Number.isFinite(p[2]) && p[2] > 0) {
        const [x, low, high] = [px(p[0]), py(p[1] - p[2]), py(p[1] + p[2])];
        svg.append(node("path", { ...attributes, d: `M${x - cap},${low}H${x + cap}M${x},${low}V${high}M${x - cap},${high}H${x + cap}` }));
    }
    if (Number.isFinite(p[3]) && p[3] > 0) {
        const [y, low, high] = [py(p[1]), px(p[0] - p[3]), px(p[0] + p[3])];
        svg.append(node("path", { ...attributes, d: `M${low},${y - cap}V${y + cap}M${low},${y}H${high}M${high},${y - cap}V${y + cap}` }));
    }
}

export function plot(svg, figure) {
    const [width, height] = svg.viewBox.baseVal.width ? [svg.viewBox.baseVal.width, svg.viewBox.baseVal.height] : [640, 260];
    // The error bars' ends are in the frame too.
    const reach = (p, k, band) => (Number.isFinite(p[band]) ? [p[k] - p[band], p[k] + p[band]] : [p[k]]);
    const xs = figure.series.flatMap((s) => s.points.flatMap((p) => reach(p, 0, 3)));
    const ys = figure.y_range || figure.series.flatMap((s) => s.points.flatMap((p) => reach(p, 1, 2))).concat((figure.lines || []).map((l) => l.y));
    const [x0, x1] = extent(xs, false);
    const [y0, y1] = extent(ys, figure.log_y);
    const fy = figure.log_y ? Math.log10 : (v) => v;
    const px = (x) => box.left + ((x - x0) / (x1 - x0)) * (width - box.left - box.right);
    const py = (y) => height - box.bottom - ((fy(y) - fy(y0)) / (fy(y1) - fy(y0))) * (height - box.top - box.bottom);
    svg.replaceChildren();
    const frame = { x: box.left, y: box.top, width: width - box.left - box.right, height: height - box.top - box.bottom };
    svg.append(node("rect", { ...frame, class: "frame" }));
    const clip = `plot-clip-${++clip_count}`;
    const clip_path = node("clipPath", { id: clip });
    clip_path.append(node("rect", frame));
    svg.append(clip_path);
    for (const t of ticks(y0, y1, figure.log_y)) {
        svg.append(node("line", { x1: box.left, x2: width - box.right, y1: py(t), y2: py(t), class: "grid" }));
        svg.append(node("text", { x: box.left - 6, y: py(t) + 4, class: "tick", "text-anchor": "end" }, tick_text(t, figure.log_y)));
    }
    for (const t of ticks(x0, x1, false)) {
        svg.append(node("text", { x: px(t), y: height - box.bottom + 16, class: "tick", "text-anchor": "middle" }, tick_text(t, false)));
    }
    svg.append(node("text", { x: (box.left + width - box.right) / 2, y: height - 4, class: "label", "text-anchor": "middle" }, figure.x_label));
    const middle = (box.top + height - box.bottom) / 2;
    svg.append(node("text", { x: 14, y: middle, class: "label", "text-anchor": "middle", transform: `rotate(-90 14 ${middle})` }, figure.y_label));
    for (const line of figure.lines || []) {
        svg.append(node("line", { x1: box.left, x2: width - box.right, y1: py(line.y), y2: py(line.y), class: "threshold" }));
    }
    // Legends right to left from the frame's corner, each as wide as its name.
    const legend_right = [];
    for (let k = figure.series.length - 1, right = width - box.right - 10; k >= 0; --k) {
        legend_right[k] = right;
        right -= 30 + 7 * figure.series[k].name.length;
    }
    figure.series.forEach((series, k) => {
        const usable = series.points.filter((p) => Number.isFinite(p[1]) && (!figure.log_y || p[1] > 0));
        const points = series.markers ? usable : thin(usable, px);
        if (points.length > 0) {
            const path = points.map((p, n) => `${n ? "L" : "M"}${px(p[0]).toFixed(1)},${py(p[1]).toFixed(1)}`).join("");
            svg.append(node("path", { d: path, stroke: series.colour, class: "series", "clip-path": `url(#${clip})`, "data-series": series.name, "data-points": String(usable.length) }));
        }
        for (const p of points) error_bars(svg, p, px, py, series, clip);
        if (series.markers) {
            for (const p of points) svg.append(node("circle", { cx: px(p[0]), cy: py(p[1]), r: 4, fill: series.colour, class: "marker", "clip-path": `url(#${clip})` }));
        }
        svg.append(node("text", { x: legend_right[k], y: box.top - 8, fill: series.colour, class: "legend", "text-anchor": "end" }, series.name));
    });
    if (figure.title) svg.append(node("text", { x: box.left + 4, y: box.top - 8, class: "title" }, figure.title));
    // Words last, on a halo, so that no curve covers them.
    for (const line of figure.lines || []) {
        svg.append(node("text", { x: width - box.right - 4, y: py(line.y) - 4, class: "tick halo", "text-anchor": "end" }, line.label));
    }
    for (const mark of figure.marks || []) {
        svg.append(node("circle", { cx: px(mark.x), cy: py(mark.y), r: 8, class: "mark" }));
        // Its words toward the middle of the frame, so that they stay in it.
        const left = px(mark.x) > width / 2;
        const below = py(mark.y) < box.top + 40;
        svg.append(node("text", { x: px(mark.x) + (left ? -12 : 12), y: py(mark.y) + (below ? 22 : -12), class: "tick halo mark-label", "text-anchor": left ? "end" : "start" }, mark.label));
    }
}
