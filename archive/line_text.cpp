#include "line_text.h"

#include <algorithm>

#include "cp932.h"

namespace telvane::archive {

void Utf8Of(std::string_view cp932, std::string& out) {
    if (std::all_of(cp932.begin(), cp932.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        out.assign(cp932);
    } else {
        out = FromCp932(cp932).toStdString();
    }
}

}  // namespace telvane::archive
