#include "beacon_input.h"

#include <QString>
#include <algorithm>

#include "cp932.h"

namespace telvane::cli {
namespace {

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

void SkipByteOrderMark(std::string_view& input, Encoding encoding) {
    if (encoding == Encoding::kUtf8 && input.starts_with(kUtf8ByteOrderMark)) {
        input.remove_prefix(kUtf8ByteOrderMark.size());
    }
}

std::string_view TakeLine(std::string_view& rest) {
    const std::size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    if (end != std::string_view::npos && line.ends_with('\r')) {
        line.remove_suffix(1);
    }
    return line;
}

std::string_view DecodeInputLine(std::string_view line, Encoding encoding, std::string& out) {
    if (line.find('\0') != std::string_view::npos) {
        return "contains a NUL byte";
    }
    // ASCII is the same in all three encodings: most beacon lines need no converter at all.
    if (encoding == Encoding::kCp932 || IsAscii(line)) {
        out = line;
    } else if (!IsValidUtf8(line)) {
        return "is not valid UTF-8";
    } else {
        out = ToCp932(QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size())));
    }
    return {};
}

BeaconInput ReadBeaconLines(std::string_view input, Encoding encoding) {
    BeaconInput result;
    SkipByteOrderMark(input, encoding);
    for (std::size_t number = 1; !input.empty(); ++number) {
        const std::string_view line = TakeLine(input);
        const std::string_view problem =
            number > kLineCount ? "more than six beacon lines"
                                : DecodeInputLine(line, encoding, result.lines[number - 1]);
        if (!problem.empty()) {
            result.error = "line " + std::to_string(number) + ": " + std::string(problem);
            break;
        }
    }
    return result;
}

}  // namespace telvane::cli
