#!/usr/bin/env bash
# Prints the path of a built kytdcr, building it into build/ when there is none.
# Sourced helpers call it as: kytdcr=$(bash scripts/find-kytdcr.sh)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
for candidate in "$root/build/tools/kytdcr/kytdcr" "$root/build-test/tools/kytdcr/kytdcr"; do
  if [ -x "$candidate" ]; then echo "$candidate"; exit 0; fi
done
echo "building kytdcr into build/ ..." >&2
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DKYT_BUILD_TESTS=OFF -DKYT_BUILD_BENCH=OFF >/dev/null
ninja -C "$root/build" kytdcr >/dev/null
echo "$root/build/tools/kytdcr/kytdcr"
