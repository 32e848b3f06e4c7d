#!/usr/bin/env bash
# Runs every benchmark program, then every timed-command script (bench/*.bench.sh).
set -u
build=${1:-build}
here=$(cd "$(dirname "$0")" && pwd)
status=0
for b in "$build"/bench/bench_*; do
    [ -x "$b" ] || continue
    echo "== $(basename "$b")"
    "$b" --benchmark_min_time=0.2 || status=1
done
for s in "$here"/*.bench.sh; do
    [ -f "$s" ] || continue
    echo "== $(basename "$s")"
    bash "$s" "$build" || status=1
done
exit $status
