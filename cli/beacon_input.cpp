#include "beacon_input.h"

#include <QString>
#include <algorithm>
#include <optional>

#include "cp932.h"

namespace telvane::cli {
namespace {

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kNulByte = "contains a NUL byte";
constexpr std::string_view kNotUtf8 = "is not valid UTF-8";

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool IsBlank(std::string_view text) {
    return text.find_first_not_of(" \t") == std::string_view::npos;
}

// Adds one piece of a line to `line`; returns what is wrong with it, if anything. The first
// fault in the line is the one named, wherever the blocks of input happen to split it.
std::string_view AddPiece(std::string_view piece, std::optional<Utf8ToCp932>& utf8,
                          std::string& line) {
    const std::size_t nul = piece.find('\0');
    const std::string_view before = piece.substr(0, nul);
    if (!utf8) {
        line += before;
    } else if (!utf8->Add(before, line)) {
        return kNotUtf8;
    }
    return nul == std::string_view::npos ? std::string_view() : kNulByte;
}

std::string LineError(std::size_t number, std::string_view problem) {
    return "line " + std::to_string(number) + ": " + std::string(problem);
}

}  // namespace

void SkipByteOrderMark(LineReader& reader, Encoding encoding) {
    if (encoding == Encoding::kUtf8) {
        reader.SkipPrefix(kUtf8ByteOrderMark);
    }
}

std::string_view DecodeInputLine(std::string_view line, Encoding encoding, std::string& out) {
    if (line.find('\0') != std::string_view::npos) {
        return kNulByte;
    }
    // ASCII is the same in all three encodings: most beacon lines need no converter at all.
    if (encoding == Encoding::kCp932 || IsAscii(line)) {
        out = line;
    } else if (!IsValidUtf8(line)) {
        return kNotUtf8;
    } else {
        out = ToCp932(QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size())));
    }
    return {};
}

BeaconInput ReadBeacon(LineReader& reader, Encoding encoding) {
    BeaconInput result;
    SkipByteOrderMark(reader, encoding);
    std::optional<Utf8ToCp932> utf8;
    std::string_view piece;
    bool ends = false;
    while (reader.Next(piece, ends)) {
        const std::size_t number = reader.LineNumber();
        std::string_view problem;
        if (number > kLineCount) {
            problem = IsBlank(piece) ? "" : "more than six beacon lines";
        } else {
            if (encoding == Encoding::kUtf8 && !utf8) {
                utf8.emplace();
            }
            problem = AddPiece(piece, utf8, result.lines[number - 1]);
            if (problem.empty() && ends && utf8) {
                problem = utf8->Finish() ? "" : kNotUtf8;
                utf8.reset();
            }
        }
        if (!problem.empty()) {
            result.error = LineError(number, problem);
            return result;
        }
    }
    return result;
}

BeaconInput ReadBeaconLines(std::string_view input, Encoding encoding) {
    LineReader reader(ReadFromMemory(input));
    return ReadBeacon(reader, encoding);
}

}  // namespace telvane::cli
