// The transform solve of the pressure system (docs/method.md, "The
// transform solve"): a cosine transform across the tunnel turns the
// five-point Laplacian into one tridiagonal system along the tunnel per
// wavenumber. This pair of files is the program's only contact with FFTW; no
// FFTW type leaves it.
#pragma once

#include <cstddef>
#include <memory>

namespace veltaro {

// Made once for a grid (nx, ny >= 3): the transform plans, the buffers and
// the tridiagonal factors of every wavenumber. Each solve then allocates
// nothing and gives the same bytes for the same right-hand side. Throws
// std::bad_alloc when its memory cannot be had.
class fft_pressure {
public:
    // threads: the solve's transforms and tridiagonal systems are split into
    // that many shares, each done by one thread (the bytes do not change).
    fft_pressure(int nx, int ny, float dx, float dy, int threads = 1);
    ~fft_pressure();
    fft_pressure(fft_pressure&&) noexcept;
    fft_pressure& operator=(fft_pressure&&) noexcept;
    fft_pressure(const fft_pressure&) = delete;
    fft_pressure& operator=(const fft_pressure&) = delete;

    // The system of assemble_pressure_matrix: rhs in its row order,
    // solution in unknown order (pressure_unknown), (nx-1) ny values each.
    void solve(const float* rhs, float* solution);

    // What the solve keeps: buffers and factors, in bytes.
    [[nodiscard]] std::size_t memory_bytes() const;

private:
    struct state;
    std::unique_ptr<state> state_;
};

}  // namespace veltaro
