#pragma once
// Plays the player's part towards the real plug-in module: loads it with
// LoadLibrary, calls the export, writes the two handles into the descriptor,
// calls the entry points in the player's order, and replaces what the module
// imports for timers, pauses, message boxes, power-off, its own file name,
// the heap and the file calls, so that tests can see and steer them.
//
// Safe by default: timers are simulated (fired by tick()), Sleep only records,
// message boxes are answered without being shown, and the power-off request is
// recorded and never reaches the system.

#include <windows.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "host/Trace.h"
#include "plugin/PluginDescriptor.h"

class PluginHost {
public:
    PluginHost();
    ~PluginHost();  // quits (if initialised) and unloads
    PluginHost(const PluginHost&) = delete;
    PluginHost& operator=(const PluginHost&) = delete;

    // The plug-in beside the running program, or another build of it.
    static std::string besideProgram(const char* fileName);

    bool load(const std::string& dllPath);
    // Writes hostWindow and moduleInstance, as the player does before init.
    void attach(HWND playerWindow);
    int init();
    void config();
    void quit();
    void unload();

    HMODULE module() const { return moduleHandle; }
    PluginDescriptor* getDescriptor();  // calls the export
    PluginDescriptor* descriptor() const { return descriptorPointer; }
    bool initialised() const { return isInitialised; }

    Trace trace;

    // --- timers (simulated unless realTimers) ---
    struct Timer {
        UINT_PTR id;
        UINT periodMs;
        TIMERPROC proc;
        bool alive;
    };
    std::vector<Timer> timers;
    bool refuseTimers = false;     // SetTimer answers 0
    bool realTimers = false;       // hand timers to the system, period divided by speed
    double speed = 1.0;            // time warp for real timers and real Sleep
    int liveTimers() const;
    // Told around every tick delivered to the module, simulated or real, so a
    // caller can tell which of the module's calls belong to which tick.
    std::function<void()> beforeTick;
    std::function<void()> afterTick;
    int ticksDelivered = 0;
    // Fires the live timer once, as the message loop would; false if none.
    bool tick();
    // Fires up to count ticks, stopping early when no timer is left.
    int ticks(int count);

    // --- Sleep ---
    bool realSleep = false;        // sleep for real (divided by speed)
    long long sleptMs = 0;         // requested pauses, summed

    // --- message boxes ---
    int messageBoxAnswer = IDOK;
    std::function<void(const TraceEvent&)> onMessageBox;

    // --- power-off ---
    bool tokenOpens = true;
    bool privilegeGranted = true;
    bool powerOffSucceeds = true;

    // --- the module's own file name ---
    bool fakeModuleName = false;
    std::string moduleName;        // answered when fakeModuleName
    DWORD moduleNameError = 0;     // non-zero: GetModuleFileNameA fails with it
    bool legacyTruncation = false; // a cut name without terminator, as old systems give it
    int moduleNameCalls = 0;       // the module asked its own file name

    // --- heap: count and fail the module's allocations ---
    int mallocCalls = 0;
    int failMallocCall = 0;        // fails the n-th call from now (1-based), 0: never
    std::set<void*> liveAllocations;

    // --- file calls: return false to make the call fail ---
    std::function<bool(DWORD requested, DWORD& written)> writeFileHook;
    std::function<bool()> closeHandleHook;
    std::function<bool()> moveFileHook;

    // For the fakes: the host that loaded the module.
    static PluginHost* active;

    // Runs one tick of the given timer through the hooks above.
    void deliverTick(const Timer& timer);

private:
    void patchAll();

    HMODULE moduleHandle = NULL;
    PluginDescriptor* descriptorPointer = nullptr;
    bool isInitialised = false;
};
