#!/usr/bin/env bash
# What a Windows user gets, tried under Wine (part of scripts/windows-test.sh):
#
#   scripts/windows-package-test.sh BUILD LINUX_SIM LINUX_JVOCTL [--windows]
#
# BUILD is build/windows after its target windows-package. The installer installs silently (/S)
# into $WINEPREFIX for this user alone; the installed jvoctl.exe --help exits 0 with its usage; the
# Start-menu entries and the uninstaller's registry key are there; the uninstaller (/S) then
# removes every one of them and the install folder. The zip is unpacked into a new Wine prefix of
# its own under a temporary folder (no build tree on any path): its jvoctl.exe runs --help and
# scripts/windows-journey.sh (ports, info, extract, install over COM7 and through the proxy)
# against the Linux jvo-sim; with --windows also both window programs (screenshots in
# BUILD/shots/zip-*).
set -euo pipefail
abs() { echo "$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"; }
build=$(cd "$1" && pwd) sim=$(abs "$2") ctl=$(abs "$3")
windows=${4:-}
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=scripts/windows-lib.sh
. "$root/scripts/windows-lib.sh"
: "${WINEPREFIX:?must name a Wine prefix of its own}"
export WINEDEBUG=-all
fail() { echo "windows-package-test: FAILED: $*" >&2; exit 1; }
setup=$(ls "$build"/jvo-*-windows-x64-setup.exe 2>/dev/null | head -n 1)
zip=$(ls "$build"/jvo-*-windows-x64.zip 2>/dev/null | head -n 1)
[ -n "$setup" ] || fail "no installer in $build"
[ -n "$zip" ] || fail "no zip in $build"

# The installer, silently, for this user.
user_dir=$(wine cmd /c 'echo %LOCALAPPDATA%' 2>/dev/null | tr -d '\r')
appdata=$(wine cmd /c 'echo %APPDATA%' 2>/dev/null | tr -d '\r')
inst=$(winepath -u "$user_dir\\Programs\\JVO" 2>/dev/null)
menu=$(winepath -u "$appdata\\Microsoft\\Windows\\Start Menu\\Programs\\JVO" 2>/dev/null)
key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\JVO'
[ -n "$inst" ] && [ -n "$menu" ] || fail "Wine names no folder for this user's programs"
[ ! -e "$inst" ] || fail "$inst is there before the install"
wine "$setup" /S || fail "the silent install: exit status $?"
wineserver -w
[ -x "$inst/jvoctl.exe" ] || fail "no jvoctl.exe in $inst"
wine "$inst/jvoctl.exe" --help >"$build/installed-help.txt" || fail "the installed jvoctl.exe --help: exit status $?"
grep -q '^Usage: jvoctl COMMAND' "$build/installed-help.txt" || fail "the installed jvoctl.exe printed no usage"
[ -f "$menu/Uninstall JVO.lnk" ] || fail "no Start-menu entry for the uninstaller"
if [ "$windows" = --windows ]; then
    [ -f "$menu/JVO Config Tool.lnk" ] || fail "no Start-menu entry \"JVO Config Tool\""
    [ -f "$menu/JVO∕TKA Monitor.lnk" ] || fail "no Start-menu entry \"JVO∕TKA Monitor\""
fi
wine reg query "$key" /v UninstallString >/dev/null 2>&1 || fail "no uninstall entry in the registry"

# The uninstaller copies itself away and goes on alone: its end is seen by the folder's going.
wine "$inst/Uninstall.exe" /S || fail "the silent uninstall: exit status $?"
for _ in $(seq 600); do
    [ -e "$inst" ] || break
    sleep 0.1
done
wineserver -w
[ ! -e "$inst" ] || fail "the uninstaller left $(find "$inst" | head -n 5 | tr '\n' ' ')"
[ ! -e "$menu" ] || fail "the uninstaller left the Start-menu folder $menu"
if wine reg query "$key" >/dev/null 2>&1; then fail "the uninstaller left $key"; fi
echo "windows-package-test: installed, ran jvoctl.exe --help, uninstalled without a trace: ok"

# The zip in a new prefix, far from the build tree.
fresh=$(mktemp -d /tmp/jvo-zip.XXXXXX)
trap 'win_stop_sim; wineserver -k 2>/dev/null || true; rm -rf "$fresh"' EXIT
export WINEPREFIX=$fresh/prefix
win_prefix || fail "no fresh prefix"
mkdir -p "$WINEPREFIX/drive_c/Tools"
(cd "$WINEPREFIX/drive_c/Tools" && unzip -q "$zip") || fail "the zip does not unpack"
dir=$(ls -d "$WINEPREFIX"/drive_c/Tools/JVO-* | head -n 1)
# Only the zip's own folder and Windows' own in the program's search path: WINEPATH unset, and
# run from C:\ rather than from the build tree.
unset WINEPATH
cd "$WINEPREFIX/drive_c"
wine "$dir/jvoctl.exe" --help >"$fresh/help.txt" || fail "the zip's jvoctl.exe --help: exit status $?"
grep -q '^Usage: jvoctl COMMAND' "$fresh/help.txt" || fail "the zip's jvoctl.exe printed no usage"
"$root/scripts/windows-journey.sh" "$dir" "$sim" "$ctl" "$fresh/journey" || fail "the zip's jvoctl.exe journey"
win_start_sim "$sim" "$fresh/sim" --overload "RACK A2 07" || fail "no simulated unit"
if [ "$windows" = --windows ]; then
    mkdir -p "$build/shots/zip-monitor"
    win_windowed "$dir/jvo-config.exe" --com 7 --screenshot "Z:$build/shots/zip-config-com7.png" \
        >"$fresh/config.log" 2>&1 || fail "the zip's jvo-config.exe: $(cat "$fresh/config.log")"
    [ -s "$build/shots/zip-config-com7.png" ] || fail "the zip's jvo-config.exe wrote no screenshot"
    win_windowed "$dir/jvo-monitor.exe" --proxy "$SIM_PROXY" --screenshot "Z:$build/shots/zip-monitor" \
        >"$fresh/monitor.log" 2>&1 || fail "the zip's jvo-monitor.exe: $(cat "$fresh/monitor.log")"
    win_alarm_icons "$build/shots/zip-monitor/monitor-breakers-icons.png" ||
        fail "the zip's jvo-monitor.exe shows no overloaded breaker"
fi
echo "windows-package-test: the zip in a fresh prefix ran the jvoctl.exe journey${windows:+ and both window programs}: ok"
