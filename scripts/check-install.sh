#!/usr/bin/env bash
# Installs a build into a scratch tree and checks that it holds what a desktop program needs;
# with --package also builds the Debian package and checks its contents and dependencies.
#   scripts/check-install.sh BUILD_DIR [--package]
set -euo pipefail
build=$(cd "$1" && pwd)
stage="$build/install-check"
rm -rf "$stage"
DESTDIR="$stage" cmake --install "$build" --prefix /usr >/dev/null
root="$stage/usr"

expected=(
  bin/kalmira bin/kalmira-cli
  share/applications/kalmira.desktop share/mime/packages/kalmira.xml
  share/man/man1/kalmira.1.gz share/man/man1/kalmira-cli.1.gz
  share/kalmira/readme.txt share/kalmira/text/kalmira.tsv
  share/icons/hicolor/scalable/apps/kalmira.svg
)
for size in 16 22 24 32 48 64 128 256 512; do
  expected+=("share/icons/hicolor/${size}x${size}/apps/kalmira.png")
done
status=0
for f in "${expected[@]}"; do
  if [ ! -e "$root/$f" ]; then echo "missing from the installed tree: /usr/$f"; status=1; fi
done
for size in 16 22 24 32 48 64 128 256 512; do
  got=$(file -b "$root/share/icons/hicolor/${size}x${size}/apps/kalmira.png" | grep -o '[0-9]* x [0-9]*' || true)
  if [ "$got" != "$size x $size" ]; then echo "icon for ${size}x${size} is $got"; status=1; fi
done
desktop-file-validate "$root/share/applications/kalmira.desktop" || status=1
# Both programs answer --help and --version without a display.
for program in kalmira kalmira-cli; do
  env -u DISPLAY -u WAYLAND_DISPLAY "$root/bin/$program" --version | grep -qx "$program [0-9.]*" || { echo "$program --version"; status=1; }
  # Read whole before searching: grep -q stops at the first match, and a long usage then meets
  # a closed pipe.
  help=$(env -u DISPLAY -u WAYLAND_DISPLAY "$root/bin/$program" --help) && grep -q "usage: $program" <<<"$help" ||
    { echo "$program --help"; status=1; }
done
# The installed program finds its readme in share/kalmira (nothing beside it in bin/).
[ ! -e "$root/bin/readme.txt" ] || { echo "readme.txt beside the installed program"; status=1; }
for page in kalmira kalmira-cli; do
  zcat "$root/share/man/man1/$page.1.gz" | grep -q "^.SH NAME" || { echo "man page $page"; status=1; }
done

if [ "${2:-}" = "--package" ]; then
  rm -f "$build"/kalmira_*.deb
  (cd "$build" && cpack -G DEB >/dev/null)
  deb=$(ls "$build"/kalmira_*.deb)
  listing=$(dpkg-deb -c "$deb")
  for f in "${expected[@]}"; do
    grep -q " \./usr/$f\$" <<<"$listing" || { echo "missing from $deb: /usr/$f"; status=1; }
  done
  depends=$(dpkg-deb -f "$deb" Depends)
  for dep in libqt6widgets6 libqt6gui6 libjpeg62-turbo libgif7 libpng16-16 libtiff6 hicolor-icon-theme; do
    grep -q "\b$dep\b" <<<"$depends" || { echo "$deb does not depend on $dep: $depends"; status=1; }
  done
  echo "$(basename "$deb"): $(du -k "$deb" | cut -f1) KB; Depends: $depends"
fi
exit $status
