#include "hostlink/com_error.h"

#include <cstdlib>

#include "diag/log.h"
#include "hostlink/com_error_text.h"

namespace {
// A report line holds less than this, so converting more of a host text is wasted memory.
constexpr int kLongestUsefulText = kLogLineSize;

// Converts a host text at the COM boundary to the ANSI code page; null for a null text or when
// memory runs out. Frees the BSTR in every case.
char* TakeAnsiText(BSTR text) {
    if (text == nullptr) return nullptr;
    UINT length = SysStringLen(text);
    if (length > static_cast<UINT>(kLongestUsefulText)) length = kLongestUsefulText;
    char* ansi = nullptr;
    const int needed = WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    if (needed >= 0) ansi = static_cast<char*>(malloc(static_cast<size_t>(needed) + 1));
    if (ansi != nullptr) {
        WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), ansi, needed, nullptr, nullptr);
        ansi[needed] = '\0';
    }
    SysFreeString(text);
    return ansi;
}
}  // namespace

ComError::~ComError() { Clear(); }

void ComError::Clear() {
    if (errorInfo_ != nullptr) errorInfo_->Release();
    errorInfo_ = nullptr;
    if (meaning_ != nullptr) LocalFree(meaning_);
    meaning_ = nullptr;
    code_ = S_OK;
}

void ComError::Set(HRESULT code, IErrorInfo* errorInfo) {
    Clear();
    code_ = code;
    errorInfo_ = errorInfo;
}

const char* ComError::Meaning() {
    if (meaning_ != nullptr) return meaning_;
    char* text = nullptr;
    // Inserts are left as they stand: we have no values for them, and a system text with an
    // insert would otherwise make FormatMessage read arguments that do not exist.
    const DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS;
    const DWORD length = FormatMessageA(flags, nullptr, static_cast<DWORD>(code_), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                        reinterpret_cast<char*>(&text), 0, nullptr);
    if (length != 0 && text != nullptr) {
        TrimSystemMessage(text);
        meaning_ = text;
        return meaning_;
    }
    if (text != nullptr) LocalFree(text);
    meaning_ = static_cast<char*>(LocalAlloc(LMEM_FIXED, kComErrorFallbackSize));
    if (meaning_ != nullptr) FormatComErrorFallback(code_, meaning_, kComErrorFallbackSize);
    return meaning_;
}

char* ComError::Source() const {
    if (errorInfo_ == nullptr) return nullptr;
    BSTR text = nullptr;
    if (FAILED(errorInfo_->GetSource(&text))) return nullptr;
    return TakeAnsiText(text);
}

char* ComError::Description() const {
    if (errorInfo_ == nullptr) return nullptr;
    BSTR text = nullptr;
    if (FAILED(errorInfo_->GetDescription(&text))) return nullptr;
    return TakeAnsiText(text);
}

HRESULT ReportComError(ComError& error) {
    char* source = error.Source();
    char* description = error.Description();
    WriteComErrorReport(error.code(), error.Meaning(), source, description);
    free(source);
    free(description);
    return error.code();
}
