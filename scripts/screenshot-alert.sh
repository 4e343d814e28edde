#!/usr/bin/env bash
# Shows the alert mode the way a person sees it: a watch list of three listings, two of them
# ending within the five-minute threshold, polled with the "更新" button, and one listing
# opened in an alert tab; the tray icon in the top right corner shows the alarm image. Saves
# docs/screenshots/alert.png.
#   scripts/screenshot-alert.sh [build-dir]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
display=:${PELIMO_SCREENSHOT_DISPLAY:-78}
source "$root/scripts/lib/xvfb-session.sh" "$@"
start_display "$display"
start_desktop "$display"
start_simulator

sim_put w1001 "ヴィンテージ 一眼レフ カメラ" "48000円" "3分" NO 21
sim_put w1002 "腕時計 自動巻き 美品" "12800円" "2日" FL 4
sim_put w1003 "クラシック ギター 国産" "30500円" "40秒" NO 9

# The watch list as the program left it, and settings with the remaining-time alarm on.
write_watch_list w1001 w1002 w1003
printf '[環境設定]\r\nアラーム：残り時間が少なくなったら警告=1\r\nアラーム：残り時間（分）=5\r\nアラーム：リストの色を変える=1\r\n' | sjis >"$work/run/env.ini"

start_program
export DISPLAY=$display
xdotool windowfocus --sync "$window"
click() { xdotool mousemove --window "$window" "$1" "$2" click 1; sleep "${3:-1}"; }

click "${PELIMO_ALERT_BUTTON_X:-133}" "${PELIMO_ALERT_BUTTON_Y:-133}"   # "アラート"
click "${PELIMO_UPDATE_BUTTON_X:-747}" "${PELIMO_UPDATE_BUTTON_Y:-397}" 3 # "更新"
xdotool mousemove --window "$window" 60 "${PELIMO_ALERT_ROW_Y:-197}" click --repeat 2 --delay 120 1
sleep 4
import -display "$display" -window root "$out/alert.png"
echo "screenshot in $out/alert.png"
