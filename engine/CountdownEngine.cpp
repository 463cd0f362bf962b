#include "engine/CountdownEngine.h"

#include "engine/PowerRequests.h"
#include "plugin/PlayerMessages.h"
#include "plugin/RunState.h"
#include "settings/Settings.h"

CountdownEngine* currentEngine = NULL;

CountdownEngine::CountdownEngine(RunState& runState, Settings& settings)
    : dialogWindow(NULL),
      watcher(NULL),
      settings(settings),
      runState(runState),
      timerId(0),
      detectorPrimed(false),
      lastPositionMs(0),
      trackLengthMs(0),
      minutePrimed(false),
      minuteTicks(0) {
    currentEngine = this;
}

CountdownEngine::~CountdownEngine() {
    currentEngine = NULL;
}

bool CountdownEngine::arm() {
    timerId = SetTimer(NULL, 0, TickIntervalMs, TimerProc);
    if (timerId == 0) {
        return false;
    }
    if (watcher != NULL) {
        watcher->countdownArmed();
    }
    return true;
}

bool CountdownEngine::disarm() {
    if (timerId != 0) {
        KillTimer(NULL, timerId);
        timerId = 0;
        if (watcher != NULL) {
            watcher->countdownDisarmed();
        }
    }
    minutePrimed = false;
    detectorPrimed = false;
    minuteTicks = 0;
    lastPositionMs = 0;
    trackLengthMs = 0;
    return true;
}

void CountdownEngine::postToDialog(WPARAM what) {
    if (dialogWindow != NULL) {
        PostMessageA(dialogWindow, DialogNotify, what, 0);
    }
}

void CountdownEngine::notifyDialog() {
    postToDialog(DialogNotifyCounts);
}

void CountdownEngine::cancel() {
    if (timerId == 0) {
        return;
    }
    disarm();
    runState.setRunning(false);
    postToDialog(DialogNotifyFinished);
}

void CountdownEngine::extend(int count) {
    if (timerId == 0 || count <= 0) {
        return;
    }
    // Up to the largest count, not past it: the listener's "more" must not
    // wrap round into an end.
    const int Largest = 2147483647;
    int mode = settings.getCountMode();
    if (mode == CountMode::Songs) {
        int songs = settings.getSongs();
        settings.setSongs(songs > Largest - count ? Largest : songs + count);
    } else if (mode == CountMode::Minutes) {
        int minutes = settings.getMinutes();
        settings.setMinutes(minutes > Largest - count ? Largest : minutes + count);
    } else {
        return;
    }
    countsChanged();
}

void CountdownEngine::countsChanged() {
    notifyDialog();
    if (watcher != NULL) {
        watcher->countsChanged();
    }
}

void CountdownEngine::tick() {
    switch (settings.getCountMode()) {
    case CountMode::Songs: {
        int songs = settings.getSongs();
        if (songs > 0) {
            if (trackEnded()) {
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
            if (minuteElapsed()) {
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

    int last = lastPositionMs;
    lastPositionMs = position;
    if (position < last) {
        if (position >= TrackStartWindowMs || trackLengthMs <= 0) {
            return false;
        }
        return static_cast<long long>(last) + TrackEndWindowMs > trackLengthMs;
    }
    if (position > last) {
        trackLengthMs = static_cast<long long>(trackLengthSeconds()) * 1000;
        return false;
    }
    return settings.getCountMode() == CountMode::Minutes && !playerIsPlaying();
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
            for (int level = from; level >= 1; --level) {
                setPlayerVolume(level);
                Sleep(pauseMs);
            }
        }
        sendStopCommand();
        setPlayerVolume(volume);
    } else if (stopMethod == StopMethod::StopNow) {
        sendStopCommand();
    }
}

void CountdownEngine::finish(int finalAction) {
    disarm();
    runState.setRunning(false);
    settings.load();
    // Every end but the quit stops the music first: after a sleep, so that
    // it does not come back when the computer wakes.
    if (finalAction == FinalAction::QuitPlayer) {
        postQuitToPlayer();
    } else if (finalAction >= FinalAction::StopPlaying && finalAction <= FinalAction::Hibernate) {
        sendStopCommand();
    }
    // Whatever the end, the process may go on (a player that does not quit,
    // a request the system refused, a computer awake again): an open dialog
    // must then show the idle form.
    postToDialog(DialogNotifyFinished);
    postToDialog(DialogNotifyCounts);
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

// Killing a timer does not take back a tick the system has queued already,
// and a kill can fail, leaving the timer running. Such a tick comes after the
// countdown ended (or after quit): it must not act, or the ended countdown
// would count on, prime the next countdown's detector, or carry out its final
// action again. Killing its timer once more makes it stop coming.
void CALLBACK TimerProc(HWND, UINT, UINT_PTR timer, DWORD) {
    if (currentEngine != NULL && currentEngine->isArmedTimer(timer)) {
        currentEngine->tick();
    } else {
        KillTimer(NULL, timer);
    }
}
