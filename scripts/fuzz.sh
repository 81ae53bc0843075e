#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer + UndefinedBehaviorSanitizer) and runs
# each for the given number of seconds (default 20), starting from the seed corpus in fuzz/corpus.
#   scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTELVANE_FUZZ=ON -DTELVANE_BUILD_APP=OFF -DTELVANE_BUILD_TESTS=OFF \
    -DTELVANE_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build build-fuzz
export LSAN_OPTIONS="suppressions=$PWD/fuzz/lsan-suppressions.txt"
for target in conversion beacon_input audio_file morse_decoder; do
    corpus=build-fuzz/corpus/$target
    # Audio files need room for a header and a few hundred milliseconds of samples.
    max_len=8192
    [ "$target" = audio_file ] && max_len=32768
    mkdir -p "$corpus"
    echo "Fuzzing ${target} for ${seconds} s"
    "build-fuzz/fuzz/${target}_fuzzer" -max_total_time="$seconds" -max_len="$max_len" \
        -print_final_stats=1 "$corpus" "fuzz/corpus/$target" 2>&1 |
        grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb)|ERROR|SUMMARY|==[0-9]+==' || true
    # grep hides libFuzzer's progress lines; the fuzzer's own exit status decides.
    [ "${PIPESTATUS[0]}" -eq 0 ] || { echo "fuzz target ${target} failed" >&2; exit 1; }
done
