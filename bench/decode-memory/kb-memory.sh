#!/usr/bin/env bash
# Peak memory of loading knowledge bases, hostile and real, from the file and
# through the host's embedded stream, each in its own process.
#   bench/decode-memory/kb-memory.sh [BUILD]   (default build-bench)
# Prints: file, source, its size in bytes, the process's peak memory in MB,
# what the load added to it in MB, and the outcome.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build-bench}
tool=${KYT_KB_MEMORY_TOOL:-$build/bench/kyt_kb_memory}
[ -x "$tool" ] || { echo "kb-memory.sh: build $tool first (ninja -C $build kyt_kb_memory)" >&2; exit 1; }
files=$(mktemp -d); trap 'rm -rf "$files"' EXIT
python3 "$here/hostile-knowledge-bases.py" "$files"
printf '%-36s %-6s %10s %8s %8s  %s\n' file source bytes "peak MB" "load MB" outcome
for f in "$files"/*.dcr "$here"/../../data/kb/*.dcr; do
  for how in file stream; do
    "$tool" "$how" "$f" | awk -F'\t' '{ printf "%-36s %-6s %10s %8s %8s  %s\n", $1, $2, $3, $4, $5, substr($6, 1, 110) }'
  done
done
