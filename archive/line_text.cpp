#include "line_text.h"

#include "cp932.h"

namespace telvane::archive {

void Utf8Of(std::string_view cp932, std::string& out) {
    if (IsPlainAscii(cp932)) {
        out.assign(cp932);
    } else {
        out = FromCp932(cp932).toStdString();
    }
}

}  // namespace telvane::archive
