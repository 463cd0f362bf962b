#pragma once
// Where the settings file lives: beside the module, or, while the module's
// folder refuses it (Program Files, to a user who is no administrator), in
// the user's own application-data folder.

#include <windows.h>
#include <stddef.h>

const int ModulePathChars = 260;             // terminator included
extern const char SettingsFileName[];        // "gen_nightcap.dat"

enum ModulePathResult {
    ModulePathFound,
    // The system would not give the module's name: a file not looked at, not
    // a missing one, so it is tried again later.
    ModuleNameRefused,
    // The module's name was cut, or the file's name does not fit after it: a
    // cut-off path could name another folder, so there is no such file.
    ModulePathTooLong,
};

// The settings file beside the module, into path (at most ModulePathChars
// are used); an empty path unless found.
ModulePathResult settingsPathBesideModule(HINSTANCE moduleInstance, char* path, size_t pathChars);

// The Nightcap folder in the user's roaming application-data folder, and the
// settings file in it; both buffers ModulePathChars long.
bool perUserSettingsPaths(char* folder, char* path);

// Replaces the last component of a full file path with name.
bool siblingPath(const char* path, const char* name, char* out, size_t outChars);
