// Prints everything the CW decoder copies from a fixed set of generated recordings, to full
// precision, so that a change meant to make the decoder faster can be checked to decide exactly
// as before: run it before and after, and compare the two outputs.
// Usage: morse_digest [recordings per setting]

#include <array>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "decoder.h"
#include "recording_generator.h"

namespace {

namespace testing = telvane::morse::testing;

constexpr std::array<double, 5> kRates = {8000, 11025, 22050, 44100, 48000};
constexpr std::array<double, 4> kSnrs = {-12, -9, -6, 10};

void Print(const telvane::morse::CopiedBeacon& beacon) {
    std::printf("beacon %.17g-%.17g s, %.17g Hz, %.17g WPM, %.17g dB, confidence %.17g\n",
                beacon.startSeconds, beacon.endSeconds, beacon.toneHz, beacon.speedWpm,
                beacon.snrDb, beacon.confidence);
    for (const telvane::morse::CopiedLine& line : beacon.lines) {
        std::printf("  %s:", line.text.c_str());
        for (const double confidence : line.confidence) {
            std::printf(" %.17g", confidence);
        }
        std::printf("\n");
    }
}

void Decode(const testing::RecordingOptions& options) {
    const testing::Recording recording = testing::Generate(options);
    telvane::morse::Decoder decoder(options.sampleRate);
    decoder.Feed(recording.samples);
    decoder.Finish();
    std::printf("recording %g Hz, %.17g WPM, %.17g dB, seed %u\n", options.sampleRate, options.wpm,
                options.snrDb, options.seed);
    for (const auto& beacon : decoder.TakeBeacons()) {
        Print(beacon);
    }
    for (const auto& heard : decoder.TakeTranscript()) {
        std::printf("  heard %.17g %s\n", heard.startSeconds, heard.text.c_str());
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 5;
    std::mt19937 random(7);
    std::uniform_real_distribution<double> wpm(12, 28);
    std::uniform_real_distribution<double> tone(450, 1100);
    for (const double snr : kSnrs) {
        for (int i = 0; i < count; ++i) {
            testing::RecordingOptions options;
            options.sampleRate = kRates[static_cast<std::size_t>(i) % kRates.size()];
            options.wpm = wpm(random);
            options.toneHz = tone(random);
            options.snrDb = snr;
            options.beacons = 1 + i % 2;
            options.seed = static_cast<std::uint32_t>(random());
            if (i % 3 == 2) {  // now and then the hard channel's impairments
                options.channel.driftHzPerSecond = 230;
                options.channel.fading = true;
                options.channel.interfererDb = -3;
                options.channel.interfererOffsetHz = 250;
                options.channel.clicksPerSecond = 0.5;
            }
            Decode(options);
        }
    }
    return 0;
}
