#pragma once

#include <string_view>

namespace telvane {

// The box a line's header names: 0 for "ZK1" up to 5 for "ZK6", in either case and after any
// spaces or tabs; -1 when the line starts with no header. Works on any ASCII-compatible bytes.
int BoxOfHeader(std::string_view line);

}  // namespace telvane
