#!/usr/bin/env bash
# Builds the project in build/ and runs the host daemon on its embedded default
# (callers on 127.0.0.1:18080, remote client and registration on 127.0.0.1:18081).
# Arguments are passed on to qelcs-host, e.g.
#   scripts/run-host.sh --verbose
# Stop it with Ctrl-C.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build
cmake --build build -j2
exec build/bin/qelcs-host "$@"
