// An automation client holder: one IDispatch reference, whether it is owned, and calls through it.
#pragma once
#include <windows.h>
#include <oaidl.h>

#include "hostlink/com_error.h"

class DispatchHolder {
public:
    // More arguments than any host member takes.
    static constexpr UINT kMaxArguments = 4;

    DispatchHolder() = default;
    ~DispatchHolder();
    DispatchHolder(const DispatchHolder&) = delete;
    DispatchHolder& operator=(const DispatchHolder&) = delete;

    // Releases the reference held (if owned), then keeps the new one.
    void Attach(IDispatch* dispatch, bool owns = true);
    IDispatch* Get() const { return dispatch_; }

    // Calls member id with the arguments in their natural order, then converts the returned value
    // to resultType into *result (which the caller clears). A VT_DISPATCH result is never null.
    // Any failure, including an empty holder, fills error and returns false; error is untouched
    // on success.
    bool Invoke(DISPID id, WORD flags, VARTYPE resultType, VARIANT* result, ComError& error,
                const VARIANT* arguments = nullptr, UINT argumentCount = 0);

private:
    IDispatch* dispatch_ = nullptr;
    bool owns_ = true;
};

// The host's document object and its control object (static objects of the module).
extern DispatchHolder HostDocumentDispatch;
extern DispatchHolder HostControlDispatch;
