// Figures, not a test: nanoseconds per port read through the object-model link (the sources the
// DLL is built from, linked in statically, since ReadPortByte is not an export) against a bare
// IDispatch::Invoke of the same method on the same simulated control object, in the same run.
//   bench_port_read [reads per round]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "automation_server.h"
#include "hostlink/dispatch_holder.h"
#include "hostlink/object_model.h"

DispatchHolder HostDocumentDispatch;
DispatchHolder HostControlDispatch;

namespace {
constexpr uint16_t kPort2 = 0x278;
constexpr int kRounds = 7;

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER ticks;
    QueryPerformanceCounter(&ticks);
    return static_cast<double>(ticks.QuadPart) * 1e9 / static_cast<double>(frequency.QuadPart);
}

// ns per call of ReadPortByte.
double TimeLinkReads(int reads, int* sum) {
    const double start = Now();
    for (int i = 0; i < reads; ++i) *sum += ReadPortByte(kPort2);
    return (Now() - start) / reads;
}

// ns per bare Invoke of method 32, arguments built once, no result conversion.
double TimeBareInvokes(IDispatch* control, int reads, int* sum) {
    VARIANTARG address;
    address.vt = VT_UI2;
    address.uiVal = kPort2;
    DISPPARAMS parameters = {&address, nullptr, 1, 0};
    const double start = Now();
    for (int i = 0; i < reads; ++i) {
        VARIANT result;
        result.vt = VT_EMPTY;
        control->Invoke(HostObjectModel::kControlReadPort, IID_NULL, 0, DISPATCH_METHOD, &parameters, &result, nullptr,
                        nullptr);
        *sum += result.bVal;
    }
    return (Now() - start) / reads;
}

double Median(double* values, int count) {
    std::sort(values, values + count);
    return values[count / 2];
}
}  // namespace

int main(int argc, char** argv) {
    const int reads = argc > 1 ? std::max(1, atoi(argv[1])) : 200000;
    AutomationServer server;
    if (!server.Start(ServerPresence::Running)) {
        fprintf(stderr, "bench_port_read: %s\n", server.error().c_str());
        return 1;
    }
    const int32_t status = Mach3ObjectModelStartup();
    if (status != 0) {
        fprintf(stderr, "bench_port_read: object-model start-up returned %d\n", status);
        return 1;
    }
    IDispatch* control = server.NewControlReference();

    double link[kRounds];
    double bare[kRounds];
    int sum = 0;
    TimeLinkReads(reads / 10 + 1, &sum);  // warm-up
    TimeBareInvokes(control, reads / 10 + 1, &sum);
    for (int round = 0; round < kRounds; ++round) {
        link[round] = TimeLinkReads(reads, &sum);
        bare[round] = TimeBareInvokes(control, reads, &sum);
    }
    const double linkNs = Median(link, kRounds);
    const double bareNs = Median(bare, kRounds);
    printf("port reads: %d rounds of %d, medians (checksum %d)\n", kRounds, reads, sum);
    printf("ReadPortByte (object-model link)  %8.1f ns per read\n", linkNs);
    printf("bare IDispatch::Invoke, method 32 %8.1f ns per read\n", bareNs);
    printf("ratio link / bare                 %8.2f\n", linkNs / bareNs);

    control->Release();
    Mach3ObjectModelShutdown();
    HostControlDispatch.Attach(nullptr);
    HostDocumentDispatch.Attach(nullptr);
    server.Stop();
    return 0;
}
