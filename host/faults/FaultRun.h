#pragma once
// One run of the reliability probe: the shipped module in the host, one of
// its imports made to fail (its first call, or every call, from the moment
// the module loads), played through one scenario as a listener would, on
// simulated timers. What came of it is written as lines:
//
//   fact: ...     what the listener would notice (compared with the run
//                 without a fault: a difference is a promise not met)
//   broken: ...   the plug-in broke a promise of its own (an ended countdown
//                 acted, a timer ran after quit, the settings file damaged)
//   stuck: ...    a dialog that does not answer, or that never opens again
//   crash: ...    an exception or abort in the process

#include <windows.h>

#include <string>

#include "host/Files.h"
#include <vector>

// The scenarios, by name: songs, wait-quit, fade-halt, stop-dialog, restart,
// quit-mid, idle-close, quit-dialog, sleep, standby.
extern const char* const ScenarioNames[];
extern const size_t ScenarioCount;

// Runs one scenario with the given import failing ("" for none) and prints
// its lines on standard output. The module is looked for beside the program.
void runScenario(const std::string& scenario, const std::string& function, bool everyCall);
