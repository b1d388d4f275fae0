// The transform solve of the pressure system against the LU solve: both
// measured against a double-precision solve of the same matrix, on random
// right-hand sides over every row (boundary ties included), from the
// smallest grid to the fine mesh. Through the pressure stage of whole runs,
// its coefficients against the LU solve's and its repeatability to the
// byte are in the end-to-end runs of both solves.
#include "solver/fft_pressure.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "solver/pressure_equation.h"

namespace veltaro {
namespace {

std::vector<float> random_rhs(int n, unsigned seed) {
    std::mt19937 generator(seed);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    std::vector<float> rhs(static_cast<std::size_t>(n));
    for (float& r : rhs) r = value(generator);
    return rhs;
}

// A x = b for the float entries of A taken exactly, in double precision:
// iterative refinement, residuals in double, corrections from the single-
// precision LU factors. Each pass shrinks the error by about cond(A) times
// float's epsilon, far below 1 on these grids; the last correction's size
// is returned with x, to show that it converged.
std::vector<double> double_solution(const csr_matrix& a, sparse_lu& factors,
                                    const std::vector<float>& b, double& last_correction) {
    const auto n = static_cast<std::size_t>(a.n);
    std::vector<double> x(n, 0.0);
    std::vector<float> correction(n), unused(n);
    for (int pass = 0; pass < 8; ++pass) {
        for (std::size_t row = 0; row < n; ++row) {
            double residual = b[row];
            for (int k = a.row_ptr[row]; k < a.row_ptr[row + 1]; ++k)
                residual -= static_cast<double>(a.values[k]) * x[a.col_index[k]];
            correction[row] = static_cast<float>(residual);
        }
        factors.solve(correction.data(), unused.data());
        last_correction = 0.0;
        for (std::size_t k = 0; k < n; ++k) {
            x[k] += correction[k];
            last_correction = std::max(last_correction, std::fabs(double{correction[k]}));
        }
    }
    return x;
}

// The largest difference from the reference, relative to its range.
double relative_error(const std::vector<float>& x, const std::vector<double>& reference) {
    const auto [low, high] = std::minmax_element(reference.begin(), reference.end());
    double largest = 0.0;
    for (std::size_t k = 0; k < x.size(); ++k)
        largest = std::max(largest, std::fabs(x[k] - reference[k]));
    return largest / (*high - *low);
}

TEST(TransformSolve, AsAccurateAsTheLuSolveOnRandomRightHandSides) {
    const struct { int nx, ny; float dx, dy; } grids[] = {
        {3, 3, 1.0f, 1.0f},      {4, 3, 0.5f, 0.5f},       {3, 4, 0.5f, 0.5f},
        {8, 5, 0.5f, 0.25f},     {17, 12, 0.1f, 0.3f},     {60, 25, 0.04f, 0.04f},
        {101, 50, 0.02f, 0.02f}, {400, 100, 0.01f, 0.01f},
    };
    for (const auto& g : grids) {
        SCOPED_TRACE(testing::Message() << g.nx << " x " << g.ny);
        const csr_matrix matrix = assemble_pressure_matrix(g.nx, g.ny, g.dx, g.dy);
        sparse_lu lu(matrix);
        fft_pressure fft(g.nx, g.ny, g.dx, g.dy);
        const std::vector<float> b = random_rhs(matrix.n, static_cast<unsigned>(g.nx * g.ny));
        double converged = 0.0;
        const std::vector<double> reference = double_solution(matrix, lu, b, converged);
        ASSERT_LT(converged / *std::max_element(reference.begin(), reference.end()), 1e-13);

        std::vector<float> rhs = b, x_lu(b.size()), x_fft(b.size());
        lu.solve(rhs.data(), x_lu.data());
        fft.solve(b.data(), x_fft.data());
        const double lu_error = relative_error(x_lu, reference);
        const double fft_error = relative_error(x_fft, reference);
        // Where the LU solve is all but exact (the tiniest grids), a few
        // roundings of float are the floor.
        EXPECT_LE(fft_error, std::max(2 * lu_error, 4e-7)) << "LU's error " << lu_error;

        EXPECT_TRUE(g.nx < 400 || fft.memory_bytes() <= lu.memory_bytes());
    }
}

}  // namespace
}  // namespace veltaro
