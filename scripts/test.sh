#!/usr/bin/env bash
# Installs what is needed, builds, and runs the whole test suite through CTest.
#   scripts/test.sh [build-dir] [extra cmake arguments...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build"}
shift || true
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$build" "$@"
cd "$build"
ctest -j "$(nproc)" --output-on-failure --timeout 600
