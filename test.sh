#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the suite in a release build and again
# under AddressSanitizer + UndefinedBehaviorSanitizer, a short run of each fuzz target, and the
# format and static-analysis checks.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/ensure-packages.sh
ensure_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}" "${CHECK_PACKAGES[@]}"

configure_and_build
ctest --test-dir build --output-on-failure -j "$(nproc)"

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTELVANE_BUILD_BENCHMARKS=OFF \
    -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer" \
    >/dev/null
cmake --build build-asan
# The decoder's accuracy sweeps run the same code over many recordings: under the sanitizers they
# add time, not coverage. Every other decoder test, the streaming sweep and the fuzz targets run
# there.
ctest --test-dir build-asan --output-on-failure -j "$(nproc)" -E \
    '^(RatesSpeeds[A-Za-z]*/|Seeds/Decoder(HardChannel|WeakSpeed|KeyedWordGaps|WeakTraffic|FaintSteadyTone)[.])'

scripts/fuzz.sh 20
scripts/lint.sh
