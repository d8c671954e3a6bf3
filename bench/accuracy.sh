#!/usr/bin/env bash
# Accuracy and speed of kytdcr next to ocrad, gocr and tesseract.
#
# Renders pages of English and Russian text (bench/pages/*.txt) with fonts at
# several pixel sizes, runs every OCR program on the same pictures and prints,
# for each page and program, the character error rate (edit distance between
# the recognised and the true text, divided by the true text's length, after
# runs of blanks and line breaks are made single spaces) and the wall time.
#
# This is a measurement, not a test: it prints figures and never fails on them.
#
# Usage: bench/accuracy.sh [--kytdcr PATH] [--sizes "16 24 32"] [--fonts "DejaVuSans ..."]
#                          [--programs "kytdcr ocrad gocr tesseract"] [--keep DIR]
# Environment: KYTDCR (path of the kytdcr program), KYTDCR_ARGS (extra options
# of kytdcr recognize; default "--noise 3 --space auto").
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
kytdcr=${KYTDCR:-}
sizes="16 24 32"
fonts="DejaVuSans DejaVuSerif LiberationSans-Regular LiberationSerif-Regular"
programs="kytdcr ocrad gocr tesseract"
keep=""
kytdcr_args=${KYTDCR_ARGS:---noise 3 --space auto}

while [ $# -gt 0 ]; do
  case "$1" in
    --kytdcr) kytdcr=$2; shift 2 ;;
    --sizes) sizes=$2; shift 2 ;;
    --fonts) fonts=$2; shift 2 ;;
    --programs) programs=$2; shift 2 ;;
    --keep) keep=$2; shift 2 ;;
    -h|--help) sed -n '2,15p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "accuracy.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done

if [ -z "$kytdcr" ]; then
  kytdcr=$(bash "$root/scripts/find-kytdcr.sh")
fi
if [ ! -x "$kytdcr" ]; then
  echo "accuracy.sh: kytdcr not found at $kytdcr" >&2
  exit 2
fi

work=${keep:-$(mktemp -d)}
mkdir -p "$work"
[ -n "$keep" ] || trap 'rm -rf "$work"' EXIT

have() { command -v "$1" >/dev/null 2>&1; }

# Character error rate of $1 (recognised) against $2 (truth), in percent.
cer() {
  python3 - "$1" "$2" <<'PY'
import re, sys
def norm(path):
    with open(path, encoding="utf-8", errors="replace") as f:
        return re.sub(r"\s+", " ", f.read()).strip()
got, want = norm(sys.argv[1]), norm(sys.argv[2])
prev = list(range(len(want) + 1))
for i, a in enumerate(got, 1):
    cur = [i] + [0] * len(want)
    for j, b in enumerate(want, 1):
        cur[j] = min(prev[j] + 1, cur[j - 1] + 1, prev[j - 1] + (a != b))
    prev = cur
print("%.1f" % (100.0 * prev[-1] / max(1, len(want))))
PY
}

now() { date +%s.%N; }

# Runs one program on one page; prints "CER time".
run() {
  local program=$1 lang=$2 png=$3 pgm=$4 truth=$5 out=$6 start end
  start=$(now)
  case "$program" in
    kytdcr)
      local kb=latin; [ "$lang" = russian ] && kb=russian
      # shellcheck disable=SC2086
      "$kytdcr" recognize --kb "$kb" $kytdcr_args -o "$out" "$png" >/dev/null ;;
    ocrad) ocrad -o "$out" "$pgm" ;;
    gocr) gocr -f UTF8 -i "$pgm" >"$out" 2>/dev/null ;;
    tesseract)
      local l=eng; [ "$lang" = russian ] && l=rus
      tesseract "$png" "${out%.txt}" -l "$l" >/dev/null 2>&1 ;;
  esac
  end=$(now)
  printf '%s %s\n' "$(cer "$out" "$truth")" "$(echo "$end - $start" | bc -l | xargs printf '%.2f')"
}

printf '%-8s %-26s %4s  %-10s %7s %8s\n' page font size program "CER %" "time s"
declare -A sum count
for lang in english russian; do
  truth="$root/bench/pages/$lang.txt"
  for font in $fonts; do
    for size in $sizes; do
      base="$work/$lang-$font-$size"
      "$kytdcr" render --font "$font" --size "$size" -o "$base.png" "$truth"
      "$kytdcr" render --font "$font" --size "$size" -o "$base.pgm" "$truth"
      for program in $programs; do
        if [ "$program" != kytdcr ] && ! have "$program"; then continue; fi
        read -r rate secs < <(run "$program" "$lang" "$base.png" "$base.pgm" "$truth" "$base.$program.txt" || echo "fail -")
        printf '%-8s %-26s %4s  %-10s %7s %8s\n' "$lang" "$font" "$size" "$program" "$rate" "$secs"
        if [[ "$rate" =~ ^[0-9.]+$ ]]; then
          sum[$lang.$program]=$(echo "${sum[$lang.$program]:-0} + $rate" | bc -l)
          count[$lang.$program]=$(( ${count[$lang.$program]:-0} + 1 ))
        fi
      done
    done
  done
done
echo
echo "mean character error rate:"
for lang in english russian; do
  for program in $programs; do
    n=${count[$lang.$program]:-0}
    [ "$n" -gt 0 ] || continue
    printf '  %-8s %-10s %6.1f %%  (%d pages)\n' "$lang" "$program" "$(echo "${sum[$lang.$program]} / $n" | bc -l)" "$n"
  done
done
