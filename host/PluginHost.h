#pragma once
// Plays the player's part towards the real plug-in module: loads it with
// LoadLibrary, calls the export, writes the two handles into the descriptor,
// calls the entry points in the player's order, and puts its own functions in
// place of what the module imports (host/calls/, one file per system area),
// bound as the module loads, so that tests and the bench player can see and
// steer everything it does, its start-up code included: one trace records
// its messages to the player, posts, timers, pauses, boxes, power requests,
// heap and file calls, and any import can be made to fail.
//
// Safe by default: timers are simulated (fired by tick()), Sleep only records,
// message boxes are answered without being shown, and the requests to power
// off, sleep, hibernate or turn the display off are recorded and never reach
// the system.

#include <windows.h>

#include <functional>
#include <map>
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
    // The rig's real-time limits (a dialog that never shows, a session that
    // never ends) are this many times their usual length: NIGHTCAP_TIME_FACTOR,
    // 1 unless set. Wine on an emulated processor is many times slower.
    static int timeFactor();

    // Faults asked for before load apply to the module's start-up code too.
    bool load(const std::string& dllPath);
    // Writes hostWindow and moduleInstance, as the player does before init.
    void attach(HWND playerWindow);
    int init();
    void config();
    void quit();
    // The player lets go of the module (FreeLibrary), as it may do right
    // after quit, even from inside the module's dialog; unload() then only
    // releases what the module kept.
    void releaseModule();
    // Releases the player's reference, then any the module kept of its own,
    // so that the next load starts afresh as in a new process.
    void unload();
    // References the module held of its own when unload() released it.
    int referencesKept = 0;

    HMODULE module() const { return moduleHandle; }
    PluginDescriptor* getDescriptor();  // calls the export
    PluginDescriptor* descriptor() const { return descriptorPointer; }
    bool initialised() const { return isInitialised; }
    // The player window written by attach(): messages to it are the player's.
    HWND playerWindow() const { return descriptorPointer != nullptr ? descriptorPointer->hostWindow : NULL; }

    Trace trace;

    // --- timers and the clock (simulated unless realTimers) ---
    struct Timer {
        UINT_PTR id;
        UINT periodMs;
        TIMERPROC proc;
        bool alive;
        long long dueMs;           // simulated: when it fires next, on clockMs
    };
    std::vector<Timer> timers;
    bool realTimers = false;       // hand timers to the system, period divided by speed
    double speed = 1.0;            // time warp for real timers, real Sleep and GetTickCount
    int liveTimers() const;
    // The simulated clock, in ms, which GetTickCount answers (modulo 2^32).
    // It starts a minute before the counter wraps at 49.7 days, so that
    // what measures time across the wrap is tested on every run.
    long long clockMs = 0xFFFF0000LL;
    // Non-zero: a timer asked for a shorter period fires only this often, as
    // a busy or coarse system's timer does.
    UINT slowTimersToMs = 0;
    // With real timers: the real clock when the module first asked, and the
    // simulated time it stood for.
    bool realClockStarted = false;
    DWORD realClockStart = 0;
    long long realClockBase = 0;
    // The clock as GetTickCount answers it now (with real timers it follows
    // the real clock at the host's speed from the first reading on).
    long long nowMs();
    // Told around every tick delivered to the module, simulated or real, so a
    // caller can tell which of the module's calls belong to which tick;
    // ticking is the timer whose tick it is (after it, the last one's).
    std::function<void()> beforeTick;
    std::function<void()> afterTick;
    int ticksDelivered = 0;
    Timer ticking = {};
    // Fires the slowest live timer due first once, as the message loop
    // would, when it is due; first, in order, every tick of a faster timer
    // due before it, the clock following each. False if no timer lives.
    bool tick();
    // Fires up to count ticks, stopping early when no timer is left.
    int ticks(int count);
    // Runs one tick of the given timer through the hooks above.
    void deliverTick(const Timer& timer);

    // --- Sleep ---
    bool realSleep = false;        // sleep for real (divided by speed)
    long long sleptMs = 0;         // requested pauses, summed

    // --- dialogs and message boxes ---
    std::vector<INT_PTR> initDialogAnswers;  // the module's WM_INITDIALOG answers
    int messageBoxAnswer = IDOK;
    std::function<void(const TraceEvent&)> onMessageBox;

    // --- menus (TrackPopupMenu) ---
    // Set: a menu the module tracks is answered by this, not shown: it gets
    // the items' texts and returns the command chosen, 0 for none. It runs
    // where the menu's loop runs, so it may quit the plug-in there, as the
    // player may; an EndMenu meanwhile makes the menu answer 0. Unset, the
    // real menu shows (the bench player).
    std::function<UINT(const std::vector<std::string>& items)> onMenu;
    bool menuEnded = false;
    // The answered menu's commands, by position (0 for a separator), so an
    // answer can choose an item by its text: menuCommand("Stop").
    std::vector<UINT> menuCommands;
    std::vector<std::string> menuItems;
    // The command of the first item whose text begins with start; 0 if none.
    UINT menuCommand(const std::string& start) const;

    // --- the notification area (Shell_NotifyIconA) ---
    // The icons the shell shows now, as the shell keeps them. No icon ever
    // reaches Wine's own notification area.
    struct ShellIcon {
        HWND window;
        UINT id;
        UINT callbackMessage;
        UINT version;
        HICON image;              // as the module gave it; NULL shows an empty place
        std::string tip;
        std::string balloonTitle;
        std::string balloonText;
        UINT balloonTimeout;      // ms, as asked
    };
    std::vector<ShellIcon> shellIcons;
    // The shell sends the icon's window its callback message, as on a click
    // or a key (WM_LBUTTONUP, NIN_SELECT, WM_CONTEXTMENU...); false when no
    // icon shows.
    bool iconEvent(UINT event);
    // The shell starts again: it forgets every icon and tells each top-level
    // window of this thread "TaskbarCreated".
    void restartShell();

    // --- power-off ---
    bool tokenOpens = true;
    bool privilegeGranted = true;  // the account holds the shutdown privilege
    bool powerOffSucceeds = true;  // the system's other reasons to refuse
    // The token as the module left it: open handles with their access, and
    // whether the shutdown privilege is enabled.
    std::map<HANDLE, DWORD> tokenAccess;
    bool shutdownEnabled = false;

    // --- what the computer can do (GetPwrCapabilities), sleep, hibernation ---
    // A desktop unless told otherwise: it sleeps (S3) and hibernates (S4,
    // with a hibernation file).
    bool sleepStates = true;       // S3
    bool modernStandby = false;    // AoAc
    bool hibernation = true;       // S4
    bool hibernationFile = true;
    bool suspendSucceeds = true;   // the system's other reasons to refuse SetSuspendState
    // The above in words: "sleeps (S3) and hibernates (S4, with a hibernation file)".
    std::string powerStates() const;

    // --- the module's own file name ---
    bool fakeModuleName = false;
    std::string moduleName;        // answered when fakeModuleName
    DWORD moduleNameError = 0;     // non-zero: GetModuleFileNameA fails with it
    bool legacyTruncation = false; // a cut name without terminator, as old systems give it

    // --- heap ---
    std::set<void*> liveAllocations;  // the module's blocks not yet freed
    bool guardHeap = false;           // new blocks from the guard heap (GuardHeap.h); set before load

    // --- files ---
    int writeLimitBytes = -1;      // non-negative: a write takes at most this many bytes
    // Folders that refuse changes, as Program Files refuses them to a user
    // who is no administrator: in them and below, files cannot be made,
    // opened to change, replaced, moved in or out or deleted, nor folders
    // made (ERROR_ACCESS_DENIED); reading works. Permissions cannot stand in
    // for this: the root user that runs the tests ignores them.
    std::vector<std::string> refusingFolders;
    bool refuses(const char* path) const;
    // Another program holding a file open without sharing it, as a backup
    // or a scanner may for a moment: a real handle of this process, so that
    // the module meets what the system does (its opens of the file fail with
    // ERROR_SHARING_VIOLATION, and the file cannot be replaced or deleted).
    // False when the file cannot be opened. Released by the host's end too.
    bool holdFile(const std::string& path);
    void releaseFile(const std::string& path);
    std::map<std::string, HANDLE> heldFiles;

    // --- the user's application-data folder ---
    // Non-empty: SHGetFolderPathA answers this folder for the current user's
    // CSIDL_APPDATA, so that the module's per-user file is the host's own.
    std::string appDataFolder;

    // --- failing calls ---
    // The nth call from now of the named import fails, as the system fails
    // it (a failure result and an error code); with every, each call after
    // it fails too. CloseHandle closes and then reports the failure, as an
    // error at closing does; WriteFile writes up to writeLimitBytes first.
    void failCall(const std::string& function, int nth = 1, bool every = false);
    // How often the module called the named import since load.
    int callsOf(const std::string& function) const;
    // How many of the module's calls were made to fail since load.
    int failedCalls = 0;

    // For the replaced imports: the host that loaded the module.
    static PluginHost* active;

    // Used by the replaced imports: counts the call, and says whether it fails.
    bool failsNow(int importSlot);

private:
    struct CallCount {
        int calls = 0;
        int failFrom = 0;          // the call number that fails first; 0: none
        bool failEvery = false;
    };
    CallCount& countOf(int importSlot);

    HMODULE moduleHandle = NULL;
    bool moduleReleased = false;
    PluginDescriptor* descriptorPointer = nullptr;
    bool isInitialised = false;
    std::vector<CallCount> callCounts;
};

// A stable number for an import's name, for PluginHost::failsNow.
int importSlot(const std::string& function);
