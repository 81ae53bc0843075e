#pragma once

#include <string_view>

#include "line_reader.h"
#include "local_time.h"
#include "options.h"

namespace telvane::cli {

inline constexpr int kExitOutputFailure = 1;
inline constexpr int kExitBadInput = 2;

// Prints "telvane-convert: message" on standard error and gives back `status`.
int Fail(int status, std::string_view message);

// Converts one beacon of up to six lines and writes it in the chosen format. Returns the exit
// status.
int ConvertSingle(const Options& options, LineReader& input, const LocalTime& time);

// Converts every beacon of a log. Returns the exit status.
int ConvertBatch(const Options& options, LineReader& input, const LocalTime& time);

}  // namespace telvane::cli
