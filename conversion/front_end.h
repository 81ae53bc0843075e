#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace telvane {

// Removes every space (0x20) from `line`; other bytes, tabs included, stay where they are.
void RemoveSpaces(std::string& line);

// The per-line front end of the decoders of lines 2 to 6: removes the spaces, then pads the line
// on the right with '0' up to `width` bytes. A longer line is kept whole.
void CompactField(std::string& line, std::size_t width);

// Reads a short field as hexadecimal. Any byte that is not a hexadecimal digit makes the whole
// field read as 0, so a misheard character never yields a plausible-looking wrong number.
std::int32_t HexToInt(std::string_view text);

// The first N two-character fields of a normalised line, each read with HexToInt.
template <std::size_t N>
std::array<std::int32_t, N> ReadByteFields(std::string_view field) {
    std::array<std::int32_t, N> bytes{};
    for (std::size_t k = 0; k < N; ++k) {
        bytes[k] = HexToInt(field.substr(2 * k, 2));
    }
    return bytes;
}

}  // namespace telvane
