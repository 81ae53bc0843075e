// The waterfall's spectrum rows and picking the signal to follow on it: a tone lands in its
// column at its level at every rate, rows come at their steady rate whatever the block sizes, and
// a picked beacon is copied beside a stronger signal.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "beacon_scoring.h"
#include "decoder.h"
#include "recording_generator.h"
#include "waterfall.h"

namespace telvane::morse {
namespace {

std::vector<float> Sine(double rate, double hz, double amplitude, double seconds) {
    std::vector<float> samples(static_cast<std::size_t>(rate * seconds));
    for (std::size_t n = 0; n < samples.size(); ++n) {
        samples[n] = static_cast<float>(amplitude * std::sin(2 * std::numbers::pi * hz * n / rate));
    }
    return samples;
}

struct ToneCase {
    double rate;
    double hz;
    double amplitude;
};

class WaterfallRows : public ::testing::TestWithParam<ToneCase> {};

TEST_P(WaterfallRows, ATonePeaksInItsColumnAtItsLevel) {
    const ToneCase& c = GetParam();
    Waterfall waterfall(c.rate);
    std::vector<float> rows;
    waterfall.Feed(Sine(c.rate, c.hz, c.amplitude, 2.0), rows);
    ASSERT_EQ(rows.size(), 32U * Waterfall::kColumns);  // 16 rows a second
    const std::span<const float> last(rows.end() - Waterfall::kColumns, rows.end());
    const auto peak = std::max_element(last.begin(), last.end()) - last.begin();
    EXPECT_NEAR(Waterfall::FrequencyOf(static_cast<double>(peak)), c.hz, 5.0);
    EXPECT_NEAR(Waterfall::ColumnOf(Waterfall::FrequencyOf(7.25)), 7.25, 1e-9);
    // A Hann window loses at most 1.5 dB between bins.
    EXPECT_NEAR(last[static_cast<std::size_t>(peak)], 20 * std::log10(c.amplitude), 1.5);
    EXPECT_LT(last[static_cast<std::size_t>(Waterfall::ColumnOf(c.hz + 300))],
              last[static_cast<std::size_t>(peak)] - 60);
}

INSTANTIATE_TEST_SUITE_P(Rates, WaterfallRows,
                         ::testing::Values(ToneCase{8000, 700, 0.5}, ToneCase{11025, 1733, 0.1},
                                           ToneCase{48000, 1000, 1.0},
                                           ToneCase{96000, 2200, 0.01}));

TEST(WaterfallRows, BlockSizesDoNotMatterAndSilenceReadsAsTheFloor) {
    const std::vector<float> samples = Sine(48000, 900, 0.3, 1.0);
    Waterfall whole(48000);
    std::vector<float> once;
    whole.Feed(samples, once);
    Waterfall pieces(48000);
    std::vector<float> split;
    for (std::size_t at = 0; at < samples.size(); at += 1013) {
        pieces.Feed(
            std::span(samples).subspan(at, std::min<std::size_t>(1013, samples.size() - at)),
            split);
    }
    EXPECT_EQ(once, split);

    Waterfall quiet(8000);
    std::vector<float> rows;
    quiet.Feed(std::vector<float>(8000, 0.0F), rows);
    ASSERT_FALSE(rows.empty());
    EXPECT_TRUE(
        std::all_of(rows.begin(), rows.end(), [](float db) { return db == Waterfall::kFloorDb; }));
}

// A beacon with a signal 6 dB stronger 600 Hz below it: picked on the waterfall, it is copied.
TEST(FollowTone, APickedBeaconIsCopiedBesideAStrongerSignal) {
    testing::RecordingOptions options;
    options.sampleRate = 8000;
    options.toneHz = 1300;
    options.snrDb = 6;
    options.channel.interfererDb = 6;
    options.channel.interfererOffsetHz = -600;
    options.seed = 5;
    const testing::Recording recording = testing::Generate(options);
    Decoder decoder(options.sampleRate);
    decoder.FollowTone(1310);
    decoder.Feed(recording.samples);
    decoder.Finish();
    const std::vector<CopiedBeacon> beacons = decoder.TakeBeacons();
    ASSERT_EQ(beacons.size(), 1U);
    EXPECT_NEAR(beacons[0].toneHz, 1300, 10);
    const testing::Score score = testing::ScoreBeacons(recording.beacons, beacons);
    EXPECT_EQ(score.errors, 0);
}

}  // namespace
}  // namespace telvane::morse
