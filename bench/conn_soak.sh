#!/usr/bin/env bash
# Soak benchmark: 100,000 registration requests, each on a new connection that the
# server closes, against qelcs-host on 127.0.0.1; prints the host's RSS after a
# warm-up and after the soak, and fails unless it stayed flat.
#   bench/conn_soak.sh [--connections N] [--warmup N] [--threads T] [--max-growth-kib K]
# The host's log and trace file land in build/bench-logs/.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build >/dev/null
cmake --build build --target conn_soak -j2
mkdir -p build/bench-logs
cd build/bench-logs
exec ../bin/conn_soak "$@"
