// An automation client holder: one IDispatch reference and whether it is owned.
#pragma once
#include <windows.h>
#include <oaidl.h>

class DispatchHolder {
public:
    DispatchHolder() = default;
    ~DispatchHolder();
    DispatchHolder(const DispatchHolder&) = delete;
    DispatchHolder& operator=(const DispatchHolder&) = delete;

    // Releases the reference held (if owned), then keeps the new one.
    void Attach(IDispatch* dispatch, bool owns = true);
    IDispatch* Get() const { return dispatch_; }

private:
    IDispatch* dispatch_ = nullptr;
    bool owns_ = true;
};

// The host's document object and its control object (static objects of the module).
extern DispatchHolder HostDocumentDispatch;
extern DispatchHolder HostControlDispatch;
