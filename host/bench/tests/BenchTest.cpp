// The whole plug-in, end to end, as a user meets it in the bench player: the
// real module, its real dialog filled in and started by the scripted session,
// the countdown played on the bench's simulated clock (each tick after 500 ms
// of play), down to the final action. One scenario per final action (the
// countdowns of minutes, with their stop methods, in BenchMinutesTest.cpp).
// The power-off request is intercepted by the host.

#include <stdio.h>
#include <string.h>

#include <algorithm>

#include "host/bench/tests/BenchFixture.h"

TEST_F(BenchTest, TwoSongsThenStopPlayingWithTheDialogWatching) {
    play(Scenario());  // 2 songs, stop playing, dialog opened again mid-way
    const BenchLog& log = bench->log;
    const BenchPlayer::Facts& facts = bench->facts;

    EXPECT_EQ(facts.trackChangesWhileArmed, 2);
    EXPECT_EQ(bench->model.state, PlayerModel::Stopped);
    EXPECT_EQ(bench->model.trackIndex, 2u) << "stopped as the third song began";
    EXPECT_FALSE(facts.quitByPlugin);
    EXPECT_FALSE(facts.powerOffAsked);
    EXPECT_TRUE(log.contains("asked the repeat mode (off); switched repeat on"));

    std::string last = tickLine(log, facts.tickAtFinish);
    EXPECT_EQ(last,
              "disarmed its timer; the notification icon went away; stop; switched repeat off; told the dialog the "
              "countdown finished (DialogNotify 2); told the dialog the counts changed (DialogNotify 1)");
    // The second song, counted while the dialog was open again, showed there.
    std::string counted = tickLine(log, facts.tickAtFinish - 1);
    EXPECT_NE(counted.find("told the dialog the counts changed (DialogNotify 1)"), std::string::npos) << counted;

    // The finished dialog, closed with Esc, saved the counts read back from
    // the file, not the spent ones.
    EXPECT_EQ(readSettingsBytes(),
              settingsBytes(CountMode::Songs, StopMethod::WaitForSongEnd, FinalAction::StopPlaying, 2, 10));
}

TEST_F(BenchTest, OneSongThenQuitEndsThePlayerWhileTheDialogIsOpen) {
    play(songs(1, FinalAction::QuitPlayer));
    const BenchPlayer::Facts& facts = bench->facts;

    EXPECT_TRUE(facts.quitByPlugin);
    EXPECT_EQ(facts.stopCommands, 0) << "quit comes without a stop command";
    EXPECT_EQ(bench->model.state, PlayerModel::Playing);
    EXPECT_EQ(tickLine(bench->log, facts.tickAtFinish),
              "disarmed its timer; the notification icon went away; switched repeat off; quit (posted WM_QUIT to the "
              "player); told the dialog the countdown finished (DialogNotify 2); told the dialog the counts changed "
              "(DialogNotify 1)");
    // The quit reached the dialog's loop first (it was open again), ended
    // it, and then ended the player's own loop; pluginQuit came last.
    int posted = lineIndex(bench->log, "quit (posted WM_QUIT to the player)");
    int dialogEnded = lineIndex(bench->log, "pluginConfig returned", posted);
    int loopEnded = lineIndex(bench->log, "the plug-in asked the player to quit");
    ASSERT_GE(posted, 0);
    EXPECT_GT(dialogEnded, posted);
    EXPECT_GT(loopEnded, dialogEnded);
    EXPECT_GT(lineIndex(bench->log, "pluginQuit", loopEnded), loopEnded);
}

TEST_F(BenchTest, OneSongThenHaltStopsAndAsksToPowerOffButIsIntercepted) {
    Scenario scenario = songs(1, FinalAction::HaltComputer);
    scenario.reopenDialog = false;
    play(scenario);
    const BenchPlayer::Facts& facts = bench->facts;

    EXPECT_TRUE(facts.powerOffAsked);
    EXPECT_FALSE(facts.quitByPlugin) << "the player stays until it is closed";
    EXPECT_EQ(bench->model.state, PlayerModel::Stopped);
    EXPECT_EQ(tickLine(bench->log, facts.tickAtFinish),
              "disarmed its timer; the notification icon went away; stop; switched repeat off; opened its process token "
              "to adjust its privileges; enabled the shutdown privilege; asked to power off the computer (ExitWindowsEx, "
              "flags 12: power off, force) - intercepted, nothing was switched off");
    EXPECT_EQ(facts.requestNotice,
              "The plug-in asked to power off the computer: it opened its process token, enabled the shutdown "
              "privilege and called ExitWindowsEx (power off, force). Intercepted: nothing was switched off.");
    std::vector<TraceEvent> requests = bench->host.trace.ofKind(TraceEvent::ExitWindows);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].message, static_cast<UINT>(EWX_POWEROFF | EWX_FORCE));
    EXPECT_TRUE(bench->host.trace.ofKind(TraceEvent::MessageBox).empty()) << "power-off did not fail";
}

// Sleep and hibernation, and sleep on a Modern Standby computer: the log
// and the window say what was asked, after the stop command, and no more.
TEST_F(BenchTest, OneSongThenSleepOrHibernateIsIntercepted) {
    const struct {
        int finalAction;
        bool modernStandby;
        const char* request;  // how the last tick's line ends
    } cases[] = {
        {FinalAction::Sleep, false,
         "enabled the shutdown privilege; asked to put the computer to sleep (SetSuspendState: sleep, force, wake "
         "events on) - intercepted, nothing was put to sleep"},
        {FinalAction::Hibernate, false, "asked to hibernate the computer (SetSuspendState: hibernate, force, wake "
                                        "events on) - intercepted, nothing was hibernated"},
        {FinalAction::Sleep, true, "turned the display off (DefWindowProcA, SC_MONITORPOWER 2), as a Modern "
                                   "Standby computer goes to sleep - intercepted, the display stayed on"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.request);
        modernStandby = c.modernStandby;
        Scenario scenario = songs(1, c.finalAction);
        scenario.reopenDialog = false;
        session.reset();  // the last case's, before its player goes
        play(scenario);
        std::string last = tickLine(bench->log, bench->facts.tickAtFinish);
        EXPECT_EQ(last.find("disarmed its timer; the notification icon went away; stop; "), 0u) << last;
        EXPECT_EQ(last.substr(last.size() - std::min(last.size(), strlen(c.request))), c.request);
        EXPECT_FALSE(bench->facts.powerOffAsked);
        EXPECT_TRUE(bench->host.trace.ofKind(TraceEvent::MessageBox).empty());
    }
    EXPECT_EQ(bench->facts.requestNotice,
              "The plug-in asked to put the computer to sleep: it turned the display off (DefWindowProcA, "
              "SC_MONITORPOWER 2), as a Modern Standby computer goes to sleep. Intercepted: the display stayed on.");
}

// In a plug-in folder that refuses new files, the log says where the
// settings went instead, and where the countdown's finish read them from.
TEST_F(BenchTest, TheLogNamesThePerUserSettingsFile) {
    homeRefuses = true;
    Scenario scenario = songs(1, FinalAction::StopPlaying);
    scenario.reopenDialog = false;
    play(scenario);
    const BenchLog& log = bench->log;
    EXPECT_TRUE(log.contains("Nightcap: saved its settings to " + perUserPath() + ", not beside the plug-in"))
        << allLines(log);
    std::string last = tickLine(log, bench->facts.tickAtFinish);
    EXPECT_NE(last.find("; read its settings from " + perUserPath() + ", not from beside the plug-in; stop"),
              std::string::npos)
        << last;
    EXPECT_TRUE(filesInFolder().empty());
}

// The minute spent, the song waited for, then sleep: the balloon warns as
// the end of that song comes near, less than a minute of play before it.

TEST_F(BenchTest, TheMoonsMenuGivesMoreTimeThenStopsTheCountdown) {
    Scenario scenario = minutes(1, StopMethod::ShadeOut, FinalAction::HaltComputer);
    scenario.reopenDialog = false;
    scenario.menuClicks = {{10, "more"}, {20, "stop"}};
    play(scenario);
    const BenchLog& log = bench->log;

    int more = lineIndex(log, "-- you: right-click the moon in the notification area (\"Nightcap: 1 minute left, then "
                              "power off | Nightcap: one minute left: Then Nightcap will power off the computer.");
    ASSERT_GE(more, 0) << allLines(log);
    ASSERT_LT(static_cast<size_t>(more + 3), log.lines.size());
    EXPECT_NE(log.lines[more + 1].find(
                  "Nightcap: the icon's menu opened: Stop the countdown | 10 more minutes | -- | Open Nightcap..."),
              std::string::npos)
        << log.lines[more + 1];
    EXPECT_NE(log.lines[more + 2].find("-- you: choose \"10 more minutes\""), std::string::npos);
    EXPECT_NE(log.lines[more + 3].find("Nightcap: icon tooltip: Nightcap: 11 minutes left, then power off"),
              std::string::npos);
    int stop = lineIndex(log, "the moon in the notification area (\"Nightcap: 11 minutes left, then power off", more);
    ASSERT_GT(stop, more) << allLines(log);
    EXPECT_GT(lineIndex(log, "-- you: choose \"Stop the countdown\"", stop), stop);
    EXPECT_GT(lineIndex(log, "Nightcap: the notification icon went away", stop), stop);

    EXPECT_EQ(bench->facts.stopCommands, 0) << "the music plays on";
    EXPECT_FALSE(bench->facts.powerOffAsked);
    EXPECT_EQ(bench->tray().shown(), "");
    EXPECT_EQ(readSettingsBytes(),
              settingsBytes(CountMode::Minutes, StopMethod::ShadeOut, FinalAction::HaltComputer, 3, 1));
}

// --- the player's own part ------------------------------------------------------

TEST_F(BenchTest, AnswersEveryPlayerMessageAtItsWindowAndLogsIt) {
    makePlayer();
    std::string error;
    ASSERT_TRUE(bench->start(error)) << error;
    HWND window = bench->window();
    EXPECT_EQ(bench->host.descriptor()->hostWindow, window) << "its main window is the player window";

    // Sent as the plug-in's calls are: the host records them with the
    // player's answer, for the log.
    auto send = [&](UINT message, WPARAM wParam, LPARAM lParam) {
        LRESULT result = SendMessageA(window, message, wParam, lParam);
        bench->host.trace.add(TraceEvent::of(TraceEvent::Send, message, wParam, lParam, window, result));
        return result;
    };
    EXPECT_EQ(send(PlayerMessage, 0, IsPlayingQuery), 0);
    EXPECT_EQ(send(PlayerMessage, PositionInMs, PositionQuery), -1) << "stopped";
    bench->play();
    bench->seek(83250);
    EXPECT_EQ(send(PlayerMessage, 0, IsPlayingQuery), 1);
    EXPECT_EQ(send(PlayerMessage, PositionInMs, PositionQuery), 83250);
    EXPECT_EQ(send(PlayerMessage, LengthInSeconds, PositionQuery), 245);
    EXPECT_EQ(send(PlayerMessage, 0, RepeatQuery), 0);
    send(PlayerMessage, RepeatOn, SetRepeat);
    EXPECT_TRUE(bench->model.repeat);
    send(PlayerMessage, 180, VolumeMessage);
    EXPECT_EQ(send(PlayerMessage, VolumeQuery, VolumeMessage), 180);
    send(WM_COMMAND, StopCommand, 0);
    EXPECT_EQ(bench->model.state, PlayerModel::Stopped);

    EXPECT_TRUE(bench->log.contains("Nightcap: asked the play position (83.2 s)"));
    EXPECT_TRUE(bench->log.contains("Nightcap: switched repeat on"));
    EXPECT_TRUE(bench->log.contains("Nightcap: volume 180"));
    EXPECT_TRUE(bench->log.contains("Nightcap: stop"));
    EXPECT_TRUE(bench->log.contains("-- player stopped"));

    bench->close();
    runToClose();
    EXPECT_FALSE(bench->facts.quitByPlugin);
}

// An M3U playlist plays through, track after track, and stops after its
// last track; with repeat on it starts over instead.
TEST_F(BenchTest, PlaysAnM3uPlaylistThroughToItsEndUnlessRepeatIsOn) {
    std::string path = folder + "\\playlist.m3u";
    FILE* file = fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    fputs("#EXTM3U\r\n#EXTINF:12,First\r\nfirst.mp3\r\n#EXTINF:8,Second\r\nsecond.mp3\r\n", file);
    fclose(file);

    for (bool repeat : {false, true}) {
        SCOPED_TRACE(repeat ? "repeat on" : "repeat off");
        makePlayer(path);
        std::string error;
        ASSERT_TRUE(bench->start(error)) << error;
        ASSERT_EQ(bench->model.playlist.size(), 2u);
        EXPECT_EQ(bench->model.playlist[1].title, "Second");
        bench->setRepeat(repeat);
        bench->play();
        BenchPlayer* p = bench.get();
        // 20 s of play: both tracks, and the first again with repeat on.
        bench->onHeartbeat = [p]() {
            if (p->clockMs() >= 22000) {
                p->close();
            }
        };
        runToClose();
        EXPECT_TRUE(bench->log.contains("-- now playing 2/2 Second (0:08)"));
        if (repeat) {
            EXPECT_EQ(bench->model.state, PlayerModel::Playing);
            EXPECT_EQ(bench->model.trackIndex, 0u);
        } else {
            EXPECT_EQ(bench->model.state, PlayerModel::Stopped);
            EXPECT_TRUE(bench->log.contains("-- player stopped"));
        }
    }
}

TEST(BenchPlayerTest, RefusesASpeedBeyondTheSystemsTimersAndAModuleItCannotLoad) {
    BenchOptions fast;
    fast.speed = 80;
    fast.echo = false;
    BenchPlayer tooFast(fast);
    std::string error;
    EXPECT_FALSE(tooFast.start(error));
    EXPECT_EQ(error, "the speed must lie above 0 and at most 50");

    BenchOptions missing;
    missing.pluginPath = "no-such-plugin.dll";
    missing.echo = false;
    missing.show = false;
    BenchPlayer without(missing);
    EXPECT_FALSE(without.start(error));
    EXPECT_EQ(error.find("cannot load the plug-in no-such-plugin.dll"), 0u) << error;
}
