#include "solver/sparse_lu.h"

#include <gtest/gtest.h>

#include "common/run_error.h"

namespace veltaro {
namespace {

TEST(SparseSolve, OneByOne) {
    const float value = 2.0f;
    const int column = 0;
    const int rows[] = {0, 1};
    float rhs = 6.0f;
    float solution = 0.0f;
    solve_sparse_matrix(1, 1, &value, &column, rows, &rhs, &solution);
    EXPECT_EQ(solution, 3.0f);
    EXPECT_EQ(rhs, 3.0f);
}

TEST(SparseSolve, RowsInAnyOrderOnlyPermuteTheEquations) {
    // Row k says x[perm[k]] = b[k].
    const std::vector<int> perm = {2, 0, 3, 1};
    csr_matrix matrix;
    matrix.n = 4;
    matrix.row_ptr = {0};
    for (int column : perm) {
        matrix.values.push_back(1.0f);
        matrix.col_index.push_back(column);
        matrix.row_ptr.push_back(matrix.nnz());
    }
    std::vector<float> rhs = {10, 20, 30, 40};
    std::vector<float> solution(4);
    sparse_lu(matrix).solve(rhs.data(), solution.data());
    EXPECT_EQ(solution, (std::vector<float>{20, 40, 10, 30}));
    EXPECT_EQ(rhs, solution);
}

TEST(SparseSolve, SingularMatrixIsRefusedNotReturnedAsTheAnswer) {
    const float values[] = {1.0f, 1.0f, 1.0f, 1.0f};  // a zero pivot in column 2
    const int columns[] = {0, 1, 0, 1};
    const int rows[] = {0, 2, 4};
    float rhs[] = {1, 2};
    float solution[2] = {};
    EXPECT_THROW(solve_sparse_matrix(2, 4, values, columns, rows, rhs, solution), run_error);
}

TEST(SparseSolve, EmptyRowOrColumnIsRefusedBeforeTheFactorisation) {
    const float values[] = {1.0f, 2.0f};
    const int columns[] = {0, 1};
    float rhs[] = {1, 2, 3};
    float solution[3] = {};
    const int empty_row[] = {0, 1, 2, 2};
    EXPECT_THROW(solve_sparse_matrix(3, 2, values, columns, empty_row, rhs, solution), run_error);
    const int columns_0_and_0[] = {0, 0};
    const int rows[] = {0, 1, 2};
    EXPECT_THROW(solve_sparse_matrix(2, 2, values, columns_0_and_0, rows, rhs, solution),
                 run_error);
}

}  // namespace
}  // namespace veltaro
