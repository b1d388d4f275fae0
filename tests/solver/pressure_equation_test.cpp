// The pressure stage's stored factors against a fresh solve, and the sparse solve's refusal of
// matrices the pressure equation never makes.
#include "solver/pressure_equation.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/run_error.h"
#include "solver/laplacian.h"

namespace veltaro {
namespace {

// A run factorises once and then solves with the stored factors: bit for
// bit what a fresh factorisation of the same system gives.
TEST(PressureEquation, ReusedFactorsGiveExactlyTheOneShotSolve) {
    flow_field field = allocate_flow_field(12, 7, 1.0f, 1.0f);
    solver_workspace workspace = make_solver_workspace(field);
    const run_parameters params{.dynamic_viscosity = 0.1f, .density = 1.0f};
    for (int step = 0; step < 4; ++step) {
        for (int i = 0; i < 12; ++i) {
            for (int j = 0; j < 7; ++j) {
                field.u_adv[i][j] = static_cast<float>((i * 7 + j * 3 + step) % 11) * 0.1f;
                field.v_adv[i][j] = static_cast<float>((i + j * 5 + step) % 7) * 0.05f;
                field.u[i][j] = static_cast<float>((i * j + step) % 5) * 0.2f;
            }
        }
        velocity_laplacians(field, workspace);
        pressure_equation(field, 0.01f, params, workspace);
        // The solve left x in place of b: b again, for the fresh solve.
        pressure_rhs(field, 0.01f, params, workspace);
        std::vector<float> fresh(workspace.rhs.size());
        const csr_matrix& a = workspace.pressure_matrix;
        solve_sparse_matrix(a.n, a.nnz(), a.values.data(), a.col_index.data(), a.row_ptr.data(),
                            workspace.rhs.data(), fresh.data());
        ASSERT_EQ(fresh, workspace.solution) << "iteration " << step;
    }
}

// The solver writes out of bounds on an empty row or column instead of
// calling the matrix singular, so such a matrix must never reach it.
TEST(SparseSolve, RefusesSingularMatricesAndThoseWithAnEmptyRowOrColumn) {
    const struct {
        int n;
        std::vector<float> values;
        std::vector<int> columns, rows;
        const char* why;
    } matrices[] = {
        {2, {1, 1, 1, 1}, {0, 1, 0, 1}, {0, 2, 4}, "zero pivot in column 2"},
        {3, {1, 2}, {0, 1}, {0, 1, 2, 2}, "row 3 is empty"},
        {2, {1, 2}, {0, 0}, {0, 1, 2}, "column 2 is empty"},
    };
    for (const auto& m : matrices) {
        std::vector<float> rhs(static_cast<std::size_t>(m.n), 1.0f), solution(rhs);
        try {
            solve_sparse_matrix(m.n, static_cast<int>(m.values.size()), m.values.data(),
                                m.columns.data(), m.rows.data(), rhs.data(), solution.data());
            ADD_FAILURE() << m.why << ": solved";
        } catch (const run_error& error) {
            EXPECT_NE(std::string(error.what()).find(m.why), std::string::npos) << error.what();
        }
    }
}

}  // namespace
}  // namespace veltaro
