#include "host/PluginHost.h"

#include <stdlib.h>
#include <string.h>

#include "host/calls/HostCalls.h"

PluginHost* PluginHost::active = nullptr;

namespace {

std::string fullPath(const std::string& path) {
    char full[2 * MAX_PATH];
    DWORD length = GetFullPathNameA(path.c_str(), sizeof full, full, NULL);
    return length > 0 && length < sizeof full ? std::string(full, length) : path;
}

}  // namespace

PluginHost::PluginHost() {}

PluginHost::~PluginHost() {
    if (isInitialised) {
        quit();
    }
    unload();
    while (!heldFiles.empty()) {
        releaseFile(heldFiles.begin()->first);
    }
}

std::string PluginHost::besideProgram(const char* fileName) {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, path, MAX_PATH);
    std::string directory(path, length);
    size_t cut = directory.find_last_of("\\/");
    directory = cut == std::string::npos ? std::string() : directory.substr(0, cut + 1);
    return directory + fileName;
}

int PluginHost::timeFactor() {
    static const int factor = [] {
        const char* value = getenv("NIGHTCAP_TIME_FACTOR");
        int parsed = value != nullptr ? atoi(value) : 1;
        return parsed >= 1 ? parsed : 1;
    }();
    return factor;
}

bool PluginHost::load(const std::string& dllPath) {
    active = this;
    {
        ExportRedirect redirect(hostReplacements());
        moduleHandle = LoadLibraryA(dllPath.c_str());
    }
    if (moduleHandle == NULL) {
        return false;
    }
    getDescriptor();
    return descriptorPointer != nullptr;
}

PluginDescriptor* PluginHost::getDescriptor() {
    typedef PluginDescriptor* (*ExportFunction)();
    ExportFunction exported = reinterpret_cast<ExportFunction>(
        reinterpret_cast<void*>(GetProcAddress(moduleHandle, "winampGetGeneralPurposePlugin")));
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

void PluginHost::releaseModule() {
    if (moduleHandle != NULL && !moduleReleased) {
        FreeLibrary(moduleHandle);
        moduleReleased = true;
    }
}

namespace {

bool stillLoaded(HMODULE module) {
    HMODULE found = NULL;
    return GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              reinterpret_cast<LPCSTR>(module), &found) &&
           found == module;
}

}  // namespace

void PluginHost::unload() {
    if (moduleHandle != NULL) {
        releaseModule();
        referencesKept = 0;
        while (stillLoaded(moduleHandle) && referencesKept < 100) {
            FreeLibrary(moduleHandle);
            ++referencesKept;
        }
        moduleHandle = NULL;
        moduleReleased = false;
        descriptorPointer = nullptr;
    }
    if (active == this) {
        active = nullptr;
    }
}

bool PluginHost::refuses(const char* path) const {
    std::string file = fullPath(path);
    for (const std::string& folder : refusingFolders) {
        std::string inside = fullPath(folder);
        if (inside.empty() || inside.back() != '\\') {
            inside += '\\';
        }
        if (file.size() > inside.size() && _strnicmp(file.c_str(), inside.c_str(), inside.size()) == 0) {
            return true;
        }
    }
    return false;
}

std::string PluginHost::powerStates() const {
    std::string sleep = sleepStates     ? "sleeps (S3)"
                        : modernStandby ? "sleeps as Modern Standby does (when the display goes off)"
                                        : "cannot sleep";
    std::string hibernate = !hibernation      ? "cannot hibernate"
                            : hibernationFile ? "hibernates (S4, with a hibernation file)"
                                              : "has hibernation turned off (S4, no hibernation file)";
    return sleep + " and " + hibernate;
}

bool PluginHost::iconEvent(UINT event) {
    if (shellIcons.empty()) {
        return false;
    }
    ShellIcon icon = shellIcons.front();
    // As the shell of Windows 2000 and later says it: the icon's id in
    // wParam, the event in lParam.
    SendMessageA(icon.window, icon.callbackMessage, icon.id, static_cast<LPARAM>(event));
    return true;
}

UINT PluginHost::menuCommand(const std::string& start) const {
    for (size_t i = 0; i < menuItems.size() && i < menuCommands.size(); ++i) {
        if (!start.empty() && menuItems[i].compare(0, start.size(), start) == 0) {
            return menuCommands[i];
        }
    }
    return 0;
}

namespace {

BOOL CALLBACK tellTaskbarCreated(HWND window, LPARAM message) {
    SendMessageA(window, static_cast<UINT>(message), 0, 0);
    return TRUE;
}

}  // namespace

void PluginHost::restartShell() {
    shellIcons.clear();
    UINT created = RegisterWindowMessageA("TaskbarCreated");
    EnumThreadWindows(GetCurrentThreadId(), tellTaskbarCreated, static_cast<LPARAM>(created));
}

long long PluginHost::nowMs() {
    if (realTimers) {
        if (!realClockStarted) {
            realClockStarted = true;
            realClockStart = GetTickCount();
            realClockBase = clockMs;
        }
        DWORD real = GetTickCount() - realClockStart;
        clockMs = realClockBase + static_cast<long long>(real * speed);
    }
    return clockMs;
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
    ticking = copy;
    if (beforeTick) {
        beforeTick();
    }
    copy.proc(NULL, WM_TIMER, copy.id, GetTickCount());
    if (afterTick) {
        afterTick();
    }
}

namespace {

UINT deliveryPeriod(const PluginHost::Timer& timer, UINT slowTo) {
    UINT period = timer.periodMs > 0 ? timer.periodMs : 1;
    return slowTo > period ? slowTo : period;
}

}  // namespace

bool PluginHost::tick() {
    // The slowest live timer due first (the countdown's, as a rule): a timer
    // of the same period left alive beside it, one whose kill was refused,
    // takes its turn as it would on Windows instead of starving it.
    size_t chosen = timers.size();
    for (size_t i = 0; i < timers.size(); ++i) {
        const Timer& timer = timers[i];
        if (timer.alive &&
            (chosen == timers.size() || timer.periodMs > timers[chosen].periodMs ||
             (timer.periodMs == timers[chosen].periodMs && timer.dueMs < timers[chosen].dueMs))) {
            chosen = i;
        }
    }
    if (chosen == timers.size()) {
        return false;
    }
    UINT_PTR id = timers[chosen].id;
    UINT period = timers[chosen].periodMs;
    long long due = timers[chosen].dueMs;
    // The faster timers' ticks that come first; each may kill or set timers.
    for (;;) {
        size_t next = timers.size();
        for (size_t i = 0; i < timers.size(); ++i) {
            const Timer& timer = timers[i];
            if (timer.alive && timer.id != id && timer.periodMs < period && timer.dueMs < due &&
                (next == timers.size() || timer.dueMs < timers[next].dueMs)) {
                next = i;
            }
        }
        if (next == timers.size()) {
            break;
        }
        clockMs = timers[next].dueMs > clockMs ? timers[next].dueMs : clockMs;
        timers[next].dueMs += deliveryPeriod(timers[next], slowTimersToMs);
        deliverTick(timers[next]);
    }
    for (Timer& timer : timers) {
        if (timer.id == id && timer.alive) {
            clockMs = due > clockMs ? due : clockMs;
            timer.dueMs = due + deliveryPeriod(timer, slowTimersToMs);
            deliverTick(timer);
            return true;
        }
    }
    // Killed by a faster timer's tick: that was this tick's work.
    return true;
}

int PluginHost::ticks(int count) {
    int fired = 0;
    while (fired < count && tick()) {
        ++fired;
    }
    return fired;
}

PluginHost::CallCount& PluginHost::countOf(int slot) {
    if (static_cast<size_t>(slot) >= callCounts.size()) {
        callCounts.resize(static_cast<size_t>(slot) + 1);
    }
    return callCounts[static_cast<size_t>(slot)];
}

void PluginHost::failCall(const std::string& function, int nth, bool every) {
    CallCount& count = countOf(importSlot(function));
    count.failFrom = count.calls + (nth < 1 ? 1 : nth);
    count.failEvery = every;
}

int PluginHost::callsOf(const std::string& function) const {
    size_t slot = static_cast<size_t>(importSlot(function));
    return slot < callCounts.size() ? callCounts[slot].calls : 0;
}

bool PluginHost::failsNow(int slot) {
    CallCount& count = countOf(slot);
    ++count.calls;
    if (count.failFrom == 0 || count.calls < count.failFrom) {
        return false;
    }
    bool fails = count.calls == count.failFrom || count.failEvery;
    failedCalls += fails ? 1 : 0;
    return fails;
}
