#pragma once

// What a conversion will not read as the operator typed it, found before converting, so that a
// misheard character can be corrected while the beacon is still fresh in mind.

#include <string>
#include <string_view>
#include <vector>

namespace telvane {

enum class MisreadingKind {
    kNotHexDigit,  // a character that spoils its field
    kOtherHeader,  // the header of another line, which stays in as data
    kBeyondWidth,  // characters past the line's last field, never read
};

struct Misreading {
    MisreadingKind kind;
    int position;            // 1-based character position in the typed text
    std::string character;   // as typed, code page 932 bytes (the whole header for kOtherHeader)
    std::string_view field;  // kNotHexDigit: the quantity that reads wrong
    bool readsAsZero;        // kNotHexDigit: the field reads 0 (else a byte of a double-byte
                             // character reads as a digit)
    int otherLine;           // kOtherHeader: the line (1-6) the header belongs to
};

// The misreadings of the text typed into box `box` (0 for line 1 ... 5 for line 6), in order of
// position; at most one per field.
std::vector<Misreading> FindMisreadings(int box, std::string_view typed);

// The misreading in words, e.g. "'G' at position 3 is not a hexadecimal digit: the battery
// voltage will read as 0". Code page 932 bytes.
std::string Describe(const Misreading& misreading, int box);

}  // namespace telvane
