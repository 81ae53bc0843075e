#include <gtest/gtest.h>

#include <vector>

#include "options.h"

namespace telvane::cli {
namespace {

ParsedOptions Parse(std::vector<std::string_view> args) {
    return ParseOptions(args);
}

TEST(ParseOptions, AcceptsTheDocumentedForms) {
    const ParsedOptions parsed =
        Parse({"--time", "2024-03-05 09:07:00", "--input-encoding=cp932", "--output-encoding",
               "utf-8", "--format=json", "--batch", "-o", "out.txt", "beacon.txt"});
    ASSERT_EQ(parsed.error, "");
    const Options& o = parsed.options;
    ASSERT_TRUE(o.time.has_value());
    EXPECT_EQ(o.time->year, 2024);
    EXPECT_EQ(o.time->minute, 7);
    EXPECT_EQ(o.inputEncoding, Encoding::kCp932);
    EXPECT_EQ(o.outputEncoding, Encoding::kUtf8);
    EXPECT_EQ(o.format, Format::kJson);
    EXPECT_TRUE(o.batch);
    EXPECT_EQ(o.outputPath, "out.txt");
    EXPECT_EQ(o.inputPath, "beacon.txt");
    EXPECT_EQ(Parse({"--format", "csv"}).options.format, Format::kCsv);
    EXPECT_EQ(Parse({}).options.format, Format::kText);
}

TEST(ParseOptions, DefaultsAndStandardStreams) {
    for (const auto& args : {std::vector<std::string_view>{}, {"-"}, {"--", "-"}}) {
        const ParsedOptions parsed = Parse(args);
        EXPECT_EQ(parsed.error, "");
        EXPECT_FALSE(parsed.options.time.has_value());
        EXPECT_EQ(parsed.options.inputEncoding, Encoding::kUtf8);
        EXPECT_EQ(parsed.options.outputEncoding, Encoding::kCp932);
        EXPECT_EQ(parsed.options.outputPath, "");
    }
    EXPECT_EQ(Parse({"--", "-o"}).options.inputPath, "-o");
    EXPECT_TRUE(Parse({"-h"}).options.help);
    EXPECT_TRUE(Parse({"--help"}).options.help);
    EXPECT_TRUE(Parse({"--version"}).options.version);
}

TEST(ParseOptions, RejectsWhatItDoesNotUnderstand) {
    const struct {
        std::vector<std::string_view> args;
        std::string_view messageStart;
    } cases[] = {
        {{"--frobnicate"}, "unknown option '--frobnicate'"},
        {{"-x"}, "unknown option '-x'"},
        {{"--time"}, "--time needs a value"},
        {{"-o"}, "-o needs a value"},
        {{"-o", ""}, "-o needs a file name"},
        {{"--time", "2024-03-05"}, "malformed --time '2024-03-05'"},
        {{"--input-encoding", "latin1"}, "unknown encoding 'latin1' for --input-encoding"},
        {{"--output-encoding=shift_jis"}, "unknown encoding 'shift_jis' for --output-encoding"},
        {{"a.txt", "b.txt"}, "more than one input file ('b.txt')"},
        {{"--format", "xml"}, "unknown format 'xml' (expected text, json or csv)"},
    };
    for (const auto& c : cases) {
        const std::string error = Parse(c.args).error;
        EXPECT_TRUE(error.starts_with(c.messageStart)) << "got: " << error;
    }
}

TEST(ParseTime, AcceptsOnlyRealCalendarTimes) {
    const struct {
        std::string_view text;
        bool valid;
    } cases[] = {
        {"2024-03-05 09:07:00", true},
        {"2024-02-29 23:59:59", true},
        {"2000-02-29 00:00:00", true},
        {"1900-02-29 00:00:00", false},
        {"2023-02-29 00:00:00", false},
        {"2024-04-31 00:00:00", false},
        {"2024-13-01 00:00:00", false},
        {"2024-00-10 00:00:00", false},
        {"2024-01-00 00:00:00", false},
        {"2024-01-01 24:00:00", false},
        {"2024-01-01 00:60:00", false},
        {"2024-01-01 00:00:60", false},
        {"2024-01-01T00:00:00", false},
        {"2024-1-01 00:00:00", false},
        {"2024-01-01 00:00:0x", false},
        {"2024-01-01 00:00:00 ", false},
        {"", false},
        {"+024-01-01 00:00:00", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseTime(c.text).has_value(), c.valid) << c.text;
    }
    const auto time = ParseTime("2026-12-07 04:08:58");
    ASSERT_TRUE(time.has_value());
    EXPECT_EQ(time->month, 12);
    EXPECT_EQ(time->day, 7);
    EXPECT_EQ(time->hour, 4);
    EXPECT_EQ(time->second, 58);
}

}  // namespace
}  // namespace telvane::cli
