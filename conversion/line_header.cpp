#include "line_header.h"

namespace telvane {

int BoxOfHeader(std::string_view line) {
    const std::size_t start = line.find_first_not_of(" \t");
    if (start == std::string_view::npos || line.size() - start < 3) {
        return -1;
    }
    const char z = line[start];
    const char k = line[start + 1];
    const char digit = line[start + 2];
    if ((z != 'Z' && z != 'z') || (k != 'K' && k != 'k') || digit < '1' || digit > '6') {
        return -1;
    }
    return digit - '1';
}

}  // namespace telvane
