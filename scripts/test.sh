#!/usr/bin/env bash
# Builds everything in build/ and runs the whole test suite.
# QEL_SANITIZE=address or QEL_SANITIZE=thread builds in build-asan/ or build-tsan/; there
# every sanitizer report, also one from a child process a test starts, is written to
# build-*/sanitizer-reports/ and fails the run.
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
if [ -z "$san" ]; then
  exec ctest --test-dir "$dir" --output-on-failure -j2 --timeout 300
fi

reports=$PWD/$dir/sanitizer-reports
rm -rf "$reports" && mkdir -p "$reports"
# log_path sends each process's report to a file of its own (suffixed with its pid).
export ASAN_OPTIONS="log_path=$reports/asan${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export UBSAN_OPTIONS="log_path=$reports/ubsan:print_stacktrace=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"
export TSAN_OPTIONS="log_path=$reports/tsan:suppressions=$PWD/scripts/tsan.supp${TSAN_OPTIONS:+:$TSAN_OPTIONS}"
# A test that fails is run once more: the end-to-end tests wait on real time, which a
# sanitizer build on two busy cores can stretch. Every failed attempt is still printed,
# and a sanitizer report from any attempt fails the run below.
rc=0
ctest --test-dir "$dir" --output-on-failure -j2 --timeout 300 --repeat until-pass:2 || rc=$?
found=$(find "$reports" -type f | sort)
if [ -n "$found" ]; then
  echo "test.sh: sanitizer reports:" >&2
  for file in $found; do
    echo "---- $file" >&2
    head -n 60 "$file" >&2
  done
  exit 1
fi
exit "$rc"
