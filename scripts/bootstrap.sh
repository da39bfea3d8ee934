#!/usr/bin/env bash
# Installs every Debian package the project needs. Idempotent; run as root on a fresh
# Debian 12 machine. Does nothing when everything is present already.
set -euo pipefail

packages=(
  build-essential cmake pkg-config git
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libxerces-c-dev libmicrohttpd-dev libsodium-dev libcurl4-openssl-dev libgnutls28-dev
  gnutls-bin minisign libxml2-utils python3 curl libc-bin binutils locales
  libsystemd-dev systemd debhelper dpkg-dev clang libclang-rt-14-dev
  man-db groff-base logrotate
  prometheus tinyproxy nginx
)
# prometheus: promtool checks both metrics pages; tinyproxy and nginx: the proxy tests
# run the remote client through them. The tests start their own instances; the
# packages' services are not needed (in a container policy-rc.d keeps them from starting).

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "bootstrap: all ${#packages[@]} packages present"
  exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
  echo "bootstrap: missing ${missing[*]}; run this script as root to install them" >&2
  exit 1
fi
echo "bootstrap: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# The servers among them (nginx, tinyproxy, prometheus) are for the tests, which start
# their own: keep their packages from starting system services while installing.
if [ ! -e /usr/sbin/policy-rc.d ]; then
  printf '#!/bin/sh\nexit 101\n' >/usr/sbin/policy-rc.d
  chmod 755 /usr/sbin/policy-rc.d
  trap 'rm -f /usr/sbin/policy-rc.d' EXIT
fi
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
echo "bootstrap: done"
