#!/usr/bin/env bash
# Builds everything and runs the whole test suite: the native tests (engine,
# pictures, host interface, tool) under CTest, then the Windows plug-in checks
# (wine64 suite of the x86_64 build, qemu suite of the 32-bit glue, export table
# of the 32-bit DLL).
set -uo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)

bash scripts/setup.sh windows || exit 1

native_failed=0
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null || exit 1
ninja -C build-test -j"$jobs" || exit 1
(cd build-test && ctest --output-on-failure -j"$jobs") | tee build-test/ctest.log
[ "${PIPESTATUS[0]}" -eq 0 ] || native_failed=1

windows_failed=0
bash scripts/test-windows.sh || windows_failed=1

passed=$(grep -Eo '[0-9]+ tests failed out of [0-9]+' build-test/ctest.log | awk '{print $6 - $1}')
failed=$(grep -Eo '[0-9]+ tests failed out of' build-test/ctest.log | awk '{print $1}')
echo
echo "native: ${passed:-0} passed, ${failed:-?} failed; windows checks: $([ $windows_failed -eq 0 ] && echo passed || echo FAILED)"
[ $native_failed -eq 0 ] && [ $windows_failed -eq 0 ]
