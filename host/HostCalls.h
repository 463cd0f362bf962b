#pragma once
// Shared by the two files of the host's replaced imports.

#include <windows.h>

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

#define NIGHTCAP_REPLACE(function, replacement) \
    { function, reinterpret_cast<void*>(replacement) }

extern const Replacement SteeredCalls[];
extern const size_t SteeredCallCount;
extern const Replacement PassedCalls[];
extern const size_t PassedCallCount;
