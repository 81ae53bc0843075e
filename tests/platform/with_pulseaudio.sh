#!/usr/bin/env bash
# Runs a command against a private PulseAudio server: its own runtime folder, a null sink whose
# monitor is the default input, and nothing of the machine's own sound setup. The server is
# stopped however the command ends. The command sees TELVANE_TEST_SINK, the sink's name, and
# TELVANE_TEST_SOURCE, the input's: the sink's own monitor, which Qt Multimedia does not offer,
# as an operator has it who listens to what an SDR program plays; and TELVANE_TEST_SERVER_PID.
set -euo pipefail

command -v pulseaudio >/dev/null || { echo "pulseaudio is not installed" >&2; exit 1; }
runtime=$(mktemp -d "${TMPDIR:-/tmp}/telvane-pulse.XXXXXX")
pulse_pid=
cleanup() {
    if [ -n "$pulse_pid" ]; then
        kill "$pulse_pid" 2>/dev/null || true
        wait "$pulse_pid" 2>/dev/null || true
    fi
    rm -rf "$runtime"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

export XDG_RUNTIME_DIR="$runtime" HOME="$runtime" PULSE_RUNTIME_PATH="$runtime/pulse"
export PULSE_STATE_PATH="$runtime/state" PULSE_SERVER="unix:$runtime/pulse/native"
unset PULSE_COOKIE DBUS_SESSION_BUS_ADDRESS
mkdir -p "$runtime/pulse" "$runtime/state"
export TELVANE_TEST_SINK=telvane_test TELVANE_TEST_SOURCE=telvane_test.monitor

# --system=false -n: a user server without the system's default.pa, even as root.
pulseaudio --system=false -n --daemonize=no --exit-idle-time=-1 --disallow-exit \
    --use-pid-file=false --log-target=file:"$runtime/pulse.log" \
    -L "module-native-protocol-unix auth-anonymous=1 socket=$runtime/pulse/native" \
    -L "module-null-sink sink_name=$TELVANE_TEST_SINK rate=48000 channels=1" &
pulse_pid=$!
export TELVANE_TEST_SERVER_PID=$pulse_pid

for _ in $(seq 100); do
    pactl info >/dev/null 2>&1 && break
    kill -0 "$pulse_pid" 2>/dev/null || { cat "$runtime/pulse.log" >&2; exit 1; }
    sleep 0.1
done
pactl info >/dev/null || { echo "PulseAudio did not start" >&2; cat "$runtime/pulse.log" >&2; exit 1; }
pactl set-default-sink "$TELVANE_TEST_SINK"
pactl set-default-source "$TELVANE_TEST_SOURCE"

"$@"
