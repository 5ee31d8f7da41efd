#!/bin/sh
# Our JPEG against libjpeg-turbo's `cjpeg -optimize` at equal SSIM, on the real photographs in
# bench/pictures, in one run. For libjpeg quality 75 and 90 cjpeg's file (4:2:0, as cjpeg
# writes by default) sets the SSIM; `kalmira-cli convert --target-ssim` then finds our smallest
# file with at least that SSIM. Printed per picture and quality: both sizes and their ratio, and
# the median of three whole-process times of cjpeg, of our convert at the quality found (one
# encode, plus the decode and quality measurement convert always makes) and of the
# --target-ssim search, with the ratios ours ÷ cjpeg and search ÷ one encode. All tools start
# from the same PPM: each photograph whole, and halved by djpeg's scaled decode (its blocks then
# no longer line up with the grid of the JPEG it came from, which favours re-encoding at a
# similar quality). Ratios below 1 mean ours is smaller or faster.
#
#   bench/compare_jpeg.sh [BUILD_DIR]      (a Release build with kalmira-cli; default build/release)
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build/release}
cli=$build/cli/kalmira-cli
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for tool in cjpeg djpeg; do
    command -v $tool >/dev/null || { echo "$tool is not installed" >&2; exit 1; }
done

# Median wall milliseconds of three runs of a command.
timed() {
    for run in 1 2 3; do
        /usr/bin/time -f '%e' -o "$work/t$run" "$@" >/dev/null 2>&1
    done
    cat "$work/t1" "$work/t2" "$work/t3" | awk '{ print $1 * 1000 }' | sort -n | sed -n 2p
}
value() { sed -n "s/^$1: //p"; }

printf '%-8s %3s %8s %8s %9s %9s %6s %9s %9s %6s %9s %7s\n' picture q cjpeg ours bytes ssim_ref ssim \
    cjpeg_ms ours_ms time search_ms search
for picture in "$here"/bench/pictures/dune.jpg "$here"/bench/pictures/storm.jpg "$here"/bench/pictures/meadow.jpg; do
  for scale in 1 2; do
    name=$(basename "${picture%.*}")
    [ $scale = 2 ] && name=$name/2
    djpeg -scale 1/$scale -outfile "$work/in.ppm" "$picture"
    for q in 75 90; do
        cjpeg -optimize -quality $q -outfile "$work/ref.jpg" "$work/in.ppm"
        ref_ssim=$("$cli" compare "$work/in.ppm" "$work/ref.jpg" | value ssim)
        "$cli" convert "$work/in.ppm" "$work/ours.jpg" --format 21 --target-ssim "$ref_ssim" >"$work/found"
        factor=$(value setting <"$work/found" | sed 's/qfactor //')
        ours_ssim=$(value ssim <"$work/found")
        ref=$(stat -c %s "$work/ref.jpg")
        ours=$(stat -c %s "$work/ours.jpg")
        cjpeg_ms=$(timed cjpeg -optimize -quality $q -outfile "$work/ref.jpg" "$work/in.ppm")
        ours_ms=$(timed "$cli" convert "$work/in.ppm" "$work/x.jpg" --format 21 --qfactor "$factor")
        search_ms=$(timed "$cli" convert "$work/in.ppm" "$work/x.jpg" --format 21 --target-ssim "$ref_ssim")
        printf '%-8s %3s %8s %8s %9.3f %9s %6.4f %9s %9s %6.2f %9s %7.2f\n' "$name" $q $ref $ours \
            $(echo "$ours $ref" | awk '{ print $1 / $2 }') "$ref_ssim" "$ours_ssim" "$cjpeg_ms" "$ours_ms" \
            $(echo "$ours_ms $cjpeg_ms" | awk '{ print $1 / $2 }') "$search_ms" \
            $(echo "$search_ms $ours_ms" | awk '{ print $1 / $2 }')
    done
  done
done
