#include "power_median.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <vector>

namespace telvane::morse {

// Floats of zero or above order as their bit patterns do. The top byte (the exponent's high bits)
// is counted first: the median's byte is known from the counts, and only the values that share
// it, a fraction of a noise spectrum, are left to select from.
float PowerMedian(std::span<const float> powers) {
    if (powers.empty()) {
        return 0;
    }
    constexpr int kShift = 24;
    std::array<std::size_t, 256> histogram{};
    for (const float power : powers) {
        ++histogram[std::bit_cast<std::uint32_t>(power) >> kShift];
    }
    std::size_t rank = powers.size() / 2;
    std::uint32_t byte = 0;
    while (rank >= histogram[byte]) {
        rank -= histogram[byte];
        ++byte;
    }
    std::vector<std::uint32_t> candidates;
    candidates.reserve(histogram[byte]);
    for (const float power : powers) {
        const auto bits = std::bit_cast<std::uint32_t>(power);
        if (bits >> kShift == byte) {
            candidates.push_back(bits);
        }
    }
    const auto middle = candidates.begin() + static_cast<std::ptrdiff_t>(rank);
    std::nth_element(candidates.begin(), middle, candidates.end());
    return std::bit_cast<float>(*middle);
}

}  // namespace telvane::morse
