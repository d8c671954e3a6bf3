#!/usr/bin/env bash
# Builds the picture libraries of the Windows plug-in as static mingw-w64
# libraries: libjpeg-turbo, libpng and libtiff (with zlib and JPEG only), for
# i686-w64-mingw32 and x86_64-w64-mingw32, from Debian's source packages.
# zlib itself comes from libz-mingw-w64-dev.
#
#   scripts/build-mingw-deps.sh [triple...]     default: both triples
#
# Environment:
#   KYT_MINGW_PREFIX  install root (default /opt/kytdcr-mingw); each triple gets
#                     its own prefix below it, sources and logs go to src/ and log/.
#
# The script is idempotent: a library whose stamp file exists is not rebuilt.
# Output of the builds goes to log files; on failure the log's tail is shown.
set -euo pipefail

root=${KYT_MINGW_PREFIX:-/opt/kytdcr-mingw}
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
triples=("$@")
[ ${#triples[@]} -gt 0 ] || triples=(i686-w64-mingw32 x86_64-w64-mingw32)
jobs=${KYT_JOBS:-2}

srcdir=$root/src
logdir=$root/log
mkdir -p "$srcdir" "$logdir"

die() { echo "build-mingw-deps: ERROR: $*" >&2; exit 1; }

# Runs a command with its output in a log file; shows the log's tail on failure.
logged() {
  local log=$1; shift
  if ! "$@" >>"$log" 2>&1; then
    echo "build-mingw-deps: ERROR: '$*' failed; last lines of $log:" >&2
    tail -n 40 "$log" >&2
    exit 1
  fi
}

# --- Packages the build needs -------------------------------------------------
need=(dpkg-dev cmake ninja-build make g++-mingw-w64-i686 g++-mingw-w64-x86-64 libz-mingw-w64-dev)
missing=()
for p in "${need[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
sources_added=0
codename=bookworm
if [ -r /etc/os-release ]; then
  # shellcheck disable=SC1091
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
fi

# --- Source package access (deb-src) ------------------------------------------
have_deb_src() {
  grep -rqsE '^[[:space:]]*(deb-src|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/ 2>/dev/null
}
if ! have_deb_src; then
  [ "$(id -u)" -eq 0 ] || die "no deb-src entry is configured and adding one needs root"
  mirror=http://deb.debian.org/debian
  security=http://deb.debian.org/debian-security
  cat >/etc/apt/sources.list.d/kytdcr-deb-src.sources <<EOF
Types: deb-src
URIs: $mirror
Suites: $codename $codename-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: $security
Suites: $codename-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
  sources_added=1
fi

# Source packages whose trees are not unpacked yet need an up-to-date index.
need_sources=0
for pkg in libjpeg-turbo libpng1.6 tiff; do
  compgen -G "$srcdir/$pkg-*/debian" >/dev/null || need_sources=1
done

if [ ${#missing[@]} -gt 0 ] || { [ $need_sources -eq 1 ] && [ $sources_added -eq 1 ]; } ||
   { [ $need_sources -eq 1 ] && [ ! -e "$root/.apt-updated" ]; }; then
  [ "$(id -u)" -eq 0 ] || die "missing packages (${missing[*]}) and installing them needs root"
  export DEBIAN_FRONTEND=noninteractive
  logged "$logdir/apt.log" apt-get update
  touch "$root/.apt-updated"
  if [ ${#missing[@]} -gt 0 ]; then
    echo "build-mingw-deps: installing ${missing[*]}"
    logged "$logdir/apt.log" apt-get install -y --no-install-recommends "${missing[@]}"
  fi
fi

# Unpacks Debian's source package $1 (with its patches) into $srcdir once;
# prints the tree's path.
fetch_source() {
  local pkg=$1 dir
  dir=$(compgen -G "$srcdir/$pkg-*/debian" | head -n1 || true)
  if [ -z "$dir" ]; then
    # The newest version first; a mirror that lacks its files (security
    # updates are not always mirrored whole) falls back to the release's.
    if ! (cd "$srcdir" && apt-get source -q "$pkg" >"$logdir/source-$pkg.log" 2>&1); then
      echo "build-mingw-deps: newest source of $pkg unavailable, taking the $codename release's" \
        >>"$logdir/source-$pkg.log"
      (cd "$srcdir" && logged "$logdir/source-$pkg.log" apt-get source -q "$pkg/$codename")
    fi
    dir=$(compgen -G "$srcdir/$pkg-*/debian" | head -n1 || true)
    [ -n "$dir" ] || die "apt-get source $pkg left no source tree in $srcdir"
  fi
  dirname "$dir"
}

jpeg_src=$(fetch_source libjpeg-turbo)
png_src=$(fetch_source libpng1.6)
tiff_src=$(fetch_source tiff)

# --- One library for one triple -------------------------------------------------
# build_lib name triple source-dir cmake-options...
build_lib() {
  local name=$1 triple=$2 src=$3; shift 3
  local prefix=$root/$triple
  local stamp=$prefix/.stamp-$name
  local bdir=$root/build/$triple/$name
  local log=$logdir/$triple-$name.log
  local arch=${triple%%-*}
  if [ -e "$stamp" ]; then
    echo "build-mingw-deps: $name for $triple is up to date"
    return
  fi
  echo "build-mingw-deps: building $name for $triple (log: $log)"
  : >"$log"
  rm -rf "$bdir"
  mkdir -p "$bdir" "$prefix"
  logged "$log" env KYT_MINGW_PREFIX="$root" cmake -S "$src" -B "$bdir" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/toolchain-mingw-$arch.cmake" \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DCMAKE_POSITION_INDEPENDENT_CODE=OFF \
    -DBUILD_SHARED_LIBS=OFF \
    "$@"
  logged "$log" ninja -C "$bdir" -j"$jobs"
  logged "$log" ninja -C "$bdir" install
  touch "$stamp"
}

for triple in "${triples[@]}"; do
  case "$triple" in
    i686-w64-mingw32|x86_64-w64-mingw32) ;;
    *) die "unknown triple '$triple' (i686-w64-mingw32 or x86_64-w64-mingw32)" ;;
  esac
  sysroot=/usr/$triple
  [ -f "$sysroot/lib/libz.a" ] || die "$sysroot/lib/libz.a is missing (package libz-mingw-w64-dev)"
  prefix=$root/$triple

  build_lib libjpeg "$triple" "$jpeg_src" \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF \
    -DWITH_JAVA=OFF -DWITH_ARITH_DEC=ON -DWITH_ARITH_ENC=ON

  build_lib libpng "$triple" "$png_src" \
    -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
    -DPNG_HARDWARE_OPTIMIZATIONS=OFF -DSKIP_INSTALL_PROGRAMS=ON -DSKIP_INSTALL_FILES=ON \
    -DZLIB_LIBRARY="$sysroot/lib/libz.a" -DZLIB_INCLUDE_DIR="$sysroot/include"

  build_lib libtiff "$triple" "$tiff_src" \
    -Dtiff-tools=OFF -Dtiff-tests=OFF -Dtiff-contrib=OFF -Dtiff-docs=OFF -Dtiff-deprecated=OFF \
    -Dcxx=OFF -Dzlib=ON -Djpeg=ON -Dold-jpeg=OFF -Djpeg12=OFF -Dpixarlog=ON \
    -Djbig=OFF -Dlerc=OFF -Dlzma=OFF -Dzstd=OFF -Dwebp=OFF -Dlibdeflate=OFF \
    -DZLIB_LIBRARY="$sysroot/lib/libz.a" -DZLIB_INCLUDE_DIR="$sysroot/include" \
    -DJPEG_LIBRARY="$prefix/lib/libjpeg.a" -DJPEG_INCLUDE_DIR="$prefix/include"

  for f in lib/libjpeg.a lib/libpng16.a lib/libtiff.a include/jpeglib.h include/png.h include/tiffio.h; do
    [ -f "$prefix/$f" ] || die "$prefix/$f is missing after the build"
  done
done
echo "build-mingw-deps: done (${triples[*]} in $root)"
