#!/usr/bin/env bash
# Builds the Debian package with CPack: scripts/package.sh [build-dir]
# An existing build tree is reused as it is configured (.ci/run passes its own); a new one is
# configured for the program alone, without the tests and benchmarks. The package's path is
# the only line on standard output; everything else goes to standard error.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build-package"}
{
    "$root/scripts/install-deps.sh"
    if [ ! -f "$build/CMakeCache.txt" ]; then
        cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
            -DPELIMO_BUILD_TESTS=OFF -DPELIMO_BUILD_BENCH=OFF
    fi
    cmake --build "$build" -j "$(nproc)" --target pelimo pelimo_desktop_files
    rm -f "$build"/pelimo_*.deb
    (cd "$build" && cpack -G DEB)
} >&2
ls "$build"/pelimo_*.deb
