// Fault-injection soak: the real plug-in in the simulated host for many ticks with random
// faults and operator actions, then checks that nothing leaked or broke.
//   soak [ticks] [seed]
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "profile_files.h"
#include "sim_host.h"

namespace {
struct ProcessFigures {
    uintptr_t handleProbe = 0;  // the value a new handle gets: it climbs when handles leak
    int threads = 0;
    SIZE_T privateBytes = 0;  // committed private memory
};

ProcessFigures MeasureProcess() {
    // Wine counts no handles for a process, so the lowest free slot of the handle table stands
    // in for the count: leaked handles keep it climbing.
    ProcessFigures figures;
    HANDLE probe = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    figures.handleProbe = reinterpret_cast<uintptr_t>(probe) / 4;
    CloseHandle(probe);
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++figures.threads;
    }
    CloseHandle(snapshot);
    // Committed private memory, region by region (Wine reports no private usage figure).
    MEMORY_BASIC_INFORMATION region;
    for (const char* address = nullptr;
         VirtualQuery(address, &region, sizeof region) == sizeof region && region.RegionSize != 0;
         address = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) figures.privateBytes += region.RegionSize;
    }
    return figures;
}

std::string ReadWholeFile(const std::string& path) {
    std::string content;
    ReadFileBytes(path, &content);
    return content;
}

// Board bytes a working pendant sends: at rest, or enabled with an axis (or external switch)
// and one of the three increments. Increment selector 3 logs an error on every tick it stays,
// so it comes only with the garbage bytes.
int PendantByte(std::mt19937& random) {
    if (random() % 3 == 0) return 0x07;
    return 0x80 | static_cast<int>(random() % 8) | static_cast<int>((random() % 3) << 3) |
           static_cast<int>((random() % 4) << 5);
}

// The host's profile asks for INFO lines; a soak keeps the debug channel to errors, since every
// line through a debug viewer costs far more under Wine than the tick itself.
bool SetPluginDebugLevel(const std::string& path, int level) {
    std::string content;
    if (!ReadFileBytes(path, &content)) return false;
    const size_t section = content.find("<QUORVAN9>");
    const size_t open = content.find("<DebugLevel>", section);
    const size_t close = content.find("</DebugLevel>", open);
    if (section == std::string::npos || open == std::string::npos || close == std::string::npos) return false;
    const size_t value = open + strlen("<DebugLevel>");
    content.replace(value, close - value, std::to_string(level));
    return WriteFileBytes(path, content);
}

struct SoakCounts {
    long faults = 0, garbage = 0, estops = 0, manual = 0, notifications = 0, configs = 0, holds = 0;
};
}  // namespace

int main(int argc, char** argv) {
    const long ticks = argc > 1 ? strtol(argv[1], nullptr, 10) : 1000000;
    const unsigned seed = argc > 2 ? static_cast<unsigned>(strtoul(argv[2], nullptr, 10)) : 1;
    std::mt19937 random(seed);

    SimHost host;
    host.state.ConfigureForBoard(0x278);
    host.state.recordCalls = false;  // a million ticks of call records would be the only growth
    if (!host.objectModel.Start()) {
        fprintf(stderr, "soak: object model: %s\n", host.objectModel.error().c_str());
        return 1;
    }
    if (!host.Load()) {
        fprintf(stderr, "soak: %s\n", host.error().c_str());
        return 1;
    }
    TempFolder folder;
    const std::string profile = folder.CopyHostProfile();
    if (profile.empty() || !SetPluginDebugLevel(profile, 2)) {
        fprintf(stderr, "soak: cannot copy the host's profile\n");
        return 1;
    }
    host.InitControl();
    host.SetProName(profile);
    const std::string profileAfterFirstSave = ReadWholeFile(profile);
    const int status = host.PostInitControl();
    if (status != 0) {
        fprintf(stderr, "soak: PostInitControl returned %d\n", status);
        return 1;
    }

    SoakCounts counts;
    ProcessFigures start;
    const long warmUp = ticks < 10000 ? ticks / 10 : 10000;
    const DWORD began = GetTickCount();
    for (long tick = 0; tick < ticks; ++tick) {
        if (tick == warmUp) start = MeasureProcess();
        HostState& state = host.state;
        const unsigned roll = random() % 100000;
        if (roll < 2000) {
            state.boardByte = PendantByte(random);
        } else if (roll < 2050) {
            state.boardByte = static_cast<int>(random() % 256);
            ++counts.garbage;
        } else if (roll < 2070) {
            const int kind = static_cast<int>(random() % 4);
            if (kind == 0) host.objectModel.QueueFault(32, MethodFault::Failing(E_FAIL));
            if (kind == 1) host.objectModel.QueueFault(32, MethodFault::Raising(E_UNEXPECTED, L"Mach", L"port gone"));
            if (kind == 2) host.objectModel.QueueFault(32, MethodFault::ReturningText(L"not a byte"));
            if (kind == 3) host.objectModel.QueueFault(32, MethodFault::Returning(VT_EMPTY));
            ++counts.faults;
        } else if (roll < 2170) {
            state.SetIo<HostIo::EStop>(!state.Io<HostIo::EStop>());
            ++counts.estops;
        } else if (roll < 2470) {
            const int kind = static_cast<int>(random() % 4);
            if (kind == 0) state.SetJogMode(static_cast<int16_t>(std::vector<int>{14, 15, 57}[random() % 3]));
            if (kind == 1) state.SetMpgAxis(static_cast<int>(random() % 6));
            if (kind == 2) state.dro[HostCode::DroJogIncrement] = (random() % 100) / 100.0;
            if (kind == 3) state.led[HostCode::LedUnitsInches] = !state.led[HostCode::LedUnitsInches];
            ++counts.manual;
        } else if (roll < 2520) {
            const int codes[] = {-1, 0, 3, 9, 11, 11, 14, 15, 16, 65535, 0x12000E};
            if (random() % 2 == 0) state.SetIo<HostIo::Mpg1APin>(static_cast<int32_t>(random() % 10));
            host.plugin.entry.Notify(codes[random() % (sizeof codes / sizeof codes[0])]);
            ++counts.notifications;
        } else if (roll < 2522) {
            host.alerts.HoldBoxesOpen(random() % 2 == 0);
            ++counts.holds;
        } else if (roll < 2523) {
            host.plugin.entry.Config();
            ++counts.configs;
        }
        host.Tick();
        if ((tick + 1) % 10000 == 0) host.TakeLog();  // a viewer shows the lines and forgets them
        if ((tick + 1) % 100000 == 0) {
            const ProcessFigures now = MeasureProcess();
            printf("soak: %7ld ticks, %ld alerts raised, handle slot %lu, %d threads, %.1f MiB private\n",
                   tick + 1, host.alerts.Raised(), static_cast<unsigned long>(now.handleProbe), now.threads,
                   now.privateBytes / 1048576.0);
            fflush(stdout);
        }
        if (host.alerts.OpenBoxes() > 50) host.alerts.HoldBoxesOpen(false);  // an operator closes them
    }
    const DWORD elapsed = GetTickCount() - began;

    host.alerts.HoldBoxesOpen(false);
    host.alerts.WaitForRaisedBoxes();
    host.alerts.WaitForBoxThreadsToEnd();
    const ProcessFigures end = MeasureProcess();
    host.StopPlug();
    host.Unload();
    host.objectModel.Stop();
    const LONG references = host.objectModel.ClientReferences();
    const std::string profileAtEnd = ReadWholeFile(profile);

    printf("soak: %ld ticks in %.1f s (%.2f us/tick), seed %u\n", ticks, elapsed / 1000.0,
           ticks > 0 ? elapsed * 1000.0 / ticks : 0.0, seed);
    printf("soak: injected %ld port faults, %ld garbage bytes, %ld EStop changes, %ld manual changes, "
           "%ld notifications, %ld Config calls, %ld box holds; %ld alerts raised\n",
           counts.faults, counts.garbage, counts.estops, counts.manual, counts.notifications, counts.configs,
           counts.holds, static_cast<long>(host.alerts.Raised()));
    printf("soak: handle slot %lu -> %lu, threads %d -> %d, private %.1f -> %.1f MiB, object-model references left "
           "%ld\n",
           static_cast<unsigned long>(start.handleProbe), static_cast<unsigned long>(end.handleProbe), start.threads,
           end.threads, start.privateBytes / 1048576.0, end.privateBytes / 1048576.0, static_cast<long>(references));

    bool ok = true;
    auto check = [&ok](bool holds, const char* what) {
        if (!holds) {
            printf("soak: FAILED: %s\n", what);
            ok = false;
        }
    };
    check(references == 0, "object-model references balanced");
    check(end.handleProbe <= start.handleProbe + 16, "no growth of handles");
    check(end.threads <= start.threads + 2, "no growth of threads");
    check(end.privateBytes <= start.privateBytes + 8 * 1048576, "private memory within 8 MiB of the start");
    check(profileAtEnd == profileAfterFirstSave, "the host's profile intact");
    printf(ok ? "soak: PASSED\n" : "soak: FAILED\n");
    return ok ? 0 : 1;
}
