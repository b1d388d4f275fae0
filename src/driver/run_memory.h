// What a run's memory will be, estimated from its mesh and options before
// anything is allocated, against what the machine has available: a mesh too
// large is refused at once, in one line, rather than after minutes of
// allocation or by the kernel's out-of-memory killer. docs/method.md,
// section 12, gives the measurements the estimate is fitted to.
#pragma once

#include <cstdint>
#include <optional>

#include "driver/set_up_run.h"
#include "field/mesh_size.h"

namespace veltaro {

// The run's peak memory in bytes: the fields, the stages' work arrays and
// the pressure solve (the LU factors by a fit in nx and ny, which grow
// faster than the node count). The picture's own masks are not counted:
// they depend on the picture, not on the mesh.
std::uint64_t estimate_run_memory(const mesh_size& mesh, const run_options& options);

// The memory this process may still take: the kernel's MemAvailable, or the
// control group's limit less its use where that is lower; empty where
// neither can be read.
std::optional<std::uint64_t> available_memory();

// Throws run_error, naming the mesh, the estimate and the limit, when the
// estimate exceeds the memory available.
void check_run_memory(const mesh_size& mesh, const run_options& options);

}  // namespace veltaro
