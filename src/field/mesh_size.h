// The node grid's size: nx columns along the tunnel, ny rows across it, one
// spacing dx both ways. The set-up sizes it from the answers; the field, the
// masks and the measures of a flow all read it.
#pragma once

namespace veltaro {

struct mesh_size {
    int nx = 0;
    int ny = 0;
    float dx = 0.0f;  // the spacing across the tunnel is the same
};

}  // namespace veltaro
