#!/usr/bin/env bash
# Whole-process timings of VelmoraBatch (wall time, start-up included):
#   1. one wake by direct designation, median of 20 runs          (target: under 10 ms)
#   2. /w:dossier!* over a folder of 1,000 machines, no pause     (target: under 150 ms)
#   3. /u: over a folder of 1,000 machines answering on loopback  (target: under 5 s)
# Every packet and ping goes to 127.0.0.0/8. Usage: batch.bench.sh [build folder]
set -u
build=${1:-build}
prog="$build/batch/VelmoraBatch"
if [ ! -x "$prog" ]; then
    echo "VelmoraBatch not built in $build: skipped"
    exit 0
fi
tmp=$(mktemp -d /tmp/velmora-bench-XXXXXX)
trap 'rm -rf "$tmp"' EXIT

port=40009  # nothing listens there; the datagrams end on loopback
cfg="$tmp/bench.ini"
{
    printf '[Config]\nLangue=Français\nDélaiEntreDeuxRéveilsWOL=0\nTempoPing=300\n'
    printf '[salle]\nNbMachines=1000\n'
    for i in $(seq 1 1000); do
        printf 'Machine%d=poste%d|127.0.%d.%d|255.255.255.255|%d|00-11-22-33-%02X-%02X|||\n' \
            "$i" "$i" $((i / 250)) $((i % 250 + 1)) "$port" $((i / 256)) $((i % 256))
    done
} >"$cfg"

# Median in ms (one decimal) of the given ns durations.
median_ms() {
    printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END {
        m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; printf "%.1f", m / 1e6 }'
}
# run N args...: runs the command N times, prints the median wall time in ms.
run() {
    local n=$1
    shift
    local t=() s e
    for _ in $(seq 1 "$n"); do
        s=${EPOCHREALTIME/[.,]/}
        "$@" >/dev/null
        e=${EPOCHREALTIME/[.,]/}
        t+=($(((10#$e - 10#$s) * 1000)))
    done
    median_ms "${t[@]}"
}
report() {  # name value_ms target_ms
    local verdict=ok
    awk -v v="$2" -v c="$3" 'BEGIN { exit !(v + 0 >= c + 0) }' && verdict="ABOVE TARGET"
    printf '%-48s %10s ms   (target < %s ms) %s\n' "$1" "$2" "$3" "$verdict"
}

# The floor of this machine: starting any process at all.
printf '%-48s %10s ms   (reference: process start-up)\n' "/bin/true (median of 20)" \
    "$(run 20 /bin/true)"
report "wake, direct designation (median of 20)" \
    "$(run 20 "$prog" "$cfg" "/w:127.0.0.1, 00-11-22-33-44-55, $port, 255.255.255.255")" 10
report "wake of salle!* (1000 machines, median of 5)" "$(run 5 "$prog" "$cfg" '/w:salle!*')" 150
report "MAC update of salle (1000 machines, one run)" "$(run 1 "$prog" "$cfg" '/u:salle')" 5000
exit 0
