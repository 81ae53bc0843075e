#pragma once

// What the beacon can say: its six lines, each with its header and the characters it carries.
// The conversion, the operator aids and the CW decoder all read these from here.

#include <array>
#include <cstddef>
#include <string_view>

namespace telvane {

inline constexpr int kLineCount = 6;

// Line k's header, as keyed and typed.
inline constexpr std::array<std::string_view, kLineCount> kLineHeaders = {"ZK1", "ZK2", "ZK3",
                                                                          "ZK4", "ZK5", "ZK6"};

// The number of hexadecimal digits each line carries; 0 for line 1, which is free text.
inline constexpr std::array<std::size_t, kLineCount> kLineWidths = {0, 6, 8, 6, 6, 10};

// The characters the satellite keys on line 1 (the laboratory's web address); lines 2 to 6 carry
// hexadecimal digits only.
inline constexpr std::string_view kUrlCharacters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789/.-";
inline constexpr std::string_view kHexDigits = "0123456789ABCDEF";

}  // namespace telvane
