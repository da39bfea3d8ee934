#!/usr/bin/env bash
# Builds the libFuzzer targets in build-fuzz/ (clang, QEL_FUZZ=ON) and runs each one
# for SECONDS (default 60), starting from its seed corpus fuzz/corpus/<target>/ and the
# inputs of past findings fuzz/regressions/<target>/. Every target runs even after a
# finding; the script then fails, naming each target and the input it saved.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
if ! [[ "$seconds" =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: scripts/fuzz.sh [SECONDS]   (whole seconds per target, default 60)" >&2
  exit 2
fi
root=$PWD
dir=$root/build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$dir" -DQEL_FUZZ=ON -DQEL_BUILD_TESTS=OFF \
  -DQEL_BUILD_BENCH=OFF >/dev/null
cmake --build "$dir" -j2 --target qel_fuzzers

# Runs one target in its own folder; prints its figures, or its finding and fails.
run_target() {
  local target=$1 work=$dir/fuzz-run/$1
  local corpus=$root/fuzz/corpus/$target regressions=$root/fuzz/regressions/$target
  if [ ! -d "$corpus" ]; then
    echo "fuzz.sh: $target has no seed corpus in fuzz/corpus/$target" >&2
    return 1
  fi
  rm -rf "$work" && mkdir -p "$work/corpus" "$work/findings"
  cp "$corpus"/* "$work/corpus/"
  local extra=()
  [ -d "$regressions" ] && extra=("$regressions")
  local rc=0
  (cd "$work" && "$dir/bin/$target" -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 \
     -max_len=4096 -print_final_stats=1 -artifact_prefix="$work/findings/" \
     corpus "${extra[@]}" >"$work/log" 2>&1) || rc=$?
  local finding
  finding=$(find "$work/findings" -type f | head -n 1)
  if [ "$rc" -ne 0 ] || [ -n "$finding" ]; then
    echo "fuzz.sh: FINDING in $target: ${finding:-no input saved} (exit $rc, log $work/log)" >&2
    grep -E "ERROR|SUMMARY|fuzz check failed|#[0-9]+ 0x" "$work/log" | head -n 20 >&2 || true
    return 1
  fi
  local execs cov
  execs=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$work/log")
  cov=$(grep -o 'cov: [0-9]*' "$work/log" | tail -n 1)
  echo "fuzz.sh: $target: ${seconds} s, ${execs} exec/s, ${cov}, corpus $(ls "$work/corpus" | wc -l) inputs"
}

mapfile -t targets < "$dir/fuzz/targets.txt"
failed=()
for target in "${targets[@]}"; do
  [ -n "$target" ] || continue
  run_target "$target" || failed+=("$target")
done
if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzz.sh: findings in: ${failed[*]}" >&2
  exit 1
fi
echo "fuzz.sh: ${#targets[@]} targets, ${seconds} s each, no findings"
