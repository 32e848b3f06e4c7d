#!/usr/bin/env bash
# velmora-relay against nginx answering `return 200`, both with keep-alive, each pinned to the
# first core with wrk on the second, in the same run (medians of alternating runs): requests
# per second with 4 and 64 connections (goal: at least 0.5 x nginx's), and the median latency
# one request at a time (goal: at most 1.5 x nginx's). Each relay request still sends its
# packet, to a UDP socket on loopback.
# Then idle-connection floods (1,100 connections from 35 addresses; 10,000 from 400, with the
# relay's descriptor limit above and below that) while a client is timed.
# Loopback only. Usage: relais_nginx.bench.sh [build folder]
set -u
build=${1:-build}
here=$(cd "$(dirname "$0")" && pwd)
relay="$build/relay/velmora-relay"
nginx=/usr/sbin/nginx
for p in "$relay" "$nginx" /usr/bin/wrk; do
    if [ ! -x "$p" ]; then
        echo "$p missing: skipped (scripts/install-deps.sh --test installs nginx and wrk)"
        exit 0
    fi
done
python=/usr/bin/python3
seconds=${RELAY_BENCH_SECONDS:-2}
runs=${RELAY_BENCH_RUNS:-3}
tmp=$(mktemp -d /tmp/velmora-relay-bench-XXXXXX)
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null; wait "$p" 2>/dev/null; done
    rm -rf "$tmp"
}
trap cleanup EXIT

free_port() { "$python" -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }

# A UDP socket that takes the packets and never reads them.
udp=$(free_port)
"$python" -c "import socket, time; s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.bind(('127.0.0.1', $udp)); time.sleep(3600)" &
pids+=($!)

# relay_start PORT [prlimit option]: the relay on one core, its journal thrown away.
relay_start() {
    taskset -c 0 prlimit ${2:-} -- "$relay" --config /dev/null --listen "127.0.0.1:$1" \
        --broadcast 127.0.0.1 --rate 10000000 2>/dev/null &
    relay_pid=$!
    pids+=($relay_pid)
    for _ in $(seq 50); do
        "$python" -c "import socket; socket.create_connection(('127.0.0.1', $1), 0.1)" 2>/dev/null && return 0
        sleep 0.1
    done
    return 1
}
relay_stop() { kill "$relay_pid" 2>/dev/null; wait "$relay_pid" 2>/dev/null; }

rport=$(free_port)
relay_start "$rport" || { echo "velmora-relay did not start"; exit 1; }
nport=$(free_port)
mkdir -p "$tmp/nginx/logs"
cat >"$tmp/nginx/nginx.conf" <<CONF
daemon off;
master_process off;
worker_processes 1;
pid $tmp/nginx/nginx.pid;
error_log $tmp/nginx/logs/error.log;
events { worker_connections 1024; }
http {
    access_log off;
    client_body_temp_path $tmp/nginx/body;
    proxy_temp_path $tmp/nginx/proxy;
    fastcgi_temp_path $tmp/nginx/fastcgi;
    uwsgi_temp_path $tmp/nginx/uwsgi;
    scgi_temp_path $tmp/nginx/scgi;
    keepalive_requests 1000000;
    server {
        listen 127.0.0.1:$nport;
        location / { return 200 "ok\n"; }
    }
}
CONF
taskset -c 0 "$nginx" -p "$tmp/nginx" -c "$tmp/nginx/nginx.conf" -e "$tmp/nginx/logs/error.log" &
pids+=($!)
sleep 0.5

path="/?mac=00:11:22:33:44:55&port=$udp"
# wrk_run PORT CONNECTIONS: "requests/s p50_ms"
wrk_run() {
    taskset -c 1 wrk -t1 -c"$2" -d"${seconds}s" --latency "http://127.0.0.1:$1$path" 2>/dev/null |
        awk '/Requests\/sec/ { r = $2 }
             / 50% / { v = $2; if (v ~ /us$/) { sub(/us/, "", v); v /= 1000 }
                       else if (v ~ /ms$/) { sub(/ms/, "", v) }
                       else if (v ~ /s$/) { sub(/s/, "", v); v *= 1000 }; p = v }
             END { printf "%s %s\n", r + 0, p + 0 }'
}
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

for c in 4 64 1; do
    rr=() nr=() rp=() np=()
    for _ in $(seq "$runs"); do
        read -r r p < <(wrk_run "$rport" "$c"); rr+=("$r"); rp+=("$p")
        read -r r p < <(wrk_run "$nport" "$c"); nr+=("$r"); np+=("$p")
    done
    r=$(median "${rr[@]}") n=$(median "${nr[@]}")
    pr=$(median "${rp[@]}") pn=$(median "${np[@]}")
    awk -v c="$c" -v r="$r" -v n="$n" -v pr="$pr" -v pn="$pn" 'BEGIN {
        printf "%2d connection%s: relay %.0f req/s, nginx %.0f req/s: %.2f x%s; ", c, (c > 1 ? "s" : ""), r, n,
               (n > 0 ? r / n : 0), (c > 1 ? " (goal at least 0.5 x)" : "")
        printf "p50 relay %.3f ms, nginx %.3f ms: %.2f x%s\n", pr, pn, (pn > 0 ? pr / pn : 0),
               (c == 1 ? " (goal at most 1.5 x)" : "") }'
done

# Floods: the relay alone on its core, the flood and the client on the other.
taskset -c 1 "$python" "$here/relais_flot.py" "$rport" "$udp" 1100 35
relay_stop
for limit in 20000 4096; do
    rport=$(free_port)
    relay_start "$rport" "--nofile=$limit:$limit" || { echo "velmora-relay did not start"; exit 1; }
    echo -n "descriptor limit $limit: "
    (ulimit -n 20000 2>/dev/null; taskset -c 1 "$python" "$here/relais_flot.py" "$rport" "$udp" 10000 400)
    relay_stop
done
exit 0
