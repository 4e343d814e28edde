#!/usr/bin/env bash
# Saves a search from its tab's popup menu in the real program on a virtual X display, quits,
# lets two new listings appear in the listing simulator, starts again and saves a screenshot
# of the saved search's tab telling them, to docs/screenshots/saved-search.png.
#   scripts/screenshot-saved-search.sh [build-dir]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
display=:${PELIMO_SCREENSHOT_DISPLAY:-78}
source "$root/scripts/lib/xvfb-session.sh" "$@"
start_display "$display"
start_simulator --hits camera=8

stop_program() {
    kill -TERM "$app"
    app_gone() { ! kill -0 "$app"; }
    wait_for 15 app_gone
}
searches_asked() { [ "$(curl -fs "$base/sim/requests" | grep -c '/bep/xml')" -ge "$1" ]; }

export DISPLAY=$display
start_program
xdotool windowfocus --sync "$window"
xdotool type --delay 80 camera
xdotool key Return
wait_for 30 searches_asked 1
sleep 2

# The tab's popup menu: its second item saves the search.
xdotool mousemove --window "$window" 40 "${PELIMO_SCREENSHOT_TAB_Y:-178}" click 3
sleep 1
xdotool key Down Down Return
wait_for 10 grep -q '<Keyword>camera</Keyword>' "$work/run/SearchList.xml"
stop_program

# Two listings appear while the program is closed.
sim_put n900001 "camera 新品 A" 4800 "2日" NO 0
sim_put n900002 "camera 新品 B" 3500 "5時間" FP 0

start_program
wait_for 30 searches_asked 2
sleep 3
import -display "$display" -window root "$out/saved-search.png"
stop_program
echo "screenshot in $out"
