#include "field/ghost_nodes.h"

namespace veltaro {

namespace {

double at_image_point(const float* q, const ghost_node& ghost) {
    double value = 0.0;
    for (std::size_t k = 0; k < ghost.around.size(); ++k) {
        value += ghost.weight[k] * q[ghost.around[k]];
    }
    return value;
}

}  // namespace

void impose_ghost_nodes(flow_field& field, const ghost_nodes& ghosts) {
    float* u = field.u.data();
    float* v = field.v.data();
    for (int sweep = 0; sweep < ghosts.sweeps && !ghosts.nodes.empty(); ++sweep) {
        for (const ghost_node& ghost : ghosts.nodes) {
            u[ghost.node] = static_cast<float>(ghost.factor * at_image_point(u, ghost));
            v[ghost.node] = static_cast<float>(ghost.factor * at_image_point(v, ghost));
        }
    }
}

}  // namespace veltaro
