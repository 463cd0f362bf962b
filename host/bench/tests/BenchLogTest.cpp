// The bench log's words: each player message and event said as a listener
// reads it, and a tick as one line with its fade folded.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

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

TEST(BenchLogTest, ATickIsOneLineWithItsFadeFoldedAndItsNotesAfter) {
    BenchLog log;
    log.setClock(60500);
    log.tickBegins(121);
    log.sent(PlayerMessage, VolumeQuery, VolumeMessage, 3);
    TraceEvent pause = {};
    pause.kind = TraceEvent::Sleep;
    pause.wParam = 1666;
    for (int volume = 3; volume >= 1; --volume) {
        log.sent(PlayerMessage, static_cast<WPARAM>(volume), VolumeMessage, 0);
        log.event(pause);
    }
    log.note("player stopped");
    log.sent(WM_COMMAND, StopCommand, 0, 0);
    log.tickEnds();
    log.tickBegins(122);  // a tick that asks nothing leaves no line
    log.tickEnds();
    log.sent(PlayerMessage, 0, IsPlayingQuery, 1);  // outside a tick: from the dialog

    ASSERT_EQ(log.lines.size(), 3u);
    EXPECT_EQ(log.lines[0],
              "    60.5 s  tick 121: asked the volume (3); fade: volume 3 down to 1 in 3 steps, a pause of 1666 ms "
              "after each (4998 ms in all); stop");
    EXPECT_EQ(log.lines[1], "    60.5 s  -- player stopped");
    EXPECT_EQ(log.lines[2], "    60.5 s  Nightcap: asked whether the player plays (yes)");
}

TEST(BenchLogTest, TwoVolumeStepsAreNoFade) {
    BenchLog log;
    log.tickBegins(1);
    TraceEvent pause = {};
    pause.kind = TraceEvent::Sleep;
    pause.wParam = 19;
    log.sent(PlayerMessage, 2, VolumeMessage, 0);
    log.event(pause);
    log.sent(PlayerMessage, 1, VolumeMessage, 0);
    log.event(pause);
    log.tickEnds();
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_EQ(log.lines[0], "     0.0 s  tick 1: volume 2; pause 19 ms; volume 1; pause 19 ms");
}
