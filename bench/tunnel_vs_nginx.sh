#!/usr/bin/env bash
# The tunnel beside nginx and GNU httptunnel, on 127.0.0.1, in one run.
#
# nginx is the target (every POST answered 200 with a short body). Each round runs, one
# after the other: wrk straight to nginx, wrk through qelcs-host and qelcs-remote
# (--pollers P) and wrk through GNU httptunnel (hts/htc, 1 caller), at 1 and at 16
# callers (wrk connections, keep-alive). For the tunnel it reads, around each wrk run,
# the CPU time (user + system, /proc/PID/stat) and the context switches (voluntary +
# involuntary over /proc/PID/task/*/status) of qelcs-host and of qelcs-remote, and
# prints them per request. The medians over the rounds come last, with the ratios.
#
#   bench/tunnel_vs_nginx.sh [--rounds N] [--seconds S] [--pollers P] [--body-bytes B]
#                            [--remote BIN] [--compare-remote BIN]
#
# --compare-remote runs a second qelcs-remote (an older build, say) in the same rounds,
# right after the first, so both see the same machine load. Installs wrk, nginx-light
# and httptunnel from Debian when they are missing (root). Loopback only; the machine
# is shared, so read ratios within one run rather than absolute figures.
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=3 seconds=5 pollers=8 body_bytes=64
remotes=()
while [ $# -gt 0 ]; do
  case "$1" in
    --rounds) rounds=$2; shift 2 ;;
    --seconds) seconds=$2; shift 2 ;;
    --pollers) pollers=$2; shift 2 ;;
    --body-bytes) body_bytes=$2; shift 2 ;;
    --remote|--compare-remote) remotes+=("$(readlink -f "$2")"); shift 2 ;;
    *) echo "usage: $0 [--rounds N] [--seconds S] [--pollers P] [--body-bytes B] [--remote BIN] [--compare-remote BIN]" >&2
       exit 2 ;;
  esac
done
for tool in wrk nginx hts; do
  command -v "$tool" >/dev/null 2>&1 && continue
  package=$tool
  [ "$tool" = nginx ] && package=nginx-light
  [ "$tool" = hts ] && package=httptunnel
  echo "tunnel_vs_nginx: installing $package" >&2
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$package" >/dev/null
done
cmake -S . -B build >/dev/null
cmake --build build -j2 --target qelcs-host qelcs-remote qelConnectionServer5 qelSessionConfigSvcs5 qel_catalog >/dev/null
[ ${#remotes[@]} -eq 0 ] && remotes=("$PWD/build/bin/qelcs-remote")

work=$(mktemp -d)
read -r caller_port remote_port nginx_port hts_port htc_port < <(python3 -c '
import socket
socks = [socket.socket() for _ in range(5)]
for s in socks: s.bind(("127.0.0.1", 0))
print(*[s.getsockname()[1] for s in socks])')
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  [ -f "$work/nginx.pid" ] && kill "$(cat "$work/nginx.pid")" 2>/dev/null || true
  sleep 0.5; rm -rf "$work"
}
trap cleanup EXIT

# nginx: the target.
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
    location / { default_type text/plain; return 200 "answered by nginx\n"; }
  }
}
CONF
nginx -c "$work/nginx.conf" -p "$work"
target=http://127.0.0.1:$nginx_port

# qelcs-host in its shipped layout: callers on one endpoint, the remote client on another,
# one worker each (the host's tunnel settings answer callers and polls later).
settings="address = 127.0.0.1
port = $caller_port
per_ip_limit = 0
nonblocking_workers = 1
[endpoint remote]
address = 127.0.0.1
port = $remote_port
resources = /qel/reverseConnection, /qel/sensor_services/management
nonblocking_workers = 1"
(cd "$work" && exec "$OLDPWD/build/bin/qelcs-host" --listener-settings-1 "$settings" >host.log 2>&1) &
host_pid=$!
pids+=("$host_pid")

# GNU httptunnel: htc listens for the caller, hts connects to nginx.
hts -w -F "127.0.0.1:$nginx_port" "127.0.0.1:$hts_port" >"$work/hts.log" 2>&1 &
pids+=($!)
sleep 0.3
htc -w -F "$htc_port" "127.0.0.1:$hts_port" >"$work/htc.log" 2>&1 &
pids+=($!)

for _ in $(seq 100); do curl -sf -X POST --data '' "http://127.0.0.1:$remote_port/qel/sensor_services/management" -o /dev/null && break; sleep 0.1; done
curl -sf -X POST --data '' "$target/qel" -o /dev/null || { echo "nginx does not answer" >&2; exit 1; }

printf 'wrk.method = "POST"\nwrk.body = string.rep("x", %d)\nwrk.headers["Content-Type"] = "text/plain"\n' \
  "$body_bytes" >"$work/post.lua"

hz=$(getconf CLK_TCK)
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
switches() { cat /proc/"$1"/task/*/status 2>/dev/null | awk '/ctxt_switches/ {n += $2} END {print n + 0}'; }

# wrk at C connections against URL: prints "requests req/s p50-ms".
load() {  # load URL CONNECTIONS [SECONDS]
  local out
  out=$(wrk -t1 -c"$2" -d"${3:-$seconds}s" --latency -s "$work/post.lua" "$1")
  echo "$out" | awk '
    /requests in/ {n = $1}
    /Requests\/sec/ {r = $2}
    $1 == "50%" {v = $2; u = v; sub(/[0-9.]+/, "", u); sub(/[a-z]+$/, "", v)
                 p = (u == "us") ? v / 1000 : (u == "s") ? v * 1000 : v}
    /Non-2xx|Socket errors/ {bad = 1}
    END {printf "%d %.0f %.3f %d\n", n, r, p, bad}'
}

# Through the tunnel with one remote client: "req/s p50 host-us host-sw remote-us remote-sw".
tunnel_cell() {  # tunnel_cell REMOTE_PID CONNECTIONS
  local h0 h1 hs0 hs1 r0 r1 rs0 rs1 res n
  h0=$(ticks "$host_pid"); hs0=$(switches "$host_pid"); r0=$(ticks "$1"); rs0=$(switches "$1")
  res=$(load "http://127.0.0.1:$caller_port/qel" "$2")
  h1=$(ticks "$host_pid"); hs1=$(switches "$host_pid"); r1=$(ticks "$1"); rs1=$(switches "$1")
  n=$(echo "$res" | awk '{print $1}')
  [ "$(echo "$res" | awk '{print $4}')" = 0 ] || echo "tunnel_vs_nginx: errors or non-2xx answers through the tunnel" >&2
  awk -v res="$res" -v n="$n" -v h=$((h1 - h0)) -v hs=$((hs1 - hs0)) -v r=$((r1 - r0)) -v rs=$((rs1 - rs0)) -v hz="$hz" \
    'BEGIN { split(res, f, " "); n = n > 0 ? n : 1
             printf "%s %s %.1f %.2f %.1f %.2f\n", f[2], f[3], h / hz * 1e6 / n, hs / n, r / hz * 1e6 / n, rs / n }'
}

start_remote() {  # start_remote BIN LOG: prints the pid
  (cd "$work" && exec "$1" --poll "http://127.0.0.1:$remote_port/qel/reverseConnection" --target "$target" \
     --pollers "$pollers" --status-interval 0 >"$2" 2>&1) &
  echo $!
}

echo "tunnel_vs_nginx: $rounds rounds of ${seconds} s runs, $body_bytes-byte POSTs, nginx as the target, qelcs-remote --pollers $pollers"
for i in "${!remotes[@]}"; do echo "  client $i: ${remotes[$i]}"; done
: >"$work/results"
for round in $(seq "$rounds"); do
  d1=$(load "$target/qel" 1); d16=$(load "$target/qel" 16)
  echo "direct $d1 $d16" >>"$work/results"
  for i in "${!remotes[@]}"; do
    rpid=$(start_remote "${remotes[$i]}" "$work/remote.$i.log")
    pids+=("$rpid")
    load "http://127.0.0.1:$caller_port/qel" 16 1 >/dev/null  # warm-up: every poller connected
    t1=$(tunnel_cell "$rpid" 1); t16=$(tunnel_cell "$rpid" 16)
    kill -TERM "$rpid"; wait "$rpid" 2>/dev/null || true
    echo "tunnel$i $t1 $t16" >>"$work/results"
    echo "round $round client $i: 1 caller $(echo "$t1" | awk '{printf "%s req/s p50 %s ms", $1, $2}'); 16 callers $(echo "$t16" | awk '{printf "%s req/s, host %s us %s sw, remote %s us %s sw", $1, $3, $4, $5, $6}')"
  done
  ht=$(load "http://127.0.0.1:$htc_port/qel" 1)
  echo "httptunnel $ht" >>"$work/results"
  echo "round $round direct: 1 caller $(echo "$d1" | awk '{printf "%s req/s p50 %s ms", $2, $3}'); 16 callers $(echo "$d16" | awk '{print $2}') req/s; httptunnel 1 caller $(echo "$ht" | awk '{print $2}') req/s"
done

# Medians: field F of the lines starting with KEY.
median() { awk -v k="$1" -v f="$2" '$1 == k {print $f}' "$work/results" | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
d1r=$(median direct 3); d1p=$(median direct 4); d16r=$(median direct 7); htr=$(median httptunnel 3)
echo "medians over $rounds rounds:"
printf '  direct to nginx: 1 caller %.0f req/s (p50 %.3f ms), 16 callers %.0f req/s\n' "$d1r" "$d1p" "$d16r"
printf '  GNU httptunnel, 1 caller: %.0f req/s\n' "$htr"
for i in "${!remotes[@]}"; do
  k=tunnel$i
  awk -v name="${remotes[$i]}" -v i="$i" \
      -v r1="$(median $k 2)" -v p1="$(median $k 3)" -v h1="$(median $k 4)" -v hs1="$(median $k 5)" \
      -v x1="$(median $k 6)" -v xs1="$(median $k 7)" -v r16="$(median $k 8)" -v h16="$(median $k 10)" \
      -v hs16="$(median $k 11)" -v x16="$(median $k 12)" -v xs16="$(median $k 13)" \
      -v d1r="$d1r" -v d1p="$d1p" -v d16r="$d16r" -v htr="$htr" -v p="$pollers" 'BEGIN {
    printf "  client %d (%s), --pollers %d:\n", i, name, p
    printf "    1 caller:   %6.0f req/s, %.3fx direct, %.2fx httptunnel; p50 %.3f ms, %.2fx direct\n", r1, r1 / d1r, r1 / htr, p1, p1 / d1p
    printf "    16 callers: %6.0f req/s, %.3fx direct\n", r16, r16 / d16r
    printf "    per tunnelled request, 1 caller:   host %5.1f us %4.2f switches, qelcs-remote %5.1f us %4.2f switches\n", h1, hs1, x1, xs1
    printf "    per tunnelled request, 16 callers: host %5.1f us %4.2f switches, qelcs-remote %5.1f us %4.2f switches\n", h16, hs16, x16, xs16 }'
done
