// Timers and messages as the module meets them: thread timers simulated
// (fired by PluginHost::tick) or handed to the system at the host's speed,
// pauses recorded, and the module's sends and posts recorded on their way
// to the real calls.

#include "host/calls/HostCalls.h"

namespace {

// Real timers reach the module through here, so they pass the tick hooks.
void CALLBACK realTimerProc(HWND, UINT, UINT_PTR id, DWORD) {
    if (PluginHost::active == nullptr) {
        return;
    }
    for (const PluginHost::Timer& timer : host().timers) {
        if (timer.id == id && timer.alive) {
            host().deliverTick(timer);
            return;
        }
    }
}

// The real timer's period at the host's speed, at least 1 ms.
UINT realPeriodMs(UINT periodMs) {
    double scaled = periodMs / host().speed;
    return scaled < 1 ? 1 : static_cast<UINT>(scaled);
}

// A thread timer, as the system keeps one: an id that names a live timer of
// the thread replaces it (same id, new period and callback); any other id is
// ignored and a new one chosen. Without a callback the system would post
// WM_TIMER to the thread with no window, which reaches no code: such a
// timer never ticks here either.
UINT_PTR WINAPI hostSetTimer(HWND window, UINT_PTR id, UINT periodMs, TIMERPROC proc) {
    if (window != NULL) {
        return SetTimer(window, id, periodMs, proc);
    }
    record(TraceEvent::SetTimer, 0, periodMs);
    PluginHost& h = host();
    if (NIGHTCAP_FAILS(SetTimer)) {
        return failWith<UINT_PTR>(ERROR_NOT_ENOUGH_MEMORY, 0);
    }
    for (PluginHost::Timer& timer : h.timers) {
        if (id != 0 && timer.id == id && timer.alive) {
            timer.periodMs = periodMs;
            timer.proc = proc;
            timer.dueMs = h.clockMs + periodMs;
            if (h.realTimers) {
                SetTimer(NULL, id, realPeriodMs(periodMs), realTimerProc);
            }
            return id;
        }
    }
    UINT_PTR granted;
    if (h.realTimers) {
        granted = SetTimer(NULL, 0, realPeriodMs(periodMs), realTimerProc);
        if (granted == 0) {
            return 0;
        }
    } else {
        granted = 0x4e43 + h.timers.size();
    }
    h.timers.push_back(PluginHost::Timer{granted, periodMs, proc, true, h.clockMs + periodMs});
    return granted;
}

// Fails, as the system does, for an id that names no live timer of the
// thread (one never set, or killed already). An id that is none of the
// module's timers goes to the system, which kills a timer of the thread's
// that has it, the program's own (the player's) included.
BOOL WINAPI hostKillTimer(HWND window, UINT_PTR id) {
    if (window != NULL) {
        return KillTimer(window, id);
    }
    record(TraceEvent::KillTimer, 0, id);
    if (NIGHTCAP_FAILS(KillTimer)) {
        return failWith<BOOL>(ERROR_INVALID_PARAMETER, FALSE);
    }
    BOOL found = FALSE;
    for (PluginHost::Timer& timer : host().timers) {
        if (timer.id == id && timer.alive) {
            timer.alive = false;
            found = TRUE;
        }
    }
    if (host().realTimers || !found) {
        BOOL killed = KillTimer(NULL, id);
        found = found || killed;
    }
    return found ? TRUE : failWith<BOOL>(ERROR_INVALID_PARAMETER, FALSE);
}

// The simulated clock; with real timers, the real one at the host's speed,
// so that the module's measures of time agree with its timers'. Cannot fail.
DWORD WINAPI hostGetTickCount() {
    NIGHTCAP_FAILS(GetTickCount);  // counted; it cannot fail
    return static_cast<DWORD>(host().nowMs() & 0xFFFFFFFFLL);
}

// A pause cannot fail; it is recorded, and slept only with realSleep.
void WINAPI hostSleep(DWORD ms) {
    record(TraceEvent::Sleep, 0, ms);
    NIGHTCAP_FAILS(Sleep);  // counted; a pause cannot fail
    host().sleptMs += ms;
    if (host().realSleep) {
        Sleep(static_cast<DWORD>(ms / host().speed));
    }
}

// Only what the player's window receives is the player's; the dialog's own
// controls get messages too. The real call refuses a window that is gone
// (0, ERROR_INVALID_WINDOW_HANDLE). A request to turn the display off goes to
// no window at all, whichever it names (HWND_BROADCAST included).
LRESULT WINAPI hostSendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    bool fails = NIGHTCAP_FAILS(SendMessageA);
    if (isDisplayPower(message, wParam)) {
        recordDisplayPower("SendMessageA", window, lParam);
        return 0;
    }
    bool toPlayer = window != NULL && window == host().playerWindow();
    LRESULT result = 0;
    if (!fails) {
        result = SendMessageA(window, message, wParam, lParam);
    }
    if (toPlayer) {
        host().trace.add(TraceEvent::of(TraceEvent::Send, message, wParam, lParam, window, result));
    }
    return result;
}

// The real call refuses a window that is gone, and a full queue. The display
// is not turned off by a post either.
BOOL WINAPI hostPostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (isDisplayPower(message, wParam)) {
        NIGHTCAP_FAILS(PostMessageA);  // counted
        recordDisplayPower("PostMessageA", window, lParam);
        return TRUE;
    }
    record(TraceEvent::Post, message, wParam, lParam, window);
    if (NIGHTCAP_FAILS(PostMessageA)) {
        return failWith<BOOL>(ERROR_NOT_ENOUGH_QUOTA, FALSE);
    }
    return PostMessageA(window, message, wParam, lParam);
}

}  // namespace

const Replacement TimerAndMessageReplacements[] = {
    NIGHTCAP_REPLACE("SetTimer", hostSetTimer),
    NIGHTCAP_REPLACE("KillTimer", hostKillTimer),
    NIGHTCAP_REPLACE("Sleep", hostSleep),
    NIGHTCAP_REPLACE("GetTickCount", hostGetTickCount),
    NIGHTCAP_REPLACE("SendMessageA", hostSendMessageA),
    NIGHTCAP_REPLACE("PostMessageA", hostPostMessageA),
};
NIGHTCAP_CALL_TABLE(TimerAndMessageCalls, TimerAndMessageReplacements);
