#!/bin/sh
# Our PNG, GIF and palette against the bare peer tools, per picture, in one run:
#  - truecolour PNG: size against `optipng -o2`, whole-process time against ImageMagick's
#    `convert in.ppm out.png`;
#  - 256-colour GIF: size against `gifsicle -O3` of that same GIF;
#  - palette: a whole `kalmira-cli convert in.ppm out.gif` at 256 and at 16 colours against
#    `pngquant --nofs` at the same count (wall and processor time), and the PSNR over RGB of both
#    against the input (our compare decodes both), as ours minus pngquant's.
# Every tool starts from the same picture: the PPM ImageMagick decodes (pngquant from a PNG of
# it). Times are medians of RUNS whole-process runs, ours and the peer's in turn. Ratios are
# ours / the peer's: below 1 is smaller or faster.
#
#   bench/compare_peers.sh [BUILD_DIR] [RUNS]   (a Release build with kalmira-cli; default build/release, 5)
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build/release}
runs=${2:-5}
cli=$build/cli/kalmira-cli
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The real ImageMagick binary, not a wrapper that may stand in front of it.
im=$(command -v convert-im6.q16 || command -v convert)
for tool in optipng gifsicle pngquant "$im"; do
    command -v "$tool" >/dev/null || { echo "$tool is not installed" >&2; exit 1; }
done

# Runs "A" and "B" (each one command line in a string) in turn RUNS times; prints the medians:
# "A_wall A_cpu B_wall B_cpu" in milliseconds.
paired() {
    : >"$work/a" && : >"$work/b"
    i=0
    while [ $i -lt "$runs" ]; do
        /usr/bin/time -f '%e %U %S' -o "$work/t" sh -c "$1" >/dev/null 2>&1
        cat "$work/t" >>"$work/a"
        /usr/bin/time -f '%e %U %S' -o "$work/t" sh -c "$2" >/dev/null 2>&1
        cat "$work/t" >>"$work/b"
        i=$((i + 1))
    done
    for f in a b; do
        median=$(( (runs + 1) / 2 ))
        printf '%s %s ' "$(awk '{ print $1 * 1000 }' "$work/$f" | sort -n | sed -n ${median}p)" \
            "$(awk '{ print ($2 + $3) * 1000 }' "$work/$f" | sort -n | sed -n ${median}p)"
    done
    echo
}
ratio() { echo "$1 $2" | awk '{ printf "%.3f", $1 / $2 }'; }
psnr() { sed -n 's/^psnr: //p' "$1" | head -1; }

pictures="$here/bench/pictures/dune.jpg $here/bench/pictures/storm.jpg $here/bench/pictures/raindrops.jpg
$here/bench/pictures/meadow.jpg $here/bench/pictures/screenshot.png $here/docs/difference-view.png
$here/bench/pictures/flat.png"

echo "Truecolour PNG (ours / optipng -o2 size; ours / ImageMagick whole-process time)"
printf '%-16s %9s %9s %6s %8s %8s %6s %6s\n' picture ours optipng size ours_ms im_ms wall cpu
for picture in $pictures; do
    name=$(basename "${picture%.*}")
    "$im" "$picture" -alpha off "$work/$name.ppm"
    set -- $(paired "'$cli' convert '$work/$name.ppm' '$work/ours.png' --format 75 --bits 24" \
        "'$im' '$work/$name.ppm' '$work/im.png'")
    optipng -quiet -o2 -out "$work/opti.png" "$work/$name.ppm" >/dev/null 2>&1
    "$cli" compare "$work/$name.ppm" "$work/ours.png" | grep -q '^psnr: inf$' || { echo "$name: pixels differ" >&2; exit 1; }
    ours=$(stat -c %s "$work/ours.png") opti=$(stat -c %s "$work/opti.png")
    rm -f "$work/opti.png"
    printf '%-16s %9s %9s %6s %8s %8s %6s %6s\n' "$name" "$ours" "$opti" "$(ratio "$ours" "$opti")" "$1" "$3" \
        "$(ratio "$1" "$3")" "$(ratio "$2" "$4")"
done

echo
echo "GIF at 256 colours (ours / gifsicle -O3 of our GIF)"
printf '%-16s %9s %9s %6s\n' picture ours gifsicle size
for picture in $pictures; do
    name=$(basename "${picture%.*}")
    "$cli" convert "$work/$name.ppm" "$work/ours.gif" --format 2 --bits 8 >/dev/null
    gifsicle -O3 "$work/ours.gif" -o "$work/gs.gif"
    gif=$(stat -c %s "$work/ours.gif") gs=$(stat -c %s "$work/gs.gif")
    printf '%-16s %9s %9s %6s\n' "$name" "$gif" "$gs" "$(ratio "$gif" "$gs")"
done

echo
echo "Palette: convert to GIF against pngquant --nofs (whole process; PSNR ours - pngquant's)"
printf '%-16s %6s %8s %8s %6s %6s %8s %8s %7s\n' picture colors ours_ms pq_ms wall cpu ours_dB pq_dB margin
for picture in $pictures; do
    name=$(basename "${picture%.*}")
    "$im" "$work/$name.ppm" "$work/$name.png"
    for colors in 256 16; do
        bits=8
        [ "$colors" -le 16 ] && bits=4
        set -- $(paired "'$cli' convert '$work/$name.ppm' '$work/ours.gif' --format 2 --bits $bits --colors $colors" \
            "pngquant --nofs --force --output '$work/pq.png' $colors '$work/$name.png'")
        "$cli" convert "$work/$name.ppm" "$work/ours.gif" --format 2 --bits $bits --colors $colors >"$work/ours.txt"
        "$cli" compare "$work/$name.ppm" "$work/pq.png" >"$work/pq.txt"
        ours=$(psnr "$work/ours.txt") pq=$(psnr "$work/pq.txt")
        printf '%-16s %6s %8s %8s %6s %6s %8s %8s %7s\n' "$name" "$colors" "$1" "$3" "$(ratio "$1" "$3")" \
            "$(ratio "$2" "$4")" "$ours" "$pq" "$(echo "$ours $pq" | awk '{ printf "%+.3f", $1 - $2 }')"
    done
done
