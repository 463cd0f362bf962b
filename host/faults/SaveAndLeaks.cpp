#include "host/faults/SaveAndLeaks.h"

#include <stdio.h>

#include <memory>

#include "dialog/resource.h"
#include "host/DialogDriver.h"
#include "host/PlayerModel.h"
#include "host/PlayerWindow.h"
#include "host/PluginHost.h"
#include "host/faults/FaultRun.h"
#include "settings/Settings.h"

namespace {

// The steps of a save at which the process is killed, named after what has
// just been done, and the trace event that comes right after that. The
// replace itself is one rename, atomic in the file system: the process dies
// before it (after the close) or after it.
struct SaveStep {
    const char* name;
    const char* event;
};
const SaveStep SaveSteps[] = {
    {"after-create", "CreateFileA"},
    {"after-write", "WriteFile"},
    {"after-flush", "FlushFileBuffers"},
    {"after-close", "CloseHandle"},
    {"after-replace", "MoveFileExA"},
};

// Time limits, there to end a run that hangs: wide, as a run is the slower
// the busier the machine (the leak cycles take three to four minutes where
// Wine runs emulated, and three times that with both cores busy).
const unsigned long SaveRunLimitMs = 30000;
const unsigned long LeakRunLimitMs = 40 * 60000;
const int LeakCycles = 1000;

std::vector<unsigned char> oldRecord() {
    return settingsBytes(CountMode::Songs, StopMethod::WaitForSongEnd, FinalAction::HaltComputer, 4, 10);
}

std::vector<unsigned char> newRecord() {
    return settingsBytes(CountMode::Songs, StopMethod::WaitForSongEnd, FinalAction::HaltComputer, 9, 10);
}

// The module loaded and initialised in a host, its settings in folder, and
// its application-data folder inside it.
struct Session {
    PlayerModel player;
    std::unique_ptr<PlayerWindow> window;
    PluginHost host;

    bool start(const std::string& folder) {
        window.reset(new PlayerWindow(player));
        host.fakeModuleName = true;
        host.moduleName = folder + "\\gen_Nightcap.dll";
        host.appDataFolder = folder + "\\AppData";
        CreateDirectoryA(host.appDataFolder.c_str(), NULL);
        if (!host.load(PluginHost::besideProgram("gen_Nightcap.dll"))) {
            return false;
        }
        host.attach(window->handle());
        return host.init() == 0;
    }

    void inDialog(const std::vector<DialogDriver::Step>& steps) {
        DialogDriver driver(window->handle(), &host);
        for (const DialogDriver::Step& step : steps) {
            driver.then(step);
        }
        driver.run([this] { host.config(); });
    }
};

// --- what a run counts ---

BOOL CALLBACK countWindow(HWND window, LPARAM count) {
    ++*reinterpret_cast<int*>(count);
    EnumChildWindows(window, countWindow, count);
    return TRUE;
}

int windowCount() {
    int count = 0;
    EnumThreadWindows(GetCurrentThreadId(), countWindow, reinterpret_cast<LPARAM>(&count));
    return count;
}

// Under Wine, GetGuiResources answers 0; its GDI handle table, shared in the
// process environment block (at 0x94, as on Windows), holds 24-byte entries
// whose type byte is set while the object lives.
int gdiObjectCount() {
    DWORD counted = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (counted != 0) {
        return static_cast<int>(counted);
    }
    typedef LONG(WINAPI * QueryProcess)(HANDLE, int, void*, ULONG, ULONG*);
    QueryProcess query = reinterpret_cast<QueryProcess>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
    ULONG_PTR basic[6] = {};  // PROCESS_BASIC_INFORMATION: the block's address is its second word
    if (query == NULL || query(GetCurrentProcess(), 0, basic, sizeof basic, NULL) != 0) {
        return -1;
    }
    const BYTE* peb = reinterpret_cast<const BYTE*>(basic[1]);
    const BYTE* table = *reinterpret_cast<const BYTE* const*>(peb + 0x94);
    if (table == NULL) {
        return -1;
    }
    int count = 0;
    for (int i = 0; i < 0x10000; ++i) {
        count += table[i * 24 + 14] != 0 ? 1 : 0;
    }
    return count;
}

// Under Wine, GetProcessHandleCount answers 0: each handle value is asked.
int handleCount() {
    DWORD counted = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &counted) && counted != 0) {
        return static_cast<int>(counted);
    }
    int count = 0;
    for (ULONG_PTR value = 4; value < 0x10000; value += 4) {
        DWORD flags = 0;
        count += GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags) ? 1 : 0;
    }
    return count;
}

struct Counts {
    int windows, user, gdi, handles, heapBlocks;
};

Counts countsNow(const PluginHost& host) {
    return Counts{windowCount(), static_cast<int>(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS)),
                  gdiObjectCount(), handleCount(), static_cast<int>(host.liveAllocations.size())};
}

// Prints one line of before -> after figures; true when nothing grew.
bool reportCounts(const char* what, const Counts& before, const Counts& after, int menusLeft) {
    char user[48];
    snprintf(user, sizeof user, before.user == 0 && after.user == 0 ? "USER n/a under Wine" : "USER %d -> %d",
             before.user, after.user);
    bool steady = after.windows <= before.windows && after.user <= before.user && after.gdi <= before.gdi &&
                  after.handles <= before.handles && after.heapBlocks <= before.heapBlocks && menusLeft == 0;
    printf("leaks: %s: windows %d -> %d, system menus left %d, %s, GDI %d -> %d, handles %d -> %d, module heap "
           "blocks %d -> %d: %s\n",
           what, before.windows, after.windows, menusLeft, user, before.gdi, after.gdi, before.handles,
           after.handles, before.heapBlocks, after.heapBlocks, steady ? "no growth" : "GREW");
    return steady;
}

}  // namespace

int saveCrash(const std::string& stepName, const std::string& folder) {
    const SaveStep* step = nullptr;
    for (const SaveStep& s : SaveSteps) {
        step = stepName == s.name ? &s : step;
    }
    writeFileBytes(folder + "\\gen_nightcap.dat", oldRecord());
    Session session;
    if (step == nullptr || !session.start(folder)) {
        printf("crash: the save could not be set up\n");
        return 1;
    }
    bool saving = false;
    session.host.trace.onEvent = [&](const TraceEvent& event) {
        if (event.kind != TraceEvent::File) {
            return;
        }
        // The save begins with its temporary file.
        saving = saving || (event.text == "CreateFileA" && event.caption.find(".tmp") != std::string::npos);
        if (saving && event.text == step->event) {
            printf("killed %s\n", step->name);
            fflush(stdout);
            TerminateProcess(GetCurrentProcess(), 0);
        }
    };
    session.inDialog({[](DialogDriver& d) { d.paste(IDC_SONGS, "9"); }, [](DialogDriver& d) { d.escape(); }});
    printf("crash: the save ended without reaching %s\n", step->name);
    return 1;
}

int saveCheck(const std::string& folder) {
    std::vector<unsigned char> file = readFileBytes(folder + "\\gen_nightcap.dat");
    const char* state = file == oldRecord() ? "the whole old record" : file == newRecord() ? "the whole new record"
                                                                                          : nullptr;
    if (state == nullptr) {
        printf("save: DAMAGED, %u bytes\n", static_cast<unsigned>(file.size()));
        return 0;
    }
    bool temporary = GetFileAttributesA((folder + "\\gen_nightcap.tmp").c_str()) != INVALID_FILE_ATTRIBUTES;
    printf("save: %s%s\n", state, temporary ? " (its temporary file left beside it)" : "");
    return 0;
}

bool probeSaveConsistency(ProbeRunner run) {
    int whole = 0;
    for (const SaveStep& step : SaveSteps) {
        std::string folder = newFolder("save");
        std::vector<std::string> killed = run({std::string("save-crash ") + step.name + " \"" + folder + "\""},
                                              SaveRunLimitMs);
        std::vector<std::string> checked = run({"save-check \"" + folder + "\""}, SaveRunLimitMs);
        removeFolder(folder);
        bool reached = killed[0].find("killed") != std::string::npos;
        bool intact = checked[0].find("save: the whole") != std::string::npos;
        whole += reached && intact ? 1 : 0;
        std::string said = checked[0].substr(0, checked[0].find('\n'));
        printf("save killed %-14s %s\n", step.name, reached ? said.c_str() : killed[0].c_str());
    }
    int steps = static_cast<int>(sizeof SaveSteps / sizeof SaveSteps[0]);
    printf("save consistency: %d of %d kills left a whole old or new record\n", whole, steps);
    fflush(stdout);
    return whole == steps;
}

int leakCycles() {
    std::string folder = newFolder("leaks");
    writeFileBytes(folder + "\\gen_nightcap.dat", oldRecord());
    bool steady = false;
    {
        Session session;
        if (!session.start(folder)) {
            printf("crash: the module did not come up\n");
            return 1;
        }
        PluginHost& host = session.host;
        host.trace.enabled = false;
        session.player.play();
        std::vector<HMENU> menus;
        DialogDriver::Step close = [&](DialogDriver& d) {
            menus.push_back(GetSystemMenu(d.dialog(), FALSE));
            d.escape();
        };
        DialogDriver::Step press = [](DialogDriver& d) { d.click(IDC_START_STOP); };
        // Once first: the system sets up its own dialog and font state.
        session.inDialog({close});
        session.inDialog({press});
        session.inDialog({press, press});

        auto menusLeft = [&menus]() {
            int alive = 0;
            for (HMENU menu : menus) {
                alive += IsMenu(menu) ? 1 : 0;
            }
            menus.clear();
            return alive;
        };
        menusLeft();
        Counts before = countsNow(host);
        for (int i = 0; i < LeakCycles; ++i) {
            session.inDialog({close});
        }
        Counts afterDialogs = countsNow(host);
        bool dialogsSteady = reportCounts("1000 dialog open/close cycles", before, afterDialogs, menusLeft());
        // Running: each dialog opens showing "stop"; stop, then start again.
        for (int i = 0; i < LeakCycles; ++i) {
            session.inDialog({[&](DialogDriver& d) {
                                  menus.push_back(GetSystemMenu(d.dialog(), FALSE));
                                  d.click(IDC_START_STOP);
                              },
                              press});
        }
        Counts afterCountdowns = countsNow(host);
        bool countdownsSteady =
            reportCounts("1000 countdown stop/start cycles", afterDialogs, afterCountdowns, menusLeft());
        steady = dialogsSteady && countdownsSteady && host.liveTimers() == 1;
    }
    removeFolder(folder);
    fflush(stdout);
    return steady ? 0 : 1;
}

bool probeLeaks(ProbeRunner run) {
    std::string output = run({"leaks"}, LeakRunLimitMs)[0];
    printf("%s", output.c_str());
    fflush(stdout);
    return output.find("GREW") == std::string::npos && output.find("crash:") == std::string::npos &&
           output.find("stuck:") == std::string::npos;
}
