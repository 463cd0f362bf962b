// Starting, stopping and closing: what is refused and why, what is saved,
// and the open dialog following the countdown.

#include "dialog/tests/DialogFixture.h"

namespace {

struct Refusal {
    int countMode;
    int stopMethod;
    const char* songs;
    const char* minutes;
    bool playing;
    const char* text;
};

TEST_F(DialogTest, ZeroCountsAreRefusedWithTheirMistakeBox) {
    const Refusal refusals[] = {
        {CountMode::Songs, StopMethod::WaitForSongEnd, "0", "5", true, SongsZero},
        {CountMode::Songs, StopMethod::WaitForSongEnd, "", "5", false, SongsZero},
        {CountMode::Minutes, StopMethod::WaitForSongEnd, "5", "0", false, MinutesZeroSilent},
        {CountMode::Minutes, StopMethod::ShadeOut, "5", "0", true, MinutesZero},
        {CountMode::Minutes, StopMethod::StopNow, "5", "abc", false, MinutesZero},
    };
    for (const Refusal& refusal : refusals) {
        SCOPED_TRACE(std::string("songs '") + refusal.songs + "' minutes '" + refusal.minutes + "'");
        writeSettings(refusal.countMode, refusal.stopMethod, FinalAction::HaltComputer, 1, 1);
        startWithPlayer(refusal.playing);
        HWND shown = NULL;
        driver->then([&](DialogDriver& d) {
            shown = d.dialog();
            if (refusal.countMode == CountMode::Songs) {
                d.click(IDC_COUNT_MINUTES);
                d.paste(IDC_MINUTES, refusal.minutes);
                d.click(IDC_COUNT_SONGS);
                d.paste(IDC_SONGS, refusal.songs);
            } else {
                d.click(IDC_COUNT_SONGS);
                d.paste(IDC_SONGS, refusal.songs);
                d.click(IDC_COUNT_MINUTES);
                d.paste(IDC_MINUTES, refusal.minutes);
            }
            d.click(IDC_START_STOP);
        });
        driver->then([&](DialogDriver& d) {
            // Still open and idle, with the user's text as typed.
            EXPECT_EQ(d.text(IDC_START_STOP), "start now");
            EXPECT_EQ(d.text(IDC_SONGS), refusal.songs);
            EXPECT_EQ(d.text(IDC_MINUTES), refusal.minutes);
            EXPECT_EQ(readSettingsBytes(), settingsBytes(refusal.countMode, refusal.stopMethod, 3, 1, 1));
            EXPECT_EQ(d.openDialogs(), 1);
            d.escape();
        });
        open();
        expectOneBox("!mistake", refusal.text, shown);
        EXPECT_EQ(host->liveTimers(), 0);
        // The player is asked only when waiting for the song could still work.
        bool asks = refusal.countMode == CountMode::Minutes && refusal.stopMethod == StopMethod::WaitForSongEnd;
        EXPECT_EQ(linesLike("send 1024 0 104"), asks ? 1 : 0);
        host->quit();
        host->unload();
    }
}

TEST_F(DialogTest, NothingPlayingOnlyWarnsAndTheCountdownStarts) {
    startPlugin();
    HWND shown = NULL;
    driver->then([&](DialogDriver& d) {
        shown = d.dialog();
        d.type(IDC_SONGS, "2");
    });
    driver->then([](DialogDriver& d) { d.click(IDC_START_STOP); });
    open();
    expectOneBox("!notice", NothingPlays, shown);
    EXPECT_EQ(host->liveTimers(), 1);
    EXPECT_EQ(readSettingsBytes(), settingsBytes(1, 1, 3, 2, 10));
}

TEST_F(DialogTest, AcceptedStartsNeedNoBox) {
    struct Start {
        int countMode;
        int stopMethod;
        const char* songs;
        const char* minutes;
        bool playing;
        int queries;
    };
    const Start starts[] = {
        // No minutes: the countdown ends with the song.
        {CountMode::Minutes, StopMethod::WaitForSongEnd, "7", "0", true, 1},
        // The unused count is not looked at, nor the player.
        {CountMode::Minutes, StopMethod::ShadeOut, "0", "5", false, 0},
        // Only 0 is refused.
        {CountMode::Songs, StopMethod::WaitForSongEnd, "-3", "0", true, 1},
    };
    for (const Start& start : starts) {
        SCOPED_TRACE(std::string("songs '") + start.songs + "' minutes '" + start.minutes + "'");
        writeSettings(start.countMode, start.stopMethod, FinalAction::StopPlaying, 9, 9);
        startWithPlayer(start.playing);
        driver->then([&](DialogDriver& d) {
            d.click(IDC_COUNT_SONGS);
            d.paste(IDC_SONGS, start.songs);
            d.click(IDC_COUNT_MINUTES);
            d.paste(IDC_MINUTES, start.minutes);
            d.click(start.countMode == CountMode::Songs ? IDC_COUNT_SONGS : IDC_COUNT_MINUTES);
            d.click(IDC_START_STOP);
        });
        open();
        EXPECT_TRUE(boxes().empty());
        EXPECT_EQ(host->liveTimers(), 1);
        EXPECT_EQ(linesLike("send 1024 0 104"), start.queries);
        EXPECT_EQ(readSettingsBytes(), settingsBytes(start.countMode, start.stopMethod, 1,
                                                     atoi(start.songs), atoi(start.minutes)));
        host->quit();
        host->unload();
    }
}

TEST_F(DialogTest, StartSavesArmsAndReopensRunning) {
    player.play();
    startPlugin();
    driver->then([](DialogDriver& d) {
        d.click(IDC_COUNT_MINUTES);
        d.type(IDC_MINUTES, "7");
        d.click(IDC_STOP_NOW);
        d.click(IDC_STOP_PLAYING);
    });
    driver->then([](DialogDriver& d) { d.click(IDC_START_STOP); });
    open();
    EXPECT_EQ(readSettingsBytes(), settingsBytes(2, 3, 1, 3, 7));
    EXPECT_EQ(host->liveTimers(), 1);
    EXPECT_EQ(linesLike("settimer 500"), 1);
    EXPECT_TRUE(boxes().empty());

    driver->then([](DialogDriver& d) {
        EXPECT_EQ(enabledStates(d), Running);
        EXPECT_EQ(d.text(IDC_START_STOP), "stop");
        EXPECT_EQ(checkedButtons(d), "minutes stop-now stop-playing");
        EXPECT_EQ(d.text(IDC_MINUTES), "7");
        EXPECT_EQ(d.focusedId(), IDC_START_STOP);
        d.escape();
    });
    open();
}

TEST_F(DialogTest, ArmingRefusedKeepsTheDialogOpenAndIdle) {
    player.play();
    startPlugin();
    host->failCall("SetTimer", 1, true);
    driver->then([](DialogDriver& d) { d.type(IDC_SONGS, "4"); });
    driver->then([](DialogDriver& d) { d.click(IDC_START_STOP); });
    driver->then([this](DialogDriver& d) {
        EXPECT_EQ(enabledStates(d), IdleSongs);
        EXPECT_EQ(d.text(IDC_START_STOP), "start now");
        // Saved all the same, before arming was tried.
        EXPECT_EQ(readSettingsBytes(), settingsBytes(1, 1, 3, 4, 10));
        d.escape();
    });
    open();
    EXPECT_TRUE(boxes().empty());
    EXPECT_EQ(host->liveTimers(), 0);
}

TEST_F(DialogTest, ClosingAnIdleDialogSavesWhatItHoldsZerosIncluded) {
    startPlugin();
    driver->then([](DialogDriver& d) {
        d.paste(IDC_SONGS, "");
        d.click(IDC_COUNT_MINUTES);
        d.paste(IDC_MINUTES, "0");
        d.click(IDC_QUIT_PLAYER);
    });
    driver->then([](DialogDriver& d) { d.escape(); });
    open();
    EXPECT_TRUE(boxes().empty());
    EXPECT_EQ(host->liveTimers(), 0);
    EXPECT_EQ(readSettingsBytes(), settingsBytes(2, 1, 2, 0, 0));

    // The close box (the system menu's Close) and Alt+F4 close the same way.
    driver->then([](DialogDriver& d) {
        d.paste(IDC_MINUTES, "6");
        d.systemCommand(SC_CLOSE);
    });
    open();
    EXPECT_EQ(readSettingsBytes(), settingsBytes(2, 1, 2, 0, 6));
    driver->then([](DialogDriver& d) {
        d.paste(IDC_MINUTES, "8");
        d.press(VK_F4, true);
    });
    open();
    EXPECT_EQ(readSettingsBytes(), settingsBytes(2, 1, 2, 0, 8));
    EXPECT_TRUE(boxes().empty());
}

TEST_F(DialogTest, ClosingARunningDialogSavesNothingAndTheCountdownGoesOn) {
    startPlaying(CountMode::Minutes, StopMethod::WaitForSongEnd, FinalAction::StopPlaying, 3, 5);
    std::vector<unsigned char> saved = readSettingsBytes();
    host->ticks(TicksPerMinute);
    driver->then([](DialogDriver& d) {
        EXPECT_EQ(d.text(IDC_MINUTES), "4");
        d.escape();
    });
    open();
    EXPECT_EQ(readSettingsBytes(), saved);
    EXPECT_EQ(host->liveTimers(), 1);
    driver->then([](DialogDriver& d) {
        EXPECT_EQ(d.text(IDC_START_STOP), "stop");
        EXPECT_EQ(enabledStates(d), Running);
        d.escape();
    });
    open();
    EXPECT_EQ(readSettingsBytes(), saved);
}

TEST_F(DialogTest, StopThenCloseSavesTheRemainingCounts) {
    startPlaying(CountMode::Minutes, StopMethod::StopNow, FinalAction::StopPlaying, 3, 5);
    host->ticks(2 * TicksPerMinute);
    driver->then([](DialogDriver& d) {
        EXPECT_EQ(d.text(IDC_MINUTES), "3");
        d.click(IDC_START_STOP);
    });
    driver->then([this](DialogDriver& d) {
        EXPECT_EQ(host->liveTimers(), 0);
        EXPECT_EQ(enabledStates(d), IdleMinutes);
        EXPECT_EQ(d.text(IDC_START_STOP), "start now");
        EXPECT_EQ(d.text(IDC_MINUTES), "3");  // not reloaded
        d.escape();
    });
    open();
    EXPECT_EQ(readSettingsBytes(), settingsBytes(2, 3, 1, 3, 3));
    EXPECT_TRUE(boxes().empty());
}

TEST_F(DialogTest, OpenDialogFollowsTheEngineTicks) {
    startPlaying(CountMode::Minutes, StopMethod::ShadeOut, FinalAction::HaltComputer, 3, 3);
    driver->then([](DialogDriver& d) { d.tick(TicksPerMinute); });
    driver->then([](DialogDriver& d) {
        EXPECT_EQ(d.text(IDC_MINUTES), "2");
        d.tick(TicksPerMinute - 1);
    });
    driver->then([](DialogDriver& d) {
        EXPECT_EQ(d.text(IDC_MINUTES), "2");
        d.tick(1);
    });
    driver->then([](DialogDriver& d) {
        EXPECT_EQ(d.text(IDC_MINUTES), "1");
        EXPECT_EQ(enabledStates(d), Running);
        d.escape();
    });
    open();
    EXPECT_EQ(linesLike("post 1025 1 0"), 2);
}

// Every end that leaves the player running (stop playing, a refused
// power-off, a computer awake again after its sleep, an action outside the
// list) turns the open dialog idle with the saved counts: its button then
// starts, and nothing runs until pressed.

}  // namespace
