// A select without a branch, shared by the advection kernels.
#pragma once

#include <bit>
#include <cstdint>

namespace veltaro {

// `when` ? a : b, as a select of bits rather than a branch, so that the
// loops around it vectorise, and an infinity or NaN in the value not chosen
// leaves no trace (pick(when, a, 0.0f) is +0 where `when` is false).
inline float pick(bool when, float a, float b) {
    const std::uint32_t mask = when ? ~0u : 0u;
    return std::bit_cast<float>((std::bit_cast<std::uint32_t>(a) & mask) |
                                (std::bit_cast<std::uint32_t>(b) & ~mask));
}

}  // namespace veltaro
