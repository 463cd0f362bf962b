#pragma once
// The countdown: a 500 ms thread timer, songs counted on detected track
// changes and minutes on every 120th tick, then the stop method and the final
// action. The remaining count lives in Settings so that what shows the
// countdown (the dialog, the icon) shows the live count.

#include <windows.h>

#include "engine/CountdownRules.h"
#include "engine/VolumeFade.h"

class RunState;
class Settings;

// Told of the countdown's course; each front end (the open dialog, the
// notification-area icon) implements what it needs, so the engine knows
// nothing of them. Called on the player's thread:
// - countdownArmed: a countdown started;
// - countsChanged: a count was lowered, or raised by "more", or the counts
//   came back from the file at the end;
// - fadeProgressed: a tick passed during the fade (fadeMsLeft says how much
//   of it is left);
// - endNear: the computer goes or the player quits a minute from now (or
//   less, when it became known later); told once for each end, again when
//   the end moved later;
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
    virtual void fadeProgressed() {}
    virtual void endNear() {}
    virtual void countdownDisarmed() {}
    virtual void countdownEnded() {}
};

const UINT TickIntervalMs = 500;
const int TicksPerMinute = 120;

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
    // The listener's stop, from the dialog: disarm (a fade gives the
    // volume back), mark it idle, and repeat as the listener had it.
    void stop();
    // A stop from outside the dialog (the icon's menu): as stop, and an open
    // dialog is told, so that it shows the idle form.
    void cancel();
    // "More" for the running countdown's mode (extensionFor), in memory only:
    // the next countdown starts from the saved counts again. During a fade,
    // the volume goes back and the minutes count again.
    void extend();
    // The player is closing (pluginQuit): the countdown ends, and unless the
    // quit came from inside a message the plug-in was sending, the player
    // keeps the listener's volume and repeat.
    void quit();

    bool arm();
    bool disarm();
    // Whether timer is the one armed now; false while disarmed.
    bool isArmedTimer(UINT_PTR timer) const { return timerId != 0 && timer == timerId; }
    bool isFadeTimer(UINT_PTR timer) const { return fadeTimerId != 0 && timer == fadeTimerId; }
    // While a fade runs: how much of it is left.
    bool fading() const { return fade.running(); }
    long long fadeMsLeft() const { return fade.msLeft(); }

    // The open dialog is told first, then the other watcher (the icon).
    void attachDialog(CountdownWatcher& dialog) { watchers[DialogWatcher] = &dialog; }
    void detachDialog() { watchers[DialogWatcher] = NULL; }
    void setWatcher(CountdownWatcher* value) { watchers[OtherWatcher] = value; }

    // One timer tick: count, or begin the end once the count is spent.
    void tick();
    // One step of the fade's faster timer.
    void fadeTick();
    bool minuteElapsed();
    bool trackEnded();
    void stopSong(int stopMethod);
    void finish(int finalAction);

private:
    void countOrEnd();
    void beginFade();
    void stepFade();
    // The fade's length is over: its stop command and volume (or, before a
    // pause, nothing yet), then the finish.
    void completeFade();
    // Ends a running fade: its timer killed, the volume given back.
    void endFade();
    void pauseAtTheEnd();
    void restoreRepeat();
    // Each watcher in turn; one may end a watcher's dialog, never the engine.
    void tell(void (CountdownWatcher::*news)());
    void countsChanged();
    // Tells endNear once the end is a minute away, and forgets it told when
    // the end moved later.
    void watchTheEnd();
    CountdownClock clock() const;
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
    UINT_PTR fadeTimerId;
    VolumeFade fade;
    bool detectorPrimed;
    int lastPositionMs;
    // Wide: the player's length in seconds times 1000 need not fit 32 bits.
    long long trackLengthMs;
    // The length was read since the song began: only then does it say when
    // this song ends.
    bool trackLengthKnown;
    bool minutePrimed;
    int minuteTicks;
    bool repeatSwitchedOn;     // by this countdown: switched off again at its end
    bool endWarned;
    int startSongs;            // the counts when the countdown was armed
    int startMinutes;
    unsigned int armings;      // successful arms so far
    unsigned int tickArming;   // armings when the running tick began
};

// The one engine, for the timer callbacks, which carry no object of their own.
extern CountdownEngine* currentEngine;

// Runs a tick of the armed timer, or a step of the fade's. A tick of a timer
// the module armed earlier and could not kill is killed again; any other
// timer's is left alone.
void CALLBACK TimerProc(HWND window, UINT message, UINT_PTR timer, DWORD systemTime);
