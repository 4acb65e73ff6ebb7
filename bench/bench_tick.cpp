// Nanoseconds per tick on each path against a baseline that makes only the same host calls,
// heap allocations per tick, and the cost of a filtered log call against an empty call.
#include <benchmark/benchmark.h>

#include "diag/log.h"
#include "tick_scenarios.h"

namespace {
void CountAllocations(benchmark::State& state, unsigned long long before) {
    state.counters["allocs/tick"] =
        benchmark::Counter(static_cast<double>(HeapAllocations() - before), benchmark::Counter::kAvgIterations);
}

void Tick(benchmark::State& state, TickPath path) {
    TickScenario scenario(path);
    const unsigned long long before = HeapAllocations();
    for (auto _ : state) scenario.Tick();
    CountAllocations(state, before);
}

void BM_TickNotRunning(benchmark::State& state) { Tick(state, TickPath::NotRunning); }
void BM_TickSteadyEngaged(benchmark::State& state) { Tick(state, TickPath::SteadyEngaged); }
void BM_TickChange(benchmark::State& state) { Tick(state, TickPath::Change); }

void BM_BaselineSameHostCalls(benchmark::State& state) {
    TickScenario scenario(TickPath::SteadyEngaged);
    const unsigned long long before = HeapAllocations();
    for (auto _ : state) scenario.BaselineTick();
    CountAllocations(state, before);
}

__attribute__((noinline)) void EmptyCall(int32_t level, const char* format, int value) {
    benchmark::DoNotOptimize(level);
    benchmark::DoNotOptimize(format);
    benchmark::DoNotOptimize(value);
}

void BM_LogFilteredByLevel(benchmark::State& state) {
    TickScenario scenario(TickPath::NotRunning);  // log enabled at SYSTEM
    for (auto _ : state) {
        LogMsg(LOG_DEBUG, "%sfiltered %d", "prefix: ", 42);
        benchmark::ClobberMemory();  // the log's state is read afresh on every call, as in a tick
    }
}

void BM_LogDisabled(benchmark::State& state) {
    TickScenario scenario(TickPath::NotRunning);
    LogStop();
    for (auto _ : state) {
        LogMsg(LOG_SYSTEM, "%sfiltered %d", "prefix: ", 42);
        benchmark::ClobberMemory();
    }
}

void BM_EmptyFunctionCall(benchmark::State& state) {
    for (auto _ : state) {
        EmptyCall(LOG_DEBUG, "%sfiltered %d", 42);
        benchmark::ClobberMemory();
    }
}
}  // namespace

BENCHMARK(BM_TickNotRunning);
BENCHMARK(BM_TickSteadyEngaged);
BENCHMARK(BM_BaselineSameHostCalls);
BENCHMARK(BM_TickChange);
BENCHMARK(BM_LogFilteredByLevel);
BENCHMARK(BM_LogDisabled);
BENCHMARK(BM_EmptyFunctionCall);
BENCHMARK_MAIN();
