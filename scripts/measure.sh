#!/usr/bin/env bash
# Reproduces the performance figures of the README on this machine: the conversion benchmark,
# the converter's whole-process time and peak memory, and the dialog's time to a shown window
# and peak memory under a virtual display. Needs a release build in build/ (./test.sh makes one).
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/ensure-packages.sh
ensure_packages hyperfine xvfb xauth xdotool time

build/bench/conversion_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
hyperfine -N --warmup 20 \
    "build/cli/telvane-convert --time '2024-03-05 09:07:00' res/sample-beacon.txt"
/usr/bin/time -v build/cli/telvane-convert res/sample-beacon.txt 2>&1 >/dev/null |
    grep 'Maximum resident'

# Time from start until the dialog's window is mapped, polled with xdotool, then peak memory.
xvfb-run -a bash -c '
    for run in 1 2 3 4 5; do
        start=$(date +%s%N)
        build/app/telvane & pid=$!
        until xdotool search --onlyvisible --pid "$pid" >/dev/null 2>&1; do :; done
        echo "dialog shown after $(( ($(date +%s%N) - start) / 1000000 )) ms"
        kill "$pid"; wait "$pid" 2>/dev/null || true
    done
    /usr/bin/time -v build/app/telvane 2>/tmp/telvane-time.txt & sleep 2
    pkill -TERM -x telvane; wait || true
    grep "Maximum resident" /tmp/telvane-time.txt'
