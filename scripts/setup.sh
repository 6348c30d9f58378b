#!/usr/bin/env bash
# Installs every Debian 12 package that building, testing, fuzzing (clang; llvm for
# llvm-profdata and llvm-cov, which scripts/fuzz.sh --coverage runs), benchmarking,
# the command-line host and the Debian package (dpkg-dev, lintian, file; man-db checks
# the manual page) need, skipping what is already there. Run as root.
set -euo pipefail

packages=(
  g++ clang llvm cmake ninja-build pkg-config binutils git
  libcairo2-dev libx11-dev libxcursor-dev libxtst-dev libxres-dev libxfixes-dev adwaita-icon-theme fonts-urw-base35
  doctest-dev libbenchmark-dev libsndfile1-dev libclang-rt-14-dev
  xvfb x11-utils
  lv2-dev sordi lilv-utils jalv jackd2
  dpkg-dev lintian file man-db
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup: missing packages: ${missing[*]} (run as root to install them)" >&2
    exit 1
  fi
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  # jackd2 (jalv.gtk3's audio server in the LV2 interface test) asks about real-time limits.
  echo "jackd2 jackd/tweak_rt_limits boolean false" | debconf-set-selections
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
