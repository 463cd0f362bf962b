#include "host/PluginHost.h"

#include <stdlib.h>
#include <string.h>

#include "host/ImportPatch.h"

PluginHost* PluginHost::active = nullptr;

namespace {

PluginHost& host() {
    return *PluginHost::active;
}

void traceCall(TraceEvent::Kind kind, UINT message = 0, WPARAM wParam = 0, LPARAM lParam = 0, HWND window = NULL) {
    TraceEvent event = {};
    event.kind = kind;
    event.message = message;
    event.wParam = wParam;
    event.lParam = lParam;
    event.window = window;
    host().trace.add(event);
}

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

UINT_PTR WINAPI fakeSetTimer(HWND window, UINT_PTR id, UINT periodMs, TIMERPROC proc) {
    if (window != NULL) {
        return SetTimer(window, id, periodMs, proc);
    }
    traceCall(TraceEvent::SetTimer, 0, periodMs);
    PluginHost& h = host();
    if (h.refuseTimers) {
        return 0;
    }
    UINT_PTR granted;
    if (h.realTimers) {
        double scaled = periodMs / h.speed;
        granted = SetTimer(NULL, 0, scaled < 1 ? 1 : static_cast<UINT>(scaled), realTimerProc);
        if (granted == 0) {
            return 0;
        }
    } else {
        granted = 0x4e43 + h.timers.size();
    }
    h.timers.push_back(PluginHost::Timer{granted, periodMs, proc, true});
    return granted;
}

BOOL WINAPI fakeKillTimer(HWND window, UINT_PTR id) {
    if (window != NULL) {
        return KillTimer(window, id);
    }
    traceCall(TraceEvent::KillTimer, 0, id);
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
    return found;
}

void WINAPI fakeSleep(DWORD ms) {
    traceCall(TraceEvent::Sleep, 0, ms);
    host().sleptMs += ms;
    if (host().realSleep) {
        Sleep(static_cast<DWORD>(ms / host().speed));
    }
}

int recordMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type, bool wide) {
    TraceEvent event = {};
    event.kind = TraceEvent::MessageBox;
    event.message = type;
    event.window = owner;
    event.text = text;
    event.caption = caption;
    event.wide = wide;
    host().trace.add(event);
    if (host().onMessageBox) {
        host().onMessageBox(event);
    }
    return host().messageBoxAnswer;
}

// Recorded as the user would read them: ANSI texts in the system's code page.
int WINAPI fakeMessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    return recordMessageBox(owner, utf8FromCodePage(text ? text : "", CP_ACP),
                            utf8FromCodePage(caption ? caption : "", CP_ACP), type, false);
}

int WINAPI fakeMessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    return recordMessageBox(owner, utf8FromWide(text ? text : L""), utf8FromWide(caption ? caption : L""), type, true);
}

BOOL WINAPI fakePostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    traceCall(TraceEvent::Post, message, wParam, lParam, window);
    return PostMessageA(window, message, wParam, lParam);
}

BOOL WINAPI fakeOpenProcessToken(HANDLE process, DWORD access, PHANDLE token) {
    traceCall(TraceEvent::OpenToken, access);
    if (!host().tokenOpens) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return OpenProcessToken(process, access, token);
}

// Never adjusts anything for real: it only says what the system would say.
BOOL WINAPI fakeAdjustTokenPrivileges(HANDLE token, BOOL, PTOKEN_PRIVILEGES, DWORD, PTOKEN_PRIVILEGES, PDWORD) {
    traceCall(TraceEvent::AdjustPrivileges);
    if (token == NULL) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    SetLastError(host().privilegeGranted ? ERROR_SUCCESS : ERROR_NOT_ALL_ASSIGNED);
    return TRUE;
}

// The power-off request never reaches the system.
BOOL WINAPI fakeExitWindowsEx(UINT flags, DWORD) {
    traceCall(TraceEvent::ExitWindows, flags);
    if (!host().powerOffSucceeds) {
        SetLastError(ERROR_PRIVILEGE_NOT_HELD);
        return FALSE;
    }
    return TRUE;
}

DWORD WINAPI fakeGetModuleFileNameA(HMODULE module, LPSTR name, DWORD size) {
    PluginHost& h = host();
    if (module == h.module()) {
        ++h.moduleNameCalls;
    }
    if (!h.fakeModuleName || module != h.module()) {
        return GetModuleFileNameA(module, name, size);
    }
    if (h.moduleNameError != 0) {
        SetLastError(h.moduleNameError);
        return 0;
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

void* __cdecl fakeMalloc(size_t size) {
    PluginHost& h = host();
    ++h.mallocCalls;
    if (h.failMallocCall != 0 && h.mallocCalls == h.failMallocCall) {
        return nullptr;
    }
    void* block = malloc(size);
    if (block != nullptr) {
        h.liveAllocations.insert(block);
    }
    return block;
}

void __cdecl fakeFree(void* block) {
    host().liveAllocations.erase(block);
    free(block);
}

BOOL WINAPI fakeWriteFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped) {
    if (!host().writeFileHook) {
        return WriteFile(file, data, size, written, overlapped);
    }
    DWORD allowed = size;
    bool ok = host().writeFileHook(size, allowed);
    if (allowed > size) {
        allowed = size;
    }
    DWORD done = 0;
    WriteFile(file, data, allowed, &done, overlapped);
    if (written != nullptr) {
        *written = done;
    }
    if (!ok) {
        SetLastError(ERROR_DISK_FULL);
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI fakeCloseHandle(HANDLE handle) {
    BOOL closed = CloseHandle(handle);
    if (host().closeHandleHook && !host().closeHandleHook()) {
        SetLastError(ERROR_DISK_FULL);
        return FALSE;
    }
    return closed;
}

BOOL WINAPI fakeMoveFileExA(LPCSTR from, LPCSTR to, DWORD flags) {
    if (host().moveFileHook && !host().moveFileHook()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return MoveFileExA(from, to, flags);
}

}  // namespace

PluginHost::PluginHost() {}

PluginHost::~PluginHost() {
    if (isInitialised) {
        quit();
    }
    unload();
}

std::string PluginHost::besideProgram(const char* fileName) {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, path, MAX_PATH);
    std::string directory(path, length);
    size_t cut = directory.find_last_of("\\/");
    directory = cut == std::string::npos ? std::string() : directory.substr(0, cut + 1);
    return directory + fileName;
}

bool PluginHost::load(const std::string& dllPath) {
    active = this;
    moduleHandle = LoadLibraryA(dllPath.c_str());
    if (moduleHandle == NULL) {
        return false;
    }
    patchAll();
    getDescriptor();
    return descriptorPointer != nullptr;
}

void PluginHost::patchAll() {
    HMODULE m = moduleHandle;
    patchImport(m, "SetTimer", reinterpret_cast<void*>(fakeSetTimer));
    patchImport(m, "KillTimer", reinterpret_cast<void*>(fakeKillTimer));
    patchImport(m, "Sleep", reinterpret_cast<void*>(fakeSleep));
    patchImport(m, "MessageBoxA", reinterpret_cast<void*>(fakeMessageBoxA));
    patchImport(m, "MessageBoxW", reinterpret_cast<void*>(fakeMessageBoxW));
    patchImport(m, "PostMessageA", reinterpret_cast<void*>(fakePostMessageA));
    patchImport(m, "OpenProcessToken", reinterpret_cast<void*>(fakeOpenProcessToken));
    patchImport(m, "AdjustTokenPrivileges", reinterpret_cast<void*>(fakeAdjustTokenPrivileges));
    patchImport(m, "ExitWindowsEx", reinterpret_cast<void*>(fakeExitWindowsEx));
    patchImport(m, "GetModuleFileNameA", reinterpret_cast<void*>(fakeGetModuleFileNameA));
    patchImport(m, "malloc", reinterpret_cast<void*>(fakeMalloc));
    patchImport(m, "free", reinterpret_cast<void*>(fakeFree));
    patchImport(m, "WriteFile", reinterpret_cast<void*>(fakeWriteFile));
    patchImport(m, "CloseHandle", reinterpret_cast<void*>(fakeCloseHandle));
    patchImport(m, "MoveFileExA", reinterpret_cast<void*>(fakeMoveFileExA));
}

PluginDescriptor* PluginHost::getDescriptor() {
    typedef PluginDescriptor* (*ExportFunction)();
    ExportFunction exported =
        reinterpret_cast<ExportFunction>(reinterpret_cast<void*>(GetProcAddress(moduleHandle, "winampGetGeneralPurposePlugin")));
    descriptorPointer = exported != nullptr ? exported() : nullptr;
    return descriptorPointer;
}

void PluginHost::attach(HWND playerWindow) {
    descriptorPointer->hostWindow = playerWindow;
    descriptorPointer->moduleInstance = moduleHandle;
}

int PluginHost::init() {
    int result = descriptorPointer->initEntry();
    isInitialised = result == 0;
    return result;
}

void PluginHost::config() {
    descriptorPointer->configEntry();
}

void PluginHost::quit() {
    descriptorPointer->quitEntry();
    isInitialised = false;
}

void PluginHost::unload() {
    if (moduleHandle != NULL) {
        FreeLibrary(moduleHandle);
        moduleHandle = NULL;
        descriptorPointer = nullptr;
    }
    if (active == this) {
        active = nullptr;
    }
}

int PluginHost::liveTimers() const {
    int live = 0;
    for (const Timer& timer : timers) {
        live += timer.alive ? 1 : 0;
    }
    return live;
}

void PluginHost::deliverTick(const Timer& timer) {
    Timer copy = timer;  // the tick may set a new timer and move the list
    ++ticksDelivered;
    if (beforeTick) {
        beforeTick();
    }
    copy.proc(NULL, WM_TIMER, copy.id, GetTickCount());
    if (afterTick) {
        afterTick();
    }
}

bool PluginHost::tick() {
    for (size_t i = 0; i < timers.size(); ++i) {
        if (timers[i].alive) {
            deliverTick(timers[i]);
            return true;
        }
    }
    return false;
}

int PluginHost::ticks(int count) {
    int fired = 0;
    while (fired < count && tick()) {
        ++fired;
    }
    return fired;
}
