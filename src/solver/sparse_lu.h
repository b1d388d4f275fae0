// The sparse direct solve of the pressure system. This pair of files is the
// program's only contact with SuperLU; no SuperLU type leaves it.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace veltaro {

// A square system in compressed-row form, zero-based.
struct csr_matrix {
    int n = 0;
    std::vector<float> values;
    std::vector<int> col_index;
    std::vector<int> row_ptr;  // n + 1 entries; row_ptr[n] is the entry count
    [[nodiscard]] int nnz() const { return static_cast<int>(values.size()); }
};

// Solves A x = b once, self-contained: converts A to compressed-column form,
// orders it (COLAMD), factorises it, solves and releases everything. rhs
// holds b on entry and x on return; solution receives x too. Throws
// run_error when the matrix is singular or SuperLU runs out of memory
// (docs/method.md, "The sparse solve").
void solve_sparse_matrix(int n, int nnz, const float* values, const int* col_index,
                         const int* row_ptr, float* rhs, float* solution);

// The same solve for a matrix that stays the same over many right-hand
// sides: the constructor factorises exactly as solve_sparse_matrix does (and
// throws as it does), and every solve reuses the factors and permutations,
// which gives bit for bit the same x at a fraction of the cost.
class sparse_lu {
public:
    explicit sparse_lu(const csr_matrix& matrix);
    ~sparse_lu();
    sparse_lu(sparse_lu&&) noexcept;
    sparse_lu& operator=(sparse_lu&&) noexcept;
    sparse_lu(const sparse_lu&) = delete;
    sparse_lu& operator=(const sparse_lu&) = delete;

    // rhs: b on entry, x on return; solution receives x as well.
    void solve(float* rhs, float* solution);
    // Only the triangular solves with the stored factors, without the copy
    // into solution: the floor of an iteration's cost.
    void solve_with_factors(float* rhs);

    // What the solve keeps: the L and U factors as SuperLU counts them, the
    // two permutations and the compressed-column copy of A, in bytes.
    [[nodiscard]] std::size_t memory_bytes() const;

private:
    struct state;
    std::unique_ptr<state> state_;
};

}  // namespace veltaro
