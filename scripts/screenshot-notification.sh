#!/usr/bin/env bash
# Shows an alarm reaching a desktop without a tray: the watch list polled with the "更新"
# button, two listings ending within the threshold, the popup setting on, and dunst on a
# private session bus showing the notification. Saves docs/screenshots/notification.png.
#   scripts/screenshot-notification.sh [build-dir]
set -euo pipefail
if [ -z "${PELIMO_SCREENSHOT_BUS:-}" ]; then
    PELIMO_SCREENSHOT_BUS=1 exec dbus-run-session -- "$0" "$@"
fi
root=$(cd "$(dirname "$0")/.." && pwd)
display=:${PELIMO_SCREENSHOT_DISPLAY:-79}
source "$root/scripts/lib/xvfb-session.sh" "$@"
mkdir -p "$work/config"

start_display "$display"
start_simulator
# The system's dunstrc, not one of whoever runs the script.
DISPLAY=$display XDG_CONFIG_HOME="$work/config" dunst >"$work/dunst.log" 2>&1 &
pids+=($!)
# Asked of the bus itself: a call to the service would start another dunst, without a display.
wait_for 10 sh -c 'dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner string:org.freedesktop.Notifications | grep -q true'

watch_alert_listings
printf '[環境設定]\r\nアラーム：残り時間が少なくなったら警告=1\r\nアラーム：残り時間（分）=5\r\nアラーム：リストの色を変える=1\r\nアラーム：ポップアップ=1\r\n' | sjis >"$work/run/env.ini"

start_program
export DISPLAY=$display
xdotool windowfocus --sync "$window"
update_in_alert_mode
wait_for 10 sh -c '[ "$(dunstctl count displayed)" -ge 1 ]'
xdotool mousemove 0 767
sleep 1
import -display "$display" -window root "$out/notification.png"
echo "screenshot in $out/notification.png"
