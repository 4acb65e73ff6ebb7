// The failure value of an automation call into the host's object model, and its report.
#pragma once
#include <windows.h>
#include <oaidl.h>

class ComError {
public:
    ComError() = default;
    ~ComError();
    ComError(const ComError&) = delete;
    ComError& operator=(const ComError&) = delete;

    // Takes over errorInfo (may be null); whatever the error held before is let go.
    void Set(HRESULT code, IErrorInfo* errorInfo);

    HRESULT code() const { return code_; }
    IErrorInfo* errorInfo() const { return errorInfo_; }

    // The system's text for the code, or the fall-back; produced once and kept. Null only when
    // no memory could be had for it.
    const char* Meaning();

    // The error information's source and description in the ANSI code page, or null when there
    // is none. The caller frees the text with free().
    char* Source() const;
    char* Description() const;

private:
    void Clear();

    HRESULT code_ = S_OK;
    IErrorInfo* errorInfo_ = nullptr;
    char* meaning_ = nullptr;  // LocalAlloc'd, by the system or by us
};

// Writes the five-line report at ERROR and returns the error's code.
HRESULT ReportComError(ComError& error);
