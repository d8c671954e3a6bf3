# The PASS/FAIL tally of the objdump checks (check-exports.sh, check-sse.sh),
# sourced by them:
#
#   check <name> <0|1 ok> [detail]   one PASS or FAIL line, counted
#   tally <label>                    "<label>: N passed, M failed"; fails when any check failed
passed=0
failed=0
check() {
  if [ "$2" = 0 ]; then
    passed=$((passed + 1)); echo "PASS $1"
  else
    failed=$((failed + 1)); echo "FAIL $1${3:+: $3}"
  fi
}
tally() {
  echo "$1: $passed passed, $failed failed"
  [ "$failed" -eq 0 ]
}
