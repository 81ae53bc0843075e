// Measures the CW decoder's character error rate against SNR on generated recordings: all five
// sample rates, 12-28 WPM, tones 450-1100 Hz, one or two beacons, other traffic around them.
// Usage: morse_cer [recordings per SNR] [CSV path or -] [rows or -] [seed]. Prints a Markdown
// table, with the hard channel at 0 dB (drift, fading, an interfering signal, clicks) as its last
// row; writes "snr,cer" lines to the CSV file for the plot when a path is given. `rows` (say
// "-10,-9,hard") measures only those rows, on the same recordings as the whole table, and lists
// each recording copied with errors: what was keyed, and what was copied; the rows "drift",
// "fading", "interferer" and "clicks" measure the hard channel's impairments one at a time. Another
// `seed` draws other recordings, for checking that a change helps beyond the recordings it was
// tuned on.

#include <array>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "beacon_scoring.h"
#include "decoder.h"
#include "recording_generator.h"

namespace {

using telvane::morse::Decoder;
namespace testing = telvane::morse::testing;

constexpr std::array<double, 5> kRates = {8000, 11025, 22050, 44100, 48000};
constexpr std::array<double, 11> kSnrs = {-13, -12, -11, -10, -9, -8, -7, -6, -3, 0, 10};

void Describe(const testing::RecordingOptions& options, const testing::Recording& recording,
              const std::vector<telvane::morse::CopiedBeacon>& beacons, int errors) {
    std::printf(
        "  %g Hz, %.1f WPM, tone %.0f Hz, seed %u, interferer %.1f dB at %+.0f Hz: %d "
        "errors\n",
        options.sampleRate, options.wpm, options.toneHz, options.seed, options.channel.interfererDb,
        options.channel.interfererOffsetHz, errors);
    for (const testing::KeyedBeacon& keyed : recording.beacons) {
        std::printf("    keyed %.1f-%.1f s:", keyed.startSeconds, keyed.endSeconds);
        for (const std::string& line : keyed.lines) {
            std::printf(" | %s", line.c_str());
        }
        std::printf("\n");
    }
    for (const telvane::morse::CopiedBeacon& copied : beacons) {
        std::printf("    copied %.1f-%.1f s, %.1f WPM, %.0f Hz:", copied.startSeconds,
                    copied.endSeconds, copied.speedWpm, copied.toneHz);
        for (const telvane::morse::CopiedLine& line : copied.lines) {
            std::printf(" | %s", line.text.c_str());
        }
        std::printf("\n");
    }
}

testing::Score Measure(const testing::RecordingOptions& options, bool describe) {
    const testing::Recording recording = testing::Generate(options);
    Decoder decoder(options.sampleRate);
    decoder.Feed(recording.samples);
    decoder.Finish();
    const auto beacons = decoder.TakeBeacons();
    const testing::Score score = testing::ScoreBeacons(recording.beacons, beacons);
    if (describe && score.errors > 0) {
        Describe(options, recording, beacons, score.errors);
    }
    return score;
}

// Whether the row labelled `label` is measured: every row when no rows were named.
bool Wanted(const std::string& rows, const std::string& label) {
    if (rows.empty()) {
        return true;
    }
    std::size_t from = 0;
    while (from <= rows.size()) {
        const std::size_t comma = std::min(rows.find(',', from), rows.size());
        if (rows.substr(from, comma - from) == label) {
            return true;
        }
        from = comma + 1;
    }
    return false;
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

// The hard channel's impairments; `only` keeps one of them ("drift", "fading", "interferer",
// "clicks") and leaves the others out, for telling which one costs what.
void Hard(std::mt19937& random, testing::RecordingOptions& options, const std::string& only) {
    std::uniform_real_distribution<double> uniform(0, 1);
    const double interfererDb = -6 + 9 * uniform(random);
    const double interfererOffsetHz =
        (uniform(random) < 0.5 ? -1 : 1) * (150 + 250 * uniform(random));
    const auto kept = [&](const char* name) { return only.empty() || only == name; };
    if (kept("drift")) {
        options.channel.driftHzPerSecond = 230;
    }
    options.channel.fading = kept("fading");
    if (kept("interferer")) {
        options.channel.interfererDb = interfererDb;
        options.channel.interfererOffsetHz = interfererOffsetHz;
    }
    if (kept("clicks")) {
        options.channel.clicksPerSecond = 0.5;
    }
}

constexpr std::array<const char*, 4> kImpairments = {"drift", "fading", "interferer", "clicks"};

void Row(const char* label, const testing::Score& score) {
    std::printf("| %s | %d | %d | %d | %d | %d | %.2f %% |\n", label, score.beacons,
                score.exactBeacons, score.falseBeacons, score.characters, score.errors,
                100 * score.Rate());
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 20;
    const std::string csvPath = argc > 2 ? argv[2] : "-";
    std::FILE* csv = csvPath != "-" ? std::fopen(csvPath.c_str(), "w") : nullptr;
    const std::string rows = argc > 3 && std::string(argv[3]) != "-" ? argv[3] : "";
    const bool describe = !rows.empty();
    std::mt19937 random(argc > 4 ? static_cast<unsigned>(std::atol(argv[4])) : 2024U);
    std::printf("| SNR (dB) | beacons | exact | false | characters | errors | CER |\n");
    std::printf("|---|---|---|---|---|---|---|\n");
    for (const double snr : kSnrs) {
        const std::string label = std::to_string(static_cast<int>(snr));
        const bool wanted = Wanted(rows, label);
        testing::Score total;
        for (int i = 0; i < count; ++i) {
            const testing::RecordingOptions options = RandomOptions(random, snr, i);
            if (wanted) {
                total += Measure(options, describe);
            }
        }
        if (!wanted) {
            continue;
        }
        Row(label.c_str(), total);
        if (csv != nullptr) {
            std::fprintf(csv, "%g,%g\n", snr, 100 * total.Rate());
        }
    }
    const std::mt19937 hardRandom = random;
    if (Wanted(rows, "hard")) {
        testing::Score hard;
        for (int i = 0; i < count; ++i) {
            testing::RecordingOptions options = RandomOptions(random, 0, i);
            Hard(random, options, "");
            hard += Measure(options, describe);
        }
        Row("0, hard channel", hard);
    }
    // Each impairment alone, on the hard channel's recordings; measured only when named.
    for (const char* impairment : kImpairments) {
        if (rows.empty() || !Wanted(rows, impairment)) {
            continue;
        }
        std::mt19937 again = hardRandom;
        testing::Score alone;
        for (int i = 0; i < count; ++i) {
            testing::RecordingOptions options = RandomOptions(again, 0, i);
            Hard(again, options, impairment);
            alone += Measure(options, describe);
        }
        Row((std::string("0, ") + impairment + " alone").c_str(), alone);
    }
    if (csv != nullptr) {
        std::fclose(csv);
    }
    return 0;
}
