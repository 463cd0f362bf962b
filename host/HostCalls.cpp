// What the module imports and the host steers: every function here counts
// its calls, can be made to fail (PluginHost::failCall), and writes what it
// did into the host's one trace. Timers are simulated or warped, pauses
// recorded, boxes answered unseen, and power-off never reaches the system;
// the rest goes on to the real function. Each refuses, as the system does,
// what the module's behaviour depends on (a token opened without the right
// to adjust it, a privilege not enabled, a timer or window that is gone),
// and says what it checks. PassThroughCalls.cpp has the module's other
// imports.

#include <malloc.h>
#include <stdlib.h>
#include <string.h>

#include <shlobj.h>

#include <map>

#include "host/GuardHeap.h"
#include "host/HostCalls.h"

int importSlot(const std::string& function) {
    static std::map<std::string, int> slots;
    std::map<std::string, int>::iterator found = slots.find(function);
    if (found != slots.end()) {
        return found->second;
    }
    int slot = static_cast<int>(slots.size());
    slots[function] = slot;
    return slot;
}

namespace {

void record(TraceEvent::Kind kind, UINT message = 0, WPARAM wParam = 0, LPARAM lParam = 0, HWND window = NULL) {
    host().trace.add(TraceEvent::of(kind, message, wParam, lParam, window));
}

void recordCall(TraceEvent::Kind kind, const char* function, const char* name = nullptr, size_t bytes = 0,
                bool succeeded = false) {
    TraceEvent event = TraceEvent::of(kind, 0, bytes, 0, NULL, succeeded ? 1 : 0);
    event.text = function;
    event.caption = name != nullptr ? name : "";
    host().trace.add(event);
}

// --- timers ---

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
    h.timers.push_back(PluginHost::Timer{granted, periodMs, proc, true});
    return granted;
}

// Fails, as the system does, for an id that names no live timer of the
// thread (one never set, or killed already).
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
    if (host().realTimers) {
        KillTimer(NULL, id);
    }
    return found ? TRUE : failWith<BOOL>(ERROR_INVALID_PARAMETER, FALSE);
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

// --- messages ---

// Only what the player's window receives is the player's; the dialog's own
// controls get messages too. The real call refuses a window that is gone
// (0, ERROR_INVALID_WINDOW_HANDLE).
LRESULT WINAPI hostSendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    bool toPlayer = window != NULL && window == host().playerWindow();
    LRESULT result = 0;
    if (!NIGHTCAP_FAILS(SendMessageA)) {
        result = SendMessageA(window, message, wParam, lParam);
    }
    if (toPlayer) {
        host().trace.add(TraceEvent::of(TraceEvent::Send, message, wParam, lParam, window, result));
    }
    return result;
}

// The real call refuses a window that is gone, and a full queue.
BOOL WINAPI hostPostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    record(TraceEvent::Post, message, wParam, lParam, window);
    if (NIGHTCAP_FAILS(PostMessageA)) {
        return failWith<BOOL>(ERROR_NOT_ENOUGH_QUOTA, FALSE);
    }
    return PostMessageA(window, message, wParam, lParam);
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

// --- power-off ---
// The process token as Windows keeps it: a handle carries the access it was
// opened with, the shutdown privilege is held (privilegeGranted) but
// disabled until a well-formed adjustment through a handle with
// TOKEN_ADJUST_PRIVILEGES enables it, and a power-off needs it enabled.

bool isCurrentProcess(HANDLE process) {
    return process == GetCurrentProcess() || GetProcessId(process) == GetCurrentProcessId();
}

// Checks the process handle and the out pointer as the system does; the
// token is the real one, so that closing it is real too, and the host notes
// the access it was opened with.
BOOL WINAPI hostOpenProcessToken(HANDLE process, DWORD access, PHANDLE token) {
    record(TraceEvent::OpenToken, access);
    if (NIGHTCAP_FAILS(OpenProcessToken) || !host().tokenOpens) {
        return failWith<BOOL>(ERROR_ACCESS_DENIED, FALSE);
    }
    if (token == nullptr) {
        return failWith<BOOL>(ERROR_NOACCESS, FALSE);
    }
    if (!isCurrentProcess(process)) {
        return failWith<BOOL>(ERROR_INVALID_HANDLE, FALSE);
    }
    if (!OpenProcessToken(process, access, token)) {
        return FALSE;
    }
    host().tokenAccess[*token] = access;
    return TRUE;
}

// The system's own answer: it fails for a name it does not know.
BOOL WINAPI hostLookupPrivilegeValueA(LPCSTR system, LPCSTR name, PLUID luid) {
    if (NIGHTCAP_FAILS(LookupPrivilegeValueA)) {
        return failWith<BOOL>(ERROR_NO_SUCH_PRIVILEGE, FALSE);
    }
    return LookupPrivilegeValueA(system, name, luid);
}

LUID shutdownPrivilege() {
    LUID luid = {};
    LookupPrivilegeValueA(NULL, "SeShutdownPrivilege", &luid);
    return luid;
}

bool sameLuid(const LUID& a, const LUID& b) {
    return a.LowPart == b.LowPart && a.HighPart == b.HighPart;
}

// Adjusts the host's model of the token, never the real one. Refuses, as the
// system does: a handle that is no open token (ERROR_INVALID_HANDLE), one
// opened without TOKEN_ADJUST_PRIVILEGES (ERROR_ACCESS_DENIED), a missing or
// empty record, or a previous-state buffer without TOKEN_QUERY or room
// (ERROR_INVALID_PARAMETER, ERROR_ACCESS_DENIED, ERROR_INSUFFICIENT_BUFFER).
// Succeeds with ERROR_NOT_ALL_ASSIGNED for a privilege the token does not
// hold; only SE_PRIVILEGE_ENABLED for the shutdown privilege's LUID enables
// it. The trace holds the record: count, first LUID's low part, attributes,
// and the privilege's name.
BOOL WINAPI hostAdjustTokenPrivileges(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES newState, DWORD length,
                                      PTOKEN_PRIVILEGES previous, PDWORD returnLength) {
    TraceEvent event = TraceEvent::of(TraceEvent::AdjustPrivileges);
    if (newState != nullptr && newState->PrivilegeCount > 0) {
        event.message = newState->PrivilegeCount;
        event.wParam = newState->Privileges[0].Luid.LowPart;
        event.lParam = static_cast<LPARAM>(newState->Privileges[0].Attributes);
        char name[64] = "";
        DWORD nameChars = sizeof name;
        LookupPrivilegeNameA(NULL, &newState->Privileges[0].Luid, name, &nameChars);
        event.text = name;
    }
    host().trace.add(event);
    if (NIGHTCAP_FAILS(AdjustTokenPrivileges)) {
        return failWith<BOOL>(ERROR_ACCESS_DENIED, FALSE);
    }
    PluginHost& h = host();
    std::map<HANDLE, DWORD>::const_iterator opened = h.tokenAccess.find(token);
    if (token == NULL || opened == h.tokenAccess.end()) {
        return failWith<BOOL>(ERROR_INVALID_HANDLE, FALSE);
    }
    if (!(opened->second & TOKEN_ADJUST_PRIVILEGES) || (previous != nullptr && !(opened->second & TOKEN_QUERY))) {
        return failWith<BOOL>(ERROR_ACCESS_DENIED, FALSE);
    }
    if (!disableAll && (newState == nullptr || newState->PrivilegeCount == 0)) {
        return failWith<BOOL>(ERROR_INVALID_PARAMETER, FALSE);
    }
    if (previous != nullptr && (returnLength == nullptr || length < sizeof(TOKEN_PRIVILEGES))) {
        return failWith<BOOL>(ERROR_INSUFFICIENT_BUFFER, FALSE);
    }
    if (disableAll) {
        h.shutdownEnabled = false;
        SetLastError(ERROR_SUCCESS);
        return TRUE;
    }
    bool allAssigned = true;
    for (DWORD i = 0; i < newState->PrivilegeCount; ++i) {
        const LUID_AND_ATTRIBUTES& privilege = newState->Privileges[i];
        if (!sameLuid(privilege.Luid, shutdownPrivilege()) || !h.privilegeGranted) {
            allAssigned = false;
            continue;
        }
        h.shutdownEnabled = (privilege.Attributes & SE_PRIVILEGE_ENABLED) != 0;
    }
    SetLastError(allAssigned ? ERROR_SUCCESS : ERROR_NOT_ALL_ASSIGNED);
    return TRUE;
}

// The power-off request never reaches the system. Shutting down, powering
// off or restarting needs the shutdown privilege enabled
// (ERROR_PRIVILEGE_NOT_HELD otherwise, as the system answers); logging off
// does not. powerOffSucceeds stands for the system's other refusals.
BOOL WINAPI hostExitWindowsEx(UINT flags, DWORD) {
    record(TraceEvent::ExitWindows, flags);
    const UINT NeedsPrivilege = EWX_SHUTDOWN | EWX_REBOOT | EWX_POWEROFF;
    if (NIGHTCAP_FAILS(ExitWindowsEx) || ((flags & NeedsPrivilege) != 0 && !host().shutdownEnabled)) {
        return failWith<BOOL>(ERROR_PRIVILEGE_NOT_HELD, FALSE);
    }
    if (!host().powerOffSucceeds) {
        return failWith<BOOL>(ERROR_ACCESS_DENIED, FALSE);
    }
    return TRUE;
}

// --- the module's own file name ---

// For the module itself, with fakeModuleName, the name given, cut as the
// system cuts it when the buffer is short: terminated, with
// ERROR_INSUFFICIENT_BUFFER, or, as Windows XP does, not terminated
// (legacyTruncation). Any other handle goes to the real call, which refuses
// one that names no module.
DWORD WINAPI hostGetModuleFileNameA(HMODULE module, LPSTR name, DWORD size) {
    PluginHost& h = host();
    if (NIGHTCAP_FAILS(GetModuleFileNameA)) {
        return failWith<DWORD>(ERROR_NOT_ENOUGH_MEMORY, 0);
    }
    if (!h.fakeModuleName || module != h.module()) {
        return GetModuleFileNameA(module, name, size);
    }
    if (h.moduleNameError != 0) {
        return failWith<DWORD>(h.moduleNameError, 0);
    }
    DWORD length = static_cast<DWORD>(h.moduleName.size());
    if (length < size) {
        memcpy(name, h.moduleName.c_str(), length + 1);
        return length;
    }
    if (size > 0) {
        memcpy(name, h.moduleName.c_str(), size);
        if (!h.legacyTruncation) {
            name[size - 1] = '\0';
        }
    }
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
}

// --- heap ---
// With guardHeap, the module's new blocks come from the guard heap, where a
// touch of a freed block faults at once; a block goes back to the heap it
// came from, whichever host is active by then.

void* allocated(void* block) {
    if (block != nullptr) {
        host().liveAllocations.insert(block);
    }
    return block;
}

void* newBlock(size_t size, bool zeroed) {
    if (host().guardHeap) {
        return guardAllocate(size);
    }
    return zeroed ? calloc(1, size) : malloc(size);
}

void releaseBlock(void* block) {
    if (!guardRelease(block)) {
        free(block);
    }
}

void* __cdecl hostMalloc(size_t size) {
    recordCall(TraceEvent::Heap, "malloc", nullptr, size);
    return NIGHTCAP_FAILS(malloc) ? nullptr : allocated(newBlock(size, false));
}

void* __cdecl hostCalloc(size_t count, size_t size) {
    recordCall(TraceEvent::Heap, "calloc", nullptr, count * size);
    if (NIGHTCAP_FAILS(calloc) || (size != 0 && count > static_cast<size_t>(-1) / size)) {
        return nullptr;
    }
    return allocated(newBlock(count * size, true));
}

void* __cdecl hostRealloc(void* block, size_t size) {
    recordCall(TraceEvent::Heap, "realloc", nullptr, size);
    if (NIGHTCAP_FAILS(realloc)) {
        return nullptr;
    }
    size_t guarded = block != nullptr ? guardBlockSize(block) : 0;
    if (guarded == 0 && block != nullptr && !host().guardHeap) {
        void* moved = realloc(block, size);
        if (moved != nullptr || size == 0) {
            host().liveAllocations.erase(block);
        }
        return allocated(moved);
    }
    // Into a new block, so that the old one's addresses fault from now on.
    if (block != nullptr && size == 0) {
        host().liveAllocations.erase(block);
        releaseBlock(block);
        return nullptr;
    }
    void* moved = newBlock(size, false);
    if (moved != nullptr && block != nullptr) {
        size_t old = guarded != 0 ? guarded : _msize(block);
        memcpy(moved, block, old < size ? old : size);
        host().liveAllocations.erase(block);
        releaseBlock(block);
    }
    return allocated(moved);
}

void __cdecl hostFree(void* block) {
    recordCall(TraceEvent::Heap, "free");
    NIGHTCAP_FAILS(free);  // counted; freeing cannot fail
    host().liveAllocations.erase(block);
    releaseBlock(block);
}

// --- files ---
// Recorded once done, so that whoever follows the trace sees the call's
// effect on the disk: the save's crash-consistency probe stops there.
// In a folder that refuses changes (PluginHost::refusingFolders) each call
// answers as Windows does in a folder the user may only read.

template <typename Result>
Result fileCall(const char* function, const char* name, Result result, bool succeeded, size_t bytes = 0) {
    DWORD error = GetLastError();
    recordCall(TraceEvent::File, function, name, bytes, succeeded);
    SetLastError(error);
    return result;
}

bool exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Where a file would go: its folder must be there for it to be made.
bool folderExists(LPCSTR name) {
    std::string path = name;
    size_t cut = path.find_last_of("\\/");
    return cut == std::string::npos || exists(path.substr(0, cut == 2 && path[1] == ':' ? 3 : cut));
}

// Making a file, or opening one to change, truncate or delete it, is
// refused; opening one to read goes on, and so does opening a missing one
// without making it, or one in a missing folder (not found, as there).
bool refusedOpen(LPCSTR name, DWORD access, DWORD disposition, DWORD flags) {
    const DWORD changing = GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA |
                           FILE_WRITE_ATTRIBUTES | DELETE | WRITE_DAC | WRITE_OWNER;
    if (name == nullptr || !host().refuses(name)) {
        return false;
    }
    if (!exists(name)) {
        return folderExists(name) &&
               (disposition == CREATE_NEW || disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS);
    }
    return (access & changing) != 0 || disposition == CREATE_NEW || disposition == CREATE_ALWAYS ||
           disposition == TRUNCATE_EXISTING || (flags & FILE_FLAG_DELETE_ON_CLOSE) != 0;
}

// Deleting or moving a file out of such a folder, or into it, is refused
// for a file that is there; a missing one is missing, as there.
bool refusedChange(LPCSTR from, LPCSTR to = nullptr) {
    return from != nullptr && exists(from) && (host().refuses(from) || (to != nullptr && host().refuses(to)));
}

HANDLE WINAPI hostCreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                              DWORD disposition, DWORD flags, HANDLE templateFile) {
    HANDLE file = NIGHTCAP_FAILS(CreateFileA) || refusedOpen(name, access, disposition, flags)
                      ? failWith(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE)
                      : CreateFileA(name, access, share, security, disposition, flags, templateFile);
    return fileCall("CreateFileA", name, file, file != INVALID_HANDLE_VALUE);
}

BOOL WINAPI hostReadFile(HANDLE file, LPVOID data, DWORD size, LPDWORD read, LPOVERLAPPED overlapped) {
    BOOL ok = NIGHTCAP_FAILS(ReadFile) ? failWith<BOOL>(ERROR_READ_FAULT, FALSE)
                                       : ReadFile(file, data, size, read, overlapped);
    return fileCall("ReadFile", nullptr, ok, ok != FALSE, size);
}

// A full disk takes part of a write: up to writeLimitBytes, then a failure
// if one is asked for, else a success that says how little was written.
BOOL WINAPI hostWriteFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped) {
    bool fails = NIGHTCAP_FAILS(WriteFile);
    int limit = host().writeLimitBytes;
    DWORD allowed = limit >= 0 && static_cast<DWORD>(limit) < size ? static_cast<DWORD>(limit) : size;
    if (fails && limit < 0) {
        allowed = 0;
    }
    DWORD done = 0;
    BOOL ok = allowed > 0 ? WriteFile(file, data, allowed, &done, overlapped) : TRUE;
    if (written != nullptr) {
        *written = done;
    }
    ok = fails ? failWith<BOOL>(ERROR_DISK_FULL, FALSE) : ok;
    return fileCall("WriteFile", nullptr, ok, ok != FALSE, size);
}

BOOL WINAPI hostFlushFileBuffers(HANDLE file) {
    BOOL ok = NIGHTCAP_FAILS(FlushFileBuffers) ? failWith<BOOL>(ERROR_DISK_FULL, FALSE) : FlushFileBuffers(file);
    return fileCall("FlushFileBuffers", nullptr, ok, ok != FALSE);
}

// An error at closing still closes the handle. The real call refuses a
// handle already closed; a closed token is forgotten.
BOOL WINAPI hostCloseHandle(HANDLE handle) {
    BOOL closed = CloseHandle(handle);
    if (closed) {
        host().tokenAccess.erase(handle);
    }
    closed = NIGHTCAP_FAILS(CloseHandle) ? failWith<BOOL>(ERROR_DISK_FULL, FALSE) : closed;
    return fileCall("CloseHandle", nullptr, closed, closed != FALSE);
}

DWORD WINAPI hostGetFileAttributesA(LPCSTR name) {
    DWORD attributes = NIGHTCAP_FAILS(GetFileAttributesA) ? failWith<DWORD>(ERROR_ACCESS_DENIED, INVALID_FILE_ATTRIBUTES)
                                                          : GetFileAttributesA(name);
    return fileCall("GetFileAttributesA", name, attributes, attributes != INVALID_FILE_ATTRIBUTES);
}

BOOL WINAPI hostDeleteFileA(LPCSTR name) {
    BOOL ok = NIGHTCAP_FAILS(DeleteFileA) || refusedChange(name) ? failWith<BOOL>(ERROR_ACCESS_DENIED, FALSE)
                                                                 : DeleteFileA(name);
    return fileCall("DeleteFileA", name, ok, ok != FALSE);
}

BOOL WINAPI hostMoveFileExA(LPCSTR from, LPCSTR to, DWORD flags) {
    BOOL ok = NIGHTCAP_FAILS(MoveFileExA) || refusedChange(from, to) ? failWith<BOOL>(ERROR_ACCESS_DENIED, FALSE)
                                                                     : MoveFileExA(from, to, flags);
    return fileCall("MoveFileExA", to, ok, ok != FALSE);
}

// A folder that is there already is reported so, refusing or not.
BOOL WINAPI hostCreateDirectoryA(LPCSTR name, LPSECURITY_ATTRIBUTES security) {
    bool refused = name != nullptr && host().refuses(name) && !exists(name) && folderExists(name);
    BOOL ok = NIGHTCAP_FAILS(CreateDirectoryA) || refused ? failWith<BOOL>(ERROR_ACCESS_DENIED, FALSE)
                                                          : CreateDirectoryA(name, security);
    return fileCall("CreateDirectoryA", name, ok, ok != FALSE);
}

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
    } else if (!(csidl & CSIDL_FLAG_DONT_VERIFY) && !exists(folder)) {
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

const Replacement SteeredCalls[] = {
    NIGHTCAP_REPLACE("SetTimer", hostSetTimer),
    NIGHTCAP_REPLACE("KillTimer", hostKillTimer),
    NIGHTCAP_REPLACE("Sleep", hostSleep),
    NIGHTCAP_REPLACE("SendMessageA", hostSendMessageA),
    NIGHTCAP_REPLACE("PostMessageA", hostPostMessageA),
    NIGHTCAP_REPLACE("MessageBoxA", hostMessageBoxA),
    NIGHTCAP_REPLACE("MessageBoxW", hostMessageBoxW),
    NIGHTCAP_REPLACE("OpenProcessToken", hostOpenProcessToken),
    NIGHTCAP_REPLACE("LookupPrivilegeValueA", hostLookupPrivilegeValueA),
    NIGHTCAP_REPLACE("AdjustTokenPrivileges", hostAdjustTokenPrivileges),
    NIGHTCAP_REPLACE("ExitWindowsEx", hostExitWindowsEx),
    NIGHTCAP_REPLACE("GetModuleFileNameA", hostGetModuleFileNameA),
    NIGHTCAP_REPLACE("malloc", hostMalloc),
    NIGHTCAP_REPLACE("calloc", hostCalloc),
    NIGHTCAP_REPLACE("realloc", hostRealloc),
    NIGHTCAP_REPLACE("free", hostFree),
    NIGHTCAP_REPLACE("CreateFileA", hostCreateFileA),
    NIGHTCAP_REPLACE("ReadFile", hostReadFile),
    NIGHTCAP_REPLACE("WriteFile", hostWriteFile),
    NIGHTCAP_REPLACE("FlushFileBuffers", hostFlushFileBuffers),
    NIGHTCAP_REPLACE("CloseHandle", hostCloseHandle),
    NIGHTCAP_REPLACE("GetFileAttributesA", hostGetFileAttributesA),
    NIGHTCAP_REPLACE("DeleteFileA", hostDeleteFileA),
    NIGHTCAP_REPLACE("MoveFileExA", hostMoveFileExA),
    NIGHTCAP_REPLACE("CreateDirectoryA", hostCreateDirectoryA),
    NIGHTCAP_REPLACE("SHGetFolderPathA", hostSHGetFolderPathA),
};
const size_t SteeredCallCount = sizeof SteeredCalls / sizeof SteeredCalls[0];
