// Which projection the iteration uses. Both solve the same five-point
// pressure equation with the run's solve; they differ in the velocity it is
// asked to make divergence-free.
#pragma once

namespace veltaro {

enum class projection_scheme {
    // The node velocities, with the wide divergence and gradient
    // (pressure_equation.h): the default, which earlier results depend on.
    // What it leaves of the divergence is proportional to the time step.
    nodes,
    // The normal velocities on the faces between nodes, a state of their own,
    // with the compact divergence and gradient whose product is the
    // five-point Laplacian: divergence-free to round-off after every
    // iteration, and a steady state that does not depend on the time step
    // (face_projection.h).
    faces,
};

// "nodes" or "faces": the names the command line and the summary use.
const char* projection_scheme_name(projection_scheme scheme);

}  // namespace veltaro
