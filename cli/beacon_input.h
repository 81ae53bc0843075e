#pragma once

#include <array>
#include <string>
#include <string_view>

#include "conversion.h"
#include "options.h"

namespace telvane::cli {

struct BeaconInput {
    std::array<std::string, kLineCount> lines;  // code page 932 bytes, as the dialog's boxes give
    std::string error;                          // empty when the input is usable
};

// Splits the input into beacon lines (LF or CR LF; a final line end starts no new line) and
// converts each line to code page 932. Rejects more than six lines, NUL bytes and, for UTF-8
// input, malformed UTF-8, naming the line.
BeaconInput ReadBeaconLines(std::string_view input, Encoding encoding);

// Drops a UTF-8 byte order mark from the start of UTF-8 input: it is not beacon text.
void SkipByteOrderMark(std::string_view& input, Encoding encoding);

// The next line of `rest` without its line end; advances `rest` past it.
std::string_view TakeLine(std::string_view& rest);

// One input line as a box's code page 932 bytes. Returns what is wrong with the line, or an
// empty view when `out` holds the bytes.
std::string_view DecodeInputLine(std::string_view line, Encoding encoding, std::string& out);

}  // namespace telvane::cli
