// The shell's calls: the user's folders, and the notification area.

#include "host/calls/HostCalls.h"

#include <shellapi.h>
#include <shlobj.h>
#include <string.h>

namespace {

// The current user's application-data folder is the host's own when it has
// one (PluginHost::appDataFolder), answered as the shell answers: the path
// without a trailing backslash in the caller's MAX_PATH buffer, which is
// emptied first and stays empty on failure; E_INVALIDARG for a flag other
// than SHGFP_TYPE_CURRENT or SHGFP_TYPE_DEFAULT; a missing folder is
// ERROR_PATH_NOT_FOUND unless CSIDL_FLAG_CREATE makes it (where it may be
// made) or CSIDL_FLAG_DONT_VERIFY skips the check. Other folders, other
// users' (a token; -1 for the default user) and a host without a folder of
// its own get the system's answer.
HRESULT WINAPI hostSHGetFolderPathA(HWND window, int csidl, HANDLE token, DWORD flags, LPSTR path) {
    PluginHost& h = host();
    if (path != nullptr) {
        path[0] = '\0';
    }
    std::string folder = h.appDataFolder;
    while (!folder.empty() && folder.back() == '\\') {
        folder.pop_back();
    }
    bool ours = !folder.empty() && (csidl & ~CSIDL_FLAG_MASK) == CSIDL_APPDATA && token == NULL;
    HRESULT result = S_OK;
    if (NIGHTCAP_FAILS(SHGetFolderPathA)) {
        result = E_FAIL;
    } else if (!ours) {
        result = SHGetFolderPathA(window, csidl, token, flags, path);
    } else if (path == nullptr || (flags != SHGFP_TYPE_CURRENT && flags != SHGFP_TYPE_DEFAULT)) {
        result = E_INVALIDARG;
    } else if (folder.size() >= MAX_PATH) {
        result = HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    } else if (!(csidl & CSIDL_FLAG_DONT_VERIFY) && !pathExists(folder)) {
        bool create = (csidl & CSIDL_FLAG_CREATE) != 0;
        bool made = create && !h.refuses(folder.c_str()) && CreateDirectoryA(folder.c_str(), NULL);
        result = made ? S_OK : (create ? E_FAIL : HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
    }
    if (ours && result == S_OK) {
        memcpy(path, folder.c_str(), folder.size() + 1);
    }
    return fileCall("SHGetFolderPathA", path, result, result == S_OK);
}

// The notification area as the shell keeps it (PluginHost::shellIcons);
// nothing reaches Wine's own. Refused as the shell refuses them: a record
// of a size it does not know, or without the room a balloon needs; an add
// for a window that is not one, or for an icon that shows already; any
// other request for an icon that does not show. A tooltip or balloon text is
// taken up to its field's end, as the shell reads it.
BOOL WINAPI hostShell_NotifyIconA(DWORD request, PNOTIFYICONDATAA data) {
    TraceEvent event = TraceEvent::of(TraceEvent::Icon, request);
    if (data != nullptr) {
        event.wParam = data->uFlags;
        event.window = data->hWnd;
    }
    PluginHost& h = host();
    const DWORD knownSizes[] = {NOTIFYICONDATAA_V1_SIZE, NOTIFYICONDATAA_V2_SIZE, NOTIFYICONDATAA_V3_SIZE,
                                sizeof(NOTIFYICONDATAA)};
    bool knownSize = false;
    for (DWORD size : knownSizes) {
        knownSize = knownSize || (data != nullptr && data->cbSize == size);
    }
    std::vector<PluginHost::ShellIcon>::iterator icon = h.shellIcons.end();
    for (std::vector<PluginHost::ShellIcon>::iterator at = h.shellIcons.begin(); data != nullptr && at != h.shellIcons.end(); ++at) {
        if (at->window == data->hWnd && at->id == data->uID) {
            icon = at;
        }
    }
    bool shows = icon != h.shellIcons.end();
    bool refused = NIGHTCAP_FAILS(Shell_NotifyIconA) || !knownSize ||
                   ((data->uFlags & NIF_INFO) != 0 && data->cbSize < NOTIFYICONDATAA_V2_SIZE) ||
                   (request == NIM_ADD ? shows || !IsWindow(data->hWnd) : !shows);
    if (refused) {
        h.trace.add(event);
        return failWith<BOOL>(ERROR_INVALID_PARAMETER, FALSE);
    }
    size_t tipChars = data->cbSize == NOTIFYICONDATAA_V1_SIZE ? 64 : sizeof data->szTip;
    if (request == NIM_ADD) {
        h.shellIcons.push_back(PluginHost::ShellIcon{data->hWnd, data->uID, 0, 0, NULL, "", "", "", 0});
        icon = h.shellIcons.end() - 1;
    }
    if (request == NIM_DELETE) {
        h.shellIcons.erase(icon);
        h.trace.add(event);
        return TRUE;
    }
    if (request == NIM_SETVERSION) {
        icon->version = data->uVersion;
    }
    if (request == NIM_ADD || request == NIM_MODIFY) {
        if (data->uFlags & NIF_MESSAGE) {
            icon->callbackMessage = data->uCallbackMessage;
        }
        if (data->uFlags & NIF_ICON) {
            icon->image = data->hIcon;
        }
        if (data->uFlags & NIF_TIP) {
            icon->tip = std::string(data->szTip, strnlen(data->szTip, tipChars));
            event.text = icon->tip;
        }
        if (data->uFlags & NIF_INFO) {
            icon->balloonTitle = std::string(data->szInfoTitle, strnlen(data->szInfoTitle, sizeof data->szInfoTitle));
            icon->balloonText = std::string(data->szInfo, strnlen(data->szInfo, sizeof data->szInfo));
            icon->balloonTimeout = data->uTimeout;
            event.caption = icon->balloonTitle;
            event.text = icon->balloonText;
        }
    }
    h.trace.add(event);
    return TRUE;
}

}  // namespace

const Replacement ShellReplacements[] = {
    NIGHTCAP_REPLACE("SHGetFolderPathA", hostSHGetFolderPathA),
    NIGHTCAP_REPLACE("Shell_NotifyIconA", hostShell_NotifyIconA),
};
NIGHTCAP_CALL_TABLE(ShellCalls, ShellReplacements);
