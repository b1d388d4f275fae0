#include "analysis/grid_convergence.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "common/text_format.h"

namespace veltaro {
namespace {

constexpr int most_order_iterations = 200;
constexpr double order_tolerance = 1e-12;
// An order below this is no order: r^p - 1 would vanish in the next step.
constexpr double vanishing_order = 1e-9;

grid_estimate no_band(std::string reason, bool not_converging) {
    grid_estimate estimate;
    estimate.reason = std::move(reason);
    estimate.not_converging = not_converging;
    return estimate;
}

// ln((r21^p - s) / (r32^p - s)): the correction the unequal ratios make to
// the order; 0 when they are equal.
double ratio_term(double p, double r21, double r32, double s) {
    return std::log((std::pow(r21, p) - s) / (std::pow(r32, p) - s));
}

struct order_result {
    std::optional<double> order;  // empty when the fixed point is not found
    bool diverging = false;       // ln|eps32/eps21| + q(p) < 0: the errors grow on refinement
};

// The fixed point p = |ln|eps32/eps21| + q(p)| / ln r21 from the start q = 0.
order_result observed_order(double log_ratio, double r21, double r32, double s) {
    double p = std::fabs(log_ratio) / std::log(r21);
    for (int k = 0; k < most_order_iterations; ++k) {
        if (!std::isfinite(p)) return {};
        if (p < vanishing_order) return {0.0, false};
        const double bracket = log_ratio + ratio_term(p, r21, r32, s);
        const double next = std::fabs(bracket) / std::log(r21);
        if (std::fabs(next - p) <= order_tolerance * std::max(1.0, p)) {
            return {next, bracket < 0.0};
        }
        p = next;
    }
    return {};
}

}  // namespace

grid_estimate estimate_grid_error(const std::array<double, 3>& spacing,
                                  const std::array<std::optional<double>, 3>& values,
                                  const std::array<std::string, 3>& mesh_names) {
    for (std::size_t k = 0; k < 3; ++k) {
        if (!values[k] || !std::isfinite(*values[k])) {
            return no_band("no value on the " + mesh_names[k] + " mesh", false);
        }
    }
    const double phi1 = *values[0], phi2 = *values[1], phi3 = *values[2];
    if (std::fabs(phi1) < near_zero_coefficient) return no_band("near zero", false);
    const double eps21 = phi2 - phi1;
    const double eps32 = phi3 - phi2;
    if (eps21 == 0.0 && eps32 == 0.0) {
        grid_estimate constant;
        constant.extrapolated = phi1;
        constant.band_relative = 0.0;
        constant.band_absolute = 0.0;
        constant.reason = "the same on the three meshes";
        return constant;
    }
    // The two finest agree and the coarsest does not: an order without bound.
    if (eps21 == 0.0) return no_band("order above 4 (the two finer meshes agree)", true);
    if (eps32 == 0.0) return no_band("diverging", true);
    const double s = eps32 / eps21 > 0.0 ? 1.0 : -1.0;
    if (s < 0.0) return no_band("oscillating", true);
    const double r21 = spacing[1] / spacing[0];
    const double r32 = spacing[2] / spacing[1];
    const order_result found = observed_order(std::log(std::fabs(eps32 / eps21)), r21, r32, s);
    if (!found.order) return no_band("the order's fixed point does not converge", true);
    // |eps32| below |eps21| (at equal ratios): the differences grow toward
    // the finest mesh, which the absolute value of the formula would hide.
    if (found.diverging) return no_band("diverging", true);
    const double p = *found.order;
    if (p < lowest_grid_order || p > highest_grid_order) {
        return no_band(
            format_text("order %.1f outside %g-%g", p, lowest_grid_order, highest_grid_order),
            true);
    }
    const double r21p = std::pow(r21, p);
    const double relative = std::fabs((phi1 - phi2) / phi1);
    grid_estimate estimate;
    estimate.order = p;
    estimate.extrapolated = (r21p * phi1 - phi2) / (r21p - 1.0);
    estimate.band_relative = grid_safety_factor * relative / (r21p - 1.0);
    estimate.band_absolute = *estimate.band_relative * std::fabs(phi1);
    return estimate;
}

}  // namespace veltaro
