#!/usr/bin/env bash
# Prints the folder of the Qt kit for the Windows window programs (Qt 6.4.2's qtbase built for
# mingw-w64), unpacking it first when needed: from qt-6.4.2-mingw64.tar.xz in the shared folder's
# windows-qt/ (read-only; $JVO_SHARED_DIR when set, else ../shared or ../../shared beside the tree) into
# ${XDG_CACHE_HOME:-~/.cache}/jvo/windows-qt, once. Without the tarball or an unpacked kit it
# prints nothing, says why on standard error and exits 1; the kit can then be built into the
# cache with the shared folder's windows-qt/build.sh (40 to 60 minutes on 2 cores).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cache=${XDG_CACHE_HOME:-$HOME/.cache}/jvo/windows-qt
kit=$cache/qt-6.4.2-mingw64
if [ -f "$kit/lib/cmake/Qt6/Qt6Config.cmake" ]; then
    echo "$kit"
    exit 0
fi
tarball=""
dirs=("$root/../shared" "$root/../../shared")
[ -z "${JVO_SHARED_DIR:-}" ] || dirs=("$JVO_SHARED_DIR")
for dir in "${dirs[@]}"; do
    if [ -f "$dir/windows-qt/qt-6.4.2-mingw64.tar.xz" ]; then
        tarball=$dir/windows-qt/qt-6.4.2-mingw64.tar.xz
        break
    fi
done
if [ -z "$tarball" ]; then
    echo "no Qt kit: neither $kit nor shared/windows-qt/qt-6.4.2-mingw64.tar.xz is there" \
         "(shared/windows-qt/build.sh builds it)" >&2
    exit 1
fi
mkdir -p "$cache"
tmp=$(mktemp -d "$cache/unpack.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
tar -xJf "$tarball" -C "$tmp"
if [ ! -f "$tmp/qt-6.4.2-mingw64/lib/cmake/Qt6/Qt6Config.cmake" ]; then
    echo "no Qt kit: $tarball holds no qt-6.4.2-mingw64/ with Qt 6" >&2
    exit 1
fi
rm -rf "$kit"
mv "$tmp/qt-6.4.2-mingw64" "$kit"
echo "$kit"
