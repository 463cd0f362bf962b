// What the module imports and the host steers: every function replaced
// counts its calls, can be made to fail (PluginHost::failCall), and writes
// what it did into the host's one trace. Timers are simulated or warped,
// pauses recorded, boxes answered unseen, and power-off, sleep, hibernation
// and the display going off never reach the system; the rest goes on to the
// real function. Each refuses, as the system does, what the module's
// behaviour depends on, and says what it checks.
// This file holds what the areas share; each area has its own file.

#include "host/calls/HostCalls.h"

#include <map>

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

void record(TraceEvent::Kind kind, UINT message, WPARAM wParam, LPARAM lParam, HWND window) {
    host().trace.add(TraceEvent::of(kind, message, wParam, lParam, window));
}

void recordCall(TraceEvent::Kind kind, const char* function, const char* name, size_t bytes, bool succeeded) {
    TraceEvent event = TraceEvent::of(kind, 0, bytes, 0, NULL, succeeded ? 1 : 0);
    event.text = function;
    event.caption = name != nullptr ? name : "";
    host().trace.add(event);
}

std::vector<Replacement> hostReplacements() {
    const CallTable* const tables[] = {&TimerAndMessageCalls, &BoxCalls, &PowerCalls, &FileCalls,
                                       &HeapCalls,            &ShellCalls, &PassedCalls};
    std::vector<Replacement> all;
    for (const CallTable* table : tables) {
        all.insert(all.end(), table->calls, table->calls + table->count);
    }
    return all;
}
