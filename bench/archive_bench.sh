#!/usr/bin/env bash
# The telemetry archive at a million beacons, against its goals: import from batch logs, export
# as JSON Lines and CSV, a headless plot, the summary, a kill -9 in the middle of an import,
# two imports at once, and the history window (open, zoom, pan).
#   bench/archive_bench.sh [BUILD_DIR] [WORK_DIR]
# Needs a release build with benchmarks (build/). Uses about 6 GB in WORK_DIR (default: a new
# folder under /tmp, removed at the end).
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
work=${2:-$(mktemp -d /tmp/telvane-archive-bench.XXXXXX)}
mkdir -p "$work"
[ -n "${2:-}" ] || trap 'rm -rf "$work"' EXIT
archive_cli=$build/cli/telvane-archive
count=1000000

timed() {  # LABEL COMMAND...: wall and CPU seconds, peak memory
    local label=$1
    shift
    /usr/bin/time -f "$label: %e s wall, %U s user + %S s sys, %M KB peak" "$@"
}

echo "machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
"$build/bench/make-history" log "$work/passes.log" "$count"
"$build/bench/make-history" archive "$work/history.sqlite" "$count"

for run in 1 2 3; do
    rm -f "$work/import.sqlite"*
    timed "import of $count beacons (run $run)" \
        "$archive_cli" import --archive "$work/import.sqlite" "$work/passes.log" >/dev/null
done

for run in 1 2 3; do
    timed "export JSON Lines to a file (run $run)" "$archive_cli" export \
        --archive "$work/history.sqlite" --format json -o "$work/export.jsonl"
done
ls -l "$work/export.jsonl" | awk '{print "  JSON Lines: " $5 " bytes"}'
rm -f "$work/export.jsonl"
timed "export JSON Lines to a pipe" "$archive_cli" export --archive "$work/history.sqlite" \
    --format json | wc -c | awk '{print "  " $1 " bytes"}'
timed "export CSV to a file" "$archive_cli" export --archive "$work/history.sqlite" \
    --format csv -o "$work/export.csv"
rm -f "$work/export.csv"

for run in 1 2 3; do
    timed "plot of 4 quantities to PNG (run $run)" "$archive_cli" plot --archive \
        "$work/history.sqlite" battery_voltage_v solar_array_voltage_v \
        temperature_plus_x_panel_c rssi_dbu -o "$work/plot.png"
done
timed "stats" "$archive_cli" stats --archive "$work/history.sqlite" >/dev/null

# kill -9 in the middle of an import: what was committed before stays, and the file is whole.
cp "$work/history.sqlite" "$work/killed.sqlite"
"$archive_cli" import --archive "$work/killed.sqlite" "$work/passes.log" >/dev/null 2>&1 &
importer=$!
sleep 4
kill -9 "$importer"
wait "$importer" 2>/dev/null || true
echo "after kill -9: $(sqlite3 "$work/killed.sqlite" 'PRAGMA integrity_check') ;" \
    "$(sqlite3 "$work/killed.sqlite" 'SELECT count(*) FROM beacons') beacons (before: $count)"
rm -f "$work/killed.sqlite"*

# Two writers at once: two imports of different logs into one archive.
head -n 600000 "$work/passes.log" >"$work/first.log"
tail -n 600000 "$work/passes.log" >"$work/second.log"
rm -f "$work/both.sqlite"*
"$archive_cli" import --archive "$work/both.sqlite" "$work/first.log" & first=$!
"$archive_cli" import --archive "$work/both.sqlite" "$work/second.log" & second=$!
wait "$first" && wait "$second" && echo "two imports at once: both succeeded;" \
    "$(sqlite3 "$work/both.sqlite" 'SELECT count(*) FROM beacons') beacons (expected 200000)"

"$build/bench/history_window_bench" "$work/history.sqlite"
