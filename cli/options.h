#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "local_time.h"

namespace telvane::cli {

enum class Encoding { kUtf8, kCp932 };

struct Options {
    std::optional<LocalTime> time;  // the current local time when absent
    Encoding inputEncoding = Encoding::kUtf8;
    Encoding outputEncoding = Encoding::kCp932;
    std::string outputPath;  // standard output when empty
    std::string inputPath;   // standard input when empty or "-"
    bool help = false;
    bool version = false;
};

struct ParsedOptions {
    Options options;
    std::string error;  // empty when the command line was understood
};

// Reads the arguments after the program name.
ParsedOptions ParseOptions(std::span<const std::string_view> args);

// Reads "YYYY-MM-DD HH:MM:SS"; nothing when the text is malformed or names no real time.
std::optional<LocalTime> ParseTime(std::string_view text);

std::string_view UsageText();

}  // namespace telvane::cli
