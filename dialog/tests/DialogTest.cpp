// The configuration dialog driven as a user drives it: the real module, the
// system's dialog manager, clicks, keys and pasted text; checked through what
// the user sees and what reaches the settings file and the engine.

#include <gtest/gtest-spi.h>

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "dialog/resource.h"
#include "host/DialogDriver.h"
#include "settings/Settings.h"
#include "tests/HostFixture.h"

namespace {

const int TicksPerMinute = 120;

const char SongsZero[] = "Songs should not be ZERO under current configuration! :)";
const char NothingPlays[] = "Nightcap MAY NOT work as you expect! \nBecause no songs are singing NOW! :)";
const char MinutesZeroSilent[] =
    "Minutes should not be ZERO under current configuration,\nbecause no songs are singing NOW! :)";
const char MinutesZero[] = "Minutes should not be ZERO under current configuration! :)";

// Each control's enabled state, 'e' or '-', in template order (the id-less
// group box and labels included).
std::string enabledStates(DialogDriver& d) {
    std::string states;
    for (HWND child = GetWindow(d.dialog(), GW_CHILD); child != NULL; child = GetWindow(child, GW_HWNDNEXT)) {
        states += IsWindowEnabled(child) ? 'e' : '-';
    }
    return states;
}

const char IdleSongs[] = "eeeee-ee---eeeeeee";
const char IdleMinutes[] = "eeee-eeeeeeeeeeeee";
const char Running[] = "ee---------e-----e";

// The checked radio buttons, by name.
std::string checkedButtons(DialogDriver& d) {
    static const struct {
        int id;
        const char* name;
    } buttons[] = {
        {IDC_COUNT_SONGS, "songs"},    {IDC_COUNT_MINUTES, "minutes"},    {IDC_WAIT_SONG_END, "wait"},
        {IDC_FADE_OUT, "fade"},        {IDC_STOP_NOW, "stop-now"},        {IDC_STOP_PLAYING, "stop-playing"},
        {IDC_QUIT_PLAYER, "quit"},     {IDC_HALT_COMPUTER, "halt"},       {IDC_SLEEP, "sleep"},
        {IDC_HIBERNATE, "hibernate"},
    };
    std::string names;
    for (const auto& button : buttons) {
        if (d.checked(button.id)) {
            names += names.empty() ? "" : " ";
            names += button.name;
        }
    }
    return names;
}

class DialogTest : public HostFixture {
protected:
    void SetUp() override {
        HostFixture::SetUp();
        driver.reset(new DialogDriver(playerWindow->handle(), host.get()));
    }

    // Opens the dialog as the player does, playing the queued steps.
    void open() {
        driver->run([this] { host->config(); });
    }

    // A fresh host, and a driver that ticks it, for the next start.
    void restartHost() {
        host.reset(new PluginHost());
        driver.reset(new DialogDriver(playerWindow->handle(), host.get()));
    }

    std::vector<TraceEvent> boxes() const { return host->trace.ofKind(TraceEvent::MessageBox); }

    // The one box shown, as the dialog's boxes all are: owned by the dialog,
    // an OK button and no icon (MB_OK, 0), ANSI texts.
    void expectOneBox(const std::string& caption, const std::string& text, HWND dialog) const {
        std::vector<TraceEvent> shown = boxes();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].caption, caption);
        EXPECT_EQ(shown[0].text, text);
        EXPECT_EQ(shown[0].message, 0u) << "MB_OK, no icon";
        EXPECT_EQ(shown[0].window, dialog) << "owned by the dialog";
        EXPECT_FALSE(shown[0].wide);
    }

    int linesLike(const std::string& line) const {
        std::vector<std::string> lines = host->trace.lines();
        return static_cast<int>(std::count(lines.begin(), lines.end(), line));
    }

    // Starts a countdown through the dialog with the settings already saved.
    void startFromDialog() {
        driver->then([](DialogDriver& d) { d.click(IDC_START_STOP); });
        open();
        ASSERT_EQ(host->liveTimers(), 1);
    }

    std::unique_ptr<DialogDriver> driver;
};

TEST_F(DialogTest, DriverEndsAForgottenDialogAndFailsTheTest) {
    startPlugin();
    driver->then([](DialogDriver&) {});
    ::testing::TestPartResultArray failures;
    {
        ::testing::ScopedFakeTestPartResultReporter reporter(
            ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &failures);
        open();
    }
    ASSERT_EQ(failures.size(), 1);
    EXPECT_NE(std::string(failures.GetTestPartResult(0).message()).find("still open after the last step"),
              std::string::npos);
    EXPECT_EQ(driver->openDialogs(), 0);
}

TEST_F(DialogTest, IdleScreenFollowsTheCountMode) {
    startPlugin();  // no settings file: the defaults
    driver->then([](DialogDriver& d) {
        EXPECT_EQ(d.caption(), "Nightcap v2.0");
        EXPECT_EQ(enabledStates(d), IdleSongs);
        EXPECT_EQ(checkedButtons(d), "songs wait halt");
        EXPECT_EQ(d.text(IDC_SONGS), "3");
        EXPECT_EQ(d.text(IDC_MINUTES), "10");
        EXPECT_EQ(d.text(IDC_START_STOP), "start now");
        d.click(IDC_COUNT_MINUTES);
    });
    driver->then([](DialogDriver& d) {
        EXPECT_EQ(enabledStates(d), IdleMinutes);
        EXPECT_EQ(checkedButtons(d), "minutes wait halt");
        d.click(IDC_COUNT_MINUTES);  // the current mode again: nothing changes
    });
    driver->then([](DialogDriver& d) {
        EXPECT_EQ(enabledStates(d), IdleMinutes);
        EXPECT_EQ(checkedButtons(d), "minutes wait halt");
        d.click(IDC_COUNT_SONGS);
    });
    driver->then([](DialogDriver& d) {
        EXPECT_EQ(enabledStates(d), IdleSongs);
        EXPECT_EQ(checkedButtons(d), "songs wait halt");
        EXPECT_EQ(d.text(IDC_START_STOP), "start now");
        d.escape();
    });
    open();
    EXPECT_TRUE(boxes().empty());
}

TEST_F(DialogTest, StoredMinutesModeOpensWithTheMinutesGroup) {
    writeSettings(CountMode::Minutes, StopMethod::ShadeOut, FinalAction::StopPlaying, INT32_MIN, 25);
    startPlugin();
    driver->then([](DialogDriver& d) {
        EXPECT_EQ(enabledStates(d), IdleMinutes);
        EXPECT_EQ(checkedButtons(d), "minutes fade stop-playing");
        EXPECT_EQ(d.text(IDC_SONGS), "-2147483648");
        EXPECT_EQ(d.text(IDC_MINUTES), "25");
        d.escape();
    });
    open();
    EXPECT_EQ(readSettingsBytes(), settingsBytes(2, 2, 1, INT32_MIN, 25));
}

TEST_F(DialogTest, UnknownStoredChoicesFallBackToTheDefaults) {
    writeSettings(0, 9, 7, -5, 2147483647);
    startPlugin();
    driver->then([](DialogDriver& d) {
        EXPECT_EQ(enabledStates(d), IdleSongs);
        EXPECT_EQ(checkedButtons(d), "songs wait halt");
        EXPECT_EQ(d.text(IDC_SONGS), "-5");
        EXPECT_EQ(d.text(IDC_MINUTES), "2147483647");
        d.escape();
    });
    open();
    EXPECT_EQ(readSettingsBytes(), settingsBytes(1, 1, 3, -5, 2147483647));
}

TEST_F(DialogTest, EachRadioSetIsExclusiveOnItsOwn) {
    writeSettings(CountMode::Minutes, StopMethod::WaitForSongEnd, FinalAction::HaltComputer, 3, 10);
    startPlugin();
    driver->then([](DialogDriver& d) { d.click(IDC_FADE_OUT); });
    driver->then([](DialogDriver& d) {
        EXPECT_EQ(checkedButtons(d), "minutes fade halt");
        d.click(IDC_QUIT_PLAYER);
    });
    driver->then([](DialogDriver& d) {
        EXPECT_EQ(checkedButtons(d), "minutes fade quit");
        d.click(IDC_STOP_NOW);
        d.click(IDC_STOP_PLAYING);
    });
    driver->then([](DialogDriver& d) {
        EXPECT_EQ(checkedButtons(d), "minutes stop-now stop-playing");
        d.escape();
    });
    open();
    EXPECT_EQ(readSettingsBytes(), settingsBytes(2, 3, 1, 3, 10));
}

// The five endings are one set: the arrow keys reach each of them, check
// the one they reach, and closing saves it.
TEST_F(DialogTest, ArrowsReachAllFiveEndings) {
    startPlugin();
    driver->then([](DialogDriver& d) { d.tab(); });
    driver->then([](DialogDriver& d) { d.tab(); });  // to the checked ending
    std::vector<std::string> reached;
    const UINT keys[] = {VK_DOWN, VK_DOWN, VK_UP, VK_UP, VK_UP, VK_UP, 0};  // 0: Esc instead
    for (UINT key : keys) {
        driver->then([&reached, key](DialogDriver& d) {
            reached.push_back(std::to_string(d.focusedId()) + " " + checkedButtons(d));
            if (key != 0) {
                d.press(key);
            } else {
                d.escape();
            }
        });
    }
    open();
    EXPECT_EQ(reached, (std::vector<std::string>{"1010 songs wait halt", "1014 songs wait sleep",
                                                 "1015 songs wait hibernate", "1014 songs wait sleep",
                                                 "1010 songs wait halt", "1009 songs wait quit",
                                                 "1008 songs wait stop-playing"}));
    EXPECT_EQ(readSettingsBytes(), settingsBytes(1, 1, 1, 3, 10));
}

TEST_F(DialogTest, NumberFieldsTakeDigitsOnlyAndEnterDoesNothing) {
    startPlugin();
    driver->then([](DialogDriver& d) { d.type(IDC_SONGS, "a-1x2 "); });
    driver->then([](DialogDriver& d) {
        EXPECT_EQ(d.text(IDC_SONGS), "12");
        EXPECT_EQ(d.focusedId(), IDC_SONGS);
        d.enter();
    });
    driver->then([](DialogDriver& d) {
        // Command 1 is ignored: still open, idle, nothing asked or shown.
        EXPECT_EQ(d.openDialogs(), 1);
        EXPECT_EQ(d.text(IDC_START_STOP), "start now");
        d.escape();
    });
    open();
    EXPECT_TRUE(boxes().empty());
    EXPECT_EQ(host->liveTimers(), 0);
    EXPECT_EQ(readSettingsBytes(), settingsBytes(1, 1, 3, 12, 10));
}

// The template makes only the two fields and the button tab stops; checking a
// radio button makes it one as well (the system's button does that), so the
// checked, enabled button of each set is reached too, and greyed controls never.
TEST_F(DialogTest, TabVisitsEnabledStopsOnlyAndEnterPressesTheButton) {
    startPlugin();
    std::vector<int> visited;
    for (int i = 0; i < 5; ++i) {
        driver->then([&](DialogDriver& d) {
            visited.push_back(d.focusedId());
            d.tab();
        });
    }
    driver->then([&](DialogDriver& d) {
        EXPECT_EQ(visited, (std::vector<int>{IDC_COUNT_SONGS, IDC_SONGS, IDC_HALT_COMPUTER, IDC_START_STOP,
                                             IDC_COUNT_SONGS}));
        // The focus is the system's to set, on the first stop: the dialog
        // answered WM_INITDIALOG with TRUE.
        EXPECT_EQ(host->initDialogAnswers, std::vector<INT_PTR>{TRUE});
        visited.clear();
        d.click(IDC_COUNT_MINUTES);
    });
    for (int i = 0; i < 5; ++i) {
        driver->then([&](DialogDriver& d) {
            visited.push_back(d.focusedId());
            d.tab();
        });
    }
    driver->then([&](DialogDriver& d) {
        EXPECT_EQ(visited, (std::vector<int>{IDC_COUNT_MINUTES, IDC_MINUTES, IDC_WAIT_SONG_END, IDC_HALT_COMPUTER,
                                             IDC_START_STOP}));
        EXPECT_EQ(d.focusedId(), IDC_COUNT_MINUTES);
        d.tab();
        d.tab();
        d.tab();
        d.tab();
    });
    driver->then([](DialogDriver& d) {
        EXPECT_EQ(d.focusedId(), IDC_START_STOP);
        d.enter();
    });
    open();
    EXPECT_EQ(host->liveTimers(), 1) << "Enter on the focused button starts the countdown";
    EXPECT_EQ(readSettingsBytes(), settingsBytes(2, 1, 3, 3, 10));
}

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
        startPlugin();
        if (refusal.playing) {
            player.play();
        } else {
            player.stop();
        }
        host->trace.clear();
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
        startPlugin();
        if (start.playing) {
            player.play();
        } else {
            player.stop();
        }
        host->trace.clear();
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
    writeSettings(CountMode::Minutes, StopMethod::WaitForSongEnd, FinalAction::StopPlaying, 3, 5);
    player.play();
    startPlugin();
    startFromDialog();
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
    writeSettings(CountMode::Minutes, StopMethod::StopNow, FinalAction::StopPlaying, 3, 5);
    player.play();
    startPlugin();
    startFromDialog();
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
    writeSettings(CountMode::Minutes, StopMethod::ShadeOut, FinalAction::HaltComputer, 3, 3);
    player.play();
    startPlugin();
    startFromDialog();
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
TEST_F(DialogTest, EveryEndThePlayerOutlivesLeavesTheOpenDialogIdle) {
    for (int action : {FinalAction::StopPlaying, FinalAction::HaltComputer, FinalAction::Sleep, 6}) {
        SCOPED_TRACE(action);
        restartHost();
        writeSettings(CountMode::Minutes, StopMethod::StopNow, action, 3, 1);
        player.play();
        startPlugin();
        host->powerOffSucceeds = false;
        startFromDialog();
        driver->then([](DialogDriver& d) { d.tick(TicksPerMinute); });
        driver->then([this](DialogDriver& d) {
            EXPECT_EQ(d.text(IDC_MINUTES), "0");
            host->trace.clear();
            d.tick();  // the end: stop the song, finish
        });
        driver->then([this](DialogDriver& d) {
            EXPECT_EQ(enabledStates(d), IdleMinutes);
            EXPECT_EQ(d.text(IDC_START_STOP), "start now");
            EXPECT_EQ(d.text(IDC_MINUTES), "1");  // as reloaded from the file
            EXPECT_EQ(host->liveTimers(), 0);
            d.click(IDC_START_STOP);
        });
        open();
        std::vector<std::string> posts;
        for (const TraceEvent& event : host->trace.ofKind(TraceEvent::Post)) {
            posts.push_back(Trace::describe(event));
        }
        EXPECT_EQ(posts, (std::vector<std::string>{"post 1025 2 0", "post 1025 1 0"}));
        EXPECT_EQ(host->liveTimers(), 1) << "started by the button";
    }

    // Should the news of the end not reach it, "stop" still stops nothing
    // and starts nothing: the press only shows the idle form.
    restartHost();
    writeSettings(CountMode::Minutes, StopMethod::StopNow, FinalAction::HaltComputer, 3, 1);
    startPlugin();
    host->powerOffSucceeds = false;
    startFromDialog();
    driver->then([this](DialogDriver& d) {
        host->failCall("PostMessageA", 1, true);
        d.tick(TicksPerMinute + 1);
    });
    driver->then([](DialogDriver& d) {
        EXPECT_EQ(d.text(IDC_START_STOP), "stop");
        d.click(IDC_START_STOP);
    });
    driver->then([this](DialogDriver& d) {
        EXPECT_EQ(enabledStates(d), IdleMinutes);
        EXPECT_EQ(d.text(IDC_START_STOP), "start now");
        EXPECT_EQ(d.text(IDC_MINUTES), "1");
        EXPECT_EQ(host->liveTimers(), 0);
        d.escape();
    });
    open();
}

// An ending this computer cannot make is greyed. Chosen before, it stays
// selected, "start now" refuses it with a box that says why, and closing
// saves the choice unchanged; nothing else is chosen instead. When the
// system does not say what it can do, nothing is greyed.
TEST_F(DialogTest, EndingsThisComputerCannotMake) {
    struct Computer {
        const char* name;
        std::function<void(PluginHost&)> set;
        const char* endings;  // Sleep and Hibernate: enabled or greyed on the idle form
        int saved;
        const char* refusal;  // what "start now" says; null: it starts
    };
    const Computer computers[] = {
        {"hibernation turned off", [](PluginHost& h) { h.hibernationFile = false; }, "e-", FinalAction::Hibernate,
         "Hibernate cannot be used on this computer: hibernation is turned off. Choose another ending."},
        {"no S4", [](PluginHost& h) { h.hibernation = false; }, "e-", FinalAction::Hibernate,
         "Hibernate cannot be used on this computer: it cannot hibernate. Choose another ending."},
        {"neither sleep nor hibernation",
         [](PluginHost& h) {
             h.sleepStates = false;
             h.hibernation = false;
         },
         "--", FinalAction::Sleep, "Sleep cannot be used on this computer: it has no sleep state. Choose another ending."},
        {"Modern Standby",
         [](PluginHost& h) {
             h.sleepStates = false;
             h.modernStandby = true;
         },
         "ee", FinalAction::Sleep, nullptr},
        {"no answer",
         [](PluginHost& h) {
             h.sleepStates = false;
             h.hibernation = false;
             h.failCall("GetPwrCapabilities", 1, true);
         },
         "ee", FinalAction::Hibernate, nullptr},
    };
    for (const Computer& c : computers) {
        SCOPED_TRACE(c.name);
        restartHost();
        writeSettings(CountMode::Songs, StopMethod::WaitForSongEnd, c.saved, 3, 10);
        player.play();
        startPlugin();
        c.set(*host);
        const std::string idle = std::string("eeeee-ee---eeee") + c.endings + "e";
        const std::string checked = c.saved == FinalAction::Sleep ? "songs wait sleep" : "songs wait hibernate";
        HWND shown = NULL;
        driver->then([&](DialogDriver& d) {
            shown = d.dialog();
            EXPECT_EQ(enabledStates(d), idle);
            EXPECT_EQ(checkedButtons(d), checked);
            d.click(IDC_START_STOP);
        });
        if (c.refusal != nullptr) {
            driver->then([&](DialogDriver& d) {
                EXPECT_EQ(enabledStates(d), idle);
                EXPECT_EQ(checkedButtons(d), checked);
                d.escape();
            });
        }
        open();
        if (c.refusal == nullptr) {
            EXPECT_TRUE(boxes().empty());
            EXPECT_EQ(host->liveTimers(), 1);
            continue;
        }
        expectOneBox("!mistake", c.refusal, shown);
        EXPECT_EQ(host->liveTimers(), 0);
        EXPECT_EQ(readSettingsBytes(), settingsBytes(1, 1, c.saved, 3, 10));
    }

    // The form's greying and the computer's combine: running, every ending
    // is greyed; stopped, those this computer cannot make stay greyed.
    restartHost();
    writeSettings(CountMode::Songs, StopMethod::WaitForSongEnd, FinalAction::HaltComputer, 3, 10);
    player.play();
    startPlugin();
    host->sleepStates = false;
    host->hibernation = false;
    startFromDialog();
    driver->then([](DialogDriver& d) {
        EXPECT_EQ(enabledStates(d), Running);
        d.click(IDC_START_STOP);
    });
    driver->then([](DialogDriver& d) {
        EXPECT_EQ(enabledStates(d), "eeeee-ee---eeee--e");
        d.escape();
    });
    open();
}

TEST_F(DialogTest, SecondConfigWhileOpenIsTurnedAway) {
    startPlugin();
    driver->then([](DialogDriver& d) {
        d.type(IDC_SONGS, "5");
    });
    driver->then([this](DialogDriver& d) {
        HWND first = d.dialog();
        host->config();  // returns at once
        EXPECT_EQ(d.openDialogs(), 1);
        EXPECT_EQ(d.dialog(), first);
    });
    driver->then([](DialogDriver& d) {
        EXPECT_EQ(d.text(IDC_SONGS), "5");
        EXPECT_EQ(enabledStates(d), IdleSongs);
        d.escape();
    });
    open();
    EXPECT_EQ(readSettingsBytes(), settingsBytes(1, 1, 3, 5, 10));
}

TEST_F(DialogTest, SystemMenuAboutEntry) {
    startPlugin();
    HWND shown = NULL;
    driver->then([&](DialogDriver& d) {
        shown = d.dialog();
        HMENU menu = GetSystemMenu(d.dialog(), FALSE);
        int count = GetMenuItemCount(menu);
        ASSERT_GE(count, 2);
        MENUITEMINFOA separator = {};
        separator.cbSize = sizeof separator;
        separator.fMask = MIIM_FTYPE;
        ASSERT_TRUE(GetMenuItemInfoA(menu, static_cast<UINT>(count - 2), TRUE, &separator));
        EXPECT_TRUE(separator.fType & MFT_SEPARATOR);
        EXPECT_EQ(GetMenuItemID(menu, count - 1), static_cast<UINT>(IDM_ABOUT));
        char text[64] = {};
        GetMenuStringA(menu, static_cast<UINT>(count - 1), text, sizeof text, MF_BYPOSITION);
        EXPECT_STREQ(text, "About Nightcap(&A)...");
        d.systemCommand(IDM_ABOUT);
    });
    driver->then([](DialogDriver& d) { d.escape(); });
    open();
    expectOneBox("About Nightcap v2.0",
                 "Nightcap v2.0\n\nAuthor : The Nightcap project\nContact: nightcap@example.org\n"
                 "         https://nightcap.example.org/",
                 shown);
}

// A quit message ends the modal loop without the dialog's own closing paths.
TEST_F(DialogTest, QuitMessageWhileOpenLeavesNoDialogMarkedOpenNorAttached) {
    writeSettings(CountMode::Minutes, StopMethod::WaitForSongEnd, FinalAction::StopPlaying, 3, 5);
    player.play();
    startPlugin();
    startFromDialog();
    std::vector<unsigned char> saved = readSettingsBytes();
    driver->then([](DialogDriver&) { PostQuitMessage(0); });
    open();
    EXPECT_TRUE(takeQuitMessage()) << "the quit stays for the player's own loop";
    EXPECT_EQ(driver->openDialogs(), 0);

    host->trace.clear();
    host->ticks(TicksPerMinute);  // a count change: nothing may be posted to the dead window
    EXPECT_EQ(host->trace.ofKind(TraceEvent::Post).size(), 0u);

    driver->then([](DialogDriver& d) {
        EXPECT_EQ(d.text(IDC_MINUTES), "4");
        EXPECT_EQ(d.text(IDC_START_STOP), "stop");
        d.escape();
    });
    open();
    EXPECT_EQ(readSettingsBytes(), saved);
}

TEST_F(DialogTest, QuitPlayerFinishWhileOpenLetsTheDialogOpenAgain) {
    writeSettings(CountMode::Minutes, StopMethod::StopNow, FinalAction::QuitPlayer, 3, 1);
    player.play();
    startPlugin();
    startFromDialog();
    driver->then([](DialogDriver& d) { d.tick(TicksPerMinute); });
    driver->then([](DialogDriver& d) { d.tick(); });  // finish: quit the player
    open();
    EXPECT_TRUE(takeQuitMessage());
    EXPECT_EQ(host->liveTimers(), 0);
    driver->then([](DialogDriver& d) {
        EXPECT_EQ(enabledStates(d), IdleMinutes);
        EXPECT_EQ(d.text(IDC_MINUTES), "1");
        d.escape();
    });
    open();
}

// The player quits its plug-ins from its window procedure, which runs inside
// the open dialog's loop: at the end of a Windows session, or when closed
// from its tray icon. Whatever the user or the player does next, nothing
// may act: no file, no timer, no message, no touch of a freed object (the
// guard heap faults at once), and pluginConfig returns.
class QuitInsideTheDialogTest : public DialogTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(QuitInsideTheDialogTest, EndsEverythingWhateverFollows) {
    const std::string follows = GetParam();
    writeSettings(CountMode::Songs, StopMethod::WaitForSongEnd, FinalAction::HaltComputer, 2, 10);
    if (follows != "quit-during-notice") {
        player.play();  // no box on the way
    }
    loadPlugin();
    std::set<void*> runtimeBlocks = host->liveAllocations;
    ASSERT_EQ(host->init(), 0);
    std::vector<unsigned char> saved = readSettingsBytes();
    referencesKept = 1;  // the module keeps itself loaded, for the player may unload it
    size_t quitAt = 0;
    auto quit = [&] {
        host->quit();
        quitAt = host->trace.events.size();
    };
    host->onMessageBox = [&](const TraceEvent&) { quit(); };
    driver->then([&](DialogDriver& d) {
        d.paste(IDC_SONGS, "5");  // what a save would write
        if (follows == "quit-during-notice") {
            d.click(IDC_START_STOP);
            return;
        }
        quit();
        // Sent, as the dialog manager sends Esc: a key posted now would find
        // the dialog already ended.
        if (follows == "esc") {
            SendMessageA(d.dialog(), WM_COMMAND, IDCANCEL, 0);
        } else if (follows == "start-now") {
            d.click(IDC_START_STOP);
        } else if (follows == "player-window-destroyed") {
            DestroyWindow(playerWindow->handle());
        } else if (follows == "unload") {
            host->releaseModule();
            SendMessageA(d.dialog(), WM_COMMAND, IDCANCEL, 0);
        }
    });
    open();

    ASSERT_GT(quitAt, 0u);
    for (size_t i = quitAt; i < host->trace.events.size(); ++i) {
        EXPECT_EQ(host->trace.events[i].text, "free") << "after quit: " << Trace::describe(host->trace.events[i]);
    }
    EXPECT_EQ(host->liveAllocations, runtimeBlocks) << "the objects are freed once pluginConfig returned";
    EXPECT_EQ(host->liveTimers(), 0);
    EXPECT_EQ(readSettingsBytes(), saved);
    EXPECT_EQ(filesInFolder(), std::vector<std::string>{"gen_nightcap.dat"});
    EXPECT_EQ(driver->openDialogs(), 0);
}

INSTANTIATE_TEST_SUITE_P(Follows, QuitInsideTheDialogTest,
                         ::testing::Values("esc", "start-now", "player-window-destroyed", "quit-during-notice",
                                           "unload"),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string name = info.param;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

TEST_F(DialogTest, DialogThatCannotBeCreatedDoesNotBlockTheNext) {
    startPlugin();
    HINSTANCE module = host->descriptor()->moduleInstance;
    host->descriptor()->moduleInstance = GetModuleHandleA(NULL);  // holds no dialog template
    host->config();
    host->descriptor()->moduleInstance = module;
    driver->then([](DialogDriver& d) {
        EXPECT_EQ(d.text(IDC_START_STOP), "start now");
        d.escape();
    });
    open();
    EXPECT_EQ(readSettingsBytes(), settingsBytes(1, 1, 3, 3, 10));
}

// Should the system refuse to end the dialog, it stays open and usable, still
// following the countdown, and once it does close the next one opens.
TEST_F(DialogTest, ARefusedEndKeepsTheDialogOpenAndUsable) {
    writeSettings(CountMode::Minutes, StopMethod::StopNow, FinalAction::StopPlaying, 3, 2);
    player.play();
    startPlugin();
    host->failCall("EndDialog");
    driver->then([](DialogDriver& d) { d.click(IDC_START_STOP); });
    driver->then([](DialogDriver& d) {
        EXPECT_EQ(enabledStates(d), Running);
        d.tick(TicksPerMinute);
    });
    driver->then([](DialogDriver& d) {
        EXPECT_EQ(d.text(IDC_MINUTES), "1");
        d.escape();
    });
    open();
    EXPECT_EQ(host->liveTimers(), 1);
    driver->then([](DialogDriver& d) {
        EXPECT_EQ(d.text(IDC_START_STOP), "stop");
        d.escape();
    });
    open();
}

// The field is read as the count rules read text (their table has the
// rest), from its first 62 characters only; the module with undefined
// behaviour trapped.
TEST_F(DialogTest, FieldTextsAreReadFromTheirFirst62Characters) {
    const std::string zeros61(61, '0');
    const std::string blanks60(60, ' ');
    const struct {
        std::string songs;
        std::string minutes;
        int songsCount;
        int minutesCount;
    } readings[] = {
        {zeros61 + "12", blanks60 + "12", 1, 12},  // the 63rd character is not read
        {blanks60 + " 12", "12abc", 1, 12},
        {"-2147483648", "99999999999999999999", INT32_MIN, 0},
    };
    startPlugin("gen_Nightcap_checked.dll");
    for (const auto& reading : readings) {
        driver->then([&](DialogDriver& d) {
            d.click(IDC_COUNT_MINUTES);
            d.paste(IDC_MINUTES, reading.minutes);
            d.click(IDC_COUNT_SONGS);
            d.paste(IDC_SONGS, reading.songs);
            EXPECT_EQ(d.text(IDC_SONGS), reading.songs);
            d.escape();
        });
        open();
        EXPECT_EQ(readSettingsBytes(), settingsBytes(1, 1, 3, reading.songsCount, reading.minutesCount))
            << "songs '" << reading.songs << "' minutes '" << reading.minutes << "'";
    }
}

}  // namespace
