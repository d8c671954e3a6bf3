#!/usr/bin/env bash
# Rebuilds the bundled knowledge bases (data/kb/latin.dcr, data/kb/russian.dcr)
# and the sample pictures with their expected texts (data/samples), with
# kytdcr itself. Deterministic: the same program and fonts give the same files.
#
# Usage: scripts/make-knowledge-bases.sh [--kytdcr PATH] [--only latin|russian|samples]
# Needs the fonts of the Debian packages fonts-dejavu-core and fonts-liberation.
# Both bases train at the same time, one per core; each takes some minutes.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
kytdcr=${KYTDCR:-}
only=""
while [ $# -gt 0 ]; do
  case "$1" in
    --kytdcr) kytdcr=$2; shift 2 ;;
    --only) only=$2; shift 2 ;;
    -h|--help) sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "make-knowledge-bases.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done
if [ -z "$kytdcr" ]; then
  kytdcr=$(bash "$root/scripts/find-kytdcr.sh")
fi
if [ ! -x "$kytdcr" ]; then
  echo "make-knowledge-bases.sh: kytdcr not found at $kytdcr" >&2
  exit 2
fi

# The fonts the bases learn, the sizes (pixels per em) they are rendered at,
# and the training goals.
fonts=(--font DejaVuSans --font DejaVuSerif --font LiberationSans-Regular --font LiberationSerif-Regular)
renderings=(--sizes 14,18,24,32,40 --shifts 0 --bw-variants 196 --noise 3 --pairs frequent --pair-min 3)
network=(--grid 16x16 --hidden 64)
goals=(--max-epochs 500 --learning-rate 0.02 --weight-range 0.1 --error-goal 0 --mean-error-goal 0.01 --seed 1251)

mkdir -p "$root/data/kb" "$root/data/samples"
train() {
  local name=$1 charset=$2
  local start=$SECONDS
  "$kytdcr" train --charset "$charset" "${fonts[@]}" "${renderings[@]}" "${network[@]}" "${goals[@]}" \
    --progress-every 50 -o "$root/data/kb/$name.dcr" 2>"$root/data/kb/$name.log"
  echo "$name.dcr: $((SECONDS - start)) s ($(tail -n 1 "$root/data/kb/$name.log"))"
}

pids=()
if [ -z "$only" ] || [ "$only" = latin ]; then train latin latin & pids+=($!); fi
if [ -z "$only" ] || [ "$only" = russian ]; then train russian russian & pids+=($!); fi
status=0
for pid in "${pids[@]}"; do wait "$pid" || status=1; done
[ "$status" -eq 0 ] || { echo "make-knowledge-bases.sh: training failed; see data/kb/*.log" >&2; exit 1; }

# The sample pictures: DejaVu Sans at 32 pixels, where a full stop has more
# pixels than the default noise threshold (10), with words spaced wider than the
# default space width (22 columns). The expected text is made from the source
# text by the rule of the recognition driver, not by running recognition: every
# word is followed by one space, a line-final "." by CR LF before that space;
# kytdcr ends its output with one line feed.
if [ -z "$only" ] || [ "$only" = samples ]; then
  for sample in sample sample-ru; do
    src="$root/data/samples/$sample.source.txt"
    "$kytdcr" render --font DejaVuSans --size 32 --word-gap 16 --line-gap 8 -o "$root/data/samples/$sample.png" "$src"
    python3 - "$src" "$root/data/samples/$sample.txt" <<'PY'
import sys
lines = open(sys.argv[1], encoding="utf-8").read().splitlines()
out = []
for line in lines:
    words = line.split()
    for i, word in enumerate(words):
        out.append(word)
        if i == len(words) - 1 and word.endswith("."):
            out.append("\r\n")
        out.append(" ")
open(sys.argv[2], "w", encoding="utf-8", newline="").write("".join(out) + "\n")
PY
    echo "$sample.png, $sample.txt"
  done
fi
