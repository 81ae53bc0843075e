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
# Runs one target; its summary goes to build-fuzz/TARGET.log.
fuzz_one() {
    local target=$1 corpus=build-fuzz/corpus/$1 max_len=8192
    # Audio files need room for a header and a few hundred milliseconds of samples.
    [ "$target" = audio_file ] && max_len=32768
    mkdir -p "$corpus"
    local status=0
    "build-fuzz/fuzz/${target}_fuzzer" -max_total_time="$seconds" -max_len="$max_len" \
        -print_final_stats=1 "$corpus" "fuzz/corpus/$target" >"build-fuzz/$target.log" 2>&1 ||
        status=$?
    echo "Fuzzed ${target} for ${seconds} s"
    # libFuzzer's progress lines are left out; the fuzzer's own exit status decides.
    grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb)|ERROR|SUMMARY|==[0-9]+==' \
        "build-fuzz/$target.log" || true
    [ "$status" -eq 0 ] || { echo "fuzz target ${target} failed" >&2; return 1; }
}
# Two at a time: each fuzzer runs on one core.
for pair in "conversion beacon_input" "audio_file morse_decoder"; do
    read -r first second <<<"$pair"
    fuzz_one "$first" >build-fuzz/first.out &
    first_pid=$!
    second_status=0
    fuzz_one "$second" >build-fuzz/second.out || second_status=$?
    first_status=0
    wait "$first_pid" || first_status=$?
    cat build-fuzz/first.out build-fuzz/second.out
    [ "$first_status" -eq 0 ] && [ "$second_status" -eq 0 ] || exit 1
done
