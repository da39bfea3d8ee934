#!/usr/bin/env bash
# Reverse registration on qelcs-host against nginx serving the same bytes, on 127.0.0.1.
#
# Starts qelcs-host and nginx answering every POST with the very bytes the host
# answers, then runs wrk (POST, keep-alive) against each, interleaved, ROUNDS times, and
# prints the medians: requests per second, the host's and nginx's CPU time per request
# (from /proc, user + system of all their processes) and the ratios. Installs wrk and
# nginx from Debian when missing (root).
#   bench/registration_vs_nginx.sh [--rounds N] [--seconds S] [--connections C]
#                                  [--workers W | --split W] [--build DIR]
# Without a layout option the host runs with no settings at all, its embedded default
# (registration on 127.0.0.1:18081 beside the polls; both default ports must be free).
# --workers W gives registration an endpoint of its own: 0 a thread per connection, W > 0
# W workers. --split W serves callers, polls and registration on one endpoint with
# nonblocking_workers = W. --build DIR takes qelcs-host and its libraries from another
# configured build folder (an earlier version, for a before/after figure).
# nginx answers from its configuration (`return`): a file answered to a POST needs its
# 405 turned into the file by an internal redirect, which doubles nginx's cost.
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=3 seconds=5 connections=64 layout=default workers=2 build=build
while [ $# -gt 0 ]; do
  case "$1" in
    --rounds) rounds=$2; shift 2 ;;
    --seconds) seconds=$2; shift 2 ;;
    --connections) connections=$2; shift 2 ;;
    --workers) layout=own; workers=$2; shift 2 ;;
    --split) layout=split; workers=$2; shift 2 ;;
    --build) build=$2; shift 2 ;;
    *) echo "usage: $0 [--rounds N] [--seconds S] [--connections C] [--workers W | --split W] [--build DIR]" >&2
       exit 2 ;;
  esac
done
for tool in wrk nginx; do
  command -v "$tool" >/dev/null 2>&1 && continue
  echo "registration_vs_nginx: installing $tool" >&2
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    "$([ "$tool" = nginx ] && echo nginx-light || echo wrk)" >/dev/null
done
[ "$build" = build ] && cmake -S . -B build >/dev/null
cmake --build "$build" -j2 --target qelcs-host qelConnectionServer5 qelSessionConfigSvcs5 qel_catalog >/dev/null
host_program=$(cd "$build" && pwd)/bin/qelcs-host

work=$(mktemp -d)
read -r host_port reg_port nginx_port < <(python3 -c '
import socket
socks = [socket.socket() for _ in range(3)]
for s in socks: s.bind(("127.0.0.1", 0))
print(*[s.getsockname()[1] for s in socks])')
cleanup() {
  [ -n "${host_pid:-}" ] && kill "$host_pid" 2>/dev/null || true
  [ -f "$work/nginx.pid" ] && kill "$(cat "$work/nginx.pid")" 2>/dev/null || true
  sleep 0.5; rm -rf "$work"
}
trap cleanup EXIT

case "$layout" in
  default)
    for port in 18080 18081; do
      if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
        echo "registration_vs_nginx: port $port is taken; the embedded default needs it" >&2
        exit 1
      fi
    done
    settings=() reg_port=18081 ;;
  own)
    settings=(--listener-settings-1 "address = 127.0.0.1
port = $host_port
[endpoint registration]
address = 127.0.0.1
port = $reg_port
per_ip_limit = 0
workers = $workers
resources = /qel/sensor_services/management") ;;
  split)
    settings=(--listener-settings-1 "address = 127.0.0.1
port = $reg_port
per_ip_limit = 0
nonblocking_workers = $workers") ;;
esac
(cd "$work" && exec "$host_program" "${settings[@]}" >host.log 2>&1) &
host_pid=$!
url=http://127.0.0.1:$reg_port/qel/sensor_services/management
for _ in $(seq 100); do curl -sf -X POST --data '' "$url" -o "$work/answer.xml" && break; sleep 0.1; done
[ -s "$work/answer.xml" ] || { echo "qelcs-host did not answer; see its log:" >&2; cat "$work/host.log" >&2; exit 1; }

# nginx returns the same bytes to every POST (escaped for a double-quoted string).
body=$(sed -e 's/\\/\\\\/g' -e 's/"/\\"/g' "$work/answer.xml" | awk '{printf "%s\\n", $0}')
cat >"$work/nginx.conf" <<CONF
worker_processes auto;
pid $work/nginx.pid;
error_log $work/nginx.error.log;
events { worker_connections 4096; }
http {
  access_log off;
  client_body_temp_path $work;
  server {
    listen 127.0.0.1:$nginx_port;
    location / { default_type text/xml; return 200 "$body"; }
  }
}
CONF
nginx -c "$work/nginx.conf" -p "$work"
for _ in $(seq 50); do curl -sf -X POST --data '' "http://127.0.0.1:$nginx_port/" -o /dev/null && break; sleep 0.1; done
printf 'wrk.method = "POST"\nwrk.body = ""\n' >"$work/post.lua"

# CPU ticks (user + system) of a process and its threads.
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
nginx_ticks() {
  local master t=0
  master=$(cat "$work/nginx.pid")
  for p in "$master" $(pgrep -P "$master"); do t=$((t + $(ticks "$p"))); done
  echo "$t"
}
hz=$(getconf CLK_TCK)

# One wrk run: prints "requests/s cpu-microseconds-per-request".
run() {  # run URL TICKS_FUNCTION
  local before after out requests rps
  before=$($2)
  out=$(wrk -t1 -c"$connections" -d"${seconds}s" -s "$work/post.lua" "$1")
  after=$($2)
  requests=$(echo "$out" | awk '/requests in/ {print $1}')
  rps=$(echo "$out" | awk '/Requests\/sec/ {print $2}')
  awk -v r="$rps" -v n="$requests" -v t=$((after - before)) -v hz="$hz" \
    'BEGIN { printf "%.0f %.2f\n", r, (t / hz) * 1e6 / n }'
}
host_cpu() { ticks "$host_pid"; }

case "$layout" in
  default) what="qelcs-host with no settings" ;;
  own) what="registration on an endpoint of its own, workers = $workers" ;;
  split) what="one endpoint, nonblocking_workers = $workers" ;;
esac
echo "registration answer: $(wc -c <"$work/answer.xml") bytes; $connections connections, ${seconds} s a run, $rounds rounds; $what"
: >"$work/results"
for round in $(seq "$rounds"); do
  h=$(run "$url" host_cpu); n=$(run "http://127.0.0.1:$nginx_port/" nginx_ticks)
  echo "round $round: host $h | nginx $n" | awk '{printf "round %s host %s req/s %s us/req | nginx %s req/s %s us/req\n", $2, $4, $5, $8, $9}'
  echo "$h $n" >>"$work/results"
done
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
h_rps=$(awk '{print $1}' "$work/results" | median); h_cpu=$(awk '{print $2}' "$work/results" | median)
n_rps=$(awk '{print $3}' "$work/results" | median); n_cpu=$(awk '{print $4}' "$work/results" | median)
awk -v hr="$h_rps" -v nr="$n_rps" -v hc="$h_cpu" -v nc="$n_cpu" 'BEGIN {
  printf "median: host %.0f req/s, nginx %.0f req/s: ratio %.2f (aim >= 0.9)\n", hr, nr, hr / nr
  printf "median CPU per request: host %.1f us, nginx %.1f us: ratio %.2fx (aim <= 1.5x)\n", hc, nc, hc / nc }'
