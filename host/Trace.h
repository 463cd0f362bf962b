#pragma once
// What the plug-in did, in order: the messages the player received, posts,
// pauses, timers, message boxes, the power capabilities asked and the power
// requests (its effects), and its heap and file calls (its resources). The
// host records every one of them.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

struct TraceEvent {
    enum Kind {
        Send,
        Post,
        Sleep,
        SetTimer,
        KillTimer,
        MessageBox,
        OpenToken,
        AdjustPrivileges,
        ExitWindows,
        PowerCapabilities,  // GetPwrCapabilities asked
        Suspend,            // SetSuspendState
        DisplayPower,       // WM_SYSCOMMAND with SC_MONITORPOWER, by whichever call
        Heap,
        File,
        Icon,
        Menu
    };
    Kind kind;
    UINT message;        // Send, Post: the message; ExitWindows: the flags; Icon: NIM_ADD, NIM_MODIFY...;
                         // Suspend: wake events disabled (its third argument)
    WPARAM wParam;       // Sleep: milliseconds; SetTimer: period; Heap: bytes asked;
                         // Suspend: hibernate (its first argument)
    LPARAM lParam;       // Suspend: force (its second); DisplayPower: the state (2 = off)
    LRESULT result;      // Send: the player's answer; File: 1 when the call succeeded
    HWND window;         // Send, Post, DisplayPower: target; MessageBox: owner
    std::string text;    // MessageBox: text, as UTF-8; Heap, File, DisplayPower: the function called;
                         // Icon: the tooltip, or a balloon's text; Menu: the items, " | " between
    std::string caption; // MessageBox: caption, as UTF-8; File: the file named, if any; Icon: a balloon's title
    bool wide;           // MessageBox: shown by the wide-character function

    bool isResource() const { return kind == Heap || kind == File; }
    // The icon and its menu: what the listener sees beside the player.
    bool isNotificationArea() const { return kind == Icon || kind == Menu; }

    // An event of that kind with these fields, the others empty.
    static TraceEvent of(Kind kind, UINT message = 0, WPARAM wParam = 0, LPARAM lParam = 0, HWND window = NULL,
                         LRESULT result = 0) {
        TraceEvent event = {};
        event.kind = kind;
        event.message = message;
        event.wParam = wParam;
        event.lParam = lParam;
        event.window = window;
        event.result = result;
        return event;
    }
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
    int count(TraceEvent::Kind kind) const;
    // One line per effect, e.g. "send 1024 0 105", "post 1025 2 0",
    // "sleep 19", "box error: <text>", "setsuspendstate 0 1 0",
    // "displaypower 2 DefWindowProcA": handy for comparing whole sequences.
    // Heap and file calls are left out; count() them.
    std::vector<std::string> lines() const;
    static std::string describe(const TraceEvent& event);
};

std::string utf8FromWide(const wchar_t* text);
std::wstring wideFromUtf8(const std::string& text);
std::string utf8FromCodePage(const char* text, UINT codePage);
