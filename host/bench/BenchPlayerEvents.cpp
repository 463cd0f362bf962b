// What the plug-in did, as the bench player sees it: each call it made, told
// in the log (a running fade's routine folded into the fade's own words), in
// the fade's account and in the facts; the requests to the system shown in
// the window's banner.

#include "host/bench/BenchPlayer.h"

#include <shellapi.h>
#include <string.h>

#include "dialog/resource.h"
#include "engine/CountdownEngine.h"
#include "host/DialogDriver.h"
#include "host/Files.h"
#include "plugin/PlayerMessages.h"
#include "settings/Settings.h"

namespace {

bool sameFile(const std::string& a, const std::string& b) {
    char fullA[2 * MAX_PATH];
    char fullB[2 * MAX_PATH];
    return GetFullPathNameA(a.c_str(), sizeof fullA, fullA, NULL) != 0 &&
           GetFullPathNameA(b.c_str(), sizeof fullB, fullB, NULL) != 0 && _stricmp(fullA, fullB) == 0;
}

}  // namespace

void BenchPlayer::onTraceEvent(const TraceEvent& event) {
    if (event.kind == TraceEvent::File) {
        noteSettingsFile(event);
    }
    if (event.isResource()) {
        return;
    }
    log.setClock(clock.playerMs());
    if (event.kind == TraceEvent::Icon) {
        frame.tray.iconsChanged(!event.caption.empty(), clock.playerMs());
    }
    if (event.kind == TraceEvent::Send) {
        noteSend(event);
        return;
    }
    bool fadeTimer = (event.kind == TraceEvent::SetTimer && event.wParam != TickIntervalMs) ||
                     (event.kind == TraceEvent::KillTimer && isFadeTimer(event.wParam));
    if (fadeTimer) {
        log.did(event.kind == TraceEvent::SetTimer
                    ? "armed the fade's timer (every " + std::to_string(event.wParam) + " ms)"
                    : std::string("disarmed the fade's timer"));
    } else {
        // The icon's time left, while the fade runs, is its routine too.
        log.event(event, fading.running() && event.kind == TraceEvent::Icon && event.message == NIM_MODIFY &&
                             event.caption.empty());
    }
    switch (event.kind) {
    case TraceEvent::SetTimer:
        if (fadeTimer) {
            fading.stepTimerArmed(static_cast<UINT>(event.wParam));
            break;
        }
        ++facts.armed;
        facts.armedAtRealMs = realMs();
        facts.firstStopAtRealMs = -1;
        facts.tickAtFinish = 0;
        facts.trackChangesWhileArmed = 0;
        facts.repeatSwitchedOn = facts.repeatSwitchedOff = 0;
        facts.repeatAtArming = model.repeat;
        facts.volumeAtArming = model.volume;
        countdownTickCount = 0;
        fading.countdownArmed(fadeLengthShown());
        requestSteps.clear();
        break;
    case TraceEvent::OpenToken:
        requestSteps.push_back(event.message & TOKEN_ADJUST_PRIVILEGES ? "opened its process token"
                                                                       : BenchLog::describePowerStep(event));
        break;
    case TraceEvent::AdjustPrivileges:
        requestSteps.push_back(BenchLog::describePowerStep(event));
        break;
    case TraceEvent::MessageBox:
        if (!requestSteps.empty()) {
            requestSteps.push_back("showed the \"" + event.caption + "\" box");
        }
        break;
    case TraceEvent::ExitWindows:
        facts.powerOffAsked = true;
        announce("power off the computer", "called ExitWindowsEx (power off, force)", "nothing was switched off");
        break;
    case TraceEvent::Suspend: {
        bool hibernate = event.wParam != 0;
        (hibernate ? facts.hibernateAsked : facts.sleepAsked) = true;
        announce(hibernate ? "hibernate the computer" : "put the computer to sleep",
                 "called SetSuspendState (" + BenchLog::suspendArguments(event) + ")",
                 hibernate ? "nothing was hibernated" : "nothing was put to sleep");
        break;
    }
    case TraceEvent::DisplayPower:
        if (event.lParam == 2) {
            facts.displayOffAsked = true;
            announce("put the computer to sleep",
                     "turned the display off (" + event.text + ", SC_MONITORPOWER 2), as a Modern Standby computer "
                     "goes to sleep",
                     "the display stayed on");
        }
        break;
    default:
        break;
    }
}

bool BenchPlayer::countdownArmed() const {
    for (const PluginHost::Timer& timer : host.timers) {
        if (timer.alive && timer.periodMs == TickIntervalMs) {
            return true;
        }
    }
    return false;
}

bool BenchPlayer::isFadeTimer(UINT_PTR id) const {
    // The latest with that id: the system may give a killed timer's id again.
    for (size_t i = host.timers.size(); i-- > 0;) {
        if (host.timers[i].id == id) {
            return host.timers[i].periodMs != TickIntervalMs;
        }
    }
    return false;
}

long long BenchPlayer::fadeLengthShown() const {
    HWND dialog = window() != NULL ? findOwnedDialog(window()) : NULL;
    LRESULT chosen = dialog != NULL ? SendDlgItemMessageA(dialog, IDC_FADE_LENGTH, CB_GETCURSEL, 0, 0) : CB_ERR;
    return chosen >= 0 && chosen < FadeLengthCount ? FadeLengths[chosen] * 1000LL : 0;
}

// A message the plug-in sent the player: in the log (a running fade's
// routine folded), in the fade's account, and in the facts.
void BenchPlayer::noteSend(const TraceEvent& event) {
    bool wasFading = fading.running();
    fading.sent(event.message, event.wParam, event.lParam, event.result, host.nowMs(), clock.realMsExact());
    bool fadeMessage = event.message == PlayerMessage &&
                       (event.lParam == VolumeMessage || (event.lParam == PositionQuery && event.wParam == PositionInMs));
    log.sent(event.message, event.wParam, event.lParam, event.result, wasFading && fading.running() && fadeMessage);
    if (event.message == WM_COMMAND && LOWORD(event.wParam) == StopCommand) {
        ++facts.stopCommands;
        if (facts.firstStopAtRealMs < 0 && facts.armedAtRealMs >= 0) {
            facts.firstStopAtRealMs = realMs();
        }
    } else if (event.message == WM_COMMAND && LOWORD(event.wParam) == PauseCommand) {
        ++facts.pauseCommands;
    } else if (event.message == PlayerMessage && event.lParam == JumpToTime) {
        ++facts.jumps;
    } else if (event.message == PlayerMessage && event.lParam == SetRepeat) {
        ++(event.wParam == RepeatOn ? facts.repeatSwitchedOn : facts.repeatSwitchedOff);
    }
}

// Told only for a settings file other than the one beside the plug-in, so
// that the listener sees where their choices went.
void BenchPlayer::noteSettingsFile(const TraceEvent& event) {
    const std::string name = event.caption;
    const std::string settingsName = "\\gen_nightcap.dat";
    if (event.result == 0 || name.size() < settingsName.size() ||
        _stricmp(name.c_str() + name.size() - settingsName.size(), settingsName.c_str()) != 0 ||
        sameFile(name, besideSettings)) {
        return;
    }
    log.setClock(clock.playerMs());
    // A load opens the file to read it, and takes only a whole record.
    if (event.text == "CreateFileA" && readFileBytes(name).size() >= static_cast<size_t>(SettingsFileSize)) {
        log.did("read its settings from " + name + ", not from beside the plug-in");
    } else if (event.text == "MoveFileExA") {
        log.did("saved its settings to " + name + ", not beside the plug-in");
    } else if (event.text == "DeleteFileA") {
        log.did("removed " + name + ": its settings are beside the plug-in again");
    }
}

void BenchPlayer::announce(const std::string& asked, const std::string& call, const std::string& intercepted) {
    facts.stopsBeforeRequest = facts.stopCommands;
    requestSteps.push_back(call);
    std::string text = "The plug-in asked to " + asked + ": it ";
    for (size_t i = 0; i < requestSteps.size(); ++i) {
        text += (i == 0 ? "" : (i + 1 == requestSteps.size() ? " and " : ", ")) + requestSteps[i];
    }
    text += ". Intercepted: " + intercepted + ".";
    requestSteps.clear();
    facts.requestNotice = text;
    log.note("the plug-in asked to " + asked + " (intercepted)");
    frame.controls.showBanner(text);
}
