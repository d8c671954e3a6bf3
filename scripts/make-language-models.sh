#!/usr/bin/env bash
# Rebuilds the page reader's language models (data/kb/latin.lm, russian.lm):
# character n-gram statistics of running text from Debian's fortune packages,
# fortunes-min and fortunes (English, BSD licence) and fortunes-ru (Russian,
# GPL-2). Deterministic: the same program and packages give the same files.
#
# Usage: scripts/make-language-models.sh [--kytdcr PATH] [--order N] [--min-count LIST]
#          [--out DIR]   (models into DIR instead of data/kb)
# Installs the fortune packages (as root, with apt-get) when they are missing.
# A fortune that holds a line of the reported pages (bench/pages) or of the
# tuning pages (data/tune) is left out, and the script fails if any such line
# is still in the text the models learn from.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
kytdcr=${KYTDCR:-}
order=5
mincount="1,1,2,2,3"
out="$root/data/kb"
while [ $# -gt 0 ]; do
  case "$1" in
    --kytdcr) kytdcr=$2; shift 2 ;;
    --order) order=$2; shift 2 ;;
    --min-count) mincount=$2; shift 2 ;;
    --out) out=$2; shift 2 ;;
    -h|--help) sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "make-language-models.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done
if [ -z "$kytdcr" ]; then
  kytdcr=$(bash "$root/scripts/find-kytdcr.sh")
fi
if [ ! -x "$kytdcr" ]; then
  echo "make-language-models.sh: kytdcr not found at $kytdcr" >&2
  exit 2
fi

packages=(fortunes-min fortunes fortunes-ru)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "make-language-models.sh: installing ${missing[*]} needs root" >&2
    exit 1
  fi
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dir=/usr/share/games/fortunes
export LC_ALL=C.UTF-8

# The lines that must never be learnt: the pages that are read and reported.
cat "$root"/bench/pages/*.txt "$root"/data/tune/*.txt | sed 's/^[[:space:]]*//; s/[[:space:]]*$//' |
  grep -v '^$' >"$work/held"

# One fortune per line (its lines joined by blanks), those that hold a held line left out.
fortunes() {
  local f
  for f in "$@"; do
    awk 'BEGIN { RS = "\n%\n" } { gsub(/[[:space:]]+/, " "); sub(/^ /, ""); sub(/ $/, ""); if ($0 != "" && $0 != "%") print }' "$f"
  done | tr -s ' ' | grep -v -F -f "$work/held" || true
}

english=()
for f in "$dir"/*; do
  case "$f" in *.dat|*.u8|*/ascii-art|*/ru) continue ;; esac
  [ -f "$f" ] && english+=("$f")
done
russian=()
for f in "$dir"/ru/*; do
  case "$f" in *.dat|*.u8) continue ;; esac
  [ -f "$f" ] && russian+=("$f")
done
fortunes "${english[@]}" >"$work/english.txt"
fortunes "${russian[@]}" >"$work/russian.txt"

for lang in english russian; do
  # The check: no held line occurs in what the model learns from.
  if grep -q -F -f "$work/held" "$work/$lang.txt"; then
    echo "make-language-models.sh: a line of the reported or tuning pages is in the $lang text" >&2
    exit 1
  fi
done

mkdir -p "$out"
"$kytdcr" language-model --alphabet latin --order "$order" --min-count "$mincount" -o "$out/latin.lm" "$work/english.txt"
"$kytdcr" language-model --alphabet russian --order "$order" --min-count "$mincount" -o "$out/russian.lm" "$work/russian.txt"
ls -l "$out/latin.lm" "$out/russian.lm"
