#include "line_header.h"

#include <algorithm>

#include "beacon_layout.h"

namespace telvane {

int BoxOfHeader(std::string_view line) {
    const std::size_t start = line.find_first_not_of(" \t");
    if (start == std::string_view::npos) {
        return -1;
    }
    line.remove_prefix(start);
    const auto sameLetter = [](char header, char typed) {
        return header == (typed >= 'a' && typed <= 'z' ? typed - 'a' + 'A' : typed);
    };
    for (int k = 0; k < kLineCount; ++k) {
        const std::string_view header = kLineHeaders[k];
        if (line.size() >= header.size() &&
            std::equal(header.begin(), header.end(), line.begin(), sameLetter)) {
            return k;
        }
    }
    return -1;
}

}  // namespace telvane
