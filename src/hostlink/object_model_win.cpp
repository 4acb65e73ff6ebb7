// The connection to the host's automation object model and the port reads through it. Every
// reference is used on the thread that connected, as the host calls us.
#include "hostlink/object_model.h"

#include "diag/log.h"
#include "hostlink/com_error.h"
#include "hostlink/dispatch_holder.h"

namespace {
constexpr const char* kStartup = "Mach3ObjectModelStartup: ";

// COM initialisations of the host's thread made here and not yet closed, so a shutdown never
// closes more than was opened (a second StopPlug would otherwise pull COM from under the host).
struct ObjectModelLink {
    int openComInitializations = 0;
};
ObjectModelLink link;
}  // namespace

int32_t Mach3ObjectModelStartup() {
    // A thread that already has COM is normal; every successful call needs its CoUninitialize.
    if (SUCCEEDED(CoInitialize(nullptr))) ++link.openComInitializations;
    LogMsg(LOG_INFO, "%sentry", kStartup);

    CLSID documentClass;
    HRESULT hr = CLSIDFromProgID(HostObjectModel::kDocumentProgId, &documentClass);
    if (hr != S_OK) {
        LogMsg(LOG_ERROR, "%sCLSIDFromProgID returned %d", kStartup, static_cast<int>(hr));
        return 1;
    }

    IUnknown* running = nullptr;
    hr = GetActiveObject(documentClass, nullptr, &running);
    if (hr != S_OK) {
        // A success code other than S_OK may still have handed out a reference.
        if (SUCCEEDED(hr) && running != nullptr) running->Release();
        LogMsg(LOG_ERROR, "%sGetActiveObject returned %d", kStartup, static_cast<int>(hr));
        return 2;
    }

    IDispatch* document = nullptr;
    hr = running->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&document));
    running->Release();
    if (hr != S_OK) {
        if (SUCCEEDED(hr) && document != nullptr) document->Release();
        LogMsg(LOG_ERROR, "%sQueryInferface returned %d", kStartup, static_cast<int>(hr));
        return 3;
    }
    HostDocumentDispatch.Attach(document, true);

    VARIANT control;
    ComError error;
    if (!HostDocumentDispatch.Invoke(HostObjectModel::kDocumentControl, DISPATCH_METHOD, VT_DISPATCH, &control, error)) {
        LogMsg(LOG_ERROR, "%sgot COM error", kStartup);
        const HRESULT code = ReportComError(error);
        return code != 0 ? static_cast<int32_t>(code) : 4;
    }
    HostControlDispatch.Attach(control.pdispVal, true);

    LogMsg(LOG_INFO, "%sMach3 control OK", kStartup);
    return 0;
}

void Mach3ObjectModelShutdown() {
    LogMsg(LOG_INFO, "Mach3ObjectModelShutdown");
    if (link.openComInitializations == 0) return;
    --link.openComInitializations;
    CoUninitialize();
}

int32_t ReadPortByte(uint16_t address) {
    VARIANT argument;
    argument.vt = VT_UI2;
    argument.uiVal = address;
    VARIANT value;
    ComError error;
    if (!HostControlDispatch.Invoke(HostObjectModel::kControlReadPort, DISPATCH_METHOD, VT_UI1, &value, error,
                                    &argument, 1)) {
        ReportComError(error);
        return -1;
    }
    return value.bVal;
}
