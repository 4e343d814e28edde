#!/usr/bin/env bash
# Runs a search the way a person would (types a keyword, presses Enter) in the real program on
# a virtual X display against the listing simulator, and saves screenshots to docs/screenshots/.
#   scripts/screenshot-search.sh [build-dir]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
display=:${PELIMO_SCREENSHOT_DISPLAY:-77}
source "$root/scripts/lib/xvfb-session.sh" "$@"
start_display "$display"
start_simulator --hits camera=35

start_program
export DISPLAY=$display
xdotool windowfocus --sync "$window"
# The keyboard focus starts in the keyword box.
xdotool type --delay 80 camera
xdotool key Return

# 35 listings come as four pages of ten; wait until the last one was asked for.
all_pages_asked() { [ "$(curl -fs "$base/sim/requests" | grep -c '/bep/xml')" -ge 4 ]; }
wait_for 30 all_pages_asked
sleep 3
import -display "$display" -window root "$work/search-results.png"

# Double-click the first result row: its item page opens in the bottom pane.
geometry=$(xdotool getwindowgeometry --shell "$window")
eval "$geometry"
xdotool mousemove --window "$window" 120 "${PELIMO_SCREENSHOT_ROW_Y:-215}" click --repeat 2 --delay 120 1
sleep 4
import -display "$display" -window root "$out/search.png"

# The orderly shutdown, as at logout.
kill -TERM "$app"
app_gone() { ! kill -0 "$app"; }
wait_for 15 app_gone
test -f "$work/run/env.ini" && echo "env.ini written at exit"
echo "screenshots in $out"
