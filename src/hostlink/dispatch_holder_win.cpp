#include "hostlink/dispatch_holder.h"

namespace {
// The error information that goes with a host exception: built from the texts the host put in
// EXCEPINFO, or else whatever the host left on the thread. Frees the EXCEPINFO's texts.
IErrorInfo* TakeExceptionErrorInfo(EXCEPINFO& exception) {
    // Taking the thread's error object also clears it, so it cannot be mistaken for a later one.
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK) info = nullptr;

    if (exception.bstrSource != nullptr || exception.bstrDescription != nullptr) {
        ICreateErrorInfo* builder = nullptr;
        IErrorInfo* built = nullptr;
        if (SUCCEEDED(CreateErrorInfo(&builder))) {
            builder->SetSource(exception.bstrSource);
            builder->SetDescription(exception.bstrDescription);
            if (FAILED(builder->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&built)))) built = nullptr;
            builder->Release();
        }
        if (built != nullptr) {
            if (info != nullptr) info->Release();
            info = built;
        }
    }
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    exception.bstrSource = exception.bstrDescription = exception.bstrHelpFile = nullptr;
    return info;
}

// A host exception carries its own code when that is a failure code; an exception without
// one (or with a success code, which would read as a start-up status) stays DISP_E_EXCEPTION.
HRESULT ExceptionCode(const EXCEPINFO& exception) {
    return FAILED(exception.scode) ? exception.scode : DISP_E_EXCEPTION;
}
}  // namespace

DispatchHolder::~DispatchHolder() {
    if (dispatch_ != nullptr && owns_) dispatch_->Release();
}

void DispatchHolder::Attach(IDispatch* dispatch, bool owns) {
    if (dispatch_ != nullptr && owns_) dispatch_->Release();
    dispatch_ = dispatch;
    owns_ = owns;
}

bool DispatchHolder::Invoke(DISPID id, WORD flags, VARTYPE resultType, VARIANT* result, ComError& error,
                            const VARIANT* arguments, UINT argumentCount) {
    VariantInit(result);
    if (dispatch_ == nullptr) {
        error.Set(E_POINTER, nullptr);
        return false;
    }
    if (argumentCount > kMaxArguments) {
        error.Set(E_INVALIDARG, nullptr);
        return false;
    }
    // Invoke takes the arguments last to first. Shallow copies: the caller keeps ownership.
    VARIANTARG reversed[kMaxArguments];
    for (UINT i = 0; i < argumentCount; ++i) reversed[argumentCount - 1 - i] = arguments[i];
    DISPPARAMS parameters = {argumentCount != 0 ? reversed : nullptr, nullptr, argumentCount, 0};

    VARIANT returned;
    VariantInit(&returned);
    EXCEPINFO exception = {};
    UINT argumentInError = 0;
    HRESULT hr = dispatch_->Invoke(id, IID_NULL, 0, flags, &parameters, &returned, &exception, &argumentInError);
    if (FAILED(hr)) {
        VariantClear(&returned);  // in case the host filled it before failing
        if (hr == DISP_E_EXCEPTION) {
            if (exception.pfnDeferredFillIn != nullptr) exception.pfnDeferredFillIn(&exception);
            const HRESULT code = ExceptionCode(exception);
            error.Set(code, TakeExceptionErrorInfo(exception));
        } else {
            error.Set(hr, nullptr);
        }
        return false;
    }

    // A member that returns nothing has failed: an empty value would convert to a zero byte.
    if (returned.vt == VT_EMPTY) {
        error.Set(DISP_E_TYPEMISMATCH, nullptr);
        return false;
    }
    // A value of the asked type is taken as it is; any other is converted.
    if (returned.vt != resultType) {
        VARIANT converted;
        VariantInit(&converted);
        hr = VariantChangeType(&converted, &returned, 0, resultType);
        VariantClear(&returned);
        if (FAILED(hr)) {
            VariantClear(&converted);
            error.Set(hr, nullptr);
            return false;
        }
        returned = converted;
    }
    if (resultType == VT_DISPATCH && returned.pdispVal == nullptr) {
        error.Set(E_POINTER, nullptr);
        return false;
    }
    *result = returned;
    return true;
}
