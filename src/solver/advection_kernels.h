// The two builds of the advection kernel, for tests that check they give
// the same bits whatever the processor running the test: one for any
// x86-64, one for processors with AVX2. advection_step picks the faster one
// the processor runs.
#pragma once

#include "solver/advection_step.h"
#include "solver/limited_advection.h"

namespace veltaro::advection_kernels {

using kernel = void(const flow_field& frame, moved_nodes& moved, const float_grid& u,
                    const float_grid& v, float dt, const carried_pair& fields);

kernel any_cpu;

// The same two builds of the second-order advection (limited_advection.h).
using limited_kernel = void(const flow_field& frame, const float_grid& u, const float_grid& v,
                            const int_grid& solid_nodes, float dt, const carried_pair& fields,
                            advection_work& work);

limited_kernel limited_any_cpu;

// True where the AVX2 build exists and the processor runs it.
bool avx2_available();

#if defined(__x86_64__)
kernel avx2;
limited_kernel limited_avx2;
#endif

}  // namespace veltaro::advection_kernels
