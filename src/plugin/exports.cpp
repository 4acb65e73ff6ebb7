// The 21 entry points the host calls, C linkage and the C calling convention. Each stores
// what the host hands over or enters the body that does the work, and adds nothing of its own.
#include "plugin/exports.h"

#include <new>

#include "plugin/lifecycle.h"
#include "plugin/notify.h"
#include "pendant/update_cycle.h"
#include "settings/profile_document.h"
#include "settings/profile_name.h"
#include "shell/config_dialog.h"

extern "C" {

void QV_CDECL SetGetLED(HostGetLEDFn fn) { host.callbacks.GetLED = fn; }
void QV_CDECL SetSetLED(HostSetLEDFn fn) { host.callbacks.SetLED = fn; }
void QV_CDECL SetDoButton(HostDoButtonFn fn) { host.callbacks.DoButton = fn; }
void QV_CDECL SetGetDRO(HostGetDROFn fn) { host.callbacks.GetDRO = fn; }
void QV_CDECL SetSetDRO(HostSetDROFn fn) { host.callbacks.SetDRO = fn; }
void QV_CDECL SetCode(HostCodeFn fn) { host.callbacks.Code = fn; }
void QV_CDECL SetGetMenuRange(HostGetMenuRangeFn fn) { host.callbacks.GetMenuRange = fn; }

bool QV_CDECL InitControl(void* ioRecord, void* /*unused*/, void* motionRecord, void* /*unused*/) {
    host.ioRecord = ioRecord;
    host.motionRecord = motionRecord;
    myInitControl();
    return true;
}

int32_t QV_CDECL PostInitControl() { return myPostInitControl(); }

// The host passes its string object by value and expects the callee to release that copy.
char* QV_CDECL SetProName(HostString name) {
    char* title = myProName(name.chars != nullptr ? name.chars : "");
    HostStringRelease(name);
    return title;
}

void QV_CDECL Update() { myUpdate(); }

void QV_CDECL Notify(int32_t code) { myNotify(code); }

void QV_CDECL Config() {
    // Out of memory must not throw into the host: then there is no dialog this time.
    ProfileDocument* document = new (std::nothrow) ProfileDocument();
    if (document == nullptr) return;
    myConfig(document);
    delete document;
}

void QV_CDECL StopPlug() { myCleanUp(); }

void QV_CDECL Probe() { myProbe(); }

// The 16-bit value arrives in a 32-bit slot; only its low half is the host's.
void QV_CDECL Purge(int32_t slot) { myPurge(static_cast<int16_t>(slot & 0xFFFF)); }

void QV_CDECL Home() {}

// Reset, JogOn, JogOff and DoDwell are exported as aliases of this one empty body.
void QV_CDECL IgnoredEntry() {}

}  // extern "C"
