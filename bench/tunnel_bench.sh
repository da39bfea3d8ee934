#!/usr/bin/env bash
# Tunnel benchmark: builds tunnel_bench with the host daemon and the remote client and
# runs it on 127.0.0.1. Holds 1,000 callers waiting at once until a remote client
# answers them all, then prints, for 1/4/8 pollers x 1/4/16 callers, requests/second and
# p50/p99 latency through the tunnel beside the same requests sent to the target
# directly, with the ratios.
#   bench/tunnel_bench.sh [--requests N] [--hold N] [--body-bytes B]
#                         [--listener-setting 'KEY = VALUE']... [--tunnel-setting 'KEY = VALUE']...
# The host serves everything on one endpoint with one worker, callers and polls answered
# later, as its shipped endpoints do. The settings options add keys to that endpoint and
# to the tunnel settings; a thread per waiting caller, for example:
#   bench/tunnel_bench.sh --hold 10000 --tunnel-setting 'answer_later = off'
# Logs of the child processes land in build/bench-logs/.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build >/dev/null
cmake --build build --target tunnel_bench qelcs-host qelcs-remote -j2
mkdir -p build/bench-logs
cd build/bench-logs
exec ../bin/tunnel_bench "$@"
