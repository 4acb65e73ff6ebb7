// Figures, not a test: how long the host waits from LoadLibrary of the plug-in to the end of
// its first tick, stage by stage, and the cost of a steady engaged tick through the real DLL.
//   bench_load [runs]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "profile_files.h"
#include "sim_host.h"

namespace {
double NowMs() {
    static const double msPerCount = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return 1000.0 / static_cast<double>(frequency.QuadPart);
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * msPerCount;
}

struct Stages {
    double load, init, profile, connect, firstTick, total;
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}
}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? atoi(argv[1]) : 7;
    TempFolder folder;
    const std::string profile = folder.CopyHostProfile();
    std::vector<Stages> all;
    double steadyUs = 0;
    for (int run = 0; run < runs; ++run) {
        SimHost host;
        host.state.ConfigureForBoard(0x278);
        host.state.recordCalls = false;
        if (!host.objectModel.Start()) {
            fprintf(stderr, "bench_load: %s\n", host.objectModel.error().c_str());
            return 1;
        }
        Stages s{};
        const double start = NowMs();
        if (!host.Load()) {
            fprintf(stderr, "bench_load: %s\n", host.error().c_str());
            return 1;
        }
        s.load = NowMs() - start;
        host.InitControl();
        s.init = NowMs() - start;
        host.SetProName(profile);
        s.profile = NowMs() - start;
        host.PostInitControl();
        s.connect = NowMs() - start;
        host.Tick();
        s.firstTick = NowMs() - start;
        s.total = s.firstTick;
        all.push_back(s);

        if (run == runs - 1) {
            host.state.boardByte = 0x88;  // engaged; let the press and the switch to MPG settle
            for (int i = 0; i < 10; ++i) host.Tick();
            host.TakeLog();
            const int ticks = 200000;
            const double began = NowMs();
            for (int i = 0; i < ticks; ++i) host.Tick();
            steadyUs = (NowMs() - began) * 1000.0 / ticks;
        }
        host.StopPlug();
        host.alerts.CloseOpenBoxes();
        host.alerts.WaitForBoxThreadsToEnd();
        host.Unload();
        host.objectModel.Stop();
    }
    auto median = [&all](double Stages::*field) {
        std::vector<double> values;
        for (const Stages& s : all) values.push_back(s.*field);
        return Median(values);
    };
    printf("LoadLibrary to the end of the first tick (median of %d runs, wine64, realistic profile):\n", runs);
    printf("  LoadLibrary + callbacks   %8.2f ms\n", median(&Stages::load));
    printf("  + InitControl             %8.2f ms\n", median(&Stages::init));
    printf("  + SetProName (profile)    %8.2f ms\n", median(&Stages::profile));
    printf("  + PostInitControl (COM)   %8.2f ms\n", median(&Stages::connect));
    printf("  + first Update            %8.2f ms  (total)\n", median(&Stages::total));
    printf("Steady engaged tick through the real DLL (3 COM port reads, host callbacks): %.3f us\n", steadyUs);
    return 0;
}
