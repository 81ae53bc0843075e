#!/usr/bin/env bash
# Measures listening: CPU share and resident memory of the real listening window (waterfall
# drawn, offscreen) at 48 kHz against a private PulseAudio server, with a generated beacon
# played into it over and over. Usage: scripts/measure-listening.sh [SECONDS] (default 60).
# Needs a release build in build/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
build/bench/make_listen_beacon "$work/beacon.wav"
QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" \
    tests/platform/with_pulseaudio.sh bash -c '
        (while :; do paplay "$1" || exit; done) & player=$!
        trap "kill $player 2>/dev/null" EXIT
        build/bench/listen_bench "$2"' _ "$work/beacon.wav" "$seconds"
