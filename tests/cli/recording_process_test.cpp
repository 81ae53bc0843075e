// telvane-convert --audio on real audio files written with libsndfile: what it copies, how it
// reports a recording it cannot use, and what it records in the archive.

#include <sndfile.h>

#include "audio_writer.h"
#include "process_fixture.h"
#include "recording_generator.h"

namespace telvane::testing {
namespace {

namespace gen = telvane::morse::testing;

class RecordingProcess : public ConvertProcess {
protected:
    // A recording of `beacons` beacons at 20 WPM and 10 dB, with other traffic around them.
    std::vector<gen::KeyedBeacon> Record(const fs::path& name, int beacons,
                                         int format = SF_FORMAT_WAV | SF_FORMAT_PCM_16) {
        gen::RecordingOptions options;
        options.beacons = beacons;
        options.sampleRate = 11025;
        options.seed = 7;
        const gen::Recording recording = gen::Generate(options);
        EXPECT_EQ(gen::WriteAudioFile(dir_ / name, recording.samples, 11025, format), "");
        return recording.beacons;
    }
};

TEST_F(RecordingProcess, ACopiedBeaconConvertsExactlyAsTheSameLinesTyped) {
    const auto keyed = Record("pass.wav", 1);
    ASSERT_EQ(keyed.size(), 1u);
    const Outcome copied =
        Convert(kTimeOption + std::string("--audio ") + Quote(dir_ / "pass.wav"));
    ASSERT_EQ(copied.status, 0) << copied.err;
    const Outcome typed = Convert(kTimeOption, Typed(keyed[0].lines));
    EXPECT_EQ(copied.out, typed.out);

    const Outcome json = Convert("--format json --audio " + Quote(dir_ / "pass.wav"));
    ASSERT_EQ(json.status, 0) << json.err;
    EXPECT_NE(json.out.find("\"line2_text\":\"" + keyed[0].lines[1] + "\""), std::string::npos)
        << json.out;
    EXPECT_NE(json.out.find("\"line2_confidence\":["), std::string::npos);
    EXPECT_EQ(json.out.find("\"tone_hz\":null"), std::string::npos);
}

TEST_F(RecordingProcess, BatchConvertsEveryBeaconInOrder) {
    const auto keyed = Record("two.flac", 2, SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    const Outcome run = Convert("--batch --format csv --audio " + Quote(dir_ / "two.flac"));
    ASSERT_EQ(run.status, 0) << run.err;
    std::size_t rows = 0;
    std::size_t at = 0;
    for (const gen::KeyedBeacon& beacon : keyed) {
        at = run.out.find("," + beacon.lines[5] + ",", at);
        EXPECT_NE(at, std::string::npos) << beacon.lines[5];
        rows += at != std::string::npos;
    }
    EXPECT_EQ(rows, 2u);
}

TEST_F(RecordingProcess, RecordingsThatCannotBeUsedSayWhyWithTheirOwnStatus) {
    std::vector<float> silence(11025 * 3, 0.0F);
    ASSERT_EQ(
        gen::WriteAudioFile(dir_ / "quiet.wav", silence, 11025, SF_FORMAT_WAV | SF_FORMAT_PCM_16),
        "");
    WriteFile(dir_ / "notes.wav", "ZK1 AB CD/EF\n");
    WriteFile(dir_ / "empty.wav", "");
    const struct {
        const char* file;
        int status;
        const char* message;
    } cases[] = {
        {"quiet.wav", 3, "no beacon found in"},
        {"notes.wav", 2, "cannot read"},
        {"empty.wav", 2, "cannot read"},
        {"missing.wav", 2, "cannot read"},
    };
    for (const auto& c : cases) {
        const Outcome run = Convert("--audio " + Quote(dir_ / c.file));
        EXPECT_EQ(run.status, c.status) << c.file;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "one line: " << run.err;
        EXPECT_TRUE(run.out.empty()) << c.file;
    }
}

TEST_F(RecordingProcess, TheTranscriptShowsEverythingHeardWithTimes) {
    Record("pass.wav", 1);
    const Outcome run = Convert("--transcript --audio " + Quote(dir_ / "pass.wav"));
    ASSERT_EQ(run.status, 0) << run.err;
    std::istringstream lines(run.out);
    double previous = -1;
    std::string heard;
    for (std::string line; std::getline(lines, line);) {
        double start = 0;
        double end = 0;
        char text[16] = {};
        ASSERT_GE(std::sscanf(line.c_str(), "%lf\t%lf\t%15[^\n]", &start, &end, text), 2) << line;
        EXPECT_LE(previous, start) << line;
        EXPECT_LT(start, end) << line;
        previous = start;
        heard += text;
    }
    EXPECT_NE(heard.find("ZK1"), std::string::npos) << heard;
}

TEST_F(RecordingProcess, ConvertedBeaconsGoIntoTheArchiveOnce) {
    Record("SDR_20240305_090700Z_437MHz.wav", 1);
    WriteFile(dir_ / "pass.log", kBeacon);
    const std::string archive = "--archive=" + Quote(dir_ / "archive.sqlite") + " ";
    for (int run = 0; run < 2; ++run) {
        EXPECT_EQ(
            Convert(archive + "--audio " + Quote(dir_ / "SDR_20240305_090700Z_437MHz.wav")).status,
            0);
        EXPECT_EQ(Convert(archive + "--batch --format json " + Quote(dir_ / "pass.log")).status, 0);
    }
    const Outcome stats = RunShell(std::string(TELVANE_ARCHIVE) + " stats --archive " +
                                   Quote(dir_ / "archive.sqlite") + " > " + Quote(dir_ / "stats"));
    ASSERT_EQ(stats.status, 0) << stats.err;
    const std::string summary = ReadFile(dir_ / "stats");
    EXPECT_NE(summary.find("beacons: 2\n"), std::string::npos) << summary;
    EXPECT_NE(summary.find("2024-03-05"), std::string::npos) << "the time in the file name";

    WriteFile(dir_ / "foreign.sqlite", "not an archive");
    const Outcome foreign = Convert("--archive=" + Quote(dir_ / "foreign.sqlite"));
    EXPECT_EQ(foreign.status, 0) << "the conversion goes on";
    EXPECT_NE(foreign.err.find("warning: "), std::string::npos) << foreign.err;
    EXPECT_EQ(ReadFile(dir_ / "foreign.sqlite"), "not an archive");
}

TEST_F(RecordingProcess, TheArchiveImportsRecordingsWithWhatTheDecoderMeasured) {
    Record("pass.wav", 1);
    const std::string archive = std::string(TELVANE_ARCHIVE) + " import --archive " +
                                Quote(dir_ / "a.sqlite") + " --start-time 2024-03-05T09:07:00Z " +
                                Quote(dir_ / "pass.wav");
    for (const char* said : {"1 beacons added, 0 already", "0 beacons added, 1 already"}) {
        const Outcome run = RunShell(archive + " > " + Quote(dir_ / "said"));
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_NE(ReadFile(dir_ / "said").find(said), std::string::npos) << ReadFile(dir_ / "said");
    }
    const Outcome exported = RunShell(std::string(TELVANE_ARCHIVE) + " export --archive " +
                                      Quote(dir_ / "a.sqlite") + " > " + Quote(dir_ / "out"));
    ASSERT_EQ(exported.status, 0) << exported.err;
    const std::string json = ReadFile(dir_ / "out");
    EXPECT_NE(json.find("\"line6_confidence\":["), std::string::npos) << json;
    EXPECT_EQ(json.find("\"speed_wpm\":null"), std::string::npos) << json;
}

}  // namespace
}  // namespace telvane::testing
