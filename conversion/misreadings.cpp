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

// Where each typed byte's character starts, its position and its length in bytes.
struct Character {
    std::size_t start;
    int position;
    std::size_t length;
};

std::vector<Character> CharactersOf(std::string_view text) {
    std::vector<Character> byByte(text.size());
    int position = 0;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length =
            IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
        ++position;
        for (std::size_t k = 0; k < length; ++k) {
            byByte[i + k] = {i, position, length};
        }
        i += length;
    }
    return byByte;
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

}  // namespace

std::vector<Misreading> FindMisreadings(int box, std::string_view typed) {
    std::vector<Misreading> found;
    const std::vector<Character> characters = CharactersOf(typed);
    const auto at = [&](std::size_t byte) { return characters[byte]; };
    const auto textOf = [&](const Character& c) {
        return std::string(typed.substr(c.start, c.length));
    };

    std::string upper(typed);
    MakeUpperMb(upper);
    const std::string_view ownHeader = kLineHeaders[box];
    std::size_t offset =
        upper.size() > ownHeader.size() && upper.starts_with(ownHeader) ? ownHeader.size() : 0;
    if (const int header = BoxOfHeader(upper); header >= 0 && header != box) {
        const std::size_t start = upper.find_first_not_of(" \t");
        found.push_back({MisreadingKind::kOtherHeader,
                         at(start).position,
                         std::string(typed.substr(start, 3)),
                         {},
                         false,
                         header + 1});
        offset = start + 3;  // its letters are reported once, as a header
    }
    if (box == 0) {
        return found;
    }

    // The typed byte behind each byte of the compacted line.
    std::vector<std::size_t> origin;
    for (std::size_t i = offset; i < upper.size(); ++i) {
        if (upper[i] != ' ') {
            origin.push_back(i);
        }
    }
    const std::size_t width = kLineWidths[box];
    for (const FieldSpan& field : kLineFields[box - 1]) {
        for (int p = field.start; p < field.start + field.length; ++p) {
            if (static_cast<std::size_t>(p) >= origin.size()) {
                break;  // padding: missing digits read as 0 by design
            }
            const Character character = at(origin[p]);
            const bool hex = IsHexDigit(upper[origin[p]]);
            if (!hex || character.length == 2) {
                found.push_back({MisreadingKind::kNotHexDigit, character.position,
                                 textOf(character), field.quantity, !hex, 0});
                break;
            }
        }
    }
    if (origin.size() > width) {
        const Character first = at(origin[width]);
        found.push_back(
            {MisreadingKind::kBeyondWidth, first.position, textOf(first), {}, false, 0});
    }
    std::stable_sort(found.begin(), found.end(), [](const Misreading& a, const Misreading& b) {
        return a.position < b.position;
    });
    return found;
}

std::string Describe(const Misreading& m, int box) {
    std::string where = "'" + m.character + "' at position " + std::to_string(m.position);
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
