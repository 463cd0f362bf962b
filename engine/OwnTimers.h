#pragma once
// The thread timers this module armed and has not seen die, kept beside the
// engine rather than in it: a late tick can come after pluginQuit has freed
// the engine, while the module is still mapped. Killing a timer does not
// take back a tick the system has queued already, and a kill can fail,
// leaving the timer running; such a tick must not act, and killing its
// timer once more makes it stop coming. A tick that names a timer the module
// never armed (a forged or stray WM_TIMER) is someone else's, the player's
// perhaps, and is left alone.
// (Windows does not refuse to kill a live timer of the thread; the fault
// probe does. A tick queued before the kill is real on every system.)

#include <windows.h>

// A timer of the module's, with callback proc every periodMs; 0 if refused.
UINT_PTR armOwnTimer(UINT periodMs, TIMERPROC proc);
bool isOwnTimer(UINT_PTR timer);
// Kills a timer of the module's; true when it is gone.
bool killOwnTimer(UINT_PTR timer);
