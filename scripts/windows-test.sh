#!/usr/bin/env bash
# The stage "windows" of scripts/test.sh: the cross build for 64-bit Windows and its tests under
# Wine, in a Wine prefix of its own (build/windows/wine).
#
#   scripts/windows-test.sh
#
# 1. Installs mingw-w64, Wine, NSIS and the rest of the deps.sh group "windows" when missing.
# 2. The Qt kit for the window programs: unpacked once from ../shared/windows-qt into
#    ${XDG_CACHE_HOME:-~/.cache}/jvo/windows-qt (see scripts/windows-qt.sh). Without it the window
#    programs are skipped, with one line saying why; everything else still runs.
# 3. Builds the preset "windows" and runs its test suites under Wine (ctest --preset windows),
#    with the simulator as COM7 for the serial port's test.
# 4. scripts/windows-journey.sh: jvoctl.exe against the Linux jvo-sim over COM7 and the proxy.
# 5. With the kit: jvo-config.exe and jvo-monitor.exe under Wine on Xvfb against the Linux jvo-sim
#    on COM7 (one breaker forced into overload, whose red icon the monitor's screenshot must
#    show); screenshots in build/windows/shots.
# 6. The zip and the installer (target windows-package): the installer installs silently, the
#    installed jvoctl.exe --help works, the uninstaller leaves nothing behind; the zip, unpacked
#    into a fresh prefix outside the build tree, runs the jvoctl.exe journey and the window
#    programs.
# Exits non-zero when any step fails.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=$root/build/windows
shots=$build/shots
export WINEDEBUG=-all
export WINEPREFIX=$build/wine
# shellcheck source=scripts/windows-lib.sh
. "$root/scripts/windows-lib.sh"
status=0
step() { echo "--- windows: $*"; }
failed() { echo "windows: FAILED: $*" >&2; status=1; }

scripts/deps.sh build windows || exit 1

# The Linux simulator and jvoctl that the journeys run against: from the debug or the ci-release
# build, made in the debug build when neither has them.
linux=""
for b in debug ci-release; do
    if [ -x "$root/build/$b/sim/jvo-sim" ] && [ -x "$root/build/$b/ctl/jvoctl" ]; then linux=$root/build/$b; break; fi
done
if [ -z "$linux" ]; then
    step "building the Linux jvo-sim and jvoctl (debug)"
    cmake --preset debug >/dev/null && cmake --build --preset debug -j2 --target jvo-sim jvoctl >/dev/null ||
        { failed "the Linux jvo-sim and jvoctl did not build"; exit 1; }
    linux=$root/build/debug
fi

kit=""
kit_reason=""
if kit=$(scripts/windows-qt.sh 2>"$build.kit-reason"); then :; else
    kit=""
    kit_reason=$(cat "$build.kit-reason")
fi
rm -f "$build.kit-reason"

step "building the preset windows${kit:+ with the Qt kit}"
cmake --preset windows -DJVO_WINDOWS_QT="$kit" >"$build.configure.log" 2>&1 ||
    { cat "$build.configure.log"; failed "cmake --preset windows"; exit 1; }
rm -f "$build.configure.log"
cmake --build --preset windows -j2 || { failed "the Windows build"; exit 1; }

win_prefix || exit 1

step "the test suites under Wine"
# win32_tests waits on the port of a live unit: the simulator as COM7.
if win_start_sim "$linux/sim/jvo-sim" "$build/ctest-sim"; then
    JVO_TEST_COM=7 ctest --preset windows -j2 || failed "ctest --preset windows"
    win_stop_sim
else
    failed "no simulated unit for the test suites"
fi

step "jvoctl.exe against the simulated unit"
rm -rf "$build/journey"
scripts/windows-journey.sh "$build/bin" "$linux/sim/jvo-sim" "$linux/ctl/jvoctl" "$build/journey" ||
    failed "the jvoctl.exe journey"

# window_journeys BIN: both window programs from BIN against the simulator on COM7, the breaker
# "RACK A2 07" in overload; screenshots under $shots with the given prefix.
window_journeys() {
    local bin=$1 prefix=$2
    win_start_sim "$linux/sim/jvo-sim" "$build/window-sim" --overload "RACK A2 07" || return 1
    local ok=0
    win_windowed "$bin/jvo-config.exe" --com 7 --screenshot "Z:$shots/${prefix}config-com7.png" \
        >"$build/config.log" 2>&1 || { cat "$build/config.log"; ok=1; }
    [ -s "$shots/${prefix}config-com7.png" ] || { echo "jvo-config.exe wrote no screenshot" >&2; ok=1; }
    mkdir -p "$shots/${prefix}monitor"
    win_windowed "$bin/jvo-monitor.exe" --com 7 --screenshot "Z:$shots/${prefix}monitor" \
        >"$build/monitor.log" 2>&1 || { cat "$build/monitor.log"; ok=1; }
    for f in breakers-table breakers-icons subfeeds-icons subfeeds-table eventlog; do
        [ -s "$shots/${prefix}monitor/monitor-$f.png" ] ||
            { echo "jvo-monitor.exe wrote no $f screenshot" >&2; ok=1; }
    done
    # The overloaded breaker's red icon among the green ones.
    win_alarm_icons "$shots/${prefix}monitor/monitor-breakers-icons.png" || ok=1
    win_stop_sim
    return $ok
}

if [ -n "$kit" ]; then
    step "jvo-config.exe and jvo-monitor.exe on Xvfb"
    rm -rf "$shots"
    mkdir -p "$shots"
    window_journeys "$build/bin" "" || failed "the window programs' journeys"
else
    echo "windows: window programs skipped: $kit_reason"
fi

step "the zip and the installer"
if cmake --build --preset windows --target windows-package >"$build/package.log" 2>&1; then
    scripts/windows-package-test.sh "$build" "$linux/sim/jvo-sim" "$linux/ctl/jvoctl" ${kit:+--windows} ||
        failed "the zip or the installer"
else
    cat "$build/package.log"
    failed "the target windows-package"
fi

exit $status
