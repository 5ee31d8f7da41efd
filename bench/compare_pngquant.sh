#!/bin/sh
# Our optimised palette against pngquant on the same PNG, in one run: PSNR over RGB (both
# decoded by our engine), wall time and processor time. Without an image argument the
# generated 2-megapixel photograph of the colour benchmark is used.
#
#   bench/compare_pngquant.sh [BUILD_DIR] [IMAGE.png]
#
# BUILD_DIR is a Release build with kalmira-cli and kalmira_bench_color (default build/release).
# Our time is the whole round trip (reduce + GIF encode + decode, in memory); pngquant's is
# the process (read PNG, quantise, write PNG).
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build/release}
cli=$build/cli/kalmira-cli
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if [ $# -ge 2 ]; then
    image=$2
else
    "$build/bench/kalmira_bench_color" --write-ppm "$work/photo.ppm"
    "$cli" convert "$work/photo.ppm" "$work/photo.png" --format 75 --bits 24 >/dev/null
    image=$work/photo.png
fi
command -v pngquant >/dev/null || { echo "pngquant is not installed" >&2; exit 1; }

value() { sed -n "s/^$1: //p" "$2"; }

printf '%-8s %-16s %9s %9s %9s\n' colors quantiser psnr_dB wall_ms cpu_ms
for colors in 256 16; do
    bits=8
    [ "$colors" -le 16 ] && bits=4
    for dither in 0 1; do
        "$cli" convert "$image" "$work/ours.gif" --format 2 --bits $bits --colors $colors --dither $dither >"$work/ours.txt"
        name="kalmira"
        [ $dither = 1 ] && name="kalmira FS"
        printf '%-8s %-16s %9s %9s %9s\n' $colors "$name" "$(value psnr "$work/ours.txt")" \
            "$(value ms "$work/ours.txt")" "$(value cpu_ms "$work/ours.txt")"

        flag=--nofs
        name="pngquant --nofs"
        [ $dither = 1 ] && flag= && name="pngquant"
        /usr/bin/time -f '%e %U %S' -o "$work/time.txt" pngquant $flag --force --output "$work/pq.png" $colors "$image"
        "$cli" compare "$image" "$work/pq.png" >"$work/pq.txt"
        wall=$(awk '{ printf "%.1f", $1 * 1000 }' "$work/time.txt")
        cpu=$(awk '{ printf "%.1f", ($2 + $3) * 1000 }' "$work/time.txt")
        printf '%-8s %-16s %9s %9s %9s\n' $colors "$name" "$(value psnr "$work/pq.txt")" "$wall" "$cpu"
    done
done
