#include "solver/fft_pressure.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <new>
#include <numbers>
#include <type_traits>
#include <utility>
#include <vector>

#include "common/threads.h"
#include "solver/pressure_equation.h"

namespace veltaro {

namespace {

struct buffer_release {
    void operator()(float* block) const { fftwf_free(block); }
};
struct plan_release {
    void operator()(fftwf_plan plan) const { fftwf_destroy_plan(plan); }
};
using fftw_buffer = std::unique_ptr<float[], buffer_release>;
using fftw_plan_handle = std::unique_ptr<std::remove_pointer_t<fftwf_plan>, plan_release>;

fftw_buffer make_buffer(std::size_t count) {
    auto* block = static_cast<float*>(fftwf_malloc(count * sizeof(float)));
    if (block == nullptr) throw std::bad_alloc();
    std::fill(block, block + count, 0.0f);
    return fftw_buffer(block);
}

// One plan for the cosine transform of every column of `columns` (count
// columns of length values each, one after the other), in place. Planned by
// estimate, never by measurement, so that the same grid always gets the same
// plan and a solve the same bytes.
fftw_plan_handle plan_transforms(float* columns, int count, int length, fftwf_r2r_kind kind) {
    const int sizes[] = {length};
    fftwf_plan plan = fftwf_plan_many_r2r(1, sizes, count, columns, nullptr, 1, length, columns,
                                          nullptr, 1, length, &kind, FFTW_ESTIMATE);
    if (plan == nullptr) throw std::bad_alloc();
    return fftw_plan_handle(plan);
}

// The interior block is held column by column, i = 1 ... nx-2, each column
// the rows j = 1 ... ny-2: the layout of the interior rows of the matrix,
// and of the transform across the tunnel.
struct transform_solve {
    int nx = 0;
    int ny = 0;
    int columns = 0;  // nx - 2
    int rows = 0;     // ny - 2, also the number of wavenumbers
    pressure_coefficients coefficients;
    fftw_buffer buffer;                  // columns x rows
    std::vector<double> inverse_pivots;  // columns x rows: 1/pivot of each wavenumber's elimination
    std::vector<double> sweep;           // columns x rows: the forward sweep
    // DCT-II and DCT-III of the columns, one plan for each thread's share
    // of them (a plan over fewer columns gives each one the same bytes).
    std::vector<fftw_plan_handle> forward;
    std::vector<fftw_plan_handle> inverse;

    [[nodiscard]] std::size_t interior_size() const {
        return static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows);
    }
};

// Wavenumber k of the cosine series across the tunnel: row j (1 ... ny-2)
// carries cos(pi k (j - 1/2) / m), m = ny-2. Such a vector satisfies
//   v(j-1) + v(j+1) = 2 cos(pi k / m) v(j)
// with the ghosts v(0) = v(1) and v(m+1) = v(m), which is what the wall rows
// say; so the interior row (i, j) becomes, for wavenumber k,
//   c q(i-1) + (centre + 2 cos(pi k / m) / dy^2) q(i) + c q(i+1) = rhs_k(i),  c = 1/dx^2,
// with q(0) = q(1) at the inlet and q(nx-1) = 0 (the outlet, moved to the
// right-hand side). Gaussian elimination without pivoting along i is stable
// here: every row is diagonally dominant. Its pivots are kept inverted.
void factorise_wavenumbers(transform_solve& s) {
    const double c = s.coefficients.inv_dx2;
    const int m = s.rows;
    for (int k = 0; k < m; ++k) {
        const double diagonal =
            static_cast<double>(s.coefficients.centre) +
            2.0 * static_cast<double>(s.coefficients.inv_dy2) * std::cos(std::numbers::pi * k / m);
        double pivot = diagonal + c;  // the inlet tie q(0) = q(1) folds into column 1
        for (int column = 0; column < s.columns; ++column) {
            if (column > 0) pivot = diagonal - c * c * s.inverse_pivots[(column - 1) * m + k];
            s.inverse_pivots[static_cast<std::size_t>(column) * m + k] = 1.0 / pivot;
        }
    }
}

// Right-hand side rows of the boundary ties, after the interior rows.
struct boundary_rows {
    const float* walls;    // bottom, top for each i = 1 ... nx-2
    const float* inlet;    // j = 1 ... ny-2
    const float* corners;  // lower, upper
};

boundary_rows boundary_rows_of(const transform_solve& s, const float* rhs) {
    const float* walls = rhs + s.interior_size();
    const float* inlet = walls + 2 * s.columns;
    return {walls, inlet, inlet + s.rows};
}

// The interior rows' right-hand side into the buffer. A tie row
//   (p_b - p_n) / dy^2 = r
// gives p_b = p_n + r dy^2; substituted into the interior row that reads p_b,
// with coefficient 1/dy^2 (walls) or 1/dx^2 (inlet), it leaves the row with
// the neighbour's ghost of the transform and moves r, or r dy^2/dx^2, to the
// right-hand side:
//   row (i, 1):     rhs - r_bottom(i)
//   row (i, ny-2):  rhs + r_top(i)        (the top row lists p_n first)
//   row (1, j):     rhs - r_inlet(j) dy^2/dx^2
// The corner rows are read by no interior row.
void load_interior_rhs(transform_solve& s, const float* rhs) {
    float* interior = s.buffer.get();
    std::copy(rhs, rhs + s.interior_size(), interior);
    const boundary_rows boundary = boundary_rows_of(s, rhs);
    const int m = s.rows;
    for (int column = 0; column < s.columns; ++column) {
        interior[column * m] -= boundary.walls[2 * column];
        interior[column * m + m - 1] += boundary.walls[2 * column + 1];
    }
    const float a = s.coefficients.inv_dy2;
    const float c = s.coefficients.inv_dx2;
    for (int row = 0; row < m; ++row) interior[row] -= boundary.inlet[row] / a * c;
}

// The tridiagonal systems of the wavenumbers first ... last - 1 along the
// tunnel, in double precision, those wavenumbers at once so that the inner
// loops run over contiguous memory. The 1/(2m) of the transform pair is
// applied here.
void solve_wavenumbers(transform_solve& s, int first, int last) {
    const int m = s.rows;
    const double c = s.coefficients.inv_dx2;
    const double scale = 1.0 / (2.0 * m);
    float* transformed = s.buffer.get();
    for (int column = 0; column < s.columns; ++column) {
        const std::size_t at = static_cast<std::size_t>(column) * m;
        const float* __restrict d = transformed + at;
        const double* __restrict inverse_pivot = s.inverse_pivots.data() + at;
        double* __restrict e = s.sweep.data() + at;
        if (column == 0) {
            for (int k = first; k < last; ++k) e[k] = scale * d[k] * inverse_pivot[k];
        } else {
            const double* __restrict previous = e - m;
            for (int k = first; k < last; ++k)
                e[k] = (scale * d[k] - c * previous[k]) * inverse_pivot[k];
        }
    }
    for (int column = s.columns - 1; column >= 0; --column) {
        const std::size_t at = static_cast<std::size_t>(column) * m;
        const double* __restrict inverse_pivot = s.inverse_pivots.data() + at;
        double* __restrict x = s.sweep.data() + at;
        float* __restrict result = transformed + at;
        if (column + 1 < s.columns) {
            const double* __restrict next = x + m;
            for (int k = first; k < last; ++k) x[k] -= c * inverse_pivot[k] * next[k];
        }
        for (int k = first; k < last; ++k) result[k] = static_cast<float>(x[k]);
    }
}

// Every wavenumber's system, each thread's share of them on its own: each
// wavenumber's arithmetic is the same whichever thread does it.
void solve_along_tunnel(transform_solve& s) {
    const int parts = static_cast<int>(s.forward.size());
    VELTARO_PARALLEL_FOR
    for (int part = 0; part < parts; ++part) {
        const auto [first, last] = share_of(s.rows, part, parts);
        solve_wavenumbers(s, first, last);
    }
}

void execute_plans(std::vector<fftw_plan_handle>& plans) {
    const auto count = static_cast<int>(plans.size());
    VELTARO_PARALLEL_FOR
    for (int part = 0; part < count; ++part) fftwf_execute(plans[static_cast<std::size_t>(part)].get());
}

// One plan per share of the columns; a share may be empty where there are
// more threads than columns, and then has no plan.
std::vector<fftw_plan_handle> plan_shares(transform_solve& s, int parts, fftwf_r2r_kind kind) {
    std::vector<fftw_plan_handle> plans;
    for (int part = 0; part < parts; ++part) {
        const auto [first, last] = share_of(s.columns, part, parts);
        if (last == first) continue;
        plans.push_back(plan_transforms(s.buffer.get() + static_cast<std::size_t>(first) * s.rows,
                                        last - first, s.rows, kind));
    }
    return plans;
}

// The interior pressures from the buffer, then each tied node from its
// partner: p_b = p_n + r dy^2 for the rows that list p_b first, p_n - r dy^2
// for those that list it second (the top wall and the upper corner).
void store_solution(const transform_solve& s, const float* rhs, float* solution) {
    const int m = s.rows;
    const int nx = s.nx;
    auto p = [&](int i, int j) -> float& { return solution[pressure_unknown(nx, i, j)]; };
    const float* interior = s.buffer.get();
    VELTARO_PARALLEL_FOR
    for (int i = 1; i <= s.columns; ++i) {
        for (int j = 1; j <= m; ++j) p(i, j) = interior[(i - 1) * m + (j - 1)];
    }
    const boundary_rows boundary = boundary_rows_of(s, rhs);
    const float a = s.coefficients.inv_dy2;
    for (int i = 1; i <= s.columns; ++i) {
        p(i, 0) = p(i, 1) + boundary.walls[2 * (i - 1)] / a;
        p(i, s.ny - 1) = p(i, m) - boundary.walls[2 * (i - 1) + 1] / a;
    }
    for (int j = 1; j <= m; ++j) p(0, j) = p(1, j) + boundary.inlet[j - 1] / a;
    p(0, 0) = p(1, 1) + boundary.corners[0] / a;
    p(0, s.ny - 1) = p(1, m) - boundary.corners[1] / a;
}

}  // namespace

struct fft_pressure::state : transform_solve {};

fft_pressure::fft_pressure(int nx, int ny, float dx, float dy, int threads)
    : state_(std::make_unique<state>()) {
    state& s = *state_;
    s.nx = nx;
    s.ny = ny;
    s.columns = nx - 2;
    s.rows = ny - 2;
    s.coefficients = pressure_matrix_coefficients(dx, dy);
    s.buffer = make_buffer(s.interior_size());
    s.inverse_pivots.assign(s.interior_size(), 0.0);
    s.sweep.assign(s.interior_size(), 0.0);
    const int parts = std::clamp(threads, 1, std::max(1, std::min(s.columns, s.rows)));
    s.forward = plan_shares(s, parts, FFTW_REDFT10);
    s.inverse = plan_shares(s, parts, FFTW_REDFT01);
    factorise_wavenumbers(s);
}
fft_pressure::~fft_pressure() = default;
fft_pressure::fft_pressure(fft_pressure&&) noexcept = default;
fft_pressure& fft_pressure::operator=(fft_pressure&&) noexcept = default;

void fft_pressure::solve(const float* rhs, float* solution) {
    state& s = *state_;
    load_interior_rhs(s, rhs);
    execute_plans(s.forward);
    solve_along_tunnel(s);
    execute_plans(s.inverse);
    store_solution(s, rhs, solution);
}

std::size_t fft_pressure::memory_bytes() const {
    const std::size_t values = state_->interior_size();
    return sizeof(state) + values * (sizeof(float) + 2 * sizeof(double));
}

}  // namespace veltaro
