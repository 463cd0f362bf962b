// The end of a countdown: the stop method (the fade among them), then the
// finish and the final action.

#include "engine/CountdownEngine.h"
#include "engine/OwnTimers.h"
#include "engine/PowerRequests.h"
#include "plugin/PlayerMessages.h"
#include "plugin/PluginLoop.h"
#include "plugin/RunState.h"
#include "settings/Settings.h"

namespace {

// Nothing is sent to a player that has quit the plug-in.
bool playerStillOurs() {
    return !PluginLoop::quitCame();
}

}  // namespace

void CountdownEngine::stopSong(int stopMethod) {
    if (stopMethod == StopMethod::ShadeOut) {
        // The countdown stays armed while the volume falls: its ticks go on,
        // and the listener can still stop it or give it more.
        beginFade();
        return;
    }
    disarm();
    // "Pause" keeps the place: nothing is stopped before it.
    if (stopMethod == StopMethod::StopNow && settings.getFinalAction() != FinalAction::Pause) {
        sendStopCommand();
    }
}

void CountdownEngine::beginFade() {
    fade.begin(usableFadeSeconds(settings.getFadeSeconds()) * 1000LL);
    // Stopped, or quit, while the player answered.
    if (!tickIsCurrent()) {
        fade.forget();
        return;
    }
    // A fade slow enough for the countdown's own ticks needs no timer of its
    // own. Refused, the ticks step the fade and end it at its time all the
    // same.
    if (fade.stepMs() < TickIntervalMs) {
        fadeTimerId = armOwnTimer(fade.stepMs(), TimerProc);
    }
    tell(&CountdownWatcher::fadeProgressed);
}

void CountdownEngine::stepFade() {
    if (!fade.running()) {
        return;
    }
    bool over = fade.step();
    if (over && tickIsCurrent()) {
        completeFade();
    }
}

void CountdownEngine::endFade() {
    if (fadeTimerId != 0) {
        killOwnTimer(fadeTimerId);
        fadeTimerId = 0;
    }
    if (!fade.running()) {
        return;
    }
    if (playerStillOurs()) {
        fade.giveBack();
    } else {
        fade.forget();
    }
}

void CountdownEngine::completeFade() {
    if (fadeTimerId != 0) {
        killOwnTimer(fadeTimerId);
        fadeTimerId = 0;
    }
    int finalAction = settings.getFinalAction();
    if (finalAction == FinalAction::Pause) {
        // The place and the volume come back after the pause.
        fade.watchPlace();
        fade.complete();
    } else {
        fade.complete();
        sendStopCommand();
        // Stopped first, so that the listener's volume does not come back
        // over the last of the music.
        if (playerStillOurs()) {
            fade.giveBack();
        }
    }
    finish(finalAction);
}

void CountdownEngine::finish(int finalAction) {
    // Stopped by the listener, or followed by a newer countdown, while the
    // stop method ran: the end is no longer this countdown's to carry out.
    if (!tickIsCurrent()) {
        if (fade.awaitingGiveBack() && playerStillOurs()) {
            fade.giveBack();
        }
        fade.forget();
        return;
    }
    disarm();
    runState.setRunning(false);
    // The counts go back to the listener's: to those the countdown started
    // from, then to the file's, when it can be read (another program may
    // hold it, or no save may ever have reached it).
    restoreStartCounts();
    settings.load();
    // Every end but the quit stops the music first: after a sleep, so that
    // it does not come back when the computer wakes. A pause keeps the place.
    if (finalAction == FinalAction::Pause) {
        pauseAtTheEnd();
    } else if (finalAction >= FinalAction::StopPlaying && finalAction <= FinalAction::Hibernate &&
               finalAction != FinalAction::QuitPlayer) {
        sendStopCommand();
    }
    // A countdown started while the player handled the stop command is the
    // listener's new plan: nothing of this end may follow it. Nor may
    // anything follow a quit of the plug-in.
    if (armings != tickArming || !playerStillOurs()) {
        fade.forget();
        return;
    }
    // The player as the listener had it, before it quits or the computer goes.
    restoreRepeat();
    if (!playerStillOurs()) {
        return;
    }
    if (finalAction == FinalAction::QuitPlayer) {
        postQuitToPlayer();
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

// The pause toggles, so it is sent only to a player that plays. After a
// fade, back to where it began, when that is still in this song, so that
// the next Play starts with what the listener last heard clearly; then the
// listener's volume.
void CountdownEngine::pauseAtTheEnd() {
    int state = playerState();
    if (state == PlayingAnswer) {
        sendPauseCommand();
    }
    if (!fade.awaitingGiveBack() || !playerStillOurs()) {
        return;
    }
    if ((state == PlayingAnswer || state == PausedAnswer) && fade.placeKept()) {
        jumpToPosition(fade.startPositionMs());
        if (!playerStillOurs()) {
            fade.forget();
            return;
        }
    }
    fade.giveBack();
}

void CountdownEngine::restoreRepeat() {
    if (repeatSwitchedOn && playerStillOurs()) {
        repeatSwitchedOn = false;
        switchRepeatOff();
    }
}

void CountdownEngine::restoreStartCounts() {
    settings.setSongs(startSongs);
    settings.setMinutes(startMinutes);
}
