#include "plugin/PluginLoop.h"

#include "plugin/PluginDescriptor.h"

namespace {

// The loops on the stack now, and of them the ticks, which hold no
// reference of the module.
int loopsRunning = 0;
int ticksRunning = 0;
// pluginQuit came while one ran; the objects are freed by the last one out.
bool quitWhileLooping = false;
void (*freeDeferred)() = NULL;

bool referenceModule(HMODULE& module) {
    module = NULL;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&pluginDescriptor),
                            &module)) {
        module = NULL;
        return false;
    }
    return true;
}

void leaveLoop() {
    --loopsRunning;
    if (quitWhileLooping && loopsRunning == 0) {
        if (freeDeferred != NULL) {
            freeDeferred();
        }
        quitWhileLooping = false;
    }
}

}  // namespace

PluginLoop::PluginLoop() : module(NULL) {
    if (referenceModule(module)) {
        ++loopsRunning;
    }
}

PluginLoop::~PluginLoop() {
    if (module == NULL) {
        return;
    }
    bool quit = quitWhileLooping;
    leaveLoop();
    // The player may have let go of the module already, and a module cannot
    // safely release itself from its own code: after a quit, the last loop's
    // reference stays for the rest of the process, as does this one when
    // only ticks, which hold none, are on the stack around it. Otherwise an
    // outer loop's reference keeps the code mapped.
    if (quit && loopsRunning == ticksRunning) {
        return;
    }
    FreeLibrary(module);
}

bool PluginLoop::quitCame() {
    return quitWhileLooping;
}

bool PluginLoop::deferQuit(void (*freeObjects)()) {
    if (loopsRunning == 0) {
        return false;
    }
    // Only ticks on the stack: none holds a reference, and the player may let
    // go of the module as soon as this returns.
    if (loopsRunning == ticksRunning && !quitWhileLooping) {
        HMODULE kept = NULL;
        referenceModule(kept);
    }
    quitWhileLooping = true;
    freeDeferred = freeObjects;
    return true;
}

PluginTick::PluginTick() {
    ++loopsRunning;
    ++ticksRunning;
}

PluginTick::~PluginTick() {
    --ticksRunning;
    leaveLoop();
}
