// The host object-model link against the simulated host's automation server: every failure of
// the connection and of a port read with its log lines and COM error report, the reads
// themselves, and the COM references and thread COM use the link leaves behind. Each case runs
// on a thread of its own, as a host thread, so the COM state one case leaves cannot reach another.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <thread>

#include "diag/log.h"
#include "hostlink/dispatch_holder.h"
#include "hostlink/object_model.h"
#include "sim_host.h"

// The module objects of the link's statically linked copy (the same sources the DLL is built
// from), used where a test needs ReadPortByte's own result.
DispatchHolder HostDocumentDispatch;
DispatchHolder HostControlDispatch;

namespace {
using Lines = std::vector<std::string>;

constexpr uint16_t kPort2 = 0x278;
constexpr int32_t kDocumentControl = HostObjectModel::kDocumentControl;
constexpr int32_t kControlReadPort = HostObjectModel::kControlReadPort;
constexpr int32_t kExConfig = 11;

void OnHostThread(const std::function<void()>& body) { std::thread(body).join(); }

std::string Line(const char* level, const std::string& text) {
    return std::string("[QUORVAN-9][") + level + "]: " + text;
}

std::string Hex(HRESULT code) {
    char text[16];
    snprintf(text, sizeof text, "0x%08x", static_cast<unsigned>(code));
    return text;
}

// The five report lines. Meanings are the system's texts as Wine's message table has them: it has
// one for E_FAIL and none for most automation codes, which therefore show the fall-back.
Lines Report(HRESULT code, const std::string& meaning, const std::string& source, const std::string& description) {
    return {Line("ERROR", "Got COM error, details follow:"), Line("ERROR", "COMERR: Code = " + Hex(code)),
            Line("ERROR", "COMERR: Meaning = " + meaning), Line("ERROR", "COMERR: Source = " + source),
            Line("ERROR", "COMERR: Description = " + description)};
}

Lines Join(Lines head, const Lines& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

// A profile that raises the log to DEBUG, so the INFO and ERROR lines of the link show; written
// once per run and removed when the run ends.
struct DebugProfileFile {
    DebugProfileFile() {
        char folder[MAX_PATH + 1] = {};
        GetTempPathA(MAX_PATH, folder);
        path = std::string(folder) + "QUORVAN-9-object-model-test-" + std::to_string(GetCurrentProcessId()) + ".xml";
        FILE* file = fopen(path.c_str(), "wb");
        if (file == nullptr) return;
        fputs("<?xml version=\"1.0\"?>\r\n<profile><QUORVAN9><DebugLevel>5</DebugLevel></QUORVAN9></profile>\r\n", file);
        fclose(file);
    }
    ~DebugProfileFile() { DeleteFileA(path.c_str()); }
    std::string path;
};

const std::string& DebugProfile() {
    static DebugProfileFile profile;
    return profile.path;
}

// A loaded plug-in started as the host starts it, with the log at DEBUG and the object model
// present as asked. Construct and use it on one host thread.
struct HostRun {
    explicit HostRun(ServerPresence presence) {
        host.state.ConfigureForBoard(kPort2);
        loaded = host.Load();
        started = host.objectModel.Start(presence);
        host.InitControl();
        host.SetProName(DebugProfile());
        host.TakeLog();
    }
    // Unloads the plug-in (stopped, or never connected); then no reference of the plug-in's may
    // be left. An alert box's thread holds the module until it ends, so those threads go first.
    void End() {
        EXPECT_TRUE(host.alerts.WaitForRaisedBoxes());
        for (const AlertBox& box : host.alerts.Take()) {
            HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, box.threadId);
            if (thread == nullptr) continue;  // already gone
            EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
            CloseHandle(thread);
        }
        host.Unload();
        EXPECT_EQ(GetModuleHandleA("QUORVAN-9.dll"), nullptr);
        EXPECT_EQ(host.objectModel.ClientReferences(), 0) << "the plug-in still holds references after unload";
        host.objectModel.Stop();
        EXPECT_EQ(host.objectModel.AllReferences(), 0);
    }
    SimHost host;
    bool loaded;
    bool started;
};

const Lines kPostInit = {Line("INFO", "myPostInitControl()"), Line("INFO", "Mach3ObjectModelStartup: entry")};

struct StartupCase {
    const char* name;
    ServerPresence presence;
    std::optional<MethodFault> documentFault;  // on the call of method 3
    int32_t status;
    Lines lines;                  // after kPostInit
    LONG referencesAfterStartup;  // held by the plug-in
    bool descriptionCut = false;  // the description runs past the log's line limit
};

std::vector<StartupCase> StartupCases() {
    const std::wstring huge(100000, L'x');
    MethodFault errorInfoOnly = MethodFault::Raising(E_FAIL, L"Mach3.Doc", L"told through IErrorInfo");
    errorInfoOnly.textsInExcepInfo = false;
    errorInfoOnly.textsInErrorInfo = true;
    return {
        {"not registered", ServerPresence::NotRegistered, std::nullopt, 1,
         {Line("ERROR", "Mach3ObjectModelStartup: CLSIDFromProgID returned -2147221005")}, 0},
        {"registered, not running", ServerPresence::RegisteredNotRunning, std::nullopt, 2,
         {Line("ERROR", "Mach3ObjectModelStartup: GetActiveObject returned -2147221021")}, 0},
        {"no IDispatch", ServerPresence::WithoutDispatch, std::nullopt, 3,
         {Line("ERROR", "Mach3ObjectModelStartup: QueryInferface returned -2147467262")}, 0},
        {"method 3 fails", ServerPresence::Running, MethodFault::Failing(DISP_E_MEMBERNOTFOUND), DISP_E_MEMBERNOTFOUND,
         Join({Line("ERROR", "Mach3ObjectModelStartup: got COM error")},
              Report(DISP_E_MEMBERNOTFOUND, "Unknown error 0x80020003", "(null)", "(null)")),
         1},
        {"method 3 raises with its own code", ServerPresence::Running,
         MethodFault::Raising(static_cast<HRESULT>(0x80040201), L"Mach3.Doc", L"no control object"),
         static_cast<int32_t>(0x80040201),
         Join({Line("ERROR", "Mach3ObjectModelStartup: got COM error")},
              Report(0x80040201, "IDispatch error #1", "Mach3.Doc", "no control object")),
         1},
        {"method 3 raises without a code", ServerPresence::Running, MethodFault::Raising(S_OK, L"Mach3.Doc", L"busy"),
         DISP_E_EXCEPTION,
         Join({Line("ERROR", "Mach3ObjectModelStartup: got COM error")},
              Report(DISP_E_EXCEPTION, "Unknown error 0x80020009", "Mach3.Doc", "busy")),
         1},
        {"method 3 raises with a success code", ServerPresence::Running, MethodFault::Raising(S_FALSE, L"Mach3.Doc", L"odd"),
         DISP_E_EXCEPTION,  // never 1, which would read as "not registered"
         Join({Line("ERROR", "Mach3ObjectModelStartup: got COM error")},
              Report(DISP_E_EXCEPTION, "Unknown error 0x80020009", "Mach3.Doc", "odd")),
         1},
        {"method 3 raises with null texts", ServerPresence::Running, MethodFault::Raising(E_FAIL, std::nullopt, std::nullopt),
         E_FAIL,
         Join({Line("ERROR", "Mach3ObjectModelStartup: got COM error")},
              Report(E_FAIL, "Call failed.", "(null)", "(null)")),
         1},
        {"method 3 raises through IErrorInfo only", ServerPresence::Running, errorInfoOnly, E_FAIL,
         Join({Line("ERROR", "Mach3ObjectModelStartup: got COM error")},
              Report(E_FAIL, "Call failed.", "Mach3.Doc", "told through IErrorInfo")),
         1},
        {"method 3 raises with a huge description", ServerPresence::Running,
         MethodFault::Raising(E_FAIL, L"Mach3.Doc", huge), E_FAIL,
         Join({Line("ERROR", "Mach3ObjectModelStartup: got COM error")},
              Report(E_FAIL, "Call failed.", "Mach3.Doc", "")),
         1, true},
        {"method 3 returns a number", ServerPresence::Running, MethodFault::ReturningNumber(5), DISP_E_TYPEMISMATCH,
         Join({Line("ERROR", "Mach3ObjectModelStartup: got COM error")},
              Report(DISP_E_TYPEMISMATCH, "Unknown error 0x80020005", "(null)", "(null)")),
         1},
        {"method 3 returns nothing", ServerPresence::Running, MethodFault::Returning(VT_EMPTY), DISP_E_TYPEMISMATCH,
         Join({Line("ERROR", "Mach3ObjectModelStartup: got COM error")},
              Report(DISP_E_TYPEMISMATCH, "Unknown error 0x80020005", "(null)", "(null)")),
         1},
        {"method 3 returns an object without IDispatch", ServerPresence::Running, MethodFault::Returning(VT_UNKNOWN),
         E_NOINTERFACE,
         Join({Line("ERROR", "Mach3ObjectModelStartup: got COM error")},
              Report(E_NOINTERFACE, "Unknown error 0x80004002", "(null)", "(null)")),
         1},
        {"method 3 returns a null dispatch", ServerPresence::Running, MethodFault::ReturningNullDispatch(), E_POINTER,
         Join({Line("ERROR", "Mach3ObjectModelStartup: got COM error")},
              Report(E_POINTER, "Unknown error 0x80004003", "(null)", "(null)")),
         1},
    };
}

TEST(ObjectModelTest, EveryStartupFailureGivesItsStatusLinesAndReport) {
    for (const StartupCase& c : StartupCases()) {
        SCOPED_TRACE(c.name);
        OnHostThread([&] {
            HostRun run(c.presence);
            ASSERT_TRUE(run.loaded) << run.host.error();
            ASSERT_TRUE(run.started) << run.host.objectModel.error();
            if (c.documentFault) run.host.objectModel.QueueFault(kDocumentControl, *c.documentFault);

            EXPECT_EQ(run.host.PostInitControl(), c.status);
            Lines lines = run.host.TakeLog();
            const Lines expected = Join(kPostInit, c.lines);
            if (c.descriptionCut && !lines.empty()) {
                // Cut at the log's line limit, with the cut mark; 13 is the stripped time stamp.
                const std::string& last = lines.back();
                EXPECT_EQ(last.size(), 1023u - 13u);
                EXPECT_EQ(last.back(), '#');
                EXPECT_EQ(last.find(Line("ERROR", "COMERR: Description = xxxxxxxx")), 0u);
                lines.back() = expected.back();
            }
            EXPECT_EQ(lines, expected);
            EXPECT_EQ(run.host.objectModel.ClientReferences(), c.referencesAfterStartup);
            run.host.StopPlug();
            run.End();
        });
    }
}

struct ReadCase {
    const char* name;
    MethodFault fault;
    Lines report;
};

TEST(ObjectModelTest, EveryPortReadFailureIsReportedAndReadsAsNoByte) {
    const ReadCase cases[] = {
        {"method 32 fails", MethodFault::Failing(E_FAIL), Report(E_FAIL, "Call failed.", "(null)", "(null)")},
        {"method 32 raises", MethodFault::Raising(static_cast<HRESULT>(0x8004FFFF), L"Mach3.Control", L"port locked"),
         Report(0x8004FFFF, "IDispatch error #65023", "Mach3.Control", "port locked")},
        {"method 32 returns text", MethodFault::ReturningText(L"abc"),
         Report(DISP_E_TYPEMISMATCH, "Unknown error 0x80020005", "(null)", "(null)")},
        {"method 32 returns a number beyond a byte", MethodFault::ReturningNumber(300),
         Report(DISP_E_OVERFLOW, "Unknown error 0x8002000A", "(null)", "(null)")},
        {"method 32 returns nothing", MethodFault::Returning(VT_EMPTY),
         Report(DISP_E_TYPEMISMATCH, "Unknown error 0x80020005", "(null)", "(null)")},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.name);
        OnHostThread([&] {
            HostRun run(ServerPresence::Running);
            ASSERT_TRUE(run.loaded && run.started);
            ASSERT_EQ(run.host.PostInitControl(), 0);
            run.host.TakeLog();
            run.host.objectModel.QueueFault(kControlReadPort, c.fault);
            run.host.Tick();

            // The report, then the update cycle's own line for a read that gave -1.
            const Lines lines = run.host.TakeLog();
            const auto report = std::find(lines.begin(), lines.end(), c.report.front());
            ASSERT_NE(report, lines.end());
            ASSERT_GE(lines.end() - report, 6);
            EXPECT_EQ(Lines(report, report + 5), c.report);
            EXPECT_EQ(report[5], Line("ERROR", "Error reading Port 2 data"));
            EXPECT_EQ(std::count(lines.begin(), lines.end(), c.report.front()), 1);
            EXPECT_EQ(run.host.objectModel.Calls(kControlReadPort), 1) << "the tick stops at the failed read";
            EXPECT_EQ(run.host.objectModel.lastAddress(), kPort2);
            run.host.StopPlug();
            run.End();
        });
    }
}

TEST(ObjectModelTest, ConnectReadEachTickAndShutDownBalanced) {
    OnHostThread([] {
        HostRun run(ServerPresence::Running);
        ASSERT_TRUE(run.loaded && run.started);
        EXPECT_EQ(run.host.PostInitControl(), 0);
        EXPECT_EQ(run.host.TakeLog(), Join(kPostInit, {Line("INFO", "Mach3ObjectModelStartup: Mach3 control OK")}));
        EXPECT_EQ(run.host.objectModel.ClientReferences(), 2) << "the document and the control object";

        for (int tick = 0; tick < 4; ++tick) run.host.Tick();
        EXPECT_EQ(run.host.objectModel.Calls(kControlReadPort), 12) << "three reads a tick";
        EXPECT_EQ(run.host.objectModel.lastAddress(), kPort2);
        run.host.TakeLog();

        run.host.StopPlug();
        EXPECT_EQ(run.host.TakeLog(), (Lines{Line("DEBUG", "myCleanUp()"), Line("INFO", "Mach3ObjectModelShutdown")}));
        run.End();
        // The server's CoInitialize and the plug-in's are both balanced: COM starts afresh.
        EXPECT_EQ(CoInitialize(nullptr), S_OK);
        CoUninitialize();
    });
}

TEST(ObjectModelTest, ASecondStopPlugLeavesTheHostThreadsComAlone) {
    OnHostThread([] {
        HostRun run(ServerPresence::Running);  // the host's own COM use on this thread
        ASSERT_TRUE(run.loaded && run.started);
        ASSERT_EQ(run.host.PostInitControl(), 0);
        run.host.StopPlug();
        run.host.StopPlug();
        EXPECT_EQ(CoInitialize(nullptr), S_FALSE) << "the host's COM must still be open after two StopPlug calls";
        CoUninitialize();
        run.End();
    });
}

TEST(ObjectModelTest, SecondStartupReleasesTheFirstReferences) {
    OnHostThread([] {
        HostRun run(ServerPresence::Running);
        ASSERT_TRUE(run.loaded && run.started);
        EXPECT_EQ(run.host.PostInitControl(), 0);
        EXPECT_EQ(run.host.PostInitControl(), 0);
        EXPECT_EQ(run.host.objectModel.ClientReferences(), 2);
        EXPECT_EQ(run.host.objectModel.Calls(kDocumentControl), 2);
        run.host.StopPlug();
        run.End();
    });
}

TEST(ObjectModelTest, WithoutTheHostObjectModelThePlugInStaysUnconnected) {
    OnHostThread([] {
        HostRun run(ServerPresence::NotRegistered);
        ASSERT_TRUE(run.loaded && run.started);
        EXPECT_NE(run.host.PostInitControl(), 0);
        run.host.TakeLog();

        // postInitCalled: the configuration notification now forces the MPG #1 configuration.
        run.host.plugin.entry.Notify(kExConfig);
        const Lines notified = run.host.TakeLog();
        ASSERT_FALSE(notified.empty());
        EXPECT_EQ(notified.front(), Line("INFO", "myNotify( EX_CONFIG ) forcing MPG1 config"));

        // Not init: the first tick reports the missing connection and reads nothing.
        run.host.Tick();
        const Lines ticked = run.host.TakeLog();
        EXPECT_NE(std::find(ticked.begin(), ticked.end(), Line("ERROR", "DoMyUpdate(): No Mach3 Object connection")),
                  ticked.end());

        // StopPlug skips the shutdown: no shutdown line, and the start-up's COM use stays open.
        run.host.StopPlug();
        EXPECT_EQ(run.host.TakeLog(), Lines{Line("DEBUG", "myCleanUp()")});
        run.End();
        EXPECT_EQ(CoInitialize(nullptr), S_FALSE) << "the plug-in's CoInitialize was undone";
        CoUninitialize();
        CoUninitialize();
    });
}

// ReadPortByte's own results, through the link's statically linked copy.
TEST(ObjectModelLinkTest, ThousandReadsReturnTheScriptedBytesInOrder) {
    OnHostThread([] {
        AutomationServer server;
        ASSERT_TRUE(server.Start(ServerPresence::Running)) << server.error();
        DebugCapture channel;
        ASSERT_TRUE(channel.Start());
        LogStart(LOG_ALL);
        ASSERT_EQ(Mach3ObjectModelStartup(), 0);
        channel.TakeLines();

        std::vector<int32_t> expected;
        uint32_t seed = 12345;
        for (int i = 0; i < 1000; ++i) {
            seed = seed * 1103515245u + 12345u;
            const uint8_t value = i == 0 ? 0x00 : i == 1 ? 0xFF : static_cast<uint8_t>(seed >> 16);
            server.script.push_back(value);
            expected.push_back(value);
        }
        std::vector<int32_t> read;
        for (int i = 0; i < 1000; ++i) read.push_back(ReadPortByte(kPort2));
        EXPECT_EQ(read, expected);
        EXPECT_TRUE(channel.TakeLines().empty()) << "a good read writes no log line";
        EXPECT_EQ(server.Calls(kControlReadPort), 1000);
        EXPECT_EQ(server.lastAddress(), kPort2);

        // A failed read is -1 with its report; the next read carries on with the script.
        server.script = {0x42, 0x43};
        server.QueueFault(kControlReadPort, MethodFault::Failing(E_FAIL));
        EXPECT_EQ(ReadPortByte(kPort2), -1);
        EXPECT_EQ(ReadPortByte(kPort2), 0x42);
        Lines lines;
        for (const std::string& line : channel.TakeLines()) lines.push_back(WithoutTimeStamp(line));
        EXPECT_EQ(lines, Report(E_FAIL, "Call failed.", "(null)", "(null)"));

        Mach3ObjectModelShutdown();
        LogStop();
        HostControlDispatch.Attach(nullptr);
        HostDocumentDispatch.Attach(nullptr);
        EXPECT_EQ(server.ClientReferences(), 0);
        server.Stop();
        EXPECT_EQ(server.AllReferences(), 0);
    });
}
}  // namespace
