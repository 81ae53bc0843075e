#include "paste_routing.h"

#include "conversion.h"
#include "line_header.h"

namespace telvane {

std::vector<int> RoutePastedLines(std::span<const std::string_view> lines, int pastedBox) {
    std::vector<int> boxes;
    boxes.reserve(lines.size());
    int next = pastedBox;
    for (const std::string_view line : lines) {
        if (line.find_first_not_of(" \t\r") == std::string_view::npos) {
            boxes.push_back(-1);
            continue;
        }
        const int header = BoxOfHeader(line);
        const int box = header >= 0 ? header : next;
        boxes.push_back(box < kLineCount ? box : -1);
        next = box + 1;
    }
    return boxes;
}

}  // namespace telvane
