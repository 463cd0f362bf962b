#pragma once
// What the plug-in did to the outside world, in order: the messages the
// player received, posts, pauses, timers, message boxes and power requests.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

struct TraceEvent {
    enum Kind { Send, Post, Sleep, SetTimer, KillTimer, MessageBox, OpenToken, AdjustPrivileges, ExitWindows };
    Kind kind;
    UINT message;        // Send, Post: the message; ExitWindows: the flags
    WPARAM wParam;       // Sleep: milliseconds; SetTimer: period
    LPARAM lParam;
    HWND window;         // Send, Post: target; MessageBox: owner
    std::string text;    // MessageBox: text, as UTF-8
    std::string caption; // MessageBox: caption, as UTF-8
    bool wide;           // MessageBox: shown by the wide-character function
};

class Trace {
public:
    bool enabled = true;
    std::vector<TraceEvent> events;
    // Told of every event as it happens, recorded or not: a live log.
    std::function<void(const TraceEvent&)> onEvent;

    void add(const TraceEvent& event) {
        if (enabled) {
            events.push_back(event);
        }
        if (onEvent) {
            onEvent(event);
        }
    }
    void clear() { events.clear(); }

    std::vector<TraceEvent> ofKind(TraceEvent::Kind kind) const;
    // One line per event, e.g. "send 1024 0 105", "post 1025 2 0", "sleep 19",
    // "box error: <text>": handy for comparing whole sequences.
    std::vector<std::string> lines() const;
    static std::string describe(const TraceEvent& event);
};

std::string utf8FromWide(const wchar_t* text);
std::string utf8FromCodePage(const char* text, UINT codePage);
