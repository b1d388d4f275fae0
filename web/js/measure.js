// The obstacle's measures as the program takes them, from a mask of dark
// pixels (1 solid, 0 open; row 0 at the top) stretched over the grid.

// The mesh as the program sizes it: ny = 25, 50, 100 nodes across for the
// mesh answers 0, 1, 2 (or N with --nodes-across=N) and nx = trunc(L / H * ny)
// along, dx = L / (nx - 1), in single precision as its answers are. The grid
// spans (nx - 1) dx by (ny - 1) dx, a little less than the tunnel's height,
// and the picture is stretched over the grid.
export function mesh_size(choice, length, height) {
    return mesh_across(25 << choice, length, height);
}

export function mesh_across(ny, length, height) {
    const nx = Math.trunc(Math.fround(Math.fround(Math.fround(length) / Math.fround(height)) * Math.fround(ny)));
    const dx = nx > 1 ? Math.fround(Math.fround(length) / (nx - 1)) : NaN;
    return { nx, ny, dx, span_length: (nx - 1) * dx, span_height: (ny - 1) * dx };
}

// The run's mesh from the answers as read_answers gives them: nodes_across
// when given (a number), else the mesh answer's.
export function run_mesh(answers) {
    const { tunnel_length: length, tunnel_height: height } = answers;
    return answers.nodes_across > 0 ? mesh_across(answers.nodes_across, length, height) : mesh_size(answers.mesh_choice, length, height);
}

// The picture rows holding a dark pixel.
export function dark_rows(mask) {
    let rows = 0;
    for (let r = 0; r < mask.height; ++r) {
        const start = r * mask.width;
        if (mask.data.subarray(start, start + mask.width).includes(1)) ++rows;
    }
    return rows;
}

export function all_dark(mask) {
    return mask.data.length > 0 && !mask.data.includes(0);
}

// The frontal height D: the dark rows' share of the grid's height, as the
// program measures it.
export function frontal_height(mask, mesh) {
    return (dark_rows(mask) * mesh.span_height) / mask.height;
}

// Cross product of (a - o) and (b - o): > 0 for a left turn.
function cross(o, a, b) {
    return (a[0] - o[0]) * (b[1] - o[1]) - (a[1] - o[1]) * (b[0] - o[0]);
}

// Monotone chain over points sorted by x, then y.
function convex_hull(points) {
    points.sort((a, b) => a[0] - b[0] || a[1] - b[1]);
    const half = (list) => {
        const chain = [];
        for (const point of list) {
            while (chain.length >= 2 && cross(chain.at(-2), chain.at(-1), point) <= 0) chain.pop();
            chain.push(point);
        }
        chain.pop();
        return chain;
    };
    return half(points).concat(half([...points].reverse()));
}

// The chord: the largest distance between two corners of dark pixels, each
// pixel its rectangle in metres of the grid. Only the outermost pixels of each row can
// hold a hull corner, so at most four corners per row enter the hull.
export function chord(mask, mesh) {
    const w = mesh.span_length / mask.width;
    const h = mesh.span_height / mask.height;
    const corners = [];
    for (let r = 0; r < mask.height; ++r) {
        const row = mask.data.subarray(r * mask.width, (r + 1) * mask.width);
        const first = row.indexOf(1);
        if (first < 0) continue;
        const last = row.lastIndexOf(1);
        for (const c of [first, last + 1]) corners.push([c * w, r * h], [c * w, (r + 1) * h]);
    }
    if (corners.length === 0) return 0;
    const hull = convex_hull(corners);
    let longest = 0;
    for (let a = 0; a < hull.length; ++a) {
        for (let b = a + 1; b < hull.length; ++b) {
            longest = Math.max(longest, Math.hypot(hull[a][0] - hull[b][0], hull[a][1] - hull[b][1]));
        }
    }
    return longest;
}
