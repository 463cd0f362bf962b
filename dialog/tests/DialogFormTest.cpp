// The dialog's form: what it shows, its radio sets, keys and fields.

#include "dialog/tests/DialogFixture.h"

namespace {

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

// A stored record opens as it stands; choices outside the lists fall back
// to the defaults, which a close then saves.
TEST_F(DialogTest, StoredChoicesOpenAsTheyStandOrFallBackToTheDefaults) {
    const struct {
        std::vector<int> stored;    // count mode, stop method, final action, songs, minutes
        const char* states;
        const char* checked;
        const char* songs;
        std::vector<unsigned char> saved;
    } rows[] = {
        {{2, 2, 1, INT32_MIN, 25}, IdleMinutes, "minutes fade stop-playing", "-2147483648",
         settingsBytes(2, 2, 1, INT32_MIN, 25)},
        {{0, 9, 7, -5, 25}, IdleSongs, "songs wait halt", "-5", settingsBytes(1, 1, 3, -5, 25)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.checked);
        restartHost();
        writeSettings(row.stored[0], row.stored[1], row.stored[2], row.stored[3], row.stored[4]);
        startPlugin();
        driver->then([&](DialogDriver& d) {
            EXPECT_EQ(enabledStates(d), row.states);
            EXPECT_EQ(checkedButtons(d), row.checked);
            EXPECT_EQ(d.text(IDC_SONGS), row.songs);
            EXPECT_EQ(d.text(IDC_MINUTES), "25");
            d.escape();
        });
        open();
        EXPECT_EQ(readSettingsBytes(), row.saved);
    }
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

// The six endings are one set: the arrow keys reach each of them, check
// the one they reach, and closing saves it.
TEST_F(DialogTest, ArrowsReachAllSixEndings) {
    startPlugin();
    driver->then([](DialogDriver& d) { d.tab(); });
    driver->then([](DialogDriver& d) { d.tab(); });  // to the checked ending
    std::vector<std::string> reached;
    const UINT keys[] = {VK_DOWN, VK_DOWN, VK_UP, VK_UP, VK_UP, VK_UP, VK_UP, 0};  // 0: Esc instead
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
                                                 "1017 songs wait pause", "1008 songs wait stop-playing"}));
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
    auto tabThrough = [&](int stops) {
        for (int i = 0; i < stops; ++i) {
            driver->then([&](DialogDriver& d) {
                visited.push_back(d.focusedId());
                d.tab();
            });
        }
    };
    tabThrough(5);
    driver->then([&](DialogDriver& d) {
        EXPECT_EQ(visited, (std::vector<int>{IDC_COUNT_SONGS, IDC_SONGS, IDC_HALT_COMPUTER, IDC_START_STOP,
                                             IDC_COUNT_SONGS}));
        // The focus is the system's to set, on the first stop: the dialog
        // answered WM_INITDIALOG with TRUE.
        EXPECT_EQ(host->initDialogAnswers, std::vector<INT_PTR>{TRUE});
        visited.clear();
        d.click(IDC_COUNT_MINUTES);
    });
    tabThrough(6);
    driver->then([&](DialogDriver& d) {
        EXPECT_EQ(visited, (std::vector<int>{IDC_COUNT_MINUTES, IDC_MINUTES, IDC_WAIT_SONG_END, IDC_FADE_LENGTH,
                                             IDC_HALT_COMPUTER, IDC_START_STOP}));
        EXPECT_EQ(d.focusedId(), IDC_COUNT_MINUTES);
        for (int i = 0; i < 5; ++i) {
            d.tab();
        }
    });
    driver->then([](DialogDriver& d) {
        EXPECT_EQ(d.focusedId(), IDC_START_STOP);
        d.enter();
    });
    open();
    EXPECT_EQ(host->liveTimers(), 1) << "Enter on the focused button starts the countdown";
    EXPECT_EQ(readSettingsBytes(), settingsBytes(2, 1, 3, 3, 10));
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
