#!/usr/bin/env bash
# Tunnel benchmark: builds tunnel_bench with the host daemon and the remote client and
# runs it on 127.0.0.1. Prints requests/second and latency percentiles (p50/p90/p99)
# through the tunnel beside the same requests sent to the target directly, then holds
# 1,000 callers waiting at once until a remote client answers them all.
#   bench/tunnel_bench.sh [--requests N] [--in-flight C] [--hold N] [--body-bytes B]
# Logs of the child processes land in build/bench-logs/.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build >/dev/null
cmake --build build --target tunnel_bench -j2
mkdir -p build/bench-logs
cd build/bench-logs
exec ../bin/tunnel_bench "$@"
