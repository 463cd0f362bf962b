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
    if (pluginRunState == NULL || pluginSettings == NULL || pluginEngine == NULL) {
        return;
    }
    ConfigDialog dialog(*pluginRunState, *pluginSettings, *pluginEngine);
    dialog.show();
}

void pluginQuit() {
    if (pluginEngine != NULL) {
        pluginEngine->disarm();
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
