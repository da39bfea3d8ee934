#!/usr/bin/env bash
# How deep the threads of the tests go into their stacks, by stack size: runs the test
# programs (the service library's, the host's end-to-end tests by default, which start
# qelcs-host and qelcs-remote as children) with bench/stack_depth_probe.c preloaded and
# prints, for each stack size seen, the deepest use and how many threads ended. The
# library's connection threads are the ones with its thread_stack_size (262144 bytes by
# default); it is what that default is chosen from (docs/performance.md).
#   bench/stack_depth.sh [CTEST_REGEX]
set -euo pipefail
cd "$(dirname "$0")/.."
regex=${1:-'^(Scs|ScsTest|ScsLibrary|AnyRequestTest|HostProgram|TunnelWire|TunnelDeployment|Operations|MetricsPages|RemoteClient)'}
cmake -S . -B build >/dev/null
cmake --build build -j2 >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cc -O2 -shared -fPIC -o "$work/probe.so" bench/stack_depth_probe.c -ldl -lpthread
STACK_DEPTH_OUT="$work/depths" LD_PRELOAD="$work/probe.so" \
  ctest --test-dir build -R "$regex" -j2 --timeout 300 >"$work/ctest.log" 2>&1 ||
  { echo "stack_depth: some tests failed under the probe:" >&2; tail -20 "$work/ctest.log" >&2; }
echo "tests: $(grep -c 'Test #' "$work/ctest.log") run ($regex)"
printf '%12s %12s %10s\n' "stack size" "max depth" "threads"
awk '{ if ($2 > depth[$1]) depth[$1] = $2; threads[$1] += $3 }
     END { for (s in depth) printf "%12d %12d %10d\n", s, depth[s], threads[s] }' \
  "$work/depths" | sort -n
