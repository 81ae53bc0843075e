#!/usr/bin/env bash
# Installs what is missing, builds, and opens Telvane.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/ensure-packages.sh
ensure_packages "${BUILD_PACKAGES[@]}"
configure_and_build >/dev/null

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    cat >&2 <<'TXT'
Telvane is a desktop program, and this session has no display (neither DISPLAY nor
WAYLAND_DISPLAY is set). Run ./run.sh from a desktop session, or use a virtual display:
    apt-get install -y xvfb && xvfb-run ./build/app/telvane
Without a display, the command-line converter does the same conversion:
    ./build/cli/telvane-convert --output-encoding utf-8 res/sample-beacon.txt
TXT
    exit 1
fi
exec ./build/app/telvane
