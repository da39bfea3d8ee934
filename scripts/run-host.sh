#!/usr/bin/env bash
# Builds what the host daemon needs (qelcs-host, both libraries, the message catalog
# and the service library's signature) and qelcs-remote, which its start-up hints run,
# in build/ (or $QEL_BUILD_DIR) and runs it on its embedded default (callers on
# 127.0.0.1:18080, remote client and registration on 127.0.0.1:18081).
# Arguments are passed on to qelcs-host, e.g.
#   scripts/run-host.sh --log-level debug
# Stop it with Ctrl-C.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${QEL_BUILD_DIR:-build}
# A build folder copied along with the tree still belongs to the tree it was configured
# in (CMake records absolute paths): it cannot serve this copy, so start a fresh one.
if [ -f "$build/CMakeCache.txt" ] &&
   ! grep -qxF -e "CMAKE_HOME_DIRECTORY:INTERNAL=$PWD" -e "CMAKE_HOME_DIRECTORY:INTERNAL=$(pwd -P)" \
       "$build/CMakeCache.txt"; then
  echo "run-host.sh: $build was configured for another source tree; configuring it afresh" >&2
  rm -rf "$build"
fi
cmake -S . -B "$build" >/dev/null
cmake --build "$build" -j2 --target qel_host_runnable
exec "$build/bin/qelcs-host" "$@"
