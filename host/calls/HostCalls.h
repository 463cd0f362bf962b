#pragma once
// Shared by the files of the host's replaced imports, one file for each
// system area the module calls into (timers and messages, boxes, the token
// and power, files and folders, the heap, the shell), and the imports that
// only pass through. All of them make one interception layer: the tables
// they each export are bound together as the module loads.

#include <windows.h>

#include <string>
#include <vector>

#include "host/ImportPatch.h"
#include "host/PluginHost.h"

inline PluginHost& host() {
    return *PluginHost::active;
}

// Counts a call of the named import and says whether it is to fail; the
// import's slot is looked up once.
#define NIGHTCAP_FAILS(function)                           \
    ([]() {                                                \
        static const int slot = importSlot(#function);     \
        return host().failsNow(slot);                      \
    }())

template <typename Result>
Result failWith(DWORD error, Result result) {
    SetLastError(error);
    return result;
}

// Into the host's one trace: an effect with its message fields...
void record(TraceEvent::Kind kind, UINT message = 0, WPARAM wParam = 0, LPARAM lParam = 0, HWND window = NULL);
// ...or a resource call: the function, the name it was given, the bytes.
void recordCall(TraceEvent::Kind kind, const char* function, const char* name = nullptr, size_t bytes = 0,
                bool succeeded = false);

// A file or folder call, recorded once done, so that whoever follows the
// trace sees the call's effect on the disk (the save's crash-consistency
// probe stops there); the call's own error code survives the recording.
template <typename Result>
Result fileCall(const char* function, const char* name, Result result, bool succeeded, size_t bytes = 0) {
    DWORD error = GetLastError();
    recordCall(TraceEvent::File, function, name, bytes, succeeded);
    SetLastError(error);
    return result;
}

bool pathExists(const std::string& path);

// A system command that turns the display on, low or off (SC_MONITORPOWER),
// by whichever call it comes: it never reaches the system, only the trace.
bool isDisplayPower(UINT message, WPARAM wParam);
void recordDisplayPower(const char* function, HWND window, LPARAM state);

#define NIGHTCAP_REPLACE(function, replacement) \
    { function, reinterpret_cast<void*>(replacement) }

struct CallTable {
    const Replacement* calls;
    size_t count;
};

#define NIGHTCAP_CALL_TABLE(name, calls) const CallTable name = {calls, sizeof calls / sizeof calls[0]}

// Each area's replacements.
extern const CallTable TimerAndMessageCalls;
extern const CallTable BoxCalls;
extern const CallTable PowerCalls;
extern const CallTable FileCalls;
extern const CallTable HeapCalls;
extern const CallTable ShellCalls;
extern const CallTable PassedCalls;

// Every replacement of every area: what the module's imports bind to.
std::vector<Replacement> hostReplacements();
