// The live pendant's model: the knobs under the operator's hands, what the simulated host last
// reported, the key map and the screen's text. No terminal and no process here: keys go in and
// host commands come out, host lines go in and screen lines come out.
#pragma once
#include <deque>
#include <map>
#include <string>
#include <vector>

// The pendant as the operator holds it.
struct PendantKnobs {
    int axis = 0;       // the axis knob, 0..7
    int increment = 0;  // the increment knob, 0..3
    bool enable = false;
    bool plugged = true;
};

// The board's byte for these knobs: bit 7 enable, bits 3-4 increment, bits 0-2 axis, which
// read 7 while the enable is released. An unplugged board's inputs all read low.
int BoardByte(const PendantKnobs& knobs);

struct OpenAlert {
    int code;
    std::string text;
};

struct PendantModel {
    PendantKnobs knobs;
    // The last STATE line, field by field (the message line unescaped).
    std::map<std::string, std::string> state;
    std::string title;
    int connection = -1;
    std::deque<std::string> log;  // the last kLogKept lines
    std::vector<OpenAlert> alerts;
    int profileLevel = 4;  // the DebugLevel in the host's profile
    bool recording = false;
    std::string recordPath;
    bool paused = false;
    bool quitting = false;
    std::string notice;  // the last thing worth telling the operator (a refused command, an exit)

    static constexpr size_t kLogKept = 200;

    // A field of the last STATE line, or fallback before the first one.
    std::string Field(const std::string& key, const std::string& fallback = "?") const;
};

// What a key asks of the host, in order.
struct KeyResult {
    std::vector<std::string> commands;
    bool handled = false;
};

// The key map. newRecordPath is the file a recording started now would go to.
KeyResult HandleKey(PendantModel& model, int key, const std::string& newRecordPath);

// Keys beyond plain characters (the terminal library's codes are mapped to these).
enum SpecialKey { KeyLeft = 0x1000, KeyRight, KeyUp, KeyDown };

// Takes in one line of the host's output (STATE, LOG, ALERT, HOST, ERROR, RECORDING).
void TakeHostLine(PendantModel& model, const std::string& line);

// The screen as lines of text, at most height lines of at most width characters.
std::vector<std::string> RenderScreen(const PendantModel& model, int width, int height);

// Undoes the host's escaping: \n \r \t \\ \" \xNN.
std::string UnescapeText(const std::string& text);

// The fields of a STATE line ("STATE key=value ... msg=\"...\"").
std::map<std::string, std::string> ParseStateFields(const std::string& line);
