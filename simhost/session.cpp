#include "session.h"

#include "dialog_watch.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <sstream>

namespace {
bool ParseOnOff(const std::string& word, bool* value) {
    if (word == "on") {
        *value = true;
    } else if (word == "off") {
        *value = false;
    } else {
        return false;
    }
    return true;
}

bool ParseInt(const std::string& word, long* value) {
    if (word.empty()) return false;
    char* end = nullptr;
    *value = strtol(word.c_str(), &end, 0);
    return *end == '\0';
}

bool ParseDouble(const std::string& word, double* value) {
    if (word.empty()) return false;
    char* end = nullptr;
    *value = strtod(word.c_str(), &end);
    return *end == '\0';
}

const char* JogModeText(int16_t mode) {
    switch (mode) {
        case HostCode::LedJogContinuous: return "Continuous";
        case HostCode::LedJogIncremental: return "Incremental";
        case HostCode::LedJogMpg: return "MPG";
        default: return "none";
    }
}

bool Contains(const std::string& line, const char* text) { return line.find(text) != std::string::npos; }

// The alert's first two lines, for a one-line view.
std::string AlertHeadline(const std::string& text) {
    std::string headline = text.substr(0, text.find('\n'));
    const size_t start = text.find('\n');
    if (start != std::string::npos) {
        const size_t end = text.find('\n', start + 1);
        headline += " " + text.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1);
    }
    return headline;
}

// The number of an alert text such as "Error(203):\n...", or 0.
int AlertCode(const std::string& text) {
    const size_t open = text.find('(');
    if (open == std::string::npos || open > text.find('\n')) return 0;
    return atoi(text.c_str() + open + 1);
}

// Boxes raised in one tick open on threads of their own, in any order: show them by number.
void SortAlerts(std::vector<AlertBox>* boxes) {
    std::stable_sort(boxes->begin(), boxes->end(), [](const AlertBox& a, const AlertBox& b) {
        const int codeA = AlertCode(a.text), codeB = AlertCode(b.text);
        return codeA != codeB ? codeA < codeB : a.text < b.text;
    });
}

const char* const kLevelNames[] = {"OFF", "SYSTEM", "ERROR", "WARNING", "INFO", "DEBUG", "ALL"};
constexpr int kLevelInfo = 4;  // the controller's state changes are logged at this level

// The level named inside quotes at position at of line, or -1.
int LevelNamedAt(const std::string& line, size_t at) {
    if (at == std::string::npos) return -1;
    for (int level = 0; level < static_cast<int>(sizeof kLevelNames / sizeof *kLevelNames); ++level) {
        const std::string quoted = std::string("'") + kLevelNames[level] + "'";
        if (line.compare(at, quoted.size(), quoted) == 0) return level;
    }
    return -1;
}

std::string ByteText(int byte) {
    if (byte < 0) return "fail";
    char text[8];
    snprintf(text, sizeof text, "0x%02X", byte);
    return text;
}

bool ReadWholeFile(const std::string& path, std::string* text) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    std::ostringstream content;
    content << file.rdbuf();
    *text = content.str();
    return true;
}

// The profile text with its DebugLevel value replaced by level (added to the plug-in's section
// when missing); false if the profile has no section of the plug-in.
bool WithDebugLevel(const std::string& profile, const std::string& level, std::string* result) {
    static const char kOpen[] = "<DebugLevel>", kClose[] = "</DebugLevel>", kSectionEnd[] = "</QUORVAN9>";
    const size_t open = profile.find(kOpen);
    const size_t close = open == std::string::npos ? open : profile.find(kClose, open);
    if (close != std::string::npos) {
        const size_t value = open + strlen(kOpen);
        *result = profile.substr(0, value) + level + profile.substr(close);
        return true;
    }
    const size_t sectionEnd = profile.find(kSectionEnd);
    if (sectionEnd == std::string::npos) return false;
    *result = profile.substr(0, sectionEnd) + kOpen + level + kClose + profile.substr(sectionEnd);
    return true;
}

const char kTraceHeader[] =
    "# A pendant trace recorded by the simulated host. Per tick: the bytes the plug-in read from\n"
    "# the board, the commands given at the board and the host before the tick, then the tick.\n"
    "# Replay it with: simhost <this file>\n";
}  // namespace

std::string DescribeBoardByte(int byte) {
    char text[64];
    if (byte < 0) return "read fails";
    static const char* const kIncNames[] = {"x1", "x10", "x100", "inc 3?"};
    static const char* const kAxisText[] = {"axis 0", "axis 1", "axis 2",   "axis 3",
                                            "axis 4", "axis 5", "ext sw 1", "ext sw 2"};
    const bool enabled = (byte & 0x80) != 0;
    const int axis = byte & 7;
    // Selector 7 is an external switch only while the enable is held; released it is at rest.
    snprintf(text, sizeof text, "0x%02X %-3s %-8s %-4s", byte, enabled ? "EN" : "off",
             !enabled && axis == 7 ? "at rest" : kAxisText[axis], kIncNames[(byte >> 3) & 3]);
    return text;
}

std::string EscapeText(const std::string& text) {
    std::string escaped;
    for (const char c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '\\' || c == '"') {
            escaped += '\\';
            escaped += c;
        } else if (c == '\n') {
            escaped += "\\n";
        } else if (c == '\r') {
            escaped += "\\r";
        } else if (c == '\t') {
            escaped += "\\t";
        } else if (u < 0x20 || u == 0x7F) {
            char code[8];
            snprintf(code, sizeof code, "\\x%02X", u);
            escaped += code;
        } else {
            escaped += c;
        }
    }
    return escaped;
}

bool ParseSession(const std::string& text, std::vector<SessionCommand>* commands, std::string* error) {
    static const struct {
        const char* verb;
        size_t minArgs;
        size_t maxArgs;
    } kVerbs[] = {
        {"board", 1, 1},       {"reads", 1, 64},      {"estop", 1, 1},      {"port2", 1, 1},  {"pins-in", 1, 1},
        {"jog-enabled", 1, 1}, {"units", 1, 1},       {"notify", 1, 1},     {"mode", 1, 1},   {"axis", 1, 1},
        {"inc", 1, 1},         {"say", 0, 1000},      {"tick", 0, 1},       {"debuglevel", 1, 1},
        {"close-alerts", 0, 0}, {"state", 0, 0},      {"record", 1, 1},     {"quit", 0, 0},
        {"config", 0, 0},
    };
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    while (std::getline(lines, line)) {
        ++number;
        const size_t hash = line.find('#');
        if (hash != std::string::npos) line.erase(hash);
        std::istringstream words(line);
        SessionCommand command{number, "", {}};
        if (!(words >> command.verb)) continue;
        for (std::string word; words >> word;) command.args.push_back(word);
        bool known = false;
        for (const auto& verb : kVerbs) {
            if (command.verb != verb.verb) continue;
            known = true;
            if (command.args.size() < verb.minArgs || command.args.size() > verb.maxArgs) {
                *error = "line " + std::to_string(number) + ": wrong number of values for '" + command.verb + "'";
                return false;
            }
        }
        if (!known) {
            *error = "line " + std::to_string(number) + ": unknown command '" + command.verb + "'";
            return false;
        }
        commands->push_back(std::move(command));
    }
    return true;
}

SessionPlayer::SessionPlayer(SimHost& playedHost, FILE* out, const SessionOptions& options)
    : host_(playedHost), out_(out), options_(options) {
    // Boxes stay open until the operator closes them, as the host's would.
    host_.alerts.HoldBoxesOpen(true);
}

SessionPlayer::~SessionPlayer() {
    StopRecording();
    host_.alerts.CloseOpenBoxes();
}

void SessionPlayer::ShowStartUp(const std::string& title, int connectionStatus) {
    const std::vector<std::string> lines = host_.TakeLog();
    FollowLog(lines);
    if (options_.machineLines) {
        fprintf(out_, "HOST title=\"%s\" connection=%d\n", EscapeText(title).c_str(), connectionStatus);
    } else {
        fprintf(out_, "== The host loads QUORVAN-9.dll and starts it\n");
        fprintf(out_, "         | plug-in title: \"%s\"\n", title.c_str());
        fprintf(out_, "         | object-model connection: status %d\n", connectionStatus);
    }
    ShowLog(lines);
    fflush(out_);
}

void SessionPlayer::ShowShutDown() {
    const std::vector<std::string> lines = host_.TakeLog();
    FollowLog(lines);
    if (!options_.machineLines) fprintf(out_, "\n== The host stops the plug-in\n");
    ShowLog(lines);
    fflush(out_);
}

void SessionPlayer::ShowLog(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        if (options_.machineLines) {
            fprintf(out_, "LOG %s\n", EscapeText(line).c_str());
        } else {
            fprintf(out_, "         |   log %s\n", line.c_str());
        }
    }
}

bool SessionPlayer::Play(const std::vector<SessionCommand>& commands) {
    for (const SessionCommand& command : commands) {
        if (command.verb == "quit") break;
        if (!Apply(command)) {
            error_ = "line " + std::to_string(command.line) + ": " + error_;
            return false;
        }
    }
    return true;
}

void SessionPlayer::PlayInteractive(FILE* in) {
    std::string line;
    for (int c; (c = fgetc(in)) != EOF || !line.empty();) {
        if (c != EOF && c != '\n') {
            line += static_cast<char>(c);
            continue;
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<SessionCommand> commands;
        std::string error;
        const bool parsed = ParseSession(line, &commands, &error);
        line.clear();
        if (!parsed) {
            // The parser counts lines of its own input, which is this one line.
            fprintf(out_, "ERROR %s\n", EscapeText(error.substr(error.find(": ") + 2)).c_str());
        } else if (!commands.empty() && commands[0].verb == "quit") {
            break;
        } else if (!commands.empty() && !Apply(commands[0])) {
            fprintf(out_, "ERROR %s\n", EscapeText(error_).c_str());
        }
        fflush(out_);
        if (c == EOF) break;
    }
}

bool SessionPlayer::Apply(const SessionCommand& command) {
    HostState& state = host_.state;
    const std::string& verb = command.verb;
    const std::string first = command.args.empty() ? "" : command.args[0];
    long number = 0;
    double value = 0;
    bool flag = false;
    if (verb == "say") {
        std::string text;
        for (const std::string& word : command.args) text += (text.empty() ? "" : " ") + word;
        if (!options_.machineLines) fprintf(out_, "\n== %s\n", text.c_str());
    } else if (verb == "tick") {
        long count = 1;
        if (!command.args.empty() && (!ParseInt(first, &count) || count < 0)) return error_ = "bad tick count", false;
        for (long i = 0; i < count; ++i) Tick();
    } else if (verb == "state") {
        Show(ViewNow());
    } else if (verb == "record") {
        if (first == "off") {
            StopRecording();
            if (options_.machineLines) fprintf(out_, "RECORDING off\n");
        } else {
            if (!StartRecording(first)) return error_ = "cannot write the trace file " + first, false;
            if (options_.machineLines) fprintf(out_, "RECORDING \"%s\"\n", EscapeText(first).c_str());
        }
    } else if (verb == "board") {
        if (!ParseInt(first, &number) || number < 0 || number > 255) return error_ = "board byte must be 0..255", false;
        state.boardByte = static_cast<int>(number);
    } else if (verb == "reads") {
        std::vector<int> reads;
        for (const std::string& word : command.args) {
            if (word == "fail") {
                reads.push_back(HostState::kReadFails);
            } else if (ParseInt(word, &number) && number >= 0 && number <= 255) {
                reads.push_back(static_cast<int>(number));
            } else {
                return error_ = "a read is a byte 0..255 or 'fail'", false;
            }
        }
        state.boardReads.insert(state.boardReads.end(), reads.begin(), reads.end());
        return true;  // the trace keeps the reads that were made, not the ones queued
    } else if (verb == "estop" || verb == "port2" || verb == "pins-in" || verb == "jog-enabled") {
        if (!ParseOnOff(first, &flag)) return error_ = "expected on or off", false;
        if (verb == "estop") state.SetIo<HostIo::EStop>(flag);
        if (verb == "port2") state.SetIo<HostIo::Port2Enabled>(flag);
        if (verb == "pins-in") state.SetIo<HostIo::Port2PinsAsInputs>(flag);
        if (verb == "jog-enabled") state.led[HostCode::LedJogEnabled] = flag;
    } else if (verb == "units") {
        if (first != "mm" && first != "inch") return error_ = "units are mm or inch", false;
        state.led[HostCode::LedUnitsInches] = (first == "inch");
    } else if (verb == "notify") {
        if (!ParseInt(first, &number)) return error_ = "notify needs a code", false;
        host_.plugin.entry.Notify(static_cast<int32_t>(number));
        ShowBetweenTicks();
    } else if (verb == "debuglevel") {
        if (!SetDebugLevel(first)) return false;
        ShowBetweenTicks();
    } else if (verb == "config") {
        // The operator opens the plug-in's configuration in the host and clicks OK.
        ConfigDialogWatch watch(ConfigDialogWatch::CloseAtOnce);
        host_.plugin.entry.Config();
        const std::string shown = watch.shown() ? "\"" + watch.caption() + "\", closed with OK" : "no display to show it on";
        if (options_.machineLines) {
            fprintf(out_, "HOST config-dialog=\"%s\"\n", EscapeText(shown).c_str());
        } else {
            fprintf(out_, "         | configuration dialog: %s\n", shown.c_str());
        }
        ShowBetweenTicks();
    } else if (verb == "close-alerts") {
        CloseAlerts();
    } else if (verb == "mode") {
        if (first == "continuous") state.SetJogMode(HostCode::LedJogContinuous);
        else if (first == "incremental") state.SetJogMode(HostCode::LedJogIncremental);
        else if (first == "mpg") state.SetJogMode(HostCode::LedJogMpg);
        else return error_ = "mode is continuous, incremental or mpg", false;
    } else if (verb == "axis") {
        if (!ParseInt(first, &number) || number < 0 || number > 5) return error_ = "axis is 0..5", false;
        state.SetMpgAxis(static_cast<int>(number));
    } else if (verb == "inc") {
        if (!ParseDouble(first, &value)) return error_ = "inc needs a number", false;
        state.dro[HostCode::DroJogIncrement] = value;
    }
    NoteForTrace(command);
    return true;
}

bool SessionPlayer::SetDebugLevel(const std::string& level) {
    // The value goes into the XML text as it is: keep it to a plain word.
    if (level.find_first_of("<>&\"'") != std::string::npos) return error_ = "a level is a plain word", false;
    std::string profile, changed;
    if (options_.profilePath.empty() || !ReadWholeFile(options_.profilePath, &profile)) {
        return error_ = "cannot read the host's profile", false;
    }
    if (!WithDebugLevel(profile, level, &changed)) return error_ = "the profile has no QUORVAN9 section", false;
    // Written beside it and moved over it, so that the profile is never left half written.
    const std::string temporary = options_.profilePath + ".new";
    FILE* file = fopen(temporary.c_str(), "wb");
    const bool written = file != nullptr && fwrite(changed.data(), 1, changed.size(), file) == changed.size();
    if (file != nullptr && fclose(file) != 0) return error_ = "cannot write the host's profile", false;
    if (!written || !MoveFileExA(temporary.c_str(), options_.profilePath.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        DeleteFileA(temporary.c_str());
        return error_ = "cannot write the host's profile", false;
    }
    host_.SetProName(options_.profilePath);
    return true;
}

void SessionPlayer::CloseAlerts() {
    host_.alerts.CloseOpenBoxes();
    while (host_.alerts.OpenBoxes() > 0) SwitchToThread();  // every box thread has returned
    host_.alerts.HoldBoxesOpen(true);
    openAlerts_.clear();
}

void SessionPlayer::FollowLog(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        if (Contains(line, "PlugIn log started, level ")) {
            logLevel_ = LevelNamedAt(line, line.find('\'', line.find("level ")));
        } else if (Contains(line, "Debug level changed from ")) {
            logLevel_ = LevelNamedAt(line, line.find('\'', line.find(" to ")));
        }
        if (Contains(line, "pendant enable JUST pressed")) controller_ = Controller::Engaged;
        if (Contains(line, "Changing to MPG Jog Mode")) controller_ = Controller::EngagedSwitched;
        if (Contains(line, "pendant enable JUST UN-pressed")) controller_ = Controller::Released;
    }
    // Below INFO the controller's changes are not logged: its state is unknown from here on,
    // until the log shows a change again.
    if (logLevel_ >= 0 && logLevel_ < kLevelInfo) controller_ = Controller::Unknown;
}

const char* SessionPlayer::ControllerState() const {
    switch (controller_) {
        case Controller::Released: return "Released";
        case Controller::Engaged: return "Engaged";
        case Controller::EngagedSwitched: return "EngagedSwitched";
        case Controller::Unknown: return "Unknown";
    }
    return "?";
}

OperatorView SessionPlayer::ViewNow() const {
    const HostState& state = host_.state;
    OperatorView view;
    view.tick = tick_;
    view.board = state.boardByte;
    view.controller = ControllerState();
    view.jogMode = state.JogMode();
    view.mpgAxis = state.MpgAxis();
    view.increment = state.dro[HostCode::DroJogIncrement];
    view.inches = state.led[HostCode::LedUnitsInches];
    view.estop = state.Io<HostIo::EStop>() != 0;
    view.jogEnabled = state.led[HostCode::LedJogEnabled];
    view.running = lastTickRead_;
    view.logLevel = logLevel_ >= 0 ? kLevelNames[logLevel_] : "none";
    view.openAlerts = static_cast<int>(openAlerts_.size());
    view.messageLine = state.MessageLine();
    return view;
}

void SessionPlayer::Tick() {
    HostState& state = host_.state;
    // What the board will answer: the queued reads, then its steady byte.
    const std::deque<int> queued = state.boardReads;
    const int steady = state.boardByte;
    const int readsBefore = state.portReads;
    const std::string message = state.MessageLine();

    host_.Tick();
    ++tick_;

    std::vector<int> reads;
    for (int i = 0; i < state.portReads - readsBefore; ++i) {
        reads.push_back(static_cast<size_t>(i) < queued.size() ? queued[i] : steady);
    }
    std::string readsText;
    for (int byte : reads) readsText += " " + ByteText(byte);
    WriteTrace((reads.empty() ? "" : "reads" + readsText + "\n") + traceCommands_ + "tick\n");
    traceCommands_.clear();
    lastTickRead_ = !reads.empty();

    OperatorView view = ViewNow();
    // The byte the plug-in got at its first read; a board nobody read shows its steady byte.
    view.board = reads.empty() ? steady : reads.front();
    view.log = host_.TakeLog();
    FollowLog(view.log);
    view.controller = ControllerState();
    view.messageChanged = view.messageLine != message;
    host_.alerts.WaitForRaisedBoxes();
    view.alerts = host_.alerts.Take();
    SortAlerts(&view.alerts);
    openAlerts_.insert(openAlerts_.end(), view.alerts.begin(), view.alerts.end());
    view.openAlerts = static_cast<int>(openAlerts_.size());
    Show(view);
}

// Lines and boxes that a call between ticks (a notification, a profile reload) produced: the
// machine lines show them at once, the human view with the next tick.
void SessionPlayer::ShowBetweenTicks() {
    if (!options_.machineLines) return;
    const std::vector<std::string> lines = host_.TakeLog();
    FollowLog(lines);
    ShowLog(lines);
    host_.alerts.WaitForRaisedBoxes();
    std::vector<AlertBox> boxes = host_.alerts.Take();
    SortAlerts(&boxes);
    for (const AlertBox& box : boxes) fprintf(out_, "ALERT %d %s\n", AlertCode(box.text), EscapeText(box.text).c_str());
    openAlerts_.insert(openAlerts_.end(), boxes.begin(), boxes.end());
}

void SessionPlayer::Show(const OperatorView& view) {
    if (options_.machineLines) {
        ShowLog(view.log);
        for (const AlertBox& box : view.alerts) {
            fprintf(out_, "ALERT %d %s\n", AlertCode(box.text), EscapeText(box.text).c_str());
        }
        const bool read = view.board >= 0;
        fprintf(out_,
                "STATE tick=%d byte=%s enable=%s axissel=%s incsel=%s ctrl=%s jog=%s axis=%d inc=%.4f unit=%s "
                "estop=%d jogenabled=%d running=%d loglevel=%s alerts=%d msg=\"%s\"\n",
                view.tick, ByteText(view.board).c_str(), read ? ((view.board & 0x80) ? "1" : "0") : "-",
                read ? std::to_string(view.board & 7).c_str() : "-",
                read ? std::to_string((view.board >> 3) & 3).c_str() : "-", view.controller,
                JogModeText(view.jogMode), view.mpgAxis, view.increment, view.inches ? "in" : "mm", view.estop,
                view.jogEnabled, view.running, view.logLevel, view.openAlerts, EscapeText(view.messageLine).c_str());
    } else {
        fprintf(out_, "tick %3d | board %s | %-15s | jog %-11s | axis %-2s | inc %.3f %-2s | estop %s\n", view.tick,
                DescribeBoardByte(view.board).c_str(), view.controller, JogModeText(view.jogMode),
                view.mpgAxis < 0 ? "-" : std::to_string(view.mpgAxis).c_str(), view.increment,
                view.inches ? "in" : "mm", view.estop ? "ON" : "off");
        if (view.messageChanged) fprintf(out_, "         | message line: \"%s\"\n", view.messageLine.c_str());
        for (const AlertBox& box : view.alerts) {
            fprintf(out_, "         | ALERT BOX: %s\n", AlertHeadline(box.text).c_str());
        }
        if (options_.showLog) ShowLog(view.log);
    }
    fflush(out_);
}

void SessionPlayer::NoteForTrace(const SessionCommand& command) {
    static const char* const kNotInTrace[] = {"say", "tick", "state", "record", "quit", "reads"};
    for (const char* verb : kNotInTrace) {
        if (command.verb == verb) return;
    }
    std::string line = command.verb;
    for (const std::string& word : command.args) line += " " + word;
    traceCommands_ += line + "\n";
}

void SessionPlayer::WriteTrace(const std::string& text) {
    trace_ += text;
    if (record_ != nullptr) {
        fputs(text.c_str(), record_);
        fflush(record_);
    }
}

bool SessionPlayer::StartRecording(const std::string& path) {
    StopRecording();
    record_ = fopen(path.c_str(), "wb");
    if (record_ == nullptr) return false;
    fputs(kTraceHeader, record_);
    fputs(trace_.c_str(), record_);
    if (tick_ > 0) fprintf(record_, "# recording switched on here, after tick %d\n", tick_);
    fflush(record_);
    return true;
}

void SessionPlayer::StopRecording() {
    if (record_ == nullptr) return;
    // Commands given after the last tick belong to the session too.
    fputs(traceCommands_.c_str(), record_);
    fclose(record_);
    record_ = nullptr;
}
