#!/usr/bin/env bash
# Builds everything and runs every test: the plain debug build (all tests, the window tests on
# Qt's offscreen platform), AddressSanitizer + UndefinedBehaviorSanitizer (all but the "timing"
# tests), ThreadSanitizer (the Qt-free tests), the release build with its tests, the Debian
# package and its install test, a short run of every fuzz target, and the Windows build with its
# tests under Wine (scripts/windows-test.sh). On a fresh Debian 12 machine it installs what is
# missing first. Each stage's time is printed at the end.
#
#   scripts/test.sh [STAGE...]     stages: debug asan tsan release package fuzz windows (default:
#                                  all)
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh || exit 1
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)
stages=("$@")
[ ${#stages[@]} -gt 0 ] || stages=(debug asan tsan release package fuzz windows)
status=0
summary=()

build_and_test() {  # preset [ctest args...]
    local preset=$1
    shift
    cmake --preset "$preset" >/dev/null &&
        cmake --build --preset "$preset" -j "$jobs" &&
        ctest --preset "$preset" -j "$jobs" "$@"
}

run_stage() {
    local name=$1 start rc
    start=$(date +%s)
    echo "=== $name ==="
    case $name in
    debug) scripts/format-check.sh && build_and_test debug ;;
    asan) build_and_test asan ;;
    tsan) build_and_test tsan ;;
    release) build_and_test ci-release ;;
    package) if [ -x scripts/package-test.sh ]; then JVO_RELEASE_PRESET=ci-release scripts/package-test.sh; else echo "no package test"; fi ;;
    fuzz) if [ -x scripts/fuzz.sh ]; then scripts/fuzz.sh 10; else echo "no fuzz targets"; fi ;;
    windows) scripts/windows-test.sh ;;
    *) echo "unknown stage '$name'"; false ;;
    esac
    rc=$?
    [ $rc -eq 0 ] || status=1
    summary+=("$(printf '%-8s %4d s  %s' "$name" $(($(date +%s) - start)) "$([ $rc -eq 0 ] && echo ok || echo FAILED)")")
}

for s in "${stages[@]}"; do run_stage "$s"; done
echo "=== stage times ==="
printf '%s\n' "${summary[@]}"
exit $status
