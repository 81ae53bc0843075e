#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks that everything lands in its usual place.
#   install_test.sh BUILD_DIR
set -euo pipefail
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$1" --prefix "$prefix" >/dev/null
for file in bin/telvane bin/telvane-convert share/applications/telvane.desktop \
            share/icons/hicolor/32x32/apps/telvane.png; do
    [ -e "$prefix/$file" ] || { echo "missing after install: $file" >&2; exit 1; }
done
grep -qx 'Exec=telvane' "$prefix/share/applications/telvane.desktop"
"$prefix/bin/telvane-convert" --version | grep -qx 'telvane-convert 1.1.0.1'
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$prefix/share/applications/telvane.desktop"
fi
echo "1 passed, 0 failed"
