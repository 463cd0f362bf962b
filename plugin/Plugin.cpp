// The module's frame: the one export, the three entry points, and the
// lifetime of the objects they share.

#include <windows.h>

#include <stdlib.h>

#include <new>

#include "dialog/ConfigDialog.h"
#include "engine/CountdownEngine.h"
#include "plugin/ModuleObjects.h"
#include "plugin/PluginDescriptor.h"
#include "plugin/PluginLoop.h"
#include "plugin/RunState.h"
#include "plugin/Version.h"
#include "settings/Settings.h"
#include "tray/NotificationIcon.h"

RunState* pluginRunState = NULL;
Settings* pluginSettings = NULL;
CountdownEngine* pluginEngine = NULL;
NotificationIcon* pluginIcon = NULL;

namespace {

// The controller of the dialog that pluginConfig is showing, while it is.
ConfigDialog* shownDialog = NULL;
// The plug-in's modal loops on the stack now (PluginLoop), and of them the
// countdown's ticks (PluginTick), which hold no reference of the module.
int loopsRunning = 0;
int ticksRunning = 0;
// pluginQuit came while one ran: the objects are freed once the last has
// returned, since the code on the stack (the dialog's controller, the icon's
// menu, a tick) uses them.
bool quitWhileLooping = false;

int pluginInit();
void pluginConfig();
void pluginQuit();

void deleteObjects() {
    if (pluginEngine != NULL) {
        pluginEngine->setWatcher(NULL);
    }
    delete pluginIcon;
    pluginIcon = NULL;
    delete pluginEngine;
    pluginEngine = NULL;
    delete pluginRunState;
    pluginRunState = NULL;
    delete pluginSettings;
    pluginSettings = NULL;
}

// Each creation asks for memory without exceptions (the module is built
// without them); a null result is the failure.
bool createObjects() {
    pluginRunState = new (std::nothrow) RunState();
    if (pluginRunState == NULL) {
        return false;
    }
    pluginSettings = new (std::nothrow) Settings();
    if (pluginSettings == NULL) {
        return false;
    }
    pluginEngine = new (std::nothrow) CountdownEngine(*pluginRunState, *pluginSettings);
    if (pluginEngine == NULL) {
        return false;
    }
    // Without it the countdown runs as before, only unseen.
    pluginIcon = new (std::nothrow) NotificationIcon(*pluginSettings, *pluginEngine);
    pluginEngine->setWatcher(pluginIcon);
    return true;
}

int pluginInit() {
    if (!createObjects()) {
        deleteObjects();
        return 1;
    }
    pluginSettings->load();
    return 0;
}

void pluginConfig() {
    // A second request while the dialog is shown is turned away here.
    if (shownDialog != NULL || quitWhileLooping || pluginRunState == NULL || pluginSettings == NULL ||
        pluginEngine == NULL) {
        return;
    }
    PluginLoop loop;
    if (!loop.held()) {
        return;
    }
    ConfigDialog dialog(*pluginRunState, *pluginSettings, *pluginEngine);
    shownDialog = &dialog;
    dialog.show();
    shownDialog = NULL;
}

void pluginQuit() {
    if (pluginEngine != NULL) {
        pluginEngine->disarm();
    }
    if (shownDialog != NULL) {
        shownDialog->abandon();
    }
    if (loopsRunning > 0) {
        // The player may let go of the module as soon as this returns.
        HMODULE module = NULL;
        if (loopsRunning == ticksRunning && !quitWhileLooping) {
            GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&pluginDescriptor),
                               &module);
        }
        quitWhileLooping = true;
        return;
    }
    deleteObjects();
}

// The last one out after a quit frees the objects.
void leaveLoop() {
    --loopsRunning;
    if (quitWhileLooping && loopsRunning == 0) {
        deleteObjects();
        quitWhileLooping = false;
    }
}

}  // namespace

PluginLoop::PluginLoop() : module(NULL) {
    if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&pluginDescriptor),
                           &module)) {
        ++loopsRunning;
    } else {
        module = NULL;
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

PluginTick::PluginTick() {
    ++loopsRunning;
    ++ticksRunning;
}

PluginTick::~PluginTick() {
    --ticksRunning;
    leaveLoop();
}

bool PluginLoop::quitCame() {
    return quitWhileLooping;
}

void openConfigDialog() {
    if (shownDialog != NULL) {
        shownDialog->bringToFront();
        return;
    }
    pluginConfig();
}

PluginDescriptor pluginDescriptor = {
    PluginInterfaceVersion, NIGHTCAP_TITLE, pluginInit, pluginConfig, pluginQuit, NULL, NULL,
};

extern "C" PluginDescriptor* winampGetGeneralPurposePlugin() {
    return &pluginDescriptor;
}

// The library's own nothrow new calls the throwing one and catches, which
// would bring the whole exception runtime (some 40 KB, and thread-local
// storage) into a module that never throws; this one asks the heap directly.
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    return malloc(size != 0 ? size : 1);
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}
