#include "host/Trace.h"

#include <stdio.h>

#include <shellapi.h>

std::vector<TraceEvent> Trace::ofKind(TraceEvent::Kind kind) const {
    std::vector<TraceEvent> found;
    for (const TraceEvent& event : events) {
        if (event.kind == kind) {
            found.push_back(event);
        }
    }
    return found;
}

int Trace::count(TraceEvent::Kind kind) const {
    int found = 0;
    for (const TraceEvent& event : events) {
        found += event.kind == kind ? 1 : 0;
    }
    return found;
}

std::vector<std::string> Trace::lines() const {
    std::vector<std::string> all;
    all.reserve(events.size());
    for (const TraceEvent& event : events) {
        if (!event.isResource() && !event.isNotificationArea()) {
            all.push_back(describe(event));
        }
    }
    return all;
}

std::string Trace::describe(const TraceEvent& event) {
    char line[128];
    switch (event.kind) {
    case TraceEvent::Send:
    case TraceEvent::Post:
        snprintf(line, sizeof line, "%s %u %d %ld", event.kind == TraceEvent::Send ? "send" : "post", event.message,
                 static_cast<int>(event.wParam), static_cast<long>(event.lParam));
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
    case TraceEvent::PowerCapabilities:
        return "powercapabilities";
    case TraceEvent::Suspend:
        snprintf(line, sizeof line, "setsuspendstate %d %d %u", static_cast<int>(event.wParam),
                 static_cast<int>(event.lParam), event.message);
        return line;
    case TraceEvent::DisplayPower:
        snprintf(line, sizeof line, "displaypower %ld %s", static_cast<long>(event.lParam), event.text.c_str());
        return line;
    case TraceEvent::Heap:
        snprintf(line, sizeof line, "heap %s %u", event.text.c_str(), static_cast<unsigned>(event.wParam));
        return line;
    case TraceEvent::File:
        return "file " + event.text + (event.caption.empty() ? "" : " " + event.caption);
    case TraceEvent::Icon:
        switch (event.message) {
        case NIM_ADD:
            return "icon add: " + event.text;
        case NIM_DELETE:
            return "icon delete";
        case NIM_SETVERSION:
            return "icon version";
        case NIM_SETFOCUS:
            return "icon focus";
        default:
            return event.caption.empty() ? "icon tip: " + event.text : "balloon " + event.caption + ": " + event.text;
        }
    case TraceEvent::Menu:
        return "menu: " + event.text;
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

std::wstring wideFromUtf8(const std::string& text) {
    int chars = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, NULL, 0);
    if (chars <= 0) {
        return std::wstring();
    }
    std::wstring out(static_cast<size_t>(chars), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, &out[0], chars);
    out.resize(static_cast<size_t>(chars - 1));
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
