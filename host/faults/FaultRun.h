#pragma once
// One run of the reliability probe: the shipped module in the host, one of
// its imports made to fail (its first call, or every call, from the moment
// the module loads), played through one scenario as a listener would, on
// simulated timers. What came of it is written as lines:
//
//   fact: ...     what the listener would notice (compared with the run
//                 without a fault: a difference is a promise not met)
//   note: ...     what the probe saw that the listener cannot (a hidden
//                 window left, a timer the system would not kill, which
//                 ends itself): said, never compared
//   broken: ...   the plug-in broke a promise of its own (an ended countdown
//                 acted, a timer ran after quit, the settings file damaged)
//   stuck: ...    a dialog that does not answer, or that never opens again
//   crash: ...    an exception or abort in the process
//
// FaultRun.cpp holds the run's means (start, dialog, ticks, quit, report),
// Scenarios.cpp the scenarios played with them.

#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "dialog/resource.h"
#include "host/DialogDriver.h"
#include "host/Files.h"
#include "host/PlayerModel.h"
#include "host/PlayerWindow.h"
#include "host/PluginHost.h"

// Runs one scenario with the given import failing ("" for none) and prints
// its lines on standard output. The module is looked for beside the program.
void runScenario(const std::string& scenario, const std::string& function, bool everyCall);

const int ProbeTicksPerMinute = 120;

// "a, b x3, c": each kind of line once, in order, with how often it came, so
// that a fade's hundreds of volume steps and pauses stay short.
std::string joined(const std::vector<std::string>& lines);

class FaultRun {
public:
    FaultRun(const std::string& function, bool everyCall)
        : folder(newFolder("faults")), appData(newFolder("faults-appdata")) {
        failing = function;
        every = everyCall;
    }
    ~FaultRun() {
        host.reset();
        window.reset();
        removeFolder(folder);
        removeFolder(appData);
    }

    // A scenario: one listener's evening, start to quit, played with the
    // run's means. The table (Scenarios.cpp) names each one for the command
    // line, in the order the probe reports them.
    struct Scenario {
        const char* name;
        void (FaultRun::*play)();
    };
    static const Scenario scenarios[];
    static const size_t scenarioCount;

    // Plays the named scenario and reports.
    void play(const std::string& name);

private:
    // The scenarios (Scenarios.cpp).
    void songsThenStop();
    void minuteThenWaitAndQuit();
    void minuteThenFadeAndHalt();
    void minuteThenUntimedFadeAndPause();
    void endWithTheDialogOpen();
    void stopAndStartAgain();
    void quitMidCountdown();
    void closeTheDialogIdle();
    void quitFromTheDialog();
    void sleepOnADesktop();
    void sleepOnModernStandby();
    void sleepAfterOneSong(bool modernStandby);
    void iconThenQuitInItsMenu();
    void forgedTicks();
    void listenerInsideTheFade();
    void heldWhileStarting();

    // Writes the settings file, loads the module with the fault armed, and
    // calls pluginInit (with the file held by another program meanwhile,
    // when asked). False when the module did not come up.
    bool start(const std::vector<unsigned char>& record, bool heldWhileStarting = false);
    // The dialog opened by open (pluginConfig unless given).
    void inDialog(const std::vector<DialogDriver::Step>& steps, const std::function<void()>& open = nullptr);
    void startFromDialog() { inDialog({[](DialogDriver& d) { d.click(IDC_START_STOP); }}); }
    // Lets the player play tick by tick until the countdown ends, and a few
    // ticks more if its timer lives on: those must not act.
    void playTicks(int limit);
    bool armed() const { return host->liveTimers() > 0; }
    // The live countdown timer armed last (a countdown ticks every 500 ms).
    UINT_PTR latestCountdownTimer() const;
    // Effects of one tick, the killing of timers left out: killedATimer says
    // whether it killed a timer not tried before (an end disarming), not one
    // left alive by a refused kill, which the module tries again.
    std::vector<std::string> tickEffects(bool& killedATimer);
    // A later pluginConfig must still open the dialog.
    void reopen();
    // pluginQuit, the checks after it, and the module unloaded.
    void quit();
    void reopenThenQuit();
    void quitInsideTheDialog();
    void useTheIconThenQuitInItsMenu();
    // From the quit on (trace event quitAt), the module may only free its
    // objects: no effect, no timer, no icon left.
    void checkNothingAfterQuit(size_t quitAt);
    void report();
    // The adversaries' moves (Scenarios.cpp).
    void floodWithForeignTicks();
    void restartInsideTheFade();
    void readAfterAHeldStart();
    // The fade's length, said as a fact (Scenarios.cpp).
    void timeTheFade();
    // Effects recorded from event on, timers' deaths included.
    std::vector<std::string> effectsSince(size_t event) const;
    std::string settingsPath() const { return folder + "\\gen_nightcap.dat"; }

    std::string folder;
    std::string appData;  // the user's application-data folder, as the module sees it
    std::string failing;
    bool every = false;
    PlayerModel player;
    std::unique_ptr<PlayerWindow> window;
    std::unique_ptr<PluginHost> host;
    std::vector<std::string> facts;
    std::vector<std::string> notes;
    std::vector<std::string> broken;
    std::vector<std::string> stuck;
    std::set<std::vector<unsigned char>> records;  // every whole record the module wrote
    std::set<UINT_PTR> killsTried;                 // the timers the module has tried to kill
    bool ended = false;
    std::string iconShown;     // the tooltip the icon first showed with
    std::string balloonShown;  // the first balloon's title
    long long fadeStartMs = -1;  // the simulated clock at the fade's first volume query; -2 once told
    int fadeBeganAtMs = -1;      // the play position then
};
