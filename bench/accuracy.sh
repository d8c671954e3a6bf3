#!/usr/bin/env bash
# Accuracy and speed of kytdcr next to ocrad, gocr and tesseract, in one table.
#
# Renders the validation pages (bench/pages/english.txt, russian.txt: texts of
# our own that no knowledge base is trained on) anti-aliased with fonts the
# bundled bases learnt and with the fonts held out of their training
# (data/fonts/heldout.txt), at several pixel sizes. Every program reads the
# same pictures; each row is one page, each column a program's character
# error rate (edit distance between the recognised and the true text over the
# true text's length, after runs of blanks and line breaks become one space).
# Means follow per language, font set and size band, and the wall time per page.
#
# This is a measurement, not a test: it prints figures and never fails on them.
#
# Usage: bench/accuracy.sh [--kytdcr PATH] [--sizes "12 16 20 24 32"]
#          [--fonts "DejaVuSans ..."] [--held-out "OpenSans-Regular ..."]
#          [--programs "kytdcr ocrad gocr tesseract"] [--bases "before=DIR ..."]
#          [--langs "english russian"] [--pages DIR] [--keep DIR]
# --bases adds a kytdcr column per folder of latin.dcr/russian.dcr (for
# example the bases of an earlier commit, to compare before and after).
# --pages reads DIR/english.txt and DIR/russian.txt instead of bench/pages
# (data/tune holds the texts for choosing between training recipes, so that
# the pages reported here are never tuned to).
# Environment: KYTDCR (path of the kytdcr program), KYTDCR_ARGS (extra options
# of kytdcr recognize; default "--noise 3 --space auto").
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/bench/common.sh"
kytdcr=${KYTDCR:-}
sizes="12 16 20 24 32"
fonts="DejaVuSans DejaVuSerif LiberationSans-Regular LiberationSerif-Regular"
held=$(grep -v '^#' "$root/data/fonts/heldout.txt" | xargs)
programs="kytdcr ocrad gocr tesseract"
bases=""
langs="english russian"
pages="$root/bench/pages"
keep=""
kytdcr_args=${KYTDCR_ARGS:---noise 3 --space auto}

while [ $# -gt 0 ]; do
  case "$1" in
    --kytdcr) kytdcr=$2; shift 2 ;;
    --sizes) sizes=$2; shift 2 ;;
    --fonts) fonts=$2; shift 2 ;;
    --held-out) held=$2; shift 2 ;;
    --programs) programs=$2; shift 2 ;;
    --bases) bases=$2; shift 2 ;;
    --langs) langs=$2; shift 2 ;;
    --pages) pages=$2; shift 2 ;;
    --keep) keep=$2; shift 2 ;;
    -h|--help) bench_usage; exit 0 ;;
    *) echo "accuracy.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done

bench_setup

# The columns: kytdcr with the bundled bases, then one per --bases folder,
# then the peers that are installed.
columns=()
declare -A kbdir
for program in $programs; do
  if [ "$program" = kytdcr ]; then
    columns+=(kytdcr)
    kbdir[kytdcr]=""
    for b in $bases; do
      name=${b%%=*}; dir=${b#*=}
      if [ ! -f "$dir/latin.dcr" ] || [ ! -f "$dir/russian.dcr" ]; then
        echo "accuracy.sh: $dir has no latin.dcr and russian.dcr" >&2
        exit 2
      fi
      columns+=("kytdcr:$name")
      kbdir[kytdcr:$name]=$dir
    done
  elif have "$program"; then
    columns+=("$program")
  else
    echo "accuracy.sh: $program is not installed; its column is left out" >&2
  fi
done

now() { date +%s.%N; }

# Runs one column's program on one page; prints "CER seconds".
run() {
  local column=$1 lang=$2 png=$3 pgm=$4 truth=$5 out=$6 start end
  start=$(now)
  case "$column" in
    kytdcr*)
      local kb=latin; [ "$lang" = russian ] && kb=russian
      [ -n "${kbdir[$column]}" ] && kb="${kbdir[$column]}/$kb.dcr"
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

printf '%-8s %-24s %-9s %4s' page font fonts size
for c in "${columns[@]}"; do printf ' %14s' "$c"; done
printf '\n'
declare -A sum count secs
band() { if [ "$1" -ge 16 ]; then echo ">=16px"; else echo "<16px"; fi; }
for lang in $langs; do
  truth="$pages/$lang.txt"
  for set in trained held-out; do
    list=$fonts; [ "$set" = held-out ] && list=$held
    for font in $list; do
      for size in $sizes; do
        base="$work/$lang-$font-$size"
        render_page "$base" "$truth" --font "$font" --size "$size"
        printf '%-8s %-24s %-9s %4s' "$lang" "$font" "$set" "$size"
        for c in "${columns[@]}"; do
          read -r rate t < <(run "$c" "$lang" "$base.png" "$base.pgm" "$truth" "$base.${c//:/-}.txt" || echo "fail -")
          printf ' %14s' "$rate"
          if [[ "$rate" =~ ^[0-9.]+$ ]]; then
            for key in "$lang.$set.all.$c" "$lang.$set.$(band "$size").$c"; do
              sum[$key]=$(echo "${sum[$key]:-0} + $rate" | bc -l)
              count[$key]=$(( ${count[$key]:-0} + 1 ))
            done
            secs[$c]=$(echo "${secs[$c]:-0} + $t" | bc -l)
            count[time.$c]=$(( ${count[time.$c]:-0} + 1 ))
          fi
        done
        printf '\n'
      done
    done
  done
done
echo
echo "mean character error rate, %:"
printf '  %-8s %-9s %-7s' page fonts sizes
for c in "${columns[@]}"; do printf ' %14s' "$c"; done
printf '\n'
for lang in $langs; do
  for set in trained held-out; do
    for b in all "<16px" ">=16px"; do
      [ "${count[$lang.$set.$b.${columns[0]}]:-0}" -gt 0 ] || continue
      printf '  %-8s %-9s %-7s' "$lang" "$set" "$b"
      for c in "${columns[@]}"; do
        n=${count[$lang.$set.$b.$c]:-0}
        if [ "$n" -gt 0 ]; then printf ' %14.2f' "$(echo "${sum[$lang.$set.$b.$c]} / $n" | bc -l)"; else printf ' %14s' -; fi
      done
      printf '\n'
    done
  done
done
printf '  %-26s' "mean seconds per page"
for c in "${columns[@]}"; do
  n=${count[time.$c]:-0}
  if [ "$n" -gt 0 ]; then printf ' %14.2f' "$(echo "${secs[$c]} / $n" | bc -l)"; else printf ' %14s' -; fi
done
printf '\n'
