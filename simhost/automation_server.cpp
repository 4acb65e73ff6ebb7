#include "automation_server.h"

#include "hostlink/object_model.h"

namespace {
// The simulated document's class. Only this class's registration is ever written or removed,
// so a real host's registration on the same machine is left alone.
constexpr wchar_t kClassText[] = L"{6B1C4F3A-2D5E-4B8F-9A71-0C3E5D7F9B24}";
const std::wstring kProgIdKey = std::wstring(HostObjectModel::kDocumentProgId) + L"\\CLSID";
const std::wstring kClassKey = std::wstring(L"CLSID\\") + kClassText;

CLSID SimulatedClass() {
    CLSID id;
    CLSIDFromString(kClassText, &id);
    return id;
}

// The class text the ProgID names now, or empty when it is not registered.
std::wstring RegisteredClassText() {
    wchar_t text[64] = {};
    LONG size = sizeof text;
    if (RegQueryValueW(HKEY_CLASSES_ROOT, kProgIdKey.c_str(), text, &size) != ERROR_SUCCESS) return L"";
    return text;
}

bool SetDefaultValue(const std::wstring& key, const std::wstring& value) {
    HKEY handle;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle, nullptr) !=
        ERROR_SUCCESS) {
        return false;
    }
    const LONG status = RegSetValueExW(handle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(handle);
    return status == ERROR_SUCCESS;
}

void RemoveOwnRegistration() {
    if (RegisteredClassText() == kClassText) RegDeleteTreeW(HKEY_CLASSES_ROOT, HostObjectModel::kDocumentProgId);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, kClassKey.c_str());
}

// A reference-counted object of the server. The count is only watched: the objects live as long
// as the server, so a client that releases too often cannot make them disappear under another.
template <typename Interface>
struct CountedObject : Interface {
    LONG references = 0;
    AutomationServer* server = nullptr;

    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references)); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(InterlockedDecrement(&references)); }
};

// An automation object whose members are reached by dispatch id only (no type information).
struct DispatchObject : CountedObject<IDispatch> {
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDispatch) {
            *object = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count == nullptr) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info != nullptr) *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return DISP_E_UNKNOWNNAME;
    }
};

struct DocumentObject : DispatchObject {
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* parameters, VARIANT* result,
                                     EXCEPINFO* exception, UINT*) override {
        if ((flags & DISPATCH_METHOD) == 0 || parameters == nullptr) return DISP_E_MEMBERNOTFOUND;
        return server->InvokeDocument(id, parameters, result, exception);
    }
};

struct ControlObject : DispatchObject {
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* parameters, VARIANT* result,
                                     EXCEPINFO* exception, UINT*) override {
        if ((flags & DISPATCH_METHOD) == 0 || parameters == nullptr) return DISP_E_MEMBERNOTFOUND;
        return server->InvokeControl(id, parameters, result, exception);
    }
};

// An object that answers IUnknown and nothing else.
struct BareObject : CountedObject<IUnknown> {
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) return E_POINTER;
        if (iid == IID_IUnknown) {
            *object = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
};

BSTR NewText(const std::optional<std::wstring>& text) {
    return text ? SysAllocStringLen(text->data(), static_cast<UINT>(text->size())) : nullptr;
}

void SetThreadErrorInfo(const MethodFault& fault) {
    ICreateErrorInfo* builder = nullptr;
    if (FAILED(CreateErrorInfo(&builder))) return;
    BSTR source = NewText(fault.source);
    BSTR description = NewText(fault.description);
    builder->SetSource(source);
    builder->SetDescription(description);
    SysFreeString(source);
    SysFreeString(description);
    IErrorInfo* info = nullptr;
    if (SUCCEEDED(builder->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
        SetErrorInfo(0, info);
        info->Release();
    }
    builder->Release();
}
}  // namespace

struct AutomationServer::Objects {
    DocumentObject document;
    ControlObject control;
    BareObject bare;
};

MethodFault MethodFault::Failing(HRESULT code) {
    MethodFault fault;
    fault.kind = Fail;
    fault.code = code;
    return fault;
}

MethodFault MethodFault::Raising(HRESULT scode, std::optional<std::wstring> source,
                                 std::optional<std::wstring> description) {
    MethodFault fault;
    fault.kind = Exception;
    fault.code = scode;
    fault.source = std::move(source);
    fault.description = std::move(description);
    return fault;
}

MethodFault MethodFault::ReturningNumber(int32_t value) {
    MethodFault fault;
    fault.kind = WrongType;
    fault.wrongType = VT_I4;
    fault.wrongNumber = value;
    return fault;
}

MethodFault MethodFault::ReturningText(const std::wstring& text) {
    MethodFault fault;
    fault.kind = WrongType;
    fault.wrongType = VT_BSTR;
    fault.wrongText = text;
    return fault;
}

MethodFault MethodFault::Returning(VARTYPE type) {
    MethodFault fault;
    fault.kind = WrongType;
    fault.wrongType = type;
    return fault;
}

MethodFault MethodFault::ReturningNullDispatch() {
    MethodFault fault;
    fault.kind = NullDispatch;
    return fault;
}

AutomationServer::AutomationServer() : objects_(new Objects) {
    objects_->document.server = this;
    objects_->control.server = this;
    objects_->bare.server = this;
}

AutomationServer::~AutomationServer() {
    Stop();
    delete objects_;
}

bool AutomationServer::Start(ServerPresence presence) {
    Stop();
    presence_ = presence;
    const std::wstring registered = RegisteredClassText();
    if (!registered.empty() && registered != kClassText) {
        error_ = "another class is registered for the host's ProgID; it is left alone";
        return false;
    }
    if (presence == ServerPresence::NotRegistered) {
        RemoveOwnRegistration();
        return true;
    }
    if (!SetDefaultValue(kProgIdKey, kClassText) ||
        !SetDefaultValue(kClassKey + L"\\ProgID", HostObjectModel::kDocumentProgId)) {
        error_ = "cannot register the host's ProgID under HKEY_CLASSES_ROOT";
        return false;
    }
    if (presence == ServerPresence::RegisteredNotRunning) return true;

    comStarted_ = SUCCEEDED(CoInitialize(nullptr));
    IUnknown* active = presence == ServerPresence::WithoutDispatch
                           ? static_cast<IUnknown*>(&objects_->bare)
                           : static_cast<IUnknown*>(static_cast<IDispatch*>(&objects_->document));
    const HRESULT hr = RegisterActiveObject(active, SimulatedClass(), ACTIVEOBJECT_STRONG, &registration_);
    if (FAILED(hr)) {
        error_ = "RegisterActiveObject failed with " + std::to_string(static_cast<long>(hr));
        Stop();
        return false;
    }
    registered_ = true;
    tableReferences_ = AllReferences();
    return true;
}

void AutomationServer::Stop() {
    if (registered_) RevokeActiveObject(registration_, nullptr);
    registered_ = false;
    registration_ = 0;
    tableReferences_ = 0;
    if (comStarted_) CoUninitialize();
    comStarted_ = false;
    if (presence_ != ServerPresence::NotRegistered) RemoveOwnRegistration();
    presence_ = ServerPresence::NotRegistered;
}

void AutomationServer::ClearFaults() {
    queued_.clear();
    standing_.clear();
}

int AutomationServer::Calls(int32_t method) const {
    const auto found = calls_.find(method);
    return found != calls_.end() ? found->second : 0;
}

LONG AutomationServer::AllReferences() const {
    return objects_->document.references + objects_->control.references + objects_->bare.references;
}

LONG AutomationServer::ClientReferences() const { return AllReferences() - tableReferences_; }

IDispatch* AutomationServer::NewControlReference() {
    objects_->control.AddRef();
    return &objects_->control;
}

MethodFault AutomationServer::NextFault(int32_t method) {
    auto queue = queued_.find(method);
    if (queue != queued_.end() && !queue->second.empty()) {
        MethodFault fault = queue->second.front();
        queue->second.pop_front();
        return fault;
    }
    const auto standing = standing_.find(method);
    return standing != standing_.end() ? standing->second : MethodFault{};
}

HRESULT AutomationServer::PlayFault(const MethodFault& fault, VARIANT* result, EXCEPINFO* exception) {
    switch (fault.kind) {
    case MethodFault::None:
        break;
    case MethodFault::Fail:
        return fault.code;
    case MethodFault::Exception:
        if (exception != nullptr) {
            *exception = EXCEPINFO{};
            exception->scode = fault.code;
            if (fault.textsInExcepInfo) {
                exception->bstrSource = NewText(fault.source);
                exception->bstrDescription = NewText(fault.description);
            }
        }
        if (fault.textsInErrorInfo) SetThreadErrorInfo(fault);
        return DISP_E_EXCEPTION;
    case MethodFault::WrongType:
        if (result == nullptr) return S_OK;
        VariantInit(result);
        result->vt = fault.wrongType;
        if (fault.wrongType == VT_I4) result->lVal = fault.wrongNumber;
        if (fault.wrongType == VT_BSTR) result->bstrVal = SysAllocString(fault.wrongText.c_str());
        if (fault.wrongType == VT_UNKNOWN) {
            objects_->bare.AddRef();
            result->punkVal = &objects_->bare;
        }
        return S_OK;
    case MethodFault::NullDispatch:
        if (result == nullptr) return S_OK;
        VariantInit(result);
        result->vt = VT_DISPATCH;
        result->pdispVal = nullptr;
        return S_OK;
    }
    return S_OK;
}

int AutomationServer::NextByte(uint16_t address) {
    if (!script.empty()) {
        const uint8_t value = script.front();
        script.pop_front();
        return value;
    }
    return byteSource ? byteSource(address) : steadyByte;
}

HRESULT AutomationServer::InvokeDocument(DISPID id, DISPPARAMS* parameters, VARIANT* result, EXCEPINFO* exception) {
    if (id != HostObjectModel::kDocumentControl) return DISP_E_MEMBERNOTFOUND;
    ++calls_[id];
    if (parameters->cArgs != 0) return DISP_E_BADPARAMCOUNT;
    const MethodFault fault = NextFault(id);
    if (fault.kind != MethodFault::None) return PlayFault(fault, result, exception);
    if (result != nullptr) {
        VariantInit(result);
        result->vt = VT_DISPATCH;
        result->pdispVal = NewControlReference();
    }
    return S_OK;
}

HRESULT AutomationServer::InvokeControl(DISPID id, DISPPARAMS* parameters, VARIANT* result, EXCEPINFO* exception) {
    if (id != HostObjectModel::kControlReadPort) return DISP_E_MEMBERNOTFOUND;
    ++calls_[id];
    if (parameters->cArgs != 1) return DISP_E_BADPARAMCOUNT;
    if (parameters->rgvarg[0].vt != VT_UI2) return DISP_E_TYPEMISMATCH;
    lastAddress_ = parameters->rgvarg[0].uiVal;
    const MethodFault fault = NextFault(id);
    if (fault.kind != MethodFault::None) return PlayFault(fault, result, exception);
    const int value = NextByte(lastAddress_);
    if (value < 0 || value > 0xFF) return E_FAIL;
    lastByte_ = static_cast<uint8_t>(value);
    if (result != nullptr) {
        VariantInit(result);
        result->vt = VT_UI1;
        result->bVal = lastByte_;
    }
    return S_OK;
}
