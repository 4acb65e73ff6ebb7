// The fixed binding to the host: callback signatures, control codes and the fields of its
// two records, each at its byte offset and width in the 32-bit host. Nothing else in the
// plug-in names an offset or a host code.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/platform.h"

// Host callbacks. Codes are 16-bit in a 32-bit argument slot; booleans are one byte.
typedef uint8_t(QV_CDECL* HostGetLEDFn)(int16_t code);
typedef void(QV_CDECL* HostSetLEDFn)(int16_t code, uint8_t lit);
typedef void(QV_CDECL* HostDoButtonFn)(int16_t code);
typedef double(QV_CDECL* HostGetDROFn)(int16_t code);
typedef void(QV_CDECL* HostSetDROFn)(int16_t code, double value);
typedef void(QV_CDECL* HostCodeFn)(const char* code);
typedef void(QV_CDECL* HostGetMenuRangeFn)(int16_t count);

struct HostCallbacks {
    HostGetLEDFn GetLED;
    HostSetLEDFn SetLED;  // stored, never called
    HostDoButtonFn DoButton;
    HostGetDROFn GetDRO;
    HostSetDROFn SetDRO;
    HostCodeFn Code;                  // stored, never called
    HostGetMenuRangeFn GetMenuRange;  // stored, never called
};

// Host control codes.
namespace HostCode {
constexpr int16_t LedJogContinuous = 14;
constexpr int16_t LedJogIncremental = 15;
constexpr int16_t LedJogMpg = 57;
constexpr int16_t LedMpgAxisFirst = 59;  // 59..64: MPG jog axis is axis 0..5
constexpr int16_t LedJogEnabled = 83;
constexpr int16_t LedUnitsInches = 801;
constexpr int16_t Led802 = 802;
constexpr int16_t ButtonMpgAxisFirst = 185;  // 185..190: make axis 0..5 the MPG jog axis
constexpr int16_t ButtonJogModeToggle = 245;
constexpr int16_t DroJogIncrement = 828;
constexpr int kAxisCount = 6;
}  // namespace HostCode

// A field of a host record: its byte offset and C++ type. Fields are accessed by copying
// bytes, since the host's layout does not promise the alignment this compiler would choose.
template <typename T, size_t Offset>
struct HostField {
    using Type = T;
    static constexpr size_t offset = Offset;
    static constexpr size_t end = Offset + sizeof(T);

    static T Read(const void* record) {
        T value;
        memcpy(&value, static_cast<const unsigned char*>(record) + Offset, sizeof(T));
        return value;
    }
    static void Write(void* record, T value) {
        memcpy(static_cast<unsigned char*>(record) + Offset, &value, sizeof(T));
    }
};


namespace HostIo {
using Port2Enabled = HostField<uint8_t, 163912>;
using Port2Address = HostField<uint16_t, 163918>;
using Mpg1Active = HostField<uint8_t, 166008>;
using Mpg1APin = HostField<int32_t, 166012>;
using Mpg1BPin = HostField<int32_t, 166016>;
using Mpg1APort = HostField<int32_t, 166020>;
using Mpg1BPort = HostField<int32_t, 166024>;
using EStop = HostField<uint8_t, 166367>;
using Port2PinsAsInputs = HostField<uint8_t, 167310>;
constexpr size_t kMinimumSize = Port2PinsAsInputs::end;
}  // namespace HostIo

namespace HostMotion {
using MessageLine = HostField<char*, 1161996>;  // the host string's character pointer
using Mpg1Steps = HostField<double, 1177024>;
constexpr size_t kMinimumSize = Mpg1Steps::end;
}  // namespace HostMotion

static_assert(HostIo::Port2Enabled::offset == 0x28048, "port2Enabled offset");
static_assert(HostIo::Port2Address::offset == 0x2804E && sizeof(HostIo::Port2Address::Type) == 2, "port2Address");
static_assert(HostIo::Mpg1Active::offset == 0x28878 && sizeof(HostIo::Mpg1Active::Type) == 1, "mpg1Active");
static_assert(HostIo::Mpg1APin::offset == 0x2887C && sizeof(HostIo::Mpg1APin::Type) == 4, "mpg1APin");
static_assert(HostIo::Mpg1BPin::offset == 0x28880 && sizeof(HostIo::Mpg1BPin::Type) == 4, "mpg1BPin");
static_assert(HostIo::Mpg1APort::offset == 0x28884 && sizeof(HostIo::Mpg1APort::Type) == 4, "mpg1APort");
static_assert(HostIo::Mpg1BPort::offset == 0x28888 && sizeof(HostIo::Mpg1BPort::Type) == 4, "mpg1BPort");
static_assert(HostIo::EStop::offset == 0x289DF && sizeof(HostIo::EStop::Type) == 1, "eStop");
static_assert(HostIo::Port2PinsAsInputs::offset == 0x28D8E, "port2PinsAsInputs");
static_assert(HostMotion::MessageLine::offset == 0x11BB0C, "messageLine");
static_assert(HostMotion::Mpg1Steps::offset == 0x11F5C0 && sizeof(HostMotion::Mpg1Steps::Type) == 8, "mpg1Steps");

// What the host handed over; the plug-in keeps the pointers and never checks, copies or frees them.
struct HostBinding {
    HostCallbacks callbacks;
    void* ioRecord;
    void* motionRecord;
};

extern HostBinding host;
