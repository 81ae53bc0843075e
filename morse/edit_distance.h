#pragma once

// How many characters must be inserted, deleted or replaced to turn one text into another: how
// far two copies of a line, or a copy and what was keyed, differ.

#include <cstddef>
#include <string_view>

namespace telvane::morse {

std::size_t EditDistance(std::string_view a, std::string_view b);

}  // namespace telvane::morse
