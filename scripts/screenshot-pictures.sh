#!/usr/bin/env bash
# Shows the listings' pictures on a desktop without a tray: the watch list with its picture
# column, polled with the "更新" button, and dunst on a private session bus showing the alarm's
# notification with the first listing's picture. The pictures come from a small web server of
# their own; then a row's tooltip with its picture. Saves docs/screenshots/pictures-alert.png and
# docs/screenshots/pictures-tooltip.png.
#   scripts/screenshot-pictures.sh [build-dir]
set -euo pipefail
if [ -z "${PELIMO_SCREENSHOT_BUS:-}" ]; then
    PELIMO_SCREENSHOT_BUS=1 exec dbus-run-session -- "$0" "$@"
fi
root=$(cd "$(dirname "$0")/.." && pwd)
display=:${PELIMO_SCREENSHOT_DISPLAY:-78}
source "$root/scripts/lib/xvfb-session.sh" "$@"
mkdir -p "$work/config" "$work/pictures/img"
# A cache folder of the run's own, so the pictures are fetched as on a first start.
export XDG_CACHE_HOME="$work/cache"

start_display "$display"
start_simulator
DISPLAY=$display XDG_CONFIG_HOME="$work/config" dunst >"$work/dunst.log" 2>&1 &
pids+=($!)
wait_for 10 sh -c 'dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner string:org.freedesktop.Notifications | grep -q true'

# A picture for each listing: a shape of its own colour on a light backdrop.
convert -size 400x300 xc:'#ecebe4' -fill '#b03a2e' -draw 'roundrectangle 110,60 290,240 18,18' \
    -fill '#5b1d17' -draw 'circle 200,150 200,110' "$work/pictures/img/w1001.jpg"
convert -size 400x300 xc:'#ecebe4' -fill '#c9a227' -draw 'circle 200,150 200,60' \
    -fill '#7a5c00' -draw 'rectangle 195,60 205,150' "$work/pictures/img/w1002.jpg"
convert -size 400x300 xc:'#ecebe4' -fill '#2e6fb0' -draw 'polygon 200,40 300,250 100,250' \
    "$work/pictures/img/w1003.jpg"
picport=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
python3 -m http.server "$picport" --bind 127.0.0.1 --directory "$work/pictures" >"$work/pictures.log" 2>&1 &
pids+=($!)
wait_for 10 curl -fs "http://127.0.0.1:$picport/img/w1001.jpg" -o /dev/null

put_with_picture() { # ItemNo name price remain type bids
    curl -fs "$base/sim/put?ItemNo=$1&ItemName=$(enc "$2")&CurrentPrice=$(enc "$3")&RemainTime=$(enc "$4")&AuctionType=$5&BidNum=$6&ItemNum=1&ImageUrl=$(enc "http://127.0.0.1:$picport/img/$1.jpg")" >/dev/null
}
put_with_picture w1001 "ヴィンテージ 一眼レフ カメラ" "48000円" "3分" NO 21
put_with_picture w1002 "腕時計 自動巻き 美品" "12800円" "2日" FL 4
put_with_picture w1003 "クラシック ギター 国産" "30500円" "40秒" NO 9
write_watch_list w1001 w1002 w1003
printf '[環境設定]\r\nアラーム：残り時間が少なくなったら警告=1\r\nアラーム：残り時間（分）=5\r\nアラーム：リストの色を変える=1\r\nアラーム：ポップアップ=1\r\n' | sjis >"$work/run/env.ini"

start_program
export DISPLAY=$display
xdotool windowfocus --sync "$window"
update_in_alert_mode
wait_for 10 sh -c '[ "$(dunstctl count displayed)" -ge 1 ]'
# The notification waits a moment for its picture; the list's thumbnails come meanwhile.
sleep 3
grep -q 'GET /img/w1001.jpg' "$work/pictures.log"
xdotool mousemove 0 767
sleep 1
import -display "$display" -window root "$out/pictures-alert.png"

# A rest on the last row shows its tooltip: the text at once, then the picture.
dunstctl close-all
xdotool mousemove --window "$window" 300 313
sleep 0.3
xdotool mousemove --window "$window" 302 314
sleep 3
import -display "$display" -window root "$out/pictures-tooltip.png"
echo "screenshots in $out/pictures-alert.png and $out/pictures-tooltip.png"
