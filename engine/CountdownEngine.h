#pragma once
// The countdown: a 500 ms thread timer, songs counted on detected track
// changes and minutes on every 120th tick, then the stop method and the final
// action. The remaining count lives in Settings so an open dialog can show it.

#include <windows.h>

class RunState;
class Settings;

// Told of the countdown's course, for what shows it outside the dialog (the
// notification-area icon), so the engine needs to know nothing of it. Called
// on the player's thread: armed when arm succeeded, counts changed on the
// tick that lowered a count, disarmed when a live timer was killed, which
// every end of a countdown does.
class CountdownWatcher {
public:
    virtual ~CountdownWatcher() {}
    virtual void countdownArmed() = 0;
    virtual void countsChanged() = 0;
    virtual void countdownDisarmed() = 0;
};

const UINT TickIntervalMs = 500;
const int TicksPerMinute = 120;
const UINT DialogNotify = WM_USER + 1;       // wParam 1: counts changed; 2: finished
const WPARAM DialogNotifyCounts = 1;
const WPARAM DialogNotifyFinished = 2;

const int TrackStartWindowMs = 3000;         // a track change lands below this position
const int TrackEndWindowMs = 9791;           // ...coming from this close to the end

// Longest fade: the player's own volume scale tops out at 255.
const int MaxFadeSteps = 255;
const int FadeDurationMs = 5000;

class CountdownEngine {
public:
    CountdownEngine(RunState& runState, Settings& settings);
    virtual ~CountdownEngine();

    bool arm();
    bool disarm();
    // Whether timer is the one armed now; false while disarmed.
    bool isArmedTimer(UINT_PTR timer) const { return timerId != 0 && timer == timerId; }

    void attachDialog(HWND window) { dialogWindow = window; }
    void detachDialog() { dialogWindow = NULL; }
    void notifyDialog();
    void setWatcher(CountdownWatcher* value) { watcher = value; }
    // Ends a running countdown without its stop method or final action, as
    // the dialog's "stop" does, for a stop from outside the dialog: an open
    // dialog is told, and shows the idle form.
    void cancel();
    // Adds to the remaining count of the running countdown's mode, in memory
    // only: the next countdown starts from the saved counts again.
    void extend(int count);

    // One timer tick: count, or begin the end once the count is spent.
    void tick();
    bool minuteElapsed();
    bool trackEnded();
    void stopSong(int stopMethod);
    void finish(int finalAction);

private:
    void countOrEnd();
    void postToDialog(WPARAM what);
    // A count was lowered: the dialog and the watcher are told.
    void countsChanged();
    // The player may run its message loop inside any message the engine
    // sends it, and the listener may stop the countdown there, or stop it and
    // start another: a tick then acts no more for the countdown it began in.
    bool tickIsCurrent() const;

    HWND dialogWindow;
    CountdownWatcher* watcher;
    Settings& settings;
    RunState& runState;
    UINT_PTR timerId;
    bool detectorPrimed;
    int lastPositionMs;
    // Wide: the player's length in seconds times 1000 need not fit 32 bits.
    long long trackLengthMs;
    bool minutePrimed;
    int minuteTicks;
    unsigned int armings;      // successful arms so far
    unsigned int tickArming;   // armings when the running tick began
};

// The one engine, for the timer callback, which carries no object of its own.
extern CountdownEngine* currentEngine;

// Runs a tick of the armed timer. A tick of a timer the module armed earlier
// and could not kill is killed again; any other timer's is left alone.
void CALLBACK TimerProc(HWND window, UINT message, UINT_PTR timer, DWORD systemTime);
