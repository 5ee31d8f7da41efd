#!/bin/sh
# The palette path against its peers on the real photographs and graphics in bench/pictures, in
# one run:
#  - palette PNG size against pngquant's at the colour count pngquant ended with (it may use
#    fewer than the 256 it is allowed);
#  - our GIF against `gifsicle -O3` of that same GIF;
#  - a whole `kalmira-cli convert` to a 256-colour GIF against `pngquant --nofs 256`, wall and
#    processor time (median of three), from the same PNG.
#
#   bench/compare_palette.sh [BUILD_DIR]      (a Release build with kalmira-cli; default build/release)
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build/release}
cli=$build/cli/kalmira-cli
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for tool in pngquant gifsicle identify; do
    command -v $tool >/dev/null || { echo "$tool is not installed" >&2; exit 1; }
done

timed() {
    for run in 1 2 3; do
        /usr/bin/time -f '%e %U %S' -o "$work/t$run" "$@" >/dev/null 2>&1
    done
    wall=$(cat "$work/t1" "$work/t2" "$work/t3" | awk '{ print $1 * 1000 }' | sort -n | sed -n 2p)
    cpu=$(cat "$work/t1" "$work/t2" "$work/t3" | awk '{ print ($2 + $3) * 1000 }' | sort -n | sed -n 2p)
    echo "$wall $cpu"
}
ratio() { echo "$1 $2" | awk '{ printf "%.3f", $1 / $2 }'; }

printf '%-11s %6s %9s %9s %6s %9s %9s %6s %8s %8s %6s %6s\n' picture colors png pngquant size gif gifsicle size ours_ms pq_ms wall cpu
for picture in "$here"/bench/pictures/*.jpg "$here"/bench/pictures/*.png; do
    name=$(basename "${picture%.*}")
    "$cli" convert "$picture" "$work/in.png" --format 75 --bits 24 >/dev/null
    pngquant --nofs --force --output "$work/pq.png" 256 "$work/in.png"
    colors=$(identify -format '%k' "$work/pq.png")
    "$cli" convert "$work/in.png" "$work/ours.png" --format 75 --bits 8 --colors "$colors" >/dev/null
    "$cli" convert "$work/in.png" "$work/ours.gif" --format 2 --bits 8 >/dev/null
    gifsicle -O3 "$work/ours.gif" -o "$work/gs.gif"
    set -- $(timed "$cli" convert "$work/in.png" "$work/t.gif" --format 2 --bits 8)
    ours_wall=$1 ours_cpu=$2
    set -- $(timed pngquant --nofs --force --output "$work/t.png" 256 "$work/in.png")
    pq_wall=$1 pq_cpu=$2
    png=$(stat -c %s "$work/ours.png") pq=$(stat -c %s "$work/pq.png")
    gif=$(stat -c %s "$work/ours.gif") gs=$(stat -c %s "$work/gs.gif")
    printf '%-11s %6s %9s %9s %6s %9s %9s %6s %8s %8s %6s %6s\n' "$name" "$colors" $png $pq $(ratio $png $pq) $gif $gs \
        $(ratio $gif $gs) $ours_wall $pq_wall $(ratio $ours_wall $pq_wall) $(ratio $ours_cpu $pq_cpu)
done
