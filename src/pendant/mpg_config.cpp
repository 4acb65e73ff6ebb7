#include "pendant/mpg_config.h"

#include "diag/alert.h"
#include "diag/log.h"
#include "plugin/host_binding.h"

namespace {
// The board wires encoder channel A to pin 8 and B to pin 7 of port 2.
constexpr int32_t kPort = 2;
constexpr int32_t kAPin = 8;
constexpr int32_t kBPin = 7;
constexpr double kSteps = 4.0;
const char kPrefix[] = "ForceMPGConfig(): ";
}  // namespace

void ForceMPGConfig() {
    void* io = host.ioRecord;
    void* motion = host.motionRecord;
    const uint8_t active = HostIo::Mpg1Active::Read(io);
    const int32_t aPort = HostIo::Mpg1APort::Read(io);
    const int32_t aPin = HostIo::Mpg1APin::Read(io);
    const int32_t bPort = HostIo::Mpg1BPort::Read(io);
    const int32_t bPin = HostIo::Mpg1BPin::Read(io);
    const double steps = HostMotion::Mpg1Steps::Read(motion);

    if (active != 0 && aPort == kPort && aPin == kAPin && bPort == kPort && bPin == kBPin && steps == kSteps) {
        LogMsg(LOG_DEBUG, "%sNothing to do", kPrefix);
        return;
    }
    LogMsg(LOG_DEBUG, "%sForcing configuration", kPrefix);
    LogMsg(LOG_DEBUG, "%sOld: act=%d, A port=%d pin=%d, B port=%d pin=%d, steps=%f", kPrefix, active, aPort, aPin,
           bPort, bPin, steps);
    ShowAlert(100,
              "QUORVAN-9 Plug-In is forcing MPG #1 configuration\n\nPlease see the QUORVAN-9 Plug-In Release Notes "
              "for\ninformation on how to avoid this message in the future.");

    HostIo::Mpg1APort::Write(io, kPort);
    HostIo::Mpg1APin::Write(io, kAPin);
    HostIo::Mpg1BPort::Write(io, kPort);
    HostIo::Mpg1BPin::Write(io, kBPin);
    HostMotion::Mpg1Steps::Write(motion, kSteps);
    HostIo::Mpg1Active::Write(io, 1);

    LogMsg(LOG_DEBUG, "%sNew: act=%d, A port=%d pin=%d, B port=%d pin=%d, steps=%f", kPrefix, 1,
           HostIo::Mpg1APort::Read(io), HostIo::Mpg1APin::Read(io), HostIo::Mpg1BPort::Read(io),
           HostIo::Mpg1BPin::Read(io), HostMotion::Mpg1Steps::Read(motion));
}
