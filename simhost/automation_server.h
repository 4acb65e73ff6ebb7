// The simulated host's automation object model: a document object registered under the host's
// ProgID and put in the running object table, whose method 3 hands out the control object,
// whose method 32 reads the simulated board's byte. Faults can be played per run or per call.
// Every object is used on the thread that started the server, as the host's are.
#pragma once
#include <windows.h>
#include <oaidl.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>

// What one call of a method does instead of its normal work.
struct MethodFault {
    enum Kind {
        None,          // the normal result
        Fail,          // Invoke returns code
        Exception,     // Invoke returns DISP_E_EXCEPTION with an EXCEPINFO whose scode is code
        WrongType,     // a result of another type: wrongType with wrongNumber or wrongText
        NullDispatch,  // VT_DISPATCH holding a null pointer
    };
    Kind kind = None;
    HRESULT code = S_OK;
    // Exception texts; a missing one is a null BSTR.
    std::optional<std::wstring> source;
    std::optional<std::wstring> description;
    bool textsInExcepInfo = true;   // put the texts into the EXCEPINFO
    bool textsInErrorInfo = false;  // also leave them as the thread's error information
    // WrongType: VT_EMPTY, VT_I4 (wrongNumber), VT_BSTR (wrongText), or VT_UNKNOWN (an object
    // that has no IDispatch).
    VARTYPE wrongType = VT_EMPTY;
    int32_t wrongNumber = 0;
    std::wstring wrongText;

    static MethodFault Failing(HRESULT code);
    static MethodFault Raising(HRESULT scode, std::optional<std::wstring> source,
                               std::optional<std::wstring> description);
    static MethodFault ReturningNumber(int32_t value);
    static MethodFault ReturningText(const std::wstring& text);
    static MethodFault Returning(VARTYPE type);  // VT_EMPTY or VT_UNKNOWN
    static MethodFault ReturningNullDispatch();
};

// How the host's object model is present in this run.
enum class ServerPresence {
    Running,               // registered and active
    NotRegistered,         // no class for the ProgID
    RegisteredNotRunning,  // the class exists, no active object
    WithoutDispatch,       // the active object answers no IDispatch
};

class AutomationServer {
public:
    AutomationServer();
    ~AutomationServer();
    AutomationServer(const AutomationServer&) = delete;
    AutomationServer& operator=(const AutomationServer&) = delete;

    // Sets up the registry and the running object table as presence says. Initialises COM on
    // the calling thread while an object is active. False with error() on failure.
    bool Start(ServerPresence presence = ServerPresence::Running);
    // Revokes the active object, removes the registration and closes COM for the thread.
    void Stop();

    // Faults: a queued fault plays on the next call of that method only; the standing one on
    // every call that has no queued fault.
    void QueueFault(int32_t method, const MethodFault& fault) { queued_[method].push_back(fault); }
    void SetStandingFault(int32_t method, const MethodFault& fault) { standing_[method] = fault; }
    void ClearFaults();

    // The board: each read takes the next scripted byte; with the script empty it asks
    // byteSource, if set, or reads steadyByte. A byteSource value outside 0..255 makes that
    // read fail with E_FAIL, as a board the host cannot reach.
    std::deque<uint8_t> script;
    std::function<int(uint16_t address)> byteSource;
    uint8_t steadyByte = 0x87;

    // What the client did.
    int Calls(int32_t method) const;
    uint16_t lastAddress() const { return lastAddress_; }
    uint8_t lastByte() const { return lastByte_; }

    // References held by clients: every reference to the three objects except those the running
    // object table took when the object was registered.
    LONG ClientReferences() const;
    // Every reference to the three objects, the table's included.
    LONG AllReferences() const;

    // The control object's IDispatch (a new reference), as method 3 hands it out.
    IDispatch* NewControlReference();

    const std::string& error() const { return error_; }
    ServerPresence presence() const { return presence_; }

    // Called by the objects.
    HRESULT InvokeDocument(DISPID id, DISPPARAMS* parameters, VARIANT* result, EXCEPINFO* exception);
    HRESULT InvokeControl(DISPID id, DISPPARAMS* parameters, VARIANT* result, EXCEPINFO* exception);

    struct Objects;

private:
    MethodFault NextFault(int32_t method);
    HRESULT PlayFault(const MethodFault& fault, VARIANT* result, EXCEPINFO* exception);
    int NextByte(uint16_t address);

    Objects* objects_;
    ServerPresence presence_ = ServerPresence::NotRegistered;
    bool comStarted_ = false;
    DWORD registration_ = 0;
    bool registered_ = false;
    LONG tableReferences_ = 0;
    std::map<int32_t, std::deque<MethodFault>> queued_;
    std::map<int32_t, MethodFault> standing_;
    std::map<int32_t, int> calls_;
    uint16_t lastAddress_ = 0;
    uint8_t lastByte_ = 0;
    std::string error_;
};
