// The end: stop methods, final actions, power-off, sleep and hibernation.

#include "engine/tests/EngineFixture.h"

// --- stop methods (the fade has its own tests) ---

TEST_F(EngineTest, StopDirectlyOrNotAtAll) {
    playing(1000);
    startCountdown(CountMode::Minutes, StopMethod::StopNow, 9, 3, -1);
    setModuleSettings({3, -1, CountMode::Minutes, StopMethod::StopNow, 9});
    EXPECT_EQ(tick(), (Lines{"killtimer", StopSent}));
    for (int method : {0, 4, INT_MAX}) {
        restartHost();
        startCountdown(CountMode::Minutes, StopMethod::StopNow, FinalAction::StopPlaying, 3, -1);
        setModuleSettings({3, -1, CountMode::Minutes, method, 9});
        EXPECT_EQ(tick(), Lines{"killtimer"}) << "stop method " << method;
        EXPECT_FALSE(armed());
    }
}

// --- final actions ---

TEST_F(EngineTest, FinalActions) {
    playing(1000);
    // A songs count below 1 ends on the first tick, without asking the player.
    startCountdown(CountMode::Songs, StopMethod::WaitForSongEnd, FinalAction::StopPlaying, -1, 10);
    EXPECT_EQ(tick(), (Lines{"killtimer", StopSent}));
    EXPECT_EQ(startButtonAfterwards(), "start now");

    restartHost();
    playing(1000);
    startCountdown(CountMode::Songs, StopMethod::WaitForSongEnd, FinalAction::QuitPlayer, -1, 10);
    EXPECT_EQ(tick(), (Lines{"killtimer", "post 18 0 0"}));
    EXPECT_EQ(host->trace.events.back().window, playerWindow->handle());
    EXPECT_TRUE(takeQuitMessage());
    EXPECT_EQ(player.state, PlayerModel::Playing);

    restartHost();
    startCountdown(CountMode::Songs, StopMethod::WaitForSongEnd, FinalAction::HaltComputer, -1, 10);
    EXPECT_EQ(tick(), (Lines{"killtimer", StopSent, "opentoken", "adjustprivileges", "exitwindows 12"}));
    // What the system was asked for: the right to adjust the token, and the
    // shutdown privilege enabled.
    std::vector<TraceEvent> opened = host->trace.ofKind(TraceEvent::OpenToken);
    std::vector<TraceEvent> adjusted = host->trace.ofKind(TraceEvent::AdjustPrivileges);
    ASSERT_EQ(opened.size(), 1u);
    ASSERT_EQ(adjusted.size(), 1u);
    EXPECT_EQ(opened[0].message, static_cast<UINT>(TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY));
    EXPECT_EQ(adjusted[0].message, 1u) << "privilege count";
    EXPECT_EQ(adjusted[0].text, "SeShutdownPrivilege");
    EXPECT_EQ(adjusted[0].lParam, SE_PRIVILEGE_ENABLED);
    EXPECT_TRUE(host->tokenAccess.empty()) << "the token is closed again";
    EXPECT_EQ(startButtonAfterwards(), "start now");

    for (int action : {0, 7, INT_MIN}) {
        restartHost();
        startCountdown(CountMode::Songs, StopMethod::WaitForSongEnd, FinalAction::StopPlaying, -1, 10);
        setModuleSettings({-1, 10, CountMode::Songs, StopMethod::WaitForSongEnd, action});
        EXPECT_EQ(tick(), Lines{"killtimer"}) << "final action " << action;
        EXPECT_EQ(startButtonAfterwards(), "start now");
    }
}

// Where the module's folder takes the saves, the per-user folder is looked
// at once, at start-up, and never written: a start, a finish and a close
// leave it empty.
TEST_F(EngineTest, FinishRestoresTheSavedCountsWithoutWritingThem) {
    playing(240000);
    startCountdown(CountMode::Songs, StopMethod::WaitForSongEnd, FinalAction::StopPlaying, 3, 7);
    std::vector<unsigned char> saved = readSettingsBytes();
    play(10 + 396 + 464);  // three tracks end
    EXPECT_EQ(moduleSettings().songs, 0);
    play(1);
    EXPECT_FALSE(armed());
    LiveSettings after = moduleSettings();
    EXPECT_EQ(after.songs, 3);
    EXPECT_EQ(after.minutes, 7);
    EXPECT_EQ(readSettingsBytes(), saved);
    inDialog({[](DialogDriver& d) { d.escape(); }});
    EXPECT_EQ(host->callsOf("SHGetFolderPathA"), 1);
    EXPECT_EQ(host->callsOf("CreateDirectoryA"), 0);
    EXPECT_TRUE(filesIn(appData).empty());
}

// Another program holds the file as the countdown ends, or no save ever
// reached it: the counts shown are those the countdown started from, not the
// spent ones, and the file stays as it was.
TEST_F(EngineTest, FinishWithoutAFileToReadShowsTheStartingCounts) {
    for (bool held : {true, false}) {
        SCOPED_TRACE(held ? "held" : "gone");
        restartHost();
        playing(1000);
        startCountdown(CountMode::Minutes, StopMethod::StopNow, FinalAction::StopPlaying, 4, 2);
        std::vector<unsigned char> saved = readSettingsBytes();
        play(2 * 120);
        EXPECT_EQ(moduleSettings().minutes, 0);
        if (held) {
            ASSERT_TRUE(host->holdFile(settingsPath()));
        } else {
            DeleteFileA(settingsPath().c_str());
        }
        play(1);
        EXPECT_FALSE(armed());
        EXPECT_EQ(moduleSettings().minutes, 2);
        EXPECT_EQ(moduleSettings().songs, 4);
        if (held) {
            host->releaseFile(settingsPath());
            EXPECT_EQ(readSettingsBytes(), saved);
        }
    }
}

// --- power-off ---

TEST_F(EngineTest, PowerOffRefusals) {
    struct Case {
        bool tokenOpens;
        bool privilegeGranted;
        bool powerOffSucceeds;
        Lines expected;
    };
    const std::string privilegeBox = std::string("box error: ") + PrivilegeText;
    const std::string powerOffBox = std::string("box error: ") + PowerOffText;
    // Without the privilege the system refuses the power-off too.
    const Case cases[] = {
        {true, false, true, {"opentoken", "adjustprivileges", privilegeBox, "exitwindows 12", powerOffBox}},
        {true, true, false, {"opentoken", "adjustprivileges", "exitwindows 12", powerOffBox}},
        {false, true, false,
         {"opentoken", privilegeBox, "adjustprivileges", privilegeBox, "exitwindows 12", powerOffBox}},
    };
    for (const Case& c : cases) {
        restartHost();
        startCountdown(CountMode::Songs, StopMethod::WaitForSongEnd, FinalAction::HaltComputer, -1, 10);
        host->tokenOpens = c.tokenOpens;
        host->privilegeGranted = c.privilegeGranted;
        host->powerOffSucceeds = c.powerOffSucceeds;
        Lines expected = {"killtimer", StopSent};
        expected.insert(expected.end(), c.expected.begin(), c.expected.end());
        EXPECT_EQ(tick(), expected);
        for (const TraceEvent& box : host->trace.ofKind(TraceEvent::MessageBox)) {
            EXPECT_TRUE(box.wide);
            EXPECT_EQ(box.window, static_cast<HWND>(NULL));
            EXPECT_EQ(box.message, static_cast<UINT>(MB_OK));
            EXPECT_EQ(box.caption, "error");
        }
    }
}

// --- sleep and hibernation ---

// What the end sends the player and asks the system, in order, on each kind
// of computer and with each refusal. The dialog is open: its two notices come
// between the stop command and the request, and it is idle afterwards.
TEST_F(EngineTest, SleepAndHibernation) {
    const std::string sleepPrivilege =
        "box error: Nightcap could not put the computer to sleep: Windows did not give it the right to (the shutdown "
        "privilege). Please put the computer to sleep by hand.";
    const std::string sleepRefused =
        "box error: Nightcap could not put the computer to sleep: Windows refused. Please put the computer to sleep "
        "by hand.";
    const std::string hibernatePrivilege =
        "box error: Nightcap could not hibernate the computer: Windows did not give it the right to (the shutdown "
        "privilege). Please hibernate the computer by hand.";
    const std::string hibernateRefused =
        "box error: Nightcap could not hibernate the computer: Windows refused. Please hibernate the computer by hand.";
    const std::string sleepAsked = "setsuspendstate 0 1 0";  // sleep, force, wake events on
    const std::string hibernateAsked = "setsuspendstate 1 1 0";
    struct Case {
        const char* name;
        int action;
        std::function<void(PluginHost&)> computer;
        Lines system;  // after the stop command and the dialog's two notices
    };
    const Case cases[] = {
        {"sleep", FinalAction::Sleep, [](PluginHost&) {},
         {"powercapabilities", "opentoken", "adjustprivileges", sleepAsked}},
        {"hibernate", FinalAction::Hibernate, [](PluginHost&) {}, {"opentoken", "adjustprivileges", hibernateAsked}},
        {"sleep, privilege not held", FinalAction::Sleep, [](PluginHost& h) { h.privilegeGranted = false; },
         {"powercapabilities", "opentoken", "adjustprivileges", sleepAsked, sleepPrivilege}},
        {"sleep refused", FinalAction::Sleep, [](PluginHost& h) { h.suspendSucceeds = false; },
         {"powercapabilities", "opentoken", "adjustprivileges", sleepAsked, sleepRefused}},
        {"hibernate, token refused", FinalAction::Hibernate, [](PluginHost& h) { h.tokenOpens = false; },
         {"opentoken", "adjustprivileges", hibernateAsked, hibernatePrivilege}},
        {"hibernation turned off since the start", FinalAction::Hibernate,
         [](PluginHost& h) { h.hibernationFile = false; },
         {"opentoken", "adjustprivileges", hibernateAsked, hibernateRefused}},
        {"sleep on Modern Standby: the display off, nothing else", FinalAction::Sleep,
         [](PluginHost& h) {
             h.sleepStates = false;
             h.modernStandby = true;
         },
         {"powercapabilities", "displaypower 2 DefWindowProcA"}},
        {"sleep, capabilities unknown: the system is asked", FinalAction::Sleep,
         [](PluginHost& h) { h.failCall("GetPwrCapabilities"); },
         {"powercapabilities", "opentoken", "adjustprivileges", sleepAsked}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        restartHost();
        playing(1000);
        startCountdown(CountMode::Songs, StopMethod::WaitForSongEnd, c.action, -1, 10);
        Lines lines;
        std::string afterwards;
        inDialog({[&](DialogDriver&) {
                      c.computer(*host);
                      lines = tick();
                  },
                  [&](DialogDriver& d) {
                      afterwards = d.text(IDC_START_STOP) + " " + d.text(IDC_SONGS);
                      d.escape();
                  }});
        Lines expected = {"killtimer", StopSent, Finished, CountsChanged};
        expected.insert(expected.end(), c.system.begin(), c.system.end());
        EXPECT_EQ(lines, expected);
        EXPECT_EQ(afterwards, "start now -1") << "idle, with the reloaded counts";
        EXPECT_FALSE(armed());
        for (const TraceEvent& box : host->trace.ofKind(TraceEvent::MessageBox)) {
            EXPECT_EQ(box.window, static_cast<HWND>(NULL));
            EXPECT_EQ(box.message, static_cast<UINT>(MB_OK));
        }
        for (const TraceEvent& display : host->trace.ofKind(TraceEvent::DisplayPower)) {
            EXPECT_EQ(display.window, playerWindow->handle()) << "the player's own window";
        }
    }
}
