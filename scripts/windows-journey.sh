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
# gives the same file, byte for byte, as the Linux jvoctl's extract of the same unit; `install` of
# another file over COM7, which an extract through the proxy gives back; tls:// is refused with
# its reason; jvo-sim.exe serves the same unit behind its listener, to either jvoctl. Exits non-zero on the
# first failed check.
set -euo pipefail
win_bin=$1 sim=$2 ctl=$3 work=$4
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
pty=$SIM_PTY proxy=$SIM_PROXY

wine_ctl ports >"$work/ports.txt" || fail "jvoctl.exe ports: exit status $?"
grep -q "^COM$com " "$work/ports.txt" || fail "jvoctl.exe ports does not list COM$com: $(cat "$work/ports.txt")"

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
if wine_ctl info --proxy "tls://$proxy" --tls-ca "$work/none.pem" --tls-cert "$work/none.pem" \
    --tls-key "$work/none.pem" >"$work/info-tls.txt" 2>&1; then
    fail "info --proxy tls:// was not refused"
fi
grep -q 'built without OpenSSL' "$work/info-tls.txt" || fail "the refusal of tls:// gives no reason: $(cat "$work/info-tls.txt")"

"$ctl" extract --device "$pty" -o "$work/linux.jvo.cfg" --yes --quiet >"$work/extract-linux.log" 2>&1 ||
    fail "Linux jvoctl extract: $(cat "$work/extract-linux.log")"
wine_ctl extract --com $com -o "$work/com.jvo.cfg" --yes --quiet >"$work/extract-com.log" 2>&1 ||
    fail "jvoctl.exe extract --com $com: $(cat "$work/extract-com.log")"
wine_ctl extract --proxy "$proxy" -o "$work/proxy.jvo.cfg" --yes --quiet >"$work/extract-proxy.log" 2>&1 ||
    fail "jvoctl.exe extract --proxy: $(cat "$work/extract-proxy.log")"
[ -s "$work/linux.jvo.cfg" ] || fail "the Linux extract is empty"
cmp "$work/linux.jvo.cfg" "$work/com.jvo.cfg" || fail "extract over COM$com differs from Linux's"
cmp "$work/linux.jvo.cfg" "$work/proxy.jvo.cfg" || fail "extract through the proxy differs from Linux's"

# Install another configuration (the factory one of the fuzz corpus) over COM7; the unit gives
# it back through the proxy, byte for byte.
factory=$root/fuzz/corpus/config_file/factory
cmp -s "$factory" "$work/linux.jvo.cfg" && fail "the factory configuration is the unit's own already"
wine_ctl install --com $com "$factory" --yes --quiet >"$work/install.log" 2>&1 ||
    fail "jvoctl.exe install --com $com: $(cat "$work/install.log")"
wine_ctl extract --proxy "$proxy" -o "$work/after.jvo.cfg" --yes --quiet >"$work/extract-after.log" 2>&1 ||
    fail "jvoctl.exe extract after install: $(cat "$work/extract-after.log")"
cmp "$factory" "$work/after.jvo.cfg" || fail "the installed configuration did not come back"
win_stop_sim

# jvo-sim.exe serves its unit through the proxy listener alone (Windows has no pseudo-terminals):
# the Linux jvoctl and jvoctl.exe reach it.
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
wine_ctl extract --proxy "$winproxy" -o "$work/winsim.jvo.cfg" --yes --quiet >"$work/extract-winsim.log" 2>&1 ||
    fail "jvoctl.exe extract from jvo-sim.exe: $(cat "$work/extract-winsim.log")"
cmp "$work/linux.jvo.cfg" "$work/winsim.jvo.cfg" || fail "jvo-sim.exe's unit differs from the Linux one's"
kill "$winsim" 2>/dev/null || true
wait "$winsim" 2>/dev/null || true
echo "windows-journey: jvoctl.exe ports, info, extract and install over COM$com and through the proxy, and jvo-sim.exe behind its listener: ok"
