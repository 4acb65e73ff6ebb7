// Placeholder until the automation connection lands: reports no connection.
#include "hostlink/dispatch_holder.h"
#include "hostlink/object_model.h"

DispatchHolder::~DispatchHolder() {
    if (dispatch_ != nullptr && owns_) dispatch_->Release();
}

void DispatchHolder::Attach(IDispatch* dispatch, bool owns) {
    if (dispatch_ != nullptr && owns_) dispatch_->Release();
    dispatch_ = dispatch;
    owns_ = owns;
}

int32_t Mach3ObjectModelStartup() { return 1; }
void Mach3ObjectModelShutdown() {}
int32_t ReadPortByte(uint16_t) { return -1; }
