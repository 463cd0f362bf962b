#pragma once
// The countdown: a 500 ms thread timer, songs counted on detected track
// changes and minutes on every 120th tick, then the stop method and the final
// action. The remaining count lives in Settings so that what shows the
// countdown (the dialog, the icon) shows the live count.

#include <windows.h>

#include "engine/CountdownRules.h"

class RunState;
class Settings;

// Told of the countdown's course; each front end (the open dialog, the
// notification-area icon) implements what it needs, so the engine knows
// nothing of them. Called on the player's thread:
// - countdownArmed: a countdown started;
// - countsChanged: a count was lowered, or raised by "more", or the counts
//   came back from the file at the end;
// - countdownDisarmed: the timer was killed, which every end of a countdown
//   does, the listener's stop included;
// - countdownEnded: the countdown ended without the dialog's own "stop" (it
//   finished, or was stopped from outside the dialog): a form that shows it
//   running must show it idle.
class CountdownWatcher {
public:
    virtual ~CountdownWatcher() {}
    virtual void countdownArmed() {}
    virtual void countsChanged() {}
    virtual void countdownDisarmed() {}
    virtual void countdownEnded() {}
};

const UINT TickIntervalMs = 500;
const int TicksPerMinute = 120;

// Longest fade: the player's own volume scale tops out at 255.
const int MaxFadeSteps = 255;
const int FadeDurationMs = 5000;

class CountdownEngine {
public:
    CountdownEngine(RunState& runState, Settings& settings);
    virtual ~CountdownEngine();

    // The armed timer is the truth of whether a countdown runs; RunState is
    // its copy for the dialog, written only here, in the same step as the
    // timer is armed or killed, so the two never disagree.
    // start: arm, then mark the countdown running; false, and nothing
    // changed, when the system grants no timer.
    bool start();
    // The listener's stop, from the dialog: disarm and mark it idle.
    void stop();
    // A stop from outside the dialog (the icon's menu): as stop, and an open
    // dialog is told, so that it shows the idle form.
    void cancel();
    // "More" for the running countdown's mode (extensionFor), in memory only:
    // the next countdown starts from the saved counts again.
    void extend();

    bool arm();
    bool disarm();
    // Whether timer is the one armed now; false while disarmed.
    bool isArmedTimer(UINT_PTR timer) const { return timerId != 0 && timer == timerId; }

    // The open dialog is told first, then the other watcher (the icon).
    void attachDialog(CountdownWatcher& dialog) { watchers[DialogWatcher] = &dialog; }
    void detachDialog() { watchers[DialogWatcher] = NULL; }
    void setWatcher(CountdownWatcher* value) { watchers[OtherWatcher] = value; }

    // One timer tick: count, or begin the end once the count is spent.
    void tick();
    bool minuteElapsed();
    bool trackEnded();
    void stopSong(int stopMethod);
    void finish(int finalAction);

private:
    void countOrEnd();
    // Each watcher in turn; one may end a watcher's dialog, never the engine.
    void tell(void (CountdownWatcher::*news)());
    void countsChanged();
    // The player may run its message loop inside any message the engine
    // sends it, and the listener may stop the countdown there, or stop it and
    // start another; the player may quit the plug-in there too. A tick then
    // acts no more for the countdown it began in.
    bool tickIsCurrent() const;
    // The counts this countdown started from, not the spent ones.
    void restoreStartCounts();

    enum { DialogWatcher, OtherWatcher, WatcherCount };
    CountdownWatcher* watchers[WatcherCount];
    Settings& settings;
    RunState& runState;
    UINT_PTR timerId;
    bool detectorPrimed;
    int lastPositionMs;
    // Wide: the player's length in seconds times 1000 need not fit 32 bits.
    long long trackLengthMs;
    bool minutePrimed;
    int minuteTicks;
    int startSongs;            // the counts when the countdown was armed
    int startMinutes;
    unsigned int armings;      // successful arms so far
    unsigned int tickArming;   // armings when the running tick began
};

// The one engine, for the timer callback, which carries no object of its own.
extern CountdownEngine* currentEngine;

// Runs a tick of the armed timer. A tick of a timer the module armed earlier
// and could not kill is killed again; any other timer's is left alone.
void CALLBACK TimerProc(HWND window, UINT message, UINT_PTR timer, DWORD systemTime);
