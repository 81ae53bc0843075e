// The beacon under way, as a live display shows it: each line is right within a second of audio
// after its last key-up, long before the beacon comes out whole, and asking for it changes
// nothing the decoder decides.

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>

#include "decoder.h"
#include "recording_generator.h"

namespace telvane::morse {
namespace {

using testing::Generate;
using testing::Recording;
using testing::RecordingOptions;

constexpr double kBlockSeconds = 0.2;  // the listening window asks five times a second

struct Listened {
    std::vector<CopiedBeacon> beacons;
    // For each keyed beacon and line: the audio time it was first shown right, provisionally.
    std::vector<std::array<std::optional<double>, kLineCount>> shownAt;
};

Listened Listen(const Recording& recording, bool askProvisional) {
    Decoder decoder(recording.sampleRate);
    Listened listened;
    listened.shownAt.resize(recording.beacons.size());
    const auto block = static_cast<std::size_t>(kBlockSeconds * recording.sampleRate);
    const std::span<const float> samples(recording.samples);
    for (std::size_t at = 0; at < samples.size(); at += block) {
        decoder.Feed(samples.subspan(at, std::min(block, samples.size() - at)));
        const std::optional<CopiedBeacon> underway =
            askProvisional ? decoder.Provisional() : std::nullopt;
        for (std::size_t b = 0; underway && b < recording.beacons.size(); ++b) {
            for (std::size_t k = 0; k < kLineCount; ++k) {
                auto& shown = listened.shownAt[b][k];
                if (!shown && underway->lines[k].text == recording.beacons[b].lines[k]) {
                    shown = decoder.SecondsFed();
                }
            }
        }
        for (CopiedBeacon& beacon : decoder.TakeBeacons()) {
            listened.beacons.push_back(std::move(beacon));
        }
    }
    decoder.Finish();
    for (CopiedBeacon& beacon : decoder.TakeBeacons()) {
        listened.beacons.push_back(std::move(beacon));
    }
    return listened;
}

struct LiveCase {
    double rate;
    double wpm;
    double snrDb;
    int beacons;
};

class DecoderProvisional : public ::testing::TestWithParam<LiveCase> {};

TEST_P(DecoderProvisional, EachLineIsShownWithinASecondOfItsLastKeyUp) {
    const LiveCase& c = GetParam();
    RecordingOptions options;
    options.sampleRate = c.rate;
    options.wpm = c.wpm;
    options.snrDb = c.snrDb;
    options.beacons = c.beacons;
    options.seed = static_cast<std::uint32_t>(c.rate + c.wpm);
    const Recording recording = Generate(options);
    const Listened live = Listen(recording, true);
    for (std::size_t b = 0; b < recording.beacons.size(); ++b) {
        for (std::size_t k = 0; k < kLineCount; ++k) {
            const double keyed = recording.beacons[b].lineEndSeconds[k];
            const std::optional<double> shown = live.shownAt[b][k];
            ASSERT_TRUE(shown.has_value()) << "beacon " << b << " line " << k + 1;
            EXPECT_LE(*shown - keyed, 1.0) << "beacon " << b << " line " << k + 1;
        }
    }

    // The beacons that come out are those of a decoder never asked.
    const Listened plain = Listen(recording, false);
    ASSERT_EQ(live.beacons.size(), plain.beacons.size());
    for (std::size_t b = 0; b < live.beacons.size(); ++b) {
        for (std::size_t k = 0; k < kLineCount; ++k) {
            EXPECT_EQ(live.beacons[b].lines[k].text, plain.beacons[b].lines[k].text);
            EXPECT_EQ(live.beacons[b].lines[k].confidence, plain.beacons[b].lines[k].confidence);
        }
        EXPECT_EQ(live.beacons[b].endSeconds, plain.beacons[b].endSeconds);
    }
}

INSTANTIATE_TEST_SUITE_P(RatesSpeedsNoise, DecoderProvisional,
                         ::testing::Values(LiveCase{8000, 12, 10, 1}, LiveCase{48000, 28, 0, 2},
                                           LiveCase{22050, 20, -6, 1}),
                         [](const auto& info) {
                             const LiveCase& c = info.param;
                             return std::to_string(static_cast<int>(c.rate)) + "Hz" +
                                    std::to_string(static_cast<int>(c.wpm)) + "Wpm" +
                                    (c.snrDb < 0 ? "Minus" : "") +
                                    std::to_string(static_cast<int>(std::abs(c.snrDb))) + "dB";
                         });

}  // namespace
}  // namespace telvane::morse
