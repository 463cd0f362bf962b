// The module's frame: the one export, the three entry points, and the
// lifetime of the objects they share.

#include <windows.h>

#include <stdlib.h>

#include <new>

#include "dialog/ConfigDialog.h"
#include "engine/CountdownEngine.h"
#include "plugin/PluginDescriptor.h"
#include "plugin/RunState.h"
#include "settings/Settings.h"

namespace {

int pluginInit();
void pluginConfig();
void pluginQuit();

RunState* pluginRunState = NULL;
Settings* pluginSettings = NULL;
CountdownEngine* pluginEngine = NULL;

void deleteObjects() {
    delete pluginEngine;
    pluginEngine = NULL;
    delete pluginRunState;
    pluginRunState = NULL;
    delete pluginSettings;
    pluginSettings = NULL;
}

int pluginInit() {
    try {
        pluginRunState = new RunState();
        pluginSettings = new Settings();
        pluginEngine = new CountdownEngine(*pluginRunState, *pluginSettings);
    } catch (...) {
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

#if defined(__GLIBCXX__)
// libstdc++'s default terminate handler demangles names for a message nobody
// would see inside the player, and drags about 60 KB into the module.
namespace __gnu_cxx {
void __verbose_terminate_handler() {
    abort();
}
}  // namespace __gnu_cxx
#endif

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}
