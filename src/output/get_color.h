// get_color: the colour scale of every result picture, black through blue,
// green and yellow to white, blended in straight lines between five evenly
// spaced key colours and always rounded down.
#pragma once

namespace veltaro {

// s from 0 to 1 gives levels 0 ... 255. Values outside that range are the
// caller's mistake; they get the nearer end colour (NaN gets black) so that
// no table is ever read out of bounds.
void get_color(float s, int& red, int& green, int& blue);

}  // namespace veltaro
