// The profile, the start-up settings and the title through the real DLL in the simulated host,
// with real profile files: the host's machine profile copied into a folder of its own per test.
#include <gtest/gtest.h>

#include <windows.h>
#include <msxml.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <regex>
#include <thread>

#include "diag/log.h"
#include "dialog_watch.h"
#include "profile_files.h"
#include "sim_host.h"
#include "xml_reader.h"

namespace {
const char kTitle[] = "QUORVAN-9 Quorvan Devices Inc.";
// The plug-in's entry in the host's machine profile, a line of its own.
const char kEntryLine[] = "    <DebugLevel>4</DebugLevel>\r\n";

std::string Bytes(const std::string& path) {
    std::string bytes;
    return ReadFileBytes(path, &bytes) ? bytes : std::string("<unreadable>");
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The host's machine profile with the plug-in's DebugLevel line replaced by entryLine.
std::string HostProfileWith(const std::string& entryLine) {
    std::string text = Bytes(HostProfilePath());
    const size_t at = text.find(kEntryLine);
    if (at == std::string::npos) return "<the host profile has no DebugLevel line>";
    return text.replace(at, sizeof kEntryLine - 1, entryLine);
}

const CLSID kDomDocument = {0x2933BF90, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

// The content of an XML file's bytes, as a DOM with default properties reads it, without the
// root's child named section: every other section, attribute, comment and value. Empty when the
// bytes do not parse. COM is taken for this call only, so the caller's thread stays as it was.
std::wstring ContentWithout(const std::string& bytes, const wchar_t* section) {
    const bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    std::wstring content;
    {
        XmlReader reader(bytes, false);
        reader.RemoveSection(section);
        content = reader.Content();
    }
    if (com) CoUninitialize();
    return content;
}

bool StartsWith(const std::string& text, const std::string& start) { return text.compare(0, start.size(), start) == 0; }

std::string Joined(const std::vector<std::string>& lines) {
    std::string all;
    for (const std::string& line : lines) all += "\n  " + line;
    return all;
}

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder_.ok());
        ASSERT_TRUE(host_.Load()) << host_.error();
        ASSERT_TRUE(host_.InitControl());
        host_.TakeLog();
    }
    void TearDown() override {
        host_.StopPlug();
        host_.Unload();
        host_.TakeLog();
    }

    // Raises the level to ALL through a profile of its own, so every line is seen.
    void StartAtAll() {
        const std::string path = folder_.path() + "all.xml";
        WriteFileBytes(path, "<profile><QUORVAN9><DebugLevel>6</DebugLevel></QUORVAN9></profile>");
        host_.SetProName(path);
        host_.TakeLog();
    }

    // The current level, seen from outside: a profile asking for ALL makes the plug-in announce
    // the change from the current level. The line is filtered by that level, so OFF shows
    // nothing, and ALL shows only the DEBUG line of the read, with no change.
    std::string ObservedLevel() {
        const std::string path = folder_.path() + "observe.xml";
        WriteFileBytes(path, "<profile><QUORVAN9><DebugLevel>6</DebugLevel></QUORVAN9></profile>");
        host_.TakeLog();
        host_.SetProName(path);
        const std::vector<std::string> lines = host_.TakeLog();
        const std::regex change(R"(\[QUORVAN-9\]\[SYSTEM\]: Debug level changed from '(\w+)' to 'ALL')");
        std::smatch match;
        for (const std::string& line : lines) {
            if (std::regex_match(line, match, change)) return match[1];
        }
        if (lines.size() == 1 && lines[0] == "[QUORVAN-9][DEBUG]: myProfileInit()") return "ALL";
        if (lines.empty()) return "OFF";
        return "unexpected:" + Joined(lines);
    }

    TempFolder folder_;
    SimHost host_;
};

enum class Setup {
    Missing,          // no file at the path
    HostWithEntry,    // the host's profile, its DebugLevel line replaced by `entry`
    ReadOnlyHost,     // the same, marked read-only
    Raw,              // `entry` is the whole file
};

enum class After {
    Unchanged,     // byte for byte
    EntryRemoved,  // the host's profile without the DebugLevel line, byte for byte
    LoneRoot,      // a new file holding only the root element "profile"
};

struct ProfileCase {
    const char* name;
    Setup setup;
    std::string entry;
    int32_t startLevel;               // 1 SYSTEM, as after the host's InitControl, or 6 ALL
    std::vector<std::string> lines;   // SetProName's lines; "{path}" is the profile's path; an
                                      // expected line ending in "(" matches any line it starts
    const char* level;                // the level afterwards
    After file;
};

std::string Line(const char* level, const std::string& text) { return std::string("[QUORVAN-9][") + level + "]: " + text; }
std::string Changed(const char* to) { return Line("SYSTEM", std::string("Debug level changed from 'SYSTEM' to '") + to + "'"); }
std::string Refused(const char* value) { return Line("SYSTEM", std::string("ERROR: New debug level of ") + value + " is invalid, ignored"); }
std::string Entry(const char* text) { return std::string("    <DebugLevel>") + text + "</DebugLevel>\r\n"; }
const std::string kRead = Line("DEBUG", "myProfileInit()");
const std::string kNotLoaded = Line("ERROR", "ProfileDocument(): '{path}' is not a readable XML profile (");
const std::string kLoadedHalf = HostProfileWith(kEntryLine).substr(0, 1500);

class ProfileTable : public SettingsTest, public ::testing::WithParamInterface<ProfileCase> {};

TEST_P(ProfileTable, LevelLinesAndFileAfterSetProName) {
    const ProfileCase& c = GetParam();
    if (c.startLevel == LOG_ALL) StartAtAll();
    const std::string path = folder_.path() + "Mach3Mill.xml";
    std::string before;
    if (c.setup == Setup::Raw) before = c.entry;
    if (c.setup == Setup::HostWithEntry || c.setup == Setup::ReadOnlyHost) before = HostProfileWith(c.entry);
    if (c.setup != Setup::Missing) {
        ASSERT_TRUE(WriteFileBytes(path, before));
    }
    if (c.setup == Setup::ReadOnlyHost) {
        ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    }

    EXPECT_EQ(host_.SetProName(path), kTitle);
    const std::vector<std::string> lines = host_.TakeLog();

    ASSERT_EQ(lines.size(), c.lines.size()) << Joined(lines);
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string want = c.lines[i];
        const size_t at = want.find("{path}");
        if (at != std::string::npos) want.replace(at, 6, path);
        if (want.back() == '(') {
            EXPECT_TRUE(StartsWith(lines[i], want)) << lines[i];
        } else {
            EXPECT_EQ(lines[i], want);
        }
    }

    switch (c.file) {
        case After::Unchanged:
            EXPECT_EQ(Bytes(path), before);
            break;
        case After::EntryRemoved:
            EXPECT_EQ(Bytes(path), HostProfileWith(""));
            break;
        case After::LoneRoot: {
            std::string saved = Bytes(path);
            while (!saved.empty() && isspace(static_cast<unsigned char>(saved.back()))) saved.pop_back();
            EXPECT_EQ(saved, "<profile/>");
            break;
        }
    }
    if (c.setup == Setup::ReadOnlyHost) {
        EXPECT_NE(GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    }
    EXPECT_EQ(ObservedLevel(), c.level);
}

const Setup kHost = Setup::HostWithEntry;

INSTANTIATE_TEST_SUITE_P(
    Profiles, ProfileTable,
    ::testing::Values(
        ProfileCase{"MissingFileIsCreatedWithALoneRoot", Setup::Missing, "", LOG_SYSTEM, {}, "SYSTEM", After::LoneRoot},
        ProfileCase{"Level0", kHost, Entry("0"), LOG_SYSTEM, {Changed("OFF")}, "OFF", After::Unchanged},
        ProfileCase{"Level1SameAsCurrentWritesNothing", kHost, Entry("1"), LOG_SYSTEM, {}, "SYSTEM", After::Unchanged},
        ProfileCase{"Level2", kHost, Entry("2"), LOG_SYSTEM, {Changed("ERROR")}, "ERROR", After::Unchanged},
        ProfileCase{"Level3", kHost, Entry("3"), LOG_SYSTEM, {Changed("WARNING")}, "WARNING", After::Unchanged},
        ProfileCase{"Level4", kHost, Entry("4"), LOG_SYSTEM, {Changed("INFO")}, "INFO", After::Unchanged},
        ProfileCase{"Level5", kHost, Entry("5"), LOG_SYSTEM, {Changed("DEBUG")}, "DEBUG", After::Unchanged},
        ProfileCase{"Level6", kHost, Entry("6"), LOG_SYSTEM, {Changed("ALL")}, "ALL", After::Unchanged},
        ProfileCase{"Level7IsRefused", kHost, Entry("7"), LOG_SYSTEM, {Refused("7")}, "SYSTEM", After::Unchanged},
        ProfileCase{"BlanksAroundTheNumber", kHost, Entry("  7 "), LOG_SYSTEM, {Refused("7")}, "SYSTEM", After::Unchanged},
        ProfileCase{"Minus1IsRefused", kHost, Entry("-1"), LOG_SYSTEM, {Refused("-1")}, "SYSTEM", After::Unchanged},
        ProfileCase{"HugeNumberClampsAndIsRefused", kHost, Entry("99999999999"), LOG_SYSTEM, {Refused("2147483647")},
                    "SYSTEM", After::Unchanged},
        ProfileCase{"HugeNegativeClampsAndIsRefused", kHost, Entry("-99999999999"), LOG_SYSTEM,
                    {Refused("-2147483648")}, "SYSTEM", After::Unchanged},
        ProfileCase{"HexReadsItsLeadingZero", kHost, Entry("0x3"), LOG_SYSTEM, {Changed("OFF")}, "OFF", After::Unchanged},
        ProfileCase{"LettersReadAsZero", kHost, Entry("abc"), LOG_SYSTEM, {Changed("OFF")}, "OFF", After::Unchanged},
        ProfileCase{"NumberThenLetters", kHost, Entry("5 (debug)"), LOG_SYSTEM, {Changed("DEBUG")}, "DEBUG", After::Unchanged},
        ProfileCase{"EmptyValueIsRemoved", kHost, Entry(""), LOG_SYSTEM, {}, "SYSTEM", After::EntryRemoved},
        ProfileCase{"EmptyElementIsRemoved", kHost, "    <DebugLevel/>\r\n", LOG_SYSTEM, {}, "SYSTEM", After::EntryRemoved},
        ProfileCase{"BlankValueIsRemoved", kHost, Entry(" \t "), LOG_SYSTEM, {}, "SYSTEM", After::EntryRemoved},
        ProfileCase{"NoEntryKeepsTheLevel", kHost, "", LOG_ALL, {kRead}, "ALL", After::Unchanged},
        ProfileCase{"EmptyValueAtAllIsRemoved", kHost, Entry(""), LOG_ALL, {kRead}, "ALL", After::EntryRemoved},
        ProfileCase{"MalformedFileIsLeftAlone", Setup::Raw, kLoadedHalf, LOG_ALL, {kNotLoaded, kRead}, "ALL",
                    After::Unchanged},
        ProfileCase{"WrongEncodingIsLeftAlone", Setup::Raw, "<profile><Name>caf\xe9</Name><QUORVAN9><DebugLevel>3</DebugLevel></QUORVAN9></profile>",
                    LOG_ALL, {kNotLoaded, kRead}, "ALL", After::Unchanged},
        ProfileCase{"EmptyFileIsLeftAlone", Setup::Raw, "", LOG_ALL, {kNotLoaded, kRead}, "ALL", After::Unchanged},
        // Loaded and not changed: never rewritten, so what the DOM would make of the encoding,
        // a byte-order mark or escaped characters never reaches the host's file.
        ProfileCase{"UnchangedLatin1ProfileIsNotRewritten", Setup::Raw,
                    "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<profile>\r\n  <Name>caf\xe9</Name>\r\n"
                    "  <QUORVAN9>\r\n    <DebugLevel>3</DebugLevel>\r\n  </QUORVAN9>\r\n</profile>\r\n",
                    LOG_SYSTEM, {Changed("WARNING")}, "WARNING", After::Unchanged},
        ProfileCase{"UnchangedProfileKeepsItsMarkAndEscapes", Setup::Raw,
                    "\xEF\xBB\xBF<profile><Note>a &gt; b &#65;</Note><QUORVAN9><DebugLevel>5</DebugLevel></QUORVAN9>"
                    "</profile>",
                    LOG_SYSTEM, {Changed("DEBUG")}, "DEBUG", After::Unchanged},
        ProfileCase{"ReadOnlyFileIsNotReplaced", Setup::ReadOnlyHost, Entry(""), LOG_ALL,
                    {kRead, Line("ERROR", "~ProfileDocument(): '{path}' is read-only, the profile is not saved")}, "ALL",
                    After::Unchanged},
        ProfileCase{"ReadOnlyFileStillGivesItsLevel", Setup::ReadOnlyHost, Entry("3"), LOG_SYSTEM, {Changed("WARNING")},
                    "WARNING", After::Unchanged}),
    [](const ::testing::TestParamInfo<ProfileCase>& param) { return std::string(param.param.name); });

// A profile in forms the DOM writes differently (byte order mark, an empty element written as a
// pair of tags, single quotes, character references, CDATA, a document type, processing
// instructions): after the plug-in has removed its empty entry, everything else is still there.
TEST_F(SettingsTest, EverySectionSurvivesInContentWhateverItsForm) {
    const std::string before =
        "\xEF\xBB\xBF<?xml version='1.0' encoding='UTF-8'?>\n"
        "<!DOCTYPE profile>\n<?host-editor keep?>\n"
        "<!-- profile -->\n"
        "<profile version='2'>\n"
        "\t<Feeds><Rapid unit='mm/min'>2400</Rapid><Empty></Empty><Note>line&#10;two &amp; &#233;t\xC3\xA9</Note></Feeds>\n"
        "\t<QUORVAN9><Other>x</Other><DebugLevel></DebugLevel></QUORVAN9>\n"
        "\t<Script><![CDATA[if a<b then c]]></Script>\n"
        "</profile>\n";
    const std::string path = folder_.path() + "odd.xml";
    ASSERT_TRUE(WriteFileBytes(path, before));
    host_.SetProName(path);
    const std::string after = Bytes(path);
    ASSERT_FALSE(ContentWithout(before, L"QUORVAN9").empty());
    EXPECT_EQ(ContentWithout(after, L"QUORVAN9"), ContentWithout(before, L"QUORVAN9")) << after;
    EXPECT_NE(after.find("<QUORVAN9><Other>x</Other></QUORVAN9>"), std::string::npos) << after;
}

// A profile in an 8-bit encoding: its level is read, and whether or not the DOM can write that
// encoding back, the file keeps every character.
TEST_F(SettingsTest, EightBitEncodedProfileKeepsItsCharacters) {
    const std::string before =
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<profile>\r\n  <Shop>Fr\xe4serei M\xfcller</Shop>\r\n"
        "  <QUORVAN9>\r\n    <DebugLevel>3</DebugLevel>\r\n  </QUORVAN9>\r\n</profile>\r\n";
    const std::string path = folder_.path() + "latin.xml";
    ASSERT_TRUE(WriteFileBytes(path, before));
    host_.SetProName(path);
    host_.TakeLog();
    const std::string after = Bytes(path);
    EXPECT_TRUE(after == before || after.find("Fr\xe4serei M\xfcller") != std::string::npos) << after;
    EXPECT_EQ(ObservedLevel(), "WARNING");
}

TEST_F(SettingsTest, LockedProfileIsNeitherReadNorWritten) {
    StartAtAll();
    const std::string path = folder_.path() + "locked.xml";
    const std::string before = HostProfileWith(Entry(""));
    ASSERT_TRUE(WriteFileBytes(path, before));
    // The host has the file open for writing and lets no one else in.
    HANDLE lock = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    host_.SetProName(path);
    CloseHandle(lock);
    const std::vector<std::string> lines = host_.TakeLog();
    ASSERT_EQ(lines.size(), 2u) << Joined(lines);
    EXPECT_EQ(lines[0], "[QUORVAN-9][ERROR]: ProfileDocument(): cannot read '" + path + "' (error 32), the file is left unchanged");
    EXPECT_EQ(Bytes(path), before);
}

TEST_F(SettingsTest, ProfileInAMissingFolderIsReportedNotCreated) {
    StartAtAll();
    const std::string path = folder_.path() + "no such folder\\Mach3Mill.xml";
    EXPECT_EQ(host_.SetProName(path), kTitle);
    const std::vector<std::string> lines = host_.TakeLog();
    ASSERT_EQ(lines.size(), 2u) << Joined(lines);
    EXPECT_TRUE(StartsWith(lines[1], "[QUORVAN-9][ERROR]: ~ProfileDocument(): cannot write '" + path + "' (error ")) << lines[1];
    EXPECT_FALSE(Exists(path));
}

// Nothing but the profile is left in its folder after saves, refused saves and failed loads.
TEST_F(SettingsTest, SavesLeaveNoTemporaryFiles) {
    const std::string good = folder_.CopyHostProfile();
    const std::string bad = folder_.path() + "bad.xml";
    WriteFileBytes(bad, "<profile>");
    host_.SetProName(good);
    host_.SetProName(bad);
    host_.SetProName(folder_.path() + "new.xml");
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((folder_.path() + "*").c_str(), &entry);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    do {
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) names.push_back(entry.cFileName);
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Mach3Mill.xml", "bad.xml", "new.xml"}));
}

// A host may keep the pointer it was given: the text stays readable through later calls.
TEST_F(SettingsTest, TitleIsTheSameTextOnEveryCallAndStaysValid) {
    const std::string path = folder_.CopyHostProfile();
    HostString first = HostStringCreate(path.c_str());
    const char* title = host_.plugin.entry.SetProName(first);
    ASSERT_NE(title, nullptr);
    const std::string firstText = title;
    host_.SetProName(path);
    EXPECT_EQ(firstText, kTitle);
    EXPECT_STREQ(title, kTitle);
}

TEST_F(SettingsTest, TitleFollowsTheModuleFileName) {
    host_.Unload();
    const std::string renamed = folder_.path() + "Pendant.Board v2.dll";
    ASSERT_TRUE(CopyFileA((ProgramDirectory() + "QUORVAN-9.dll").c_str(), renamed.c_str(), FALSE));
    ASSERT_TRUE(host_.Load(renamed)) << host_.error();
    host_.InitControl();
    EXPECT_EQ(host_.SetProName(folder_.CopyHostProfile()), "Pendant.Board v2 Quorvan Devices Inc.");
}

// The host may call SetProName on a thread without COM, or with either kind of apartment: the
// level is read every time, and the thread's COM is left as the host had it.
TEST_F(SettingsTest, ReadsOnAnyThreadAndLeavesItsComAsItWas) {
    auto comUsable = [&] {
        IUnknown* object = nullptr;
        const HRESULT result = CoCreateInstance(kDomDocument, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                                reinterpret_cast<void**>(&object));
        if (object != nullptr) object->Release();
        return SUCCEEDED(result);
    };
    struct Kind {
        const char* name;
        int init;  // -1: no COM on the thread
    };
    const Kind kinds[] = {{"no COM", -1}, {"single-threaded", COINIT_APARTMENTTHREADED}, {"multi-threaded", COINIT_MULTITHREADED}};
    int level = 2;
    for (const Kind& kind : kinds) {
        SCOPED_TRACE(kind.name);
        const std::string path = folder_.path() + "thread.xml";
        WriteFileBytes(path, HostProfileWith(Entry(std::to_string(level).c_str())));
        bool usableAfter = false;
        bool usableAfterRelease = true;
        std::thread caller([&] {
            if (kind.init >= 0) CoInitializeEx(nullptr, kind.init);
            host_.SetProName(path);
            usableAfter = comUsable();
            if (kind.init >= 0) CoUninitialize();
            usableAfterRelease = comUsable();
        });
        caller.join();
        EXPECT_EQ(usableAfter, kind.init >= 0);
        EXPECT_FALSE(usableAfterRelease) << "the plug-in left COM initialised on the host's thread";
        const std::vector<std::string> lines = host_.TakeLog();
        ASSERT_EQ(lines.size(), 1u) << Joined(lines);
        EXPECT_NE(lines[0].find(std::string("' to '") + (level == 2 ? "ERROR" : level == 3 ? "WARNING" : "INFO")),
                  std::string::npos) << lines[0];
        ++level;
    }
}

// Large and deeply nested profiles: the level is read where the DOM can parse the file, the
// file is never harmed, and the time of one SetProName is printed.
TEST_F(SettingsTest, HugeAndDeeplyNestedProfiles) {
    std::string sections;
    for (int s = 0; s < 20000; ++s) {
        sections += "  <Tool" + std::to_string(s) + " pocket=\"" + std::to_string(s % 240) + "\">\r\n";
        for (int k = 0; k < 8; ++k) sections += "    <Offset" + std::to_string(k) + ">" + std::to_string(s * 0.125 + k) + "</Offset" + std::to_string(k) + ">\r\n";
        sections += "  </Tool" + std::to_string(s) + ">\r\n";
    }
    auto withTools = [&](const std::string& entry) {
        std::string text = HostProfileWith(entry);
        return text.insert(text.find("  <QUORVAN9>"), sections);
    };

    auto nested = [](int depth) {
        std::string open, close;
        for (int i = 0; i < depth; ++i) {
            open += "<n>";
            close += "</n>";
        }
        return "<profile>\r\n  <Deep>" + open + "x" + close + "</Deep>\r\n  <QUORVAN9>\r\n    <DebugLevel>5</DebugLevel>\r\n  </QUORVAN9>\r\n</profile>\r\n";
    };
    struct Case {
        const char* name;
        std::string bytes;
        std::string after;
        const char* level;  // the level read, or SYSTEM where there is none or the DOM refuses the file
    };
    const Case cases[] = {
        {"host profile", HostProfileWith(Entry("5")), HostProfileWith(Entry("5")), "DEBUG"},
        {"host profile, entry removed", HostProfileWith(Entry("")), HostProfileWith(""), "SYSTEM"},
        {"huge", withTools(Entry("5")), withTools(Entry("5")), "DEBUG"},
        {"huge, entry removed", withTools(Entry("")), withTools(""), "SYSTEM"},
        {"nested 200 deep", nested(200), nested(200), "DEBUG"},
        {"nested 100000 deep", nested(100000), nested(100000), "SYSTEM"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        host_.StopPlug();
        host_.InitControl();
        host_.TakeLog();
        const std::string path = folder_.path() + "big.xml";
        ASSERT_TRUE(WriteFileBytes(path, c.bytes));
        const auto start = std::chrono::steady_clock::now();
        host_.SetProName(path);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        printf("[ figures  ] %s: %zu bytes, SetProName %.3f s\n", c.name, c.bytes.size(), seconds);
        EXPECT_EQ(Bytes(path), c.after);
        EXPECT_EQ(ObservedLevel(), c.level);
    }
}

// Config under a display shows the dialog, which the watch closes with Return; without one the
// dialog cannot be made and Config returns at once. Either way the profile is loaded before
// and saved after, unchanged.
TEST_F(SettingsTest, ConfigReturnsWithTheDialogsResultAndKeepsTheProfile) {
    const std::string path = folder_.path() + "Mach3Mill.xml";
    const std::string before = HostProfileWith(Entry("6"));
    ASSERT_TRUE(WriteFileBytes(path, before));
    host_.SetProName(path);
    host_.TakeLog();

    ConfigDialogWatch watch(ConfigDialogWatch::CloseAtOnce);
    host_.plugin.entry.Config();
    const std::vector<std::string> lines = host_.TakeLog();
    ASSERT_EQ(lines.size(), 2u) << Joined(lines);
    EXPECT_EQ(lines[0], "[QUORVAN-9][INFO]: myConfig()");
    if (watch.shown()) {
        EXPECT_EQ(watch.caption(), "QUORVAN-9 Configuration (Version 2012.05.15)");
        EXPECT_EQ(lines[1], "[QUORVAN-9][DEBUG]: After DoModal(), ret=1");
    } else {
        EXPECT_EQ(lines[1], "[QUORVAN-9][DEBUG]: After DoModal(), ret=-1");
    }
    EXPECT_EQ(Bytes(path), before);
}

TEST_F(SettingsTest, ConfigCreatesAMissingProfileWithALoneRoot) {
    const std::string path = folder_.path() + "Mach3Mill.xml";
    host_.SetProName(path);
    ASSERT_TRUE(DeleteFileA(path.c_str()));
    ConfigDialogWatch watch(ConfigDialogWatch::CloseAtOnce);
    host_.plugin.entry.Config();
    std::string saved = Bytes(path);
    while (!saved.empty() && isspace(static_cast<unsigned char>(saved.back()))) saved.pop_back();
    EXPECT_EQ(saved, "<profile/>");
}

// A class object that refuses to make documents, standing in for a system without the DOM.
class RefusingFactory : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        *out = (iid == IID_IUnknown || iid == IID_IClassFactory) ? this : nullptr;
        return *out != nullptr ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID, void** out) override {
        *out = nullptr;
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

TEST_F(SettingsTest, WithoutTheXmlClassReadsDefaultsAndSavesNothing) {
    StartAtAll();
    const std::string path = folder_.path() + "Mach3Mill.xml";
    const std::string before = HostProfileWith(Entry(""));
    ASSERT_TRUE(WriteFileBytes(path, before));

    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    RefusingFactory factory;
    DWORD cookie = 0;
    ASSERT_EQ(CoRegisterClassObject(kDomDocument, &factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie), S_OK);
    EXPECT_EQ(host_.SetProName(path), kTitle);
    CoRevokeClassObject(cookie);
    CoUninitialize();

    const std::vector<std::string> lines = host_.TakeLog();
    ASSERT_EQ(lines.size(), 2u) << Joined(lines);
    EXPECT_EQ(lines[0], "[QUORVAN-9][ERROR]: ProfileDocument(): cannot create the XML document (0x80040111), "
                        "settings take their defaults and nothing is saved");
    EXPECT_EQ(lines[1], kRead);
    EXPECT_EQ(Bytes(path), before);
}
}  // namespace
