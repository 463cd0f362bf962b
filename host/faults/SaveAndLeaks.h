#pragma once
// The reliability probe's two other checks: a process killed at each step of
// a save leaves the settings file whole, old or new; and a thousand dialogs
// and a thousand countdowns leave no windows, menus, GDI objects, handles or
// heap blocks behind.

#include <string>
#include <vector>

// Runs command lines of the probe, each in a process of its own with a time
// limit, and returns their outputs.
typedef std::vector<std::string> (*ProbeRunner)(const std::vector<std::string>& commands, unsigned long limitMs);

// The driver's side: print the figures, true when all is well.
bool probeSaveConsistency(ProbeRunner run);
bool probeLeaks(ProbeRunner run);

// The runs' side.
int saveCrash(const std::string& step, const std::string& folder);
int saveCheck(const std::string& folder);
int leakCycles();
