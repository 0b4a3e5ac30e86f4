# Shell functions of the Windows test scripts (sourced, not run): a Wine prefix of the caller's
# own, and the Linux simulated unit seen in that prefix as COM7 and behind a loopback proxy port.

# Makes the Wine prefix $WINEPREFIX when it is not there yet (quietly, about 15 s).
win_prefix() {
    : "${WINEPREFIX:?must name a Wine prefix of its own}"
    export WINEDEBUG=${WINEDEBUG:--all}
    [ -f "$WINEPREFIX/system.reg" ] && return 0
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 && wineserver -w
    [ -f "$WINEPREFIX/system.reg" ] || { echo "windows: wineboot made no prefix in $WINEPREFIX" >&2; return 1; }
}

# win_start_sim SIM WORK [jvo-sim options...]: starts the Linux jvo-sim on a pty and a loopback
# port, links the pty as COM7 in $WINEPREFIX and lists COM7 in the registry's SERIALCOMM, as a
# driver would. Sets SIM_PID, SIM_PTY and SIM_PROXY (ADDR:PORT).
win_start_sim() {
    local sim=$1 work=$2
    shift 2
    mkdir -p "$work"
    : >"$work/sim.log"  # there before the loop below reads it
    "$sim" --listen 127.0.0.1:0 "$@" >"$work/sim.log" 2>&1 &
    SIM_PID=$!
    SIM_PTY="" SIM_PROXY=""
    for _ in $(seq 100); do
        SIM_PTY=$(sed -n 's/^jvo-sim: unit on \(.*\)$/\1/p' "$work/sim.log" | head -n 1)
        SIM_PROXY=$(sed -n 's/^jvo-sim: proxy on \([0-9.:]*\).*/\1/p' "$work/sim.log" | head -n 1)
        [ -n "$SIM_PTY" ] && [ -n "$SIM_PROXY" ] && break
        kill -0 "$SIM_PID" 2>/dev/null || break
        sleep 0.1
    done
    if [ -z "$SIM_PTY" ] || [ -z "$SIM_PROXY" ]; then
        echo "windows: jvo-sim did not start: $(cat "$work/sim.log")" >&2
        return 1
    fi
    ln -sfn "$SIM_PTY" "$WINEPREFIX/dosdevices/com7"
    wine reg add 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' /v JvoTest /t REG_SZ /d COM7 /f >/dev/null 2>&1
}

win_stop_sim() {
    if [ -n "${SIM_PID:-}" ]; then
        kill "$SIM_PID" 2>/dev/null || true
        wait "$SIM_PID" 2>/dev/null || true
    fi
    SIM_PID=""
    rm -f "$WINEPREFIX/dosdevices/com7"
}

# Paths given to a Windows program are Wine's: Z: is the Linux root (Z:/tmp/x for /tmp/x).
# win_windowed PROGRAM ARGS...: a window program under Wine on a virtual display of its own, with
# Qt's FreeType font engine (Wine's GDI leaves the text of line edits out).
# Wine's desktop process stays with the display it first saw: each run waits for the Wine server of
# the run before to end, and ends its own, so that the program sees its own 1600x1000 screen.
win_windowed() {
    wineserver -w
    local rc=0
    timeout 180 xvfb-run -a -s "-screen 0 1600x1000x24" sh -c 'wine "$@"; rc=$?; wineserver -w; exit $rc' \
        sh "$@" -platform windows:fontengine=freetype || rc=$?
    return $rc
}

# win_alarm_icons SHOT: the monitor's breaker list in icons shows a red (alarm) icon and green
# ones: the pixels of each colour in the icons' column, left of x=60 below the main feed's box.
win_alarm_icons() {
    local here red green
    here=$(dirname "${BASH_SOURCE[0]}")
    red=$(python3 "$here/png-count.py" "$1" 0 240 60 100000 200 255 0 110 0 110) || return 1
    green=$(python3 "$here/png-count.py" "$1" 0 240 60 100000 0 120 140 255 0 140) || return 1
    if [ "$red" -lt 20 ] || [ "$green" -lt 200 ]; then
        echo "windows: $1 shows $red red and $green green icon pixels" >&2
        return 1
    fi
}
