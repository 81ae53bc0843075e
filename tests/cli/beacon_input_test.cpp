#include <gtest/gtest.h>

#include "beacon_input.h"

namespace telvane::cli {
namespace {

using Lines = std::array<std::string, kLineCount>;

TEST(ReadBeaconLines, SplitsOnEveryLineEndWithoutAPhantomLastLine) {
    const struct {
        std::string_view input;
        Lines lines;
    } cases[] = {
        {"", {}},
        {"\n", {""}},
        {"ZK1 A", {"ZK1 A"}},
        {"ZK1 A\n", {"ZK1 A"}},
        {"ZK1 A\r\nZK2 B\r\n", {"ZK1 A", "ZK2 B"}},
        {"a\n\nc\n", {"a", "", "c"}},
        {"a\rb\n", {"a", "b"}},  // a CR alone ends a line too
        {"a\r", {"a"}},
        {"ZK1 A\rZK2 B\rZK3 C", {"ZK1 A", "ZK2 B", "ZK3 C"}},
        {"a\r\r\nb", {"a", "", "b"}},
        {"1\n2\n3\n4\n5\n6\n\n \t\r\n\n", {"1", "2", "3", "4", "5", "6"}},  // blank tail
        {"1\n2\n3\n4\n5\n6", {"1", "2", "3", "4", "5", "6"}},
        {"1\n2\n3\n4\n5\n6\r\n", {"1", "2", "3", "4", "5", "6"}},
        {"\xEF\xBB\xBFZK1 A\n", {"ZK1 A"}},  // a UTF-8 byte order mark is not text
    };
    for (const auto& c : cases) {
        const BeaconInput result = ReadBeaconLines(c.input, Encoding::kUtf8);
        EXPECT_EQ(result.error, "");
        EXPECT_EQ(result.lines, c.lines) << "input '" << c.input << "'";
    }
}

TEST(ReadBeaconLines, ConvertsUtf8ToCodePage932) {
    const BeaconInput result = ReadBeaconLines("ZK1 日本℃\nZK2 ①～\nZK3 é😀x\n", Encoding::kUtf8);
    ASSERT_EQ(result.error, "");
    EXPECT_EQ(result.lines[0], "ZK1 \x93\xFA\x96\x7B\x81\x8E");
    EXPECT_EQ(result.lines[1], "ZK2 \x87\x40\x81\x60");
    EXPECT_EQ(result.lines[2], "ZK3 ??x");  // each character code page 932 lacks is one '?'
}

TEST(ReadBeaconLines, TakesCodePage932BytesAsTheyAre) {
    const BeaconInput result = ReadBeaconLines("ZK1 \x93\xFA\xFF\x81\r\n", Encoding::kCp932);
    ASSERT_EQ(result.error, "");
    EXPECT_EQ(result.lines[0], "ZK1 \x93\xFA\xFF\x81");
}

TEST(ReadBeaconLines, NamesTheLineOfBadInput) {
    const struct {
        std::string_view input;
        Encoding encoding;
        std::string error;
    } cases[] = {
        {"1\n2\n3\n4\n5\n6\n7\n", Encoding::kUtf8, "line 7: more than six beacon lines"},
        {"1\n2\n3\n4\n5\n6\n\n \nx\n", Encoding::kCp932, "line 9: more than six beacon lines"},
        {std::string_view("ok\nZK2 \0\n", 8), Encoding::kUtf8, "line 2: contains a NUL byte"},
        {std::string_view("\0", 1), Encoding::kCp932, "line 1: contains a NUL byte"},
        {"ok\nok\nZK3 \xC0\xAF\n", Encoding::kUtf8, "line 3: is not valid UTF-8"},
        {"ZK1 \xED\xA0\x80", Encoding::kUtf8, "line 1: is not valid UTF-8"},
        {"ZK1 \xE6\x97\nZK2", Encoding::kUtf8, "line 1: is not valid UTF-8"},
        {"\x93\xFA", Encoding::kUtf8, "line 1: is not valid UTF-8"},
        {std::string_view("ZK2 \xA0\xEF\x10\0", 8), Encoding::kUtf8, "line 1: is not valid UTF-8"},
        {std::string_view("ZK2 \xE6\0\xA0", 7), Encoding::kUtf8, "line 1: contains a NUL byte"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReadBeaconLines(c.input, c.encoding).error, c.error);
        // The first fault is named however the input's blocks split the line.
        for (const std::size_t block : {1, 2, 3, 5}) {
            LineReader reader(ReadFromMemory(c.input), block);
            EXPECT_EQ(ReadBeacon(reader, c.encoding).error, c.error) << "blocks of " << block;
        }
    }
}

}  // namespace
}  // namespace telvane::cli
