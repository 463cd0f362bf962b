// How a scripted session ended: whether the plug-in did what was chosen and
// gave the player back as the listener had it, in a paragraph, and, on real
// timers, how long it took against the nominal time.

#include "host/bench/BenchSession.h"

#include <stdio.h>

#include "engine/CountdownEngine.h"

namespace {

std::string plural(int count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 || count == -1 ? one : many);
}

}  // namespace

bool BenchSession::givenBack() const {
    const BenchPlayer::Facts& f = player.facts;
    return (f.repeatAtArming || !player.model.repeat) && player.model.volume == f.volumeAtArming;
}

bool BenchSession::succeeded() const {
    const BenchPlayer::Facts& f = player.facts;
    if (!failure.empty() || f.armed == 0) {
        return false;
    }
    // The player as the listener had it: the volume, and repeat off again
    // when Nightcap switched it on.
    if (!givenBack()) {
        return false;
    }
    bool asked = f.powerOffAsked || f.sleepAsked || f.hibernateAsked || f.displayOffAsked;
    if (stoppedFromMenu) {
        // Nothing at the end is carried out, and the music plays on.
        return !asked && !f.quitByPlugin && f.stopCommands == 0 && f.pauseCommands == 0 && !player.countdownArmed();
    }
    // The music stops before the system is asked, not after the computer wakes.
    bool stoppedFirst = f.stopsBeforeRequest > 0;
    switch (scenario.finalAction) {
    case FinalAction::Pause:
        return f.pauseCommands > 0 && f.stopCommands == 0 && !f.quitByPlugin && !asked &&
               player.model.state == PlayerModel::Paused;
    case FinalAction::StopPlaying:
        return f.stopCommands > 0 && !f.quitByPlugin && !asked && f.tickAtFinish > 0;
    case FinalAction::QuitPlayer:
        return f.quitByPlugin && !asked;
    case FinalAction::HaltComputer:
        return f.powerOffAsked && !f.sleepAsked && !f.hibernateAsked && !f.displayOffAsked && stoppedFirst;
    case FinalAction::Sleep:
        return (f.sleepAsked || f.displayOffAsked) && !f.powerOffAsked && !f.hibernateAsked && stoppedFirst;
    case FinalAction::Hibernate:
        return f.hibernateAsked && !f.powerOffAsked && !f.sleepAsked && !f.displayOffAsked && stoppedFirst;
    default:
        return false;
    }
}

std::string BenchSession::outcome() const {
    const BenchPlayer::Facts& f = player.facts;
    std::string text = "Outcome (" + describe(scenario) + "): ";
    if (!failure.empty()) {
        return text + "FAILED: " + failure + ".";
    }
    if (f.armed == 0) {
        return text + "FAILED: no countdown was started.";
    }
    if (stoppedFromMenu && !f.powerOffAsked && !f.quitByPlugin && f.stopCommands == 0) {
        text += "the listener stopped the countdown from the icon's menu (nothing at the end was carried out)";
    } else if (f.powerOffAsked) {
        text += "Nightcap stopped the player and asked to power off the computer; the bench intercepted the request, "
                "nothing was switched off";
    } else if (f.sleepAsked || f.hibernateAsked) {
        text += std::string("Nightcap stopped the player and asked to ") +
                (f.hibernateAsked ? "hibernate the computer" : "put the computer to sleep") +
                "; the bench intercepted the request, " +
                (f.hibernateAsked ? "nothing was hibernated" : "nothing was put to sleep");
    } else if (f.displayOffAsked) {
        text += "Nightcap stopped the player and turned the display off, as a Modern Standby computer goes to sleep; "
                "the bench intercepted the request, the display was not turned off";
    } else if (f.quitByPlugin) {
        text += "Nightcap asked the player to quit, and the bench player closed";
    } else if (f.pauseCommands > 0) {
        text += std::string("Nightcap paused the player") + (f.jumps > 0 ? " and went back to where the fade began" : "");
    } else if (f.stopCommands > 0) {
        text += "Nightcap stopped the player";
    } else {
        text += "the countdown ended without a final action";
    }
    int ticks = f.tickAtFinish > 0 ? f.tickAtFinish : player.countdownTicks();
    text += " on tick " + std::to_string(ticks) + " of the countdown (" +
            BenchLog::formatTime(static_cast<long long>(ticks) * TickIntervalMs) + " of play), after " +
            plural(f.trackChangesWhileArmed, "track change", "track changes") + ". " +
            (givenBack() ? "" : "The player was not given back as the listener had it. ") +
            (succeeded() ? "As chosen." : "NOT what was chosen.");
    return text;
}

std::string BenchSession::timing() const {
    const BenchPlayer::Facts& f = player.facts;
    const BenchFade& fade = player.fade();
    double speed = player.options.speed;
    char text[300];
    if (player.options.simulated || scenario.countMode != CountMode::Minutes) {
        return std::string();
    }
    if (scenario.stopMethod == StopMethod::ShadeOut && fade.measuredRealMs >= 0 && fade.chosenMs() > 0) {
        double measured = fade.measuredRealMs * speed / 1000.0;
        double ratio = measured * 1000.0 / static_cast<double>(fade.chosenMs());
        snprintf(text, sizeof text,
                 "Fade: chosen %s; from its first volume query to its %s command %.3f s (%.3f s real at speed x%g); "
                 "ratio %.4f (goal within +-2 %%: %s)",
                 BenchFade::lengthWords(fade.chosenMs()).c_str(), f.pauseCommands > 0 ? "pause" : "stop", measured,
                 fade.measuredRealMs / 1000.0, speed, ratio, ratio >= 0.98 && ratio <= 1.02 ? "met" : "MISSED");
        return text;
    }
    if (scenario.stopMethod != StopMethod::StopNow || f.firstStopAtRealMs < 0) {
        return std::string();
    }
    double measured = static_cast<double>(f.firstStopAtRealMs - f.armedAtRealMs) / 1000.0;
    double nominal = (TicksPerMinute * scenario.count + 1) * (TickIntervalMs / 1000.0) / speed;
    snprintf(text, sizeof text,
             "Timing: from \"start now\" to the stop command on tick %d: %.3f s real; nominal %.3f s at speed x%g; "
             "ratio %.4f",
             TicksPerMinute * scenario.count + 1, measured, nominal, speed, measured / nominal);
    return text;
}
