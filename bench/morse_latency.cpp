// How soon each beacon line is shown right while listening: recordings are fed in 100 ms blocks
// (as the sound input hands them out), and after each block the line shown is the provisional
// beacon's, or the final one's once it has come out. A line's latency is the audio time from its
// last key-up to the first block after which its box holds it exactly. Also gives the CPU cost of
// one provisional decision.
// Usage: morse_latency [recordings per row]

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "decoder.h"
#include "recording_generator.h"

namespace {

using telvane::kLineCount;
using telvane::morse::CopiedBeacon;
using telvane::morse::Decoder;
namespace testing = telvane::morse::testing;

constexpr double kBlockSeconds = 0.1;
constexpr std::array<double, 3> kRates = {8000, 22050, 48000};
constexpr std::array<double, 4> kSnrs = {10, 0, -6, -10};

struct Row {
    std::vector<double> latencies;  // seconds, of the lines shown right before the recording ended
    int lines = 0;
    double provisionalSeconds = 0;  // CPU, summed
    int provisionalCalls = 0;
};

void Measure(const testing::RecordingOptions& options, Row& row) {
    const testing::Recording recording = testing::Generate(options);
    const testing::KeyedBeacon& keyed = recording.beacons.front();
    const std::array<double, kLineCount>& ends = keyed.lineEndSeconds;
    std::array<std::optional<double>, kLineCount> shownAt;
    Decoder decoder(options.sampleRate);
    const auto block = static_cast<std::size_t>(kBlockSeconds * options.sampleRate);
    std::optional<CopiedBeacon> shown;
    for (std::size_t at = 0; at < recording.samples.size(); at += block) {
        const std::size_t count = std::min(block, recording.samples.size() - at);
        decoder.Feed(std::span<const float>(recording.samples).subspan(at, count));
        const auto started = std::chrono::steady_clock::now();
        std::optional<CopiedBeacon> provisional = decoder.Provisional();
        row.provisionalSeconds +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        ++row.provisionalCalls;
        if (std::vector<CopiedBeacon> beacons = decoder.TakeBeacons(); !beacons.empty()) {
            shown = beacons.back();
        } else if (provisional) {
            shown = std::move(provisional);
        }
        for (int k = 0; shown && k < kLineCount; ++k) {
            const auto line = static_cast<std::size_t>(k);
            if (!shownAt[line] && shown->lines[line].text == keyed.lines[line]) {
                shownAt[line] = decoder.SecondsFed() - ends[line];
            }
        }
    }
    for (const std::optional<double>& latency : shownAt) {
        ++row.lines;
        if (latency) {
            row.latencies.push_back(*latency);
        }
    }
}

double Quantile(std::vector<double> values, double q) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(q * static_cast<double>(values.size() - 1))];
}

}  // namespace

int main(int argc, char** argv) {
    const int perRow = argc > 1 ? std::max(1, std::atoi(argv[1])) : 12;
    std::mt19937 random(11);
    std::uniform_real_distribution<double> wpm(12, 28);
    std::uniform_real_distribution<double> tone(450, 1100);
    std::printf("| SNR (dB) | lines | shown right | median | 90 %% | worst | provisional CPU |\n");
    std::printf("|---|---|---|---|---|---|---|\n");
    for (const double snr : kSnrs) {
        Row row;
        for (int i = 0; i < perRow; ++i) {
            testing::RecordingOptions options;
            options.sampleRate = kRates[static_cast<std::size_t>(i) % kRates.size()];
            options.wpm = wpm(random);
            options.toneHz = tone(random);
            options.snrDb = snr;
            options.leadSeconds = 2.0;
            options.tailSeconds = 12.0;
            options.seed = static_cast<std::uint32_t>(random());
            Measure(options, row);
        }
        std::printf("| %+.0f | %d | %zu | %.2f s | %.2f s | %.2f s | %.2f ms |\n", snr, row.lines,
                    row.latencies.size(), Quantile(row.latencies, 0.5),
                    Quantile(row.latencies, 0.9), Quantile(row.latencies, 1.0),
                    1000 * row.provisionalSeconds / std::max(1, row.provisionalCalls));
    }
    return 0;
}
