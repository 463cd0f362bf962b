#include "engine/CountdownEngine.h"

#include "engine/PowerRequests.h"
#include "plugin/PlayerMessages.h"
#include "plugin/PluginLoop.h"
#include "plugin/RunState.h"
#include "settings/Settings.h"

CountdownEngine* currentEngine = NULL;

namespace {

// The timers this module armed and has not seen die, kept beside the engine
// rather than in it: a late tick can come after pluginQuit has freed the
// engine, while the module is still mapped. Only a timer whose kill failed
// stays here once its countdown is over, so a few places are plenty; were
// they all taken, the oldest is forgotten (its ticks then do nothing).
// (Windows does not refuse to kill a live timer of the thread; the fault
// probe does. A tick queued before the kill is real on every system.)
const int RememberedTimers = 8;
UINT_PTR ownTimers[RememberedTimers];
int nextForgotten = 0;

void rememberTimer(UINT_PTR timer) {
    for (UINT_PTR& slot : ownTimers) {
        if (slot == 0) {
            slot = timer;
            return;
        }
    }
    ownTimers[nextForgotten] = timer;
    nextForgotten = (nextForgotten + 1) % RememberedTimers;
}

bool isOwnTimer(UINT_PTR timer) {
    for (UINT_PTR slot : ownTimers) {
        if (timer != 0 && slot == timer) {
            return true;
        }
    }
    return false;
}

// A timer that was killed is gone, and the system may give its id to
// another timer of the thread, which must then not be killed in its place.
void forgetTimer(UINT_PTR timer) {
    for (UINT_PTR& slot : ownTimers) {
        if (slot == timer) {
            slot = 0;
        }
    }
}

// Kills a timer of the module's; true when it is gone.
bool killOwnTimer(UINT_PTR timer) {
    if (!KillTimer(NULL, timer)) {
        return false;
    }
    forgetTimer(timer);
    return true;
}

}  // namespace

CountdownEngine::CountdownEngine(RunState& runState, Settings& settings)
    : settings(settings),
      runState(runState),
      timerId(0),
      detectorPrimed(false),
      lastPositionMs(0),
      trackLengthMs(0),
      minutePrimed(false),
      minuteTicks(0),
      startSongs(0),
      startMinutes(0),
      armings(0),
      tickArming(0) {
    for (CountdownWatcher*& watcher : watchers) {
        watcher = NULL;
    }
    currentEngine = this;
}

CountdownEngine::~CountdownEngine() {
    currentEngine = NULL;
}

bool CountdownEngine::start() {
    if (!arm()) {
        return false;
    }
    runState.setRunning(true);
    return true;
}

void CountdownEngine::stop() {
    disarm();
    runState.setRunning(false);
}

bool CountdownEngine::arm() {
    timerId = SetTimer(NULL, 0, TickIntervalMs, TimerProc);
    if (timerId == 0) {
        return false;
    }
    rememberTimer(timerId);
    ++armings;
    startSongs = settings.getSongs();
    startMinutes = settings.getMinutes();
    tell(&CountdownWatcher::countdownArmed);
    return true;
}

bool CountdownEngine::disarm() {
    if (timerId != 0) {
        killOwnTimer(timerId);
        timerId = 0;
        tell(&CountdownWatcher::countdownDisarmed);
    }
    minutePrimed = false;
    detectorPrimed = false;
    minuteTicks = 0;
    lastPositionMs = 0;
    trackLengthMs = 0;
    return true;
}

void CountdownEngine::tell(void (CountdownWatcher::*news)()) {
    for (CountdownWatcher* watcher : watchers) {
        if (watcher != NULL) {
            (watcher->*news)();
        }
    }
}

void CountdownEngine::countsChanged() {
    tell(&CountdownWatcher::countsChanged);
}

void CountdownEngine::cancel() {
    if (timerId == 0) {
        return;
    }
    stop();
    tell(&CountdownWatcher::countdownEnded);
}

void CountdownEngine::extend() {
    int mode = settings.getCountMode();
    int more = extensionFor(mode);
    if (timerId == 0 || more == 0) {
        return;
    }
    if (mode == CountMode::Songs) {
        settings.setSongs(extendedCount(settings.getSongs(), more));
    } else {
        settings.setMinutes(extendedCount(settings.getMinutes(), more));
    }
    countsChanged();
}

bool CountdownEngine::tickIsCurrent() const {
    return armings == tickArming && runState.isRunning() && !PluginLoop::quitCame();
}

void CountdownEngine::tick() {
    // A tick of a newer countdown may run inside this one's sends; each
    // keeps its own mark.
    unsigned int outerTick = tickArming;
    tickArming = armings;
    countOrEnd();
    tickArming = outerTick;
}

void CountdownEngine::countOrEnd() {
    switch (settings.getCountMode()) {
    case CountMode::Songs: {
        int songs = settings.getSongs();
        if (songs > 0) {
            if (trackEnded() && tickIsCurrent()) {
                settings.setSongs(songs - 1);
                countsChanged();
            }
        } else {
            finish(settings.getFinalAction());
        }
        break;
    }
    case CountMode::Minutes: {
        int minutes = settings.getMinutes();
        if (minutes > 0) {
            if (minuteElapsed() && tickIsCurrent()) {
                settings.setMinutes(minutes - 1);
                countsChanged();
            }
        } else {
            int stopMethod = settings.getStopMethod();
            if (stopMethod == StopMethod::WaitForSongEnd) {
                if (trackEnded()) {
                    finish(settings.getFinalAction());
                }
            } else {
                stopSong(stopMethod);
                finish(settings.getFinalAction());
            }
        }
        break;
    }
    default:
        break;
    }
}

bool CountdownEngine::minuteElapsed() {
    if (!minutePrimed) {
        minuteTicks = 1;
        minutePrimed = true;
        return false;
    }
    ++minuteTicks;
    if (minuteTicks >= TicksPerMinute) {
        minuteTicks = 0;
        return true;
    }
    return false;
}

bool CountdownEngine::trackEnded() {
    int position = playerPositionMs();
    if (!repeatIsOn()) {
        switchRepeatOn();
    }
    if (position < 0) {
        position = 0;
    }
    if (!detectorPrimed) {
        detectorPrimed = true;
        lastPositionMs = position;
        return false;
    }

    TrackMove move = trackMove(lastPositionMs, position, trackLengthMs);
    lastPositionMs = position;
    switch (move) {
    case TrackChanged:
        return true;
    case PositionForward:
        trackLengthMs = static_cast<long long>(trackLengthSeconds()) * 1000;
        return false;
    case PositionStill:
        return settings.getCountMode() == CountMode::Minutes && !playerIsPlaying();
    case JumpWithinTrack:
        break;
    }
    return false;
}

void CountdownEngine::stopSong(int stopMethod) {
    disarm();
    if (stopMethod == StopMethod::ShadeOut) {
        int volume = playerVolume();
        // An answer above the player's scale fades from the top of the scale,
        // so the fade stays within its steps and its five seconds.
        int from = volume > MaxFadeSteps ? MaxFadeSteps : volume;
        if (from >= 1) {
            DWORD pauseMs = static_cast<DWORD>(FadeDurationMs / from);
            // The listener may stop the countdown, or start another, while
            // the player handles a step: the fade then ends there, and the
            // music plays on at its own volume.
            for (int level = from; level >= 1; --level) {
                setPlayerVolume(level);
                if (!tickIsCurrent()) {
                    break;
                }
                Sleep(pauseMs);
            }
        }
        if (tickIsCurrent()) {
            sendStopCommand();
        }
        // A player that quit the plug-in meanwhile is told nothing more.
        if (!PluginLoop::quitCame()) {
            setPlayerVolume(volume);
        }
    } else if (stopMethod == StopMethod::StopNow) {
        sendStopCommand();
    }
}

void CountdownEngine::finish(int finalAction) {
    // Stopped by the listener, or followed by a newer countdown, while the
    // stop method ran: the end is no longer this countdown's to carry out.
    if (!tickIsCurrent()) {
        return;
    }
    stop();
    // The counts go back to the listener's: to those the countdown started
    // from, then to the file's, when it can be read (another program may
    // hold it, or no save may ever have reached it).
    restoreStartCounts();
    settings.load();
    // Every end but the quit stops the music first: after a sleep, so that
    // it does not come back when the computer wakes.
    if (finalAction == FinalAction::QuitPlayer) {
        postQuitToPlayer();
    } else if (finalAction >= FinalAction::StopPlaying && finalAction <= FinalAction::Hibernate) {
        sendStopCommand();
    }
    // A countdown started while the player handled the stop command is the
    // listener's new plan: nothing of this end may follow it. Nor may
    // anything follow a quit of the plug-in.
    if (armings != tickArming || PluginLoop::quitCame()) {
        return;
    }
    // Whatever the end, the process may go on (a player that does not quit,
    // a request the system refused, a computer awake again): an open dialog
    // must then show the idle form.
    tell(&CountdownWatcher::countdownEnded);
    countsChanged();
    // Last: their boxes run a message loop in which the player may quit the
    // plug-in, which frees this engine unless the dialog is shown.
    if (finalAction == FinalAction::HaltComputer) {
        powerOff();
    } else if (finalAction == FinalAction::Sleep) {
        sleepComputer();
    } else if (finalAction == FinalAction::Hibernate) {
        hibernateComputer();
    }
}

void CountdownEngine::restoreStartCounts() {
    settings.setSongs(startSongs);
    settings.setMinutes(startMinutes);
}

// Killing a timer does not take back a tick the system has queued already,
// and a kill can fail, leaving the timer running. Such a tick comes after the
// countdown ended (or after quit): it must not act, or the ended countdown
// would count on, prime the next countdown's detector, or carry out its final
// action again. Killing its timer once more makes it stop coming. A tick that
// names a timer the module never armed (a forged or stray WM_TIMER) is
// someone else's: its timer, the player's perhaps, is left alone.
void CALLBACK TimerProc(HWND, UINT, UINT_PTR timer, DWORD) {
    if (currentEngine != NULL && currentEngine->isArmedTimer(timer)) {
        // The tick's messages may run the player's message loop, where it can
        // quit the plug-in and let go of the module: the objects outlive it.
        PluginTick running;
        currentEngine->tick();
    } else if (isOwnTimer(timer)) {
        killOwnTimer(timer);
    }
}
