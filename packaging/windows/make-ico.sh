#!/usr/bin/env bash
# Makes a Windows icon file from one of packaging/icons' SVG drawings: the drawing at 16, 24, 32,
# 48, 64 and 256 pixels (rsvg-convert), each stored as PNG in the .ico (as Windows Vista and later
# read them).
#
#   packaging/windows/make-ico.sh ICON.svg OUT.ico
set -euo pipefail
svg=$1 out=$2
sizes=(16 24 32 48 64 256)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

le16() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $((($1 >> 8) & 255)))"; }
le32() { le16 $(($1 & 65535)); le16 $((($1 >> 16) & 65535)); }

for s in "${sizes[@]}"; do
    rsvg-convert -w "$s" -h "$s" -f png -o "$tmp/$s.png" "$svg"
done
{
    le16 0; le16 1; le16 ${#sizes[@]}  # reserved, type 1 (icon), count
    offset=$((6 + 16 * ${#sizes[@]}))
    for s in "${sizes[@]}"; do
        bytes=$(stat -c %s "$tmp/$s.png")
        dim=$((s == 256 ? 0 : s))  # 0 stands for 256
        printf "\\x$(printf %02x $dim)\\x$(printf %02x $dim)"
        le16 0  # no palette, reserved
        le16 1; le16 32  # planes, bits per pixel
        le32 "$bytes"; le32 "$offset"
        offset=$((offset + bytes))
    done
    for s in "${sizes[@]}"; do cat "$tmp/$s.png"; done
} >"$out.part"
mv "$out.part" "$out"
