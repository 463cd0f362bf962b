#include "host/bench/BenchSession.h"

#include <stdio.h>

#include <algorithm>

#include "dialog/resource.h"
#include "engine/CountdownEngine.h"

namespace {

// Skipping: from this far into a track to this far before its end. The
// plug-in sees a song end when a tick finds the position back near the start
// coming from the track's last 9.791 s, so skipping must leave it a few ticks
// on either side.
const int SkipFromMs = 2000;
const int SkipToSecondsBeforeEnd = 6;
const int SkipShortestTrackSeconds = 20;

// Real time given to the screen to settle before a screenshot.
const long long PaintMs = 400;
// Real time for the dialog to show, or to close, before the session fails.
const long long DialogWaitMs = 10000;

std::string plural(int count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 || count == -1 ? one : many);
}

// A choice of the dialog: its button and what it does, in words.
struct Choice {
    int value;
    int button;
    const char* words;
};
const Choice StopMethods[] = {
    {StopMethod::WaitForSongEnd, IDC_WAIT_SONG_END, "wait until the song completes"},
    {StopMethod::ShadeOut, IDC_FADE_OUT, "shade out and stop the song"},
    {StopMethod::StopNow, IDC_STOP_NOW, "directly stop the song"},
};
const Choice FinalActions[] = {
    {FinalAction::StopPlaying, IDC_STOP_PLAYING, "stop playing"},
    {FinalAction::Pause, IDC_PAUSE, "pause"},
    {FinalAction::QuitPlayer, IDC_QUIT_PLAYER, "quit the player"},
    {FinalAction::HaltComputer, IDC_HALT_COMPUTER, "halt the computer"},
    {FinalAction::Sleep, IDC_SLEEP, "put the computer to sleep"},
    {FinalAction::Hibernate, IDC_HIBERNATE, "hibernate the computer"},
};

// The choice of that value; a value outside the list has no button and "?" for words.
template <size_t Count>
Choice choiceOf(const Choice (&choices)[Count], int value) {
    for (const Choice& choice : choices) {
        if (choice.value == value) {
            return choice;
        }
    }
    return Choice{value, 0, "?"};
}

}  // namespace

BenchSession::BenchSession(BenchPlayer& player, const Scenario& chosen) : player(player), scenario(chosen) {
    player.onHeartbeat = [this]() { step(); };
    // The icon's menu is answered by the script, never shown to wait for a user.
    player.host.onMenu = [this](const std::vector<std::string>& items) { return chooseFromMenu(items); };
    player.tray().holdBalloons(!scenario.warningShot.empty());
    std::stable_sort(scenario.menuClicks.begin(), scenario.menuClicks.end(),
                     [](const MenuClick& a, const MenuClick& b) { return a.tick < b.tick; });
    outerReport = DialogDriver::reportFailure;
    DialogDriver::reportFailure = [this](const std::string& why) { fail(why); };
    stageStartMs = player.realMs();
}

BenchSession::~BenchSession() {
    player.onHeartbeat = nullptr;
    player.host.onMenu = nullptr;
    DialogDriver::reportFailure = outerReport;
}

std::string BenchSession::describe(const Scenario& s) {
    bool minutes = s.countMode == CountMode::Minutes;
    std::string text = "count down " + (minutes ? plural(s.count, "minute", "minutes") : plural(s.count, "song", "songs"));
    if (minutes) {
        text += std::string(", then ") + choiceOf(StopMethods, s.stopMethod).words;
        if (s.stopMethod == StopMethod::ShadeOut && s.fadeSeconds > 0) {
            text += " over " + BenchFade::lengthWords(s.fadeSeconds * 1000LL);
        }
    }
    return text + ", then " + choiceOf(FinalActions, s.finalAction).words;
}

void BenchSession::enter(Stage next) {
    stage = next;
    stageStartMs = player.realMs();
    stageBeats = 0;
}

// The simulated clock plays on with every beat: there, a few beats do.
bool BenchSession::settled() {
    if (repaintedAtMs < stageStartMs) {
        player.repaint();
        repaintedAtMs = player.realMs();
        settleBeats = 0;
    }
    ++settleBeats;
    return player.options.simulated ? settleBeats >= 4 : player.realMs() - repaintedAtMs >= PaintMs;
}

void BenchSession::fail(const std::string& why) {
    if (failure.empty()) {
        failure = why;
        player.log.note("the session failed: " + why);
    }
    enter(Ending);
}

void BenchSession::shoot(const std::string& path) {
    if (path.empty()) {
        return;
    }
    if (player.saveScreenshot(path)) {
        player.log.note("screenshot saved: " + path);
    } else {
        player.log.note("no screenshot could be saved to " + path);
    }
}

void BenchSession::step() {
    ++stageBeats;
    // Time-bounded stages stretch with the rig's time factor (a slow,
    // emulated processor); the beats counted stay as they are.
    long long inStage = (player.realMs() - stageStartMs) / PluginHost::timeFactor();
    const BenchPlayer::Facts& facts = player.facts;
    HWND dialog = player.pluginDialog();
    int ticks = player.countdownTicks();
    bool countdownOver = facts.armed > 0 && !player.countdownArmed();

    if (stage < Ending && player.realMs() > scenario.limitRealMs * PluginHost::timeFactor()) {
        fail("the countdown did not end in time");
        return;
    }
    shootWhenDue();
    if (stage >= Counting && stage <= Watching) {
        clickMenuIfDue();
        countdownOver = facts.armed > 0 && !player.countdownArmed();
    }

    switch (stage) {
    case Starting:
        if (!facts.pluginReady) {
            fail("the plug-in is not ready");
        } else if (stageBeats == 2) {
            player.play();
        } else if (stageBeats > 3 && settled()) {
            shoot(scenario.idleShot);
            queueFillAndStart();
            player.openPluginConfig();
            enter(OpeningDialog);
        }
        return;
    case OpeningDialog:
        if (dialog != NULL) {
            if (!driver->playNextStep() && stage == OpeningDialog) {
                enter(Arming);
            }
        } else if (inStage > DialogWaitMs) {
            fail("the plug-in showed no dialog");
        }
        return;
    case Arming:
        if (dialog == NULL && facts.armed > 0) {
            enter(Counting);
        } else if (dialog == NULL) {
            fail("the dialog closed without starting a countdown");
        } else if (inStage > DialogWaitMs / 5 && stageBeats > 20) {
            fail("the dialog did not accept the start (see its message boxes in the log)");
        }
        return;
    case Counting: {
        if (countdownOver) {
            enter(Ending);
            return;
        }
        skipAhead();
        bool minutes = scenario.countMode == CountMode::Minutes;
        int halfway = minutes ? TicksPerMinute * scenario.count / 2 : 0;
        bool pastHalf = minutes ? ticks >= halfway
                                : facts.trackChangesWhileArmed >= scenario.count / 2 && ticks >= 4;
        if (scenario.reopenDialog && !reopened && pastHalf && player.model.positionMs >= 1000) {
            reopened = true;
            player.openPluginConfig();
            enter(Reopening);
        }
        return;
    }
    case Reopening:
        if (dialog != NULL) {
            if (settled()) {
                shoot(scenario.countdownShot);
                enter(Watching);
            }
        } else if (countdownOver) {
            enter(Ending);
        } else if (inStage > DialogWaitMs) {
            fail("the plug-in showed no dialog during the countdown");
        }
        return;
    case Watching:
        if (countdownOver) {
            enter(Ending);
            return;
        }
        skipAhead();
        return;
    case Ending:
        // Let the dialog take the plug-in's last notifications and be seen.
        if (stageBeats < 3 || !settled()) {
            return;
        }
        shoot(scenario.endShot);
        if (dialog != NULL && driver) {
            player.log.note("you: Esc (closes the dialog)");
            driver->escape();
        }
        enter(Closing);
        return;
    case Closing:
        if (dialog == NULL) {
            player.log.note("you: close the player");
            player.close();
            enter(Done);
        } else if (inStage > DialogWaitMs) {
            EndDialog(dialog, IDCANCEL);
        }
        return;
    case Done:
        return;
    }
}

// Two steps, played one a beat once the dialog shows: what is typed is
// posted and must reach the field before "start now" reads it.
void BenchSession::queueFillAndStart() {
    driver.reset(new DialogDriver(player.window(), &player.host));
    driver->then([this](DialogDriver& d) {
        player.log.note("you: " + describe(scenario));
        bool minutes = scenario.countMode == CountMode::Minutes;
        d.click(minutes ? IDC_COUNT_MINUTES : IDC_COUNT_SONGS);
        d.type(minutes ? IDC_MINUTES : IDC_SONGS, std::to_string(scenario.count));
        if (minutes) {
            d.click(choiceOf(StopMethods, scenario.stopMethod).button);
            if (scenario.stopMethod == StopMethod::ShadeOut && scenario.fadeSeconds > 0) {
                d.choose(IDC_FADE_LENGTH, "over " + BenchFade::lengthWords(scenario.fadeSeconds * 1000LL));
            }
        }
        Choice ending = choiceOf(FinalActions, scenario.finalAction);
        if (!d.enabled(ending.button)) {
            fail(std::string("the dialog greys \"") + ending.words + "\": this computer cannot do it (see --power)");
            return;
        }
        d.click(ending.button);
    });
    driver->then([this](DialogDriver& d) {
        player.log.note("you: press \"start now\"");
        d.click(IDC_START_STOP);
    });
}

void BenchSession::skipAhead() {
    if (!scenario.skipToTrackEnds || player.model.state != PlayerModel::Playing) {
        return;
    }
    // Counting minutes, the music matters only once the minutes are spent
    // and the plug-in waits for the song to end.
    int ticks = player.countdownTicks();
    if (scenario.countMode == CountMode::Minutes &&
        (scenario.stopMethod != StopMethod::WaitForSongEnd || ticks <= TicksPerMinute * (scenario.count + extraCount))) {
        return;
    }
    const Track* track = player.model.currentTrack();
    int lengthMs = player.model.currentLengthMs();
    if (track == nullptr || track->lengthSeconds < SkipShortestTrackSeconds) {
        return;
    }
    int position = player.model.positionMs;
    if (position >= SkipFromMs && position < lengthMs - 2 * SkipToSecondsBeforeEnd * 1000) {
        player.jumpBeforeEnd(SkipToSecondsBeforeEnd);
    }
}

void BenchSession::clickMenuIfDue() {
    if (nextClick >= scenario.menuClicks.size() || !player.countdownArmed() ||
        player.countdownTicks() < scenario.menuClicks[nextClick].tick) {
        return;
    }
    const MenuClick& click = scenario.menuClicks[nextClick++];
    choosing = click.item;
    if (!player.tray().click(true)) {
        fail("no icon in the notification area to right-click on tick " + std::to_string(player.countdownTicks()));
    } else if (!choosing.empty()) {
        fail("the icon's menu did not open on tick " + std::to_string(player.countdownTicks()));
    }
    choosing.clear();
}

UINT BenchSession::chooseFromMenu(const std::vector<std::string>& items) {
    const PluginHost& host = player.host;
    for (size_t i = 0; !choosing.empty() && i < items.size() && i < host.menuCommands.size(); ++i) {
        const std::string& text = items[i];
        bool wanted = choosing == "stop"   ? text.compare(0, 5, "Stop ") == 0
                      : choosing == "open" ? text.compare(0, 5, "Open ") == 0
                                           : text.find(" more ") != std::string::npos;
        if (wanted && host.menuCommands[i] != 0) {
            player.log.note("you: choose \"" + text + "\"");
            stoppedFromMenu = stoppedFromMenu || choosing == "stop";
            if (choosing == "more") {
                extraCount += scenario.countMode == CountMode::Minutes ? 10 : 1;
            }
            choosing.clear();
            return host.menuCommands[i];
        }
    }
    player.log.note("you: Esc (the menu has no item for \"" + choosing + "\")");
    choosing.clear();
    return 0;
}

bool BenchSession::shootOnce(bool ready, const std::string& path, Shot& shot) {
    if (path.empty() || shot.taken || !ready) {
        shot.beats = 0;
        return false;
    }
    if (shot.beats++ == 0) {
        player.repaint();
        shot.atMs = player.realMs();
    } else if (player.options.simulated ? shot.beats >= 4 : player.realMs() - shot.atMs >= PaintMs) {
        shoot(path);
        shot.taken = true;
    }
    return shot.taken;
}

// Once the balloon shows; the bench holds it until then. And two-fifths
// into a fade, when the volume has fallen a good way.
void BenchSession::shootWhenDue() {
    if (shootOnce(player.tray().balloonShows(), scenario.warningShot, warningShot)) {
        player.tray().holdBalloons(false);
    }
    shootOnce(player.fade().running() && player.fade().progress() >= 0.4, scenario.fadeShot, fadeShot);
}
