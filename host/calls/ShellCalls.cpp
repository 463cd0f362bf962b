// The shell's calls: the user's folders.

#include "host/calls/HostCalls.h"

#include <shlobj.h>

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

}  // namespace

const Replacement ShellReplacements[] = {
    NIGHTCAP_REPLACE("SHGetFolderPathA", hostSHGetFolderPathA),
};
NIGHTCAP_CALL_TABLE(ShellCalls, ShellReplacements);
