#!/usr/bin/env bash
# Fails when a C++ file of the tree differs from what clang-format (Debian 12's clang-format 14,
# with the tree's .clang-format) makes of it, and names the files. `--fix` formats them instead.
set -uo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || { echo "format-check: clang-format is not installed" >&2; exit 1; }
mapfile -t files < <(git ls-files '*.cpp' '*.h' 2>/dev/null || find . -name '*.cpp' -o -name '*.h' | grep -v '^./build/')
if [ "${1:-}" = "--fix" ]; then
    clang-format -i "${files[@]}"
    exit 0
fi
bad=()
for f in "${files[@]}"; do
    clang-format --dry-run -Werror "$f" >/dev/null 2>&1 || bad+=("$f")
done
if [ ${#bad[@]} -gt 0 ]; then
    echo "format-check: ${#bad[@]} file(s) not formatted (scripts/format-check.sh --fix):"
    printf '  %s\n' "${bad[@]}"
    exit 1
fi
echo "format-check: ${#files[@]} files formatted"
