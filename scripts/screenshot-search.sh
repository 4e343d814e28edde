#!/usr/bin/env bash
# Runs a search the way a person would (types a keyword, presses Enter) in the real program on
# a virtual X display against the listing simulator, and saves screenshots to docs/screenshots/.
#   scripts/screenshot-search.sh [build-dir]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
out="$root/docs/screenshots"
display=:${PELIMO_SCREENSHOT_DISPLAY:-77}
work=$(mktemp -d)
mkdir -p "$out"

pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in "${pids[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

wait_for() { # seconds, command...
    local limit=$1
    shift
    for _ in $(seq $((limit * 10))); do
        if "$@" >/dev/null 2>&1; then
            return 0
        fi
        sleep 0.1
    done
    echo "timed out waiting for: $*" >&2
    return 1
}

Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
wait_for 10 xdpyinfo -display "$display" || wait_for 10 test -e "/tmp/.X11-unix/X${display#:}"

"$build/tools/listing-sim/listing-sim" --port 0 --hits camera=35 >"$work/sim.log" 2>&1 &
pids+=($!)
wait_for 10 grep -q 'listening on' "$work/sim.log"
base=$(sed -n 's/^listing-sim listening on \(http:[^ ]*\)$/\1/p' "$work/sim.log" | head -n 1)

mkdir -p "$work/run"
(
    cd "$work/run"
    export DISPLAY=$display QT_QPA_PLATFORM=xcb
    export PELIMO_LISTING_BASE=$base PELIMO_ITEMPAGE_BASE=$base
    export QTWEBENGINE_DISABLE_SANDBOX=1 QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox --disable-gpu"
    exec "$build/app/pelimo"
) >"$work/pelimo.log" 2>&1 &
app=$!
pids+=("$app")

export DISPLAY=$display
wait_for 30 xdotool search --onlyvisible --name 'Pelimo for zelvo'
window=$(xdotool search --onlyvisible --name 'Pelimo for zelvo' | head -n 1)
sleep 2
xdotool windowfocus --sync "$window"
# The keyboard focus starts in the keyword box.
xdotool type --delay 80 camera
xdotool key Return

# 35 listings come as four pages of ten; wait until the last one was asked for.
all_pages_asked() { [ "$(curl -fs "$base/sim/requests" | grep -c '/bep/xml')" -ge 4 ]; }
wait_for 30 all_pages_asked
sleep 3
import -display "$display" -window root "$out/search-results.png"

# Double-click the first result row: its item page opens in the bottom pane.
geometry=$(xdotool getwindowgeometry --shell "$window")
eval "$geometry"
xdotool mousemove --window "$window" 120 "${PELIMO_SCREENSHOT_ROW_Y:-215}" click --repeat 2 --delay 120 1
sleep 4
import -display "$display" -window root "$out/search-item-page.png"

# The orderly shutdown, as at logout.
kill -TERM "$app"
app_gone() { ! kill -0 "$app"; }
wait_for 15 app_gone
test -f "$work/run/env.ini" && echo "env.ini written at exit"
echo "screenshots in $out"
