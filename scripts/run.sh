#!/usr/bin/env bash
# Installs what is needed, builds, starts the listing-service simulator on its default
# address and runs the program against it. env.ini and AramList.xml live in run/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$build"

"$build/tools/listing-sim/listing-sim" --port 8931 &
sim=$!
trap 'kill $sim 2>/dev/null || true; wait $sim 2>/dev/null || true' EXIT
export PELIMO_LISTING_BASE=http://127.0.0.1:8931
export PELIMO_ITEMPAGE_BASE=http://127.0.0.1:8931
mkdir -p "$root/run"
cd "$root/run"
if [ "$(id -u)" -eq 0 ]; then
    export QTWEBENGINE_DISABLE_SANDBOX=1
fi
"$build/app/pelimo"
