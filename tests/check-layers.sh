#!/usr/bin/env bash
# Checks the layers' includes against the arrows of the CMake targets (see the
# root CMakeLists.txt): every project include of a folder must name a folder
# the folder's layer may use. Also: no _WIN32 test outside the platform layer
# and the calling-convention glue, and no code page 1251 text in escaped bytes in the
# product's folders. Prints each offence; exits 1 if any.
#
#   bash tests/check-layers.sh [source folder]
set -u
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root" || exit 2
status=0

offence() {
  echo "check-layers: $*"
  status=1
}

# The project includes of the files below $1 (not of its subfolders listed in
# $3), as "file:line:folder/..." lines, minus those whose folder matches $2.
includes_outside() {
  local dir=$1 allowed=$2 skip=${3:-}
  local files
  files=$(find "$dir" -type f \( -name '*.cpp' -o -name '*.h' \) | sort)
  [ -n "$skip" ] && files=$(echo "$files" | grep -Ev "^($skip)/")
  [ -z "$files" ] && return 0
  # shellcheck disable=SC2086
  grep -HnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[A-Za-z0-9_]+/' $files |
    sed -E 's/^([^:]*:[0-9]+):[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]*)".*/\1:\2/' |
    grep -Ev ":($allowed)/[^:]*$"
}

check() {
  local dir=$1 allowed=$2 skip=${3:-}
  local found
  found=$(includes_outside "$dir" "$allowed" "$skip")
  if [ -n "$found" ]; then
    while IFS= read -r line; do offence "$dir/ may include only $allowed: $line"; done <<<"$found"
  fi
}

# The engine knows nothing above it.
check core 'core'
check recognition 'core|recognition'
# The platform layer knows no window model, host or editor. Its interface
# (platform/*.cpp, *.h) connects the engine's hooks; the platforms below it
# also draw the controls and the plug-in's pictures.
check platform 'core|recognition|platform' 'platform/headless|platform/win32'
check platform/headless 'core|recognition|platform|controls|resources'
check platform/win32 'core|recognition|platform|controls|resources'
check controls 'core|controls'
check resources 'core|platform|resources'
# The window model sits on the engine and the platform's interface.
check window 'core|recognition|platform|window'
# The host layer knows no editor; the editor may use the host's action table.
check host 'core|recognition|platform|window|host'
check editor 'core|recognition|platform|window|resources|host|editor'

# No platform test outside the platform layer and the calling-convention glue
# (and the processor features, where the system says whether it saves the SSE
# registers).
win32=$(grep -rnE '_WIN32' --include='*.cpp' --include='*.h' core recognition window host editor controls resources tools |
  grep -Ev '^(host/Exports\.cpp|host/HostCallConv\.h|host/HeadlessExports\.cpp|core/ProcessorFeatures\.cpp):')
if [ -n "$win32" ]; then
  while IFS= read -r line; do offence "_WIN32 outside platform/ and the glue: $line"; done <<<"$win32"
fi

# Host texts are written as readable text ("..."_cp1251), not as escaped bytes.
escaped=$(grep -rnE '"([^"\\]|\\.)*\\x[89A-Fa-f][0-9A-Fa-f]' --include='*.cpp' --include='*.h' \
  core recognition window host editor controls resources platform tools)
if [ -n "$escaped" ]; then
  while IFS= read -r line; do offence "a code page 1251 text written as escaped bytes: $line"; done <<<"$escaped"
fi

[ $status -eq 0 ] && echo "check-layers: the includes follow the layers"
exit $status
