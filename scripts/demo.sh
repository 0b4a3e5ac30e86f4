#!/usr/bin/env bash
# The quick start: installs what is missing, builds the release preset, starts the simulated unit
# pinned as COM1 in a private port directory and behind a proxy server on a free loopback port,
# with one breaker forced into overload, and opens the window programs on it: jvo-config on COM1,
# jvo-monitor through the proxy (the two cannot share one COM port).
#
#   scripts/demo.sh            # everything
#   scripts/demo.sh config     # only jvo-config
#   scripts/demo.sh monitor    # only jvo-monitor
#
# With a display the programs open for you to use; without one (no $DISPLAY) they run under Xvfb:
# jvo-config connects, extracts, selects a breaker and saves a screenshot of its main window;
# jvo-monitor connects, waits for the readings and saves screenshots of both lists in both views
# and of the event log. The paths are printed. Set DEMO_OUT to choose the screenshot folder
# (default: build/demo).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
out=${DEMO_OUT:-$root/build/demo}
bin=$root/build/release
com=1
overload="RACK A2 07"  # a breaker of the simulated unit's cabinet
proxy=""
sim_pid=""
work=""

log() { echo "demo: $*" >&2; }

install_missing() {
    # The build's packages (and a virtual display when there is none); apt's output goes to
    # standard error: standard output carries only the paths.
    local groups=(build)
    [ -n "${DISPLAY:-}" ] || groups+=(xvfb)
    "$root/scripts/deps.sh" "${groups[@]}" >&2
}

build() {
    log "building the release preset"
    # Build output goes to standard error: standard output carries only the screenshot's path.
    (cd "$root" && cmake --preset release >/dev/null &&
        cmake --build --preset release -j"$(nproc)") >&2
}

cleanup() {
    if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; fi
    if [ -n "$work" ]; then rm -rf "$work"; fi
}

# The simulated unit, pinned as COM$com in a private port directory, so that no real serial
# device is touched and no pin is left behind, and served by a proxy server on a free port.
start_sim() {
    work=$(mktemp -d)
    export JVO_PORT_DIR=$work/ports
    mkdir -p "$JVO_PORT_DIR"
    "$bin/sim/jvo-sim" --com "$com" --listen 127.0.0.1:0 --overload "$overload" 2>"$work/sim.log" &
    sim_pid=$!
    for _ in $(seq 100); do
        proxy=$(sed -n 's/^jvo-sim: proxy on \([0-9.:]*\).*/\1/p' "$work/sim.log" | head -n 1)
        [ -e "$JVO_PORT_DIR/com$com" ] && [ -n "$proxy" ] && return 0
        kill -0 "$sim_pid" 2>/dev/null || break
        sleep 0.1
    done
    log "jvo-sim did not start:"; cat "$work/sim.log" >&2
    return 1
}

# Runs a window program: on the display when there is one, else under a virtual X server.
run_windowed() {
    if [ -n "${DISPLAY:-}" ]; then
        "$@"
    else
        xvfb-run -a -s "-screen 0 1280x1024x24" "$@"
    fi
}

demo_config() {
    if [ -n "${DISPLAY:-}" ]; then
        log "jvo-config on COM$com: press Enter in \"Connect...\" to extract the unit's configuration"
        run_windowed "$bin/tool/qt/jvo-config"
        return
    fi
    mkdir -p "$out"
    local shot=$out/jvo-config.png
    log "jvo-config under Xvfb: connect to COM$com, extract, select a breaker, screenshot"
    run_windowed "$bin/tool/qt/jvo-config" --com "$com" --screenshot "$shot" >/dev/null
    echo "$shot"
}

demo_monitor() {
    if [ -n "${DISPLAY:-}" ]; then
        log "jvo-monitor through the proxy at $proxy (\"$overload\" is in overload)"
        run_windowed "$bin/monitor/qt/jvo-monitor" --proxy "$proxy"
        return
    fi
    mkdir -p "$out"
    log "jvo-monitor under Xvfb: connect through the proxy at $proxy, screenshots of both lists,"
    log "both views and the event log (\"$overload\" is in overload)"
    XDG_STATE_HOME=$work/state run_windowed "$bin/monitor/qt/jvo-monitor" --proxy "$proxy" \
        --screenshot "$out"
}

main() {
    local what=${1:-all}
    case $what in
        all | config | monitor) ;;
        -h | --help) sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//'; return 0 ;;
        *) log "unknown part '$what' (all, config, monitor)"; return 64 ;;
    esac
    install_missing
    build
    trap cleanup EXIT
    start_sim
    case $what in
        all) if [ -n "${DISPLAY:-}" ]; then
                 # Both windows at once: the monitor in the background while the tool is used.
                 demo_monitor &
                 demo_config
                 wait
             else
                 demo_config
                 demo_monitor
             fi ;;
        config) demo_config ;;
        monitor) demo_monitor ;;
    esac
}

main "$@"
