#include "paste_routing.h"

#include <array>

#include "conversion.h"
#include "line_header.h"

namespace telvane {

std::vector<int> RoutePastedLines(std::span<const std::string_view> lines, int pastedBox) {
    std::vector<int> boxes(lines.size(), -1);
    std::array<bool, kLineCount> filled{};
    int next = pastedBox;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].find_first_not_of(" \t\r") == std::string_view::npos) {
            continue;
        }
        const int header = BoxOfHeader(lines[i]);
        const int box = header >= 0 ? header : next;
        if (box < kLineCount && filled[box]) {
            break;  // the next beacon begins: it would overwrite this one
        }
        if (box < kLineCount) {
            boxes[i] = box;
            filled[box] = true;
        }
        next = box + 1;
    }
    return boxes;
}

}  // namespace telvane
