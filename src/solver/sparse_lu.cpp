#include "solver/sparse_lu.h"

#include <fcntl.h>
#include <superlu/slu_sdefs.h>
#include <unistd.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/run_error.h"

namespace veltaro {

namespace {

// SuperLU stops the process through superlu_abort_and_exit when one of its
// allocations fails (and on its own internal errors, which the pressure
// system never meets). The library can only be told otherwise when it is
// built, so this program defines that function itself; the dynamic linker
// then sends the library's calls here. While a SuperLU call runs inside
// out_of_memory_guard, the handler jumps back to it, and the guard turns the
// failure into a refusal like any other. What SuperLU had allocated in the
// abandoned call is not released: the run ends at once.
std::jmp_buf* abandoned_call = nullptr;

[[noreturn]] void refuse_exhausted_memory() {
    throw run_error(
        "The pressure equation could not be solved: the sparse solver ran out of memory; try a "
        "coarser mesh or a shorter tunnel.");
}

// Runs call(); a SuperLU abort inside it becomes run_error. Only SuperLU's C
// frames and call's own lie between setjmp and the longjmp back to it, so
// nothing with a destructor is skipped.
template <typename Call>
void out_of_memory_guard(Call call) {
    std::jmp_buf here;
    if (setjmp(here) != 0) {
        abandoned_call = nullptr;
        refuse_exhausted_memory();
    }
    abandoned_call = &here;
    call();
    abandoned_call = nullptr;
}

}  // namespace

}  // namespace veltaro

// The replacement of SuperLU's abort (declared by its headers with C
// linkage). Every SuperLU call of this file runs inside the guard; outside
// one, the message is printed and the run ends with the refusal status
// instead of SuperLU's -1.
void superlu_abort_and_exit(char* message) {
    if (veltaro::abandoned_call != nullptr) std::longjmp(*veltaro::abandoned_call, 1);
    std::fputs(message, stderr);
    std::_Exit(veltaro::refusal_status);
}

namespace veltaro {

namespace {

// Some of SuperLU's ways of running out of memory print a half line of their
// own on standard error (or a line on standard output) before they report
// it; the run's refusal says it in one line, so both streams go to
// /dev/null while the factorisation runs.
class silenced_standard_streams {
public:
    silenced_standard_streams() {
        std::fflush(stdout);
        std::fflush(stderr);
        const int sink = open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (sink < 0) return;
        saved_out_ = dup(STDOUT_FILENO);
        saved_err_ = dup(STDERR_FILENO);
        if (saved_out_ >= 0 && saved_err_ >= 0) {
            dup2(sink, STDOUT_FILENO);
            dup2(sink, STDERR_FILENO);
        }
        close(sink);
    }
    ~silenced_standard_streams() {
        std::fflush(stdout);
        std::fflush(stderr);
        restore(saved_out_, STDOUT_FILENO);
        restore(saved_err_, STDERR_FILENO);
    }
    silenced_standard_streams(const silenced_standard_streams&) = delete;
    silenced_standard_streams& operator=(const silenced_standard_streams&) = delete;

private:
    static void restore(int saved, int stream) {
        if (saved < 0) return;
        dup2(saved, stream);
        close(saved);
    }
    int saved_out_ = -1;
    int saved_err_ = -1;
};

// A dense one-column view of the caller's array, as sCreate_Dense_Matrix
// would make it, without allocating a store descriptor.
struct dense_view {
    DNformat store{};
    SuperMatrix matrix{};
    dense_view(int n, float* values) {
        store.lda = n;
        store.nzval = values;
        matrix.Stype = SLU_DN;
        matrix.Dtype = SLU_S;
        matrix.Mtype = SLU_GE;
        matrix.nrow = n;
        matrix.ncol = 1;
        matrix.Store = &store;
    }
};

[[noreturn]] void refuse_failed_factorisation(int info, int n) {
    if (info > n) refuse_exhausted_memory();
    throw run_error(
        "The pressure equation could not be solved: the matrix is singular (zero pivot in "
        "column " +
        std::to_string(info) + "); try a coarser mesh or a different tunnel size.");
}

// SuperLU writes out of bounds on a matrix with an empty row or column
// instead of reporting it singular, so such a matrix never reaches it.
void refuse_empty_rows_or_columns(int n, int nnz, const int* col_index, const int* row_ptr) {
    std::vector<char> column_used(static_cast<std::size_t>(n), 0);
    auto refuse_empty = [](const char* what, int index) {
        throw run_error("The pressure equation could not be solved: the matrix is singular (" +
                        std::string(what) + " " + std::to_string(index) + " is empty).");
    };
    for (int row = 0; row < n; ++row) {
        if (row_ptr[row] >= row_ptr[row + 1]) refuse_empty("row", row + 1);
    }
    for (int k = 0; k < nnz; ++k) {
        if (col_index[k] < 0 || col_index[k] >= n) {
            throw run_error(
                "The pressure equation could not be solved: a matrix entry lies "
                "outside the matrix.");
        }
        column_used[static_cast<std::size_t>(col_index[k])] = 1;
    }
    for (int column = 0; column < n; ++column) {
        if (!column_used[static_cast<std::size_t>(column)]) refuse_empty("column", column + 1);
    }
}

// One system with everything SuperLU made for it, released on every path,
// also when building it stops half-way: the constructor's body runs after a
// delegated constructor, so the destructor runs when the body throws, and
// it releases only what exists.
struct superlu_system {
    int n = 0;
    SuperMatrix A{};
    SuperMatrix L{};
    SuperMatrix U{};
    int* perm_r = nullptr;
    int* perm_c = nullptr;
    superlu_options_t options{};
    SuperLUStat_t stat{};      // all null until StatInit; StatFree frees only those set
    bool has_matrix = false;   // A exists and must be released
    bool has_factors = false;  // L and U exist and must be released

    explicit superlu_system(int order) : n(order) {}

    superlu_system(int order, int nnz, const float* values, const int* col_index,
                   const int* row_ptr)
        : superlu_system(order) {
        refuse_empty_rows_or_columns(n, nnz, col_index, row_ptr);
        // intMalloc aborts rather than return null when memory runs out.
        out_of_memory_guard([&] {
            convert(nnz, values, col_index, row_ptr);
            perm_r = intMalloc(n);
            perm_c = intMalloc(n);
            StatInit(&stat);
        });
        set_default_options(&options);
        options.ConditionNumber = NO;
    }

    ~superlu_system() {
        superlu_free(perm_r);
        superlu_free(perm_c);
        if (has_matrix) Destroy_CompCol_Matrix(&A);
        if (has_factors) {
            Destroy_SuperNode_Matrix(&L);
            Destroy_CompCol_Matrix(&U);
        }
        StatFree(&stat);
    }

    superlu_system(const superlu_system&) = delete;
    superlu_system& operator=(const superlu_system&) = delete;

    // The compressed-column copy of A; the conversion only reads the
    // compressed-row arrays.
    void convert(int nnz, const float* values, const int* col_index, const int* row_ptr) {
        float* at = nullptr;
        int* rowind = nullptr;
        int* colptr = nullptr;
        sCompRow_to_CompCol(n, n, nnz, const_cast<float*>(values), const_cast<int*>(col_index),
                            const_cast<int*>(row_ptr), &at, &rowind, &colptr);
        sCreate_CompCol_Matrix(&A, n, n, nnz, at, rowind, colptr, SLU_NC, SLU_S, SLU_GE);
        has_matrix = true;
    }

    void factorise_and_solve(float* rhs) {
        dense_view b(n, rhs);
        int info = 0;
        {
            const silenced_standard_streams quiet;
            out_of_memory_guard(
                [&] { sgssv(&options, &A, perm_c, perm_r, &L, &U, &b.matrix, &stat, &info); });
        }
        // A singular matrix (0 < info <= n) still leaves complete factors to
        // release; with memory exhausted (info > n) SuperLU keeps none.
        has_factors = info <= n;
        if (info != 0) refuse_failed_factorisation(info, n);
    }

    void solve_with_factors(float* rhs) {
        dense_view b(n, rhs);
        int info = 0;
        out_of_memory_guard(
            [&] { sgstrs(NOTRANS, &L, &U, perm_c, perm_r, &b.matrix, &stat, &info); });
        if (info != 0) refuse_failed_factorisation(info, n);
    }
};

}  // namespace

struct sparse_lu::state : superlu_system {
    using superlu_system::superlu_system;
};

// The factorisation is sgssv's with a zero right-hand side: sgssv solves
// with sgstrs on the factors it makes, so later solves with the same
// factors give exactly the one-shot solve's bits.
sparse_lu::sparse_lu(const csr_matrix& matrix)
    : state_(std::make_unique<state>(matrix.n, matrix.nnz(), matrix.values.data(),
                                     matrix.col_index.data(), matrix.row_ptr.data())) {
    std::vector<float> zero(static_cast<std::size_t>(matrix.n), 0.0f);
    state_->factorise_and_solve(zero.data());
}
sparse_lu::~sparse_lu() = default;
sparse_lu::sparse_lu(sparse_lu&&) noexcept = default;
sparse_lu& sparse_lu::operator=(sparse_lu&&) noexcept = default;

void sparse_lu::solve(float* rhs, float* solution) {
    solve_with_factors(rhs);
    std::copy(rhs, rhs + state_->n, solution);
}

void sparse_lu::solve_with_factors(float* rhs) { state_->solve_with_factors(rhs); }

std::size_t sparse_lu::memory_bytes() const {
    mem_usage_t usage{};
    sQuerySpace(&state_->L, &state_->U, &usage);
    const auto n = static_cast<std::size_t>(state_->n);
    const auto nnz = static_cast<std::size_t>(static_cast<NCformat*>(state_->A.Store)->nnz);
    const std::size_t matrix = nnz * (sizeof(float) + sizeof(int)) + (n + 1) * sizeof(int);
    return static_cast<std::size_t>(usage.for_lu) + 2 * n * sizeof(int) + matrix;
}

void solve_sparse_matrix(int n, int nnz, const float* values, const int* col_index,
                         const int* row_ptr, float* rhs, float* solution) {
    superlu_system system(n, nnz, values, col_index, row_ptr);
    system.factorise_and_solve(rhs);
    std::copy(rhs, rhs + n, solution);
}

}  // namespace veltaro
