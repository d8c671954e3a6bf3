#!/usr/bin/env bash
# Whole-process speed of kytdcr recognize next to ocrad, run for run.
#
# Renders pages of about 500, 1,800 and 7,000 glyphs (the lines of
# bench/pages/english.txt repeated, DejaVuSans at 24 px, as PGM, which both
# programs read) and runs on each, in turn and in the same round:
#   kytdcr recognize --plugin   the plug-in's recognition,
#   kytdcr recognize            the page reader (parameters from the picture),
#   ocrad.
# Every round starts the three one after the other, so a busy machine slows
# them alike. For each program it prints the median of the rounds' CPU time
# (user + system of the process, from wait4) and of the wall time, the peak
# resident memory (GNU time, one extra run), and the ratio of its median CPU
# time to ocrad's.
#
# With --instructions it also counts the instructions each program runs on
# each page under callgrind (valgrind), which unlike the times do not change
# with the machine's load; callgrind runs the AVX2 kernels where the
# processor has AVX-512, since valgrind has no AVX-512.
#
# Every page is also run with grey grain added to its pixels (Gaussian, of
# standard deviation --grain, 18 by default, fixed seed; 0 leaves it out), as a
# scan has: the edges of the strokes then fall differently on every glyph, so
# that no two glyph grids are alike as they are on a clean rendering. Those
# pages are named with a g after the glyph count (1800g).
#
# This is a measurement, not a test: it prints figures and never fails on them.
#
# Usage: bench/speed.sh [--kytdcr PATH] [--runs N] [--glyphs "500 1800 7000"]
#          [--font FONT] [--size PX] [--kb KB] [--grain SIGMA] [--keep DIR] [--instructions]
# Environment: KYTDCR (path of the kytdcr program).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/bench/common.sh"
kytdcr=${KYTDCR:-}
runs=11
glyphs="500 1800 7000"
font=DejaVuSans
size=24
kb=latin
grain=18
keep=""
instructions=0

while [ $# -gt 0 ]; do
  case "$1" in
    --kytdcr) kytdcr=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --glyphs) glyphs=$2; shift 2 ;;
    --font) font=$2; shift 2 ;;
    --size) size=$2; shift 2 ;;
    --kb) kb=$2; shift 2 ;;
    --grain) grain=$2; shift 2 ;;
    --keep) keep=$2; shift 2 ;;
    --instructions) instructions=1; shift ;;
    -h|--help) bench_usage; exit 0 ;;
    *) echo "speed.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done

bench_setup
if [ $instructions -eq 1 ] && ! have valgrind; then
  echo "speed.sh: valgrind is not installed; no instruction counts" >&2
  instructions=0
fi
have_ocrad=1
have ocrad || { have_ocrad=0; echo "speed.sh: ocrad is not installed; no ratios" >&2; }

pages=()
for n in $glyphs; do
  # Whole lines of the text until the page holds at least n glyphs.
  text="$work/page-$n.txt"
  awk -v want="$n" '
    { line[NR] = $0 }
    END {
      got = 0
      for (i = 0; got < want; i = i % NR + 1) {
        if (i == 0) continue
        print line[i]
        s = line[i]; gsub(/[ \t]/, "", s); got += length(s)
      }
    }' "$root/bench/pages/english.txt" >"$text"
  "$kytdcr" render --font "$font" --size "$size" -o "$work/page-$n.pgm" "$text"
  pages+=("$work/page-$n.pgm")
done
if [ "$grain" != 0 ]; then
  for n in $glyphs; do
    python3 - "$work/page-$n.pgm" "$work/page-${n}g.pgm" "$grain" <<'PY'
import random, sys
source, target, sigma = sys.argv[1], sys.argv[2], float(sys.argv[3])
with open(source, "rb") as f:
    magic, size, depth, pixels = f.read().split(b"\n", 3)
assert magic == b"P5" and depth == b"255"
rng = random.Random(1251)
grained = bytes(max(0, min(255, int(v + rng.gauss(0, sigma)))) for v in pixels)
with open(target, "wb") as f:
    f.write(b"P5\n" + size + b"\n255\n" + grained)
PY
    pages+=("$work/page-${n}g.pgm")
  done
fi

python3 - "$kytdcr" "$kb" "$runs" "$have_ocrad" "$instructions" "${pages[@]}" <<'PY'
import os, re, statistics, subprocess, sys, time

kytdcr, kb, runs, have_ocrad = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4] == "1"
count_instructions = sys.argv[5] == "1"
pages = sys.argv[6:]
have_time = os.access("/usr/bin/time", os.X_OK)

# The text goes to standard output, which is /dev/null (ocrad's -o refuses an
# existing file).
def programs(page):
    p = [("kytdcr --plugin", [kytdcr, "recognize", "--kb", kb, "--plugin", page]),
         ("kytdcr", [kytdcr, "recognize", "--kb", kb, page])]
    if have_ocrad:
        p.append(("ocrad", ["ocrad", page]))
    return p

def run(argv):
    start = time.perf_counter()
    child = subprocess.Popen(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    wall = time.perf_counter() - start
    if status != 0:
        sys.exit("speed.sh: %s failed (status %d)" % (" ".join(argv), status))
    return usage.ru_utime + usage.ru_stime, wall

# The peak resident memory, from GNU time: a child of this Python process
# would report the parent's memory as its own peak.
def peak(argv):
    r = subprocess.run(["/usr/bin/time", "-f", "%M"] + argv, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                       text=True)
    lines = r.stderr.strip().splitlines()
    return int(lines[-1]) if lines and lines[-1].isdigit() else 0

print("%-6s %7s  %-16s %10s %10s %9s %8s" % ("page", "glyphs", "program", "cpu ms", "wall ms", "peak MB", "cpu/ocrad"))
for page in pages:
    n = re.search(r"page-(\d+g?)\.pgm$", page).group(1)
    text = re.sub(r"g?\.pgm$", ".txt", page)
    with open(text, encoding="utf-8") as f:
        count = len(re.sub(r"\s", "", f.read()))
    progs = programs(page)
    for _, argv in progs:  # warm the page cache and the libraries
        run(argv)
    cpu = {name: [] for name, _ in progs}
    wall = {name: [] for name, _ in progs}
    peaks = {name: peak(argv) if have_time else 0 for name, argv in progs}
    for _ in range(runs):
        for name, argv in progs:
            c, w = run(argv)
            cpu[name].append(c); wall[name].append(w)
    base = statistics.median(cpu["ocrad"]) if have_ocrad else None
    for name, _ in progs:
        c = statistics.median(cpu[name])
        ratio = "%.2f" % (c / base) if base else "-"
        print("%-6s %7d  %-16s %10.1f %10.1f %9.1f %8s" % (
            n, count, name, 1000 * c, 1000 * statistics.median(wall[name]), peaks[name] / 1024.0, ratio))
print("(%d rounds; medians; CPU = user + system time of the process)" % runs)

# Instructions of the whole process, from callgrind's closing report.
def instructions(argv):
    r = subprocess.run(["valgrind", "--tool=callgrind", "--callgrind-out-file=/dev/null"] + argv,
                       stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    m = re.search(r"Collected : (\d+)", r.stderr)
    return int(m.group(1)) if m else 0

if count_instructions:
    print()
    print("%-6s %-16s %14s %9s" % ("page", "program", "instructions", "/ocrad"))
    for page in pages:
        n = re.search(r"page-(\d+g?)\.pgm$", page).group(1)
        counts = [(name, instructions(argv)) for name, argv in programs(page)]
        base = dict(counts).get("ocrad")
        for name, c in counts:
            print("%-6s %-16s %14s %9s" % (n, name, "{:,}".format(c), "%.2f" % (c / base) if base else "-"))
    print("(callgrind, whole process)")
PY
