// Filling shapes into a mask of pixels (1 solid, 0 open; row 0 at the top),
// in pixel units where pixel (c, r) covers [c, c + 1) x [r, r + 1). A pixel
// takes a shape's value when its centre lies inside the shape, so the
// drawing never holds a grey edge and a shape symmetric about a pixel edge
// or centre gives a symmetric set of pixels.

export function make_mask(width, height) {
    return { width, height, data: new Uint8Array(width * height) };
}

export function copy_mask(mask) {
    return { width: mask.width, height: mask.height, data: mask.data.slice() };
}

// Nearest-pixel resampling: each new pixel takes the old pixel under its
// centre, so a picture keeps its stretch over the tunnel.
export function resample(mask, width, height) {
    const result = make_mask(width, height);
    for (let r = 0; r < height; ++r) {
        const from_r = Math.min(mask.height - 1, Math.floor(((r + 0.5) * mask.height) / height));
        for (let c = 0; c < width; ++c) {
            const from_c = Math.min(mask.width - 1, Math.floor(((c + 0.5) * mask.width) / width));
            result.data[r * width + c] = mask.data[from_r * mask.width + from_c];
        }
    }
    return result;
}

// Sets every pixel whose centre (x, y) passes inside(x, y) within the box.
function fill_where(mask, box, value, inside) {
    const c0 = Math.max(0, Math.floor(box.left));
    const c1 = Math.min(mask.width - 1, Math.ceil(box.right));
    const r0 = Math.max(0, Math.floor(box.top));
    const r1 = Math.min(mask.height - 1, Math.ceil(box.bottom));
    for (let r = r0; r <= r1; ++r) {
        for (let c = c0; c <= c1; ++c) {
            if (inside(c + 0.5, r + 0.5)) mask.data[r * mask.width + c] = value;
        }
    }
}

export function fill_ellipse(mask, cx, cy, rx, ry, value = 1) {
    if (rx <= 0 || ry <= 0) return;
    const box = { left: cx - rx, right: cx + rx, top: cy - ry, bottom: cy + ry };
    fill_where(mask, box, value, (x, y) => ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1);
}

export function fill_rectangle(mask, x0, y0, x1, y1, value = 1) {
    const box = { left: Math.min(x0, x1), right: Math.max(x0, x1), top: Math.min(y0, y1), bottom: Math.max(y0, y1) };
    fill_where(mask, box, value, (x, y) => x >= box.left && x < box.right && y >= box.top && y < box.bottom);
}

// A stroke of the brush: every pixel within radius of the segment.
export function fill_capsule(mask, a, b, radius, value) {
    const [dx, dy] = [b[0] - a[0], b[1] - a[1]];
    const length2 = dx * dx + dy * dy;
    const box = {
        left: Math.min(a[0], b[0]) - radius, right: Math.max(a[0], b[0]) + radius,
        top: Math.min(a[1], b[1]) - radius, bottom: Math.max(a[1], b[1]) + radius,
    };
    fill_where(mask, box, value, (x, y) => {
        const t = length2 > 0 ? Math.max(0, Math.min(1, ((x - a[0]) * dx + (y - a[1]) * dy) / length2)) : 0;
        return (x - a[0] - t * dx) ** 2 + (y - a[1] - t * dy) ** 2 <= radius * radius;
    });
}

// Even-odd scanline fill through the pixel centres of each row.
export function fill_polygon(mask, points, value = 1) {
    if (points.length < 3) return;
    for (let r = 0; r < mask.height; ++r) {
        const y = r + 0.5;
        const crossings = [];
        for (let k = 0; k < points.length; ++k) {
            const [x0, y0] = points[k];
            const [x1, y1] = points[(k + 1) % points.length];
            if ((y0 <= y && y < y1) || (y1 <= y && y < y0)) crossings.push(x0 + ((y - y0) * (x1 - x0)) / (y1 - y0));
        }
        crossings.sort((p, q) => p - q);
        for (let k = 0; k + 1 < crossings.length; k += 2) {
            // Pixels whose centre c + 0.5 lies in [left, right).
            const first = Math.min(mask.width, Math.max(0, Math.ceil(crossings[k] - 0.5)));
            const last = Math.min(mask.width, Math.max(0, Math.ceil(crossings[k + 1] - 0.5)));
            if (last > first) mask.data.fill(value, r * mask.width + first, r * mask.width + last);
        }
    }
}

// Fills a shape that is mirror-symmetric about the row line y = line (a
// pixel edge or centre) so that its pixels are too, whatever the rounding
// of its edges: the shape is filled into a scratch mask, each row below the
// line takes its mirror row's pixels from above it (or, with flip, every
// row takes its mirror's: the shape turned upside down about the line), and
// the result is laid over the mask.
export function fill_mirrored(mask, line, fill, flip = false) {
    const scratch = make_mask(mask.width, mask.height);
    fill(scratch);
    const { width, height } = mask;
    const result = flip ? make_mask(width, height) : scratch;
    for (let r = 0; r < height; ++r) {
        const mirror = 2 * line - 1 - r;
        if (mirror < 0 || mirror >= height || (!flip && r + 0.5 < line)) continue;
        result.data.set(scratch.data.subarray(mirror * width, (mirror + 1) * width), r * width);
    }
    for (let k = 0; k < result.data.length; ++k) if (result.data[k]) mask.data[k] = 1;
}

// The darkness rule of the program: solid when every channel is at most 49
// of 255, after transparent parts were laid on white paper.
export function mask_from_pixels(image_data) {
    const mask = make_mask(image_data.width, image_data.height);
    const rgba = image_data.data;
    for (let k = 0; k < mask.data.length; ++k) {
        const p = 4 * k;
        mask.data[k] = rgba[p] <= 49 && rgba[p + 1] <= 49 && rgba[p + 2] <= 49 ? 1 : 0;
    }
    return mask;
}
