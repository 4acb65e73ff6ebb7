#include "session.h"

#include <cstdlib>
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
}  // namespace

std::string DescribeBoardByte(int byte) {
    char text[64];
    if (byte < 0) return "read fails";
    static const char* const kIncNames[] = {"x1", "x10", "x100", "inc 3?"};
    const int axis = byte & 7;
    const char* axisText[] = {"axis 0", "axis 1", "axis 2", "axis 3", "axis 4", "axis 5", "ext sw 1", "ext sw 2"};
    snprintf(text, sizeof text, "0x%02X %-3s %-8s %-4s", byte, (byte & 0x80) ? "EN" : "off", axisText[axis],
             kIncNames[(byte >> 3) & 3]);
    return text;
}

bool ParseSession(const std::string& text, std::vector<SessionCommand>* commands, std::string* error) {
    static const struct {
        const char* verb;
        size_t minArgs;
        size_t maxArgs;
    } kVerbs[] = {
        {"board", 1, 1},  {"reads", 1, 64},       {"estop", 1, 1}, {"port2", 1, 1}, {"pins-in", 1, 1},
        {"jog-enabled", 1, 1}, {"units", 1, 1},   {"notify", 1, 1}, {"mode", 1, 1},  {"axis", 1, 1},
        {"inc", 1, 1},    {"say", 0, 1000},       {"tick", 0, 1},
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

SessionPlayer::SessionPlayer(SimHost& host, FILE* out, bool showLog) : host_(host), out_(out), showLog_(showLog) {}

bool SessionPlayer::Play(const std::vector<SessionCommand>& commands) {
    for (const SessionCommand& command : commands) {
        if (!Apply(command)) {
            error_ = "line " + std::to_string(command.line) + ": " + error_;
            return false;
        }
    }
    return true;
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
        fprintf(out_, "\n== %s\n", text.c_str());
    } else if (verb == "tick") {
        long count = 1;
        if (!command.args.empty() && (!ParseInt(first, &count) || count < 0)) return error_ = "bad tick count", false;
        for (long i = 0; i < count; ++i) Tick();
    } else if (verb == "board") {
        if (!ParseInt(first, &number) || number < 0 || number > 255) return error_ = "board byte must be 0..255", false;
        state.boardByte = static_cast<int>(number);
    } else if (verb == "reads") {
        for (const std::string& word : command.args) {
            if (word == "fail") {
                state.boardReads.push_back(HostState::kReadFails);
            } else if (ParseInt(word, &number) && number >= 0 && number <= 255) {
                state.boardReads.push_back(static_cast<int>(number));
            } else {
                return error_ = "a read is a byte 0..255 or 'fail'", false;
            }
        }
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
    return true;
}

void SessionPlayer::FollowLog(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        if (Contains(line, "pendant enable JUST pressed")) controller_ = Controller::Engaged;
        if (Contains(line, "Changing to MPG Jog Mode")) controller_ = Controller::EngagedSwitched;
        if (Contains(line, "pendant enable JUST UN-pressed")) controller_ = Controller::Released;
    }
}

const char* SessionPlayer::ControllerState() const {
    switch (controller_) {
        case Controller::Released: return "Released";
        case Controller::Engaged: return "Engaged";
        case Controller::EngagedSwitched: return "EngagedSwitched";
    }
    return "?";
}

void SessionPlayer::Tick() {
    HostState& state = host_.state;
    const int byte = state.boardReads.empty() ? state.boardByte : state.boardReads.front();
    const std::string message = state.MessageLine();
    host_.Tick();
    ++tick_;
    const std::vector<std::string> lines = host_.TakeLog();
    FollowLog(lines);
    const int axis = state.MpgAxis();
    fprintf(out_, "tick %3d | board %s | %-15s | jog %-11s | axis %-2s | inc %.3f %-2s | estop %s\n", tick_,
            DescribeBoardByte(byte).c_str(), ControllerState(), JogModeText(state.JogMode()),
            axis < 0 ? "-" : std::to_string(axis).c_str(), state.dro[HostCode::DroJogIncrement],
            state.led[HostCode::LedUnitsInches] ? "in" : "mm", state.Io<HostIo::EStop>() ? "ON" : "off");
    if (state.MessageLine() != message) fprintf(out_, "         | message line: \"%s\"\n", state.MessageLine().c_str());
    host_.alerts.WaitForRaisedBoxes();
    for (const AlertBox& box : host_.alerts.Take()) {
        fprintf(out_, "         | ALERT BOX: %s\n", AlertHeadline(box.text).c_str());
    }
    if (showLog_) {
        for (const std::string& line : lines) fprintf(out_, "         |   log %s\n", line.c_str());
    }
    fflush(out_);
}
