// Timing of one whole conversion, and of the command-line converter's path from input bytes to
// report bytes, on the complete worked beacon.

#include <benchmark/benchmark.h>

#include "beacon_input.h"
#include "conversion.h"
#include "cp932.h"

namespace {

constexpr telvane::LocalTime kTime{2024, 3, 5, 9, 7, 0};
const std::array<std::string, telvane::kLineCount> kBoxes = {"ZK1 AB CD/EF",    "ZK2 01 23 45",
                                                             "ZK3 25 38 02 00", "ZK4 37 A0 8C",
                                                             "ZK5 4 3 2 1 0 5", "ZK6 8899AABB 5C"};
constexpr std::string_view kBeaconText =
    "ZK1 AB CD/EF\nZK2 01 23 45\nZK3 25 38 02 00\nZK4 37 A0 8C\nZK5 4 3 2 1 0 5\nZK6 8899AABB 5C\n";

// What the dialog does on Convert: its state keeps its report buffer between conversions.
void BM_FullConversion(benchmark::State& loop) {
    telvane::ConversionState state;
    for (auto _ : loop) {
        telvane::SetLines(state, kBoxes);
        telvane::RunConversion(state, kTime);
        benchmark::DoNotOptimize(state.m_strResult.data());
    }
}
BENCHMARK(BM_FullConversion);

// A fresh state and report for every conversion.
void BM_ConvertBeacon(benchmark::State& loop) {
    for (auto _ : loop) {
        benchmark::DoNotOptimize(telvane::ConvertBeacon(kBoxes, kTime));
    }
}
BENCHMARK(BM_ConvertBeacon);

// telvane-convert's work for one beacon without the process: split, UTF-8 to code page 932,
// convert, and the report back to UTF-8 for a terminal.
void BM_ConverterPipeline(benchmark::State& loop) {
    for (auto _ : loop) {
        const auto input =
            telvane::cli::ReadBeaconLines(kBeaconText, telvane::cli::Encoding::kUtf8);
        const std::string report = telvane::ConvertBeacon(input.lines, kTime);
        benchmark::DoNotOptimize(telvane::FromCp932(report).toStdString());
    }
}
BENCHMARK(BM_ConverterPipeline);

}  // namespace

BENCHMARK_MAIN();
