#include "beacon_input.h"

#include <QString>

#include "cp932.h"

namespace telvane::cli {
namespace {

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

std::string LineError(std::size_t lineNumber, std::string_view problem) {
    return "line " + std::to_string(lineNumber) + ": " + std::string(problem);
}

// The text of the next line, without its line end; advances `rest` past it.
std::string_view TakeLine(std::string_view& rest) {
    const std::size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    if (end != std::string_view::npos && line.ends_with('\r')) {
        line.remove_suffix(1);
    }
    return line;
}

}  // namespace

BeaconInput ReadBeaconLines(std::string_view input, Encoding encoding) {
    BeaconInput result;
    if (encoding == Encoding::kUtf8 && input.starts_with(kUtf8ByteOrderMark)) {
        input.remove_prefix(kUtf8ByteOrderMark.size());
    }
    std::size_t count = 0;
    while (!input.empty()) {
        const std::string_view line = TakeLine(input);
        ++count;
        if (count > kLineCount) {
            result.error = LineError(count, "more than six beacon lines");
        } else if (line.find('\0') != std::string_view::npos) {
            result.error = LineError(count, "contains a NUL byte");
        } else if (encoding == Encoding::kCp932) {
            result.lines[count - 1] = line;
        } else if (!IsValidUtf8(line)) {
            result.error = LineError(count, "is not valid UTF-8");
        } else {
            result.lines[count - 1] =
                ToCp932(QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size())));
        }
        if (!result.error.empty()) {
            break;
        }
    }
    return result;
}

}  // namespace telvane::cli
