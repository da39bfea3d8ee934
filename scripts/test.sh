#!/usr/bin/env bash
# Builds everything in build/ and runs the whole test suite.
# QEL_SANITIZE=address or QEL_SANITIZE=thread builds in build-asan/ or build-tsan/.
set -euo pipefail
cd "$(dirname "$0")/.."
san=${QEL_SANITIZE:-}
case "$san" in
  "") dir=build ;;
  address) dir=build-asan ;;
  thread) dir=build-tsan ;;
  *) echo "test.sh: QEL_SANITIZE must be empty, address or thread" >&2; exit 2 ;;
esac
cmake -S . -B "$dir" -DQEL_SANITIZE="$san" >/dev/null
cmake --build "$dir" -j2
ctest --test-dir "$dir" --output-on-failure -j2 --timeout 300
