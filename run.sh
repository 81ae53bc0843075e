#!/usr/bin/env bash
# Installs what is missing, builds, and converts the bundled sample beacon, printing the report.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/ensure-packages.sh
ensure_packages "${BUILD_PACKAGES[@]}"
configure_and_build >/dev/null
./build/cli/telvane-convert --output-encoding utf-8 res/sample-beacon.txt
