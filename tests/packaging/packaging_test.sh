#!/usr/bin/env bash
# Install, package and consume, as a user and an integrator would:
#   packaging_test.sh CASE BUILD_DIR SCRATCH_DIR VERSION LIBDIR
# CASE is one of
#   install    cmake --install into SCRATCH/prefix: exactly the expected files, nothing
#              outside the prefix
#   programs   the installed programs: --version, qel-sign --help, qelcs-host serving
#              with its own library (no LD_LIBRARY_PATH) and both daemons' READY=1, the
#              installed systemd units pass systemd-analyze verify, the remote client's
#              example passes its --check-config, logrotate accepts the snippet and man
#              finds the pages
#   consumers  a C program built against the installed tree through pkg-config and
#              through find_package(qelConnectionServer)
#   catalog    the installed host prints real status texts without NLSPATH
#   debs       scripts/build-debs.sh on the built tree, the packages unpacked into
#              SCRATCH/root: their metadata, qelcs-host --version and serving from
#              there, and the pkg-config consumer built against the unpacked files
set -euo pipefail
case_name=$1 build_dir=$2 scratch=$3 version=$4 libdir=$5
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
prefix=$scratch/prefix
unset LD_LIBRARY_PATH NLSPATH  # installed programs must manage without them

fail() { echo "FAIL: $*" >&2; exit 1; }

free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# The catalog text of a status, from the status tables the catalog is built from.
catalog_text() {
  sed -n "s/^QEL_STATUS([A-Z_0-9]*, $1, \"\(.*\)\")$/\1/p" "$source_dir"/catalog/status/*.def
}

# Runs the qelcs-host in $1 until it reports READY=1 and answers reverse registration
# with the agent name $2; its library comes from beside it.
host_serves() {
  local port
  port=$(free_port)
  python3 "$here/notify_ready.py" \
    --check "curl -sf -X POST --data '' http://127.0.0.1:$port/qel/sensor_services/management | grep -q '$2'" \
    -- "$1" --agent-name "$2" --listener-settings-1 "address = 127.0.0.1
port = $port"
}

# Builds and runs consumer.c through pkg-config (PKG_CONFIG_* as the caller set them);
# $1 is the output folder, $2 the library folder the program runs with. Prints its text.
pkg_config_consumer() {
  mkdir -p "$1"
  [ "$(pkg-config --modversion qelConnectionServer)" = "$version" ] ||
    fail "pkg-config reports version $(pkg-config --modversion qelConnectionServer), not $version"
  # shellcheck disable=SC2046  # the flags are separate words
  cc -std=c11 -Wall -Wextra -Werror -pedantic -o "$1/consumer" "$here/consumer/consumer.c" \
     $(pkg-config --cflags --libs qelConnectionServer)
  LD_LIBRARY_PATH=$2 "$1/consumer"
}

check_status_id() {  # $1: the consumer's output
  echo "consumer: $1"
  [[ $1 == *"0xc7210003"* ]] || fail "consumer printed no text for 0xC7210003: '$1'"
}

case_install() {
  rm -rf "$prefix"
  cmake --install "$build_dir" --prefix "$prefix" >/dev/null
  local outside
  outside=$(grep -v "^$prefix/" "$build_dir/install_manifest.txt" || true)
  [ -z "$outside" ] || fail "installed outside the prefix: $outside"
  local expected=(
    bin/qelcs-host bin/qelcs-remote bin/qel-sign
    "$libdir"/libqelConnectionServer5.so "$libdir"/libqelSessionConfigSvcs5.so
    include/qelConnectionServer.h include/qelSessionConfigSvcs.h include/mslLogSink.h
    "$libdir"/pkgconfig/qelConnectionServer.pc
    "$libdir"/cmake/qelConnectionServer/qelConnectionServerConfig.cmake
    "$libdir"/cmake/qelConnectionServer/qelConnectionServerConfigVersion.cmake
    "$libdir"/cmake/qelConnectionServer/qelConnectionServerTargets.cmake
    "$libdir"/cmake/qelConnectionServer/qelConnectionServerTargets-*.cmake
    share/qelConnectionServer/qel-MgmtSvcs.cat
    share/qelConnectionServer/examples/qelcs-remote.conf
    share/qelConnectionServer/examples/nginx-qelcs-poll.conf
    lib/systemd/system/qelcs-host.service "lib/systemd/system/qelcs-remote@.service"
    etc/qelcs-host/qelcs-host.conf etc/logrotate.d/qelconnectionserver-tools
    share/man/man8/qelcs-host.8 share/man/man8/qelcs-remote.8 share/man/man1/qel-sign.1
    share/man/man5/qelcs-host.conf.5 share/man/man5/qelcs-remote.conf.5)
  # The build's detached signature, when it made one, goes along.
  [ -f "$build_dir/lib/libqelSessionConfigSvcs5.so.sig" ] &&
    expected+=("$libdir"/libqelSessionConfigSvcs5.so.sig)
  local pattern
  for pattern in "${expected[@]}"; do
    compgen -G "$prefix/$pattern" >/dev/null || fail "not installed: $pattern"
  done
  local count
  count=$(find "$prefix" -type f | wc -l)
  [ "$count" -eq "${#expected[@]}" ] ||
    fail "$count files installed, expected ${#expected[@]}: $(cd "$prefix" && find . -type f | sort)"
  cmp -s "$build_dir/lib/libqelSessionConfigSvcs5.so" "$prefix/$libdir/libqelSessionConfigSvcs5.so" ||
    fail "the signed service library changed on the way"
  grep -q "^ExecStart=$prefix/bin/qelcs-host --config $prefix/etc/qelcs-host/qelcs-host.conf$" \
    "$prefix/lib/systemd/system/qelcs-host.service" || fail "qelcs-host.service names other paths"
  # The client's unit reads NAME.conf from a folder the install made.
  grep -q "^ExecStart=$prefix/bin/qelcs-remote --config $prefix/etc/qelcs-remote/%i.conf$" \
    "$prefix/lib/systemd/system/qelcs-remote@.service" || fail "qelcs-remote@.service names other paths"
  [ -d "$prefix/etc/qelcs-remote" ] || fail "no folder $prefix/etc/qelcs-remote for the clients' NAME.conf"
}

case_programs() {
  local program
  for program in qelcs-host qelcs-remote qel-sign; do
    [ "$("$prefix/bin/$program" --version)" = "$program $version" ] || fail "$program --version"
  done
  local help
  help=$("$prefix/bin/qel-sign" --help) || fail "qel-sign --help exited with $?"
  for word in "keygen -p PUBFILE" "sign -s SECFILE" "verify -p PUBFILE" "Exit status"; do
    [[ $help == *"$word"* ]] || fail "qel-sign --help does not mention '$word'"
  done
  host_serves "$prefix/bin/qelcs-host" installed-agent
  # Ready at start even while its host cannot be reached (port 9: nothing listens).
  python3 "$here/notify_ready.py" -- "$prefix/bin/qelcs-remote" --status-interval 0 \
    --poll "http://127.0.0.1:$(free_port)/qel/reverseConnection" --target http://127.0.0.1:9
  # The example, copied as the unit's comment says, is a valid configuration.
  local check
  check=$("$prefix/bin/qelcs-remote" --config "$prefix/share/qelConnectionServer/examples/qelcs-remote.conf" \
            --check-config) || fail "the installed example is not valid: $check"
  [[ $check == *"poll http://127.0.0.1:18081/qel/reverseConnection"* ]] || fail "the example polls elsewhere: $check"
  logrotate --debug --state "$scratch/logrotate.state" "$prefix/etc/logrotate.d/qelconnectionserver-tools" \
    >"$scratch/logrotate.out" 2>&1 || fail "logrotate refuses the snippet: $(cat "$scratch/logrotate.out")"
  local page
  for page in qelcs-host.8 qelcs-remote.8 qel-sign.1 qelcs-host.conf.5 qelcs-remote.conf.5; do
    MANPATH=$prefix/share/man man -w "${page%.*}" | grep -q "$prefix/share/man/man${page##*.}/$page" ||
      fail "man does not find $page under the prefix"
  done
  # systemd-analyze verify only warns about unknown keys or values: any line about the
  # units counts as a failure.
  cp "$prefix/lib/systemd/system/qelcs-remote@.service" "$scratch/qelcs-remote@check.service"
  local verdict
  verdict=$(systemd-analyze verify "$prefix/lib/systemd/system/qelcs-host.service" \
              "$scratch/qelcs-remote@check.service" 2>&1) || fail "systemd-analyze verify: $verdict"
  ! grep "qelcs-" <<<"$verdict" || fail "systemd-analyze verify found problems in the units"
}

case_consumers() {
  local text
  text=$(PKG_CONFIG_PATH=$prefix/$libdir/pkgconfig pkg_config_consumer "$scratch/pc-consumer" \
         "$prefix/$libdir")
  check_status_id "$text"
  rm -rf "$scratch/cmake-consumer"
  cmake -S "$here/consumer" -B "$scratch/cmake-consumer" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
  cmake --build "$scratch/cmake-consumer" >/dev/null
  # The imported target carries the library's location: no LD_LIBRARY_PATH needed.
  text=$("$scratch/cmake-consumer/consumer")
  check_status_id "$text"
}

case_catalog() {
  local output expected
  # A failure the library logs no detail for is told with its catalog text.
  output=$("$prefix/bin/qelcs-host" --lmi-links "<unclosed>" 2>&1) && fail "CS_Init accepted malformed links"
  expected=$(catalog_text 0xC7210062)
  echo "$output" | tail -1
  [ -n "$expected" ] || fail "no catalog text for 0xC7210062 in catalog/status"
  [[ $output == *"status 0xC7210062: $expected"* ]] || fail "the installed host printed no catalog text"
}

case_debs() {
  local debs=$scratch/debs root=$scratch/root
  "$source_dir/scripts/build-debs.sh" --no-build --build-dir "$build_dir" --out "$debs" >"$scratch/debs.log" 2>&1 ||
    { tail -40 "$scratch/debs.log"; fail "build-debs.sh failed (log: $scratch/debs.log)"; }
  rm -rf "$root" && mkdir -p "$root"
  local package
  for package in libqelconnectionserver5 libqelconnectionserver-dev qelconnectionserver-tools; do
    local deb=("$debs/${package}_${version}"_*.deb)
    [ -f "${deb[0]}" ] || fail "no package $package $version in $debs"
    dpkg-deb -x "${deb[0]}" "$root"
  done
  dpkg-deb -I "$debs"/libqelconnectionserver5_*.deb symbols | grep -q "CS_GetErrorMsg@Version_5.0" ||
    fail "the runtime package has no symbols file"
  dpkg-deb -f "$debs"/qelconnectionserver-tools_*.deb Depends | grep -q "libqelconnectionserver5 (= $version)" ||
    fail "the tools package does not depend on its library"
  [ "$("$root/usr/bin/qelcs-host" --version)" = "qelcs-host $version" ] || fail "unpacked qelcs-host --version"
  local file
  for file in usr/share/man/man8/qelcs-remote.8.gz usr/share/man/man5/qelcs-remote.conf.5.gz \
              etc/logrotate.d/qelconnectionserver-tools usr/share/qelConnectionServer/examples/qelcs-remote.conf; do
    [ -f "$root/$file" ] || fail "the tools package lacks $file"
  done
  [ -d "$root/etc/qelcs-remote" ] || fail "the tools package lacks /etc/qelcs-remote"
  grep -q "^ExecReload=/bin/kill -HUP \$MAINPID$" "$root/lib/systemd/system/qelcs-remote@.service" ||
    fail "the packaged client unit cannot reload"
  host_serves "$root/usr/bin/qelcs-host" packaged-agent  # the signed library survived packaging
  local text
  text=$(PKG_CONFIG_SYSROOT_DIR=$root PKG_CONFIG_LIBDIR=$root/usr/$libdir/pkgconfig \
         PKG_CONFIG_ALLOW_SYSTEM_CFLAGS=1 PKG_CONFIG_ALLOW_SYSTEM_LIBS=1 \
         pkg_config_consumer "$scratch/deb-consumer" "$root/usr/$libdir")
  check_status_id "$text"
}

mkdir -p "$scratch"
"case_$case_name"
echo "PASS: $case_name"
