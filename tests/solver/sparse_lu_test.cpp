// The sparse solve when memory runs out: every allocation SuperLU makes for
// the pressure system fails in turn, and each failure must end as a refusal
// (run_error) in the caller, never as SuperLU's exit; without a failure the
// stored factors solve exactly as a fresh factorisation does. The allocations are
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

long fail_in = 0;  // the allocation that fails, counted down; 0: none does
bool recording = false;
// Every block handed out while recording. A run ends after the
// refusal, and what the abandoned SuperLU call held goes with the process;
// the test goes on, and keeps those blocks reachable rather than leaked.
std::array<void*, 8192> handed_out{};
std::size_t handed = 0;

}  // namespace

extern "C" void* superlu_malloc(std::size_t size) {
    if (fail_in > 0 && --fail_in == 0) return nullptr;
    void* block = std::malloc(size);
    if (recording && handed < handed_out.size()) handed_out[handed++] = block;
    return block;
}

namespace veltaro {
namespace {

TEST(SparseSolve, RunningOutOfMemoryAnywhereInTheSolveIsARefusal) {
    const csr_matrix matrix = assemble_pressure_matrix(7, 5, 0.5f, 0.5f);
    std::vector<float> b(static_cast<std::size_t>(matrix.n));
    for (std::size_t k = 0; k < b.size(); ++k) b[k] = static_cast<float>(k % 3) - 1.0f;
    // A run factorises once and solves with the stored factors: bit for bit
    // the solve that factorises afresh.
    std::vector<float> expected(b.size()), fresh = b;
    solve_sparse_matrix(matrix.n, matrix.nnz(), matrix.values.data(), matrix.col_index.data(),
                        matrix.row_ptr.data(), fresh.data(), expected.data());
    int refusals = 0;
    recording = true;
    for (long failing = 1;; ++failing) {
        std::vector<float> rhs = b, solution(b.size());
        std::string refusal;
        fail_in = failing;
        try {
            sparse_lu factors(matrix);
            factors.solve(rhs.data(), solution.data());
        } catch (const run_error& error) {
            refusal = error.what();
        }
        const bool failed = fail_in == 0;
        fail_in = 0;
        SCOPED_TRACE(testing::Message() << "allocation " << failing << ": \"" << refusal << "\"");
        // Past the last allocation, or one SuperLU retries with a smaller
        // estimate of the fill: the solve goes through untouched.
        if (refusal.empty()) {
            EXPECT_EQ(solution, expected);
            if (!failed) break;
        }
        refusals += refusal.empty() ? 0 : 1;
        EXPECT_TRUE(refusal.empty() ||
                    refusal.find("the sparse solver ran out of memory") != std::string::npos);
    }
    recording = false;
    // The factorisation and the solve allocate in many places, not one.
    EXPECT_GT(refusals, 10);
}

}  // namespace
}  // namespace veltaro
