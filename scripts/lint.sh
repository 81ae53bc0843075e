#!/usr/bin/env bash
# Checks formatting (clang-format) and runs clang-tidy over the program's own code.
# Needs build/compile_commands.json (any configured build).
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t sources < <(git ls-files '*.cpp' '*.h' 2>/dev/null || find conversion morse platform archive cli app tests bench fuzz -name '*.cpp' -o -name '*.h')
clang-format --dry-run -Werror "${sources[@]}"
findings=$(git ls-files 'conversion/*.cpp' 'morse/*.cpp' 'platform/*.cpp' 'archive/*.cpp' 'cli/*.cpp' 'app/*.cpp' |
    xargs -P "$(nproc)" -n 4 clang-tidy -p build --quiet 2>&1 | grep -E '(warning|error):' || true)
if [ -n "$findings" ]; then
    printf '%s\n' "$findings" >&2
    echo "clang-tidy found problems" >&2
    exit 1
fi
echo "clang-format and clang-tidy: clean"
