#!/usr/bin/env bash
# Start-up of VelmoraBatch to its usage text, the whole process: mean, median and worst wall time
# over a loop of runs (target: under 10 ms), with the processor time (user + system) per run and
# the wall time of /bin/true on the same machine, so that a loaded machine can be told from a slow
# start. Runs with an empty temporary home so that the user's own configuration plays no part.
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

# Wall time of `runs` runs of a command, one figure per run in microseconds, into `times`.
measure() {
    times=()
    for ((i = 0; i < runs; i++)); do
        t0=$EPOCHREALTIME
        "$@" >/dev/null 2>&1
        t1=$EPOCHREALTIME
        times+=($((${t1/./} - ${t0/./})))
    done
}
ms() { printf '%d.%03d' $(($1 / 1000)) $(($1 % 1000)); }

TIMEFORMAT='%3U %3S'
# Processor time (user + system, children included) per run of a command, in microseconds.
cpu() {
    local user sys
    read -r user sys <<<"$({ time measure "$@"; } 2>&1)"
    user=${user/./}; sys=${sys/./}
    echo $(((10#$user + 10#$sys) * 1000 / runs))
}

base_cpu=$(cpu /bin/true)
measure /bin/true
base=0
for t in "${times[@]}"; do base=$((base + t)); done
base=$((base / runs))

cpu_us=$(cpu run)
measure run

sorted=($(printf '%s\n' "${times[@]}" | sort -n))
sum=0
for t in "${times[@]}"; do sum=$((sum + t)); done
mean=$((sum / runs))
median=${sorted[$((runs / 2))]}
worst=${sorted[$((runs - 1))]}
verdict="within target"
[ "$mean" -ge "$target_us" ] && verdict="ABOVE the 10 ms target"
echo "VelmoraBatch start-up to usage text, $runs runs: mean $(ms $mean) ms, median $(ms $median) ms," \
    "worst $(ms $worst) ms ($verdict); processor time $(ms $cpu_us) ms per run;" \
    "/bin/true here: $(ms $base) ms wall, $(ms $base_cpu) ms processor"
