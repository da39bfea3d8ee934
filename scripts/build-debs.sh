#!/usr/bin/env bash
# Builds the Debian packages libqelconnectionserver5, libqelconnectionserver-dev and
# qelconnectionserver-tools with debhelper (debian/).
#
#   scripts/build-debs.sh                 build what is installed in build/ (only the
#                                         targets needed), then package that tree into
#                                         build/debs/  (the fast path)
#   scripts/build-debs.sh --no-build      package build/ as it is
#   scripts/build-debs.sh --from-source   full Debian build (dpkg-buildpackage) on a
#                                         copy of the tree in <out>/source: configured
#                                         for /usr, tests off; slow (a full compile)
# Options: --build-dir DIR (default build), --out DIR (default <build dir>/debs).
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$PWD
build_dir=build out= mode=build
while [ $# -gt 0 ]; do
  case "$1" in
    --build-dir) build_dir=$2; shift 2 ;;
    --out) out=$2; shift 2 ;;
    --no-build) mode=prebuilt; shift ;;
    --from-source) mode=source; shift ;;
    -h|--help) sed -n '2,14p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "build-debs.sh: unknown argument '$1' (see --help)" >&2; exit 2 ;;
  esac
done
build_dir=$(realpath -m "$build_dir")
out=$(realpath -m "${out:-$build_dir/debs}")
mkdir -p "$out"
rm -f "$out"/*.deb "$out"/*.ddeb "$out"/*.buildinfo "$out"/*.changes

if [ "$mode" = source ]; then
  rm -rf "$out/source" && mkdir -p "$out/source"
  tar -C "$source_dir" --exclude='./build*' --exclude=./.git -cf - . | tar -C "$out/source" -xf -
  (cd "$out/source" && dpkg-buildpackage -us -uc -b)  # writes the packages into $out
  ls -1 "$out"/*.deb
  exit 0
fi

if [ "$mode" = build ]; then
  cmake -S . -B "$build_dir" >/dev/null
  cmake --build "$build_dir" -j2 --target qel_installable
fi
[ -f "$build_dir/cmake_install.cmake" ] || { echo "build-debs.sh: $build_dir is not a configured build folder" >&2; exit 1; }

# The package version is debian/changelog's; it must be the one the programs print.
built=$(sed -n 's/^#define QEL_VERSION "\(.*\)"$/\1/p' "$build_dir/generated/build_info/qel_build_info.h")
packaged=$(dpkg-parsechangelog -l debian/changelog -S Version)
if [ "${packaged%%-*}" != "$built" ]; then
  echo "build-debs.sh: debian/changelog says $packaged, the build is $built: add a changelog entry" >&2
  exit 1
fi

# debhelper works in ./debian: a scratch copy keeps the source tree untouched.
work="$out/work"
rm -rf "$work" && mkdir -p "$work" && cp -r debian "$work/"
(cd "$work" && QEL_PREBUILT_DIR="$build_dir" QEL_DEB_DIR="$out" DEB_RULES_REQUIRES_ROOT=no \
   debian/rules binary)
ls -1 "$out"/*.deb
