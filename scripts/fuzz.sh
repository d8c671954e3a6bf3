#!/usr/bin/env bash
# Coverage-guided fuzzing of the knowledge-base reader, the picture decoders,
# the tool's straight-to-ink reader, base64, the INI reader, number syntax and
# recognition (tests/fuzz), with libFuzzer, ASan and UBSan (clang).
#
#   scripts/fuzz.sh SECONDS [HARNESS...]
#       builds the harnesses in build-fuzz, runs each for SECONDS (all of them
#       when none is named) under nice, on a corpus kept outside the tree
#       (KYT_FUZZ_WORK, default ~/.cache/kytdcr-fuzz/<harness>/corpus) grown
#       from the checked-in seeds; then merges the corpus down to the inputs
#       that add coverage, minimises every finding and prints one line per
#       harness: executions, coverage, exec/s, findings.
#   scripts/fuzz.sh --seeds BUILD RUNS
#       the test suite's check: every harness built in BUILD runs RUNS inputs
#       from its checked-in seeds and their mutations; any finding fails.
#
# Variables: KYT_FUZZ_WORK (work folder), KYT_FUZZ_BUILD (build folder,
# default build-fuzz), KYT_FUZZ_JOBS (harnesses run at once, default 1),
# KYT_FUZZ_RUNS (stop each harness after so many executions, if that comes
# before SECONDS).
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
fuzz_dir=$root/tests/fuzz

# Options every run shares: a finding is any crash, sanitizer report, broken
# property, an input running over 30 s (a 4096 x 4096 picture under ASan on a
# busy machine takes seconds), or an allocation of more than 160 MB (the memory
# budget keeps the inputs libFuzzer makes below it).
common=(-timeout=30 -rss_limit_mb=3072 -malloc_limit_mb=160 -max_len=65536 -print_final_stats=1)

harness_names() {  # the harnesses of a build folder
  local f
  for f in "$1"/tests/fuzz/kyt_fuzz_*; do
    [ -x "$f" ] && basename "$f" | sed 's/^kyt_fuzz_//'
  done
}

options_of() {  # options of a harness beyond the common ones
  case $1 in
    # An RLA file's scan lines may all point to one record, so that two
    # kilobytes may decode to 16 million pixels within the memory budget; with
    # inputs of up to 64 KB (and the 33 KB seed of such a file) the runs spent
    # their time in such pictures rather than in the format's structure. The
    # header and a table of a few hundred lines fit in 4 KB.
    picture_rla) echo "-max_len=4096" ;;
  esac
}

dict_of() {  # the dictionary option of a harness, if it has one
  local name=$1 d=$fuzz_dir/dict/${1#picture_}.dict
  [ -f "$fuzz_dir/dict/$name.dict" ] && d=$fuzz_dir/dict/$name.dict
  [ -f "$d" ] && echo "-dict=$d"
}

if [ "${1:-}" = "--seeds" ]; then
  build=${2:?build folder}; runs=${3:?number of runs}
  scratch=$(mktemp -d); trap 'rm -rf "$scratch"' EXIT
  failed=0; count=0
  for name in $(harness_names "$build"); do
    count=$((count + 1))
    mkdir -p "$scratch/$name"
    seeds=$fuzz_dir/corpus/$name
    [ -d "$seeds" ] || seeds=$scratch/$name
    # New inputs go to the scratch folder (first), never into the tree.
    # shellcheck disable=SC2046
    if ! "$build/tests/fuzz/kyt_fuzz_$name" "${common[@]}" $(dict_of "$name") -seed=1 -runs="$runs" \
         -artifact_prefix="$scratch/$name/" "$scratch/$name" "$seeds" >"$scratch/$name.log" 2>&1; then
      echo "fuzz $name: FAILED"; tail -n 40 "$scratch/$name.log"; failed=1
    else
      echo "fuzz $name: $(grep -Eo 'cov: [0-9]+' "$scratch/$name.log" | tail -n 1), $runs runs"
    fi
  done
  [ "$count" -gt 0 ] || { echo "fuzz: no harnesses in $build"; exit 1; }
  exit $failed
fi

seconds=${1:?usage: scripts/fuzz.sh SECONDS [HARNESS...]}; shift
build=${KYT_FUZZ_BUILD:-$root/build-fuzz}
work=${KYT_FUZZ_WORK:-$HOME/.cache/kytdcr-fuzz}
jobs=${KYT_FUZZ_JOBS:-1}
limit=(); [ -n "${KYT_FUZZ_RUNS:-}" ] && limit=(-runs="$KYT_FUZZ_RUNS")
export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER:-ccache} CMAKE_C_COMPILER_LAUNCHER=${CMAKE_C_COMPILER_LAUNCHER:-ccache}
# The same configuration as the test suite's build of the harnesses, so that both share build-fuzz.
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER="$(command -v clang++)" \
  -DCMAKE_C_COMPILER="$(command -v clang)" -DKYT_FUZZ=ON -DKYT_WITH_TIFF=ON >/dev/null || exit 1
nice -n 10 ninja -C "$build" -j2 >/dev/null || { ninja -C "$build" -j1; exit 1; }

names=("$@")
[ ${#names[@]} -gt 0 ] || mapfile -t names < <(harness_names "$build")

run_one() {
  local name=$1 dir=$work/$1
  mkdir -p "$dir/corpus" "$dir/findings"
  [ -d "$fuzz_dir/corpus/$name" ] && cp -n "$fuzz_dir/corpus/$name"/* "$dir/corpus/" 2>/dev/null
  # shellcheck disable=SC2046
  nice -n 10 "$build/tests/fuzz/kyt_fuzz_$name" "${common[@]}" $(options_of "$name") $(dict_of "$name") \
    -max_total_time="$seconds" "${limit[@]}" \
    -artifact_prefix="$dir/findings/" "$dir/corpus" >"$dir/run.log" 2>&1
  # Keep only the inputs that add coverage, and make every finding small.
  rm -rf "$dir/merged"; mkdir -p "$dir/merged"
  if nice -n 10 "$build/tests/fuzz/kyt_fuzz_$name" "${common[@]}" -merge=1 "$dir/merged" "$dir/corpus" \
       >"$dir/merge.log" 2>&1; then
    rm -rf "$dir/corpus"; mv "$dir/merged" "$dir/corpus"
  fi
  local f
  for f in "$dir"/findings/crash-* "$dir"/findings/leak-* "$dir"/findings/timeout-* "$dir"/findings/oom-*; do
    [ -f "$f" ] || continue
    case "$f" in *.min) continue ;; esac
    [ -f "$f.min" ] || nice -n 10 "$build/tests/fuzz/kyt_fuzz_$name" "${common[@]}" -minimize_crash=1 -runs=20000 \
      -exact_artifact_path="$f.min" "$f" >"$f.minimize.log" 2>&1
  done
}

report_one() {
  local name=$1 dir=$work/$1 log=$work/$1/run.log
  local execs cov rate findings corpus
  execs=$(grep -Eo 'stat::number_of_executed_units: *[0-9]+' "$log" | awk '{print $2}')
  rate=$(grep -Eo 'stat::average_exec_per_sec: *[0-9]+' "$log" | awk '{print $2}')
  cov=$(grep -Eo 'cov: [0-9]+ ft: [0-9]+' "$log" | tail -n 1)
  corpus=$(find "$dir/corpus" -type f | wc -l)
  findings=$(find "$dir/findings" -type f ! -name '*.min' ! -name '*.log' | wc -l)
  printf '%-22s %12s execs %8s exec/s  %-22s corpus %6s  findings %s\n' "$name" "${execs:-?}" "${rate:-?}" \
    "${cov:-cov: ?}" "$corpus" "$findings"
}

running=0
for name in "${names[@]}"; do
  run_one "$name" &
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then wait -n; running=$((running - 1)); fi
done
wait

echo "harness                  executions   rate    coverage (edges, features)   corpus   findings"
status=0
for name in "${names[@]}"; do
  report_one "$name"
  [ -n "$(find "$work/$name/findings" -type f ! -name '*.min' ! -name '*.log' 2>/dev/null)" ] && status=1
done
[ $status -eq 0 ] || echo "findings (minimised copies end in .min): $work/<harness>/findings"
exit $status
