// A pendant session: a text script of what happens at the board and at the host, tick by tick,
// played against the real plug-in, with a per-tick view of what the operator sees.
//
// One command per line; '#' starts a comment. Board: "board 0x88" (every read from now on),
// "reads 0x85 0x85 0x10" (the next reads, one value each; "fail" makes a read fail).
// Host: "estop on|off" (off is the RESET button), "port2 on|off", "pins-in on|off",
// "jog-enabled on|off", "units mm|inch", "notify CODE", "debuglevel N" (rewrites the profile's
// DebugLevel and hands the profile to the plug-in again, as the host does when it reloads it).
// Operator at the host: "mode continuous|incremental|mpg", "axis N", "inc VALUE",
// "close-alerts" (clicks OK on every open alert box), "config" (opens the plug-in's
// configuration dialog and clicks OK). Flow: "say TEXT" (a heading),
// "tick [N]" (N host ticks, each shown), "state" (shows the view now), "record FILE|off"
// (saves the session as a trace), "quit".
//
// A trace is itself a session: per tick, the bytes the plug-in read from the board ("reads"),
// then the board and host commands given before the tick, then "tick". Playing it again gives
// the same ticks.
#pragma once
#include <cstdio>
#include <string>
#include <vector>

#include "sim_host.h"

struct SessionCommand {
    int line;
    std::string verb;
    std::vector<std::string> args;
};

// Parses a session; on a bad line returns false with the line and the reason in error.
bool ParseSession(const std::string& text, std::vector<SessionCommand>* commands, std::string* error);

// What the operator sees at one moment: after a tick, or between ticks.
struct OperatorView {
    int tick = 0;
    int board = 0;  // the byte of this tick's first read, else the board's steady byte; -1 a failed read
    const char* controller = "Released";
    int16_t jogMode = -1;
    int mpgAxis = -1;
    double increment = 0;
    bool inches = false;
    bool estop = false;
    bool jogEnabled = false;
    bool running = false;  // the plug-in read the board on this tick
    const char* logLevel = "";
    int openAlerts = 0;
    std::string messageLine;
    bool messageChanged = false;          // on this tick
    std::vector<std::string> log;         // lines written on this tick
    std::vector<AlertBox> alerts;         // boxes opened on this tick
};

struct SessionOptions {
    bool showLog = false;       // the human view: log lines under each tick
    bool machineLines = false;  // STATE, LOG and ALERT lines instead of the human view
    std::string profilePath;    // the profile handed to the plug-in; "debuglevel" rewrites it
};

class SessionPlayer {
public:
    SessionPlayer(SimHost& playedHost, FILE* out, const SessionOptions& options);
    ~SessionPlayer();
    SessionPlayer(const SessionPlayer&) = delete;
    SessionPlayer& operator=(const SessionPlayer&) = delete;

    // The host's start-up and shut-down as the operator sees them (title, connection, log).
    void ShowStartUp(const std::string& title, int connectionStatus);
    void ShowShutDown();

    // Runs every command; false with error() on a command the host cannot carry out.
    bool Play(const std::vector<SessionCommand>& commands);
    // Reads commands from in, one per line, until "quit" or the end of the input; a bad command
    // is answered with an ERROR line and the session goes on.
    void PlayInteractive(FILE* in);
    const std::string& error() const { return error_; }

    // Saves the trace of the whole session so far to path, and every later tick as it happens.
    bool StartRecording(const std::string& path);
    void StopRecording();

    // One host tick and its view (with the log lines and alerts it produced).
    void Tick();

    // The controller's state as the plug-in's own log tells it; "Unknown" while the log level
    // hides the controller's lines.
    const char* ControllerState() const;

private:
    bool Apply(const SessionCommand& command);
    bool SetDebugLevel(const std::string& level);
    void CloseAlerts();
    void FollowLog(const std::vector<std::string>& lines);
    OperatorView ViewNow() const;
    void Show(const OperatorView& view);
    void ShowBetweenTicks();
    void ShowLog(const std::vector<std::string>& lines);
    void NoteForTrace(const SessionCommand& command);
    void WriteTrace(const std::string& text);

    SimHost& host_;
    FILE* out_;
    SessionOptions options_;
    int tick_ = 0;
    bool lastTickRead_ = false;
    enum class Controller { Released, Engaged, EngagedSwitched, Unknown } controller_ = Controller::Released;
    int logLevel_ = -1;  // as the log's own lines tell it; -1 before it has started
    std::vector<AlertBox> openAlerts_;
    std::string error_;
    std::string trace_;         // the whole session as a trace, tick by tick
    std::string traceCommands_;  // commands given since the last tick
    FILE* record_ = nullptr;
};

// The board's byte as the operator reads it: enable, axis selector, increment selector.
std::string DescribeBoardByte(int byte);

// A text on one line: backslash, double quote and control characters escaped C-style.
std::string EscapeText(const std::string& text);
