#pragma once
// A scripted session in the bench player, played as a user would: press
// play, open Plug-ins > Nightcap..., choose the countdown in the real dialog,
// press "start now", let the music play (skipping to a few seconds before each
// track's end, so it does not take all night), open the dialog again in the
// middle to watch the count, and wait for the plug-in's final action.
//
// The steps run from the player window's heartbeat, a real timer of the
// program, so they go on while the plug-in's modal dialog runs its own
// message loop inside pluginConfig; they act on the dialog through the
// dialog tests' driver: buttons are clicked (never a greyed one), counts
// typed as keys. The driver's failures are the session's while it lives.

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/DialogDriver.h"
#include "host/bench/BenchPlayer.h"
#include "settings/Settings.h"

// At a tick of the countdown, the listener right-clicks the moon in the
// notification area and chooses an item of its menu: "more" (10 more
// minutes, or one more song), "stop" (stop the countdown) or "open" (open
// Nightcap...).
struct MenuClick {
    int tick;
    std::string item;
};

struct Scenario {
    int countMode = CountMode::Songs;
    int count = 2;
    int stopMethod = StopMethod::WaitForSongEnd;  // counting minutes only
    int fadeSeconds = 0;          // shading out: the length to choose; 0 leaves the dialog's
    int finalAction = FinalAction::StopPlaying;
    bool reopenDialog = true;     // open the dialog again mid-countdown and keep it open to the end
    bool skipToTrackEnds = true;  // go to a few seconds before each track's end
    std::string idleShot;         // BMP files to write, if any: before the dialog opens...
    std::string countdownShot;    // ...mid-countdown with the dialog open again...
    std::string endShot;          // ...and once the countdown is over
    std::string warningShot;      // ...and while the icon's warning balloon shows
    std::string fadeShot;         // ...and once a fade is two-fifths through
    std::vector<MenuClick> menuClicks;  // in the order of their ticks
    long long limitRealMs = 180000;  // give up after this long
};

class BenchSession {
public:
    BenchSession(BenchPlayer& player, const Scenario& scenario);
    ~BenchSession();
    BenchSession(const BenchSession&) = delete;
    BenchSession& operator=(const BenchSession&) = delete;

    // After the player's run(): whether the plug-in did what was chosen.
    bool succeeded() const;
    // The player as the listener had it when the countdown began: its
    // volume, and repeat off again when it was off.
    bool givenBack() const;
    // One paragraph: what the plug-in did in the end, or what went wrong.
    std::string outcome() const;
    // On real timers, for a countdown of minutes stopped at once: from
    // "start now" to the stop command against its nominal 60.5 s; for a
    // fade: its length against the one chosen. Empty otherwise.
    std::string timing() const;
    std::string failure;

    static std::string describe(const Scenario& scenario);

private:
    enum Stage { Starting, OpeningDialog, Arming, Counting, Reopening, Watching, Ending, Closing, Done };
    void step();
    void queueFillAndStart();
    void skipAhead();
    // The next of the menu's clicks, once its tick has come.
    void clickMenuIfDue();
    // The menu the module shows, answered with the item due.
    UINT chooseFromMenu(const std::vector<std::string>& items);
    // A screenshot once ready has held while the screen settled.
    struct Shot {
        int beats = 0;
        long long atMs = 0;
        bool taken = false;
    };
    bool shootOnce(bool ready, const std::string& path, Shot& shot);
    void shootWhenDue();
    void fail(const std::string& why);
    void shoot(const std::string& path);
    void enter(Stage next);
    // True once the screen has settled for this stage (repainted a while ago).
    bool settled();

    BenchPlayer& player;
    Scenario scenario;
    Stage stage = Starting;
    long long stageStartMs = 0;
    long long repaintedAtMs = -1;
    int settleBeats = 0;
    int stageBeats = 0;
    bool reopened = false;
    size_t nextClick = 0;
    std::string choosing;          // the item of the click under way
    bool stoppedFromMenu = false;
    int extraCount = 0;            // minutes or songs the menu gave
    Shot warningShot;
    Shot fadeShot;
    std::unique_ptr<DialogDriver> driver;  // from the first dialog on
    std::function<void(const std::string&)> outerReport;
};
