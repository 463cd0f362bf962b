#pragma once
// The rule that keeps the player's thread safe from the plug-in's own code:
// the plug-in's modal loops (its dialog, its icon's menu) and the
// countdown's ticks run on the player's thread, and the player runs its
// window procedure inside any message loop there (a box's, a menu's, a
// message the plug-in sends it). It may quit the plug-in there, and let go of
// the module right after. So:
// - each such loop runs inside a PluginLoop, which keeps the module mapped
//   while the loop's code is on the stack;
// - each tick runs inside a PluginTick, which takes no reference of its own
//   (a tick comes often, and a refused FreeLibrary would leak one each time);
// - a quit that comes while any of them is on the stack only marks the quit
//   (quitCame) and ends the loops: the objects are freed by the last one out,
//   which keeps its reference for the rest of the process, as the player may
//   have let go of the module already. A quit while only ticks run takes that
//   one reference itself.
// Code that runs after something that may have run the player's loop asks
// quitCame before it touches an object again.
//
// This unit depends on nothing of the plug-in's above it: the frame tells it
// how to free the objects.

#include <windows.h>

class PluginLoop {
public:
    PluginLoop();
    ~PluginLoop();
    PluginLoop(const PluginLoop&) = delete;
    PluginLoop& operator=(const PluginLoop&) = delete;

    // False when the system gave no reference: the loop must not run.
    bool held() const { return module != NULL; }
    // pluginQuit came while a loop or a tick ran: nothing of the objects may
    // be touched from now on.
    static bool quitCame();

    // For pluginQuit. True when a loop or a tick is on the stack: the quit is
    // then deferred, and freeObjects runs when the last of them has left.
    // False when nothing runs: the caller frees the objects now.
    static bool deferQuit(void (*freeObjects)());

private:
    HMODULE module;
};

class PluginTick {
public:
    PluginTick();
    ~PluginTick();
    PluginTick(const PluginTick&) = delete;
    PluginTick& operator=(const PluginTick&) = delete;
};
