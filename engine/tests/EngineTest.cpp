// The countdown engine in the real module: ticks fired by the host, the
// player played by a PlayerModel, the countdown started from the dialog. The
// module is the shipped code with the settings probe, so tests can follow the
// live counts and give the engine choices the dialog never stores.

#include <limits.h>

#include <functional>

#include "dialog/resource.h"
#include "host/DialogDriver.h"
#include "plugin/PlayerMessages.h"
#include "settings/Settings.h"
#include "tests/HostFixture.h"

namespace {

const char* const StopSent = "send 273 40047 0";
const char* const PositionAsked = "send 1024 0 105";
const char* const RepeatAsked = "send 1024 0 251";
const char* const RepeatSwitchedOn = "send 1024 1 253";
const char* const LengthAsked = "send 1024 1 105";
const char* const PlayStateAsked = "send 1024 0 104";
const char* const VolumeAsked = "send 1024 -666 122";
const char* const CountsChanged = "post 1025 1 0";
const char* const Finished = "post 1025 2 0";

const char PrivilegeText[] = u8"错误：无法获得关机权限，请手动退出操作系统";
const char PowerOffText[] = u8"错误：关闭计算机失败，请手动退出操作系统";

typedef std::vector<std::string> Lines;

void CALLBACK playersOwnTimer(HWND, UINT, UINT_PTR, DWORD) {}

std::string volumeLine(int volume) {
    return "send 1024 " + std::to_string(volume) + " 122";
}

}  // namespace

class EngineTest : public HostFixture {
protected:
    // Saves the five values, loads and initialises the module, and starts the
    // countdown from the dialog as the user would. Afterwards the trace holds
    // only what the countdown does.
    void startCountdown(int countMode, int stopMethod, int finalAction, int songs, int minutes,
                        const char* dll = ProbeModule) {
        writeSettings(countMode, stopMethod, finalAction, songs, minutes);
        startPlugin(dll);
        inDialog({[](DialogDriver& d) { d.click(IDC_START_STOP); }});
        ASSERT_TRUE(armed()) << "the dialog did not start the countdown";
        host->trace.clear();
    }

    // Opens the dialog as the player does and plays the steps in it; the
    // last one must close it.
    void inDialog(const std::vector<DialogDriver::Step>& steps) {
        DialogDriver driver(playerWindow->handle(), host.get());
        for (const DialogDriver::Step& step : steps) {
            driver.then(step);
        }
        driver.run([&] { host->config(); });
    }

    // Stop and start again: the engine is disarmed and armed anew.
    void restartFromDialog() {
        inDialog({[](DialogDriver& d) { d.click(IDC_START_STOP); }, [](DialogDriver& d) { d.click(IDC_START_STOP); }});
    }

    // A fresh host for the next start; the player keeps its state.
    void restartHost() { host.reset(new PluginHost()); }

    bool armed() const { return host->liveTimers() == 1; }

    // One tick; returns what it did.
    Lines tick() {
        host->trace.clear();
        host->tick();
        return host->trace.lines();
    }

    // Ticks with the player's position standing at each of positions in turn;
    // returns how far the songs count fell.
    int songsCountedAt(const std::vector<int>& positions) {
        int before = moduleSettings().songs;
        for (int position : positions) {
            player.positionMs = position;
            host->tick();
        }
        return before - moduleSettings().songs;
    }

    // Lets the player play for count ticks, one tick every 500 ms.
    void play(int count) {
        for (int i = 0; i < count; ++i) {
            player.advance(500);
            host->tick();
        }
    }

    void playing(int positionMs, size_t track = 0) {
        player.trackIndex = track;
        player.state = PlayerModel::Playing;
        player.positionMs = positionMs;
    }

    // Whether the module shows a countdown as running, read from the dialog.
    std::string startButtonAfterwards() {
        std::string caption;
        inDialog({[&](DialogDriver& d) {
            caption = d.text(IDC_START_STOP);
            d.escape();
        }});
        return caption;
    }
};

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
    EXPECT_EQ(endLines, (Lines{"killtimer", StopSent, Finished, CountsChanged}));
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
    EXPECT_EQ(tick(), (Lines{PositionAsked, RepeatAsked, PlayStateAsked, "killtimer", StopSent}));
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

// --- stop methods ---

TEST_F(EngineTest, ShadeOutSequences) {
    struct Case {
        int volume;     // the player's answer
        int firstStep;  // the loudest volume set
        int pauseMs;
    };
    const Case cases[] = {{255, 255, 19}, {128, 128, 39}, {1, 1, 5000}, {0, 0, 0}, {1000, 255, 19}, {-5, 0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.volume);
        restartHost();
        player.answerOverride = [&](UINT, WPARAM wParam, LPARAM lParam, LRESULT& result) {
            if (lParam == VolumeMessage && wParam == VolumeQuery) {
                result = c.volume;
                return true;
            }
            return false;
        };
        playing(1000);
        startCountdown(CountMode::Minutes, StopMethod::ShadeOut, FinalAction::StopPlaying, 3, -1);
        host->sleptMs = 0;
        Lines expected = {"killtimer", VolumeAsked};
        for (int level = c.firstStep; level >= 1; --level) {
            expected.push_back(volumeLine(level));
            expected.push_back("sleep " + std::to_string(c.pauseMs));
        }
        expected.push_back(StopSent);
        expected.push_back(volumeLine(c.volume));  // the player's own answer again
        expected.push_back(StopSent);           // the final action
        EXPECT_EQ(tick(), expected);
        EXPECT_LE(host->sleptMs, 5000);
    }
}

TEST_F(EngineTest, StopDirectlyOrNotAtAll) {
    playing(1000);
    startCountdown(CountMode::Minutes, StopMethod::StopNow, 6, 3, -1);
    setModuleSettings({3, -1, CountMode::Minutes, StopMethod::StopNow, 6});
    EXPECT_EQ(tick(), (Lines{"killtimer", StopSent}));
    for (int method : {0, 4, INT_MAX}) {
        restartHost();
        startCountdown(CountMode::Minutes, StopMethod::StopNow, FinalAction::StopPlaying, 3, -1);
        setModuleSettings({3, -1, CountMode::Minutes, method, 6});
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

    for (int action : {0, 6, INT_MIN}) {
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
        // The fade ends at its fifth step and gives the volume back; no stop
        // command, no final action.
        {StopMethod::ShadeOut, FinalAction::HaltComputer, 5, {volumeLine(196), volumeLine(200)}},
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
            d.tick();
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
        {StopMethod::ShadeOut, 5, {volumeLine(196)}, 196},
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
        host->tick();
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
