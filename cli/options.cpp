#include "options.h"

#include <array>

namespace telvane::cli {
namespace {

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Reads exactly `text.size()` decimal digits.
std::optional<int> ReadDigits(std::string_view text) {
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

std::optional<Format> ParseFormat(std::string_view name) {
    if (name == "text") {
        return Format::kText;
    }
    if (name == "json") {
        return Format::kJson;
    }
    if (name == "csv") {
        return Format::kCsv;
    }
    return std::nullopt;
}

std::optional<Encoding> ParseEncoding(std::string_view name) {
    if (name == "utf-8") {
        return Encoding::kUtf8;
    }
    if (name == "cp932") {
        return Encoding::kCp932;
    }
    return std::nullopt;
}

// Applies one option that takes a value; returns an error message, empty on success.
std::string ApplyValue(Options& options, std::string_view name, std::string_view value) {
    if (name == "--time") {
        options.time = ParseTime(value);
        return options.time ? ""
                            : "malformed --time '" + std::string(value) +
                                  "' (expected 'YYYY-MM-DD HH:MM:SS')";
    }
    if (name == "--format") {
        const std::optional<Format> format = ParseFormat(value);
        options.format = format.value_or(Format::kText);
        return format ? ""
                      : "unknown format '" + std::string(value) + "' (expected text, json or csv)";
    }
    if (name == "-o") {
        options.outputPath = value;
        return value.empty() ? "-o needs a file name" : "";
    }
    const std::optional<Encoding> encoding = ParseEncoding(value);
    if (!encoding) {
        return "unknown encoding '" + std::string(value) + "' for " + std::string(name) +
               " (expected utf-8 or cp932)";
    }
    (name == "--input-encoding" ? options.inputEncoding : options.outputEncoding) = *encoding;
    return "";
}

bool TakesValue(std::string_view name) {
    return name == "--time" || name == "--input-encoding" || name == "--output-encoding" ||
           name == "--format" || name == "-o";
}

}  // namespace

std::optional<LocalTime> ParseTime(std::string_view text) {
    constexpr std::string_view kShape = "dddd-dd-dd dd:dd:dd";
    if (text.size() != kShape.size()) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < kShape.size(); ++i) {
        if (kShape[i] != 'd' && text[i] != kShape[i]) {
            return std::nullopt;
        }
    }
    const auto year = ReadDigits(text.substr(0, 4));
    const auto month = ReadDigits(text.substr(5, 2));
    const auto day = ReadDigits(text.substr(8, 2));
    const auto hour = ReadDigits(text.substr(11, 2));
    const auto minute = ReadDigits(text.substr(14, 2));
    const auto second = ReadDigits(text.substr(17, 2));
    if (!year || !month || !day || !hour || !minute || !second) {
        return std::nullopt;
    }
    if (*month < 1 || *month > 12 || *day < 1 || *day > DaysInMonth(*year, *month) || *hour > 23 ||
        *minute > 59 || *second > 59) {
        return std::nullopt;
    }
    return LocalTime{*year, *month, *day, *hour, *minute, *second};
}

ParsedOptions ParseOptions(std::span<const std::string_view> args) {
    ParsedOptions parsed;
    Options& options = parsed.options;
    bool inputSeen = false;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size() && parsed.error.empty(); ++i) {
        std::string_view arg = args[i];
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && (arg == "-h" || arg == "--help")) {
            options.help = true;
        } else if (!optionsEnded && arg == "--version") {
            options.version = true;
        } else if (!optionsEnded && arg == "--batch") {
            options.batch = true;
        } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            std::string_view name = arg.substr(0, arg.find('='));
            if (!TakesValue(name)) {
                parsed.error = "unknown option '" + std::string(arg) + "'";
            } else if (name.size() < arg.size()) {
                parsed.error = ApplyValue(options, name, arg.substr(name.size() + 1));
            } else if (i + 1 < args.size()) {
                parsed.error = ApplyValue(options, name, args[++i]);
            } else {
                parsed.error = std::string(name) + " needs a value";
            }
        } else if (inputSeen) {
            parsed.error = "more than one input file ('" + std::string(arg) + "')";
        } else {
            options.inputPath = arg;
            inputSeen = true;
        }
    }
    return parsed;
}

std::string_view UsageText() {
    return "Usage: telvane-convert [--time 'YYYY-MM-DD HH:MM:SS'] [--input-encoding utf-8|cp932]\n"
           "                       [--output-encoding cp932|utf-8] [--format text|json|csv]\n"
           "                       [--batch] [-o PATH] [FILE]\n"
           "\n"
           "Converts the six lines of an ORBEL-K CW beacon (headers ZK1 to ZK6) into a Telvane\n"
           "report, byte for byte as the Telvane dialog saves it (code page 932, CR LF).\n"
           "\n"
           "Line k of FILE (standard input when FILE is absent or '-') is beacon line k; fewer\n"
           "than six lines leave the remaining lines empty.\n"
           "\n"
           "  --time 'YYYY-MM-DD HH:MM:SS'  conversion time in local time (default: now)\n"
           "  --input-encoding utf-8|cp932  how the input is encoded (default: utf-8)\n"
           "  --output-encoding cp932|utf-8 how text reports are written (default: cp932)\n"
           "  --format text|json|csv        the report (default), or the decoded values as\n"
           "                                JSON or CSV (UTF-8)\n"
           "  --batch                       FILE is a log of many beacons, each line with its\n"
           "                                header; JSON gives JSON Lines, CSV one row per "
           "beacon,\n"
           "                                text one report file per beacon in the folder -o\n"
           "  -o PATH                       write to PATH instead of standard output\n"
           "  -h, --help                    show this help\n"
           "      --version                 show the version\n"
           "\n"
           "Exit status: 0 on success, 2 for bad input or usage, 1 when the output cannot be "
           "written.\n";
}

}  // namespace telvane::cli
