#!/usr/bin/env bash
# Installs every Debian package that the build, the tests, the fuzzers and the
# benchmarks need. Safe to run again: apt-get skips what is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  clang libclang-rt-14-dev
  libgtest-dev libgmock-dev
  libpugixml-dev libcurl4-openssl-dev libcpp-httplib-dev
  libtiff-dev libjpeg62-turbo-dev libqpdf-dev
  qpdf poppler-utils libtiff-tools img2pdf
  libfontconfig-dev
  libwxgtk3.2-dev libgtk-3-dev xvfb xauth openbox libx11-dev libxfixes-dev
  libxtst-dev imagemagick
  curl
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
