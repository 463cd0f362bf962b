// The module's frame: the one export, the three entry points, and the
// lifetime of the objects they share.

#include <windows.h>

#include <stdlib.h>

#include <new>

#include "dialog/ConfigDialog.h"
#include "engine/CountdownEngine.h"
#include "plugin/ModuleObjects.h"
#include "plugin/PluginDescriptor.h"
#include "plugin/RunState.h"
#include "plugin/Version.h"
#include "settings/Settings.h"

RunState* pluginRunState = NULL;
Settings* pluginSettings = NULL;
CountdownEngine* pluginEngine = NULL;

namespace {

// The controller of the dialog that pluginConfig is showing, while it is.
ConfigDialog* shownDialog = NULL;
// pluginQuit came while the dialog was shown: the objects are freed once its
// loop has returned, since the controller on pluginConfig's stack uses them.
bool quitWhileShown = false;

int pluginInit();
void pluginConfig();
void pluginQuit();

void deleteObjects() {
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
    return pluginEngine != NULL;
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
    if (shownDialog != NULL || pluginRunState == NULL || pluginSettings == NULL || pluginEngine == NULL) {
        return;
    }
    // The player quits its plug-ins from its window procedure, which runs
    // inside the dialog's loop, and may unload the module right after: this
    // reference keeps the code that the loop returns into mapped.
    HMODULE self = NULL;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&pluginDescriptor),
                            &self)) {
        return;
    }
    {
        ConfigDialog dialog(*pluginRunState, *pluginSettings, *pluginEngine);
        shownDialog = &dialog;
        dialog.show();
        shownDialog = NULL;
    }
    if (quitWhileShown) {
        deleteObjects();
        // The player may have let go of the module already, and a module
        // cannot safely release itself from its own code: it stays loaded
        // for the rest of the process.
        return;
    }
    FreeLibrary(self);
}

void pluginQuit() {
    if (pluginEngine != NULL) {
        pluginEngine->disarm();
    }
    if (shownDialog != NULL) {
        quitWhileShown = true;
        shownDialog->abandon();
        return;
    }
    deleteObjects();
}

}  // namespace

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
