#include "geometry/signed_distance.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "geometry/obstacle_masks.h"

namespace veltaro {

namespace {

// Squared distance of a pixel that no feature reaches (yet).
constexpr double far_away = 1e20;

// Buffers for one line of the transform, sized once for the longest line.
struct line_buffers {
    std::vector<double> f, d, z;
    std::vector<int> v;
    explicit line_buffers(int n)
        : f(static_cast<std::size_t>(n)),
          d(static_cast<std::size_t>(n)),
          z(static_cast<std::size_t>(n) + 1),
          v(static_cast<std::size_t>(n)) {}
};

// d(q) = min over p of (q - p)^2 + f(p), exactly, in O(n): the lower
// envelope of the parabolas rooted at (p, f(p)). v holds the roots of the
// envelope's parabolas in order, z the abscissae where each takes over.
void distance_transform_line(line_buffers& b, int n) {
    const std::vector<double>& f = b.f;
    const auto crossing = [&f](int q, int p) {
        return ((f[q] + double(q) * q) - (f[p] + double(p) * p)) / (2.0 * (q - p));
    };
    int k = 0;
    b.v[0] = 0;
    b.z[0] = -std::numeric_limits<double>::infinity();
    b.z[1] = std::numeric_limits<double>::infinity();
    for (int q = 1; q < n; ++q) {
        double s = crossing(q, b.v[k]);
        while (k > 0 && s <= b.z[k]) {
            --k;
            s = crossing(q, b.v[k]);
        }
        ++k;
        b.v[k] = q;
        b.z[k] = s;
        b.z[k + 1] = std::numeric_limits<double>::infinity();
    }
    k = 0;
    for (int q = 0; q < n; ++q) {
        while (b.z[k + 1] < q) ++k;
        const double offset = q - b.v[k];
        b.d[q] = offset * offset + f[b.v[k]];
    }
}

// Squared distance from every pixel to the nearest pixel centre whose
// class is `feature`: columns first (contiguous), then rows.
void squared_distance(const int_grid& picture, bool feature_dark, float_grid& out) {
    const int width = picture.nx();
    const int height = picture.ny();
    line_buffers b(std::max(width, height));
    for (int c = 0; c < width; ++c) {
        for (int k = 0; k < height; ++k) {
            const bool dark = picture[c][k] != open_pixel;
            b.f[k] = dark == feature_dark ? 0.0 : far_away;
        }
        distance_transform_line(b, height);
        for (int k = 0; k < height; ++k) out[c][k] = static_cast<float>(b.d[k]);
    }
    for (int k = 0; k < height; ++k) {
        for (int c = 0; c < width; ++c) b.f[c] = out[c][k];
        distance_transform_line(b, width);
        for (int c = 0; c < width; ++c) out[c][k] = static_cast<float>(b.d[c]);
    }
}

std::vector<double> gaussian_weights() {
    const int radius = static_cast<int>(std::ceil(3.0 * distance_smoothing));
    std::vector<double> weight(static_cast<std::size_t>(radius) + 1);
    double sum = 0.0;
    for (int k = 0; k <= radius; ++k) {
        weight[k] = std::exp(-0.5 * k * k / (distance_smoothing * distance_smoothing));
        sum += k == 0 ? weight[k] : 2.0 * weight[k];
    }
    for (double& w : weight) w /= sum;
    return weight;
}

// One pass of the Gaussian along a line of n values `stride` apart, the
// line held at its end values beyond its ends. Each symmetric pair is added
// before it is weighed, so a mirrored line gives the mirrored result bit
// for bit.
void smooth_line(const float* in, float* out, int n, std::ptrdiff_t stride,
                 const std::vector<double>& weight) {
    const int radius = static_cast<int>(weight.size()) - 1;
    for (int q = 0; q < n; ++q) {
        double sum = weight[0] * in[q * stride];
        for (int k = 1; k <= radius; ++k) {
            const int low = std::max(q - k, 0);
            const int high = std::min(q + k, n - 1);
            sum += weight[k] * (double(in[low * stride]) + double(in[high * stride]));
        }
        out[q * stride] = static_cast<float>(sum);
    }
}

void smooth(float_grid& phi, float_grid& scratch) {
    const std::vector<double> weight = gaussian_weights();
    const int width = phi.nx();
    const int height = phi.ny();
    for (int c = 0; c < width; ++c) smooth_line(phi[c], scratch[c], height, 1, weight);
    for (int k = 0; k < height; ++k) {
        smooth_line(scratch.data() + k, phi.data() + k, width, height, weight);
    }
}

// Where node n of `nodes` falls among `pixels` pixel centres: the lower
// pixel and the weights of it and the next, from exact integers so that the
// mirror node n -> nodes - 1 - n gets the mirrored pixels and weights.
struct stencil {
    int low = 0;
    int high = 0;
    double w_low = 1.0;
    double w_high = 0.0;
};

std::vector<stencil> stencils(int nodes, int pixels) {
    std::vector<stencil> out(static_cast<std::size_t>(nodes));
    // Node n at pixel coordinate (2 n pixels - (nodes - 1)) / (2 (nodes - 1)),
    // pixel centres at whole numbers.
    const std::int64_t den = nodes > 1 ? 2 * std::int64_t{nodes - 1} : 2;
    for (int n = 0; n < nodes; ++n) {
        const std::int64_t num =
            nodes > 1 ? 2 * std::int64_t{n} * pixels - (nodes - 1) : std::int64_t{pixels} - 1;
        std::int64_t low = num >= 0 ? num / den : -((-num + den - 1) / den);
        const std::int64_t rest = num - low * den;
        stencil& s = out[static_cast<std::size_t>(n)];
        s.low = static_cast<int>(std::clamp<std::int64_t>(low, 0, pixels - 1));
        s.high = static_cast<int>(std::clamp<std::int64_t>(low + 1, 0, pixels - 1));
        s.w_low = double(den - rest) / double(den);
        s.w_high = double(rest) / double(den);
    }
    return out;
}

}  // namespace

float_grid signed_distance(const int_grid& picture) {
    const int width = picture.nx();
    const int height = picture.ny();
    float_grid phi(width, height);
    float_grid inside(width, height);
    squared_distance(picture, true, phi);
    squared_distance(picture, false, inside);
    for (int c = 0; c < width; ++c) {
        for (int k = 0; k < height; ++k) {
            phi[c][k] = picture[c][k] == open_pixel ? std::sqrt(phi[c][k]) - 0.5f
                                                    : 0.5f - std::sqrt(inside[c][k]);
        }
    }
    smooth(phi, inside);
    return phi;
}

float_grid distance_at_nodes(const float_grid& phi, int nx, int ny) {
    float_grid out(nx, ny);
    if (phi.nx() < 1 || phi.ny() < 1) return out;
    const std::vector<stencil> columns = stencils(nx, phi.nx());
    const std::vector<stencil> rows = stencils(ny, phi.ny());
    const double spacings_per_pixel = std::sqrt(nx > 1 ? double(nx - 1) / phi.nx() : 1.0) *
                                      std::sqrt(ny > 1 ? double(ny - 1) / phi.ny() : 1.0);
    for (int i = 0; i < nx; ++i) {
        const stencil& a = columns[static_cast<std::size_t>(i)];
        for (int j = 0; j < ny; ++j) {
            const stencil& b = rows[static_cast<std::size_t>(j)];
            // Paired so that either mirror image only swaps the operands of
            // an addition.
            const double low_row = a.w_low * b.w_low * phi[a.low][b.low] +
                                   a.w_high * b.w_low * phi[a.high][b.low];
            const double high_row = a.w_low * b.w_high * phi[a.low][b.high] +
                                    a.w_high * b.w_high * phi[a.high][b.high];
            out[i][j] = static_cast<float>((low_row + high_row) * spacings_per_pixel);
        }
    }
    return out;
}

}  // namespace veltaro
