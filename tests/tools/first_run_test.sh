#!/usr/bin/env bash
# The first run as the README prints it: scripts/run-host.sh from the repository root
# builds what it needs and serves the embedded default; then every command of its
# "Try:" hints runs as shown, from the repository root: registration answers with the
# agent's XML, the one-line target and build/bin/qelcs-remote start, and the caller's
# request comes back with the target's answer.
#   first_run_test.sh SOURCE_DIR BUILD_DIR
# The default ports (18080, 18081, 8080) must be free: when one is taken (a host running
# on this machine), the test is skipped (exit 77).
set -uo pipefail
source_dir=$1 build_dir=$2
work=$(mktemp -d)
pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; echo "--- host output:" >&2; cat "$work/host.out" >&2; exit 1; }

# Another test of this suite uses the default ports too: both hold this lock meanwhile.
exec 9>/tmp/qel-default-ports.lock
flock 9
ports_free() {
  local port
  for port in 18080 18081 8080; do
    python3 -c "import socket,sys; s=socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1); s.bind(('127.0.0.1', $port))" 2>/dev/null || return 1
  done
}
for _ in $(seq 1 10); do  # a host of the other test may still be letting go
  ports_free && break
  sleep 1
done
if ! ports_free; then
  echo "SKIP: a port of 18080, 18081, 8080 on 127.0.0.1 is in use; the first run needs the default ports"
  exit 77
fi

cd "$source_dir"
QEL_BUILD_DIR=$build_dir scripts/run-host.sh >"$work/host.out" 2>&1 &
pids+=($!)
for _ in $(seq 1 600); do
  grep -q "stop with Ctrl-C" "$work/host.out" && break
  kill -0 "${pids[0]}" 2>/dev/null || fail "run-host.sh ended before serving"
  sleep 0.5
done
grep -q "stop with Ctrl-C" "$work/host.out" || fail "the host did not report ready"

# The hint lines, as printed after "ready. Try:".
mapfile -t hints < <(sed -n 's/^.*qelcs-host: INFO   //p' "$work/host.out")
[ "${#hints[@]}" -ge 4 ] || fail "expected at least 4 hints, got ${#hints[@]}"
answers=()
for line in "${hints[@]}"; do
  echo "+ $line"
  if [[ $line =~ \&[[:space:]]*(#.*)?$ ]]; then
    eval "$line" >>"$work/background.out" 2>&1
    pids+=($!)
    sleep 1  # let it start listening or polling
  else
    answers+=("$(timeout 60 bash -c "$line" 2>&1)") || fail "hint failed: $line"
  fi
done
kill -0 "${pids[@]}" 2>/dev/null || fail "a background hint ended: $(cat "$work/background.out")"
[[ ${answers[0]} == *"agent-startup-announcement"* ]] || fail "registration answered: ${answers[0]}"
[[ ${answers[1]} == "target got: hello" ]] || fail "the caller got '${answers[1]}', not the target's answer"
echo "PASS: ${#hints[@]} hints ran as printed"
