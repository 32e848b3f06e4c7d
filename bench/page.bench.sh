#!/usr/bin/env bash
# The relay's web page with 1,000 machines (all on 127.0.0.0/8):
#   1. time to first paint in headless Chromium, median of 10 loads   (target: under 200 ms)
#   2. the relay's CPU with 10 pages open and a 2 s status interval    (target: under 5 %)
#   3. its memory (peak resident set) meanwhile                        (target: under 30 MB)
# Usage: page.bench.sh [build folder]. Skipped where Chromium or selenium is missing.
set -u
build=${1:-build}
here=$(cd "$(dirname "$0")" && pwd)
exec /usr/bin/python3 "$here/page_bench.py" "$build/relay/velmora-relay"
