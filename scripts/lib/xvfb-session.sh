# Shared by the screenshot scripts (sourced): a work folder, background processes ended on
# exit, a bounded wait, a virtual X display and the listing simulator.
#   start_display DISPLAY; start_desktop DISPLAY (window manager and tray);
#   start_simulator [simulator arguments...] (sets $base)
work=$(mktemp -d)
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
