// What the picture alone says before a run, beside the warnings of
// form.js: an empty tunnel, a picture that is all dark (the program's
// all_solid) and an obstacle that fills too much of the tunnel's height
// (its high_blockage), each as {code, message}.

import { all_dark, dark_rows } from "./measure.js";

// The program warns above this share of the grid's height, which is the
// share of the picture's rows that hold a dark pixel.
export const high_blockage_share = 0.3;

export function picture_hints(mask) {
    if (all_dark(mask)) {
        return [{ code: "all_solid", message: "Every pixel of the picture is dark, so the whole tunnel is solid and a run's forces and coefficients would mean nothing: draw the obstacle dark on a light background (a transparent background saved as a JPEG turns black)." }];
    }
    const rows = dark_rows(mask);
    if (rows === 0) {
        return [{ code: "no_obstacle", message: "The picture holds no dark pixel: a run would be of the empty tunnel, with no body, no forces on one and no coefficients. Draw an obstacle or upload a picture of one." }];
    }
    const share = rows / mask.height;
    if (share <= high_blockage_share) return [];
    return [{ code: "high_blockage", message: `The obstacle fills ${Math.round(100 * share)}% of the tunnel's height, more than ${100 * high_blockage_share}%: the walls squeeze the flow past it, so its drag is far above, and its wake unlike, the same body's in open flow. Draw it smaller, with more room above and below it.` }];
}
