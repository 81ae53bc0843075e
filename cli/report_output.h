#pragma once

#include <string>
#include <string_view>

namespace telvane::cli {

// Writes the report to standard output. Returns an error message, empty on success.
std::string WriteToStandardOutput(std::string_view bytes);

// Writes the report to `path` through a temporary file beside it, renamed into place only when
// everything was written, so an existing file is never left truncated. Returns an error message,
// empty on success.
std::string WriteToFile(std::string_view bytes, const std::string& path);

}  // namespace telvane::cli
