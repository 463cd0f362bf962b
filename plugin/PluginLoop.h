#pragma once
// The plug-in's own modal loops (its dialog, its icon's menu) run on the
// player's thread, and the player runs its window procedure inside them: it
// may quit the plug-in there, and let go of the module right after. Each
// such loop runs inside a PluginLoop, which keeps the module mapped while the
// loop's code is on the stack. A quit that comes meanwhile only ends the
// loops; the last one out frees the objects, and keeps its reference for the
// rest of the process, as the player may have let go of the module already.

#include <windows.h>

class PluginLoop {
public:
    PluginLoop();
    ~PluginLoop();
    PluginLoop(const PluginLoop&) = delete;
    PluginLoop& operator=(const PluginLoop&) = delete;

    // False when the system gave no reference: the loop must not run.
    bool held() const { return module != NULL; }
    // pluginQuit came while a loop ran: nothing of the objects may be
    // touched from now on.
    static bool quitCame();

private:
    HMODULE module;
};

// A tick of the countdown on the stack. Its messages may run the player's
// loop as well, where the player may quit the plug-in: like a loop, it leaves
// the freeing of the objects to its end. It takes no reference of its own on
// each tick; a quit that comes while only ticks are on the stack takes the
// one that keeps the module mapped, for the rest of the process.
class PluginTick {
public:
    PluginTick();
    ~PluginTick();
    PluginTick(const PluginTick&) = delete;
    PluginTick& operator=(const PluginTick&) = delete;
};

// What a click on the notification-area icon does: the dialog, as the
// player's Configure opens it, or, when it is open already, brought to the
// front.
void openConfigDialog();
