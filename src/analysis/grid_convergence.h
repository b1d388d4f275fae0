// The grid-convergence estimate of one coefficient: the same case on three
// meshes, Richardson's extrapolation with the observed order, and the
// grid-convergence index of the finest mesh as its error band (Roache's,
// with the safety factor 1.25 of a three-mesh study). The meshes' ratios
// need not be equal: the sizing truncates the nodes across, so
// r21 = h2 / h1 and r32 = h3 / h2 differ a little, and the order comes from
// the fixed point of
//     p = | ln|eps32 / eps21| + ln((r21^p - s) / (r32^p - s)) | / ln r21,
// eps21 = phi2 - phi1, eps32 = phi3 - phi2, s = sign(eps32 / eps21). Then
//     phi_ext = (r21^p phi1 - phi2) / (r21^p - 1),
//     e_a = |(phi1 - phi2) / phi1|,   GCI = 1.25 e_a / (r21^p - 1),
// the band phi1 +- GCI |phi1|. There is no band, and the reason says why,
// when the three do not converge monotonically, when p is outside 0.5-4 or
// its fixed point is not found, and when phi1 is too close to zero for a
// relative error to mean anything.
#pragma once

#include <array>
#include <optional>
#include <string>

namespace veltaro {

inline constexpr double grid_safety_factor = 1.25;
inline constexpr double lowest_grid_order = 0.5;
inline constexpr double highest_grid_order = 4.0;
// Below this |phi1| (a symmetric body's lift) a relative band is noise.
inline constexpr double near_zero_coefficient = 1e-3;

struct grid_estimate {
    // Empty where there is no band.
    std::optional<double> order;
    std::optional<double> extrapolated;
    std::optional<double> band_relative;  // GCI of the finest mesh
    std::optional<double> band_absolute;  // GCI |phi1|
    // Empty with a band, except for a constant sequence ("the same on the
    // three meshes", band 0); otherwise why there is none.
    std::string reason;
    // The sequence does not converge (oscillates, diverges, its order is out
    // of range or not found): worth a warning, unlike a value near zero.
    bool not_converging = false;
};

// spacing: h of each mesh, values: phi on it, both finest first. A value
// missing on a mesh gives no band, the reason naming the mesh by
// mesh_names (finest first).
grid_estimate estimate_grid_error(const std::array<double, 3>& spacing,
                                  const std::array<std::optional<double>, 3>& values,
                                  const std::array<std::string, 3>& mesh_names);

}  // namespace veltaro
