// How telvane-convert reads its input: line by line, stopping at the first fault, with every
// line end and every route giving the same report.

#include "process_fixture.h"

namespace telvane {
namespace {

using namespace telvane::testing;

// Endless input must not be read to its end: the fault comes first.
TEST_F(ConvertProcess, StopsAtTheFirstFaultOfEndlessInput) {
    const struct {
        std::string feed;
        std::string message;
    } cases[] = {
        {"cat /dev/zero", "line 1: contains a NUL byte"},
        {"{ printf '1\\n2\\n3\\n4\\n5\\n6\\nZK1 7\\n'; yes; }", "line 7: more than six"},
        {"{ printf 'ZK1 \\377'; yes; }", "line 1: is not valid UTF-8"},
    };
    for (const auto& c : cases) {
        const Outcome run = RunShell(c.feed + " | timeout 20 " + TELVANE_CONVERT + " > /dev/null");
        EXPECT_EQ(run.status, 2) << c.feed;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
}

TEST_F(ConvertProcess, EveryLineEndEndsALineAndABlankTailIsIgnored) {
    const std::string expected = ConvertBeacon(kBoxes, kTime);
    for (const std::string& input :
         {std::string("ZK1 AB CD/EF\rZK2 01 23 45\rZK3 25 38 02 00\rZK4 37 A0 8C\r"
                      "ZK5 4 3 2 1 0 5\rZK6 8899AABB 5C\r"),
          std::string("ZK1 AB CD/EF\r\nZK2 01 23 45\nZK3 25 38 02 00\rZK4 37 A0 8C\r\n"
                      "ZK5 4 3 2 1 0 5\nZK6 8899AABB 5C"),
          kBeacon + "\n\n  \t\n\r\n"}) {
        const Outcome run = Convert(kTimeOption, input);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, expected);
    }
}

// Whichever way a beacon comes in, alone or in a log, with any line ends, it gives one report.
TEST_F(ConvertProcess, OneBeaconGivesOneReportInEveryMode) {
    const std::string beacon =
        " ZK1 AB CD/EF\rZK2 01 23 45\rZK3 25 38 02 00\rZK4 37 A0 8C\rZK5 4 3 2 1 0 5\r"
        "ZK6 8899AABB 5C\r";
    const Outcome single = Convert(std::string(kTimeOption) + "--format json", beacon);
    const Outcome batch = Convert(std::string(kTimeOption) + "--batch --format json", beacon);
    EXPECT_EQ(single.status, 0);
    EXPECT_EQ(batch.out, single.out);
    EXPECT_NE(single.out.find("\"url\":\"zk1abcd/ef\""), std::string::npos) << single.out;

    ASSERT_EQ(Convert(std::string(kTimeOption) + "--batch -o " + Quote(dir_), beacon).status, 0);
    std::array<std::string, kLineCount> boxes = kBoxes;
    boxes[0] = " ZK1 AB CD/EF";
    EXPECT_EQ(ReadFile(dir_ / "ORBEL_CW_240305_0907.txt"), ConvertBeacon(boxes, kTime));
}

// In code page 932 the bytes 0x00-0x7F are their ASCII characters, on every path.
TEST_F(ConvertProcess, TheSameCharacterGivesTheSameByteWhateverIsOnTheLine) {
    for (const std::string& rest : {std::string(), std::string("日")}) {
        const Outcome run = Convert(kTimeOption,
                                    "ZK1 A\x1A\x1C\x7F"
                                    "B" +
                                        rest + "\n");
        EXPECT_NE(run.out.find("ZK1\t A\x1A\x1C\x7F"
                               "B"),
                  std::string::npos)
            << rest;
    }
}

}  // namespace
}  // namespace telvane
