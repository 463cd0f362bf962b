// The shade-out and the ends that give the player back as the listener had
// it: the fade's curve over simulated time, a late timer, every way out of a
// fade, the pause that keeps the place, and the repeat mode.

#include "engine/tests/EngineFixture.h"

class FadeTest : public EngineTest {
protected:
    // A countdown whose minutes are spent, so that its first tick begins the
    // fade; that tick is given.
    void beginFade(int volume, int seconds, int finalAction = FinalAction::StopPlaying) {
        player.volume = volume;
        fadeSeconds = seconds;
        startCountdown(CountMode::Minutes, StopMethod::ShadeOut, finalAction, 3, -1);
        tickIntoTheFade();
    }

    // The tick that begins the fade; from it on, when the stop command comes.
    void tickIntoTheFade() {
        stopAt = -1;
        player.insideMessage = [this](UINT message, WPARAM wParam, LPARAM) {
            if (message == WM_COMMAND && LOWORD(wParam) == StopCommand && stopAt < 0) {
                stopAt = host->clockMs - fadeStart;
            }
        };
        tick();
        fadeStart = host->clockMs;
    }

    long long intoTheFade() const { return host->clockMs - fadeStart; }

    // Ticks until the fade is at least ms along, or the countdown is over.
    void tickTo(long long ms) {
        while (intoTheFade() < ms && host->tick()) {
        }
    }

    int volumesSet() const {
        int sets = 0;
        for (const TraceEvent& event : host->trace.ofKind(TraceEvent::Send)) {
            sets += event.message == PlayerMessage && event.lParam == VolumeMessage && event.wParam != VolumeQuery;
        }
        return sets;
    }

    long long fadeStart = 0;
    long long stopAt = -1;   // when the stop command came, into the fade
};

// Equal steps of loudness, from the player's volume to a hundredth of it,
// stepped from timer messages: at every point the level the curve gives, a
// volume message only when the level changes, never a pause.
TEST_F(FadeTest, FollowsTheLoudnessCurveWithoutHoldingThePlayer) {
    const struct {
        int volume;
        int seconds;
        long long stepMs;      // how late the end may come: one step
    } rows[] = {{255, 5, 20}, {10, 5, 20}, {255, 600, 500}, {10, 600, 500}};
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.volume) + " over " + std::to_string(row.seconds) + " s");
        restartHost();
        playing(1000);
        beginFade(row.volume, row.seconds);
        const long long length = row.seconds * 1000LL;
        for (long long at : {length / 4, length / 2, 3 * length / 4}) {
            tickTo(at);
            EXPECT_EQ(player.volume, curveLevel(row.volume, intoTheFade(), length))
                << intoTheFade() << " ms in";
            EXPECT_EQ(stopAt, -1);
        }
        tickTo(length + 1000);
        EXPECT_GE(stopAt, length);
        EXPECT_LE(stopAt, length + row.stepMs);
        EXPECT_EQ(player.volume, row.volume) << "given back after the stop";
        EXPECT_LE(volumesSet(), row.volume + 1) << "a level is set only when it changes";
        Lines lines = host->trace.lines();
        ASSERT_GE(lines.size(), 4u);
        EXPECT_EQ(Lines(lines.end() - 4, lines.end()), (Lines{StopSent, volumeLine(row.volume), "killtimer", StopSent}));
        EXPECT_EQ(host->callsOf("Sleep"), 0);
        EXPECT_EQ(host->liveTimers(), 0);
    }
}

// The fade's own timer late (every 200 ms instead of 20) or refused: levels
// are skipped, not stretched, and the fade still ends at its length.
TEST_F(FadeTest, ALateOrRefusedTimerStillEndsItOnTime) {
    for (bool refused : {false, true}) {
        SCOPED_TRACE(refused ? "refused" : "late");
        restartHost();
        playing(1000);
        host->slowTimersToMs = refused ? 0 : 200;
        player.volume = 255;
        fadeSeconds = 5;
        startCountdown(CountMode::Minutes, StopMethod::ShadeOut, FinalAction::StopPlaying, 3, -1);
        if (refused) {
            host->failCall("SetTimer");
        }
        tickIntoTheFade();
        EXPECT_EQ(host->liveTimers(), refused ? 1 : 2);
        tickTo(2500);
        EXPECT_EQ(player.volume, curveLevel(255, 2500, 5000));
        tickTo(6000);
        EXPECT_GE(stopAt, 5000);
        EXPECT_LE(stopAt, refused ? 5500 : 5200);
        EXPECT_EQ(player.volume, 255);
    }
}

// However the fade is left, the listener's volume comes back at once; their
// own move during it is followed and is the one given back.
TEST_F(FadeTest, EveryWayOutGivesTheVolumeBack) {
    enum Way { DialogStop, IconStop, IconMore, PlayerQuits, ListenerMoves };
    for (Way way : {DialogStop, IconStop, IconMore, PlayerQuits, ListenerMoves}) {
        SCOPED_TRACE(way);
        restartHost();
        playing(1000);
        beginFade(200, 60);
        tickTo(10000);
        ASSERT_LT(player.volume, 200);
        host->onMenu = [&](const std::vector<std::string>&) {
            return host->menuCommand(way == IconMore ? "10 more" : "Stop");
        };
        switch (way) {
        case DialogStop:
            inDialog({[](DialogDriver& d) { d.click(IDC_START_STOP); }, [](DialogDriver& d) { d.escape(); }});
            break;
        case IconStop:
        case IconMore:
            ASSERT_TRUE(host->iconEvent(WM_CONTEXTMENU));
            break;
        case PlayerQuits:
            host->quit();
            break;
        case ListenerMoves:
            player.volume = 120;
            tickTo(35000);
            // Down from their volume over the 50 s that were left.
            EXPECT_EQ(player.volume, curveLevel(120, 25000, 50000));
            tickTo(61000);
            EXPECT_EQ(stopAt, 60000);
            break;
        }
        EXPECT_EQ(player.volume, way == ListenerMoves ? 120 : 200);
        if (way == IconMore) {
            EXPECT_EQ(host->liveTimers(), 1) << "counting again, without the fade's timer";
            EXPECT_EQ(moduleSettings().minutes, 9) << "ten more than the -1 it began with";
            host->ticks(9 * 120);
            host->trace.clear();
            host->tick();
            EXPECT_EQ(host->trace.lines().front(), VolumeAsked) << "its end fades again";
        } else if (way != ListenerMoves) {
            EXPECT_EQ(host->liveTimers(), 0);
            EXPECT_EQ(stopAt, -1) << "the music plays on";
        }
    }
}

// "Pause" pauses instead of stopping, only a player that plays; after a
// fade it goes back to where the fade began when that is in the same song,
// then gives the volume back.
TEST_F(FadeTest, APauseKeepsThePlace) {
    const struct {
        const char* what;
        int position;         // where the fade begins, in the 245 s first song
        bool pausedBefore;    // the listener paused during the fade
        Lines ending;
    } rows[] = {
        {"same song", 100000, false, {PlayStateAsked, PauseSent, "send 1024 100000 106", volumeLine(200)}},
        {"the next song by then", 230000, false, {PlayStateAsked, PauseSent, volumeLine(200)}},
        {"paused already", 100000, true, {PlayStateAsked, "send 1024 100000 106", volumeLine(200)}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        restartHost();
        playing(row.position);
        beginFade(200, 30, FinalAction::Pause);
        for (int i = 0; i < 100 && host->liveTimers() > 0; ++i) {
            if (i == 30 && row.pausedBefore) {
                player.pause();
            }
            host->trace.clear();
            play(1);
        }
        EXPECT_EQ(host->liveTimers(), 0);
        // The last tick's lines but for the fade's last steps and the place
        // and timers it looks after.
        Lines ending;
        for (const std::string& line : host->trace.lines()) {
            bool fadeStep = line == VolumeAsked || (line.size() > 4 && line.compare(line.size() - 4, 4, " 122") == 0 &&
                                                    line != volumeLine(200));
            if (!fadeStep && line != PositionAsked && line != "killtimer") {
                ending.push_back(line);
            }
        }
        EXPECT_EQ(ending, row.ending);
        EXPECT_EQ(player.state, PlayerModel::Paused);
        EXPECT_EQ(stopAt, -1) << "no stop command";
        if (row.ending[row.ending.size() - 2] != PauseSent) {
            EXPECT_EQ(player.positionMs, row.position) << "back where the fade began";
        }
    }
    // Counting songs, the pause comes as the next song begins.
    restartHost();
    playing(240000);
    startCountdown(CountMode::Songs, StopMethod::WaitForSongEnd, FinalAction::Pause, 1, 10);
    play(20);
    EXPECT_EQ(player.state, PlayerModel::Paused);
    EXPECT_EQ(player.trackIndex, 1u);
    EXPECT_LT(player.positionMs, 1500);
}

// The repeat mode Nightcap switched on to follow the songs is switched off
// again at every end of its countdown, before the quit is posted; one the
// listener had on stays on.
TEST_F(FadeTest, RepeatIsGivenBackAtEveryEnd) {
    enum Way { Finish, FinishByQuitting, DialogStop, PlayerQuits };
    for (bool listenersRepeat : {false, true}) {
        for (Way way : {Finish, FinishByQuitting, DialogStop, PlayerQuits}) {
            SCOPED_TRACE(std::to_string(way) + (listenersRepeat ? " repeat on before" : ""));
            restartHost();
            playing(240000);
            player.repeat = listenersRepeat;
            startCountdown(CountMode::Songs, StopMethod::WaitForSongEnd,
                           way == FinishByQuitting ? FinalAction::QuitPlayer : FinalAction::StopPlaying, 1, 10);
            play(3);
            EXPECT_TRUE(player.repeat);
            host->trace.clear();
            if (way == DialogStop) {
                inDialog({[](DialogDriver& d) { d.click(IDC_START_STOP); }, [](DialogDriver& d) { d.escape(); }});
            } else if (way == PlayerQuits) {
                host->quit();
            } else {
                play(20);
            }
            takeQuitMessage();
            EXPECT_EQ(player.repeat, listenersRepeat);
            Lines lines = host->trace.lines();
            auto off = std::find(lines.begin(), lines.end(), RepeatSwitchedOff);
            EXPECT_EQ(off != lines.end(), !listenersRepeat);
            if (way == FinishByQuitting && !listenersRepeat) {
                auto quit = std::find(lines.begin(), lines.end(), "post 18 0 0");
                EXPECT_LT(off - lines.begin(), quit - lines.begin()) << "before the quit is posted";
            }
        }
    }
}
