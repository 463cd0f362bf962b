// The dialog's life beside the countdown's and the player's: every end,
// endings out of reach, a second request, the About box, and quits that
// come while it is open.

#include "dialog/tests/DialogFixture.h"

namespace {

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
        const std::string idle = std::string("eeeee-ee----eeeee") + c.endings + "e";
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
        EXPECT_EQ(enabledStates(d), "eeeee-ee----eeeee--e");
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
    startPlaying(CountMode::Minutes, StopMethod::WaitForSongEnd, FinalAction::StopPlaying, 3, 5);
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
    startPlaying(CountMode::Minutes, StopMethod::StopNow, FinalAction::QuitPlayer, 3, 1);
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

}  // namespace
