#include "host/Trace.h"

#include <stdio.h>

std::vector<TraceEvent> Trace::ofKind(TraceEvent::Kind kind) const {
    std::vector<TraceEvent> found;
    for (const TraceEvent& event : events) {
        if (event.kind == kind) {
            found.push_back(event);
        }
    }
    return found;
}

std::vector<std::string> Trace::lines() const {
    std::vector<std::string> all;
    all.reserve(events.size());
    for (const TraceEvent& event : events) {
        all.push_back(describe(event));
    }
    return all;
}

std::string Trace::describe(const TraceEvent& event) {
    char line[128];
    switch (event.kind) {
    case TraceEvent::Send:
        snprintf(line, sizeof line, "send %u %d %ld", event.message, static_cast<int>(event.wParam),
                 static_cast<long>(event.lParam));
        return line;
    case TraceEvent::Post:
        snprintf(line, sizeof line, "post %u %d %ld", event.message, static_cast<int>(event.wParam),
                 static_cast<long>(event.lParam));
        return line;
    case TraceEvent::Sleep:
        snprintf(line, sizeof line, "sleep %u", static_cast<unsigned>(event.wParam));
        return line;
    case TraceEvent::SetTimer:
        snprintf(line, sizeof line, "settimer %u", static_cast<unsigned>(event.wParam));
        return line;
    case TraceEvent::KillTimer:
        return "killtimer";
    case TraceEvent::MessageBox:
        return "box " + event.caption + ": " + event.text;
    case TraceEvent::OpenToken:
        return "opentoken";
    case TraceEvent::AdjustPrivileges:
        return "adjustprivileges";
    case TraceEvent::ExitWindows:
        snprintf(line, sizeof line, "exitwindows %u", event.message);
        return line;
    }
    return "?";
}

std::string utf8FromWide(const wchar_t* text) {
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, NULL, 0, NULL, NULL);
    if (bytes <= 0) {
        return std::string();
    }
    std::string out(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], bytes, NULL, NULL);
    out.resize(static_cast<size_t>(bytes - 1));
    return out;
}

std::string utf8FromCodePage(const char* text, UINT codePage) {
    int chars = MultiByteToWideChar(codePage, 0, text, -1, NULL, 0);
    if (chars <= 0) {
        return std::string();
    }
    std::wstring wide(static_cast<size_t>(chars), L'\0');
    MultiByteToWideChar(codePage, 0, text, -1, &wide[0], chars);
    return utf8FromWide(wide.c_str());
}
