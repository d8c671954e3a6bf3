#!/usr/bin/env bash
# Peak memory of decoding small files that claim huge pictures: writes them
# (hostile-pictures.py) and decodes each in its own process.
#   bench/decode-memory/decode-memory.sh [BUILD]   (default build-bench)
# Prints: file, its size in bytes, peak memory in MB, and the outcome.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build-bench}
tool=$build/bench/kyt_decode_memory
[ -x "$tool" ] || { echo "decode-memory.sh: build $tool first (ninja -C $build kyt_decode_memory)" >&2; exit 1; }
files=$(mktemp -d); trap 'rm -rf "$files"' EXIT
python3 "$here/hostile-pictures.py" "$files"
printf '%-30s %10s %8s  %s\n' file bytes "peak MB" outcome
for f in "$files"/*; do
  "$tool" "$f" | awk -F'\t' '{ printf "%-30s %10s %8s  %s\n", $1, $2, $3, $4 }'
done
