// Message boxes, answered unseen and recorded as the user would read them.

#include "host/calls/HostCalls.h"

namespace {

// Answered unseen. As the system does, a box refuses an owner that is not a
// window (ERROR_INVALID_WINDOW_HANDLE) and a set of buttons it does not know
// (ERROR_INVALID_MSGBOX_STYLE), and a box with an OK button only can give no
// answer but IDOK.
int showBox(HWND owner, const std::string& text, const std::string& caption, UINT type, bool wide) {
    if (owner != NULL && !IsWindow(owner)) {
        return failWith(ERROR_INVALID_WINDOW_HANDLE, 0);
    }
    if ((type & MB_TYPEMASK) > MB_CANCELTRYCONTINUE) {
        return failWith(ERROR_INVALID_MSGBOX_STYLE, 0);
    }
    TraceEvent event = TraceEvent::of(TraceEvent::MessageBox, type, 0, 0, owner);
    event.text = text;
    event.caption = caption;
    event.wide = wide;
    host().trace.add(event);
    if (host().onMessageBox) {
        host().onMessageBox(event);
    }
    return (type & MB_TYPEMASK) == MB_OK ? IDOK : host().messageBoxAnswer;
}

// Recorded as the user would read them: ANSI texts in the system's code page.
int WINAPI hostMessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    if (NIGHTCAP_FAILS(MessageBoxA)) {
        return failWith(ERROR_NOT_ENOUGH_MEMORY, 0);
    }
    return showBox(owner, utf8FromCodePage(text ? text : "", CP_ACP), utf8FromCodePage(caption ? caption : "", CP_ACP),
                   type, false);
}

int WINAPI hostMessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    if (NIGHTCAP_FAILS(MessageBoxW)) {
        return failWith(ERROR_NOT_ENOUGH_MEMORY, 0);
    }
    return showBox(owner, utf8FromWide(text ? text : L""), utf8FromWide(caption ? caption : L""), type, true);
}

}  // namespace

const Replacement BoxReplacements[] = {
    NIGHTCAP_REPLACE("MessageBoxA", hostMessageBoxA),
    NIGHTCAP_REPLACE("MessageBoxW", hostMessageBoxW),
};
NIGHTCAP_CALL_TABLE(BoxCalls, BoxReplacements);
