#pragma once

#include <string>
#include <string_view>

namespace telvane::archive {

// The UTF-8 text of a received line's code page 932 bytes, into `out`. Beacon lines are nearly
// always plain ASCII, which reads the same in both.
void Utf8Of(std::string_view cp932, std::string& out);

}  // namespace telvane::archive
