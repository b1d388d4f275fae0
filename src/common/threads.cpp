#include "common/threads.h"

#include <algorithm>
#include <thread>

#if defined(_OPENMP)
#include <omp.h>
#endif

namespace veltaro {

int machine_threads() { return std::max(1, static_cast<int>(std::thread::hardware_concurrency())); }

void use_threads(int count) {
#if defined(_OPENMP)
    omp_set_num_threads(std::max(1, count));
#else
    static_cast<void>(count);
#endif
}

int threads_in_use() {
#if defined(_OPENMP)
    return omp_get_max_threads();
#else
    return 1;
#endif
}

}  // namespace veltaro
