#!/usr/bin/env bash
# Builds kytdcr and recognises the bundled sample with the bundled knowledge base.
# Any arguments replace the default job: scripts/run.sh recognize --kb FILE PICTURE
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DKYT_BUILD_TESTS=OFF -DKYT_BUILD_BENCH=OFF >/dev/null
ninja -C build kytdcr >/dev/null
if [ $# -gt 0 ]; then
  exec build/tools/kytdcr/kytdcr "$@"
fi
exec build/tools/kytdcr/kytdcr recognize data/samples/sample.png
