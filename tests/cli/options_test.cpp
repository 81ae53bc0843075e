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

}  // namespace
}  // namespace telvane::cli
