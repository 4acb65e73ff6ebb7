#!/usr/bin/env bash
# The benchmark report: builds release binaries and prints every figure in one run.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bash tools/setup.sh

cmake -S . -B build/bench-native -G Ninja -DCMAKE_BUILD_TYPE=Release -DQV_TESTS=OFF >/dev/null
cmake --build build/bench-native >/dev/null
for preset in win32 win64; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" >/dev/null
done

echo "== Benchmark report, $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, $(uname -m)"
echo
echo "== ns per tick and per filtered log call (native, Google Benchmark)"
build/bench-native/bench/bench_tick --benchmark_min_time=0.5 2>/dev/null | sed -n '/^Benchmark/,$p'

echo
echo "== instructions per tick (callgrind, native release)"
ticks=20000
for path in not-running steady baseline change; do
    out=$(mktemp)
    valgrind --tool=callgrind --toggle-collect=RunTicks --callgrind-out-file="$out" \
        build/bench-native/bench/tick_driver "$path" "$ticks" >/dev/null 2>&1
    total=$(sed -n 's/^summary: *\([0-9]*\).*/\1/p' "$out")
    [ -n "$total" ] || total=$(sed -n 's/^totals: *\([0-9]*\).*/\1/p' "$out")
    rm -f "$out"
    printf '  %-12s %8.1f instructions/tick\n' "$path" "$(echo "$total / $ticks" | bc -l)"
done

echo
echo "== shipped DLL"
tools/check-dll build/win32/QUORVAN-9.dll
