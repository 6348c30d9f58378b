#!/usr/bin/env bash
# Installs what is missing, builds the release tree and packs it into the Debian
# package build/release/tessarine_<version>_<arch>.deb (the "deb" target,
# packaging/makedeb.sh), then shows the package's control data and what lintian
# says of it. Install the package with
#   sudo apt install ./build/release/tessarine_<version>_<arch>.deb
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

cmake --preset release
cmake --build --preset release -j "$(nproc)" --target deb
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/release/CMakeCache.txt)
deb=build/release/tessarine_${version}_$(dpkg-architecture -qDEB_HOST_ARCH).deb

dpkg-deb --info "$deb"
# Errors fail the script; warnings and notes are shown.
lintian --fail-on error "$deb"
echo "package: $deb"
