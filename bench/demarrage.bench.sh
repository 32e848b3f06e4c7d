#!/usr/bin/env bash
# Start-up of VelmoraBatch to its usage text, the whole process: mean, median and worst wall time
# over a loop of runs (target: under 10 ms). Runs with an empty temporary home so that the
# user's own configuration plays no part.
set -u
build=${1:-build}
prog="$build/batch/VelmoraBatch"
runs=${VELMORA_BENCH_RUNS:-50}
target_us=10000
if [ ! -x "$prog" ]; then
    echo "VelmoraBatch is not built in $build"
    exit 1
fi
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT

run() { HOME="$home" XDG_CONFIG_HOME="$home/.config" "$prog"; }

# The usage text must come out; the first run also warms the page cache.
if [ -z "$(run 2>&1)" ]; then
    echo "VelmoraBatch printed nothing"
    exit 1
fi

times=()
for ((i = 0; i < runs; i++)); do
    t0=$EPOCHREALTIME
    run >/dev/null 2>&1
    t1=$EPOCHREALTIME
    times+=($(( (${t1/./} - ${t0/./}) )))  # microseconds
done

sorted=($(printf '%s\n' "${times[@]}" | sort -n))
sum=0
for t in "${times[@]}"; do sum=$((sum + t)); done
mean=$((sum / runs))
median=${sorted[$((runs / 2))]}
worst=${sorted[$((runs - 1))]}
verdict="within target"
[ "$mean" -ge "$target_us" ] && verdict="ABOVE the 10 ms target"
printf 'VelmoraBatch start-up to usage text, %d runs: mean %d.%03d ms, median %d.%03d ms, worst %d.%03d ms (%s)\n' \
    "$runs" $((mean / 1000)) $((mean % 1000)) $((median / 1000)) $((median % 1000)) \
    $((worst / 1000)) $((worst % 1000)) "$verdict"
