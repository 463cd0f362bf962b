// The whole plug-in, end to end, as a user meets it in the bench player: the
// real module, its real dialog filled in and started by the scripted session,
// the countdown played on the bench's simulated clock (each tick after 500 ms
// of play), down to the final action. One scenario per final action and per
// stop method. The power-off request is intercepted by the host.

#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <algorithm>

#include <memory>
#include <string>
#include <vector>

#include "host/bench/BenchPlayer.h"
#include "host/bench/BenchSession.h"
#include "plugin/PlayerMessages.h"
#include "settings/Settings.h"
#include "tests/HostFixture.h"

namespace {

Scenario songs(int count, int finalAction) {
    Scenario scenario;
    scenario.count = count;
    scenario.finalAction = finalAction;
    return scenario;
}

Scenario minutes(int count, int stopMethod, int finalAction = FinalAction::StopPlaying) {
    Scenario scenario = songs(count, finalAction);
    scenario.countMode = CountMode::Minutes;
    scenario.stopMethod = stopMethod;
    return scenario;
}

// The log line of the given tick of the countdown, or "" when it left none.
std::string tickLine(const BenchLog& log, int tick) {
    std::string mark = "tick " + std::to_string(tick) + ": ";
    for (const std::string& line : log.lines) {
        if (line.find(mark) != std::string::npos) {
            return line.substr(line.find(mark) + mark.size());
        }
    }
    return std::string();
}

// Index of the first line containing text, or -1.
int lineIndex(const BenchLog& log, const std::string& text, int from = 0) {
    for (size_t i = static_cast<size_t>(from); i < log.lines.size(); ++i) {
        if (log.lines[i].find(text) != std::string::npos) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::string allLines(const BenchLog& log) {
    std::string all;
    for (const std::string& line : log.lines) {
        all += line + "\n";
    }
    return all;
}

}  // namespace

// The plug-in keeps its settings in the test's own folder; the fixture's
// player window and host go unused: the bench player brings its own.
class BenchTest : public HostFixture {
protected:
    void TearDown() override {
        session.reset();
        bench.reset();
        HostFixture::TearDown();
    }

    // A bench player on the simulated clock, without a session.
    void makePlayer(const std::string& playlistPath = std::string()) {
        BenchOptions options;
        options.simulated = true;
        options.ticksPerHeartbeat = 10;
        options.homeFolder = folder;
        options.homeRefuses = homeRefuses;
        options.sleepStates = !modernStandby;
        options.modernStandby = modernStandby;
        options.appDataFolder = appData;
        options.showMessageBoxes = false;
        options.echo = false;
        options.playlistPath = playlistPath;
        bench.reset();
        bench.reset(new BenchPlayer(options));
    }

    // The loop, until the player closes; it leaves nothing running.
    void runToClose() {
        bench->run();
        EXPECT_EQ(bench->window(), static_cast<HWND>(NULL)) << "the player window is gone";
        EXPECT_TRUE(bench->facts.pluginQuitCalled) << "pluginQuit when the player closes";
        EXPECT_EQ(bench->host.liveTimers(), 0);
    }

    // Plays the scenario through to the end; the player has closed after it.
    void play(const Scenario& scenario) {
        makePlayer();
        Scenario bounded = scenario;
        bounded.limitRealMs = 60000;
        session.reset(new BenchSession(*bench, bounded));
        std::string error;
        ASSERT_TRUE(bench->start(error)) << error;
        runToClose();
        ASSERT_TRUE(session->succeeded()) << session->outcome() << "\n" << allLines(bench->log);
    }

    std::unique_ptr<BenchPlayer> bench;
    std::unique_ptr<BenchSession> session;
    bool homeRefuses = false;
    bool modernStandby = false;
};

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
              "disarmed its timer; the notification icon went away; stop; told the dialog the countdown finished (DialogNotify 2); "
              "told the dialog the counts changed (DialogNotify 1)");
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
              "disarmed its timer; the notification icon went away; quit (posted WM_QUIT to the player); told the dialog the countdown finished "
              "(DialogNotify 2); told the dialog the counts changed (DialogNotify 1)");
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
              "disarmed its timer; the notification icon went away; stop; opened its process token to adjust its privileges; enabled the shutdown "
              "privilege; asked to power off the computer (ExitWindowsEx, flags 12: power off, force) - intercepted, "
              "nothing was switched off");
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

TEST_F(BenchTest, OneMinuteThenWaitForTheSongToEnd) {
    play(minutes(1, StopMethod::WaitForSongEnd));
    const BenchPlayer::Facts& facts = bench->facts;
    const BenchLog& log = bench->log;

    EXPECT_EQ(tickLine(log, 120),
              "told the dialog the counts changed (DialogNotify 1); icon tooltip: Nightcap: until this song ends, then "
              "stop playing")
        << "the minute, counted";
    // Tick 121 only begins to watch the song; it ends at the next track change.
    EXPECT_EQ(tickLine(log, 121).find("asked the play position"), 0u) << tickLine(log, 121);
    EXPECT_GT(facts.tickAtFinish, 122);
    EXPECT_GE(facts.trackChangesWhileArmed, 1);
    EXPECT_EQ(bench->model.state, PlayerModel::Stopped);
    int changed = lineIndex(log, "-- now playing", lineIndex(log, "tick 121: "));
    int finished = lineIndex(log, "tick " + std::to_string(facts.tickAtFinish) + ": ");
    ASSERT_GE(changed, 0);
    EXPECT_LT(changed, finished) << "the song ended before the countdown did";
    EXPECT_NE(log.lines[static_cast<size_t>(finished)].find("stop; told the dialog the countdown finished"),
              std::string::npos);
}

TEST_F(BenchTest, OneMinuteThenShadeOutOverFiveSeconds) {
    play(minutes(1, StopMethod::ShadeOut));
    const BenchPlayer::Facts& facts = bench->facts;

    EXPECT_EQ(facts.tickAtFinish, 121) << "the stop method begins on tick 121";
    EXPECT_EQ(tickLine(bench->log, 121),
              "disarmed its timer; the notification icon went away; asked the volume (200); fade: volume 200 down to 1 in 200 steps, a pause of 25 ms "
              "after each (5000 ms in all); stop; volume 200; stop; told the dialog the countdown finished "
              "(DialogNotify 2); told the dialog the counts changed (DialogNotify 1)");
    EXPECT_EQ(bench->host.sleptMs, 5000);
    EXPECT_EQ(bench->model.volume, 200) << "the volume is back for the next time";
    EXPECT_EQ(bench->model.state, PlayerModel::Stopped);
}

TEST_F(BenchTest, OneMinuteThenStopAtOnceAndQuit) {
    play(minutes(1, StopMethod::StopNow, FinalAction::QuitPlayer));
    const BenchPlayer::Facts& facts = bench->facts;

    EXPECT_EQ(facts.tickAtFinish, 121);
    EXPECT_EQ(tickLine(bench->log, 121),
              "disarmed its timer; the notification icon went away; stop; quit (posted WM_QUIT to the player); told the dialog the countdown "
              "finished (DialogNotify 2); told the dialog the counts changed (DialogNotify 1)");
    EXPECT_TRUE(facts.quitByPlugin);
    EXPECT_EQ(bench->host.sleptMs, 0);
}

// The listener at the moon in the notification area strip: the warning
// shows there from the start of a last minute; its menu gives ten more
// minutes (in memory: the file keeps the one chosen), then stops the
// countdown with nothing at the end carried out, and the strip empties.
TEST_F(BenchTest, TheMoonsMenuGivesMoreTimeThenStopsTheCountdown) {
    Scenario scenario = minutes(1, StopMethod::WaitForSongEnd, FinalAction::HaltComputer);
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
    int stop = lineIndex(log, "the moon in the notification area (\"Nightcap: 11 minutes left, then power off\")", more);
    ASSERT_GT(stop, more) << allLines(log);
    EXPECT_GT(lineIndex(log, "-- you: choose \"Stop the countdown\"", stop), stop);
    EXPECT_GT(lineIndex(log, "Nightcap: the notification icon went away", stop), stop);

    EXPECT_EQ(bench->facts.stopCommands, 0) << "the music plays on";
    EXPECT_FALSE(bench->facts.powerOffAsked);
    EXPECT_EQ(bench->tray().shown(), "");
    EXPECT_EQ(readSettingsBytes(),
              settingsBytes(CountMode::Minutes, StopMethod::WaitForSongEnd, FinalAction::HaltComputer, 3, 1));
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
