// Profile files of every shape through the real plug-in in the simulated host: the committed
// seeds, then seeded mutations of them (flipped bits, cuts, junk, duplicated elements, removed
// closing tags, odd DebugLevel values, splices, random bytes), each written to a folder of its
// own and handed to SetProName, and every tenth also to Config. For each case:
//   - nothing crashes, the title is right, and the plug-in still reads its port on the next ticks;
//   - a file the DOM does not load (judged here by a DOM of this program's own) is not written:
//     the same bytes, the same file, the same write time, and no other file beside it;
//   - a file that loads and was written back holds the same content as before, less an empty
//     QUORVAN9/DebugLevel, and still loads;
//   - the log says what the file held: not readable, or the level it asked for, or a refused
//     value; the level afterwards is the one asked for when it is 0..6, otherwise the one before.
// Prints the cases, how many loaded and were rewritten, the seed and the speed. A failing case
// is saved as profile_corpus-case-<n>.bin and replays alone.
//   profile_corpus [cases] [seed] [case]
#include <windows.h>
#include <msxml.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "dialog_watch.h"
#include "plugin_module.h"
#include "profile_files.h"
#include "sim_host.h"
#include "xml_reader.h"

namespace {
const char kTitle[] = "QUORVAN-9 Quorvan Devices Inc.";
const char* const kLevelNames[] = {"OFF", "SYSTEM", "ERROR", "WARNING", "INFO", "DEBUG", "ALL"};
constexpr int kLevelAll = 6;
constexpr size_t kMaxCaseBytes = 1 << 20;
constexpr int kConfigEvery = 10;
constexpr int kTicksPerCase = 3;

struct Seed {
    std::string name;
    std::string bytes;
};

// The committed seeds, copied beside this program, in name order.
std::vector<Seed> LoadSeeds(const std::string& folder) {
    std::vector<Seed> seeds;
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return seeds;
    do {
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
        Seed seed{entry.cFileName, std::string()};
        if (ReadFileBytes(folder + entry.cFileName, &seed.bytes)) seeds.push_back(seed);
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    std::sort(seeds.begin(), seeds.end(), [](const Seed& a, const Seed& b) { return a.name < b.name; });
    return seeds;
}

// ---- Mutations -------------------------------------------------------------------------------

const std::string kJunk[] = {
    "<", ">", "&", "&#0;", "&#xD800;", "&bogus;", "]]>", "<!--", "-->", "<![CDATA[", "<?", "?>",
    std::string("\0", 1), "\xff\xfe", "\xef\xbb\xbf", "\xc3", "\r", "\n", "\r\n", "</QUORVAN9>",
    "<QUORVAN9>", "<DebugLevel>", "</DebugLevel>", "<DebugLevel/>", "=\"", "\"", "'",
    "<!DOCTYPE x [<!ENTITY e \"&e;\">]>", "<!ENTITY a \"aaaa\">", " xmlns:p=\"urn:p\"", "<p:x/>",
    " xml:space=\"preserve\"", "<?xml version=\"1.0\" encoding=\"UTF-16\"?>", "\x80\x81\xfe"};

// Values the host's editor or a person could leave in the plug-in's entry.
const char* const kOddLevels[] = {
    "", " ", "\t\r\n ", "0", "1", "2", "3", "4", "5", "6", "7", "-1", "+3", " 4 ", "007", "99999999999",
    "-99999999999", "2147483647", "-2147483648", "2147483648", "0x3", "abc", "5 (debug)", "&#32;", "&#51;",
    "<![CDATA[4]]>", "<!-- -->", "<!-- 1 -->2", "3<x/>", "<x>5</x>", "\xef\xbc\x93", "\xd9\xa3", "1e3", "3.9",
    "--2", "- 2", "&amp;2", "&#x36;"};

enum Mutation { FlipBits, Truncate, InsertJunk, DuplicateElement, RemoveClosingTag, SetDebugLevel, Splice, RandomBytes };
const char* const kMutationNames[] = {"flip",      "truncate", "junk",   "duplicate",
                                      "unclose",   "level",    "splice", "random"};
// Mutations that keep a file loadable come more often, so both kinds are well represented.
const Mutation kMutationDraw[] = {FlipBits,         Truncate,         InsertJunk,    DuplicateElement, DuplicateElement,
                                  RemoveClosingTag, SetDebugLevel,    SetDebugLevel, SetDebugLevel,    Splice,
                                  RandomBytes};

template <typename T, size_t N>
size_t Pick(std::mt19937& random, const T (&table)[N]) {
    return random() % N;
}

// Positions of every occurrence of text in bytes.
std::vector<size_t> FindAll(const std::string& bytes, const std::string& text) {
    std::vector<size_t> at;
    for (size_t p = bytes.find(text); p != std::string::npos; p = bytes.find(text, p + 1)) at.push_back(p);
    return at;
}

// Copies a whole element (from "<name" to the next "</name>") and puts the copy right after it.
bool DuplicateAnElement(std::mt19937& random, std::string& bytes) {
    const std::vector<size_t> closings = FindAll(bytes, "</");
    if (closings.empty()) return false;
    const size_t close = closings[random() % closings.size()];
    const size_t end = bytes.find('>', close);
    if (end == std::string::npos) return false;
    const std::string name = bytes.substr(close + 2, end - close - 2);
    for (size_t open = bytes.rfind("<" + name, close); open != std::string::npos && !name.empty();
         open = open == 0 ? std::string::npos : bytes.rfind("<" + name, open - 1)) {
        const char next = bytes[open + 1 + name.size()];
        if (next == '>' || next == ' ' || next == '\t' || next == '\r' || next == '\n') {
            bytes.insert(end + 1, bytes.substr(open, end + 1 - open));
            return true;
        }
    }
    return false;
}

void SetTheDebugLevel(std::mt19937& random, std::string& bytes) {
    const std::string value = kOddLevels[Pick(random, kOddLevels)];
    const size_t open = bytes.find("<DebugLevel>");
    const size_t close = open == std::string::npos ? open : bytes.find("</DebugLevel>", open);
    if (close != std::string::npos) {
        const size_t start = open + strlen("<DebugLevel>");
        bytes.replace(start, close - start, value);
        return;
    }
    const std::string entry = "<DebugLevel>" + value + "</DebugLevel>";
    const size_t empty = bytes.find("<DebugLevel/>");
    if (empty != std::string::npos) {
        bytes.replace(empty, strlen("<DebugLevel/>"), entry);
        return;
    }
    const size_t last = bytes.rfind("</");
    if (last != std::string::npos) bytes.insert(last, "<QUORVAN9>" + entry + "</QUORVAN9>");
}

std::string Mutated(std::mt19937& random, const Seed& seed, const std::vector<Seed>& seeds, std::string* description) {
    std::string bytes = seed.bytes;
    *description = seed.name;
    const int count = 1 + static_cast<int>(random() % 3);
    for (int i = 0; i < count; ++i) {
        const Mutation mutation = kMutationDraw[random() % (sizeof kMutationDraw / sizeof kMutationDraw[0])];
        *description += std::string(i == 0 ? " + " : ", ") + kMutationNames[mutation];
        switch (mutation) {
            case FlipBits:
                for (int flips = 1 + static_cast<int>(random() % 8); flips > 0 && !bytes.empty(); --flips) {
                    bytes[random() % bytes.size()] ^= static_cast<char>(1 << (random() % 8));
                }
                break;
            case Truncate:
                bytes.resize(bytes.empty() ? 0 : random() % bytes.size());
                break;
            case InsertJunk: {
                std::string junk;
                if (random() % 4 == 0) {
                    for (int n = 1 + static_cast<int>(random() % 16); n > 0; --n) junk += static_cast<char>(random());
                } else {
                    junk = kJunk[Pick(random, kJunk)];
                }
                bytes.insert(bytes.empty() ? 0 : random() % (bytes.size() + 1), junk);
                break;
            }
            case DuplicateElement:
                if (!DuplicateAnElement(random, bytes) && !bytes.empty()) {
                    const size_t from = random() % bytes.size();
                    const size_t length = 1 + random() % std::min<size_t>(256, bytes.size() - from);
                    bytes.insert(random() % (bytes.size() + 1), bytes.substr(from, length));
                }
                break;
            case RemoveClosingTag: {
                const std::vector<size_t> closings = FindAll(bytes, "</");
                if (closings.empty()) break;
                const size_t close = closings[random() % closings.size()];
                const size_t end = bytes.find('>', close);
                bytes.erase(close, end == std::string::npos ? std::string::npos : end + 1 - close);
                break;
            }
            case SetDebugLevel:
                SetTheDebugLevel(random, bytes);
                break;
            case Splice: {
                const Seed& other = seeds[random() % seeds.size()];
                const size_t cut = bytes.empty() ? 0 : random() % bytes.size();
                const size_t from = other.bytes.empty() ? 0 : random() % other.bytes.size();
                bytes = bytes.substr(0, cut) + other.bytes.substr(from);
                *description += std::string("(") + other.name + ")";
                break;
            }
            case RandomBytes: {
                bytes = random() % 2 == 0 ? "<profile>" : "";
                for (int n = 1 + static_cast<int>(random() % 1024); n > 0; --n) bytes += static_cast<char>(random());
                break;
            }
        }
        if (bytes.size() > kMaxCaseBytes) bytes.resize(kMaxCaseBytes);
    }
    return bytes;
}

// What the plug-in must make of a file, worked out here without it.
struct Expectation {
    bool loaded = false;
    bool entryBlank = false;  // an entry whose text is only white space, which the plug-in removes
    bool hasValue = false;
    long value = 0;           // the entry's number, as the C library reads it
};

Expectation Expect(const std::string& bytes) {
    Expectation e;
    XmlReader dom(bytes);
    e.loaded = dom.loaded();
    std::string text;
    if (e.loaded && dom.EntryText(&text)) {
        e.entryBlank = text.empty();
        e.hasValue = !e.entryBlank;
        e.value = strtol(text.c_str(), nullptr, 10);
    }
    return e;
}

// The content of a file as the DOM reads it, without the plug-in's entry when removeEntry;
// empty when it does not load.
std::wstring ContentOf(const std::string& bytes, bool removeEntry) {
    XmlReader dom(bytes);
    if (removeEntry) dom.RemoveEntry();
    return dom.Content();
}

// ---- Files -----------------------------------------------------------------------------------

struct FileStamp {
    bool present = false;
    DWORD indexHigh = 0, indexLow = 0;
    FILETIME written = {};
    bool operator==(const FileStamp& o) const {
        return present == o.present && indexHigh == o.indexHigh && indexLow == o.indexLow &&
               written.dwLowDateTime == o.written.dwLowDateTime && written.dwHighDateTime == o.written.dwHighDateTime;
    }
};

// Which file is at path and when it was last written: a replaced file is another file.
FileStamp StampOf(const std::string& path) {
    FileStamp stamp;
    HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return stamp;
    BY_HANDLE_FILE_INFORMATION info = {};
    if (GetFileInformationByHandle(file, &info)) {
        stamp.present = true;
        stamp.indexHigh = info.nFileIndexHigh;
        stamp.indexLow = info.nFileIndexLow;
        stamp.written = info.ftLastWriteTime;
    }
    CloseHandle(file);
    return stamp;
}

std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) names.push_back(entry.cFileName);
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return names;
}

std::string Printable(const std::string& bytes, size_t most = 160) {
    std::string text;
    for (size_t i = 0; i < bytes.size() && i < most; ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            text += static_cast<char>(c);
        } else {
            char escaped[8];
            snprintf(escaped, sizeof escaped, "\\x%02X", c);
            text += escaped;
        }
    }
    if (bytes.size() > most) text += "...";
    return text;
}

// ---- The run ---------------------------------------------------------------------------------

struct Figures {
    int cases = 0, loaded = 0, rewritten = 0, entriesRemoved = 0, reformatted = 0, refusedSaves = 0, configs = 0,
        failed = 0;
};

volatile long currentCase = -1;

LONG WINAPI SayWhichCase(EXCEPTION_POINTERS* exception) {
    fprintf(stderr, "profile_corpus: case %ld raised exception 0x%08lX; replay it with its number as the third argument\n",
            currentCase, static_cast<unsigned long>(exception->ExceptionRecord->ExceptionCode));
    fflush(stderr);
    return EXCEPTION_CONTINUE_SEARCH;
}

class Run {
public:
    Run(SimHost& session, const std::string& folder, const std::string& probeFolder, Figures& figures)
        : host_(session), path_(folder + "Mach3Mill.xml"), folder_(folder), probe_(probeFolder + "probe.xml"),
          figures_(figures) {}

    // Brings the level to ALL, so the next call shows every line.
    bool Start() {
        if (!WriteFileBytes(probe_, "<profile><QUORVAN9><DebugLevel>6</DebugLevel></QUORVAN9></profile>")) return false;
        host_.SetProName(probe_);
        host_.TakeLog();
        return true;
    }

    void Case(long number, const std::string& description, const std::string& bytes, bool alsoConfig) {
        failures_.clear();
        currentCase = number;
        const Expectation e = Expect(bytes);
        DeleteFileA(path_.c_str());
        if (!WriteFileBytes(path_, bytes)) {
            Fail("cannot write the case's file");
        } else {
            ++figures_.cases;
            if (e.loaded) ++figures_.loaded;
            ThroughSetProName(e, bytes);
            if (alsoConfig) ThroughConfig(e, bytes);
            CheckTicks();
            // Back to ALL for the next case; the level the case left is read on the way.
            const std::string level = LevelSeenByProbe();
            const int expected = e.hasValue && e.value >= 0 && e.value <= 6 ? static_cast<int>(e.value) : kLevelAll;
            // Config does not read the level, so the level the case's file asked for stands.
            if (level != kLevelNames[expected]) {
                Fail(std::string("level afterwards is ") + level + ", not " + kLevelNames[expected]);
            }
        }
        if (!failures_.empty()) Report(number, description, bytes);
    }

private:
    void Fail(const std::string& what) { failures_.push_back(what); }

    void ThroughSetProName(const Expectation& e, const std::string& before) {
        const FileStamp stampBefore = StampOf(path_);
        const std::string title = host_.SetProName(path_);
        if (title != kTitle) Fail("title '" + title + "'");
        CheckLines(e, host_.TakeLog());
        CheckFile(e, before, stampBefore, true);
    }

    void ThroughConfig(const Expectation& e, const std::string& before) {
        ++figures_.configs;
        DeleteFileA(path_.c_str());
        WriteFileBytes(path_, before);
        const FileStamp stampBefore = StampOf(path_);
        {
            ConfigDialogWatch watch(ConfigDialogWatch::CloseAtOnce);
            host_.plugin.entry.Config();
        }
        // Config reads no setting, so it removes nothing: the content stays whole.
        Expectation kept = e;
        kept.entryBlank = false;
        CheckFile(kept, before, stampBefore, false);
        host_.TakeLog();
    }

    // At ALL: [not readable], the read, [the level's change or its refusal], then any refused save.
    void CheckLines(const Expectation& e, const std::vector<std::string>& lines) {
        std::vector<std::string> expected;
        const std::string notLoaded = "[QUORVAN-9][ERROR]: ProfileDocument(): '" + path_ + "' is not a readable XML profile (";
        if (!e.loaded) expected.push_back(notLoaded);
        expected.push_back("[QUORVAN-9][DEBUG]: myProfileInit()");
        if (e.hasValue && (e.value < 0 || e.value > 6)) {
            expected.push_back("[QUORVAN-9][SYSTEM]: ERROR: New debug level of " + std::to_string(e.value) + " is invalid, ignored");
        } else if (e.hasValue && e.value != kLevelAll) {
            expected.push_back(std::string("[QUORVAN-9][SYSTEM]: Debug level changed from 'ALL' to '") + kLevelNames[e.value] + "'");
        }
        const std::string refusedSave = "[QUORVAN-9][ERROR]: ~ProfileDocument(): ";
        std::vector<std::string> seen;
        for (const std::string& line : lines) {
            if (line.compare(0, refusedSave.size(), refusedSave) == 0) {
                ++figures_.refusedSaves;
            } else {
                seen.push_back(line);
            }
        }
        bool same = seen.size() == expected.size();
        for (size_t i = 0; same && i < seen.size(); ++i) {
            same = expected[i] == notLoaded ? seen[i].compare(0, notLoaded.size(), notLoaded) == 0 : seen[i] == expected[i];
        }
        if (!same) {
            std::string text = "log lines differ; expected:";
            for (const std::string& line : expected) text += "\n      " + line;
            text += "\n    seen:";
            for (const std::string& line : lines) text += "\n      " + line;
            Fail(text);
        }
    }

    void CheckFile(const Expectation& e, const std::string& before, const FileStamp& stampBefore, bool count) {
        std::string after;
        if (!ReadFileBytes(path_, &after)) {
            Fail("the profile is gone or unreadable");
            return;
        }
        const std::vector<std::string> files = FilesIn(folder_);
        if (files.size() != 1) Fail("other files beside the profile: " + std::to_string(files.size() - 1));
        if (!e.loaded) {
            if (after != before) Fail("a file that did not load was changed to: " + Printable(after));
            if (!(StampOf(path_) == stampBefore)) Fail("a file that did not load was written");
            return;
        }
        if (after == before) return;
        if (count) {
            ++figures_.rewritten;
            if (e.entryBlank) ++figures_.entriesRemoved;
            if (!e.entryBlank) ++figures_.reformatted;
        }
        const std::wstring now = ContentOf(after, false);
        if (now.empty()) {
            Fail("a file that loaded was rewritten into one that does not: " + Printable(after));
        } else if (now != ContentOf(before, e.entryBlank)) {
            Fail("the content changed beyond the empty entry; now: " + Printable(after, 400));
        }
    }

    void CheckTicks() {
        const int readsBefore = host_.state.portReads;
        for (int i = 0; i < kTicksPerCase; ++i) host_.Tick();
        if (host_.state.portReads <= readsBefore) Fail("the plug-in no longer reads its port on a tick");
        host_.TakeLog();
    }

    // The level now, seen from outside: the probe asks for ALL, and the plug-in says from which
    // level it changes. OFF shows nothing; ALL only the read.
    std::string LevelSeenByProbe() {
        host_.TakeLog();
        host_.SetProName(probe_);
        const std::vector<std::string> lines = host_.TakeLog();
        static const std::regex change(R"(\[QUORVAN-9\]\[SYSTEM\]: Debug level changed from '(\w+)' to 'ALL')");
        std::smatch match;
        for (const std::string& line : lines) {
            if (std::regex_match(line, match, change)) return match[1];
        }
        if (lines.size() == 1 && lines[0] == "[QUORVAN-9][DEBUG]: myProfileInit()") return "ALL";
        if (lines.empty()) return "OFF";
        return "unclear (" + std::to_string(lines.size()) + " lines)";
    }

    void Report(long number, const std::string& description, const std::string& bytes) {
        ++figures_.failed;
        const std::string saved = "profile_corpus-case-" + std::to_string(number) + ".bin";
        WriteFileBytes(saved, bytes);
        printf("profile_corpus: FAILED case %ld (%s, %zu bytes, kept as %s): %s\n", number, description.c_str(),
               bytes.size(), saved.c_str(), Printable(bytes).c_str());
        for (const std::string& what : failures_) printf("    %s\n", what.c_str());
        fflush(stdout);
    }

    SimHost& host_;
    const std::string path_, folder_, probe_;
    Figures& figures_;
    std::vector<std::string> failures_;
};
}  // namespace

int main(int argc, char** argv) {
    const long cases = argc > 1 ? strtol(argv[1], nullptr, 10) : 300;
    const unsigned seed = argc > 2 ? static_cast<unsigned>(strtoul(argv[2], nullptr, 10)) : 1;
    const long only = argc > 3 ? strtol(argv[3], nullptr, 10) : -1;
    SetUnhandledExceptionFilter(SayWhichCase);

    const std::vector<Seed> seeds = LoadSeeds(ProgramDirectory() + "profile_seeds\\");
    if (seeds.empty()) {
        fprintf(stderr, "profile_corpus: no seeds in %sprofile_seeds\\\n", ProgramDirectory().c_str());
        return 1;
    }

    // A running session with the board on port 2, so every tick reads the port.
    SimHost session;
    session.state.ConfigureForBoard(0x278);
    session.state.recordCalls = false;
    if (!session.objectModel.Start()) {
        fprintf(stderr, "profile_corpus: object model: %s\n", session.objectModel.error().c_str());
        return 1;
    }
    if (!session.Load()) {
        fprintf(stderr, "profile_corpus: %s\n", session.error().c_str());
        return 1;
    }
    TempFolder folder, probeFolder;
    if (!folder.ok() || !probeFolder.ok()) {
        fprintf(stderr, "profile_corpus: no temporary folder\n");
        return 1;
    }
    session.InitControl();
    Figures figures;
    Run run(session, folder.path(), probeFolder.path(), figures);
    if (!run.Start() || session.PostInitControl() != 0) {
        fprintf(stderr, "profile_corpus: the plug-in did not start\n");
        return 1;
    }
    session.TakeLog();
    // Every case is judged by this program's own DOM, so it must read a plain document.
    if (!XmlReader("<profile/>").loaded()) {
        fprintf(stderr, "profile_corpus: this program's XML DOM does not work\n");
        return 1;
    }

    const auto began = std::chrono::steady_clock::now();
    for (long number = only >= 0 ? only : 0; number < (only >= 0 ? only + 1 : cases); ++number) {
        // Each case has its own generator, so one case replays alone.
        std::seed_seq sequence{seed, static_cast<unsigned>(number)};
        std::mt19937 random(sequence);
        std::string description;
        std::string bytes;
        if (static_cast<size_t>(number) < seeds.size()) {
            description = seeds[number].name;
            bytes = seeds[number].bytes;
        } else {
            bytes = Mutated(random, seeds[random() % seeds.size()], seeds, &description);
        }
        run.Case(number, description, bytes, number % kConfigEvery == kConfigEvery - 1);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    currentCase = -1;

    session.StopPlug();
    session.Unload();
    session.objectModel.Stop();

    printf("profile_corpus: %d cases (%zu seeds) in %.1f s, %.0f cases/s, seed %u\n", figures.cases, seeds.size(), seconds,
           seconds > 0 ? figures.cases / seconds : 0.0, seed);
    printf("profile_corpus: %d loaded, %d not; %d rewritten (%d with the empty entry removed, %d only reformatted), "
           "%d saves refused; %d also through Config\n",
           figures.loaded, figures.cases - figures.loaded, figures.rewritten, figures.entriesRemoved, figures.reformatted,
           figures.refusedSaves, figures.configs);
    printf(figures.failed == 0 ? "profile_corpus: PASSED\n" : "profile_corpus: FAILED %d cases\n", figures.failed);
    return figures.failed == 0 ? 0 : 1;
}
