// The sparse solve when memory runs out: every allocation SuperLU makes for
// the pressure system fails in turn, and each failure must end as a refusal
// (run_error) in the caller, never as SuperLU's exit. The allocations are
// made to fail by this test program's own superlu_malloc, which the dynamic
// linker puts in place of the library's, as it does the program's abort
// handler.
#include "solver/sparse_lu.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/run_error.h"
#include "solver/pressure_equation.h"

namespace {

long fail_in = 0;      // the allocation that fails, counted down; 0: none does
bool keeping = false;  // remember the blocks handed out, to release leftovers
std::array<void*, 4096> handed_out{};

}  // namespace

extern "C" void* superlu_malloc(std::size_t size) {
    if (fail_in > 0 && --fail_in == 0) return nullptr;
    void* block = std::malloc(size);
    if (keeping && block != nullptr) {
        for (void*& slot : handed_out) {
            if (slot == nullptr) {
                slot = block;
                break;
            }
        }
    }
    return block;
}

extern "C" void superlu_free(void* block) {
    if (keeping) {
        for (void*& slot : handed_out) {
            if (slot == block) slot = nullptr;
        }
    }
    std::free(block);
}

namespace veltaro {
namespace {

// A run ends after the refusal, and the process's end releases what the
// abandoned SuperLU call held; a test goes on, so it releases it here.
void release_what_the_failed_call_left() {
    for (void*& slot : handed_out) {
        std::free(slot);
        slot = nullptr;
    }
}

TEST(SparseSolve, RunningOutOfMemoryAnywhereInTheSolveIsARefusal) {
    const csr_matrix matrix = assemble_pressure_matrix(7, 5, 0.5f, 0.5f);
    std::vector<float> b(static_cast<std::size_t>(matrix.n));
    for (std::size_t k = 0; k < b.size(); ++k) b[k] = static_cast<float>(k % 3) - 1.0f;
    std::vector<float> expected(b.size());
    {
        std::vector<float> rhs = b;
        sparse_lu(matrix).solve(rhs.data(), expected.data());
    }
    int refusals = 0;
    for (long failing = 1;; ++failing) {
        std::vector<float> rhs = b;
        std::vector<float> solution(b.size());
        std::string refusal;
        keeping = true;
        fail_in = failing;
        try {
            sparse_lu factors(matrix);
            factors.solve(rhs.data(), solution.data());
        } catch (const run_error& error) {
            refusal = error.what();
        }
        const bool failed = fail_in == 0;
        fail_in = 0;
        keeping = false;
        release_what_the_failed_call_left();
        if (refusal.empty()) {
            // Past the last allocation, or one SuperLU retries with a smaller
            // estimate of the fill: the solve goes through untouched.
            EXPECT_EQ(solution, expected) << "allocation " << failing;
            if (!failed) break;
        } else {
            ++refusals;
            EXPECT_NE(refusal.find("the sparse solver ran out of memory"), std::string::npos)
                << "allocation " << failing << ": \"" << refusal << "\"";
        }
    }
    // The factorisation and the solve allocate in many places, not one.
    EXPECT_GT(refusals, 10);
}

}  // namespace
}  // namespace veltaro
