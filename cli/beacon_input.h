#pragma once

#include <array>
#include <string>
#include <string_view>

#include "beacon_layout.h"
#include "line_reader.h"
#include "options.h"

namespace telvane::cli {

struct BeaconInput {
    std::array<std::string, kLineCount> lines;  // code page 932 bytes, as the dialog's boxes give
    std::string error;                          // empty when the input is usable
};

// Reads one beacon: line k of the input is beacon line k, converted to code page 932. Blank lines
// after the sixth are passed over. Stops at the first fault, naming its line: a seventh line, a
// NUL byte or, for UTF-8 input, malformed UTF-8. Holds no more than the lines themselves.
BeaconInput ReadBeacon(LineReader& reader, Encoding encoding);

// The same over input held in memory.
BeaconInput ReadBeaconLines(std::string_view input, Encoding encoding);

// Drops a UTF-8 byte order mark from the start of UTF-8 input: it is not beacon text.
void SkipByteOrderMark(LineReader& reader, Encoding encoding);

// One input line as a box's code page 932 bytes. Returns what is wrong with the line, or an
// empty view when `out` holds the bytes.
std::string_view DecodeInputLine(std::string_view line, Encoding encoding, std::string& out);

}  // namespace telvane::cli
