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

// A fade is at least this many volume steps, each followed by the same pause.
const size_t FadeRunMinimum = 3;

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
        return wParam == RepeatOn ? "switched repeat on" : format("set repeat %lld", static_cast<int>(wParam));
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
        return format("pause %lld ms", static_cast<long long>(event.wParam));
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

void BenchLog::tickBegins(int number) {
    if (inTick) {
        tickEnds();
    }
    inTick = true;
    tickNumber = number;
    pending.clear();
}

void BenchLog::tickEnds() {
    if (!inTick) {
        return;
    }
    inTick = false;
    // Ticks that asked nothing (counting minutes) leave no line.
    if (!pending.empty()) {
        finishLine(format("tick %lld: ", tickNumber) + render(pending));
    }
    pending.clear();
    std::vector<std::string> notes;
    notes.swap(deferredNotes);
    for (const std::string& text : notes) {
        note(text);
    }
}

void BenchLog::sent(UINT message, WPARAM wParam, LPARAM lParam, LRESULT result) {
    bool setsVolume = message == PlayerMessage && lParam == VolumeMessage && wParam != VolumeQuery;
    add(Item{describeSend(message, wParam, lParam, result), setsVolume ? static_cast<int>(wParam) : -1, -1});
}

void BenchLog::event(const TraceEvent& event) {
    std::string text = describeEvent(event);
    if (!text.empty()) {
        add(Item{text, -1, event.kind == TraceEvent::Sleep ? static_cast<int>(event.wParam) : -1});
    }
}

void BenchLog::did(const std::string& text) {
    add(Item{text, -1, -1});
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

std::string BenchLog::render(const std::vector<Item>& items) {
    std::string out;
    size_t i = 0;
    while (i < items.size()) {
        // A run of "volume n, pause d", "volume n-1, pause d", ...
        size_t end = i;
        while (end + 1 < items.size() && items[end].volume >= 0 && items[end + 1].pauseMs >= 0 &&
               items[end + 1].pauseMs == items[i + 1].pauseMs &&
               (end == i || items[end].volume == items[end - 2].volume - 1)) {
            end += 2;
        }
        size_t steps = (end - i) / 2;
        if (!out.empty()) {
            out += "; ";
        }
        if (steps >= FadeRunMinimum) {
            int pause = items[i + 1].pauseMs;
            out += format("fade: volume %lld down to %lld in %lld steps", items[i].volume, items[end - 2].volume,
                          static_cast<long long>(steps)) +
                   format(", a pause of %lld ms after each (%lld ms in all)", pause,
                          static_cast<long long>(pause) * static_cast<long long>(steps));
            i = end;
        } else {
            out += items[i].text;
            ++i;
        }
    }
    return out;
}
