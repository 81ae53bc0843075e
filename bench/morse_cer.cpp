// Measures the CW decoder's character error rate against SNR on generated recordings: all five
// sample rates, 12-28 WPM, tones 450-1100 Hz, one or two beacons, other traffic around them.
// Usage: morse_cer [recordings per SNR] [CSV path]. Prints a Markdown table, with the hard channel
// at 0 dB (drift, fading, an interfering signal, clicks) as its last row; writes "snr,cer" lines
// to the CSV file for the plot when a path is given.

#include <array>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "beacon_scoring.h"
#include "decoder.h"
#include "recording_generator.h"

namespace {

using telvane::morse::Decoder;
namespace testing = telvane::morse::testing;

constexpr std::array<double, 5> kRates = {8000, 11025, 22050, 44100, 48000};
constexpr std::array<double, 11> kSnrs = {-13, -12, -11, -10, -9, -8, -7, -6, -3, 0, 10};

testing::Score Measure(const testing::RecordingOptions& options) {
    const testing::Recording recording = testing::Generate(options);
    Decoder decoder(options.sampleRate);
    decoder.Feed(recording.samples);
    decoder.Finish();
    const auto beacons = decoder.TakeBeacons();
    return testing::ScoreBeacons(recording.beacons, beacons);
}

testing::RecordingOptions RandomOptions(std::mt19937& random, double snrDb, int index) {
    std::uniform_real_distribution<double> wpm(12, 28);
    std::uniform_real_distribution<double> tone(450, 1100);
    testing::RecordingOptions options;
    options.sampleRate = kRates[static_cast<std::size_t>(index) % kRates.size()];
    options.wpm = wpm(random);
    options.toneHz = tone(random);
    options.snrDb = snrDb;
    options.beacons = 1 + index % 2;
    options.seed = static_cast<std::uint32_t>(random());
    return options;
}

void Hard(std::mt19937& random, testing::RecordingOptions& options) {
    std::uniform_real_distribution<double> uniform(0, 1);
    options.channel.driftHzPerSecond = 230;
    options.channel.fading = true;
    options.channel.interfererDb = -6 + 9 * uniform(random);
    options.channel.interfererOffsetHz =
        (uniform(random) < 0.5 ? -1 : 1) * (150 + 250 * uniform(random));
    options.channel.clicksPerSecond = 0.5;
}

void Row(const char* label, const testing::Score& score) {
    std::printf("| %s | %d | %d | %d | %d | %d | %.2f %% |\n", label, score.beacons,
                score.exactBeacons, score.falseBeacons, score.characters, score.errors,
                100 * score.Rate());
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 20;
    std::FILE* csv = argc > 2 ? std::fopen(argv[2], "w") : nullptr;
    std::mt19937 random(2024);
    std::printf("| SNR (dB) | beacons | exact | false | characters | errors | CER |\n");
    std::printf("|---|---|---|---|---|---|---|\n");
    for (const double snr : kSnrs) {
        testing::Score total;
        for (int i = 0; i < count; ++i) {
            total += Measure(RandomOptions(random, snr, i));
        }
        Row(std::to_string(static_cast<int>(snr)).c_str(), total);
        if (csv != nullptr) {
            std::fprintf(csv, "%g,%g\n", snr, 100 * total.Rate());
        }
    }
    testing::Score hard;
    for (int i = 0; i < count; ++i) {
        testing::RecordingOptions options = RandomOptions(random, 0, i);
        Hard(random, options);
        hard += Measure(options);
    }
    Row("0, hard channel", hard);
    if (csv != nullptr) {
        std::fclose(csv);
    }
    return 0;
}
