// Message boxes, menus and the dialog: modal loops of the module's. Boxes
// and menus are answered unseen and recorded as the user would read them.

#include <map>

#include "host/calls/HostCalls.h"

namespace {

// The module's dialog procedure of each dialog it shows, by window; the one
// being made is bound when its first message comes.
std::map<HWND, DLGPROC> dialogProcs;
DLGPROC comingDialogProc = nullptr;

// Between the system and the module's procedure, to see its answers: what it
// answers to WM_INITDIALOG decides whether the system sets the focus.
INT_PTR CALLBACK watchedDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto found = dialogProcs.find(dialog);
    if (found == dialogProcs.end()) {
        if (comingDialogProc == nullptr) {
            return FALSE;
        }
        found = dialogProcs.emplace(dialog, comingDialogProc).first;
        comingDialogProc = nullptr;
    }
    DLGPROC proc = found->second;
    if (message == WM_NCDESTROY) {
        dialogProcs.erase(found);
    }
    INT_PTR answer = proc(dialog, message, wParam, lParam);
    if (message == WM_INITDIALOG) {
        host().initDialogAnswers.push_back(answer);
    }
    return answer;
}

// As the system: fails when told to, with no dialog made.
INT_PTR WINAPI hostDialogBoxParamA(HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC proc, LPARAM parameter) {
    if (NIGHTCAP_FAILS(DialogBoxParamA)) {
        return failWith<INT_PTR>(ERROR_NOT_ENOUGH_MEMORY, -1);
    }
    comingDialogProc = proc;
    INT_PTR result = DialogBoxParamA(instance, name, owner, watchedDialogProc, parameter);
    comingDialogProc = nullptr;
    return result;
}

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

// With PluginHost::onMenu, the menu is answered by it, not shown. Refused as
// the system refuses it: a handle that names no menu, or an owner that is no
// window (ERROR_INVALID_MENU_HANDLE, ERROR_INVALID_WINDOW_HANDLE).
BOOL WINAPI hostTrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner, const RECT* rect) {
    PluginHost& h = host();
    if (NIGHTCAP_FAILS(TrackPopupMenu)) {
        return failWith<BOOL>(ERROR_NOT_ENOUGH_MEMORY, FALSE);
    }
    if (!h.onMenu) {
        return TrackPopupMenu(menu, flags, x, y, reserved, owner, rect);
    }
    if (!IsMenu(menu)) {
        return failWith<BOOL>(ERROR_INVALID_MENU_HANDLE, FALSE);
    }
    if (!IsWindow(owner)) {
        return failWith<BOOL>(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    }
    std::vector<std::string> items;
    TraceEvent event = TraceEvent::of(TraceEvent::Menu, flags, 0, 0, owner);
    h.menuCommands.clear();
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        char text[128] = "";
        GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
        items.push_back(text);
        UINT command = GetMenuItemID(menu, i);
        h.menuCommands.push_back(command == static_cast<UINT>(-1) ? 0 : command);
        event.text += (i > 0 ? " | " : "") + items.back();
    }
    h.menuItems = items;
    h.trace.add(event);
    h.menuEnded = false;
    UINT chosen = h.onMenu(items);
    if (h.menuEnded) {
        chosen = 0;
    }
    // As the system answers: the command with TPM_RETURNCMD, else success
    // and the command posted to the owner.
    if (flags & TPM_RETURNCMD) {
        return static_cast<BOOL>(chosen);
    }
    if (chosen != 0 && !(flags & TPM_NONOTIFY)) {
        PostMessageA(owner, WM_COMMAND, chosen, 0);
    }
    return TRUE;
}

// Ends the answered menu, or the real one.
BOOL WINAPI hostEndMenu() {
    if (NIGHTCAP_FAILS(EndMenu)) {
        return failWith<BOOL>(ERROR_NOT_ENOUGH_MEMORY, FALSE);
    }
    host().menuEnded = true;
    return EndMenu();
}

}  // namespace

const Replacement BoxReplacements[] = {
    NIGHTCAP_REPLACE("DialogBoxParamA", hostDialogBoxParamA),
    NIGHTCAP_REPLACE("MessageBoxA", hostMessageBoxA),
    NIGHTCAP_REPLACE("MessageBoxW", hostMessageBoxW),
    NIGHTCAP_REPLACE("TrackPopupMenu", hostTrackPopupMenu),
    NIGHTCAP_REPLACE("EndMenu", hostEndMenu),
};
NIGHTCAP_CALL_TABLE(BoxCalls, BoxReplacements);
