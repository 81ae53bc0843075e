#include <gtest/gtest.h>

#include "batch_log.h"

namespace telvane::cli {
namespace {

using Lines = std::array<std::string, kLineCount>;

struct Split {
    std::vector<Lines> beacons;
    std::vector<std::size_t> firstLines;
    std::vector<std::string> skipped;  // "line: problem"
};

Split SplitAll(std::string_view log, Encoding encoding = Encoding::kUtf8) {
    Split split;
    SplitLog(
        log, encoding,
        [&](const LogBeacon& beacon) {
            split.beacons.push_back(beacon.lines);
            split.firstLines.push_back(beacon.firstLine);
        },
        [&](std::size_t line, std::string_view problem) {
            split.skipped.push_back(std::to_string(line) + ": " + std::string(problem));
        });
    return split;
}

TEST(SplitLog, StartsABeaconAtZk1OrARepeatedHeader) {
    const Split split = SplitAll(
        "ZK1 AB\nZK2 01\nZK3 25\nZK4 37\nZK5 43\nZK6 88\n"  // a whole beacon
        "ZK2 02\nZK4 38\n"                                  // no ZK1: still one beacon
        "ZK4 39\nzk6 89\n"                                  // ZK4 repeats: a new one
        "  ZK1 CD\r\n\r\n   \rZK3 26\n");                   // blanks pass, CR LF, CR, indented
    ASSERT_EQ(split.beacons.size(), 4u);
    EXPECT_EQ(split.beacons[0],
              (Lines{"ZK1 AB", "ZK2 01", "ZK3 25", "ZK4 37", "ZK5 43", "ZK6 88"}));
    EXPECT_EQ(split.beacons[1], (Lines{"", "ZK2 02", "", "ZK4 38", "", ""}));
    EXPECT_EQ(split.beacons[2], (Lines{"", "", "", "ZK4 39", "", "zk6 89"}));
    // An indented line goes to its box as written, as it would be typed into the dialog.
    EXPECT_EQ(split.beacons[3], (Lines{"  ZK1 CD", "", "ZK3 26", "", "", ""}));
    EXPECT_EQ(split.firstLines, (std::vector<std::size_t>{1, 7, 9, 11}));
    EXPECT_TRUE(split.skipped.empty());
}

TEST(SplitLog, ReportsLinesItCannotPlaceWithTheirNumbers) {
    const Split split = SplitAll(
        "# pass of 2024-03-05, 09:07\n"
        "ZK1 AB\n"
        "01 23 45\n"
        "ZK2 \xC0\xAF\n"
        "ZK3 25\n"
        "ZK7 00\n"
        "ZK4 37");
    ASSERT_EQ(split.beacons.size(), 1u);
    EXPECT_EQ(split.beacons[0], (Lines{"ZK1 AB", "", "ZK3 25", "ZK4 37", "", ""}));
    EXPECT_EQ(split.skipped,
              (std::vector<std::string>{"1: no ZK1 to ZK6 header", "3: no ZK1 to ZK6 header",
                                        "4: is not valid UTF-8", "6: no ZK1 to ZK6 header"}));
}

TEST(SplitLog, NulBytesAreSkippedNotFatal) {
    const Split split = SplitAll(std::string_view("ZK1 A\nZK2 \0\nZK3 B\n", 18));
    ASSERT_EQ(split.beacons.size(), 1u);
    EXPECT_EQ(split.beacons[0], (Lines{"ZK1 A", "", "ZK3 B", "", "", ""}));
    EXPECT_EQ(split.skipped, std::vector<std::string>{"2: contains a NUL byte"});
}

TEST(SplitLog, ConvertsUtf8AndKeepsCodePage932) {
    EXPECT_EQ(SplitAll("ZK1 日本\n").beacons.at(0)[0], "ZK1 \x93\xFA\x96\x7B");
    EXPECT_EQ(SplitAll("ZK1 \x93\xFA\n", Encoding::kCp932).beacons.at(0)[0], "ZK1 \x93\xFA");
    EXPECT_TRUE(SplitAll("").beacons.empty());
}

}  // namespace
}  // namespace telvane::cli
