// Decoding speed of the CW decoder as a multiple of real time, on generated recordings with two
// beacons and traffic at -6 dB, fed in 20 ms blocks as a sound card would.

#include <benchmark/benchmark.h>

#include <map>

#include "decoder.h"
#include "recording_generator.h"

namespace {

using telvane::morse::Decoder;
namespace testing = telvane::morse::testing;

const testing::Recording& RecordingAt(double rate) {
    static std::map<double, testing::Recording> recordings;
    auto [at, inserted] = recordings.try_emplace(rate);
    if (inserted) {
        testing::RecordingOptions options;
        options.sampleRate = rate;
        options.snrDb = -6;
        options.beacons = 2;
        at->second = testing::Generate(options);
    }
    return at->second;
}

void DecodeRecording(benchmark::State& state) {
    const double rate = static_cast<double>(state.range(0));
    const testing::Recording& recording = RecordingAt(rate);
    const auto block = static_cast<std::size_t>(rate / 50);
    const std::span<const float> samples(recording.samples);
    for (auto _ : state) {
        Decoder decoder(rate);
        for (std::size_t at = 0; at < samples.size(); at += block) {
            decoder.Feed(samples.subspan(at, std::min(block, samples.size() - at)));
        }
        decoder.Finish();
        benchmark::DoNotOptimize(decoder.TakeBeacons());
    }
    const double seconds = static_cast<double>(samples.size()) / rate;
    state.counters["x_real_time"] = benchmark::Counter(
        seconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

BENCHMARK(DecodeRecording)->Arg(8000)->Arg(48000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
