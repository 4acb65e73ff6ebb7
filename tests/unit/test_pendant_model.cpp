// The live pendant without a terminal: keys to host commands, host lines to the model, the
// model to screen text.
#include <gtest/gtest.h>

#include <algorithm>

#include "pendant_model.h"

namespace {
using Commands = std::vector<std::string>;

const char kState[] =
    "STATE tick=12 byte=0x8A enable=1 axissel=2 incsel=1 ctrl=EngagedSwitched jog=MPG axis=2 inc=0.1000 unit=mm "
    "estop=0 jogenabled=1 running=1 loglevel=INFO alerts=0 msg=\"Pendant or front panel MPG is enabled, disable to "
    "manually change jog mode\"";

Commands Keys(PendantModel& model, const std::vector<int>& keys) {
    Commands all;
    for (int key : keys) {
        const KeyResult result = HandleKey(model, key, "traces/now.session");
        all.insert(all.end(), result.commands.begin(), result.commands.end());
    }
    return all;
}

bool ScreenHas(const std::vector<std::string>& screen, const std::string& text) {
    return std::any_of(screen.begin(), screen.end(),
                       [&](const std::string& line) { return line.find(text) != std::string::npos; });
}

TEST(PendantKeys, KnobsEnableAndPlugMakeTheBoardByte) {
    struct Case {
        const char* what;
        std::vector<int> keys;
        Commands expected;
    } cases[] = {
        {"released, the board shows axis 7 whatever the knob", {'2'}, {}},
        {"the enable shows the knob", {'2', ' '}, {"board 0x82"}},
        {"x10, enable held, released", {']', ' ', ' '}, {"board 0x0F", "board 0x88", "board 0x0F"}},
        {"arrows turn the knobs and stop at their ends",
         {' ', KeyLeft, KeyRight, KeyRight, KeyUp, KeyUp, KeyUp, KeyUp, KeyDown},
         {"board 0x80", "board 0x81", "board 0x82", "board 0x8A", "board 0x92", "board 0x9A", "board 0x92"}},
        {"the increment knob does not go below 0", {'['}, {}},
        {"the axis knob does not go past 7", {' ', '7', KeyRight}, {"board 0x80", "board 0x87"}},
        {"unplugged: inputs read low, knob turns change nothing, replugged: the knobs again",
         {'u', '3', ' ', 'u'}, {"board 0x00", "board 0x83"}},
    };
    for (const Case& c : cases) {
        PendantModel model;
        EXPECT_EQ(Keys(model, c.keys), c.expected) << c.what;
    }
}

TEST(PendantKeys, HostControlsFollowWhatTheHostLastReported) {
    struct Case {
        const char* state;
        int key;
        Commands expected;
    } cases[] = {
        {"STATE jog=Continuous", 'm', {"mode incremental"}},
        {"STATE jog=Incremental", 'm', {"mode mpg"}},
        {"STATE jog=MPG", 'm', {"mode continuous"}},
        {"STATE jog=none", 'm', {"mode continuous"}},
        {"STATE axis=2", 'x', {"axis 3"}},
        {"STATE axis=5", 'x', {"axis 0"}},
        {"STATE axis=-1", 'x', {"axis 0"}},
        {"STATE inc=0.1000", 'n', {"inc 1.000000"}},
        {"STATE inc=0.0100", 'n', {"inc 0.100000"}},
        {"STATE inc=1.0000", 'n', {"inc 0.001000"}},
        {"STATE inc=0.5000", 'n', {"inc 1.000000"}},
        {"STATE estop=0", 'e', {"estop on"}},
        {"STATE estop=1", 'e', {"estop off"}},
        {"STATE unit=mm", 't', {"units inch"}},
        {"STATE unit=in", 't', {"units mm"}},
        {"STATE jogenabled=1", 'j', {"jog-enabled off"}},
        {"STATE jogenabled=0", 'j', {"jog-enabled on"}},
        {"STATE", 'z', {}},
    };
    for (const Case& c : cases) {
        PendantModel model;
        TakeHostLine(model, c.state);
        EXPECT_EQ(Keys(model, {c.key}), c.expected) << c.state << " key " << static_cast<char>(c.key);
    }
}

TEST(PendantKeys, DebugLevelStepsWithinZeroToSix) {
    PendantModel model;
    EXPECT_EQ(Keys(model, {'D', 'D', 'D'}), (Commands{"debuglevel 5", "debuglevel 6"}));
    EXPECT_EQ(model.profileLevel, 6);
    PendantModel low;
    EXPECT_EQ(Keys(low, {'d', 'd', 'd', 'd', 'd'}), (Commands{"debuglevel 3", "debuglevel 2", "debuglevel 1",
                                                               "debuglevel 0"}));
}

TEST(PendantKeys, AlertsRecordingPauseAndQuit) {
    PendantModel model;
    EXPECT_EQ(Keys(model, {'c'}), Commands{}) << "nothing open, nothing to close";
    TakeHostLine(model, "ALERT 203 Error(203):\\nQUORVAN-9 Plug-In read invalid data");
    EXPECT_EQ(Keys(model, {'c'}), Commands{"close-alerts"});
    EXPECT_TRUE(model.alerts.empty());

    EXPECT_EQ(Keys(model, {'r'}), Commands{"record traces/now.session"});
    EXPECT_FALSE(model.recording) << "recording only once the host says so";
    TakeHostLine(model, "RECORDING \"traces/now.session\"");
    EXPECT_TRUE(model.recording);
    EXPECT_EQ(Keys(model, {'r'}), Commands{"record off"});
    TakeHostLine(model, "RECORDING off");
    EXPECT_FALSE(model.recording);
    EXPECT_NE(model.notice.find("traces/now.session"), std::string::npos) << "says where the trace is";

    EXPECT_EQ(Keys(model, {'.'}), Commands{}) << "no single steps while the host ticks on its own";
    EXPECT_EQ(Keys(model, {'p', '.', '.', 'p'}), (Commands{"tick", "tick"}));
    EXPECT_FALSE(model.paused);

    EXPECT_EQ(Keys(model, {'q'}), Commands{"quit"});
    EXPECT_TRUE(model.quitting);
}

TEST(PendantHostLines, StateLogAlertHostAndErrorLines) {
    PendantModel model;
    TakeHostLine(model, "HOST title=\"QUORVAN-9 Quorvan Devices Inc.\" connection=0");
    EXPECT_EQ(model.title, "QUORVAN-9 Quorvan Devices Inc.");
    EXPECT_EQ(model.connection, 0);

    TakeHostLine(model, kState);
    EXPECT_EQ(model.Field("tick"), "12");
    EXPECT_EQ(model.Field("ctrl"), "EngagedSwitched");
    EXPECT_EQ(model.Field("msg"), "Pendant or front panel MPG is enabled, disable to manually change jog mode");
    EXPECT_EQ(model.Field("nothing", "fallback"), "fallback");

    TakeHostLine(model, "ALERT 101 Error(101):\\nJogging is DISABLED in Mach3.\\n\\n\\\"Program Run\\\" tab");
    ASSERT_EQ(model.alerts.size(), 1u);
    EXPECT_EQ(model.alerts[0].code, 101);
    EXPECT_EQ(model.alerts[0].text, "Error(101):\nJogging is DISABLED in Mach3.\n\n\"Program Run\" tab");

    TakeHostLine(model, "ERROR axis is 0..5");
    EXPECT_EQ(model.notice, "the host refused: axis is 0..5");

    for (int i = 0; i < 250; ++i) TakeHostLine(model, "LOG [QUORVAN-9][INFO]: line " + std::to_string(i));
    EXPECT_EQ(model.log.size(), PendantModel::kLogKept);
    EXPECT_EQ(model.log.back(), "[QUORVAN-9][INFO]: line 249");
}

TEST(PendantHostLines, EscapesAndQuotedFieldsComeBackExactly) {
    EXPECT_EQ(UnescapeText("a\\\\b\\\"c\\nd\\re\\tf\\x01g\\x7F"), std::string("a\\b\"c\nd\re\tf\x01g\x7F"));
    EXPECT_EQ(UnescapeText("dangling\\"), "dangling\\");
    EXPECT_EQ(UnescapeText("\\xZZ"), "xZZ");

    auto fields = ParseStateFields("STATE a=1 msg=\"say \\\"hi\\\" = x\\\\\" b=2");
    EXPECT_EQ(fields["a"], "1");
    EXPECT_EQ(fields["msg"], "say \"hi\" = x\\");
    EXPECT_EQ(fields["b"], "2");
    fields = ParseStateFields("STATE msg=\"never closed");
    EXPECT_EQ(fields["msg"], "never closed");
    EXPECT_EQ(ParseStateFields("STATE msg=\"\"")["msg"], "");
}

TEST(PendantScreen, ShowsKnobsByteHostPlugInAlertsLogAndLegend) {
    PendantModel model;
    Keys(model, {'2', ']', ' '});
    TakeHostLine(model, "HOST title=\"QUORVAN-9 Quorvan Devices Inc.\" connection=0");
    TakeHostLine(model, kState);
    TakeHostLine(model, "ALERT 100 Warning(100):\\nQUORVAN-9 Plug-In is forcing MPG #1 configuration");
    TakeHostLine(model, "LOG [QUORVAN-9][INFO]: DoMyUpdate(): Changing to MPG Jog Mode (Enabled)");
    const std::vector<std::string> screen = RenderScreen(model, 100, 40);
    ASSERT_EQ(screen.size(), 40u);
    for (const std::string& line : screen) EXPECT_EQ(line.size(), 100u) << line;
    for (const char* text :
         {"tick 12", "enable     HELD", "axis knob  2 Z ", "inc knob   1 x10", "0x8A  1000 1010",
          "enable 1  axis sel 2  inc sel 1", "read by the plug-in: yes", "controller EngagedSwitched",
          "jog mode   MPG", "MPG axis   2 Z", "increment  0.1000 mm", "object model connected", "1 open",
          "message line: \"Pendant or front panel MPG is enabled", "Warning(100): / QUORVAN-9 Plug-In is forcing",
          "Changing to MPG Jog Mode (Enabled)", "space enable", "q quit"}) {
        EXPECT_TRUE(ScreenHas(screen, text)) << "missing: " << text;
    }
}

TEST(PendantScreen, SaysWhenTheBoardHidesTheAxisKnob) {
    PendantModel model;
    Keys(model, {'4'});
    EXPECT_TRUE(ScreenHas(RenderScreen(model, 100, 30), "axis knob  4 B (board shows 7)"));
    Keys(model, {' '});
    EXPECT_FALSE(ScreenHas(RenderScreen(model, 100, 30), "board shows 7"));
}

TEST(PendantScreen, FitsAnySizeAndKeepsTheLegend) {
    PendantModel model;
    TakeHostLine(model, kState);
    for (int i = 0; i < 30; ++i) TakeHostLine(model, "LOG line " + std::to_string(i));
    for (int i = 0; i < 5; ++i) TakeHostLine(model, "ALERT 203 Error(203):\\ntext " + std::to_string(i));
    for (int width : {1, 20, 80, 200}) {
        for (int height : {0, 1, 5, 24, 60}) {
            const std::vector<std::string> screen = RenderScreen(model, width, height);
            EXPECT_EQ(screen.size(), static_cast<size_t>(height)) << width << "x" << height;
            for (const std::string& line : screen) EXPECT_EQ(line.size(), static_cast<size_t>(width));
            if (height >= 5 && width >= 80) {
                EXPECT_NE(screen.back().find("q quit"), std::string::npos);
            }
        }
    }
    const std::vector<std::string> tall = RenderScreen(model, 120, 60);
    EXPECT_TRUE(ScreenHas(tall, "line 29")) << "the newest log line";
    EXPECT_TRUE(ScreenHas(tall, "text 0"));
}

TEST(PendantScreen, HostTextsBecomeOneLineOfPlainText) {
    PendantModel model;
    TakeHostLine(model, "STATE tick=1 msg=\"tab\\there\\x01\\xE9 end\"");
    EXPECT_TRUE(ScreenHas(RenderScreen(model, 80, 24), "message line: \"tab here ? end\""));
}
}  // namespace
