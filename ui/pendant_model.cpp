#include "pendant_model.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace {
const char* const kAxisNames[] = {"X", "Y", "Z", "A", "B", "C"};
const char* const kIncNames[] = {"x1", "x10", "x100", "x? (3)"};
// Increments the operator steps through at the host's screen.
const double kHostIncrements[] = {0.001, 0.01, 0.1, 1.0};
constexpr int kMaxLevel = 6;

struct KeyHelp {
    const char* keys;
    const char* what;
};
const KeyHelp kKeyHelp[] = {
    {"0-7 left right", "axis knob"}, {"[ ] down up", "inc knob"}, {"space", "enable"},
    {"u", "unplug"},                 {"e", "EStop/RESET"},        {"m x n", "host mode/axis/inc"},
    {"t", "units"},                  {"j", "jogging"},            {"d D", "DebugLevel -/+"},
    {"c", "close alerts"},           {"r", "record"},             {"p .", "pause, step"},
    {"q", "quit"},
};

std::string Hex(int byte) {
    char text[8];
    snprintf(text, sizeof text, "0x%02X", byte);
    return text;
}

std::string Bits(int byte) {
    std::string bits;
    for (int bit = 7; bit >= 0; --bit) {
        bits += ((byte >> bit) & 1) ? '1' : '0';
        if (bit == 4) bits += ' ';
    }
    return bits;
}

std::string AxisKnobText(int axis) {
    if (axis >= 6) return std::to_string(axis) + " ext switch " + std::to_string(axis - 5);
    return std::to_string(axis) + " " + kAxisNames[axis];
}

std::string HostAxisText(const std::string& field) {
    const int axis = atoi(field.c_str());
    if (field.empty() || field == "?" || axis < 0 || axis > 5) return field == "-1" ? "none" : field;
    return field + " " + kAxisNames[axis];
}

// Text cut or padded to exactly width columns (the screen's texts are plain ASCII).
std::string Fit(const std::string& text, size_t width) {
    return text.size() >= width ? text.substr(0, width) : text + std::string(width - text.size(), ' ');
}

// A host text as one line of plain ASCII: line breaks become " / ", other control characters
// blanks, and the 8-bit characters of the host's code page '?'.
std::string OneLine(const std::string& text) {
    std::string line;
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\n') {
            line += (i + 1 < text.size() && text[i + 1] == '\n') ? "" : " / ";
        } else if (c < 0x20 || c == 0x7F) {
            line += ' ';
        } else {
            line += c < 0x80 ? static_cast<char>(c) : '?';
        }
    }
    return line;
}

std::string Next(const std::map<std::string, std::string>& cycle, const std::string& current,
                 const std::string& otherwise) {
    const auto at = cycle.find(current);
    return at != cycle.end() ? at->second : otherwise;
}

std::string IncrementAfter(const std::string& field) {
    const double current = atof(field.c_str());
    for (double each : kHostIncrements) {
        if (each > current * (1 + 1e-9) + 1e-12) return std::to_string(each);
    }
    return std::to_string(kHostIncrements[0]);
}
}  // namespace

int BoardByte(const PendantKnobs& knobs) {
    if (!knobs.plugged) return 0x00;
    // The board shows the axis knob only while the enable is held; released, it shows 7.
    return (knobs.enable ? 0x80 | (knobs.axis & 7) : 7) | ((knobs.increment & 3) << 3);
}

std::string PendantModel::Field(const std::string& key, const std::string& fallback) const {
    const auto at = state.find(key);
    return at != state.end() ? at->second : fallback;
}

KeyResult HandleKey(PendantModel& model, int key, const std::string& newRecordPath) {
    KeyResult result;
    PendantKnobs& knobs = model.knobs;
    const int byteBefore = BoardByte(knobs);
    auto host = [&](const std::string& command) { result.commands.push_back(command); };
    result.handled = true;
    if (key >= '0' && key <= '7') {
        knobs.axis = key - '0';
    } else if (key == KeyLeft || key == KeyRight) {
        knobs.axis = key == KeyLeft ? std::max(knobs.axis - 1, 0) : std::min(knobs.axis + 1, 7);
    } else if (key == '[' || key == ']' || key == KeyDown || key == KeyUp) {
        const bool up = key == ']' || key == KeyUp;
        knobs.increment = up ? std::min(knobs.increment + 1, 3) : std::max(knobs.increment - 1, 0);
    } else if (key == ' ') {
        knobs.enable = !knobs.enable;
    } else if (key == 'u') {
        knobs.plugged = !knobs.plugged;
    } else if (key == 'e') {
        host(model.Field("estop") == "1" ? "estop off" : "estop on");
    } else if (key == 'm') {
        static const std::map<std::string, std::string> kModes{
            {"Continuous", "incremental"}, {"Incremental", "mpg"}, {"MPG", "continuous"}};
        host("mode " + Next(kModes, model.Field("jog"), "continuous"));
    } else if (key == 'x') {
        const int axis = atoi(model.Field("axis", "-1").c_str());
        host("axis " + std::to_string(axis >= 0 && axis < 5 ? axis + 1 : 0));
    } else if (key == 'n') {
        host("inc " + IncrementAfter(model.Field("inc", "0")));
    } else if (key == 't') {
        host(model.Field("unit") == "in" ? "units mm" : "units inch");
    } else if (key == 'j') {
        host(model.Field("jogenabled") == "0" ? "jog-enabled on" : "jog-enabled off");
    } else if (key == 'd' || key == 'D') {
        const int level = std::max(0, std::min(kMaxLevel, model.profileLevel + (key == 'D' ? 1 : -1)));
        if (level != model.profileLevel) {
            model.profileLevel = level;
            host("debuglevel " + std::to_string(level));
        }
    } else if (key == 'c') {
        if (!model.alerts.empty()) host("close-alerts");
        model.alerts.clear();
    } else if (key == 'r') {
        host(model.recording ? "record off" : "record " + newRecordPath);
    } else if (key == 'p') {
        model.paused = !model.paused;
    } else if (key == '.') {
        if (model.paused) host("tick");
    } else if (key == 'q') {
        model.quitting = true;
        host("quit");
    } else {
        result.handled = false;
    }
    const int byteAfter = BoardByte(knobs);
    if (byteAfter != byteBefore) result.commands.insert(result.commands.begin(), "board " + Hex(byteAfter));
    return result;
}

std::string UnescapeText(const std::string& text) {
    std::string plain;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            plain += text[i];
            continue;
        }
        const char code = text[++i];
        if (code == 'n') {
            plain += '\n';
        } else if (code == 'r') {
            plain += '\r';
        } else if (code == 't') {
            plain += '\t';
        } else if (code == 'x' && i + 2 < text.size() && isxdigit(static_cast<unsigned char>(text[i + 1])) &&
                   isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            plain += static_cast<char>(strtol(text.substr(i + 1, 2).c_str(), nullptr, 16));
            i += 2;
        } else {
            plain += code;  // \\ and \" and anything unknown: the character itself
        }
    }
    return plain;
}

std::map<std::string, std::string> ParseStateFields(const std::string& line) {
    std::map<std::string, std::string> fields;
    size_t at = line.find(' ');
    while (at != std::string::npos && at < line.size()) {
        while (at < line.size() && line[at] == ' ') ++at;
        const size_t equals = line.find('=', at);
        if (equals == std::string::npos) break;
        const std::string key = line.substr(at, equals - at);
        size_t end;
        std::string value;
        if (equals + 1 < line.size() && line[equals + 1] == '"') {
            // A quoted value runs to the next quote that is not escaped.
            end = equals + 2;
            while (end < line.size() && line[end] != '"') end += line[end] == '\\' ? 2 : 1;
            value = UnescapeText(line.substr(equals + 2, std::min(end, line.size()) - equals - 2));
            if (end < line.size()) ++end;
        } else {
            end = line.find(' ', equals);
            value = line.substr(equals + 1, end == std::string::npos ? std::string::npos : end - equals - 1);
        }
        fields[key] = value;
        at = end;
    }
    return fields;
}

void TakeHostLine(PendantModel& model, const std::string& line) {
    const size_t space = line.find(' ');
    const std::string tag = line.substr(0, space);
    const std::string rest = space == std::string::npos ? "" : line.substr(space + 1);
    if (tag == "STATE") {
        model.state = ParseStateFields(line);
    } else if (tag == "LOG") {
        model.log.push_back(UnescapeText(rest));
        while (model.log.size() > PendantModel::kLogKept) model.log.pop_front();
    } else if (tag == "ALERT") {
        const size_t textAt = rest.find(' ');
        model.alerts.push_back({atoi(rest.c_str()), UnescapeText(textAt == std::string::npos ? "" : rest.substr(textAt + 1))});
    } else if (tag == "HOST") {
        const std::map<std::string, std::string> fields = ParseStateFields(line);
        const auto title = fields.find("title");
        const auto connection = fields.find("connection");
        if (title != fields.end()) model.title = title->second;
        if (connection != fields.end()) model.connection = atoi(connection->second.c_str());
    } else if (tag == "RECORDING") {
        model.recording = rest != "off";
        if (model.recording) {
            model.recordPath = UnescapeText(rest.size() >= 2 ? rest.substr(1, rest.size() - 2) : rest);
            model.notice = "recording the session to " + model.recordPath;
        } else {
            model.notice = "recording stopped; replay it with: tools/run.sh " + model.recordPath;
        }
    } else if (tag == "ERROR") {
        model.notice = "the host refused: " + UnescapeText(rest);
    } else if (!line.empty()) {
        model.notice = "host: " + line;
    }
}

std::vector<std::string> RenderScreen(const PendantModel& model, int width, int height) {
    const size_t w = static_cast<size_t>(std::max(width, 1));
    const size_t rows = static_cast<size_t>(std::max(height, 0));
    const size_t half = w / 2;
    std::vector<std::string> top;
    auto line = [&](std::vector<std::string>& to, const std::string& text) { to.push_back(Fit(text, w)); };
    auto pair = [&](const std::string& left, const std::string& right) { line(top, Fit(left, half) + right); };

    const PendantKnobs& k = model.knobs;
    const bool haveState = !model.state.empty();
    std::string status = "tick " + model.Field("tick", "-");
    if (model.paused) status += "  PAUSED";
    if (model.recording) status += "  REC " + model.recordPath;
    line(top, " QUORVAN-9 live pendant on the simulated host    " + status);
    line(top, "");

    const std::string byteField = model.Field("byte", "-");
    const bool byteRead = haveState && byteField.compare(0, 2, "0x") == 0;
    const int byte = byteRead ? static_cast<int>(strtol(byteField.c_str(), nullptr, 16)) : BoardByte(k);
    pair(" PENDANT (your hands)", " BOARD BYTE on port 2");
    pair("  enable     " + std::string(k.enable ? "HELD" : "off"),
         "  " + (haveState ? byteField : Hex(byte)) + (byteRead || !haveState ? "  " + Bits(byte) : ""));
    pair("  axis knob  " + AxisKnobText(k.axis) + (k.enable ? "" : " (board shows 7)"),
         "  enable " + model.Field("enable", "-") + "  axis sel " + model.Field("axissel", "-") + "  inc sel " +
             model.Field("incsel", "-"));
    pair("  inc knob   " + std::to_string(k.increment) + " " + kIncNames[k.increment & 3],
         "  read by the plug-in: " + std::string(model.Field("running") == "1" ? "yes" : "no"));
    pair("  board      " + std::string(k.plugged ? "plugged in" : "UNPLUGGED"), "");
    line(top, "");

    std::string connection = "-";
    if (model.connection == 0) connection = "connected";
    if (model.connection > 0) connection = "failed (status " + std::to_string(model.connection) + ")";
    pair(" PLUG-IN", " HOST");
    pair("  controller " + model.Field("ctrl"), "  jog mode   " + model.Field("jog"));
    pair("  log level  " + model.Field("loglevel") + " (DebugLevel " + std::to_string(model.profileLevel) + ")",
         "  MPG axis   " + HostAxisText(model.Field("axis")));
    pair("  object model " + connection, "  increment  " + model.Field("inc") + " " + model.Field("unit", ""));
    pair("  alerts     " + std::to_string(model.alerts.size()) + " open",
         "  EStop " + std::string(model.Field("estop") == "1" ? "ON " : "off") + "   jogging " +
             (model.Field("jogenabled") == "0" ? "DISABLED" : "enabled"));
    line(top, " message line: \"" + OneLine(model.Field("msg", "")) + "\"");
    line(top, "");

    // The notice and the key legend keep the bottom; alerts and the log share the middle.
    std::vector<std::string> bottom;
    line(bottom, " " + OneLine(model.notice));
    std::string legend;
    for (const KeyHelp& help : kKeyHelp) {
        const std::string item = std::string(help.keys) + " " + help.what;
        if (legend.size() + 2 + item.size() > w && !legend.empty()) {
            line(bottom, legend);
            legend.clear();
        }
        legend += (legend.empty() ? " " : "  ") + item;
    }
    line(bottom, legend);

    std::vector<std::string> middle;
    const size_t middleRows = rows > top.size() + bottom.size() ? rows - top.size() - bottom.size() : 0;
    if (middleRows >= 2) {
        const size_t alertRows = std::max<size_t>(1, std::min(model.alerts.size(), middleRows / 3));
        line(middle, " ALERTS (c closes them)");
        if (model.alerts.empty()) line(middle, "  none");
        for (size_t i = 0; i < model.alerts.size() && i < alertRows; ++i) {
            line(middle, "  " + OneLine(model.alerts[i].text));
        }
    }
    if (middleRows >= middle.size() + 2) {
        const size_t logRows = middleRows - middle.size() - 1;
        line(middle, " LOG (last lines)");
        const size_t first = model.log.size() > logRows ? model.log.size() - logRows : 0;
        for (size_t i = first; i < model.log.size(); ++i) line(middle, "  " + OneLine(model.log[i]));
    }
    middle.resize(middleRows, std::string(w, ' '));

    std::vector<std::string> screen = top;
    if (screen.size() + bottom.size() > rows) screen.resize(rows > bottom.size() ? rows - bottom.size() : 0);
    screen.insert(screen.end(), middle.begin(), middle.end());
    screen.insert(screen.end(), bottom.begin(), bottom.end());
    if (screen.size() > rows) screen.erase(screen.begin(), screen.end() - static_cast<long>(rows));
    return screen;
}
