// The countdown's notification-area icon in the real module: the shell is
// the host's (no icon reaches Wine's own), its menus are answered by the
// test, and the countdown is started from the dialog as a listener does.

#include <windows.h>

#include <shellapi.h>

#include "dialog/resource.h"
#include "engine/CountdownEngine.h"
#include "host/DialogDriver.h"
#include "settings/Settings.h"
#include "tests/HostFixture.h"
#include "tray/NotificationIcon.h"
#include "tray/resource.h"

namespace {

const char WindowClassName[] = "NightcapNotificationIcon";

}  // namespace

class IconTest : public HostFixture {
protected:
    void startCountdown(int countMode, int stopMethod, int finalAction, int songs, int minutes) {
        writeSettings(countMode, stopMethod, finalAction, songs, minutes);
        startPlugin(ProbeModule);
        inDialog({[](DialogDriver& d) { d.click(IDC_START_STOP); }});
        ASSERT_EQ(host->liveTimers(), 1) << "the dialog did not start the countdown";
    }

    // Opens the dialog by the given means, plays the steps in it; the last
    // one must close it.
    void inDialog(const std::vector<DialogDriver::Step>& steps, const std::function<void()>& open = nullptr) {
        DialogDriver driver(playerWindow->handle(), host.get());
        for (const DialogDriver::Step& step : steps) {
            driver.then(step);
        }
        driver.run(open ? open : [&] { host->config(); });
    }

    // The shell tells the icon of a click or key, and the module acts on
    // it once the shell's call has returned, as its own message loop runs.
    void iconEvent(UINT event) {
        ASSERT_TRUE(host->iconEvent(event)) << "no icon shows";
        pumpMessages();
    }

    static void pumpMessages() {
        MSG message;
        while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }

    std::string tip() const { return host->shellIcons.empty() ? "(no icon)" : host->shellIcons.front().tip; }
    int iconCalls() const { return host->trace.count(TraceEvent::Icon); }
    int balloons() const {
        int found = 0;
        for (const TraceEvent& event : host->trace.ofKind(TraceEvent::Icon)) {
            found += event.caption.empty() ? 0 : 1;
        }
        return found;
    }
    bool iconWindowLeft() const { return FindWindowA(WindowClassName, NULL) != NULL; }
    bool classRegistered() const {
        WNDCLASSA found;
        return GetClassInfoA(host->module(), WindowClassName, &found) != FALSE;
    }
    // Ticks until the timer dies; returns the tick that ended it.
    int ticksToTheEnd(int limit) {
        for (int tick = 1; tick <= limit; ++tick) {
            host->tick();
            if (host->liveTimers() == 0) {
                return tick;
            }
        }
        return -1;
    }
};

// From "start now" to the end: the words, shell calls only when a count
// changes, the warning a minute ahead, and the end on its usual tick.
TEST_F(IconTest, FollowsAMinutesCountdownToItsEnd) {
    startCountdown(CountMode::Minutes, StopMethod::StopNow, FinalAction::HaltComputer, 3, 2);
    ASSERT_EQ(host->shellIcons.size(), 1u);
    EXPECT_EQ(tip(), "Nightcap: 2 minutes left, then power off");
    EXPECT_EQ(host->shellIcons.front().version, static_cast<UINT>(NOTIFYICON_VERSION));

    host->trace.clear();
    int wordsFormatted = host->callsOf("wsprintfA");
    host->ticks(TicksPerMinute - 1);
    EXPECT_EQ(iconCalls(), 0) << "no shell call on a tick whose count did not change";
    EXPECT_EQ(host->callsOf("wsprintfA"), wordsFormatted) << "nor is the icon told of counts that did not change";
    host->tick();
    EXPECT_EQ(tip(), "Nightcap: 1 minute left, then power off");
    ASSERT_EQ(balloons(), 1) << "the warning comes as one minute is left";
    EXPECT_EQ(host->shellIcons.front().balloonTitle, "Nightcap: one minute left");
    EXPECT_NE(host->shellIcons.front().balloonText.find("power off the computer"), std::string::npos);
    EXPECT_NE(host->shellIcons.front().balloonText.find("Stop the countdown"), std::string::npos);

    // The shell starts again: the icon comes back with the words of now.
    host->restartShell();
    ASSERT_EQ(host->shellIcons.size(), 1u);
    EXPECT_EQ(tip(), "Nightcap: 1 minute left, then power off");

    host->trace.clear();
    // The minute runs out on its 120th tick; the end comes on the next one,
    // as it would without the icon.
    EXPECT_EQ(ticksToTheEnd(200), TicksPerMinute + 1);
    EXPECT_EQ(balloons(), 0) << "one warning for the last minute";
    EXPECT_EQ(host->trace.count(TraceEvent::ExitWindows), 1);
    EXPECT_TRUE(host->shellIcons.empty()) << "the icon goes at the end";
    EXPECT_FALSE(iconWindowLeft());
    host->quit();
    EXPECT_FALSE(classRegistered()) << "the window class goes at quit";
}

// Songs: the words for each count, the warning a minute before the last
// song ends (not as it begins), and none for an ending that leaves the
// computer and the player on.
TEST_F(IconTest, SongsCountdownWordsAndWarnings) {
    struct Case {
        int finalAction;
        const char* ending;
        bool warns;
    };
    const Case cases[] = {
        {FinalAction::StopPlaying, "stop playing", false},
        {FinalAction::QuitPlayer, "quit Winamp", true},
    };
    for (const Case& c : cases) {
        player.play();
        startCountdown(CountMode::Songs, StopMethod::WaitForSongEnd, c.finalAction, 2, 10);
        EXPECT_EQ(tip(), std::string("Nightcap: 2 songs left, then ") + c.ending);
        player.positionMs = 0;
        host->tick();
        host->tick();
        // Near the end of the first song, then the next one begins.
        player.positionMs = player.currentLengthMs() - 1000;
        host->tick();
        host->trace.clear();
        player.next();
        host->tick();
        EXPECT_EQ(tip(), std::string("Nightcap: 1 song left, then ") + c.ending);
        player.positionMs = 1000;
        host->tick();
        player.positionMs = player.currentLengthMs() - 61000;
        host->tick();
        EXPECT_EQ(balloons(), 0) << "the last song has more than a minute to go";
        player.positionMs += 1000;
        host->tick();
        EXPECT_EQ(balloons(), c.warns ? 1 : 0) << c.ending;
        if (c.warns) {
            EXPECT_EQ(host->shellIcons.front().balloonTitle, "Nightcap: the last song");
        }
        host->quit();
        EXPECT_TRUE(host->shellIcons.empty()) << "the icon goes at quit";
        host->unload();
        host.reset(new PluginHost());
        takeQuitMessage();
    }
}

// The warning comes a minute before the computer goes, whatever decides
// that moment: waiting for the song, a minute before that song's end, not
// when the minutes are spent; over a ten-minute fade, nine minutes into it,
// the tooltip counting the fade down meanwhile.
TEST_F(IconTest, TheWarningComesAMinuteBeforeTheEnd) {
    struct Case {
        int stopMethod;
        int fadeSeconds;
        long long warnedBeforeEndMs;  // at the most: one tick late
    };
    for (const Case& c : {Case{StopMethod::WaitForSongEnd, 5, 61000}, Case{StopMethod::ShadeOut, 600, 61000}}) {
        SCOPED_TRACE(c.stopMethod);
        host.reset(new PluginHost());
        player.playlist = {{"Long", 301}, {"Next", 200}};
        player.trackIndex = 0;
        player.play();
        writeSettings(CountMode::Minutes, c.stopMethod, FinalAction::Sleep, 3, 1, c.fadeSeconds);
        startPlugin(ProbeModule);
        inDialog({[](DialogDriver& d) { d.click(IDC_START_STOP); }});
        host->trace.clear();
        long long warnedAt = -1;
        long long endAt = -1;
        for (int tick = 0; tick < 2000 && host->liveTimers() > 0; ++tick) {
            player.advance(500);
            host->tick();
            if (warnedAt < 0 && balloons() > 0) {
                warnedAt = host->clockMs;
            }
            if (c.stopMethod == StopMethod::ShadeOut && tick == 120 + 2 * 60) {
                EXPECT_EQ(tip(), "Nightcap: fading out, 9 minutes left, then sleep");
            }
        }
        endAt = host->clockMs;
        ASSERT_EQ(host->trace.count(TraceEvent::Suspend), 1);
        ASSERT_GE(warnedAt, 0);
        EXPECT_LE(endAt - warnedAt, c.warnedBeforeEndMs);
        EXPECT_GE(endAt - warnedAt, 59000);
        EXPECT_EQ(balloons(), 1);
    }
}

// The menu: more time in memory only, a stop that carries out no ending,
// and the dialog opened once however often it is asked for.
TEST_F(IconTest, MenuExtendsStopsAndOpens) {
    startCountdown(CountMode::Minutes, StopMethod::StopNow, FinalAction::HaltComputer, 3, 1);
    std::vector<unsigned char> saved = readSettingsBytes();
    std::vector<std::string> items;
    UINT choice = IconMenuExtend;
    host->onMenu = [&](const std::vector<std::string>& shown) {
        items = shown;
        return choice;
    };
    // A right-click, as a version-3 shell tells it: the button's message,
    // then the context menu's. One menu.
    iconEvent(WM_RBUTTONUP);
    EXPECT_TRUE(items.empty()) << "a menu on the button message too";
    iconEvent(WM_CONTEXTMENU);
    EXPECT_EQ(items, (std::vector<std::string>{"Stop the countdown", "10 more minutes", "", "Open Nightcap..."}));
    EXPECT_EQ(moduleSettings().minutes, 11);
    EXPECT_EQ(tip(), "Nightcap: 11 minutes left, then power off");
    EXPECT_EQ(readSettingsBytes(), saved) << "the saved choices are untouched";
    // The end moved: the warning comes again a minute before the new one.
    host->trace.clear();
    host->ticks(10 * TicksPerMinute);
    EXPECT_EQ(moduleSettings().minutes, 1);
    EXPECT_EQ(balloons(), 1);

    // A click opens the dialog; a second request brings it to the front.
    int dialogsSeen = 0;
    inDialog({[&](DialogDriver& d) {
                  EXPECT_EQ(d.text(IDC_MINUTES), "1");
                  host->iconEvent(NIN_SELECT);
              },
              [&](DialogDriver& d) {
                  dialogsSeen = d.openDialogs();
                  d.escape();
              }},
             [&] { iconEvent(NIN_SELECT); });
    EXPECT_EQ(dialogsSeen, 1);

    host->trace.clear();
    choice = IconMenuStop;
    iconEvent(WM_CONTEXTMENU);
    EXPECT_EQ(host->liveTimers(), 0);
    EXPECT_TRUE(host->shellIcons.empty());
    EXPECT_FALSE(iconWindowLeft());
    for (const std::string& line : host->trace.lines()) {
        EXPECT_NE(line, "send 273 40047 0") << "no ending is carried out";
    }
    EXPECT_EQ(host->trace.count(TraceEvent::ExitWindows), 0);
    inDialog({[](DialogDriver& d) {
        EXPECT_EQ(d.text(IDC_START_STOP), "start now");
        d.escape();
    }});
}

// The player quits the plug-in, and lets go of the module, from inside the
// icon's menu and from inside the dialog the icon opened.
TEST_F(IconTest, QuitInsideTheMenuOrTheDialogItOpened) {
    for (bool fromMenu : {true, false}) {
        startCountdown(CountMode::Minutes, StopMethod::StopNow, FinalAction::HaltComputer, 3, 5);
        std::vector<unsigned char> saved = readSettingsBytes();
        size_t quitAt = 0;
        auto quit = [&] {
            host->quit();
            quitAt = host->trace.events.size();
            host->releaseModule();
        };
        if (fromMenu) {
            host->onMenu = [&](const std::vector<std::string>&) {
                quit();
                return static_cast<UINT>(IconMenuExtend);
            };
            iconEvent(WM_CONTEXTMENU);
        } else {
            inDialog({[&](DialogDriver& d) {
                quit();
                SendMessageA(d.dialog(), WM_COMMAND, IDCANCEL, 0);
            }},
                     [&] { iconEvent(NIN_SELECT); });
        }
        ASSERT_GT(quitAt, 0u) << (fromMenu ? "menu" : "dialog");
        for (size_t i = quitAt; i < host->trace.events.size(); ++i) {
            EXPECT_EQ(host->trace.events[i].text, "free") << "after quit: " << Trace::describe(host->trace.events[i]);
        }
        EXPECT_EQ(host->liveTimers(), 0);
        EXPECT_TRUE(host->shellIcons.empty());
        EXPECT_FALSE(iconWindowLeft());
        EXPECT_FALSE(classRegistered());
        EXPECT_EQ(readSettingsBytes(), saved);
        host->unload();
        EXPECT_EQ(host->referencesKept, 1) << "the module keeps itself mapped: its code was on the stack";
        host.reset(new PluginHost());
    }
}

// The system refuses to destroy the icon's window: the window outlives the
// module, and a message to it afterwards runs none of the module's code.
TEST_F(IconTest, AWindowTheSystemKeptOutlivesTheModuleHarmlessly) {
    startCountdown(CountMode::Minutes, StopMethod::StopNow, FinalAction::HaltComputer, 3, 5);
    host->failCall("DestroyWindow", 1, true);
    host->quit();
    host->unload();
    HWND left = FindWindowA(WindowClassName, NULL);
    ASSERT_NE(left, static_cast<HWND>(NULL));
    SendMessageA(left, IconCallbackMessage, IconId, WM_CONTEXTMENU);
    EXPECT_TRUE(DestroyWindow(left));
    host.reset(new PluginHost());
}

TEST_F(IconTest, TheShippedModuleCarriesItsMoonIn16And32Pixels) {
    loadPlugin();
    HMODULE module = host->module();
    HRSRC group = FindResourceA(module, MAKEINTRESOURCEA(IDI_NIGHTCAP), MAKEINTRESOURCEA(14));  // RT_GROUP_ICON
    ASSERT_NE(group, static_cast<HRSRC>(NULL));
    // The icon directory: six bytes, then one 14-byte entry per image, its
    // width and height first.
    const BYTE* directory = static_cast<const BYTE*>(LockResource(LoadResource(module, group)));
    ASSERT_NE(directory, nullptr);
    int images = directory[4] | directory[5] << 8;
    std::vector<int> squares;
    for (int i = 0; i < images; ++i) {
        const BYTE* entry = directory + 6 + 14 * i;
        if (entry[0] == entry[1]) {
            squares.push_back(entry[0]);
        }
    }
    EXPECT_EQ(squares, (std::vector<int>{16, 20, 24, 32}));
}
