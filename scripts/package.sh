#!/usr/bin/env bash
# Builds the Debian package qen-browser_<version>_<arch>.deb in the build folder and prints
# its path. Install it with: sudo apt install ./qen-browser_*.deb
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="${QEN_BUILD_DIR:-$here/build}"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"${QEN_JOBS:-$(nproc)}" >/dev/null
rm -f "$build"/qen-browser_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
ls "$build"/qen-browser_*.deb
