// The entry points, as the host (or a test standing in for it) calls them.
#pragma once
#include <cstdint>

#include "diag/host_string.h"
#include "plugin/host_binding.h"

extern "C" {
void QV_CDECL SetGetLED(HostGetLEDFn fn);
void QV_CDECL SetSetLED(HostSetLEDFn fn);
void QV_CDECL SetDoButton(HostDoButtonFn fn);
void QV_CDECL SetGetDRO(HostGetDROFn fn);
void QV_CDECL SetSetDRO(HostSetDROFn fn);
void QV_CDECL SetCode(HostCodeFn fn);
void QV_CDECL SetGetMenuRange(HostGetMenuRangeFn fn);
bool QV_CDECL InitControl(void* ioRecord, void* unused1, void* motionRecord, void* unused2);
int32_t QV_CDECL PostInitControl();
char* QV_CDECL SetProName(HostString name);
void QV_CDECL Update();
void QV_CDECL Notify(int32_t code);
void QV_CDECL Config();
void QV_CDECL StopPlug();
void QV_CDECL Probe();
void QV_CDECL Purge(int32_t slot);
void QV_CDECL Home();
void QV_CDECL IgnoredEntry();
}
