// From the answers to a run: the mesh, the inlet velocity and the dynamic
// viscosity, with the checks that refuse a run that cannot be computed.
#pragma once

#include <optional>

#include "driver/dialogue.h"
#include "field/mesh_size.h"
#include "field/run_parameters.h"

namespace veltaro {

// More nodes than this would need more memory for the pressure factors than
// a workstation has, long before the field arrays run out of it. It stays
// the cap of the dialogue's meshes; a mesh sized by --nodes-across is held
// to the memory the machine has instead (run_memory.h), and to the node
// indices' range.
inline constexpr long long max_mesh_nodes = 2'000'000;
inline constexpr long long max_indexed_nodes = 1'000'000'000;

// The fewest nodes across the tunnel: a wall row on each side of one row
// of interior nodes.
inline constexpr int min_nodes_across = 3;

// The pressure equation works with 1 / dx^2 in single precision. Outside
// these spacings it overflows or vanishes, and the run would fail later with
// a message that blames the mesh or the Reynolds number.
inline constexpr float min_node_spacing = 1e-15f;  // m
inline constexpr float max_node_spacing = 1e15f;   // m

// ny = 25, 50 or 100 for the three named meshes, and nx = trunc(L / H ny),
// about as many nodes per metre along the tunnel as across it; any other
// choice gives 100 x 100. Throws run_error when the mesh is unusable: too
// few or too many nodes, or a spacing outside the limits above.
mesh_size size_mesh(int mesh_choice, float length, float height);

// nodes_across nodes across the tunnel (at least 3), and nx = trunc(L / H ny)
// along it as for the named meshes.
mesh_size size_mesh_across(int nodes_across, float length, float height);

// The run's mesh: --nodes-across when given, else the mesh answer's.
mesh_size size_mesh(const dialogue_answers& answers, std::optional<int> nodes_across);

// True when the inlet velocity must be typed: it cannot be derived from a
// zero Reynolds number or viscosity.
bool inlet_velocity_is_asked(const dialogue_answers& answers);

// inlet_velocity = Re nu / H (or the typed value), dynamic_viscosity = nu density.
run_parameters derive_parameters(const dialogue_answers& answers, float typed_inlet_velocity);

// Refuses tunnel sizes, densities, viscosities and inlet velocities that
// cannot make a run.
void check_parameters(const dialogue_answers& answers, const run_parameters& params);

}  // namespace veltaro
