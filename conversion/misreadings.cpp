#include "misreadings.h"

#include <algorithm>
#include <array>
#include <span>

#include "beacon_layout.h"
#include "line_header.h"
#include "multibyte.h"

namespace telvane {
namespace {

struct FieldSpan {
    int start;
    int length;
    std::string_view quantity;
};

constexpr std::array<FieldSpan, 3> kTimeFields = {
    {{0, 2, "the internal time"}, {2, 2, "the internal time"}, {4, 2, "the internal time"}}};
constexpr std::array<FieldSpan, 3> kStatusFields = {
    {{0, 2, "the uplink and camera counts"},
     {2, 2, "the SEL count, antenna, duty ratio, reset and charging status"},
     {4, 2, "the OBC and FM status"}}};
constexpr std::array<FieldSpan, 3> kPowerFields = {{{0, 2, "the battery voltage"},
                                                    {2, 2, "the solar array voltage"},
                                                    {4, 2, "the battery temperature"}}};
constexpr std::array<FieldSpan, 6> kCurrentFields = {{{0, 1, "the +X panel current"},
                                                      {1, 1, "the -X panel current"},
                                                      {2, 1, "the +Y panel current"},
                                                      {3, 1, "the -Y panel current"},
                                                      {4, 1, "the +Z panel current"},
                                                      {5, 1, "the -Z panel current"}}};
constexpr std::array<FieldSpan, 9> kTemperatureFields = {{{0, 1, "the +X panel temperature"},
                                                          {1, 1, "the -X panel temperature"},
                                                          {2, 1, "the +Y panel temperature"},
                                                          {3, 1, "the -Y panel temperature"},
                                                          {4, 1, "the +Z panel temperature"},
                                                          {5, 1, "the -Z panel temperature"},
                                                          {6, 1, "the battery temperature"},
                                                          {7, 1, "the transmitter temperature"},
                                                          {8, 2, "the RSSI"}}};

// The fields of lines 2 to 6; line 1 is free text.
constexpr std::array<std::span<const FieldSpan>, 5> kLineFields = {
    kTimeFields, kStatusFields, kPowerFields, kCurrentFields, kTemperatureFields};

// A typed character: where it starts, its 1-based position and its length in bytes.
struct Character {
    std::size_t start;
    int position;
    std::size_t length;
};

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// Where the conversion will start reading the line's data: after its own header, or after
// another line's header, which is reported once, as a header. Every byte before that point is a
// single-byte character.
std::size_t FindHeader(int box, std::string_view typed, std::vector<Misreading>& found) {
    const std::string_view ownHeader = kLineHeaders[box];
    std::string start(typed.substr(0, ownHeader.size()));
    MakeUpperMb(start);
    std::size_t offset = typed.size() > ownHeader.size() && start == ownHeader ? start.size() : 0;
    if (const int header = BoxOfHeader(typed); header >= 0 && header != box) {
        const std::size_t at = typed.find_first_not_of(" \t");
        const std::size_t length = kLineHeaders[header].size();
        found.push_back({MisreadingKind::kOtherHeader,
                         static_cast<int>(at) + 1,
                         std::string(typed.substr(at, length)),
                         {},
                         false,
                         header + 1});
        offset = at + length;
    }
    return offset;
}

// A byte the conversion will read, and the typed character it belongs to.
struct ReadByte {
    std::size_t byte;
    Character character;
};

// The bytes the conversion will read, spaces removed, as far as the line's width and one byte
// beyond: never more, however long the line.
std::vector<ReadByte> ReadBytes(std::string_view typed, std::size_t offset, std::size_t width) {
    std::vector<ReadByte> origin;
    int position = static_cast<int>(offset);
    for (std::size_t i = offset; i < typed.size() && origin.size() <= width;) {
        const std::size_t length =
            IsLeadByte(static_cast<unsigned char>(typed[i])) && i + 1 < typed.size() ? 2 : 1;
        ++position;
        for (std::size_t k = 0; k < length && typed[i] != ' '; ++k) {
            origin.push_back({i + k, Character{i, position, length}});
        }
        i += length;
    }
    return origin;
}

// A control character shown as an escape, so that a tab or a stray byte can be seen.
std::string Visible(std::string_view character) {
    std::string shown;
    for (const char c : character) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\t') {
            shown += "\\t";
        } else if (byte < 0x20 || byte == 0x7F) {
            constexpr char kHex[] = "0123456789ABCDEF";
            shown += "\\x";
            shown += kHex[byte >> 4];
            shown += kHex[byte & 0xF];
        } else {
            shown += c;
        }
    }
    return shown;
}

}  // namespace

std::vector<Misreading> FindMisreadings(int box, std::string_view typed) {
    std::vector<Misreading> found;
    const std::size_t offset = FindHeader(box, typed, found);
    if (box == 0) {
        return found;
    }
    const auto textOf = [&](const Character& c) {
        return std::string(typed.substr(c.start, c.length));
    };
    const std::size_t width = kLineWidths[box];
    const std::vector<ReadByte> origin = ReadBytes(typed, offset, width);
    for (const FieldSpan& field : kLineFields[box - 1]) {
        for (int p = field.start; p < field.start + field.length; ++p) {
            if (static_cast<std::size_t>(p) >= origin.size()) {
                break;  // padding: missing digits read as 0 by design
            }
            const Character& character = origin[p].character;
            const bool hex = IsHexDigit(typed[origin[p].byte]);
            if (!hex || character.length == 2) {
                found.push_back({MisreadingKind::kNotHexDigit, character.position,
                                 textOf(character), field.quantity, !hex, 0});
                break;
            }
        }
    }
    if (origin.size() > width) {
        const Character& first = origin[width].character;
        found.push_back(
            {MisreadingKind::kBeyondWidth, first.position, textOf(first), {}, false, 0});
    }
    std::stable_sort(found.begin(), found.end(), [](const Misreading& a, const Misreading& b) {
        return a.position < b.position;
    });
    return found;
}

std::string Describe(const Misreading& m, int box) {
    std::string where(1, '\'');
    where += Visible(m.character);
    where += "' at position " + std::to_string(m.position);
    const std::string line = std::to_string(box + 1);
    switch (m.kind) {
        case MisreadingKind::kNotHexDigit:
            return where + " is not a hexadecimal digit: " + std::string(m.field) +
                   (m.readsAsZero ? " will read as 0" : " will not read as typed");
        case MisreadingKind::kOtherHeader:
            return where + " is the header of line " + std::to_string(m.otherLine) +
                   ", not of line " + line + ": it will be read as data";
        case MisreadingKind::kBeyondWidth:
            return where + " and what follows go beyond the " + std::to_string(kLineWidths[box]) +
                   " digits of line " + line + ": they will not be read";
    }
    return where;
}

}  // namespace telvane
