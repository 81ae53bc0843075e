// Runs the telvane-convert program itself, as scripts do.

#include "process_fixture.h"

namespace telvane {
namespace {

using namespace telvane::testing;

TEST_F(ConvertProcess, WritesTheSameBytesAsTheConversion) {
    const std::string expected = ConvertBeacon(kBoxes, kTime);
    WriteFile(dir_ / "beacon.txt", kBeacon);
    for (const std::string& args : {std::string(), std::string("-"), Quote(dir_ / "beacon.txt")}) {
        const Outcome run = Convert(kTimeOption + args);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, expected) << "args: " << args;
        EXPECT_EQ(run.err, "");
    }
}

TEST_F(ConvertProcess, FewerLinesLeaveTheLastBoxesEmpty) {
    const Outcome run = Convert(kTimeOption, "zk1 x\r\nzk2 1a2\r\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, ConvertBeacon({"zk1 x", "zk2 1a2"}, kTime));
}

TEST_F(ConvertProcess, Utf8OutputForTerminals) {
    const Outcome run = Convert(std::string(kTimeOption) + "--output-encoding utf-8");
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("Conversion Time：　2024/03/05 09:07:00\r\n"), std::string::npos);
    EXPECT_NE(run.out.find("Battery temperature\t\t22.2℃\r\n"), std::string::npos);
}

TEST_F(ConvertProcess, UsesTheCurrentTimeWithoutTimeOption) {
    const std::string before = FormatReportTime(CurrentLocalTime());
    const Outcome run = Convert("");
    const std::string after = FormatReportTime(CurrentLocalTime());
    const std::size_t at = run.out.find("\x81\x46\x81\x40");
    ASSERT_NE(at, std::string::npos);
    const std::string shown = run.out.substr(at + 4, 19);
    EXPECT_LE(before, shown);
    EXPECT_LE(shown, after);
}

TEST_F(ConvertProcess, WritesToAFileAndReplacesItWhole) {
    const fs::path target = dir_ / "report.txt";
    WriteFile(target, std::string(10000, 'x'));
    const Outcome run = Convert(std::string(kTimeOption) + "-o " + Quote(target));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(ReadFile(target), ConvertBeacon(kBoxes, kTime));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 4)
        << "no temporary file may be left behind";
}

TEST_F(ConvertProcess, VersionAndHelp) {
    Outcome run = Convert("--version");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "telvane-convert 1.1.0.1\n");
    run = Convert("--help");
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.out.starts_with("Usage: telvane-convert [--time 'YYYY-MM-DD HH:MM:SS']"));
}

TEST_F(ConvertProcess, BadInputExitsTwoWritingNothing) {
    const fs::path existing = dir_ / "keep.txt";
    WriteFile(existing, "earlier report");
    const std::string toExisting = " -o " + Quote(existing);
    const struct {
        std::string args;
        std::string input;
        std::string message;
    } cases[] = {
        {"--frobnicate", kBeacon, "unknown option '--frobnicate'"},
        {"--time 'yesterday'", kBeacon, "malformed --time 'yesterday'"},
        {"--input-encoding ascii", kBeacon, "unknown encoding 'ascii'"},
        {"", kBeacon + "ZK1 again\n", "line 7: more than six beacon lines"},
        {"", std::string("ZK1\nZK2 \0 1\n", 11), "line 2: contains a NUL byte"},
        {"", "ZK1\nZK2\nZK3 \xFF\n", "line 3: is not valid UTF-8"},
        {Quote(dir_ / "missing.txt"), kBeacon, "cannot open"},
        {Quote(dir_), kBeacon, "Is a directory"},
    };
    for (const auto& c : cases) {
        const Outcome run = Convert(c.args + toExisting, c.input);
        EXPECT_EQ(run.status, 2) << c.args;
        EXPECT_TRUE(run.err.starts_with("telvane-convert: ")) << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_EQ(ReadFile(existing), "earlier report");
    }
}

TEST_F(ConvertProcess, OutputFailureExitsOneLeavingFilesAlone) {
    const struct {
        std::string args;
        std::string stdoutRedirect;
    } cases[] = {
        {"-o " + Quote(dir_), ""},                      // a folder
        {"-o " + Quote(dir_ / "no" / "such.txt"), ""},  // a missing folder
        {"", "> /dev/full"},                            // standard output full
    };
    for (const auto& c : cases) {
        const Outcome run = Convert(c.args, kBeacon, c.stdoutRedirect);
        EXPECT_EQ(run.status, 1) << c.args << c.stdoutRedirect;
        EXPECT_TRUE(run.err.starts_with("telvane-convert: cannot ")) << run.err;
    }
    EXPECT_TRUE(fs::is_directory(dir_));
    EXPECT_FALSE(fs::exists(dir_ / "no"));
}

// An installation missing the audio input module still converts, and says so when asked to listen.
TEST_F(ConvertProcess, ListeningWithoutTheAudioModuleExitsOneWithAMessage) {
    const fs::path moved = dir_ / "bin" / "telvane-convert";
    fs::create_directories(moved.parent_path());
    fs::copy_file(TELVANE_CONVERT, moved);
    for (const std::string args : {"--list-devices", "--listen"}) {
        const Outcome run = RunShell(Quote(moved) + " " + args);
        EXPECT_EQ(run.status, 1) << args;
        EXPECT_TRUE(run.err.starts_with("telvane-convert: the audio input module cannot be loaded"))
            << run.err;
    }
    WriteFile(dir_ / "stdin", kBeacon);
    EXPECT_EQ(
        RunShell(Quote(moved) + " -o " + Quote(dir_ / "report.txt") + " < " + Quote(dir_ / "stdin"))
            .status,
        0);
}

TEST_F(ConvertProcess, WriteFailureAfterOpeningKeepsTheEarlierFile) {
    const fs::path existing = dir_ / "earlier.txt";
    WriteFile(existing, "earlier report");
    // Files may grow to one block at most: the report is larger.
    const Outcome run = Convert("-o " + Quote(existing), kBeacon, "", "ulimit -f 1; ");
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.starts_with("telvane-convert: cannot write")) << run.err;
    EXPECT_EQ(ReadFile(existing), "earlier report");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 4)
        << "no temporary file may be left behind";
}

TEST_F(ConvertProcess, BatchToJsonLinesReportsSkippedLines) {
    const std::string log =
        "ZK1 AB\nZK2 01 23 45\nZK3 0080\n"
        "noise from the receiver\n"
        "ZK1 CD\nZK4 32 80 90\n"
        "ZK2 FFFFFF\n";
    const Outcome run = Convert(std::string(kTimeOption) + "--batch --format json", log);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 2);
    EXPECT_NE(run.out.find("\"internal_time_counter\":74565"), std::string::npos);
    EXPECT_NE(run.out.find("\"internal_time_counter\":16777215"), std::string::npos);
    EXPECT_EQ(run.err, "telvane-convert: line 4: skipped, no ZK1 to ZK6 header\n");
}

TEST_F(ConvertProcess, BatchOfTextReportsNeverReplacesAFile) {
    const fs::path taken = dir_ / "ORBEL_CW_240305_0907.txt";
    WriteFile(taken, "kept");
    const Outcome run =
        Convert(std::string(kTimeOption) + "--batch -o " + Quote(dir_), "ZK1 AB\nZK1 CD\nZK2 12\n");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFile(taken), "kept");
    EXPECT_EQ(ReadFile(dir_ / "ORBEL_CW_240305_0907_2.txt"), ConvertBeacon({"ZK1 AB"}, kTime));
    EXPECT_EQ(ReadFile(dir_ / "ORBEL_CW_240305_0907_3.txt"),
              ConvertBeacon({"ZK1 CD", "ZK2 12"}, kTime));
    EXPECT_FALSE(fs::exists(dir_ / "ORBEL_CW_240305_0907_4.txt"));
}

TEST_F(ConvertProcess, BatchOfTextReportsNeedsAFolder) {
    const Outcome run = Convert("--batch", "ZK1 AB\n");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "telvane-convert: --batch with text reports needs -o FOLDER\n");
}

TEST_F(ConvertProcess, CsvOfOneBeaconHasHeaderAndRow) {
    const Outcome run = Convert(std::string(kTimeOption) + "--format csv");
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.out.starts_with("conversion_time,line1_empty,"));
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 2);
    EXPECT_NE(run.out.find("\r\n2024-03-05T09:07:00"), std::string::npos);
}

}  // namespace
}  // namespace telvane
