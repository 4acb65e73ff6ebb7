// A pendant session: a text script of what happens at the board and at the host, tick by tick,
// played against the real plug-in, with a per-tick view of what the operator sees.
//
// One command per line; '#' starts a comment. Board: "board 0x88" (every read from now on),
// "reads 0x85 0x85 0x10" (the next reads, one value each; "fail" makes a read fail).
// Host: "estop on|off" (off is the RESET button), "port2 on|off", "pins-in on|off",
// "jog-enabled on|off", "units mm|inch", "notify CODE". Operator at the host: "mode
// continuous|incremental|mpg", "axis N", "inc VALUE". Flow: "say TEXT" (a heading),
// "tick [N]" (N host ticks, each shown).
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

class SessionPlayer {
public:
    SessionPlayer(SimHost& host, FILE* out, bool showLog);

    // Runs every command; false with error() on a command the host cannot carry out.
    bool Play(const std::vector<SessionCommand>& commands);
    const std::string& error() const { return error_; }

    // One host tick and its view line (and the log lines and alerts it produced).
    void Tick();

    // The controller's state as the plug-in's own log tells it.
    const char* ControllerState() const;

private:
    bool Apply(const SessionCommand& command);
    void FollowLog(const std::vector<std::string>& lines);

    SimHost& host_;
    FILE* out_;
    bool showLog_;
    int tick_ = 0;
    enum class Controller { Released, Engaged, EngagedSwitched } controller_ = Controller::Released;
    std::string error_;
};

// The board's byte as the operator reads it: enable, axis selector, increment selector.
std::string DescribeBoardByte(int byte);
