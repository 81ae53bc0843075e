#include "power_median.h"

#include <array>
#include <bit>
#include <cstdint>
#include <vector>

namespace telvane::morse {

// Floats of zero or above order as their bit patterns do, so the median's bits are found a byte
// at a time, highest first: count the candidates' values of the byte, keep those with the byte
// the middle rank falls in.
float PowerMedian(std::span<const float> powers) {
    if (powers.empty()) {
        return 0;
    }
    std::vector<std::uint32_t> candidates(powers.size());
    for (std::size_t i = 0; i < powers.size(); ++i) {
        candidates[i] = std::bit_cast<std::uint32_t>(powers[i]);
    }
    std::size_t rank = powers.size() / 2;
    std::size_t count = candidates.size();
    std::uint32_t bits = 0;
    std::uint32_t known = 0;
    for (int shift = 24; shift >= 0; shift -= 8) {
        std::size_t kept = 0;
        for (std::size_t i = 0; i < count; ++i) {
            candidates[kept] = candidates[i];
            kept += (candidates[i] & known) == bits ? 1 : 0;
        }
        count = kept;
        std::array<std::size_t, 256> histogram{};
        for (std::size_t i = 0; i < count; ++i) {
            ++histogram[(candidates[i] >> shift) & 0xFFU];
        }
        std::uint32_t byte = 0;
        while (rank >= histogram[byte]) {
            rank -= histogram[byte];
            ++byte;
        }
        bits |= byte << shift;
        known |= 0xFFU << shift;
    }
    return std::bit_cast<float>(bits);
}

}  // namespace telvane::morse
