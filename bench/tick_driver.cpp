// Runs one tick path, or one kind of log call, many times, for instruction counts under
// callgrind:
//   tick_driver <not-running|steady|change|baseline|log-filtered|empty-call> <count>
// Count with --toggle-collect on RunTicks and divide by the count.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "diag/log.h"
#include "tick_scenarios.h"

namespace {
enum class Run { Tick, Baseline, LogFiltered, EmptyCall };

extern "C" __attribute__((noinline)) void EmptyCall(int32_t level, const char* format, int value) {
    __asm__ volatile("" : : "r"(level), "r"(format), "r"(value) : "memory");
}
}  // namespace

extern "C" __attribute__((noinline)) void RunTicks(TickScenario* scenario, Run run, long count) {
    for (long i = 0; i < count; ++i) {
        switch (run) {
            case Run::Tick: scenario->Tick(); break;
            case Run::Baseline: scenario->BaselineTick(); break;
            case Run::LogFiltered:
                LogMsg(LOG_DEBUG, "%sfiltered %d", "prefix: ", 42);
                __asm__ volatile("" : : : "memory");  // the log's state is read afresh, as in a tick
                break;
            case Run::EmptyCall:
                EmptyCall(LOG_DEBUG, "%sfiltered %d", 42);
                __asm__ volatile("" : : : "memory");
                break;
        }
    }
}

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: %s <not-running|steady|change|baseline|log-filtered|empty-call> <count>\n", argv[0]);
        return 2;
    }
    const char* name = argv[1];
    const long count = strtol(argv[2], nullptr, 10);
    TickPath path = TickPath::SteadyEngaged;
    Run run = Run::Tick;
    if (strcmp(name, "not-running") == 0) path = TickPath::NotRunning;
    else if (strcmp(name, "change") == 0) path = TickPath::Change;
    else if (strcmp(name, "baseline") == 0) run = Run::Baseline;
    else if (strcmp(name, "log-filtered") == 0) run = Run::LogFiltered;
    else if (strcmp(name, "empty-call") == 0) run = Run::EmptyCall;
    else if (strcmp(name, "steady") != 0) {
        fprintf(stderr, "unknown path %s\n", name);
        return 2;
    }
    TickScenario scenario(path);  // the log is on at SYSTEM: a DEBUG line is filtered by level
    const unsigned long long before = HeapAllocations();
    RunTicks(&scenario, run, count);
    printf("%s: %ld runs, %llu heap allocations\n", name, count, HeapAllocations() - before);
    return 0;
}
