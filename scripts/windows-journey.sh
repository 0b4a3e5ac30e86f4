#!/usr/bin/env bash
# jvoctl.exe under Wine against the Linux simulated unit, as a field engineer would use it: the
# unit on a pseudo-terminal that the Wine prefix sees as COM7 (its dosdevices/com7 links to it),
# and the same unit behind the simulator's proxy listener on a loopback port of its own.
#
#   scripts/windows-journey.sh WINDOWS_BIN LINUX_SIM LINUX_JVOCTL WORK
#
# WINDOWS_BIN holds jvoctl.exe (and the DLLs it needs), LINUX_SIM and LINUX_JVOCTL are the Linux
# jvo-sim and jvoctl, WORK a folder for the files. $WINEPREFIX must be a prefix of the caller's
# own (it gets a com7 link and a SERIALCOMM entry). Checks: `ports` lists COM7; `info` over COM7
# and through the proxy says what the Linux jvoctl says; `extract` over COM7 and through the proxy
# gives the same file, byte for byte, as the Linux jvoctl's extract of the same unit; COM7 is found
# without its SERIALCOMM entry too; the registry's service-user value gives `events` the Service
# log; `install` of
# another file over COM7, which an extract through the proxy gives back; tls:// is refused with
# its reason; jvo-sim.exe serves the same unit behind its listener, to either jvoctl. Exits non-zero on the
# first failed check.
set -euo pipefail
abs() { echo "$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"; }
mkdir -p "$4"
win_bin=$(cd "$1" && pwd) sim=$(abs "$2") ctl=$(abs "$3") work=$(cd "$4" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
: "${WINEPREFIX:?must name a Wine prefix of its own}"
export WINEDEBUG=${WINEDEBUG:--all}
com=7
# shellcheck source=scripts/windows-lib.sh
. "$root/scripts/windows-lib.sh"

fail() { echo "windows-journey: FAILED: $*" >&2; exit 1; }
trap win_stop_sim EXIT
wine_ctl() { wine "$win_bin/jvoctl.exe" "$@"; }

win_start_sim "$sim" "$work" || fail "no simulated unit"
# The Windows programs get the files' names relative to the work folder, on Wine's Z: drive.
cd "$work"
pty=$SIM_PTY proxy=$SIM_PROXY

wine_ctl ports >"$work/ports.txt" || fail "jvoctl.exe ports: exit status $?"
grep -q "^COM$com " "$work/ports.txt" || fail "jvoctl.exe ports does not list COM$com: $(cat "$work/ports.txt")"

# Without its SERIALCOMM entry the port is still found, by trying COM1 to COM32.
wine reg delete 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' /v JvoTest /f >/dev/null 2>&1 ||
    fail "could not take COM$com out of SERIALCOMM"
wine_ctl ports >"$work/ports-probed.txt" || fail "jvoctl.exe ports without SERIALCOMM: exit status $?"
grep -q "^COM$com " "$work/ports-probed.txt" || fail "jvoctl.exe ports does not find COM$com by trying"

wine_ctl info --com $com >"$work/info-com.txt" || fail "jvoctl.exe info --com $com: exit status $?"
wine_ctl info --proxy "$proxy" >"$work/info-proxy.txt" || fail "jvoctl.exe info --proxy: exit status $?"
"$ctl" info --device "$pty" >"$work/info-linux.txt" || fail "Linux jvoctl info: exit status $?"
for f in info-com info-proxy; do
    # The status value counts up between requests; everything else is the same unit.
    diff <(grep -v '^Status:' "$work/$f.txt" | tr -d '\r') <(grep -v '^Status:' "$work/info-linux.txt") >/dev/null ||
        fail "$f differs from the Linux jvoctl's info"
done
grep -q '^Version text: *JVO SIM' "$work/info-com.txt" || fail "info over COM$com names no unit"

# No OpenSSL in the Windows build: tls:// is refused, with the reason.
: >"$work/none.pem"
if wine_ctl info --proxy "tls://$proxy" --tls-ca none.pem --tls-cert none.pem \
    --tls-key none.pem >"$work/info-tls.txt" 2>&1; then
    fail "info --proxy tls:// was not refused"
fi
grep -q 'built without OpenSSL' "$work/info-tls.txt" || fail "the refusal of tls:// gives no reason: $(cat "$work/info-tls.txt")"

"$ctl" extract --device "$pty" -o "$work/linux.jvo.cfg" --yes --quiet >"$work/extract-linux.log" 2>&1 ||
    fail "Linux jvoctl extract: $(cat "$work/extract-linux.log")"
wine_ctl extract --com $com -o "com.jvo.cfg" --yes --quiet >"$work/extract-com.log" 2>&1 ||
    fail "jvoctl.exe extract --com $com: $(cat "$work/extract-com.log")"
wine_ctl extract --proxy "$proxy" -o "proxy.jvo.cfg" --yes --quiet >"$work/extract-proxy.log" 2>&1 ||
    fail "jvoctl.exe extract --proxy: $(cat "$work/extract-proxy.log")"
[ -s "$work/linux.jvo.cfg" ] || fail "the Linux extract is empty"
cmp "$work/linux.jvo.cfg" "$work/com.jvo.cfg" || fail "extract over COM$com differs from Linux's"
cmp "$work/linux.jvo.cfg" "$work/proxy.jvo.cfg" || fail "extract through the proxy differs from Linux's"

# The service user's registry value gives the Service event log (the value is removed again:
# the prefix is this script's caller's own).
user_key='HKCU\SOFTWARE\Tessaly Corporation\JVO'
wine_ctl events --proxy "$proxy" -o "events-user.csv" >/dev/null 2>&1 || fail "jvoctl.exe events"
wine reg add "$user_key" /v 'ZQT User' /t REG_DWORD /d 1 /f >/dev/null 2>&1 || fail "reg add $user_key"
wine_ctl events --proxy "$proxy" -o "events-service.csv" >/dev/null 2>&1 ||
    fail "jvoctl.exe events as a service user"
wine reg delete "$user_key" /f >/dev/null 2>&1 || true
grep -q 'SERVICE EVENT LOG' "$work/events-user.csv" && fail "the Service log without the registry value"
grep -q 'SERVICE EVENT LOG' "$work/events-service.csv" || fail "no Service log for the service user"

# Install another configuration (the factory one of the fuzz corpus) over COM7; the unit gives
# it back through the proxy, byte for byte.
cp "$root/fuzz/corpus/config_file/factory" "$work/factory.jvo.cfg"
factory=$work/factory.jvo.cfg
cmp -s "$factory" "$work/linux.jvo.cfg" && fail "the factory configuration is the unit's own already"
wine_ctl install --com $com factory.jvo.cfg --yes --quiet >"$work/install.log" 2>&1 ||
    fail "jvoctl.exe install --com $com: $(cat "$work/install.log")"
wine_ctl extract --proxy "$proxy" -o "after.jvo.cfg" --yes --quiet >"$work/extract-after.log" 2>&1 ||
    fail "jvoctl.exe extract after install: $(cat "$work/extract-after.log")"
cmp "$factory" "$work/after.jvo.cfg" || fail "the installed configuration did not come back"
win_stop_sim

# jvo-sim.exe serves its unit through the proxy listener alone (Windows has no pseudo-terminals):
# the Linux jvoctl and jvoctl.exe reach it.
: >"$work/winsim.log"
wine "$win_bin/jvo-sim.exe" --listen 127.0.0.1:0 >"$work/winsim.log" 2>&1 &
winsim=$!
trap 'kill $winsim 2>/dev/null || true; win_stop_sim' EXIT
winproxy=""
for _ in $(seq 200); do
    winproxy=$(sed -n 's/^jvo-sim: proxy on \([0-9.:]*\).*/\1/p' "$work/winsim.log" | head -n 1)
    [ -n "$winproxy" ] && break
    kill -0 "$winsim" 2>/dev/null || fail "jvo-sim.exe ended: $(cat "$work/winsim.log")"
    sleep 0.1
done
[ -n "$winproxy" ] || fail "jvo-sim.exe did not say where it listens"
"$ctl" info --proxy "$winproxy" >"$work/info-winsim.txt" || fail "Linux jvoctl info --proxy jvo-sim.exe"
grep -q '^Version text: *JVO SIM' "$work/info-winsim.txt" || fail "jvo-sim.exe gave no unit"
wine_ctl extract --proxy "$winproxy" -o "winsim.jvo.cfg" --yes --quiet >"$work/extract-winsim.log" 2>&1 ||
    fail "jvoctl.exe extract from jvo-sim.exe: $(cat "$work/extract-winsim.log")"
cmp "$work/linux.jvo.cfg" "$work/winsim.jvo.cfg" || fail "jvo-sim.exe's unit differs from the Linux one's"
kill "$winsim" 2>/dev/null || true
wait "$winsim" 2>/dev/null || true
echo "windows-journey: jvoctl.exe ports, info, extract and install over COM$com and through the proxy, and jvo-sim.exe behind its listener: ok"
