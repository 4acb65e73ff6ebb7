#!/usr/bin/env bash
# The benchmark report: builds release binaries and prints every figure in one run.
# Record a run in docs/benchmarks.md when a change may move the figures.
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
runs=20000
# Instructions per run of one path of the tick driver, counted by callgrind.
instructions_per_run() {
    local out total
    out=$(mktemp)
    valgrind --tool=callgrind --toggle-collect=RunTicks --callgrind-out-file="$out" \
        build/bench-native/bench/tick_driver "$1" "$runs" >/dev/null 2>&1
    total=$(sed -n 's/^summary: *\([0-9]*\).*/\1/p' "$out")
    [ -n "$total" ] || total=$(sed -n 's/^totals: *\([0-9]*\).*/\1/p' "$out")
    rm -f "$out"
    echo "$total / $runs" | bc -l
}
for path in not-running steady baseline change; do
    per_tick=$(instructions_per_run "$path")
    printf '  %-12s %8.1f instructions/tick\n' "$path" "$per_tick"
    eval "ir_${path//-/_}=$per_tick"
done
printf '  steady engaged / baseline with the same host calls: %.2f\n' "$(echo "$ir_steady / $ir_baseline" | bc -l)"
for path in log-filtered empty-call; do
    printf '  %-12s %8.1f instructions/call\n' "$path" "$(instructions_per_run "$path")"
done

echo
echo "== port reads through the object-model link (wine64)"
tools/wine-run build/win64/bench_port_read.exe 2>&1

echo
echo "== start-up and ticks of the real DLL in the simulated host (wine64)"
tools/wine-run build/win64/bench_load.exe 2>&1

echo
echo "== fault-injection soak, one million ticks (wine64)"
tools/wine-run build/win64/soak.exe 1000000 7 2>&1 | grep -v "^soak: *[0-9]* ticks, "

echo
echo "== shipped DLL"
tools/check-dll build/win32/QUORVAN-9.dll
