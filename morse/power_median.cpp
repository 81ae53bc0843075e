#include "power_median.h"

#include <array>
#include <bit>
#include <cstdint>
#include <vector>

namespace telvane::morse {

// Floats of zero or above order as their bit patterns do, so the median's bits are found a byte
// at a time, highest first: count the candidates' values of the byte, keep those with the byte
// the middle rank falls in. Once one is left it is the median.
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
    for (int shift = 24; shift >= 0 && count > 1; shift -= 8) {
        const auto byteOf = [shift](std::uint32_t bits) { return (bits >> shift) & 0xFFU; };
        std::array<std::uint32_t, 256> histogram{};
        for (std::size_t i = 0; i < count; ++i) {
            ++histogram[byteOf(candidates[i])];
        }
        std::uint32_t byte = 0;
        while (rank >= histogram[byte]) {
            rank -= histogram[byte];
            ++byte;
        }
        std::size_t kept = 0;
        for (std::size_t i = 0; i < count; ++i) {
            candidates[kept] = candidates[i];
            kept += byteOf(candidates[i]) == byte ? 1 : 0;
        }
        count = kept;
    }
    return std::bit_cast<float>(candidates[0]);
}

}  // namespace telvane::morse
