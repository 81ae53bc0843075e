// The CW decoder on generated recordings: accuracy across rates, speeds and tones, streaming in
// any blocks, beacons among other traffic, a beacon cut short, and recordings with no beacon.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <sstream>
#include <string>
#include <utility>

#include "beacon_scoring.h"
#include "decoder.h"
#include "recording_generator.h"

namespace telvane::morse {
namespace {

using testing::Generate;
using testing::Recording;
using testing::RecordingOptions;
using testing::ScoreBeacons;

struct Decoded {
    std::vector<CopiedBeacon> beacons;
    std::vector<HeardText> transcript;
};

// Feeds `samples` in blocks of the given sizes, cycling through them.
Decoded Decode(double rate, std::span<const float> samples, std::span<const std::size_t> blocks) {
    Decoder decoder(rate);
    Decoded decoded;
    std::size_t next = 0;
    while (!samples.empty()) {
        const std::size_t take = std::min(blocks[next++ % blocks.size()], samples.size());
        decoder.Feed(samples.first(take));
        samples = samples.subspan(take);
        for (CopiedBeacon& beacon : decoder.TakeBeacons()) {
            decoded.beacons.push_back(std::move(beacon));
        }
    }
    decoder.Finish();
    for (CopiedBeacon& beacon : decoder.TakeBeacons()) {
        decoded.beacons.push_back(std::move(beacon));
    }
    decoded.transcript = decoder.TakeTranscript();
    return decoded;
}

Decoded DecodeWhole(double rate, std::span<const float> samples) {
    const std::size_t whole[] = {samples.size() + 1};
    return Decode(rate, samples, whole);
}

// White noise of a fixed seed over `samples`, by default at the level the hand-keyed test
// recordings use.
void AddNoise(std::vector<float>& samples, unsigned seed, float deviation = 0.05F) {
    std::mt19937 random(seed);
    std::normal_distribution<float> noise(0.0F, deviation);
    for (float& sample : samples) {
        sample += noise(random);
    }
}

// `text` hand-keyed at 20 WPM on 700 Hz into `seconds` of an 8 kHz recording, with noise.
Decoded DecodeKeyed(const std::string& text, double seconds) {
    const double rate = 8000;
    std::vector<float> samples(static_cast<std::size_t>(seconds * rate), 0.0F);
    testing::AddKeying(samples, rate, text, 20, 700, 1.0);
    AddNoise(samples, 13);
    return DecodeWhole(rate, samples);
}

// The beacons' lines, for failure messages.
std::string Lines(const std::vector<CopiedBeacon>& beacons) {
    std::string text;
    for (const CopiedBeacon& beacon : beacons) {
        text += "confidence " + std::to_string(beacon.confidence) + ", SNR " +
                std::to_string(beacon.snrDb) + " dB\n";
        for (const CopiedLine& line : beacon.lines) {
            text += line.text + "\n";
        }
    }
    return text;
}

std::string TranscriptText(const std::vector<HeardText>& transcript) {
    std::string text;
    for (const HeardText& heard : transcript) {
        text += heard.text;
    }
    return text;
}

struct AccuracyCase {
    double rate;
    double wpm;
    double toneHz;
    double snrDb;
    int beacons;
    double maxCer;
};

class DecoderAccuracy : public ::testing::TestWithParam<AccuracyCase> {};

TEST_P(DecoderAccuracy, CopiesBeaconsAmongOtherTraffic) {
    const AccuracyCase& c = GetParam();
    RecordingOptions options;
    options.sampleRate = c.rate;
    options.wpm = c.wpm;
    options.toneHz = c.toneHz;
    options.snrDb = c.snrDb;
    options.beacons = c.beacons;
    options.seed = static_cast<std::uint32_t>(c.rate + c.wpm * 7 + c.toneHz);
    const Recording recording = Generate(options);
    const Decoded decoded = DecodeWhole(c.rate, recording.samples);
    const testing::Score score = ScoreBeacons(recording.beacons, decoded.beacons);

    EXPECT_EQ(score.falseBeacons, 0);
    EXPECT_EQ(decoded.beacons.size(), recording.beacons.size());
    EXPECT_LE(score.Rate(), c.maxCer) << score.errors << " errors in " << score.characters;
    for (const CopiedBeacon& beacon : decoded.beacons) {
        EXPECT_NEAR(beacon.toneHz, c.toneHz, 10);
        EXPECT_NEAR(beacon.speedWpm, c.wpm, c.wpm * 0.05);
        EXPECT_NEAR(beacon.snrDb, c.snrDb, 3);
        for (const CopiedLine& line : beacon.lines) {
            EXPECT_EQ(line.confidence.size(), line.text.size());
            EXPECT_EQ(line.alternative.size(), line.text.size());
        }
    }
}

// Clean channels must be copied exactly, however strong (a strong tone saturates the tone
// tracker's emission, and its peak was lost within that); near the noise floor a few errors are
// allowed.
INSTANTIATE_TEST_SUITE_P(
    RatesSpeedsTones, DecoderAccuracy,
    ::testing::Values(
        AccuracyCase{8000, 12, 450, 10, 1, 0.0}, AccuracyCase{8000, 23.5, 554, 50, 1, 0.0},
        AccuracyCase{11025, 15, 711, 40, 2, 0.0}, AccuracyCase{22050, 16, 450, 60, 2, 0.0},
        AccuracyCase{22050, 12, 580, 20, 2, 0.0}, AccuracyCase{44100, 18, 450, 20, 2, 0.0},
        AccuracyCase{11025, 28, 1100, 10, 1, 0.0}, AccuracyCase{22050, 20, 800, 10, 2, 0.0},
        AccuracyCase{44100, 24, 600, 0, 1, 0.0}, AccuracyCase{48000, 16, 950, -6, 1, 0.01},
        AccuracyCase{8000, 26, 700, -8, 1, 0.02}, AccuracyCase{22050, 18, 600, -10, 2, 0.03}));

struct InterfererCase {
    double rate;
    double wpm;
    double toneHz;
    double interfererDb;  // relative to the beacon
    double offsetHz;
};

class DecoderInterferer : public ::testing::TestWithParam<InterfererCase> {};

// A louder CW station calling CQ beside the beacon: the beacon is copied, the station's traffic
// never becomes a beacon.
TEST_P(DecoderInterferer, CopiesTheBeaconBesideALouderStation) {
    const InterfererCase& c = GetParam();
    RecordingOptions options;
    options.sampleRate = c.rate;
    options.wpm = c.wpm;
    options.toneHz = c.toneHz;
    options.snrDb = 0;
    options.channel.interfererDb = c.interfererDb;
    options.channel.interfererOffsetHz = c.offsetHz;
    options.seed = static_cast<std::uint32_t>(c.toneHz + c.offsetHz);
    const Recording recording = Generate(options);
    const Decoded decoded = DecodeWhole(c.rate, recording.samples);
    const testing::Score score = ScoreBeacons(recording.beacons, decoded.beacons);

    EXPECT_EQ(score.falseBeacons, 0) << Lines(decoded.beacons);
    EXPECT_LE(score.errors, 3) << Lines(decoded.beacons);
    for (const CopiedBeacon& beacon : decoded.beacons) {
        EXPECT_NEAR(beacon.toneHz, c.toneHz, 10);
    }
}

INSTANTIATE_TEST_SUITE_P(OffsetsAndLevels, DecoderInterferer,
                         ::testing::Values(InterfererCase{8000, 20, 700, 3, 150},
                                           InterfererCase{22050, 16, 900, 2, -220},
                                           InterfererCase{48000, 25, 600, 1, 380}));

struct HardChannelCase {
    double rate;
    double wpm;
    double toneHz;
    std::uint32_t seed;
    int beacons;
    double interfererDb;
    double offsetHz;
};

RecordingOptions HardChannelOptions(const HardChannelCase& c) {
    RecordingOptions options;
    options.sampleRate = c.rate;
    options.wpm = c.wpm;
    options.toneHz = c.toneHz;
    options.snrDb = 0;
    options.beacons = c.beacons;
    options.seed = c.seed;
    options.channel = {.driftHzPerSecond = 230,
                       .fading = true,
                       .interfererDb = c.interfererDb,
                       .interfererOffsetHz = c.offsetHz,
                       .clicksPerSecond = 0.5};
    return options;
}

class DecoderHardChannel : public ::testing::TestWithParam<HardChannelCase> {};

// The hard channel: Doppler drift, fading, clicks, and a station calling CQ beside the beacon that
// drifts with it. While the beacon is silent between beacons, or faded, the tone paths following
// the two stations cross over; each chain must go on reading its own station. The first two
// recordings lost a whole beacon, or most of one, when the chains changed stations with the
// paths; the third lost the first line, keyed where the second station was first heard and mixed
// on a tone hopping between the two, the fourth lost it to the traffic before it, its header's
// Z heard as an O. In the last the station sweeps into the band beside the beacon and the main
// tone hops to it in the middle of a beacon: lines 2 and 3 were lost. In the sixth the main tone
// is read again from where the station was first heard, in the middle of line 1 (its decisions
// lag that far): read as traffic from there, line 1 lost all but its first two letters. In the
// seventh the main tone hops to the station after line 1, and the second tone copies the rest:
// line 1, heard only on the main tone, was lost. In the last the beacon fades in the steepest
// sweep: its tone, smoothed with no drift where too few frames were strong, strayed, and the
// beacon came out in two parts. In the last two the station sweeps into the band in the middle of
// a beacon, the main tone goes over to it, and the away path takes the beacon over before the
// second tone is heard: the line keyed there was lost between the two tones (10 and 13 errors).
TEST_P(DecoderHardChannel, BeaconIsCopiedBesideAStationDriftingWithIt) {
    const HardChannelCase& c = GetParam();
    const Recording recording = Generate(HardChannelOptions(c));
    const Decoded decoded = DecodeWhole(c.rate, recording.samples);

    EXPECT_EQ(decoded.beacons.size(), recording.beacons.size()) << Lines(decoded.beacons);
    EXPECT_LE(ScoreBeacons(recording.beacons, decoded.beacons).errors, 6) << Lines(decoded.beacons);
}

INSTANTIATE_TEST_SUITE_P(
    Seeds, DecoderHardChannel,
    ::testing::Values(HardChannelCase{22050, 17.378773699741309, 1024.0109443721021, 2250347611U, 2,
                                      -1.3970355308767246, 299.99697822550593},
                      HardChannelCase{44100, 17.375730210288371, 1084.7342293940164, 3179343777U, 1,
                                      -0.51297644724782732, 276.81310827446782},
                      HardChannelCase{8000, 18.378711331806461, 869.18343500056142, 2097499326U, 1,
                                      -1.5133348814677312, -263.59809126790338},
                      HardChannelCase{8000, 13.690289863604381, 487.82817597286237, 2393714786U, 2,
                                      0.61655835530460656, -246.40775361634684},
                      HardChannelCase{11025, 27.368889031507187, 623.01638301949379, 2257537192U, 2,
                                      -3.3363242017248305, -354.54970796960788},
                      HardChannelCase{11025, 24.105954236796958, 537.1098398331701, 250524759U, 1,
                                      2.4986505239701806, -316.64604266315166},
                      HardChannelCase{11025, 21.161304374043191, 526.33307046380651, 916621519U, 1,
                                      -0.44313440358128808, -242.35507699809563},
                      HardChannelCase{44100, 22.243423154347816, 540.68493287395393, 4010592374U, 1,
                                      -4.6684747831072357, -259.23612730038212},
                      HardChannelCase{48000, 21.851643178365634, 502.67312009994936, 3955923687U, 1,
                                      1.0218223678460907, -164.21121394029913},
                      HardChannelCase{22050, 17.668573775893694, 724.90295640878094, 686093327U, 1,
                                      1.361182505841092, -399.50119076926819}));

// The beacon sweeps up at its steepest Doppler while a station 242 Hz below it, keying at another
// speed, sweeps into the band: the tone followed stays where the beacon was and takes the station,
// whose speed then settles. The beacon heard before must still be cut at its own speed: its first
// line reads in the transcript as keyed, where from its fourth letter on it read as others when
// cut at the station's.
TEST(DecoderStationHop, BeaconHeardBeforeTheHopKeepsItsSpeed) {
    RecordingOptions options;
    options.sampleRate = 11025;
    options.wpm = 21.161304374043191;
    options.toneHz = 526.33307046380651;
    options.snrDb = 0;
    options.seed = 916621519U;
    options.channel = {.driftHzPerSecond = 230,
                       .interfererDb = -0.44313440358128808,
                       .interfererOffsetHz = -242.35507699809563};
    const Recording recording = Generate(options);
    const Decoded decoded = DecodeWhole(options.sampleRate, recording.samples);

    std::string heard = TranscriptText(decoded.transcript);
    std::erase(heard, ' ');
    std::string keyed = recording.beacons.front().lines[0];
    std::erase(keyed, ' ');
    EXPECT_NE(heard.find(keyed), std::string::npos) << keyed << " in " << heard;
}

struct LateStationCase {
    double rate;
    double wpm;
    double toneHz;
    double interfererDb;  // relative to the beacon; -100 for no station at all
    double offsetHz;
    std::uint32_t seed;
};

class DecoderLateStation : public ::testing::TestWithParam<LateStationCase> {};

// More than a minute of quiet, then a station calling CQ from 5 s before the beacon: the main
// tone, on the station until the beacon is heard beside it, moves to the beacon, whose first line
// was mixed on the station's tone. Nor may the quiet before it make a beacon of the noise.
TEST_P(DecoderLateStation, FirstLineAfterALongQuietIsCopied) {
    const LateStationCase& c = GetParam();
    RecordingOptions options;
    options.sampleRate = c.rate;
    options.wpm = c.wpm;
    options.toneHz = c.toneHz;
    options.snrDb = 0;
    options.otherText = false;
    options.leadSeconds = 75;
    options.channel.interfererDb = c.interfererDb;
    options.channel.interfererOffsetHz = c.offsetHz;
    options.channel.interfererFromSeconds = 70;
    options.seed = c.seed;
    const Recording recording = Generate(options);
    const Decoded decoded = DecodeWhole(c.rate, recording.samples);

    ASSERT_EQ(decoded.beacons.size(), 1U) << Lines(decoded.beacons);
    EXPECT_EQ(decoded.beacons[0].lines[0].text, recording.beacons[0].lines[0]);
    EXPECT_LE(ScoreBeacons(recording.beacons, decoded.beacons).errors, 1) << Lines(decoded.beacons);
}

INSTANTIATE_TEST_SUITE_P(RatesSpeedsLevels, DecoderLateStation,
                         ::testing::Values(LateStationCase{11025, 22, 800, 3, 200, 1},
                                           LateStationCase{22050, 14, 900, 2, -180, 4},
                                           LateStationCase{44100, 20, 700, 1, -220, 5},
                                           LateStationCase{11025, 28, 750, 0, 180, 4},
                                           LateStationCase{11025, 28, 750, -100, 0, 1}));

struct DriftCase {
    double rate;
    double wpm;
    double toneHz;
    std::uint32_t seed;
};

class DecoderDrift : public ::testing::TestWithParam<DriftCase> {};

// A low orbit overhead: the tone sweeps 500 Hz along a Doppler S-curve at up to 230 Hz/s while
// the beacon is keyed through its steepest part.
TEST_P(DecoderDrift, CopiesTheBeaconThroughTheSteepestDoppler) {
    const DriftCase& c = GetParam();
    RecordingOptions options;
    options.sampleRate = c.rate;
    options.wpm = c.wpm;
    options.toneHz = c.toneHz;
    options.snrDb = 0;
    options.otherText = false;
    options.channel.driftHzPerSecond = 230;
    options.seed = c.seed;
    const Recording recording = Generate(options);
    ASSERT_LT(recording.beacons.front().startSeconds + 2, recording.driftCentreSeconds);
    ASSERT_GT(recording.beacons.front().endSeconds - 2, recording.driftCentreSeconds);
    const Decoded decoded = DecodeWhole(c.rate, recording.samples);
    const testing::Score score = ScoreBeacons(recording.beacons, decoded.beacons);

    EXPECT_EQ(score.falseBeacons, 0);
    ASSERT_EQ(decoded.beacons.size(), 1U) << Lines(decoded.beacons);
    EXPECT_LE(score.errors, 2) << Lines(decoded.beacons);
}

INSTANTIATE_TEST_SUITE_P(RatesSpeeds, DecoderDrift,
                         ::testing::Values(DriftCase{8000, 14, 500, 100},
                                           DriftCase{11025, 22, 532, 106},
                                           DriftCase{22050, 26, 1017, 111},
                                           DriftCase{44100, 18, 661, 113},
                                           DriftCase{48000, 18, 1049, 117}));

struct FadingCase {
    double rate;
    double wpm;
    double toneHz;
    std::uint32_t seed;
};

constexpr std::array<FadingCase, 5> kFadingCases = {{{8000, 22, 900, 11},
                                                     {22050, 16, 600, 12},
                                                     {48000, 26, 1000, 13},
                                                     {11025, 19, 750, 14},
                                                     {44100, 14, 500, 15}}};

// Slow Rayleigh fading at 0 dB: most of each beacon is far above the noise, so the fades may cost
// the characters keyed deep in them but never the rest of the beacon's lines.
TEST(DecoderFading, CopiesBeaconsThroughFades) {
    testing::Score total;
    std::string copied;
    for (const FadingCase& c : kFadingCases) {
        RecordingOptions options;
        options.sampleRate = c.rate;
        options.wpm = c.wpm;
        options.toneHz = c.toneHz;
        options.snrDb = 0;
        options.channel.fading = true;
        options.seed = c.seed;
        const Recording recording = Generate(options);
        const Decoded decoded = DecodeWhole(c.rate, recording.samples);
        total += ScoreBeacons(recording.beacons, decoded.beacons);
        copied += Lines(decoded.beacons);
    }
    EXPECT_EQ(total.falseBeacons, 0) << copied;
    EXPECT_EQ(total.beacons, static_cast<int>(kFadingCases.size()));
    EXPECT_LE(total.Rate(), 0.12) << total.errors << " errors in " << total.characters << "\n"
                                  << copied;
}

struct StreamingCase {
    double rate;
    double snrDb;
    double interfererDb;  // a louder station beside the beacon: the second tone's own chain
    double offsetHz;
    double leadSeconds;  // before the beacon: a second tone heard late, after much was mixed
    std::uint32_t seed;
    double interfererFromSeconds = 0;  // a station starting late: the main tone moves to the beacon
};

// Decodes `recording` in one block and in blocks of many sizes, and expects the same of both.
void ExpectSameInBlocks(double rate, const Recording& recording) {
    const Decoded whole = DecodeWhole(rate, recording.samples);
    const std::size_t blocks[] = {0, 1, 2, 3, 441, 4099, 0, 17, 12000, 1};
    const Decoded pieces = Decode(rate, recording.samples, blocks);

    ASSERT_EQ(whole.beacons.size(), recording.beacons.size()) << Lines(whole.beacons);
    ASSERT_EQ(pieces.beacons.size(), whole.beacons.size());
    for (std::size_t b = 0; b < whole.beacons.size(); ++b) {
        const CopiedBeacon& one = whole.beacons[b];
        const CopiedBeacon& many = pieces.beacons[b];
        for (std::size_t k = 0; k < one.lines.size(); ++k) {
            EXPECT_EQ(one.lines[k].text, many.lines[k].text);
            EXPECT_EQ(one.lines[k].confidence, many.lines[k].confidence);
            EXPECT_EQ(one.lines[k].alternative, many.lines[k].alternative);
        }
        EXPECT_EQ(one.startSeconds, many.startSeconds);
        EXPECT_EQ(one.endSeconds, many.endSeconds);
        EXPECT_EQ(one.toneHz, many.toneHz);
        EXPECT_EQ(one.speedWpm, many.speedWpm);
        EXPECT_EQ(one.snrDb, many.snrDb);
        EXPECT_EQ(one.confidence, many.confidence);
    }
    ASSERT_EQ(whole.transcript.size(), pieces.transcript.size());
    for (std::size_t i = 0; i < whole.transcript.size(); ++i) {
        EXPECT_EQ(whole.transcript[i].text, pieces.transcript[i].text);
        EXPECT_EQ(whole.transcript[i].startSeconds, pieces.transcript[i].startSeconds);
    }
}

class DecoderStreaming : public ::testing::TestWithParam<StreamingCase> {};

TEST_P(DecoderStreaming, AnyBlocksGiveTheSameResultAsOneBlock) {
    const StreamingCase& c = GetParam();
    RecordingOptions options;
    options.sampleRate = c.rate;
    options.wpm = 25;
    options.snrDb = c.snrDb;
    options.channel.interfererDb = c.interfererDb;
    options.channel.interfererOffsetHz = c.offsetHz;
    options.leadSeconds = c.leadSeconds;
    options.channel.interfererFromSeconds = c.interfererFromSeconds;
    options.seed = c.seed;
    ExpectSameInBlocks(options.sampleRate, Generate(options));
}

INSTANTIATE_TEST_SUITE_P(Channels, DecoderStreaming,
                         ::testing::Values(StreamingCase{11025, -4, -100, 0, 2, 7},
                                           StreamingCase{22050, 0, 2, 200, 45, 11},
                                           StreamingCase{11025, 0, 3, 200, 75, 2, 70},
                                           StreamingCase{8000, -8, -100, 0, 150, 5}));

// Two minutes of noise alone before a beacon: nothing is read from them, and the beacon is copied.
TEST(DecoderQuiet, NoiseAloneIsNotReadAsText) {
    RecordingOptions options;
    options.snrDb = -8;
    options.otherText = false;
    options.leadSeconds = 120;
    options.seed = 3;
    const Recording recording = Generate(options);
    const Decoded decoded = DecodeWhole(options.sampleRate, recording.samples);
    ASSERT_EQ(decoded.beacons.size(), 1U);
    for (std::size_t k = 0; k < kLineCount; ++k) {
        EXPECT_EQ(decoded.beacons[0].lines[k].text, recording.beacons[0].lines[k]);
    }
    // The keying grid holds the last 49 s back until the speed is found, and cuts them again.
    const double quietUntil = recording.beacons[0].startSeconds - 50;
    for (const HeardText& heard : decoded.transcript) {
        EXPECT_TRUE(heard.text == " " || heard.startSeconds > quietUntil)
            << "'" << heard.text << "' at " << heard.startSeconds << " s";
    }
}

// Beacons on two tones, read again when the second tone is heard. In the first, the beacon under
// way is read on along the path that took it over from the main tone. In the second, the steady
// path's reread went on into the next beacon when the whole recording came in one block, and was
// ended before it in small blocks: the beacon came out with another end and confidence. In the
// third the copies of the first beacon reached the pairing in another order in small blocks, and
// its last line came out as a beacon of its own. In the fourth the second tone's part of the first
// beacon came before the main tone's copy in small blocks, was joined to the reread's part, and the
// beacon came out with that join's tone, speed and SNR. In the fifth the second tone's copy of the
// second beacon began 8 s early, in the end of the first: fed whole, the two overlapping copies
// came out as one beacon, lines of each; in small blocks the first was handed out before that copy
// was complete, and two came out.
class DecoderHardStreaming : public ::testing::TestWithParam<HardChannelCase> {};

TEST_P(DecoderHardStreaming, BeaconsAreTheSameInBlocks) {
    ExpectSameInBlocks(GetParam().rate, Generate(HardChannelOptions(GetParam())));
}

INSTANTIATE_TEST_SUITE_P(
    Seeds, DecoderHardStreaming,
    ::testing::Values(HardChannelCase{48000, 21.851643178365634, 502.67312009994936, 3955923687U, 1,
                                      1.0218223678460907, -164.21121394029913},
                      HardChannelCase{11025, 15.913804946190362, 455.3682954886969, 1598806501U, 2,
                                      -2.3015774805466318, -344.4069686158328},
                      HardChannelCase{48000, 20.787417304513227, 647.86601177323928, 3166586939U, 2,
                                      -0.88217548218080566, -310.88057299483273},
                      HardChannelCase{22050, 17.569975766577617, 575.82273111143979, 2580340954U, 2,
                                      0.17205366544640288, -291.30363760973512},
                      HardChannelCase{22050, 26.547362546566116, 537.97894078424167, 296563156U, 2,
                                      -2.1483434379555906, -308.46811440222143}));

TEST(DecoderStreaming, BeaconComesOutBeforeTheRecordingEnds) {
    RecordingOptions options;
    options.otherText = false;
    options.tailSeconds = 30;
    options.seed = 11;
    const Recording recording = Generate(options);
    Decoder decoder(options.sampleRate);
    // The decoder's look-ahead (the keying grid's window and the sequence decoder's lag) is
    // about 17 s at 20 WPM; the recording runs 30 s past the beacon.
    const auto heardUntil =
        static_cast<std::size_t>((recording.beacons[0].endSeconds + 20.0) * options.sampleRate);
    decoder.Feed(std::span<const float>(recording.samples).first(heardUntil));
    const auto beacons = decoder.TakeBeacons();
    ASSERT_EQ(beacons.size(), 1U);
    EXPECT_EQ(beacons[0].lines[5].text, recording.beacons[0].lines[5]);
    EXPECT_NEAR(beacons[0].startSeconds, recording.beacons[0].startSeconds, 0.2);
    EXPECT_NEAR(beacons[0].endSeconds, recording.beacons[0].endSeconds, 0.2);
}

// Traffic, then a beacon within the first seconds: the speed is still being found when its first
// line is keyed, and that line is cut again on the grid found.
TEST(DecoderStart, FirstLineKeyedWhileTheSpeedIsFoundIsCopied) {
    RecordingOptions options;
    options.sampleRate = 48000;
    options.wpm = 26;
    options.toneHz = 989;
    options.snrDb = -8;
    options.leadSeconds = 0.5;
    options.seed = 19;
    const Recording recording = Generate(options);
    const Decoded decoded = DecodeWhole(options.sampleRate, recording.samples);
    ASSERT_EQ(decoded.beacons.size(), 1U) << Lines(decoded.beacons);
    EXPECT_EQ(decoded.beacons[0].lines[0].text, recording.beacons[0].lines[0]);
}

// Near the noise floor one window scores other speeds as well as the keyed one: a wrong speed
// held by a few overlapping windows was settled on (the beacon read at 40 WPM and split in two),
// or the first lines were cut before the speed was found.
struct LowSnrCase {
    double rate;
    double wpm;
    double toneHz;
    std::uint32_t seed;
};

class DecoderLowSnr : public ::testing::TestWithParam<LowSnrCase> {};

TEST_P(DecoderLowSnr, BeaconIsCopiedAtTheKeyedSpeed) {
    const LowSnrCase& c = GetParam();
    RecordingOptions options;
    options.sampleRate = c.rate;
    options.wpm = c.wpm;
    options.toneHz = c.toneHz;
    options.snrDb = -12;
    options.seed = c.seed;
    const Recording recording = Generate(options);
    const Decoded decoded = DecodeWhole(c.rate, recording.samples);
    const testing::Score score = ScoreBeacons(recording.beacons, decoded.beacons);

    ASSERT_EQ(decoded.beacons.size(), 1U) << Lines(decoded.beacons);
    EXPECT_NEAR(decoded.beacons[0].speedWpm, c.wpm, c.wpm * 0.03);
    EXPECT_LE(score.Rate(), 0.15) << Lines(decoded.beacons);
}

INSTANTIATE_TEST_SUITE_P(Recordings, DecoderLowSnr,
                         ::testing::Values(LowSnrCase{8000, 24.1, 772, 116},
                                           LowSnrCase{11025, 22.2, 823, 119},
                                           LowSnrCase{8000, 24.1, 908, 124}));

// A live input often starts in digital silence (a sound server's monitor before the receiver
// plays): the noise floor found after it must not start low, or the first line is lost.
struct SplicedCase {
    double rate;
    std::vector<double> wpm;  // one beacon at each, one after the other
};

class DecoderSpeedChange : public ::testing::TestWithParam<SplicedCase> {};

// Recordings spliced one after the other, each keyed a little faster than the one before: the
// speed followed moves with them.
TEST_P(DecoderSpeedChange, EveryBeaconIsCopied) {
    const SplicedCase& c = GetParam();
    Recording spliced;
    for (std::size_t i = 0; i < c.wpm.size(); ++i) {
        RecordingOptions options;
        options.sampleRate = c.rate;
        options.wpm = c.wpm[i];
        options.snrDb = -6;
        options.seed = static_cast<std::uint32_t>(40 + i);
        const Recording part = Generate(options);
        const double offset = static_cast<double>(spliced.samples.size()) / c.rate;
        for (testing::KeyedBeacon beacon : part.beacons) {
            beacon.startSeconds += offset;
            beacon.endSeconds += offset;
            for (double& end : beacon.lineEndSeconds) {
                end += offset;
            }
            spliced.beacons.push_back(beacon);
        }
        spliced.samples.insert(spliced.samples.end(), part.samples.begin(), part.samples.end());
    }
    const Decoded decoded = DecodeWhole(c.rate, spliced.samples);
    ASSERT_EQ(decoded.beacons.size(), spliced.beacons.size()) << Lines(decoded.beacons);
    for (std::size_t i = 0; i < c.wpm.size(); ++i) {
        EXPECT_NEAR(decoded.beacons[i].speedWpm, c.wpm[i], 0.01 * c.wpm[i]);
    }
    // A beacon keyed while the speed is still moving may lose a few characters, or a line or two
    // of it while the new speed is found; the beacon itself is never lost. How many varies with
    // the noise: from none to about 45 over thirty noise seeds.
    EXPECT_LE(ScoreBeacons(spliced.beacons, decoded.beacons).errors, 45) << Lines(decoded.beacons);
}

INSTANTIATE_TEST_SUITE_P(Speeds, DecoderSpeedChange,
                         ::testing::Values(SplicedCase{8000, {13, 14, 15}},
                                           SplicedCase{22050, {20, 21.5, 23}}));

TEST(DecoderStart, InputThatBeginsInDigitalSilenceLosesNoLine) {
    for (const double silence : {0.02, 0.1, 0.4, 3.0}) {
        const RecordingOptions options = testing::PlayedBeaconOptions();
        const Recording recording = Generate(options);
        std::vector<float> samples(static_cast<std::size_t>(silence * options.sampleRate), 0.0F);
        samples.insert(samples.end(), recording.samples.begin(), recording.samples.end());
        const Decoded decoded = DecodeWhole(options.sampleRate, samples);
        ASSERT_EQ(decoded.beacons.size(), 1U) << silence << " s\n" << Lines(decoded.beacons);
        EXPECT_EQ(testing::ScoreBeacons(recording.beacons, decoded.beacons).errors, 0)
            << silence << " s\n"
            << Lines(decoded.beacons);
    }
}

// A receiver's squelch closing after the beacon gives digital silence: the beacon comes out while
// the silence goes on. At some starts of the input (16-bit samples, as a sound server gives
// them), the steady path beside the beacon met it as the noise ended, and a second tone was
// heard in what the paths had followed before: the beacon waited for that tone's decisions until
// the recording ended.
TEST(DecoderEnd, BeaconFollowedByDigitalSilenceComesOutDuringIt) {
    const RecordingOptions options = testing::PlayedBeaconOptions();
    const Recording recording = Generate(options);
    for (const double start : {0.185, 0.518, 0.851, 1.184}) {
        std::vector<float> samples(static_cast<std::size_t>(start * options.sampleRate), 0.0F);
        for (const float sample : recording.samples) {
            samples.push_back(std::round(sample * 32767.0F) / 32767.0F);
        }
        const double silentFrom = static_cast<double>(samples.size()) / options.sampleRate;
        samples.resize(samples.size() + static_cast<std::size_t>(40 * options.sampleRate), 0.0F);
        Decoder decoder(options.sampleRate);
        decoder.Feed(samples);
        const auto beacons = decoder.TakeBeacons();
        ASSERT_EQ(beacons.size(), 1U) << start << " s of silence first, then " << silentFrom;
        EXPECT_EQ(beacons[0].lines[5].text, recording.beacons[0].lines[5]);
    }
}

// A beacon broken off after its fifth line.
constexpr const char* kFiveLines =
    "ZK1 JA1ABC/2 ZK2 0A 1B 2C ZK3 3D4E 5F60 ZK4 71 82 93 ZK5 A4 B5 C6";

// A beacon that waits for more comes out in the quiet after it, not only once the recording ends:
// one broken off after its fifth line waited for the rest, and one beside another station that
// fell silent waited for that station's decisions.
struct QuietAfterCase {
    const char* other;  // keyed 200 Hz above the beacon, or nothing
    const char* beacon;
    const char* lastLine;  // as copied
    double seconds;        // of the recording, ending in quiet
};

class DecoderQuietAfter : public ::testing::TestWithParam<QuietAfterCase> {};

TEST_P(DecoderQuietAfter, BeaconComesOutWhileTheQuietGoesOn) {
    const QuietAfterCase& c = GetParam();
    const double rate = 8000;
    std::vector<float> samples(static_cast<std::size_t>(c.seconds * rate), 0.0F);
    testing::AddKeying(samples, rate, c.other, 18, 850, 1.0);
    testing::AddKeying(samples, rate, c.beacon, 20, 650, 6.0);
    AddNoise(samples, 3, 0.2F);  // +13 dB
    Decoder decoder(rate);
    decoder.Feed(samples);
    const auto beacons = decoder.TakeBeacons();
    ASSERT_EQ(beacons.size(), 1U) << Lines(beacons);
    EXPECT_EQ(beacons[0].lines[0].text, "ZK1 JA1ABC/2");
    EXPECT_EQ(beacons[0].lines[5].text, c.lastLine);
}

INSTANTIATE_TEST_SUITE_P(
    Beacons, DecoderQuietAfter,
    ::testing::Values(QuietAfterCase{"", kFiveLines, "", 100},
                      QuietAfterCase{
                          "VVV VVV TEST DE JA1ABC JA1ABC TEST VVV VVV TEST DE JA1ABC K",
                          "ZK1 JA1ABC/2 ZK2 0A 1B 2C ZK3 3D4E 5F60 ZK4 71 82 93 ZK5 A4 B5 C6 ZK6 "
                          "D7E8F 90A1B",
                          "ZK6 D7E8F 90A1B", 120}));

// A beacon broken off after its fifth line, then noise alone: the grid's keying is lost a few
// windows later, and the slots cut until then must not let the grammar read a sixth line into the
// noise (a lone "ZK6", or "ZK6 0").
TEST(DecoderEnd, NoiseAfterABrokenOffBeaconAddsNoLine) {
    for (const double rate : {8000.0, 48000.0}) {
        for (const unsigned seed : {1U, 2U, 4U, 5U}) {
            std::vector<float> samples(static_cast<std::size_t>(100 * rate), 0.0F);
            testing::AddKeying(samples, rate, kFiveLines, 20, 650, 6.0);
            AddNoise(samples, seed, 0.2F);  // +13 dB
            const Decoded decoded = DecodeWhole(rate, samples);
            ASSERT_EQ(decoded.beacons.size(), 1U) << rate << " Hz, seed " << seed;
            EXPECT_EQ(decoded.beacons[0].lines[4].text, "ZK5 A4 B5 C6")
                << rate << " Hz, seed " << seed;
            EXPECT_EQ(decoded.beacons[0].lines[5].text, "") << rate << " Hz, seed " << seed;
        }
    }
}

// Traffic, also one that ends in a lone header (a beacon's first line with nothing after it).
class DecoderTraffic : public ::testing::TestWithParam<const char*> {};

TEST_P(DecoderTraffic, OtherTextIsTranscribedButNeverABeacon) {
    std::vector<float> samples(static_cast<std::size_t>(40 * 8000), 0.0F);
    testing::AddKeying(samples, 8000, GetParam(), 18, 650, 1.0);
    AddNoise(samples, 3);
    const Decoded decoded = DecodeWhole(8000, samples);
    EXPECT_TRUE(decoded.beacons.empty()) << Lines(decoded.beacons);
    EXPECT_NE(TranscriptText(decoded.transcript).find("DE JA1ABC"), std::string::npos)
        << TranscriptText(decoded.transcript);
}

INSTANTIATE_TEST_SUITE_P(Texts, DecoderTraffic,
                         ::testing::Values("VVV VVV TEST DE JA1ABC K", "TEST DE JA1ABC ZK1"));

// A beacon broken off by traffic after one of its lines: the lines keyed come out as one beacon,
// the rest empty, and the traffic after it is transcribed, never read into the beacon.
struct BrokenOffCase {
    int lines;  // keyed before the traffic
    double wpm;
};

class DecoderBrokenOff : public ::testing::TestWithParam<BrokenOffCase> {};

TEST_P(DecoderBrokenOff, LinesKeyedComeOutAndTheTrafficAfterThemDoesNot) {
    const std::array<std::string, kLineCount> keyed = {"ZK1 JA1ABC/2",  "ZK2 0A 1B 2C",
                                                       "ZK3 3D4E 5F60", "ZK4 71 82 93",
                                                       "ZK5 A4 B5 C6",  "ZK6 D7E8F 90A1B"};
    std::string text;
    for (int k = 0; k < GetParam().lines; ++k) {
        text += keyed[static_cast<std::size_t>(k)] + "\n";
    }
    text += "VVV TEST DE JA1ABC K";
    std::vector<float> samples(static_cast<std::size_t>(90 * 8000), 0.0F);
    testing::AddKeying(samples, 8000, text, GetParam().wpm, 650, 1.0);
    AddNoise(samples, 5);
    const Decoded decoded = DecodeWhole(8000, samples);
    ASSERT_EQ(decoded.beacons.size(), 1U) << Lines(decoded.beacons);
    for (int k = 0; k < kLineCount; ++k) {
        EXPECT_EQ(decoded.beacons[0].lines[static_cast<std::size_t>(k)].text,
                  k < GetParam().lines ? keyed[static_cast<std::size_t>(k)] : "")
            << Lines(decoded.beacons);
    }
    EXPECT_NE(TranscriptText(decoded.transcript).find("DE JA1ABC K"), std::string::npos)
        << TranscriptText(decoded.transcript);
}

INSTANTIATE_TEST_SUITE_P(Lines, DecoderBrokenOff,
                         ::testing::Values(BrokenOffCase{3, 24}, BrokenOffCase{4, 18},
                                           BrokenOffCase{5, 15}));

// Recordings of the error-rate benchmark (at -13 dB unless stated), drawn with its table's seed or
// another.
struct WeakCase {
    double rate;
    double wpm;
    double toneHz;
    std::uint32_t seed;
    int beacons = 1;
    double snrDb = -13;
};

Recording GenerateWeak(const WeakCase& c) {
    RecordingOptions options;
    options.sampleRate = c.rate;
    options.wpm = c.wpm;
    options.toneHz = c.toneHz;
    options.seed = c.seed;
    options.beacons = c.beacons;
    options.snrDb = c.snrDb;
    return Generate(options);
}

// Traffic keyed right after a beacon, where the noise after it read as a line 1 of its own, or
// as a later line or two.
class DecoderWeakTraffic : public ::testing::TestWithParam<WeakCase> {};

TEST_P(DecoderWeakTraffic, NeverBecomesABeacon) {
    const Recording recording = GenerateWeak(GetParam());
    const Decoded decoded = DecodeWhole(recording.sampleRate, recording.samples);
    EXPECT_EQ(ScoreBeacons(recording.beacons, decoded.beacons).falseBeacons, 0)
        << Lines(decoded.beacons);
}

INSTANTIATE_TEST_SUITE_P(
    Seeds, DecoderWeakTraffic,
    ::testing::Values(WeakCase{8000, 26.687824682683619, 595.29940319463719, 4057136865U},
                      WeakCase{22050, 24.494091134073081, 721.89468834045874, 430051153U},
                      WeakCase{48000, 27.033484199878338, 588.3970727995212, 2325476239U},
                      WeakCase{8000, 26.699347317137018, 988.26082156376742, 2044410037U, 2}));

// A weak signal's speed is slow to settle: a pause without keying between two beacons let a
// wrong one take over, a near speed (even two thirds of the dit) held long enough to cut the
// first beacon on its grid, or the shortest dit searched won a window of a settled slow keying.
// The lines copied at it were lost.
class DecoderWeakSpeed : public ::testing::TestWithParam<WeakCase> {};

TEST_P(DecoderWeakSpeed, EveryLineIsCopiedAtTheKeyedSpeed) {
    const WeakCase& c = GetParam();
    const Recording recording = GenerateWeak(c);
    const Decoded decoded = DecodeWhole(recording.sampleRate, recording.samples);
    ASSERT_EQ(decoded.beacons.size(), recording.beacons.size()) << Lines(decoded.beacons);
    for (const CopiedBeacon& beacon : decoded.beacons) {
        EXPECT_NEAR(beacon.speedWpm, c.wpm, 0.01 * c.wpm);
        for (const CopiedLine& line : beacon.lines) {
            EXPECT_FALSE(line.text.empty()) << Lines(decoded.beacons);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Seeds, DecoderWeakSpeed,
    ::testing::Values(WeakCase{8000, 23.746326328136753, 637.62604489503133, 1449352867U, 2},
                      WeakCase{11025, 26.30528829764723, 492.9708929297401, 3569757176U},
                      WeakCase{8000, 26.687824682683619, 595.29940319463719, 4057136865U},
                      WeakCase{11025, 13.777933933875696, 582.58849400973554, 2572880775U, 2},
                      WeakCase{11025, 12.060287700221075, 1022.1694410056442, 945698816U, 2},
                      WeakCase{22050, 27.144089304834218, 733.38824818314083, 989388266U, 2}));

// The satellite keys its word gaps at 7 slots. Read as gaps of any length, they let the characters
// after them slide by a slot or two to fit the noise: two or three characters of each recording
// were lost, made up or misread.
class DecoderKeyedWordGaps : public ::testing::TestWithParam<WeakCase> {};

TEST_P(DecoderKeyedWordGaps, EveryBeaconIsCopiedWithinACharacter) {
    const Recording recording = GenerateWeak(GetParam());
    const Decoded decoded = DecodeWhole(recording.sampleRate, recording.samples);
    const testing::Score score = ScoreBeacons(recording.beacons, decoded.beacons);
    EXPECT_EQ(decoded.beacons.size(), recording.beacons.size()) << Lines(decoded.beacons);
    EXPECT_LE(score.errors, 1) << Lines(decoded.beacons);
    EXPECT_EQ(score.falseBeacons, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Seeds, DecoderKeyedWordGaps,
    ::testing::Values(WeakCase{44100, 12.063964270978278, 1023.8952762563732, 2183110002U, 2, -11},
                      WeakCase{48000, 21.885916440345468, 978.48941471045691, 276545700U, 2, -11},
                      WeakCase{11025, 26.72744322171858, 610.59366339825283, 4063481673U, 2, -11},
                      WeakCase{22050, 25.092200869495109, 519.83085246976748, 4111963423U, 2,
                               -10}));

// Heard at -13 dB, the tracked tone wanders by a few hertz and the mixer retunes with it. Mixed as
// if the mixer had held still, the slots of the steady tone add with their phase again: these
// recordings lost 7 to 17 characters each before.
class DecoderFaintSteadyTone : public ::testing::TestWithParam<WeakCase> {};

TEST_P(DecoderFaintSteadyTone, IsCopiedWithItsPhase) {
    const Recording recording = GenerateWeak(GetParam());
    const Decoded decoded = DecodeWhole(recording.sampleRate, recording.samples);
    EXPECT_EQ(decoded.beacons.size(), recording.beacons.size()) << Lines(decoded.beacons);
    EXPECT_LE(ScoreBeacons(recording.beacons, decoded.beacons).errors, 2) << Lines(decoded.beacons);
}

INSTANTIATE_TEST_SUITE_P(
    Seeds, DecoderFaintSteadyTone,
    ::testing::Values(WeakCase{11025, 12.700937027465981, 583.26231577212002, 4240428159U, 2},
                      WeakCase{11025, 16.102253750166575, 546.27102772087994, 2982910384U},
                      WeakCase{48000, 18.539304544364217, 1073.1513236672454, 3259681126U}));

// Another keyer may space the words and lines of a beacon otherwise than the satellite's 7 slots:
// the beacon is still copied.
class DecoderOtherWordGaps : public ::testing::TestWithParam<int> {};

TEST_P(DecoderOtherWordGaps, BeaconIsCopied) {
    const std::array<const char*, kLineCount> lines = {"ZK1 ORBEL.JP",  "ZK2 71 2345",
                                                       "ZK3 ABCD EF01", "ZK4 1A2 B3C",
                                                       "ZK5 123 456",   "ZK6 01234 56789"};
    const double rate = 11025;
    const double dit = 1.2 / 20;
    std::vector<float> samples(static_cast<std::size_t>(90 * rate), 0.0F);
    double start = 1.0;
    for (const char* line : lines) {
        std::istringstream words(line);
        for (std::string word; words >> word;) {
            double end = 0;
            testing::KeyText(word, dit, start, end);
            testing::AddKeying(samples, rate, word, 20, 650, start);
            start = end + GetParam() * dit;
        }
    }
    AddNoise(samples, 31);
    const Decoded decoded = DecodeWhole(rate, samples);
    ASSERT_EQ(decoded.beacons.size(), 1U) << Lines(decoded.beacons);
    for (std::size_t k = 0; k < kLineCount; ++k) {
        EXPECT_EQ(decoded.beacons[0].lines[k].text, lines[k]);
    }
}

INSTANTIATE_TEST_SUITE_P(SlotsBetweenWords, DecoderOtherWordGaps, ::testing::Values(5, 10, 16));

// Line 1's free text must not take in what follows it when the next header is lost: a line 2 keyed
// with a wrong header, or a beacon broken off after line 1 and keyed again.
struct LostHeaderCase {
    const char* name;
    const char* keyed;
    std::array<const char*, kLineCount> copied;
};

class DecoderLostHeader : public ::testing::TestWithParam<LostHeaderCase> {};

TEST_P(DecoderLostHeader, TheLinesAfterItAreStillCopied) {
    const LostHeaderCase& c = GetParam();
    std::vector<float> samples(static_cast<std::size_t>(90 * 8000), 0.0F);
    testing::AddKeying(samples, 8000, c.keyed, 22, 700, 1.0);
    AddNoise(samples, 7);
    const Decoded decoded = DecodeWhole(8000, samples);
    ASSERT_EQ(decoded.beacons.size(), 1U) << Lines(decoded.beacons);
    for (std::size_t k = 0; k < kLineCount; ++k) {
        EXPECT_EQ(decoded.beacons[0].lines[k].text, c.copied[k]);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Beacons, DecoderLostHeader,
    ::testing::Values(
        LostHeaderCase{"LineTwoHeaderLost",
                       "ZK1 AB.CD ZR2 01 23 45 ZK3 25 38 02 00 ZK4 37 A0 8C ZK5 4 3 2 1 0 5 "
                       "ZK6 8899AABB 5C",
                       {"ZK1 AB.CD ZR2 01 23 45", "", "ZK3 25 38 02 00", "ZK4 37 A0 8C",
                        "ZK5 4 3 2 1 0 5", "ZK6 8899AABB 5C"}},
        LostHeaderCase{"KeyedAgainAfterLineOne",
                       "ZK1 AB.CD ZK1 EF.GH ZK2 01 23 45 ZK3 25 38 02 00 ZK4 37 A0 8C "
                       "ZK5 4 3 2 1 0 5 ZK6 8899AABB 5C",
                       {"ZK1 EF.GH", "ZK2 01 23 45", "ZK3 25 38 02 00", "ZK4 37 A0 8C",
                        "ZK5 4 3 2 1 0 5", "ZK6 8899AABB 5C"}}),
    [](const auto& info) { return std::string(info.param.name); });

// A recording of a few seconds: everything held back while the speed was found comes out at the
// end.
TEST(DecoderCutShort, RecordingOfAFewSecondsIsTranscribed) {
    std::vector<float> samples(static_cast<std::size_t>(6 * 11025), 0.0F);
    testing::AddKeying(samples, 11025, "DE JA1ABC", 22, 800, 0.5);
    AddNoise(samples, 23);
    const Decoded decoded = DecodeWhole(11025, samples);
    EXPECT_NE(TranscriptText(decoded.transcript).find("JA1ABC"), std::string::npos)
        << TranscriptText(decoded.transcript);
}

TEST(DecoderCutShort, BeaconCutByTheEndComesOutWithWhatWasHeard) {
    RecordingOptions options;
    options.otherText = false;
    options.seed = 5;
    Recording recording = Generate(options);
    const testing::KeyedBeacon& keyed = recording.beacons[0];
    const double cut = keyed.startSeconds + 0.55 * (keyed.endSeconds - keyed.startSeconds);
    recording.samples.resize(static_cast<std::size_t>(cut * options.sampleRate));
    const Decoded decoded = DecodeWhole(options.sampleRate, recording.samples);

    ASSERT_EQ(decoded.beacons.size(), 1U);
    const CopiedBeacon& beacon = decoded.beacons[0];
    EXPECT_EQ(beacon.lines[0].text, keyed.lines[0]);
    EXPECT_EQ(beacon.lines[1].text, keyed.lines[1]);
    EXPECT_TRUE(beacon.lines[5].text.empty());
    for (std::size_t k = 0; k < beacon.lines.size(); ++k) {
        EXPECT_EQ(keyed.lines[k].rfind(beacon.lines[k].text, 0), 0U)
            << "line " << k + 1 << " '" << beacon.lines[k].text << "'";
    }
}

TEST(DecoderGrammar, RecoversACharacterWithADroppedOutElement) {
    // Line 2's first digit is '7' (--...); a one-slot dropout in its first dah makes the
    // elements ..-... , which is no character at all. Only a hex digit fits there.
    const std::string text =
        "ZK1 ORBEL.JP\nZK2 712345\nZK3 ABCDEF01\nZK4 1A2B3C\nZK5 123456\n"
        "ZK6 0123456789\n";
    const double rate = 8000;
    const double wpm = 20;
    const double dit = 1.2 / wpm;
    std::vector<float> samples(static_cast<std::size_t>(70 * rate), 0.0F);
    testing::AddKeying(samples, rate, text, wpm, 700, 1.0);
    double end = 0;
    const auto before = testing::KeyText(text.substr(0, text.find('7')), dit, 1.0, end);
    const auto all = testing::KeyText(text, dit, 1.0, end);
    const double dropout = all[before.size()].first + dit;
    for (auto n = static_cast<std::size_t>(dropout * rate);
         n < static_cast<std::size_t>((dropout + dit) * rate); ++n) {
        samples[n] *= 0.2F;
    }
    AddNoise(samples, 9);
    const Decoded decoded = DecodeWhole(rate, samples);
    ASSERT_EQ(decoded.beacons.size(), 1U) << Lines(decoded.beacons);
    EXPECT_EQ(decoded.beacons[0].lines[1].text, "ZK2 712345");
    EXPECT_EQ(decoded.beacons[0].lines[5].text, "ZK6 0123456789");
}

// A fade takes a header's "Z" (keyed here as no "Z" at all, or as an "O"), line 3's or line 1's
// after traffic, or turns its number into another character: the line is still copied, under its
// header, the lost or misheard character marked as not heard.
TEST(DecoderGrammar, LineWhoseHeaderLostALetterIsCopied) {
    struct Case {
        std::string text;
        std::size_t line;
        std::size_t unheard;  // the header's character not heard
    };
    const std::string rest = "ZK4 1A2B3C\nZK5 123456\nZK6 0123456789\n";
    const std::array<Case, 5> cases = {{
        {"ZK1 ORBEL.JP\nZK2 712345\nK3 ABCDEF01\n" + rest, 2, 0},
        {"TEST TEST\nK1 ORBEL.JP\nZK2 712345\nZK3 ABCDEF01\n" + rest, 0, 0},
        {"TEST TEST\nOK1 ORBEL.JP\nZK2 712345\nZK3 ABCDEF01\n" + rest, 0, 0},
        {"TEST TEST\nZKP ORBEL.JP\nZK2 712345\nZK3 ABCDEF01\n" + rest, 0, 2},
        {"ZK1 ORBEL.JP\nZK2 712345\nZKW ABCDEF01\n" + rest, 2, 2},
    }};
    for (const auto& [text, lost, unheard] : cases) {
        const Decoded decoded = DecodeKeyed(text, 80);
        ASSERT_EQ(decoded.beacons.size(), 1U) << Lines(decoded.beacons);
        const CopiedBeacon& beacon = decoded.beacons[0];
        EXPECT_EQ(beacon.lines[0].text, "ZK1 ORBEL.JP");
        EXPECT_EQ(beacon.lines[2].text, "ZK3 ABCDEF01");
        ASSERT_GT(beacon.lines[lost].confidence.size(), unheard);
        EXPECT_EQ(beacon.lines[lost].confidence[unheard], 0.0) << text;
        EXPECT_EQ(beacon.lines[3].text, "ZK4 1A2B3C");
    }
}

// Line 1's text may hold "ZK" and a character: within a word, before a word gap or at the line's
// end, it is no new beacon whose line number was misheard, and the line is copied whole.
TEST(DecoderGrammar, LineOneHoldingZkIsNoNewBeacon) {
    const std::string rest = "ZK2 712345\nZK3 ABCDEF01\nZK4 1A2B3C\nZK5 123456\nZK6 0123456789\n";
    for (const std::string line :
         {"ZK1 1PO 8 ZKPJ Y5MQ .", "ZK1 CV5 ZKS .NO 8PS", "ZK1 PQOP O SZIO ZKJ"}) {
        const Decoded decoded = DecodeKeyed(line + "\n" + rest, 80);
        ASSERT_EQ(decoded.beacons.size(), 1U) << Lines(decoded.beacons);
        EXPECT_EQ(decoded.beacons[0].lines[0].text, line);
        EXPECT_EQ(decoded.beacons[0].lines[1].text, "ZK2 712345");
    }
}

// A fade takes line 2's last three digits (keyed here as none at all): the line is copied as far
// as it was heard, and neither the next line's header nor its text is taken into line 1.
TEST(DecoderGrammar, LineCutShortByAFadeLeavesTheNextLineItsOwn) {
    const std::string text =
        "ZK1 ORBEL.JP\nZK2 712\nZK3 ABCDEF01\nZK4 1A2B3C\nZK5 123456\nZK6 0123456789\n";
    const Decoded decoded = DecodeKeyed(text, 70);
    ASSERT_EQ(decoded.beacons.size(), 1U) << Lines(decoded.beacons);
    EXPECT_EQ(decoded.beacons[0].lines[0].text, "ZK1 ORBEL.JP");
    EXPECT_EQ(decoded.beacons[0].lines[1].text, "ZK2 712");
    EXPECT_EQ(decoded.beacons[0].lines[2].text, "ZK3 ABCDEF01");
}

TEST(DecoderGrammar, BeaconBrokenByAGarbledStretchStaysOneBeacon) {
    const std::string text =
        "ZK1 ORBEL.JP\nZK2 712345\nZK3 ABCDEF01\nZK4 1A2B3C\nZK5 123456\n"
        "ZK6 0123456789\n";
    const double rate = 8000;
    const double dit = 1.2 / 20;
    std::vector<float> samples(static_cast<std::size_t>(70 * rate), 0.0F);
    testing::AddKeying(samples, rate, text, 20, 700, 1.0);
    double end = 0;
    const auto before = testing::KeyText(text.substr(0, text.find("CDEF01")), dit, 1.0, end);
    const double burst = before.back().second;
    std::mt19937 random(17);
    std::normal_distribution<float> noise(0.0F, 0.05F);
    std::normal_distribution<float> loud(0.0F, 2.0F);
    for (std::size_t n = 0; n < samples.size(); ++n) {
        const double t = static_cast<double>(n) / rate;
        samples[n] += t > burst && t < burst + 1.5 ? loud(random) : noise(random);
    }
    const Decoded decoded = DecodeWhole(rate, samples);
    ASSERT_EQ(decoded.beacons.size(), 1U) << Lines(decoded.beacons);
    const CopiedBeacon& beacon = decoded.beacons[0];
    EXPECT_EQ(beacon.lines[1].text, "ZK2 712345");
    // The digits under the noise are guesses, and so is where they go; those heard before it stay.
    EXPECT_EQ(beacon.lines[2].text.rfind("ZK3 ", 0), 0U) << beacon.lines[2].text;
    EXPECT_NE(beacon.lines[2].text.find("AB"), std::string::npos) << beacon.lines[2].text;
    EXPECT_EQ(beacon.lines[5].text, "ZK6 0123456789");
}

struct SilentCase {
    const char* name;
    double noiseSigma;
    double clicksPerSecond;
};

class DecoderNoBeacon : public ::testing::TestWithParam<SilentCase> {};

TEST_P(DecoderNoBeacon, GivesNoBeacon) {
    const SilentCase& c = GetParam();
    const double rate = 22050;
    std::vector<float> samples(static_cast<std::size_t>(30 * rate), 0.0F);
    std::mt19937 random(13);
    std::normal_distribution<float> noise(0.0F, static_cast<float>(c.noiseSigma));
    std::exponential_distribution<double> gap(c.clicksPerSecond > 0 ? c.clicksPerSecond : 1);
    for (float& sample : samples) {
        sample += c.noiseSigma > 0 ? noise(random) : 0.0F;
    }
    for (double at = gap(random); c.clicksPerSecond > 0 && at < 30; at += gap(random)) {
        samples[static_cast<std::size_t>(at * rate)] += 0.9F;
    }
    const Decoded decoded = DecodeWhole(rate, samples);
    EXPECT_TRUE(decoded.beacons.empty()) << Lines(decoded.beacons);
}

INSTANTIATE_TEST_SUITE_P(Inputs, DecoderNoBeacon,
                         ::testing::Values(SilentCase{"Silence", 0, 0}, SilentCase{"Clicks", 0, 3},
                                           SilentCase{"Noise", 0.1, 0},
                                           SilentCase{"NoiseAndClicks", 0.1, 5}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DecoderInput, SurvivesExtremeSamplesAndRates) {
    for (const double rate : {1.0, 8000.0, 96000.0, 1e9}) {
        Decoder decoder(rate);
        std::vector<float> samples(20000, 0.0F);
        samples[1] = std::numeric_limits<float>::infinity();
        samples[2] = std::numeric_limits<float>::quiet_NaN();
        samples[3] = 1e30F;
        samples[4] = -std::numeric_limits<float>::infinity();
        decoder.Feed(samples);
        decoder.Feed({});
        decoder.Finish();
        decoder.Feed(samples);
        EXPECT_TRUE(decoder.TakeBeacons().empty());
        EXPECT_GT(decoder.SecondsFed(), 0.0);
    }
}

}  // namespace
}  // namespace telvane::morse
