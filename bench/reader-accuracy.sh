#!/usr/bin/env bash
# Accuracy of `kytdcr recognize` next to the plug-in's own recognition and to
# ocrad, gocr and tesseract, in one table.
#
# Renders the texts of bench/reader-pages (English and Russian, written for this
# table alone) as pages: several fonts (some the bundled knowledge bases never
# saw), 12 to 32 pixels, anti-aliased, on plain and coloured backgrounds, one
# page of light text on dark, one screenshot-like strip of framed labels. For
# every page it prints the character error rate in percent (edit distance
# between the recognised and the true text over the true text's length, blanks
# and line breaks made single spaces) of:
#   plugin      kytdcr recognize --plugin (the plug-in's defaults 196, 10, 22)
#   tuned       --plugin with parameters chosen by hand for the page
#   reader      kytdcr recognize with its defaults
#   ocrad, gocr, tesseract (when installed: bash scripts/setup.sh compare)
# then the means over all pages and over the pages of 16 pixels and more.
# A measurement, not a test: it prints figures and never fails on them.
#
# Usage: bench/reader-accuracy.sh [--kytdcr PATH] [--keep DIR] [--texts DIR] [--programs "LIST"]
#   --texts DIR     render the texts of DIR instead (bench/reader-tuning holds
#                   other texts of the same kind, for trying changes on pages
#                   other than the reported ones)
#   --programs LIST only these columns, e.g. "reader"
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/bench/common.sh"
kytdcr=${KYTDCR:-}
keep=""
texts=""
programs="plugin tuned reader ocrad gocr tesseract"
while [ $# -gt 0 ]; do
  case "$1" in
    --kytdcr) kytdcr=$2; shift 2 ;;
    --keep) keep=$2; shift 2 ;;
    --texts) texts=$2; shift 2 ;;
    --programs) programs=$2; shift 2 ;;
    -h|--help) bench_usage; exit 0 ;;
    *) echo "reader-accuracy.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done
texts=${texts:-$root/bench/reader-pages}
bench_setup

# name | language | font | size | render options | hand-tuned --plugin options
pages=$(cat <<'PAGES'
en-dejavu-12|english|DejaVuSans|12||--bw 196 --noise 2 --space 4
en-dejavu-16|english|DejaVuSans|16||--bw 196 --noise 3 --space 5
en-libserif-20|english|LiberationSerif-Regular|20||--bw 196 --noise 3 --space 5
en-freesans-24|english|FreeSans|24||--bw 196 --noise 4 --space 6
en-dejavuserif-32|english|DejaVuSerif|32||--bw 196 --noise 6 --space 8
en-grey-20|english|LiberationSans-Regular|20|--ink 505050 --paper c8c8c8|--bw 180 --noise 3 --space 5
en-colour-24|english|DejaVuSans|24|--ink 1a3c8c --paper fff0b4|--bw 200 --noise 4 --space 6
en-inverted-20|english|DejaVuSans|20|--ink f0f0f0 --paper 283040|--bw 196 --noise 3 --space 5
en-strip-16|english|DejaVuSans|16|--frame 4 --line-gap 14 --paper e1e1e1|--bw 170 --noise 3 --space 5
ru-dejavu-12|russian|DejaVuSans|12||--bw 196 --noise 2 --space 4
ru-dejavu-16|russian|DejaVuSans|16||--bw 196 --noise 3 --space 5
ru-libserif-20|russian|LiberationSerif-Regular|20||--bw 196 --noise 3 --space 5
ru-freesans-24|russian|FreeSans|24||--bw 196 --noise 4 --space 6
ru-dejavuserif-32|russian|DejaVuSerif|32||--bw 196 --noise 6 --space 8
ru-colour-20|russian|LiberationSans-Regular|20|--ink 7a1010 --paper d8ecd8|--bw 170 --noise 3 --space 5
PAGES
)
run() {
  local program=$1 lang=$2 base=$3 tuned=$4 out=$5 kb=latin l=eng
  [ "$lang" = russian ] && kb=russian l=rus
  case "$program" in
    plugin) "$kytdcr" recognize --kb "$kb" --plugin -o "$out" "$base.png" ;;
    # shellcheck disable=SC2086
    tuned) "$kytdcr" recognize --kb "$kb" --plugin $tuned -o "$out" "$base.png" ;;
    reader) "$kytdcr" recognize --kb "$kb" -o "$out" "$base.png" ;;
    ocrad) ocrad -o "$out" "$base.pgm" ;;
    gocr) gocr -f UTF8 -i "$base.pgm" >"$out" 2>/dev/null ;;
    tesseract) tesseract "$base.png" "${out%.txt}" -l "$l" >/dev/null 2>&1 ;;
  esac
}

printf '%-20s' page
for p in $programs; do printf ' %9s' "$p"; done
printf '\n'
declare -A sum count sum16 count16
while IFS='|' read -r name lang font size render tuned; do
  [ -n "$name" ] || continue
  truth="$texts/$lang.txt"
  base="$work/$name"
  # shellcheck disable=SC2086
  render_page "$base" "$truth" --font "$font" --size "$size" $render
  printf '%-20s' "$name"
  for p in $programs; do
    case "$p" in plugin|tuned|reader) ;; *) have "$p" || { printf ' %9s' -; continue; } ;; esac
    out="$base.$p.txt"
    rate=fail
    if run "$p" "$lang" "$base" "$tuned" "$out" && [ -f "$out" ]; then rate=$(cer "$out" "$truth"); fi
    printf ' %9s' "$rate"
    if [[ "$rate" =~ ^[0-9.]+$ ]]; then
      sum[$p]=$(echo "${sum[$p]:-0} + $rate" | bc -l); count[$p]=$(( ${count[$p]:-0} + 1 ))
      if [ "$size" -ge 16 ]; then
        sum16[$p]=$(echo "${sum16[$p]:-0} + $rate" | bc -l); count16[$p]=$(( ${count16[$p]:-0} + 1 ))
      fi
    fi
  done
  printf '\n'
done <<<"$pages"
mean() { local s=$1 n=$2; [ "${n:-0}" -gt 0 ] && printf ' %9.1f' "$(echo "$s / $n" | bc -l)" || printf ' %9s' -; }
printf '%-20s' "mean"
for p in $programs; do mean "${sum[$p]:-0}" "${count[$p]:-0}"; done
printf '\n%-20s' "mean, 16 px and up"
for p in $programs; do mean "${sum16[$p]:-0}" "${count16[$p]:-0}"; done
printf '\n'
