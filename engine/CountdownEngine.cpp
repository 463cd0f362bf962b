#include "engine/CountdownEngine.h"

#include "plugin/PlayerMessages.h"
#include "plugin/RunState.h"
#include "settings/Settings.h"

CountdownEngine* currentEngine = NULL;

namespace {

int answerAsInt(LRESULT answer) {
    return static_cast<int>(answer);
}

}  // namespace

CountdownEngine::CountdownEngine(RunState& runState, Settings& settings)
    : dialogWindow(NULL),
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
    return timerId != 0;
}

bool CountdownEngine::disarm() {
    if (timerId != 0) {
        KillTimer(NULL, timerId);
        timerId = 0;
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

void CountdownEngine::tick() {
    switch (settings.getCountMode()) {
    case 1: {
        int songs = settings.getSongs();
        if (songs > 0) {
            if (trackEnded()) {
                settings.setSongs(songs - 1);
                notifyDialog();
            }
        } else {
            finish(settings.getFinalAction());
        }
        break;
    }
    case 2: {
        int minutes = settings.getMinutes();
        if (minutes > 0) {
            if (minuteElapsed()) {
                settings.setMinutes(minutes - 1);
                notifyDialog();
            }
        } else {
            int stopMethod = settings.getStopMethod();
            if (stopMethod == 1) {
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
    int position = answerAsInt(askPlayer(PositionInMs, PositionQuery));
    if (answerAsInt(askPlayer(0, RepeatQuery)) == 0) {
        askPlayer(1, SetRepeat);
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
        trackLengthMs = static_cast<long long>(answerAsInt(askPlayer(LengthInSeconds, PositionQuery))) * 1000;
        return false;
    }
    return settings.getCountMode() == 2 && askPlayer(0, IsPlayingQuery) == 0;
}

void CountdownEngine::stopSong(int stopMethod) {
    disarm();
    if (stopMethod == 2) {
        int volume = answerAsInt(askPlayer(VolumeQuery, VolumeMessage));
        // An answer above the player's scale fades from the top of the scale,
        // so the fade stays within its steps and its five seconds.
        int from = volume > MaxFadeSteps ? MaxFadeSteps : volume;
        if (from >= 1) {
            DWORD pauseMs = static_cast<DWORD>(FadeDurationMs / from);
            for (int level = from; level >= 1; --level) {
                askPlayer(static_cast<WPARAM>(level), VolumeMessage);
                Sleep(pauseMs);
            }
        }
        sendStopCommand();
        askPlayer(static_cast<WPARAM>(volume), VolumeMessage);
    } else if (stopMethod == 3) {
        sendStopCommand();
    }
}

void CountdownEngine::finish(int finalAction) {
    disarm();
    runState.setRunning(false);
    settings.load();
    switch (finalAction) {
    case 1:
        sendStopCommand();
        postToDialog(DialogNotifyFinished);
        postToDialog(DialogNotifyCounts);
        break;
    case 2:
        PostMessageA(pluginDescriptor.hostWindow, WM_QUIT, 0, 0);
        break;
    case 3:
        sendStopCommand();
        powerOff();
        break;
    default:
        break;
    }
}

void CALLBACK TimerProc(HWND, UINT, UINT_PTR, DWORD) {
    if (currentEngine != NULL) {
        currentEngine->tick();
    }
}
