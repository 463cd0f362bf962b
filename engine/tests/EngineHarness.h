#pragma once
// What the engine's tests and benchmark need beyond the host and the dialog
// driver: reading and steering the module's live Settings, and counting the
// module's heap and file calls that the host does not count itself.

#include <windows.h>

#include "host/PluginHost.h"

// The five values of the module's Settings object, in its field order.
struct SettingsValues {
    int songs;
    int minutes;
    int countMode;
    int stopMethod;
    int finalAction;
};

// The module's one Settings object, found among the module's live heap
// blocks by the values it holds. The dialog stores only listed choices, so a
// choice outside the lists reaches the engine through no entry point; tests
// of the engine's answer to such values write them here.
class ModuleSettings {
public:
    // True when exactly one block holds these values after its vtable pointer.
    bool find(const PluginHost& host, const SettingsValues& expected);
    bool found() const { return fields != nullptr; }
    SettingsValues read() const;
    void write(const SettingsValues& values);

private:
    int* fields = nullptr;
};

// Counts the module's heap calls beside malloc (which the host counts) and
// its file calls, by wrapping its imports; the host's own replacements stay
// in the chain. One counter at a time.
class ModuleCalls {
public:
    void install(HMODULE module);
    ~ModuleCalls();

    int heap = 0;  // calloc, realloc, _strdup
    int file = 0;  // opening, reading, writing, attributes, moving, deleting, stdio output
};
