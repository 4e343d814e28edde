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

# The watch list as the program left it, and settings with the remaining-time alarm on.
watch_alert_listings
printf '[環境設定]\r\nアラーム：残り時間が少なくなったら警告=1\r\nアラーム：残り時間（分）=5\r\nアラーム：リストの色を変える=1\r\n' | sjis >"$work/run/env.ini"

start_program
export DISPLAY=$display
xdotool windowfocus --sync "$window"
update_in_alert_mode
xdotool mousemove --window "$window" 60 "${PELIMO_ALERT_ROW_Y:-197}" click --repeat 2 --delay 120 1
sleep 4
import -display "$display" -window root "$out/alert.png"
echo "screenshot in $out/alert.png"
