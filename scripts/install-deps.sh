#!/usr/bin/env bash
# Installs the Debian packages Kalmira needs to build, run and test.
# Quiet and idempotent: apt-get runs only when something is missing.
set -euo pipefail

build_pkgs=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-image-formats-plugins qt6-translations-l10n libgl-dev
  libjpeg62-turbo-dev libgif-dev libpng-dev libtiff-dev zlib1g-dev libdeflate-dev
  libwebp-dev libavif-dev liblcms2-dev libheif-dev
  fonts-dejavu-core
  libxcb1-dev libxcb-xfixes0-dev libsane-dev
)
test_pkgs=(
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev ccache
  imagemagick ghostscript netpbm libjpeg-turbo-progs pngquant optipng gifsicle
  xvfb xauth xclip sane-utils
  parallel desktop-file-utils file strace
  locales
  webp libavif-bin libheif-examples python3-pil
)

want=("${build_pkgs[@]}")
if [ "${1:-}" = "--test" ]; then
  want+=("${test_pkgs[@]}")
fi

missing=()
for p in "${want[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The tests check numbers and captions under a German locale as well.
if [ "${1:-}" = "--test" ] && ! locale -a 2>/dev/null | grep -qix 'de_DE\.utf-\?8'; then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  $SUDO localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
