// The bench log's words: each player message and event said as a listener
// reads it, a tick as one line unless it did only a fade's routine, and the
// fade told in notes.

#include <gtest/gtest.h>

#include <windows.h>

#include <math.h>

#include <string>
#include <vector>

#include "host/bench/BenchFade.h"
#include "host/bench/BenchLog.h"
#include "plugin/PlayerMessages.h"
#include "settings/Settings.h"

TEST(BenchLogTest, TellsEveryPlayerMessageInWords) {
    struct Case {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        LRESULT result;
        const char* words;
    };
    const Case cases[] = {
        {PlayerMessage, 0, IsPlayingQuery, 1, "asked whether the player plays (yes)"},
        {PlayerMessage, 0, IsPlayingQuery, 0, "asked whether the player plays (no)"},
        {PlayerMessage, PositionInMs, PositionQuery, 83250, "asked the play position (83.2 s)"},
        {PlayerMessage, PositionInMs, PositionQuery, -1, "asked the play position (-1: stopped)"},
        {PlayerMessage, LengthInSeconds, PositionQuery, 245, "asked the track length (245 s)"},
        {PlayerMessage, 0, RepeatQuery, 0, "asked the repeat mode (off)"},
        {PlayerMessage, RepeatOn, SetRepeat, 0, "switched repeat on"},
        {PlayerMessage, VolumeQuery, VolumeMessage, 180, "asked the volume (180)"},
        {PlayerMessage, 200, VolumeMessage, 0, "volume 200"},
        {WM_COMMAND, StopCommand, 0, 0, "stop"},
        {WM_COMMAND, PauseCommand, 0, 0, "pause"},
        {PlayerMessage, 62500, JumpToTime, 0, "jump to 1:02.5"},
        {PlayerMessage, 62500, JumpToTime, static_cast<LRESULT>(-1), "jump to 1:02.5 (refused: nothing plays)"},
        {PlayerMessage, RepeatOff, SetRepeat, 0, "switched repeat off"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(BenchLog::describeSend(c.message, c.wParam, c.lParam, c.result), c.words);
    }
    TraceEvent quit = {};
    quit.kind = TraceEvent::Post;
    quit.message = WM_QUIT;
    EXPECT_EQ(BenchLog::describeEvent(quit), "quit (posted WM_QUIT to the player)");
    TraceEvent box = {};
    box.kind = TraceEvent::MessageBox;
    box.caption = "!notice";
    box.text = "one\ntwo";
    EXPECT_EQ(BenchLog::describeEvent(box), "message box \"!notice\": one / two");
    // A power-off that cannot work says why.
    TraceEvent token = TraceEvent::of(TraceEvent::OpenToken, TOKEN_QUERY);
    EXPECT_EQ(BenchLog::describeEvent(token),
              "opened its process token without the right to adjust its privileges (access 8)");
    TraceEvent adjusted = TraceEvent::of(TraceEvent::AdjustPrivileges, 1, 19, 0);
    adjusted.text = "SeShutdownPrivilege";
    EXPECT_EQ(BenchLog::describeEvent(adjusted),
              "adjusted its privileges (SeShutdownPrivilege, attributes 0): the shutdown privilege is not enabled");
    // So does a sleep that could veto itself or sleep through its wake-ups.
    TraceEvent suspend = TraceEvent::of(TraceEvent::Suspend, 1, 0, 0);
    EXPECT_EQ(BenchLog::describeEvent(suspend),
              "asked to put the computer to sleep (SetSuspendState: sleep, no force, wake events off) - intercepted, "
              "nothing was put to sleep");
}

// A tick that did only a running fade's routine leaves no line; one that
// did anything else is told whole, its notes after it.
TEST(BenchLogTest, ATickIsOneLineUnlessItDidOnlyAFadesRoutine) {
    BenchLog log;
    log.setClock(63000);
    log.tickBegins(126);
    log.sent(PlayerMessage, PositionInMs, PositionQuery, 62000, true);
    log.sent(PlayerMessage, VolumeQuery, VolumeMessage, 50, true);
    log.sent(PlayerMessage, 49, VolumeMessage, 0, true);
    log.tickEnds();
    log.tickBegins(126, true);  // the fade's own timer
    log.sent(PlayerMessage, VolumeQuery, VolumeMessage, 49, true);
    log.sent(PlayerMessage, 48, VolumeMessage, 0, true);
    log.note("player stopped");
    log.sent(WM_COMMAND, StopCommand, 0, 0);
    log.tickEnds();
    log.tickBegins(127);  // a tick that asks nothing leaves no line
    log.tickEnds();
    log.sent(PlayerMessage, 0, IsPlayingQuery, 1);  // outside a tick: from the dialog

    ASSERT_EQ(log.lines.size(), 3u);
    EXPECT_EQ(log.lines[0], "    63.0 s  fade step (after tick 126): asked the volume (49); volume 48; stop");
    EXPECT_EQ(log.lines[1], "    63.0 s  -- player stopped");
    EXPECT_EQ(log.lines[2], "    63.0 s  Nightcap: asked whether the player plays (yes)");
}

// The fade as the player meets it, on the plug-in's clock: its start, each
// tenth with the volume then, its end, the volume and the place given back;
// and a fade the listener cut short.
TEST(BenchLogTest, TheFadeIsToldFromItsStartToTheVolumeGivenBack) {
    std::vector<std::string> said;
    BenchFade fade;
    fade.say = [&](const std::string& text) { said.push_back(text); };
    auto send = [&](UINT message, WPARAM wParam, LPARAM lParam, LRESULT result, long long ms) {
        fade.sent(message, wParam, lParam, result, ms, static_cast<double>(ms) / 20);
    };
    fade.countdownArmed(30000);
    send(PlayerMessage, VolumeQuery, VolumeMessage, 200, 1000);
    send(PlayerMessage, PositionInMs, PositionQuery, 61000, 1000);
    fade.stepTimerArmed(32);
    fade.ticked(1000, 200);
    int level = 200;
    for (long long ms = 1500; ms < 31000; ms += 500) {
        send(PlayerMessage, VolumeQuery, VolumeMessage, level, ms);
        level = static_cast<int>(200 * pow(10.0, -2.0 * static_cast<double>(ms - 1000) / 30000) + 0.5);
        send(PlayerMessage, static_cast<WPARAM>(level), VolumeMessage, 0, ms);
        fade.ticked(ms, level);
    }
    EXPECT_TRUE(fade.running());
    send(WM_COMMAND, PauseCommand, 0, 0, 31000);
    send(PlayerMessage, 61000, JumpToTime, 0, 31000);
    send(PlayerMessage, 200, VolumeMessage, 0, 31000);
    EXPECT_EQ(fade.measuredMs, 30000);
    EXPECT_DOUBLE_EQ(fade.measuredRealMs, 1500);

    std::vector<std::string> expected = {
        "the fade begins: from volume 200, over 30 seconds, a step every 32 ms on a timer of its own"};
    const int tenths[] = {126, 80, 50, 32, 20, 13, 8, 5, 3};
    for (int k = 1; k <= 9; ++k) {
        expected.push_back("fade " + std::to_string(10 * k) + "% (" + BenchLog::formatTime(3000 * k) +
                           " of 30 seconds): volume " + std::to_string(tenths[k - 1]));
    }
    expected.push_back("the fade is over after 0:30.0 (30 seconds chosen): 59 volume changes, down to 2; then the "
                       "pause command");
    expected.push_back("back to where the fade began (1:01.0)");
    expected.push_back("the volume given back: 200");
    EXPECT_EQ(said, expected);

    said.clear();
    fade.countdownArmed(60000);
    send(PlayerMessage, VolumeQuery, VolumeMessage, 120, 0);
    send(PlayerMessage, 110, VolumeMessage, 0, 2000);
    send(PlayerMessage, VolumeQuery, VolumeMessage, 90, 4000);  // the listener turned it down
    send(PlayerMessage, 80, VolumeMessage, 0, 5000);
    send(PlayerMessage, 90, VolumeMessage, 0, 7500);  // given back: the countdown was stopped
    EXPECT_FALSE(fade.running());
    EXPECT_EQ(said, (std::vector<std::string>{"the listener moved the volume to 90: the fade goes on from there",
                                              "the fade ends early, after 0:07.5 of 1 minute: the volume given back: 90"}));
}
