#!/usr/bin/env bash
# Builds and tests the Windows plug-in as far as a Linux machine allows:
#   1. the static picture libraries for mingw-w64 (scripts/build-mingw-deps.sh);
#   2. the real 32-bit kytDCR.nbp (build-win32);
#   3. a 64-bit build of the same plug-in and the test host (build-win64),
#      run under wine64 in a virtual X server: the Win32 layer end to end;
#   4. the 32-bit calling-convention glue driven by a host written in assembly,
#      a static i686 Linux program run with qemu-i386-static (build-glue), on
#      an emulated processor with SSE (the host's hostile MXCSR) and on one
#      without (a Pentium II);
#   5. the network's kernel tests built for i686 as the 32-bit plug-in builds
#      the engine (build-kernels32), run with qemu-i386-static on processors
#      with SSE2, with SSE only (Pentium III) and without SSE (Pentium II),
#      with the time per glyph of each level;
#   6. the export and import tables of both DLLs, and the SSE instructions of
#      the 32-bit one, with objdump.
# Prints one line per stage and a summary; exits non-zero on any failure.
#
# Environment: KYT_MINGW_PREFIX (deps install root, default /opt/kytdcr-mingw),
# KYT_JOBS (parallel build jobs, default 2).
set -uo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=${KYT_JOBS:-2}
b32=$repo/build-win32
b64=$repo/build-win64
bglue=$repo/build-glue
bk32=$repo/build-kernels32
logs=$repo/build-win64/logs
mkdir -p "$logs"
start=$(date +%s)

declare -a stage_names=() stage_results=()
failed=0
record() {  # record <stage> <status>
  stage_names+=("$1")
  stage_results+=("$2")
  [ "$2" = PASS ] || failed=1
}

# Runs a build step with its output in a log; shows the log's tail on failure.
build_step() {  # build_step <stage> <log> <command...>
  local stage=$1 log=$2; shift 2
  echo "== $stage"
  if "$@" >"$log" 2>&1; then
    record "$stage" PASS
    return 0
  fi
  echo "test-windows: $stage failed; last lines of $log:"
  tail -n 30 "$log"
  record "$stage" FAIL
  return 1
}

need_tools() {
  local missing=()
  for t in i686-w64-mingw32-g++ x86_64-w64-mingw32-g++ i686-linux-gnu-g++ qemu-i386-static xvfb-run cmake ninja; do
    command -v "$t" >/dev/null || missing+=("$t")
  done
  [ -n "$(wine_binary)" ] || missing+=(wine64)
  [ -f /usr/src/googletest/googletest/CMakeLists.txt ] || missing+=("GoogleTest sources (googletest)")
  if [ ${#missing[@]} -gt 0 ]; then
    echo "test-windows: missing tools: ${missing[*]} (run scripts/setup.sh windows)" >&2
    exit 1
  fi
}

wine_binary() {
  command -v wine64 2>/dev/null || { [ -x /usr/lib/wine/wine64 ] && echo /usr/lib/wine/wine64; } || true
}

# Linux path to the path wine sees it under (drive Z: is the root).
winpath() { echo "Z:${1//\//\\}"; }

need_tools

# --- 1. Picture libraries ---------------------------------------------------------
build_step "deps: libjpeg, libpng, libtiff for mingw-w64" "$logs/deps.log" \
  "$repo/scripts/build-mingw-deps.sh" || { echo "test-windows: cannot go on without the libraries"; exit 1; }

# --- 2. The 32-bit plug-in ----------------------------------------------------------
if build_step "build: i686 kytDCR.nbp" "$logs/build-win32.log" bash -c "
    cmake -S '$repo' -B '$b32' -G Ninja -DCMAKE_TOOLCHAIN_FILE='$repo/cmake/toolchain-mingw-i686.cmake' \
          -DCMAKE_BUILD_TYPE=Release && ninja -C '$b32' -j$jobs kytDCR"; then
  grep -E 'warning:' "$logs/build-win32.log" | sort -u | head -20
fi

# --- 3. The 64-bit plug-in and the test host under wine ----------------------------------
if build_step "build: x86_64 kytDCR.nbp and test host" "$logs/build-win64.log" bash -c "
    cmake -S '$repo' -B '$b64' -G Ninja -DCMAKE_TOOLCHAIN_FILE='$repo/cmake/toolchain-mingw-x86_64.cmake' \
          -DCMAKE_BUILD_TYPE=Release -DKYT_BUILD_WIN_TESTS=ON && ninja -C '$b64' -j$jobs kytDCR kyt_win_testhost kyt_win_controls_test"; then
  grep -E 'warning:' "$logs/build-win64.log" | sort -u | head -20
  wine=$(wine_binary)
  export WINEPREFIX=$b64/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  # xvfb-run's auth file, wine's server directory and caches stay inside the build tree.
  export TMPDIR=$b64/tmp XDG_CACHE_HOME=$b64/tmp/cache
  mkdir -p "$TMPDIR" "$XDG_CACHE_HOME" "$b64/testhost-out"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "== wine: first run, creating the prefix"
    xvfb-run -a "$wine" wineboot -i >"$logs/wineboot.log" 2>&1
    "$(dirname "$wine")/wineserver" -w 2>/dev/null || true
  fi
  # Xvfb has no window manager: wine draws the windows' captions and frames
  # itself, so that screenshots show the dialogs whole.
  "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >"$logs/wine-reg.log" 2>&1
  "$(dirname "$wine")/wineserver" -w 2>/dev/null || true
  echo "== wine64: the test host plays the publication scripts"
  rm -f "$b64/testhost-out/"*.png
  timeout 900 xvfb-run -a -s "-screen 0 1024x768x24" "$wine" "$b64/tests/win32/kyt_win_testhost.exe" \
    "$(winpath "$b64/kytDCR.nbp")" "$(winpath "$repo")" "$(winpath "$b64/testhost-out")" 2>"$logs/wine-stderr.log" |
    tee "$logs/testhost.log" | tr -d '\r'
  status=${PIPESTATUS[0]}
  echo "== wine64: the editor forms on a 256-colour screen (screenshots)"
  timeout 300 xvfb-run -a -s "-screen 0 1024x768x8" "$wine" "$b64/tests/win32/kyt_win_testhost.exe" \
    "$(winpath "$b64/kytDCR.nbp")" "$(winpath "$repo")" "$(winpath "$b64/testhost-out")" --screenshots -256 \
    2>>"$logs/wine-stderr.log" | tee "$logs/testhost-256.log" | tr -d '\r' | tail -n 1
  grep -q "win32: [0-9]* passed, 0 failed" "$logs/testhost-256.log" || status=1
  # Stop this prefix's wine server, which the run started.
  WINEPREFIX=$b64/wineprefix "$(dirname "$wine")/wineserver" -k 2>/dev/null || true
  if [ "$status" -eq 0 ] && grep -q "win32: [0-9]* passed, 0 failed" "$logs/testhost.log"; then
    record "wine64: Win32 layer through the test host" PASS
  else
    echo "test-windows: test host exit status $status; wine's messages: $logs/wine-stderr.log"
    record "wine64: Win32 layer through the test host" FAIL
  fi
  if [ -f "$b64/testhost-out/dcr-host-screenshot.png" ]; then
    echo "screenshot: $b64/testhost-out/dcr-host-screenshot.png"
  fi
  ls "$b64/testhost-out/"editor-*.png 2>/dev/null | sed 's/^/editor screenshot: /'

  # The host-styled controls in a window of their own, hovered and pressed with
  # real mouse input: on a true-colour screen, then on an 8-bit one.
  mkdir -p "$b64/controls-out"
  rm -f "$b64/controls-out/"*.png
  for depth in 24 8; do
    expect=high
    [ "$depth" = 8 ] && expect=low
    echo "== wine64: host-styled controls on a ${depth}-bit screen"
    timeout 300 xvfb-run -a -s "-screen 0 1024x768x$depth" "$wine" "$b64/tests/win32/kyt_win_controls_test.exe" \
      "$(winpath "$b64/controls-out")" --expect "$expect" 2>"$logs/wine-controls-$depth.log" |
      tee "$logs/controls-$depth.log" | tr -d '\r'
    status=${PIPESTATUS[0]}
    WINEPREFIX=$b64/wineprefix "$(dirname "$wine")/wineserver" -k 2>/dev/null || true
    if [ "$status" -eq 0 ] && grep -q "win32: [0-9]* passed, 0 failed" "$logs/controls-$depth.log"; then
      record "wine64: controls in a window, ${depth}-bit screen ($expect-colour mode)" PASS
    else
      echo "test-windows: controls test exit status $status; wine's messages: $logs/wine-controls-$depth.log"
      record "wine64: controls in a window, ${depth}-bit screen ($expect-colour mode)" FAIL
    fi
  done
  echo "screenshots: $b64/controls-out/"
else
  record "wine64: Win32 layer through the test host" "FAIL (not built)"
fi

# --- 4. The calling-convention glue under qemu ------------------------------------------
if build_step "build: i686 glue test" "$logs/build-glue.log" bash -c "
    cmake -S '$repo/tests/glue' -B '$bglue' -G Ninja && ninja -C '$bglue' -j$jobs"; then
  echo "== qemu-i386: host in assembly against the 32-bit glue"
  qemu-i386-static "$bglue/glue_test" | tee "$logs/glue.log"
  if [ "${PIPESTATUS[0]}" -eq 0 ] && grep -q '^host MXCSR 0000E000' "$logs/glue.log"; then
    record "qemu-i386: calling conventions of the entry points and callbacks, hostile MXCSR" PASS
  else
    record "qemu-i386: calling conventions of the entry points and callbacks, hostile MXCSR" FAIL
  fi
  echo "== qemu-i386 -cpu pentium2: the same glue on a processor without SSE"
  qemu-i386-static -cpu pentium2 "$bglue/glue_test" >"$logs/glue-pentium2.log"
  status=$?
  tail -n 1 "$logs/glue-pentium2.log"
  if [ "$status" -eq 0 ] && grep -q '^host MXCSR not used' "$logs/glue-pentium2.log"; then
    record "qemu-i386 -cpu pentium2: the entry points leave MXCSR alone without SSE" PASS
  else
    record "qemu-i386 -cpu pentium2: the entry points leave MXCSR alone without SSE" FAIL
  fi
else
  record "qemu-i386: calling conventions of the entry points and callbacks, hostile MXCSR" "FAIL (not built)"
fi

# --- 5. The network's kernels on 32-bit x86 ------------------------------------------------
if build_step "build: i686 kernel tests" "$logs/build-kernels32.log" bash -c "
    cmake -S '$repo/tests/kernels32' -B '$bk32' -G Ninja && ninja -C '$bk32' -j$jobs"; then
  grep -E 'warning:' "$logs/build-kernels32.log" | sort -u | head -20
  # The processor qemu emulates, the dispatch levels the tests must find on it.
  for cpu in "default:x87 sse2" "pentium3:x87" "pentium2:x87"; do
    name=${cpu%%:*}
    levels=${cpu#*:}
    args=()
    [ "$name" = default ] || args=(-cpu "$name")
    echo "== qemu-i386 ${args[*]:-(default processor)}: kernel tests, expecting levels: $levels"
    qemu-i386-static -L /usr/i686-linux-gnu "${args[@]}" "$bk32/kernels32_test" >"$logs/kernels32-$name.log" 2>&1
    status=$?
    grep -E '^(levels|processor|digest)' "$logs/kernels32-$name.log"
    grep -E '^\[  (PASSED|FAILED) ' "$logs/kernels32-$name.log"
    if [ "$status" -eq 0 ] && grep -qx "levels: $levels" "$logs/kernels32-$name.log"; then
      record "qemu-i386 $name: kernels bit for bit as the reference and the 64-bit build (levels $levels)" PASS
    else
      record "qemu-i386 $name: kernels bit for bit as the reference and the 64-bit build (levels $levels)" FAIL
    fi
  done
  echo "== qemu-i386: time per glyph at each level (emulated, indicative only)"
  qemu-i386-static -L /usr/i686-linux-gnu "$bk32/kernels32_speed" 2 | tee "$logs/kernels32-speed.log"
else
  record "qemu-i386: kernel tests" "FAIL (not built)"
fi

# --- 6. Export and import tables, SSE in the 32-bit DLL ----------------------------------------
for arch in i686 x86_64; do
  dir=$b32
  [ "$arch" = x86_64 ] && dir=$b64
  echo "== objdump: $arch kytDCR.nbp"
  if [ -f "$dir/kytDCR.nbp" ] && "$repo/scripts/check-exports.sh" "$dir/kytDCR.nbp" "$arch"; then
    record "objdump: $arch exports and imports" PASS
  else
    record "objdump: $arch exports and imports" FAIL
  fi
done
echo "== objdump: SSE instructions of the i686 kytDCR.nbp"
if [ -f "$b32/kytDCR.nbp" ] && "$repo/scripts/check-sse.sh" "$b32/kytDCR.nbp"; then
  record "objdump: i686 SSE2 kernels in, no SSE outside them and the MXCSR guard" PASS
else
  record "objdump: i686 SSE2 kernels in, no SSE outside them and the MXCSR guard" FAIL
fi

elapsed=$(( $(date +%s) - start ))
echo
echo "== Windows test summary (${elapsed}s)"
passed=0
fails=0
for i in "${!stage_names[@]}"; do
  printf '%-5s %s\n' "${stage_results[$i]%% *}" "${stage_names[$i]}"
  if [ "${stage_results[$i]}" = PASS ]; then passed=$((passed + 1)); else fails=$((fails + 1)); fi
done
echo "windows: $passed passed, $fails failed"
exit "$failed"
