#!/usr/bin/env bash
# Starts the program offscreen against the simulator, stops it with SIGTERM, and checks that
# the orderly shutdown ran: exit status 0 and env.ini written.
set -euo pipefail
build=${1:?build dir}
work=$(mktemp -d)
trap 'kill $sim 2>/dev/null || true; rm -rf "$work"' EXIT
"$build/tools/listing-sim/listing-sim" --port 0 > "$work/sim.out" &
sim=$!
for _ in $(seq 100); do grep -q listening "$work/sim.out" && break; sleep 0.1; done
base=$(sed -n 's/.*listening on \(http[^ ]*\).*/\1/p' "$work/sim.out")
[ -n "$base" ] || { echo "simulator did not start"; exit 1; }
cd "$work"
QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1 PELIMO_LISTING_BASE="$base" PELIMO_ITEMPAGE_BASE="$base" \
    "$build/app/pelimo" &
app=$!
sleep 5
kill -TERM $app
status=0
timeout 30 tail --pid=$app -f /dev/null || { echo "program did not stop after SIGTERM"; kill -KILL $app; exit 1; }
wait $app || status=$?
[ "$status" -eq 0 ] || { echo "program exited with $status"; exit 1; }
[ -s "$work/env.ini" ] || { echo "env.ini was not written at exit"; exit 1; }
echo "smoke start passed"
