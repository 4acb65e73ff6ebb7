#!/usr/bin/env bash
# Every test: native unit tests (ASan+UBSan), end-to-end tests of the real DLL in the simulated
# host under wine64, and the check of the shipped 32-bit DLL. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bash tools/setup.sh

started=$(date +%s)
for preset in native win64 win32; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done
built=$(date +%s)

status=0
ctest --test-dir build/native --output-on-failure -j2 || status=1
ctest --test-dir build/win64 --output-on-failure || status=1
ctest --test-dir build/win32 --output-on-failure || status=1
finished=$(date +%s)

echo "build: $((built - started)) s, tests: $((finished - built)) s"
[ $status -eq 0 ] && echo "ALL TESTS PASSED" || echo "SOME TESTS FAILED"
exit $status
