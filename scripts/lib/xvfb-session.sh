# Shared by the screenshot scripts, sourced with the script's arguments once $root (the
# checkout) and $display are set: the build folder $build (the first argument, else
# $root/build), the output folder $out, a work folder with the program's working folder
# $work/run, background processes ended on exit, a bounded wait, a virtual X display, the
# listing simulator and the program itself.
#   start_display DISPLAY; start_desktop DISPLAY (window manager and tray);
#   start_simulator [simulator arguments...] (sets $base); sim_put; write_watch_list;
#   start_program (sets $app and $window); watch_alert_listings; update_in_alert_mode
build=$(cd "${1:-$root/build}" && pwd)
out="$root/docs/screenshots"
mkdir -p "$out"
work=$(mktemp -d)
mkdir -p "$work/run"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

wait_for() { # seconds, command...
    local limit=$1
    shift
    for _ in $(seq $((limit * 10))); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    echo "timed out waiting for: $*" >&2
    return 1
}

start_display() {
    Xvfb "$1" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
    pids+=($!)
    wait_for 10 test -e "/tmp/.X11-unix/X${1#:}"
}

# openbox, so that the window has a frame and minimising behaves as on a desktop, and an
# XEmbed tray (trayer) in the top right corner, where the program's tray icon docks.
start_desktop() {
    DISPLAY=$1 openbox --sm-disable >"$work/openbox.log" 2>&1 &
    pids+=($!)
    wait_for 10 env DISPLAY="$1" sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"'
    DISPLAY=$1 trayer --edge top --align right --widthtype request --height 24 --SetDockType true \
        --transparent false --tint 0xffffff >"$work/trayer.log" 2>&1 &
    pids+=($!)
    wait_for 10 env DISPLAY="$1" sh -c 'xwininfo -root -tree | grep -q "\"panel\""'
}

start_simulator() {
    "$build/tools/listing-sim/listing-sim" --port 0 "$@" >"$work/sim.log" 2>&1 &
    pids+=($!)
    wait_for 10 grep -q 'listening on' "$work/sim.log"
    base=$(sed -n 's/^listing-sim listening on \(http:[^ ]*\)$/\1/p' "$work/sim.log" | head -n 1)
}

sjis() { iconv -f UTF-8 -t CP932; }
enc() { python3 -c 'import sys, urllib.parse; print(urllib.parse.quote(sys.argv[1]))' "$1"; }

# Pins a listing in the simulator with exactly these fields.
sim_put() { # ItemNo name price remain type bids
    curl -fs "$base/sim/put?ItemNo=$1&ItemName=$(enc "$2")&CurrentPrice=$(enc "$3")&RemainTime=$(enc "$4")&AuctionType=$5&BidNum=$6&ItemNum=1&ImageUrl=" >/dev/null
}

# The watch list as the program left it, holding only the listings' numbers; the program
# fetches the rest.
write_watch_list() { # ItemNo...
    {
        printf "<?xml version='1.0' encoding='Shift_JIS'?>\n<root>\n"
        for n in "$@"; do
            printf '<ItemInfo>\n<ItemNo>%s</ItemNo>\n<ItemName>-</ItemName>\n<BidNum>-</BidNum>\n<CurrentPrice>-</CurrentPrice>\n<RemainTime>-</RemainTime>\n<ImageUrl></ImageUrl>\n<ItemNum>-</ItemNum>\n<AuctionType>NO</AuctionType>\n</ItemInfo>\n' "$n"
        done
        printf '</root>\n'
    } >"$work/run/AramList.xml"
}

# Starts the program in $work/run on $display against the simulator and waits for its
# window, and a little longer for its first frames.
start_program() {
    (
        cd "$work/run"
        export DISPLAY=$display QT_QPA_PLATFORM=xcb
        export PELIMO_LISTING_BASE=$base PELIMO_ITEMPAGE_BASE=$base
        export QTWEBENGINE_DISABLE_SANDBOX=1 QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox --disable-gpu"
        exec "$build/app/pelimo"
    ) >>"$work/pelimo.log" 2>&1 &
    app=$!
    pids+=("$app")
    wait_for 30 env DISPLAY="$display" xdotool search --onlyvisible --name 'Pelimo for zelvo'
    # The first window may be replaced by another as the web view joins it (a surface of
    # another kind): the one to drive is the one there once the start-up has settled.
    sleep 2
    wait_for 30 env DISPLAY="$display" xdotool search --onlyvisible --name 'Pelimo for zelvo'
    window=$(DISPLAY=$display xdotool search --onlyvisible --name 'Pelimo for zelvo' | head -n 1)
}

# The alert screenshots' watch list: three listings, two of them ending within the five-minute
# threshold, pinned in the simulator and written as the program left them.
watch_alert_listings() {
    sim_put w1001 "ヴィンテージ 一眼レフ カメラ" "48000円" "3分" NO 21
    sim_put w1002 "腕時計 自動巻き 美品" "12800円" "2日" FL 4
    sim_put w1003 "クラシック ギター 国産" "30500円" "40秒" NO 9
    write_watch_list w1001 w1002 w1003
}

# Switches the program's window to the alert mode and presses "更新".
update_in_alert_mode() {
    xdotool mousemove --window "$window" "${PELIMO_ALERT_BUTTON_X:-133}" "${PELIMO_ALERT_BUTTON_Y:-133}" click 1
    sleep 1
    xdotool mousemove --window "$window" "${PELIMO_UPDATE_BUTTON_X:-747}" "${PELIMO_UPDATE_BUTTON_Y:-397}" click 1
    sleep 3
}
