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
    bool batch = false;       // the input is a log of many beacons
    bool quiet = false;       // no warnings about misheard characters
    std::string outputPath;   // standard output when empty or "-"; a folder for text batches
    std::string inputPath;    // standard input when empty or "-"
    std::string audioPath;    // a recording to copy the beacons from, instead of the input
    bool transcript = false;  // write what was heard in the recording, with times
    bool listen = false;      // copy beacons from an input device until interrupted
    std::string device;       // the input to listen to; the default one when empty
    bool listDevices = false;
    std::optional<std::string> archivePath;  // record the beacons; empty: the default archive
    bool help = false;
    bool version = false;
};

struct ParsedOptions {
    Options options;
    std::string error;  // empty when the command line was understood
};

// Reads the arguments after the program name.
ParsedOptions ParseOptions(std::span<const std::string_view> args);

std::string_view UsageText();

}  // namespace telvane::cli
