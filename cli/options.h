#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "local_time.h"

namespace telvane::cli {

enum class Encoding { kUtf8, kCp932 };
enum class Format { kText, kJson, kCsv };

struct Options {
    std::optional<LocalTime> time;  // the current local time when absent
    Encoding inputEncoding = Encoding::kUtf8;
    Encoding outputEncoding = Encoding::kCp932;  // of text reports; JSON and CSV are UTF-8
    Format format = Format::kText;
    bool batch = false;      // the input is a log of many beacons
    std::string outputPath;  // standard output when empty; a folder for batches of text reports
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
