#!/usr/bin/env bash
# jvo-sim as a program: jvoctl info reaches it as COM 5 and through its own proxy server,
# jvo-proxy forwards to it from its serial side, and SIGTERM stops it cleanly (pin removed,
# sockets closed). Each run has its own port directory and free TCP ports.
# Usage: SimProgramTest.sh JVO_SIM JVOCTL JVO_PROXY
set -u
SIM=$1
CTL=$2
PROXY=$3
base=${JVO_TEST_TMP:-/tmp}
mkdir -p "$base"
dir=$(mktemp -d "$base/sim-program.XXXXXX")
export JVO_PORT_DIR=$dir/ports
sim_pid=
proxy_pid=
passed=0
failed=0

cleanup() {
    [ -n "$proxy_pid" ] && kill "$proxy_pid" 2>/dev/null
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$dir"
}
trap cleanup EXIT

check() {  # check NAME COMMAND...: one named check
    local name=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAILED: $name" >&2
    fi
}

# Waits up to 20 s for a command to succeed.
wait_for() {
    for _ in $(seq 200); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

info_ok() {  # info_ok OUTPUT: the unit identified itself and runs
    grep -q '^Schema version:   4$' <<<"$1" && grep -q '^Firmware build:   412$' <<<"$1" &&
        grep -q '(running)' <<<"$1"
}

status_of() {  # status_of STATUS COMMAND...: the command's exit status is STATUS
    local want=$1
    shift
    "$@" >/dev/null 2>&1
    [ $? -eq "$want" ]
}

# The command-line convention: usage errors are 64, a failed write to standard output is 74.
check "help" "$SIM" --help >/dev/null
check "help to a full device" status_of 74 bash -c "'$SIM' --help >/dev/full"
check "jvo-proxy help to a full device" status_of 74 bash -c "'$PROXY' --help >/dev/full"
check "unknown overload name is refused" status_of 64 "$SIM" --overload 'NO SUCH'
check "COM 0 is refused" status_of 64 "$SIM" --com=0
check "an unknown last option is named as such" \
    bash -c "'$SIM' --bogus 2>&1 >/dev/null | grep -q '^jvo-sim: unknown option --bogus$'"
check "a port beyond 65535 is refused" status_of 64 "$SIM" --listen 65536
check "jvo-proxy without a unit" status_of 64 "$PROXY" --listen=0
check "jvo-proxy --com 0" status_of 64 "$PROXY" --com=0
mkdir -p "$JVO_PORT_DIR" && ln -s "$dir/absent" "$JVO_PORT_DIR/com9"  # a pin without its device
"$PROXY" --com 9 --listen 0 2>"$dir/nounit.err"
check "jvo-proxy without its unit's port" test $? -eq 4
check "... says why" grep -q 'cannot open COM9: no device is pinned or found for it' "$dir/nounit.err"
check "jvoctl --proxy ''" status_of 64 "$CTL" info --proxy ''
ln -s /dev/null "$JVO_PORT_DIR/com8"  # somebody else's pin
"$SIM" --com 8 2>"$dir/foreign.err"
check "jvo-sim refuses a foreign pin" test $? -eq 1
check "... and leaves it alone" test "$(readlink "$JVO_PORT_DIR/com8")" = /dev/null

"$SIM" --com=5 --listen=.:0 --overload "RACK A2 07" 2>"$dir/sim.err" &
sim_pid=$!
check "sim pins COM5 and listens" wait_for bash -c \
    "[ -L '$JVO_PORT_DIR/com5' ] && grep -q 'proxy on' '$dir/sim.err'"
sim_port=$(sed -n 's/.*proxy on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$dir/sim.err")

out=$("$CTL" info --com 5)
check "jvoctl info --com 5" info_ok "$out"
out=$("$CTL" info --proxy ".:$sim_port")
check "jvoctl info through jvo-sim's proxy" info_ok "$out"
# A port that is taken is named as such.
"$SIM" --listen "127.0.0.1:$sim_port" 2>"$dir/busy.err"
check "a busy port fails with status 1" test $? -eq 1
check "a busy port is named" grep -q "port $sim_port is in use by another program" "$dir/busy.err"

# jvo-proxy in front of the simulated unit's COM port.
"$PROXY" --com 5 --listen 127.0.0.1:0 >"$dir/proxy.out" 2>&1 &
proxy_pid=$!
check "jvo-proxy listens" wait_for grep -q 'listening on' "$dir/proxy.out"
proxy_port=$(sed -n 's/.*listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$dir/proxy.out")
# The COM port is jvo-proxy's now (opened exclusively).
out=$("$CTL" info --proxy "127.0.0.1:$proxy_port")
check "jvoctl info through jvo-proxy --com 5" info_ok "$out"
# It has served a client; it still stops at once (the bound is generous for a loaded machine,
# and well below the 2 s it once took).
term_start=$(date +%s%N)
kill -TERM "$proxy_pid"
wait "$proxy_pid"
check "jvo-proxy stops with status 0" test $? -eq 0
term_ms=$((($(date +%s%N) - term_start) / 1000000))
check "jvo-proxy stops within 1.5 s of SIGTERM (took $term_ms ms)" test "$term_ms" -lt 1500
proxy_pid=

# The status line counts the transactions.
check "status line" wait_for grep -q 'transactions/s' "$dir/sim.err"

kill -TERM "$sim_pid"
wait "$sim_pid"
check "jvo-sim stops with status 0 on SIGTERM" test $? -eq 0
sim_pid=
check "the pin is gone" test ! -e "$JVO_PORT_DIR/com5"
check "jvo-sim said it stopped" grep -q 'jvo-sim: stopping' "$dir/sim.err"
"$CTL" info --proxy "127.0.0.1:$sim_port" >/dev/null 2>&1
check "the proxy socket is closed" test $? -ne 0

# Unit faults from the command line reach both transports: status requests are refused.
# (--proxy is the former name of --listen: still taken, with a note.)
"$SIM" --com 7 --proxy 127.0.0.1:0 --refuse 71 2>"$dir/refuse.err" &
sim_pid=$!
check "faulty sim starts" wait_for bash -c \
    "[ -L '$JVO_PORT_DIR/com7' ] && grep -q 'proxy on' '$dir/refuse.err'"
check "--proxy gives a note" grep -q 'note: --proxy is now called --listen' "$dir/refuse.err"
refuse_port=$(sed -n 's/.*proxy on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$dir/refuse.err")
out=$("$CTL" info --com 7)
check "refused status over COM" grep -q '^Status:           (no answer)$' <<<"$out"
check "other commands still answered over COM" grep -q '^Schema version:   4$' <<<"$out"
out=$("$CTL" info --proxy "127.0.0.1:$refuse_port")
check "refused status through the proxy" grep -q '^Status:           (no answer)$' <<<"$out"
kill -INT "$sim_pid"
wait "$sim_pid"
check "jvo-sim stops with status 0 on SIGINT" test $? -eq 0
sim_pid=
check "its pin is gone" test ! -e "$JVO_PORT_DIR/com7"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
