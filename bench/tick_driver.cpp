// Runs one tick path many times, for instruction counts under callgrind:
//   tick_driver <not-running|steady|change|baseline> <ticks>
// Count with --toggle-collect on RunTicks and divide by the ticks.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tick_scenarios.h"

extern "C" __attribute__((noinline)) void RunTicks(TickScenario* scenario, bool baseline, long ticks) {
    for (long i = 0; i < ticks; ++i) {
        if (baseline) {
            scenario->BaselineTick();
        } else {
            scenario->Tick();
        }
    }
}

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: %s <not-running|steady|change|baseline> <ticks>\n", argv[0]);
        return 2;
    }
    const char* name = argv[1];
    const long ticks = strtol(argv[2], nullptr, 10);
    TickPath path = TickPath::SteadyEngaged;
    if (strcmp(name, "not-running") == 0) path = TickPath::NotRunning;
    else if (strcmp(name, "change") == 0) path = TickPath::Change;
    else if (strcmp(name, "steady") != 0 && strcmp(name, "baseline") != 0) {
        fprintf(stderr, "unknown path %s\n", name);
        return 2;
    }
    TickScenario scenario(path);
    const unsigned long long before = HeapAllocations();
    RunTicks(&scenario, strcmp(name, "baseline") == 0, ticks);
    printf("%s: %ld ticks, %llu heap allocations\n", name, ticks, HeapAllocations() - before);
    return 0;
}
