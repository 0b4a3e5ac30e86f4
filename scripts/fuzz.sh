#!/usr/bin/env bash
# Builds the fuzz preset and runs every fuzz target for a while over a copy of its seed corpus.
#   scripts/fuzz.sh [seconds per target (default 10)] [target ...]
# Exits non-zero when a target finds a crash, a leak or a failed check; the input that caused it
# is left in the work folder named on the output (crash-*, leak-*, timeout-*).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-10}
shift || true
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for exe in build/fuzz/fuzz_*; do
        [ -x "$exe" ] && targets+=("$(basename "$exe" | sed 's/^fuzz_//')")
    done
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/jvo-fuzz.XXXXXX")
echo "fuzz: work folder $work"
failed=()
for t in "${targets[@]}"; do
    corpus="$work/corpus-$t"
    mkdir -p "$corpus"
    [ -d "fuzz/corpus/$t" ] && cp -r "fuzz/corpus/$t/." "$corpus/"
    args=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
          -artifact_prefix="$work/$t-")
    [ -f "fuzz/dict/$t.dict" ] && args+=(-dict="fuzz/dict/$t.dict")
    echo "fuzz: $t for ${seconds}s"
    if ! "build/fuzz/fuzz_$t" "${args[@]}" "$corpus" >"$work/$t.log" 2>&1; then
        failed+=("$t")
        tail -n 40 "$work/$t.log"
    fi
    grep -E '^stat::number_of_executed_units|DONE +cov' "$work/$t.log" | sed "s/^/fuzz: $t: /" || true
done
if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzz: findings in: ${failed[*]} (inputs in $work)"
    exit 1
fi
rm -rf "$work"
echo "fuzz: all ${#targets[@]} targets clean"
