#!/usr/bin/env bash
# Builds everything and runs every test, first plainly, then under AddressSanitizer and
# UndefinedBehaviorSanitizer (tests labelled "timing" run in the plain build only).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
jobs=$(nproc)
status=0
for preset in debug asan; do
    echo "=== $preset build ==="
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$jobs"
    ctest --preset "$preset" -j "$jobs" || status=1
done
exit $status
