#!/bin/sh
# Our truecolour PNG against `optipng -o2` (size) and ImageMagick's `convert` (time) on the real
# pictures in bench/pictures, in one run. Every tool starts from the same uncompressed BMP; each
# time is the median of three whole-process runs. Ratios are ours ÷ the peer's.
#
#   bench/compare_png.sh [BUILD_DIR]      (a Release build with kalmira-cli; default build/release)
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build/release}
cli=$build/cli/kalmira-cli
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for tool in optipng convert; do
    command -v $tool >/dev/null || { echo "$tool is not installed" >&2; exit 1; }
done

# Median wall and processor milliseconds of three runs of a command: "wall cpu".
timed() {
    for run in 1 2 3; do
        /usr/bin/time -f '%e %U %S' -o "$work/t$run" "$@" >/dev/null 2>&1
    done
    wall=$(cat "$work/t1" "$work/t2" "$work/t3" | awk '{ print $1 * 1000 }' | sort -n | sed -n 2p)
    cpu=$(cat "$work/t1" "$work/t2" "$work/t3" | awk '{ print ($2 + $3) * 1000 }' | sort -n | sed -n 2p)
    echo "$wall $cpu"
}

printf '%-12s %10s %10s %6s %9s %9s %9s %9s %6s\n' picture ours optipng size ours_ms convert_ms ours_cpu conv_cpu cpu
for picture in "$here"/bench/pictures/*.jpg "$here"/bench/pictures/*.png; do
    name=$(basename "${picture%.*}")
    "$cli" convert "$picture" "$work/$name.bmp" --format 6 --bits 24 >/dev/null
    set -- $(timed "$cli" convert "$work/$name.bmp" "$work/ours.png" --format 75 --bits 24)
    ours_wall=$1 ours_cpu=$2
    set -- $(timed convert "$work/$name.bmp" "$work/im.png")
    im_wall=$1 im_cpu=$2
    optipng -quiet -o2 -out "$work/opti.png" "$work/$name.bmp" >/dev/null 2>&1
    "$cli" compare "$work/$name.bmp" "$work/ours.png" | grep -q '^psnr: inf$' || { echo "$name: pixels differ" >&2; exit 1; }
    ours=$(stat -c %s "$work/ours.png")
    opti=$(stat -c %s "$work/opti.png")
    rm -f "$work/opti.png"
    printf '%-12s %10s %10s %6.3f %9s %9s %9s %9s %6.2f\n' "$name" $ours $opti $(echo "$ours $opti" | awk '{ print $1 / $2 }') \
        $ours_wall $im_wall $ours_cpu $im_cpu $(echo "$ours_cpu $im_cpu" | awk '{ print $1 / $2 }')
done
