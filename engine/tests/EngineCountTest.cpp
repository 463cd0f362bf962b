// Counting: the track-end detector and the countdown driver.

#include "engine/tests/EngineFixture.h"

// --- track-end detector ---

// The rules of a track change are tested row by row (RulesTest); here, that
// the engine feeds them what the player answers.
TEST_F(EngineTest, DetectorCountsATrackChangeOnceAndNeverAMidSongJump) {
    playing(0);
    startCountdown(CountMode::Songs, StopMethod::WaitForSongEnd, FinalAction::StopPlaying, 100, 10);
    // The first call primes, the second remembers the length; standing still never counts.
    EXPECT_EQ(songsCountedAt({240000, 244700, 300, 300, 300, 800}), 1);
    restartFromDialog();
    EXPECT_EQ(songsCountedAt({90000, 100000, 500}), 0);
    restartFromDialog();
    EXPECT_EQ(songsCountedAt({244000, 300}), 0) << "no length remembered yet";
    player.playlist = {{"Short", 5}};
    player.trackIndex = 0;
    restartFromDialog();
    EXPECT_EQ(songsCountedAt({1000, 1500, 0}), 1) << "shorter than the end window";
}

// Answers beyond 32-bit arithmetic: the length in seconds times 1000 and the
// previous position plus 9791 are computed wide, in both builds.
TEST_F(EngineTest, DetectorArithmeticDoesNotOverflow) {
    for (const char* dll : {CheckedModule, ProbeModule}) {
        SCOPED_TRACE(dll);
        restartHost();
        int lengthSeconds = 245;
        player.answerOverride = [&](UINT, WPARAM wParam, LPARAM lParam, LRESULT& result) {
            if (lParam == PositionQuery && wParam == LengthInSeconds) {
                result = lengthSeconds;
                return true;
            }
            return false;
        };
        playing(0);
        startCountdown(CountMode::Songs, StopMethod::WaitForSongEnd, FinalAction::StopPlaying, 100, 10, dll);
        // 4294968 s is 4294968000 ms, which 32 bits would wrap to 1704: no end is near.
        lengthSeconds = 4294968;
        EXPECT_EQ(songsCountedAt({240000, 244700, 300}), 0);
        lengthSeconds = INT_MAX;
        EXPECT_EQ(songsCountedAt({240000, 244700, 300}), 0);
        lengthSeconds = INT_MIN;
        EXPECT_EQ(songsCountedAt({240000, 244700, 300}), 0);
        // From the largest position, 9791 ms further is past any length.
        lengthSeconds = 245;
        EXPECT_EQ(songsCountedAt({0, INT_MAX, 0}), 1);
        player.answerOverride = nullptr;
    }
}

TEST_F(EngineTest, DetectorMessagesAndRepeatMode) {
    playing(1000);
    player.repeat = false;
    startCountdown(CountMode::Minutes, StopMethod::WaitForSongEnd, FinalAction::StopPlaying, 3, -1);
    // The first call primes and switches repeat on.
    EXPECT_EQ(tick(), (Lines{PositionAsked, RepeatAsked, RepeatSwitchedOn}));
    EXPECT_TRUE(player.repeat);
    // Moving forward: the length is asked.
    player.positionMs = 1500;
    EXPECT_EQ(tick(), (Lines{PositionAsked, RepeatAsked, LengthAsked}));
    // Standing still while counting minutes: the play state is asked.
    EXPECT_EQ(tick(), (Lines{PositionAsked, RepeatAsked, PlayStateAsked}));
    // Switched off by the user: on again at the next call.
    player.repeat = false;
    EXPECT_EQ(tick(), (Lines{PositionAsked, RepeatAsked, RepeatSwitchedOn, PlayStateAsked}));
    // A negative position is read as 0: from there, 0 is standing still.
    player.positionMs = -5;
    tick();
    player.positionMs = 0;
    EXPECT_EQ(tick(), (Lines{PositionAsked, RepeatAsked, PlayStateAsked}));
    EXPECT_TRUE(armed());
}

TEST_F(EngineTest, CountingSongsNeverAsksThePlayStateAndWaitsWhileStill) {
    playing(240000);
    player.repeat = true;
    startCountdown(CountMode::Songs, StopMethod::WaitForSongEnd, FinalAction::StopPlaying, 2, 10);
    play(1);
    player.state = PlayerModel::Paused;
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(tick(), (Lines{PositionAsked, RepeatAsked}));
    }
    player.state = PlayerModel::Stopped;  // the position answer is -1 now, read as 0
    tick();
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(tick(), (Lines{PositionAsked, RepeatAsked}));
    }
    EXPECT_EQ(moduleSettings().songs, 2);
    EXPECT_TRUE(armed());
}

// --- the countdown driver ---

TEST_F(EngineTest, TwoSongsEndToEndWithTheDialogFollowing) {
    playing(240000);
    startCountdown(CountMode::Songs, StopMethod::WaitForSongEnd, FinalAction::StopPlaying, 2, 10);
    HWND dialogWindow = NULL;
    Lines shown;
    Lines endLines;
    inDialog({
        [&](DialogDriver& d) {
            dialogWindow = d.dialog();
            shown.push_back(d.text(IDC_SONGS));
            play(10);  // the first track ends on the tenth tick
        },
        [&](DialogDriver& d) {
            shown.push_back(d.text(IDC_SONGS));
            play(395);  // the 198 s track, up to its last tick
            shown.push_back(moduleSettings().songs == 1 ? "still 1" : "changed early");
            play(1);
        },
        [&](DialogDriver& d) {
            shown.push_back(d.text(IDC_SONGS));
            EXPECT_TRUE(armed());
            EXPECT_EQ(player.trackIndex, 2u);
            size_t mark = host->trace.lines().size();
            play(1);  // the third song has just begun: the end
            EXPECT_FALSE(armed());
            Lines lines = host->trace.lines();
            endLines.assign(lines.begin() + static_cast<long>(mark), lines.end());
        },
        [&](DialogDriver& d) {
            shown.push_back(d.text(IDC_SONGS));
            shown.push_back(d.text(IDC_START_STOP));
            d.escape();
        },
    });
    EXPECT_EQ(shown, (Lines{"2", "1", "still 1", "0", "2", "start now"}));

    std::vector<TraceEvent> posts = host->trace.ofKind(TraceEvent::Post);
    Lines postLines;
    for (const TraceEvent& post : posts) {
        postLines.push_back(Trace::describe(post));
        EXPECT_EQ(post.window, dialogWindow);
    }
    EXPECT_EQ(postLines, (Lines{CountsChanged, CountsChanged, Finished, CountsChanged}));
    // The end: the stop command, then the two notices.
    EXPECT_EQ(endLines, (Lines{"killtimer", StopSent, RepeatSwitchedOff, Finished, CountsChanged}));
    EXPECT_EQ(player.state, PlayerModel::Stopped);
}

// Every minute is 120 ticks, not only the first; the end begins on the tick
// after the last one.
TEST_F(EngineTest, EachMinuteIs120TicksAndTheEndBeginsOnTheNext) {
    playing(1000);
    startCountdown(CountMode::Minutes, StopMethod::StopNow, FinalAction::StopPlaying, 3, 3);
    for (int minute = 1; minute <= 3; ++minute) {
        for (int i = 1; i <= 119; ++i) {
            ASSERT_EQ(tick(), Lines{}) << "minute " << minute << ", tick " << i;
        }
        EXPECT_EQ(moduleSettings().minutes, 4 - minute);
        EXPECT_EQ(tick(), Lines{});  // the minute's 120th tick: the count falls, nothing more
        EXPECT_EQ(moduleSettings().minutes, 3 - minute);
    }
    EXPECT_TRUE(armed());
    EXPECT_EQ(tick(), (Lines{"killtimer", StopSent, StopSent}));
    EXPECT_FALSE(armed());
    EXPECT_EQ(moduleSettings().minutes, 3);  // reloaded
}

TEST_F(EngineTest, StoppedAndStartedAgainTheFirstMinuteIsWholeAgain) {
    startCountdown(CountMode::Minutes, StopMethod::StopNow, FinalAction::StopPlaying, 3, 2);
    host->ticks(100);
    restartFromDialog();
    ASSERT_TRUE(armed());
    host->ticks(119);
    EXPECT_EQ(moduleSettings().minutes, 2);
    host->tick();
    EXPECT_EQ(moduleSettings().minutes, 1);
}

TEST_F(EngineTest, NoMinutesWaitingForTheSongToEnd) {
    // The first tick only primes: a track change before the length is known
    // goes unseen, and the countdown waits for the end of the next song.
    playing(244000);
    startCountdown(CountMode::Minutes, StopMethod::WaitForSongEnd, FinalAction::StopPlaying, 3, 0);
    play(2);  // primes at 244500, then the next track begins
    EXPECT_TRUE(armed());
    play(395);
    EXPECT_TRUE(armed());
    play(1);
    EXPECT_FALSE(armed());
    EXPECT_EQ(player.trackIndex, 2u);
}

TEST_F(EngineTest, StoppingThePlayerMidSongEndsTheWait) {
    playing(100000);
    // A negative count goes straight to the end.
    startCountdown(CountMode::Minutes, StopMethod::WaitForSongEnd, FinalAction::StopPlaying, 3, -1);
    play(2);
    player.stop();  // the position answer is -1 now, read as 0
    EXPECT_EQ(tick(), (Lines{PositionAsked, RepeatAsked}));  // fell back from mid-song: not an end
    EXPECT_EQ(tick(), (Lines{PositionAsked, RepeatAsked, PlayStateAsked, "killtimer", StopSent, RepeatSwitchedOff}));
}

TEST_F(EngineTest, PausedWhenTheMinutesRunOutWaitsOn) {
    playing(100000);
    player.state = PlayerModel::Paused;
    startCountdown(CountMode::Minutes, StopMethod::WaitForSongEnd, FinalAction::StopPlaying, 3, -1);
    host->ticks(50);
    EXPECT_TRUE(armed());
}

TEST_F(EngineTest, CountModesOutsideTheListDoNothing) {
    startCountdown(CountMode::Songs, StopMethod::WaitForSongEnd, FinalAction::StopPlaying, 3, 1);
    for (int mode : {0, 3, INT_MIN}) {
        setModuleSettings({-1, -1, mode, StopMethod::ShadeOut, FinalAction::HaltComputer});
        host->trace.clear();
        host->ticks(300);
        EXPECT_EQ(host->trace.lines(), Lines{}) << "count mode " << mode;
        EXPECT_TRUE(armed());
    }
}
