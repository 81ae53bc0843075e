#include <gtest/gtest.h>

#include <limits>

#include "front_end.h"
#include "multibyte.h"

namespace telvane {
namespace {

TEST(HexToInt, ReadsDigitsAndRejectsWholeFieldOnAnyBadByte) {
    const struct {
        std::string_view text;
        std::int32_t expected;
    } cases[] = {
        {"", 0},     {"0", 0},
        {"9", 9},    {"a", 10},
        {"F", 15},   {"ff", 255},
        {"FF", 255}, {"1A", 26},
        {"1G", 0},   {"G1", 0},
        {"0 ", 0},   {" 1", 0},
        {"\t1", 0},  {"-1", 0},
        {"\x81", 0}, {"\xE0", 0},
        {"/", 0},    {":", 0},
        {"@", 0},    {"`", 0},
        {"g", 0},    {"12345678", 0x12345678},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HexToInt(c.text), c.expected) << "text '" << c.text << "'";
    }
}

TEST(HexToInt, OverlongTextWrapsInsteadOfOverflowing) {
    EXPECT_EQ(HexToInt("FFFFFFFF"), -1);
    EXPECT_EQ(HexToInt("1FFFFFFFF"), -1);
}

TEST(CompactField, RemovesSpacesAndPadsOnTheRight) {
    const struct {
        std::string line;
        std::size_t width;
        std::string expected;
    } cases[] = {
        {"9 F2 3", 6, "9F2300"},
        {"1A2", 6, "1A2000"},
        {"   ", 6, "000000"},
        {"00 00 00 00 01 02", 6, "000000000102"},  // longer lines are not cut
        {"1A\t2B", 6, "1A\t2B0"},                  // a tab is not a space
        {"", 8, "00000000"},
        {"88888888", 10, "8888888800"},
    };
    for (const auto& c : cases) {
        std::string line = c.line;
        CompactField(line, c.width);
        EXPECT_EQ(line, c.expected) << "line '" << c.line << "'";
    }
}

TEST(Multibyte, ChangesOnlySingleByteAsciiLetters) {
    // "\x83\x61" is a katakana whose trail byte looks like 'a'; "\x82\x60" is a full-width 'A'
    // whose trail byte looks like '`'; "\xB1" is a half-width katakana (single byte).
    const struct {
        std::string text;
        std::string upper;
        std::string lower;
    } cases[] = {
        {"zk1 ab-Cd.9", "ZK1 AB-CD.9", "zk1 ab-cd.9"},
        {"a\x83\x61z", "A\x83\x61Z", "a\x83\x61z"},
        {"\x83\x41"
         "A",
         "\x83\x41"
         "A",
         "\x83\x41"
         "a"},
        {"\xE0\x61q\xB1r", "\xE0\x61Q\xB1R", "\xE0\x61q\xB1r"},
        {"x\x81", "X\x81", "x\x81"},  // a lead byte at the very end
    };
    for (const auto& c : cases) {
        std::string upper = c.text;
        MakeUpperMb(upper);
        EXPECT_EQ(upper, c.upper);
        std::string lower = c.text;
        MakeLowerMb(lower);
        EXPECT_EQ(lower, c.lower);
    }
}

}  // namespace
}  // namespace telvane
