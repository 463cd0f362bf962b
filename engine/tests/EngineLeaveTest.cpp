// Leaving: quits and restarts at every moment of a countdown and its end.

#include "engine/tests/EngineFixture.h"

// --- leaving ---

TEST_F(EngineTest, QuitMidCountdownLeavesNoTimerAndSendsNothing) {
    playing(1000);
    startCountdown(CountMode::Minutes, StopMethod::ShadeOut, FinalAction::HaltComputer, 3, 1);
    host->ticks(100);
    std::vector<unsigned char> saved = readSettingsBytes();
    TIMERPROC timerProc = host->timers.front().proc;
    host->trace.clear();
    host->quit();
    EXPECT_EQ(host->trace.lines(), Lines{"killtimer"});
    EXPECT_EQ(host->liveTimers(), 0);
    EXPECT_EQ(readSettingsBytes(), saved);
    // A late timer message of the killed timer finds nothing to do.
    host->trace.clear();
    timerProc(NULL, WM_TIMER, host->timers.front().id, 0);
    EXPECT_EQ(host->trace.lines(), Lines{});

    // A kill refused at quit: the module, its engine gone, still knows the
    // timer as its own, and its next tick kills it.
    restartHost();
    startCountdown(CountMode::Minutes, StopMethod::ShadeOut, FinalAction::HaltComputer, 3, 1);
    host->failCall("KillTimer");
    host->quit();
    ASSERT_EQ(host->liveTimers(), 1);
    host->trace.clear();
    host->tick();
    EXPECT_EQ(host->trace.lines(), Lines{"killtimer"});
    EXPECT_EQ(host->liveTimers(), 0);
}

// The system does not take back a tick it queued before the timer was
// killed, and a kill can fail. Either way the ended countdown must not act
// again, and the next one must start afresh.
TEST_F(EngineTest, AnEndedCountdownNeverActsAgain) {
    playing(1000);
    player.repeat = true;
    startCountdown(CountMode::Songs, StopMethod::WaitForSongEnd, FinalAction::QuitPlayer, -1, 10);
    host->failCall("KillTimer");
    EXPECT_EQ(tick(), (Lines{"killtimer", "post 18 0 0"}));
    ASSERT_TRUE(armed()) << "the kill was refused: the timer runs on";
    EXPECT_EQ(tick(), Lines{"killtimer"}) << "no second quit";
    EXPECT_FALSE(armed());
    EXPECT_TRUE(takeQuitMessage());

    // A tick queued before the stop of a songs countdown, arriving after it:
    // its timer is gone, and the tick does nothing at all.
    restartHost();
    startCountdown(CountMode::Songs, StopMethod::WaitForSongEnd, FinalAction::StopPlaying, 3, 10);
    PluginHost::Timer ended = host->timers.front();
    restartFromDialog();
    host->trace.clear();
    ended.proc(NULL, WM_TIMER, ended.id, 0);
    EXPECT_EQ(host->trace.lines(), Lines{});
    // The new countdown's first tick primes its detector: no length is asked.
    player.positionMs = 1500;
    EXPECT_EQ(tick(), (Lines{PositionAsked, RepeatAsked}));

    // A forged tick that names a timer the module never made, the player's
    // own: that timer lives on, and the countdown is untouched.
    UINT_PTR playersTimer = SetTimer(NULL, 0, 100000, playersOwnTimer);
    ASSERT_NE(playersTimer, 0u);
    host->trace.clear();
    ended.proc(NULL, WM_TIMER, playersTimer, 0);
    EXPECT_EQ(host->trace.lines(), Lines{});
    EXPECT_TRUE(KillTimer(NULL, playersTimer)) << "the player's timer was killed";
    EXPECT_TRUE(armed());
}

// The player may run its message loop inside the messages of the end (a
// fade's volume steps, the stop command), where the listener can stop the
// countdown and start a new one from the open dialog: the old end must leave
// the new countdown armed, its settings as saved, and carry out nothing more.
TEST_F(EngineTest, ACountdownStartedDuringTheEndOutlivesIt) {
    struct Case {
        int stopMethod;
        int finalAction;
        int atMessage;  // the player message in which the listener restarts
        Lines ending;   // that message and what the old end sends after it
    };
    const Case cases[] = {
        // The fade ends at its fifth step and gives the volume back (inside
        // the step, before it is recorded); no stop command, no final action.
        {StopMethod::ShadeOut, FinalAction::HaltComputer, 5, {volumeLine(curveLevel(200, 5 * 20, 5000))}},
        // In the final action's stop command: no power-off after it.
        {StopMethod::StopNow, FinalAction::HaltComputer, 2, {StopSent}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stopMethod);
        restartHost();
        playing(1000);
        player.volume = 200;
        startCountdown(CountMode::Minutes, c.stopMethod, c.finalAction, 3, -1);
        std::vector<unsigned char> newRecord = settingsBytes(CountMode::Minutes, StopMethod::StopNow,
                                                             FinalAction::StopPlaying, 3, 30);
        int messages = 0;
        size_t restartedAt = 0;
        inDialog({[&](DialogDriver& d) {
            player.insideMessage = [&](UINT message, WPARAM wParam, LPARAM lParam) {
                bool counted = (message == PlayerMessage && lParam == VolumeMessage && wParam != VolumeQuery) ||
                               message == WM_COMMAND;
                if (!counted || ++messages != c.atMessage) {
                    return;
                }
                // Stop, then a new plan: 30 minutes, stop at once, then stop playing.
                d.click(IDC_START_STOP);
                d.paste(IDC_MINUTES, "30");
                d.click(IDC_STOP_NOW);
                d.click(IDC_STOP_PLAYING);
                d.click(IDC_START_STOP);
                restartedAt = host->trace.events.size();
            };
            d.tick(30);  // the whole end, the fade's steps between the ticks
            player.insideMessage = nullptr;
        }});
        ASSERT_NE(restartedAt, 0u) << "the listener never got to restart";
        Lines after;
        for (size_t i = restartedAt; i < host->trace.events.size(); ++i) {
            if (!host->trace.events[i].isResource()) {
                after.push_back(Trace::describe(host->trace.events[i]));
            }
        }
        EXPECT_EQ(after, c.ending);
        EXPECT_TRUE(armed()) << "the new countdown was disarmed";
        EXPECT_EQ(readSettingsBytes(), newRecord);
        EXPECT_EQ(moduleSettings().minutes, 30);
        EXPECT_EQ(player.volume, 200);
        EXPECT_EQ(startButtonAfterwards(), "stop");
    }
}

// The player may quit the plug-in, and let go of the module, inside a message
// of the end (a fade's volume step, the stop command): nothing more reaches
// the player or the system, the fade leaves the volume where it was, and the
// objects are freed once the tick is over (the guard heap faults at a touch).
TEST_F(EngineTest, AQuitDuringTheEndEndsIt) {
    struct Case {
        int stopMethod;
        int atMessage;  // the player message in which the player quits
        Lines after;    // that message, then nothing but the objects freed
        int volume;
    };
    const Case cases[] = {
        {StopMethod::ShadeOut, 5, {volumeLine(curveLevel(200, 5 * 20, 5000))}, curveLevel(200, 5 * 20, 5000)},
        {StopMethod::StopNow, 1, {StopSent}, 200},  // no power-off after it
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stopMethod);
        restartHost();
        playing(1000);
        player.volume = 200;
        startCountdown(CountMode::Minutes, c.stopMethod, FinalAction::HaltComputer, 3, -1);
        referencesKept = 1;  // the module keeps itself loaded, for the player may unload it
        int messages = 0;
        size_t quitAt = 0;
        player.insideMessage = [&](UINT message, WPARAM wParam, LPARAM lParam) {
            bool counted = (message == PlayerMessage && lParam == VolumeMessage && wParam != VolumeQuery) ||
                           message == WM_COMMAND;
            if (counted && ++messages == c.atMessage) {
                host->quit();
                host->releaseModule();
                quitAt = host->trace.events.size();
            }
        };
        for (int i = 0; i < 30 && quitAt == 0 && host->tick(); ++i) {
        }
        player.insideMessage = nullptr;
        ASSERT_NE(quitAt, 0u) << "the player never got to quit";
        Lines after;
        for (size_t i = quitAt; i < host->trace.events.size(); ++i) {
            if (host->trace.events[i].text != "free") {
                after.push_back(Trace::describe(host->trace.events[i]));
            }
        }
        EXPECT_EQ(after, c.after);
        EXPECT_EQ(host->liveTimers(), 0);
        EXPECT_EQ(player.volume, c.volume);
    }
}
