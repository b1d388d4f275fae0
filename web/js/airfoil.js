// NACA four-digit airfoils as closed polygons, in metres with y upwards.
//
// Digits "MPTT": maximum camber m = M/100 at p = P/10 of the chord, and
// thickness t = TT/100. Half-thickness at x (fraction of the chord):
//   y_t = 5 t (0.2969 sqrt(x) - 0.1260 x - 0.3516 x^2 + 0.2843 x^3 - 0.1036 x^4)
// (the last coefficient closes the trailing edge), laid either side of the
// camber line y_c, perpendicular to it.

const points_per_side = 120;

export function parse_digits(text) {
    if (!/^\d{4}$/.test(text)) return null;
    const m = Number(text[0]) / 100;
    const p = Number(text[1]) / 10;
    const t = Number(text.slice(2)) / 100;
    if (t <= 0 || (m > 0 && (p <= 0 || p >= 1))) return null;
    return { m, p, t };
}

function half_thickness(t, x) {
    return 5 * t * (0.2969 * Math.sqrt(x) - 0.126 * x - 0.3516 * x ** 2 + 0.2843 * x ** 3 - 0.1036 * x ** 4);
}

// Camber height and slope at x.
function camber(m, p, x) {
    if (m === 0) return { y: 0, slope: 0 };
    const before = x < p;
    const scale = before ? m / (p * p) : m / ((1 - p) * (1 - p));
    const y = before ? scale * (2 * p * x - x * x) : scale * (1 - 2 * p + 2 * p * x - x * x);
    return { y, slope: scale * (2 * p - 2 * x) };
}

// The outline on a unit chord from the leading edge (0, 0): upper surface
// from the trailing edge forwards, then the lower surface back.
function unit_outline({ m, p, t }) {
    const upper = [];
    const lower = [];
    for (let k = 0; k <= points_per_side; ++k) {
        const x = 0.5 * (1 - Math.cos((Math.PI * k) / points_per_side));  // dense at both edges
        const { y, slope } = camber(m, p, x);
        const theta = Math.atan(slope);
        const half = half_thickness(t, x);
        upper.push([x - half * Math.sin(theta), y + half * Math.cos(theta)]);
        lower.push([x + half * Math.sin(theta), y - half * Math.cos(theta)]);
    }
    return upper.reverse().concat(lower.slice(1, -1));
}

// Rotated about the quarter-chord point, where a section's moment hardly
// changes with the angle, so that an angle sweep turns the same section in
// place; at zero angle the chord's midpoint is at the centre given.
function placed(points, chord, angle_degrees, centre_x, centre_y) {
    const a = (angle_degrees * Math.PI) / 180;
    const cos = Math.cos(a);
    const sin = Math.sin(a);
    const pivot_x = centre_x - 0.25 * chord;
    return points.map(([x, y]) => {
        const along = (x - 0.25) * chord;
        const across = y * chord;
        return [pivot_x + along * cos + across * sin, centre_y - along * sin + across * cos];
    });
}

// The outline and the camber line for a chord c, an angle of attack in
// degrees (positive raises the leading edge against a flow from the left)
// and the chord's midpoint at zero angle. The camber line is drawn too, one pixel wide,
// so that the thin trailing edge stays in the picture at any resolution.
export function airfoil_shape(shape, chord, angle_degrees, centre_x, centre_y) {
    const camber_line = [];
    for (let k = 0; k <= points_per_side; ++k) {
        const x = k / points_per_side;
        camber_line.push([x, camber(shape.m, shape.p, x).y]);
    }
    return {
        outline: placed(unit_outline(shape), chord, angle_degrees, centre_x, centre_y),
        camber_line: placed(camber_line, chord, angle_degrees, centre_x, centre_y),
    };
}
