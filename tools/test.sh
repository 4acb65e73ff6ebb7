#!/usr/bin/env bash
# Every test: native unit tests (ASan+UBSan, leaks checked), end-to-end tests of the real DLL in
# the simulated host under wine64, the check of the shipped 32-bit DLL, and a short run of each
# fuzzer. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bash tools/setup.sh

started=$(date +%s)
for preset in native win64 win32 fuzz; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done
built=$(date +%s)

status=0
# A leak fails the test that made it, whatever ASAN_OPTIONS the caller has set.
ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=1" ctest --test-dir build/native --output-on-failure -j2 || status=1
ctest --test-dir build/win64 --output-on-failure || status=1
ctest --test-dir build/win32 --output-on-failure || status=1
ctest --test-dir build/fuzz --output-on-failure -j2 || status=1
finished=$(date +%s)

echo "build: $((built - started)) s, tests: $((finished - built)) s"
[ $status -eq 0 ] && echo "ALL TESTS PASSED" || echo "SOME TESTS FAILED"
exit $status
