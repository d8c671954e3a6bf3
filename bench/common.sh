# What the benchmark scripts share; they source it, nobody runs it. The
# caller sets `root` (the checkout) before it sources this file, and `kytdcr`
# (empty: find one) and `keep` (empty: a temporary folder) before bench_setup.

# Prints the caller's leading comment block, without the comment marks, as
# its usage (for -h and --help).
bench_usage() {
  awk 'NR > 1 && !/^#/ { exit } NR > 1' "$0" | sed 's/^# \{0,1\}//'
}

# Finds kytdcr when `kytdcr` is empty (building it when there is none) and
# stops with status 2 when it is not a program; then makes `work`: the folder
# `keep`, or a temporary one that goes when the script ends.
bench_setup() {
  [ -n "$kytdcr" ] || kytdcr=$(bash "$root/scripts/find-kytdcr.sh")
  [ -x "$kytdcr" ] || { echo "${0##*/}: kytdcr not found at $kytdcr" >&2; exit 2; }
  work=${keep:-$(mktemp -d)}
  mkdir -p "$work"
  [ -n "$keep" ] || trap 'rm -rf "$work"' EXIT
}

have() { command -v "$1" >/dev/null 2>&1; }

# Renders the text file $2 as the pictures $1.png and $1.pgm, the same page in
# the two formats the programs read; the remaining arguments are options of
# kytdcr render (font, size, colours).
render_page() {
  local base=$1 text=$2
  shift 2
  "$kytdcr" render "$@" -o "$base.png" "$text"
  "$kytdcr" render "$@" -o "$base.pgm" "$text"
}

# Character error rate of $1 (recognised) against $2 (truth), in percent: the
# edit distance over the true text's length, after runs of blanks and line
# breaks become one space.
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
