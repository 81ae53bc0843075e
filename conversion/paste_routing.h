#pragma once

#include <span>
#include <string_view>
#include <vector>

namespace telvane {

// Where each line of a multi-line paste goes: a line with a ZK1-ZK6 header goes to that header's
// box, any other line to the box after the line before it (the first to the box pasted into).
// Only the first beacon of the text is placed: it ends at the first line that would fill a box a
// second time, and that line and all after it get -1. Blank lines, and lines that would land past
// box 6, get -1 too.
std::vector<int> RoutePastedLines(std::span<const std::string_view> lines, int pastedBox);

}  // namespace telvane
