#include "host/bench/BenchLog.h"

#include <shellapi.h>
#include <stdio.h>

#include "dialog/ConfigDialog.h"
#include "plugin/PlayerMessages.h"
#include "tray/NotificationIcon.h"

namespace {

std::string format(const char* pattern, long long a, long long b = 0, long long c = 0) {
    char text[160];
    snprintf(text, sizeof text, pattern, a, b, c);
    return text;
}

std::string oneLine(std::string text) {
    for (size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at)) {
        text.replace(at, 1, " / ");
    }
    return text;
}

}  // namespace

std::string BenchLog::formatTime(long long ms) {
    if (ms < 0) {
        ms = 0;
    }
    return format("%lld:%02lld.%lld", ms / 60000, ms / 1000 % 60, ms / 100 % 10);
}

std::string BenchLog::formatLength(int seconds) {
    return format("%lld:%02lld", seconds / 60, seconds % 60);
}

std::string BenchLog::describeSend(UINT message, WPARAM wParam, LPARAM lParam, LRESULT result) {
    long long answer = static_cast<int>(result);
    if (message == WM_COMMAND && LOWORD(wParam) == StopCommand) {
        return "stop";
    }
    if (message == WM_COMMAND && LOWORD(wParam) == PauseCommand) {
        return "pause";
    }
    if (message != PlayerMessage) {
        return format("message %lld (%lld, %lld)", message, static_cast<int>(wParam), lParam);
    }
    switch (lParam) {
    case IsPlayingQuery:
        return std::string("asked whether the player plays (") +
               (answer == 0 ? "no" : (answer == 3 ? "paused" : "yes")) + ")";
    case PositionQuery:
        if (wParam == PositionInMs) {
            return answer < 0 ? format("asked the play position (%lld: stopped)", answer)
                              : format("asked the play position (%lld.%lld s)", answer / 1000, answer / 100 % 10);
        }
        if (wParam == LengthInSeconds) {
            return format("asked the track length (%lld s)", answer);
        }
        break;
    case RepeatQuery:
        return std::string("asked the repeat mode (") + (answer == 0 ? "off" : "on") + ")";
    case SetRepeat:
        return wParam == RepeatOn    ? "switched repeat on"
               : wParam == RepeatOff ? "switched repeat off"
                                     : format("set repeat %lld", static_cast<int>(wParam));
    case JumpToTime:
        return "jump to " + formatTime(static_cast<int>(wParam)) + (answer < 0 ? " (refused: nothing plays)" : "");
    case VolumeMessage:
        if (wParam == VolumeQuery) {
            return format("asked the volume (%lld)", answer);
        }
        return format("volume %lld", static_cast<int>(wParam));
    default:
        break;
    }
    return format("message WM_USER (%lld, %lld)", static_cast<int>(wParam), lParam);
}

// Says what was asked, so that a token opened without the right to adjust
// it, or a privilege left disabled, shows in the log.
std::string BenchLog::describePowerStep(const TraceEvent& event) {
    if (event.kind == TraceEvent::OpenToken) {
        return event.message & TOKEN_ADJUST_PRIVILEGES
                   ? "opened its process token to adjust its privileges"
                   : format("opened its process token without the right to adjust its privileges (access %lld)",
                            event.message);
    }
    if (event.text == "SeShutdownPrivilege" && (event.lParam & SE_PRIVILEGE_ENABLED)) {
        return "enabled the shutdown privilege";
    }
    return "adjusted its privileges (" + (event.text.empty() ? std::string("an unknown privilege") : event.text) +
           format(", attributes %lld): the shutdown privilege is not enabled", event.lParam);
}

// The three arguments in words, so that a request without force or with the
// wake events turned off shows in the log.
std::string BenchLog::suspendArguments(const TraceEvent& event) {
    return std::string(event.wParam != 0 ? "hibernate" : "sleep") + (event.lParam != 0 ? ", force" : ", no force") +
           (event.message != 0 ? ", wake events off" : ", wake events on");
}

std::string BenchLog::describeSuspend(const TraceEvent& event) {
    bool hibernate = event.wParam != 0;
    return std::string(hibernate ? "asked to hibernate the computer" : "asked to put the computer to sleep") +
           " (SetSuspendState: " + suspendArguments(event) + ") - intercepted, " +
           (hibernate ? "nothing was hibernated" : "nothing was put to sleep");
}

std::string BenchLog::describeEvent(const TraceEvent& event) {
    switch (event.kind) {
    case TraceEvent::Send:
    case TraceEvent::Heap:
    case TraceEvent::File:
        return std::string();
    case TraceEvent::Post:
        if (event.message == WM_NULL) {
            return std::string();  // a window's own housekeeping, after its menu
        }
        if (event.message == IconOpenDialogMessage) {
            return "posted its icon's window the request to open the dialog";
        }
        if (event.message == WM_QUIT) {
            return "quit (posted WM_QUIT to the player)";
        }
        if (event.message == DialogNotify && event.wParam == DialogNotifyCounts) {
            return "told the dialog the counts changed (DialogNotify 1)";
        }
        if (event.message == DialogNotify && event.wParam == DialogNotifyFinished) {
            return "told the dialog the countdown finished (DialogNotify 2)";
        }
        return format("posted message %lld (%lld, %lld)", event.message, static_cast<int>(event.wParam),
                      event.lParam);
    case TraceEvent::Sleep:
        return format("waited %lld ms (Sleep)", static_cast<long long>(event.wParam));
    case TraceEvent::SetTimer:
        return format("armed its timer (every %lld ms)", static_cast<long long>(event.wParam));
    case TraceEvent::KillTimer:
        return "disarmed its timer";
    case TraceEvent::MessageBox:
        return "message box \"" + event.caption + "\": " + oneLine(event.text);
    case TraceEvent::OpenToken:
    case TraceEvent::AdjustPrivileges:
        return describePowerStep(event);
    case TraceEvent::ExitWindows:
        return format("asked to power off the computer (ExitWindowsEx, flags %lld: power off, force)"
                      " - intercepted, nothing was switched off",
                      event.message);
    case TraceEvent::PowerCapabilities:
        return "asked what the computer can do: it " + event.text;
    case TraceEvent::Suspend:
        return describeSuspend(event);
    case TraceEvent::DisplayPower:
        if (event.lParam == 2) {
            return "turned the display off (" + event.text +
                   ", SC_MONITORPOWER 2), as a Modern Standby computer goes to sleep - intercepted, the display "
                   "stayed on";
        }
        return "set the display's power (" + event.text + format(", SC_MONITORPOWER %lld)", event.lParam) +
               " - intercepted";
    case TraceEvent::Icon:
        switch (event.message) {
        case NIM_ADD:
            return "the notification icon appeared: " + event.text;
        case NIM_DELETE:
            return "the notification icon went away";
        case NIM_SETVERSION:
            return std::string();  // how it talks to the shell, not what the listener sees
        case NIM_SETFOCUS:
            return "the notification icon took the keyboard focus back";
        default:
            return event.caption.empty() ? "icon tooltip: " + event.text
                                         : "balloon \"" + event.caption + "\": " + event.text;
        }
    case TraceEvent::Menu: {
        // The items as the listener reads them, a line for a separator.
        std::string items = " | " + event.text + " | ";
        for (size_t at = items.find(" |  | "); at != std::string::npos; at = items.find(" |  | ")) {
            items.replace(at, 6, " | -- | ");
        }
        return "the icon's menu opened: " + items.substr(3, items.size() - 6);
    }
    }
    return "?";
}

void BenchLog::tickBegins(int number, bool fadeStep) {
    if (inTick) {
        tickEnds();
    }
    inTick = true;
    tickLabel = (fadeStep ? format("fade step (after tick %lld)", number) : format("tick %lld", number)) + ": ";
    pending.clear();
}

void BenchLog::tickEnds() {
    if (!inTick) {
        return;
    }
    inTick = false;
    // Ticks that asked nothing (counting minutes), or did only a fade's
    // routine, leave no line.
    bool routine = true;
    std::string body;
    for (const Item& item : pending) {
        routine = routine && item.routine;
        body += (body.empty() ? "" : "; ") + item.text;
    }
    if (!routine) {
        finishLine(tickLabel + body);
    }
    pending.clear();
    std::vector<std::string> notes;
    notes.swap(deferredNotes);
    for (const std::string& text : notes) {
        note(text);
    }
}

void BenchLog::sent(UINT message, WPARAM wParam, LPARAM lParam, LRESULT result, bool routine) {
    add(Item{describeSend(message, wParam, lParam, result), routine});
}

void BenchLog::event(const TraceEvent& event, bool routine) {
    std::string text = describeEvent(event);
    if (!text.empty()) {
        add(Item{text, routine});
    }
}

void BenchLog::did(const std::string& text) {
    add(Item{text, false});
}

void BenchLog::note(const std::string& text) {
    if (inTick) {
        deferredNotes.push_back(text);
    } else {
        finishLine("-- " + text);
    }
}

bool BenchLog::contains(const std::string& text) const {
    for (const std::string& line : lines) {
        if (line.find(text) != std::string::npos) {
            return true;
        }
    }
    return false;
}

void BenchLog::add(const Item& item) {
    if (inTick) {
        pending.push_back(item);
    } else {
        finishLine("Nightcap: " + item.text);
    }
}

void BenchLog::finishLine(const std::string& body) {
    char stamp[32];
    snprintf(stamp, sizeof stamp, "%8.1f s  ", static_cast<double>(clockMs) / 1000.0);
    std::string line = stamp + body;
    if (lines.size() >= MaxLines) {
        lines.erase(lines.begin(), lines.begin() + MaxLines / 10);
    }
    lines.push_back(line);
    if (onLine) {
        onLine(line);
    }
}
