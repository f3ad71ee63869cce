#!/usr/bin/env bash
# Installs every Debian 12 package iploc needs to build, run, test, fuzz and benchmark.
# Idempotent and non-interactive; refreshes the package lists only when a package is missing.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config clang-format
  # libraries
  libicu-dev libpcre2-dev libcurl4-openssl-dev libssl-dev openssl
  nlohmann-json3-dev libsqlite3-dev sqlite3 libzip-dev libpugixml-dev
  libfreexl-dev libxlsxwriter-dev libcli11-dev libcpp-httplib-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev tinyproxy
  python3 python3-openpyxl python3-xlwt
  xvfb xauth x11-apps imagemagick fonts-noto-cjk
  # fuzzing and race detection
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
echo "install-deps: installing ${missing[*]}"
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
