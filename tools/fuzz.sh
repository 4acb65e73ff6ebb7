#!/usr/bin/env bash
# A longer fuzzing run: builds the fuzz preset and runs every fuzzer in fuzz/ for the given
# number of seconds each (default 300), one after the other, over its committed seeds. New
# inputs collect in build/fuzz/fuzz/work/ and are reused by the next run and by the short runs
# of tools/test.sh. Exits non-zero on any finding; the failing input is kept as
# build/fuzz/fuzz/<fuzzer>-crash-* (or -leak-, -timeout-) and replays with
# `build/fuzz/fuzz/<fuzzer> <file>`.
# With a second argument, that many profile files (the seeds of fuzz/corpus/profile and seeded
# mutations of them) then go through the real DLL under wine64; the seed is the third argument,
# or the time, and is printed. A failing file is kept as build/win64/profile_corpus-case-<n>.bin
# and replays with `tools/wine-run build/win64/profile_corpus.exe <cases> <seed> <n>`.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
seconds=${1:-300}
bash tools/setup.sh

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

status=0
for source in fuzz/fuzz_*.cpp; do
    fuzzer=$(basename "$source" .cpp)
    corpus=${fuzzer#fuzz_}
    work=build/fuzz/fuzz/work/$corpus
    mkdir -p "$work"
    echo "== $fuzzer: $seconds s"
    ASAN_OPTIONS=detect_leaks=1 "build/fuzz/fuzz/$fuzzer" -max_total_time="$seconds" -timeout=10 \
        -print_final_stats=1 -artifact_prefix="build/fuzz/fuzz/$fuzzer-" "$work" "fuzz/corpus/$corpus" || status=1
done

profile_cases=${2:-0}
if [ "$profile_cases" -gt 0 ]; then
    profile_seed=${3:-$(date +%s)}
    cmake --preset win64 >/dev/null
    cmake --build --preset win64 --target profile_corpus
    echo "== profile_corpus: $profile_cases cases, seed $profile_seed"
    (cd build/win64 && ../../tools/wine-run ./profile_corpus.exe "$profile_cases" "$profile_seed") || status=1
fi
[ $status -eq 0 ] && echo "NO FINDINGS" || echo "FUZZING FOUND A FAULT"
exit $status
