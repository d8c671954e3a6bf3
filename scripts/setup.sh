#!/usr/bin/env bash
# Installs what kytDCR needs on a Debian machine (run as root).
#   scripts/setup.sh          native build: engine, tool, tests
#   scripts/setup.sh windows  also the cross toolchains, wine64 and qemu
set -euo pipefail

native=(build-essential cmake ninja-build pkg-config python3
        libgtest-dev libbenchmark-dev
        libjpeg-dev libpng-dev zlib1g-dev libtiff-dev libfreetype-dev
        fonts-dejavu-core fonts-liberation
        clang libclang-rt-14-dev)
windows=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 libz-mingw-w64-dev
         wine64 xvfb xauth qemu-user-static g++-i686-linux-gnu dpkg-dev)
compare=(tesseract-ocr tesseract-ocr-eng tesseract-ocr-rus ocrad gocr bc fonts-freefont-ttf)

want=("${native[@]}")
for extra in "$@"; do
  case "$extra" in
    windows) want+=("${windows[@]}") ;;
    compare) want+=("${compare[@]}") ;;
    *) echo "setup.sh: unknown set '$extra'" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${want[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup.sh: these packages are missing and installing them needs root: ${missing[*]}" >&2
    exit 1
  fi
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
