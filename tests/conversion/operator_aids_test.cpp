// The helpers behind the dialog's paste and misheard-character marks.

#include <gtest/gtest.h>

#include "line_header.h"
#include "misreadings.h"
#include "paste_routing.h"

namespace telvane {
namespace {

TEST(BoxOfHeader, FindsHeadersInEitherCaseAfterBlanks) {
    const struct {
        std::string_view line;
        int box;
    } cases[] = {
        {"ZK1 AB", 0}, {"zk6", 5}, {"  \tZk3 00", 2}, {"ZK7 00", -1}, {"ZK0", -1},
        {"Z K1", -1},  {"ZK", -1}, {"", -1},          {"XZK1", -1},   {"\x82\x79K1", -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BoxOfHeader(c.line), c.box) << c.line;
    }
}

TEST(RoutePastedLines, HeadersChooseTheirBoxAndOtherLinesFollow) {
    using Lines = std::vector<std::string_view>;
    const struct {
        Lines lines;
        int pastedBox;
        std::vector<int> boxes;
    } cases[] = {
        {{"ZK1 AB", "ZK2 01", "ZK3 25"}, 4, {0, 1, 2}},
        {{"zk4 37", "4 3 2 1 0 5", "8899AABB 5C"}, 0, {3, 4, 5}},
        {{"AB CD", "01 23 45"}, 0, {0, 1}},
        {{"01 23 45", "", "  ", "25 38"}, 1, {1, -1, -1, 2}},
        {{"ZK6 88", "extra", "ZK2 01"}, 0, {5, -1, 1}},
        {{"ZK3 00", "ZK1 AB", "next"}, 0, {2, 0, 1}},
        {{"  ZK5 123456\r"}, 0, {4}},
        {{"a", "b", "c"}, 4, {4, 5, -1}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RoutePastedLines(c.lines, c.pastedBox), c.boxes) << c.lines.front();
    }
}

struct Expected {
    MisreadingKind kind;
    int position;
    std::string character;
    std::string_view field;
};

TEST(FindMisreadings, PointsAtWhatWillNotReadAsTyped) {
    using K = MisreadingKind;
    const struct {
        int box;
        std::string typed;
        std::vector<Expected> found;
    } cases[] = {
        {3, "ZK4 37 A0 8C", {}},
        {3, "37a08c", {}},  // lower-case hexadecimal is fine
        {3, "9G 80 90", {{K::kNotHexDigit, 2, "G", "the battery voltage"}}},
        {3, "zk4 9g", {{K::kNotHexDigit, 6, "g", "the battery voltage"}}},
        {1, "1A 2B 3C 4D", {{K::kBeyondWidth, 10, "4", {}}}},
        {2,
         "2A Z9 03",
         {{K::kNotHexDigit, 4, "Z",
           "the SEL count, antenna, duty ratio, reset and charging status"}}},
        {2, "25380200", {}},  // line 3 carries a fourth byte that is never interpreted
        {4, "1234G6", {{K::kNotHexDigit, 5, "G", "the +Z panel current"}}},
        {5, "88888888 8X", {{K::kNotHexDigit, 11, "X", "the RSSI"}}},
        {1, "ZK3 00", {{K::kOtherHeader, 1, "ZK3", {}}}},
        {0, " zk2 ab", {{K::kOtherHeader, 2, "zk2", {}}}},
        {0, "AB.CD/EF", {}},
        {3, "1\t2", {{K::kNotHexDigit, 2, "\t", "the battery voltage"}}},
        {4,
         "1\x82\x60"
         "2",
         {{K::kNotHexDigit, 2, "\x82\x60", "the -X panel current"},
          {K::kNotHexDigit, 2, "\x82\x60", "the +Y panel current"}}},
        {3, "ZK4", {{K::kNotHexDigit, 1, "Z", "the battery voltage"}}},  // a lone header stays
    };
    for (const auto& c : cases) {
        const std::vector<Misreading> found = FindMisreadings(c.box, c.typed);
        ASSERT_EQ(found.size(), c.found.size()) << "box " << c.box + 1 << " '" << c.typed << "'";
        for (std::size_t i = 0; i < found.size(); ++i) {
            EXPECT_EQ(found[i].kind, c.found[i].kind) << c.typed;
            EXPECT_EQ(found[i].position, c.found[i].position) << c.typed;
            EXPECT_EQ(found[i].character, c.found[i].character) << c.typed;
            EXPECT_EQ(found[i].field, c.found[i].field) << c.typed;
        }
    }
}

TEST(FindMisreadings, DescribesEachKindInWords) {
    const struct {
        int box;
        std::string typed;
        std::string text;
    } cases[] = {
        {3, "9G 80 90",
         "'G' at position 2 is not a hexadecimal digit: the battery voltage will read as 0"},
        {1, "ZK3 00",
         "'ZK3' at position 1 is the header of line 3, not of line 2: it will be "
         "read as data"},
        {1, "1A2B3C4D",
         "'4' at position 7 and what follows go beyond the 6 digits of line 2: they will not be "
         "read"},
        {4, "0\x82\x60",
         "'\x82\x60' at position 2 is not a hexadecimal digit: the -X panel "
         "current will read as 0"},
    };
    for (const auto& c : cases) {
        const std::vector<Misreading> found = FindMisreadings(c.box, c.typed);
        ASSERT_FALSE(found.empty()) << c.typed;
        EXPECT_EQ(Describe(found.front(), c.box), c.text);
    }
}

}  // namespace
}  // namespace telvane
