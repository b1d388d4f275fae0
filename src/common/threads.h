// The threads a run's loops are split over. The loops of an iteration are
// split by columns (OpenMP's static schedule): each node's value is computed
// by the same operations whichever thread computes it, and the sums that
// depend on their order stay on one thread, so a run gives the same bytes
// with any number of threads.
#pragma once

#include <utility>

namespace veltaro {

// The loop that follows is split over the threads in use (an element-wise
// loop or a maximum only: no sum).
#if defined(_OPENMP)
#define VELTARO_PARALLEL_FOR _Pragma("omp parallel for schedule(static)")
#else
#define VELTARO_PARALLEL_FOR
#endif

// Share `part` of `parts` of count items, [first, last): contiguous shares
// fixed by the count and the number of parts, so that a loop over the parts
// can give each its own work buffers.
inline std::pair<int, int> share_of(int count, int part, int parts) {
    const auto at = [&](int p) { return static_cast<int>(static_cast<long long>(count) * p / parts); };
    return {at(part), at(part + 1)};
}

// The processor's cores as the system reports them (at least 1).
int machine_threads();

// The threads the loops use from here on (at least 1); without OpenMP,
// always 1.
void use_threads(int count);
int threads_in_use();

}  // namespace veltaro
