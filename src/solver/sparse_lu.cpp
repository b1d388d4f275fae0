#include "solver/sparse_lu.h"

#include <superlu/slu_sdefs.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "common/run_error.h"

namespace veltaro {

namespace {

// An allocation failure inside the sparse solve ends the run through
// SuperLU's own abort: its message on standard error and exit status -1.
[[noreturn]] void abort_on_failed_malloc(const char* what, int line) {
    char message[256];
    std::snprintf(message, sizeof message, "%s at line %d in file %s\n", what, line, "veltaro");
    superlu_abort_and_exit(message);
    std::abort();  // not reached: the call above exits
}

int* allocate_permutation(int n, const char* what, int line) {
    int* permutation = intMalloc(n);
    if (permutation == nullptr) abort_on_failed_malloc(what, line);
    return permutation;
}

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
    std::string why =
        info <= n ? "the matrix is singular (zero pivot in column " + std::to_string(info) + ")"
                  : "the factors did not fit in memory";
    throw run_error("The pressure equation could not be solved: " + why +
                    "; try a coarser mesh or a different tunnel size.");
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

// One system with everything SuperLU made for it, released on every path.
struct superlu_system {
    int n = 0;
    SuperMatrix A{};
    SuperMatrix L{};
    SuperMatrix U{};
    int* perm_r = nullptr;
    int* perm_c = nullptr;
    superlu_options_t options{};
    SuperLUStat_t stat{};
    bool factorised = false;   // the factors are usable
    bool has_factors = false;  // L and U exist and must be released

    superlu_system(int order, int nnz, const float* values, const int* col_index,
                   const int* row_ptr)
        : n(order) {
        refuse_empty_rows_or_columns(n, nnz, col_index, row_ptr);
        float* at = nullptr;
        int* rowind = nullptr;
        int* colptr = nullptr;
        // The conversion only reads the compressed-row arrays.
        sCompRow_to_CompCol(n, n, nnz, const_cast<float*>(values), const_cast<int*>(col_index),
                            const_cast<int*>(row_ptr), &at, &rowind, &colptr);
        sCreate_CompCol_Matrix(&A, n, n, nnz, at, rowind, colptr, SLU_NC, SLU_S, SLU_GE);
        perm_r = allocate_permutation(n, "Malloc fails for perm_r[].", __LINE__);
        perm_c = allocate_permutation(n, "Malloc fails for perm_c[].", __LINE__);
        set_default_options(&options);
        options.ConditionNumber = NO;
        StatInit(&stat);
    }

    ~superlu_system() {
        superlu_free(perm_r);
        superlu_free(perm_c);
        Destroy_CompCol_Matrix(&A);
        if (has_factors) {
            Destroy_SuperNode_Matrix(&L);
            Destroy_CompCol_Matrix(&U);
        }
        StatFree(&stat);
    }

    superlu_system(const superlu_system&) = delete;
    superlu_system& operator=(const superlu_system&) = delete;

    void factorise_and_solve(float* rhs) {
        dense_view b(n, rhs);
        int info = 0;
        sgssv(&options, &A, perm_c, perm_r, &L, &U, &b.matrix, &stat, &info);
        // A singular matrix (0 < info <= n) still leaves complete factors to
        // release; with memory exhausted (info > n) SuperLU keeps none.
        has_factors = info <= n;
        factorised = info == 0;
        if (info != 0) refuse_failed_factorisation(info, n);
    }

    void solve_with_factors(float* rhs) {
        dense_view b(n, rhs);
        int info = 0;
        sgstrs(NOTRANS, &L, &U, perm_c, perm_r, &b.matrix, &stat, &info);
        if (info != 0) refuse_failed_factorisation(info, n);
    }

    void solve(float* rhs) {
        if (factorised) {
            solve_with_factors(rhs);
        } else {
            factorise_and_solve(rhs);
        }
    }
};

}  // namespace

struct sparse_lu::state : superlu_system {
    using superlu_system::superlu_system;
};

sparse_lu::sparse_lu(const csr_matrix& matrix)
    : state_(std::make_unique<state>(matrix.n, matrix.nnz(), matrix.values.data(),
                                     matrix.col_index.data(), matrix.row_ptr.data())) {}
sparse_lu::~sparse_lu() = default;
sparse_lu::sparse_lu(sparse_lu&&) noexcept = default;
sparse_lu& sparse_lu::operator=(sparse_lu&&) noexcept = default;

void sparse_lu::solve(float* rhs, float* solution) {
    solve_with_factors(rhs);
    std::copy(rhs, rhs + state_->n, solution);
}

void sparse_lu::solve_with_factors(float* rhs) { state_->solve(rhs); }

void solve_sparse_matrix(int n, int nnz, const float* values, const int* col_index,
                         const int* row_ptr, float* rhs, float* solution) {
    superlu_system system(n, nnz, values, col_index, row_ptr);
    system.factorise_and_solve(rhs);
    std::copy(rhs, rhs + n, solution);
}

}  // namespace veltaro
