#include "engine/CountdownEngine.h"

#include "engine/OwnTimers.h"
#include "plugin/PlayerMessages.h"
#include "plugin/PluginLoop.h"
#include "plugin/RunState.h"
#include "settings/Settings.h"

CountdownEngine* currentEngine = NULL;

CountdownEngine::CountdownEngine(RunState& runState, Settings& settings)
    : settings(settings),
      runState(runState),
      timerId(0),
      fadeTimerId(0),
      detectorPrimed(false),
      lastPositionMs(0),
      trackLengthMs(0),
      trackLengthKnown(false),
      minutePrimed(false),
      minuteTicks(0),
      repeatSwitchedOn(false),
      endWarned(false),
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
    restoreRepeat();
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
    // The end is no longer now: the music plays on at the listener's volume.
    endFade();
    if (mode == CountMode::Songs) {
        settings.setSongs(extendedCount(settings.getSongs(), more));
    } else {
        settings.setMinutes(extendedCount(settings.getMinutes(), more));
    }
    countsChanged();
    watchTheEnd();
}

void CountdownEngine::quit() {
    bool wasRunning = timerId != 0 || fade.running();
    // A quit from inside a message the plug-in is sending: the player is
    // told nothing more.
    bool tellPlayer = wasRunning && !sendingToPlayer();
    if (!tellPlayer) {
        fade.forget();
    }
    disarm();
    if (tellPlayer) {
        restoreRepeat();
    }
}

bool CountdownEngine::arm() {
    timerId = armOwnTimer(TickIntervalMs, TimerProc);
    if (timerId == 0) {
        return false;
    }
    ++armings;
    startSongs = settings.getSongs();
    startMinutes = settings.getMinutes();
    endWarned = false;
    tell(&CountdownWatcher::countdownArmed);
    watchTheEnd();
    return true;
}

bool CountdownEngine::disarm() {
    endFade();
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
    trackLengthKnown = false;
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

bool CountdownEngine::tickIsCurrent() const {
    return armings == tickArming && runState.isRunning() && !PluginLoop::quitCame();
}

void CountdownEngine::tick() {
    // A tick of a newer countdown may run inside this one's sends; each
    // keeps its own mark.
    unsigned int outerTick = tickArming;
    tickArming = armings;
    countOrEnd();
    if (tickIsCurrent()) {
        watchTheEnd();
    }
    tickArming = outerTick;
}

void CountdownEngine::fadeTick() {
    unsigned int outerTick = tickArming;
    tickArming = armings;
    stepFade();
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
            break;
        }
        int stopMethod = settings.getStopMethod();
        if (stopMethod == StopMethod::WaitForSongEnd) {
            if (trackEnded()) {
                finish(settings.getFinalAction());
            }
        } else if (stopMethod == StopMethod::ShadeOut && fade.running()) {
            // The fade's own timer steps it; a tick steps it too, so that it
            // ends at its time even without that timer.
            fade.watchPlace();
            if (tickIsCurrent()) {
                tell(&CountdownWatcher::fadeProgressed);
                stepFade();
            }
        } else if (stopMethod == StopMethod::ShadeOut) {
            stopSong(stopMethod);
        } else {
            stopSong(stopMethod);
            finish(settings.getFinalAction());
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
        // The detector needs the position to come back round after the
        // last song; switched off again at the countdown's end.
        switchRepeatOn();
        repeatSwitchedOn = true;
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
        trackLengthKnown = false;
        return true;
    case PositionForward:
        trackLengthMs = static_cast<long long>(trackLengthSeconds()) * 1000;
        trackLengthKnown = true;
        return false;
    case PositionStill:
        return settings.getCountMode() == CountMode::Minutes && !playerIsPlaying();
    case JumpWithinTrack:
        break;
    }
    return false;
}

CountdownClock CountdownEngine::clock() const {
    CountdownClock now = {
        settings.getCountMode(),
        settings.getStopMethod(),
        settings.getSongs(),
        settings.getMinutes(),
        minuteTicks,
        usableFadeSeconds(settings.getFadeSeconds()) * 1000LL,
        fade.running(),
        fade.msLeft(),
        detectorPrimed && trackLengthKnown,
        trackLengthMs,
        lastPositionMs,
    };
    return now;
}

void CountdownEngine::watchTheEnd() {
    if (timerId == 0) {
        return;
    }
    long long ms = msUntilEnd(clock());
    if (ms < 0 || ms > EndWarningMs) {
        // Not yet, or moved later than the warning that was given.
        endWarned = false;
        return;
    }
    if (!endWarned) {
        endWarned = true;
        tell(&CountdownWatcher::endNear);
    }
}

// A tick of a timer the module armed: the countdown's, or the fade's. Their
// messages may run the player's message loop, where it can quit the plug-in
// and let go of the module: the objects outlive the tick. A timer the module
// armed and could not kill is killed again; anyone else's is left alone.
void CALLBACK TimerProc(HWND, UINT, UINT_PTR timer, DWORD) {
    if (currentEngine != NULL && currentEngine->isArmedTimer(timer)) {
        PluginTick running;
        currentEngine->tick();
    } else if (currentEngine != NULL && currentEngine->isFadeTimer(timer)) {
        PluginTick running;
        currentEngine->fadeTick();
    } else if (isOwnTimer(timer)) {
        killOwnTimer(timer);
    }
}
