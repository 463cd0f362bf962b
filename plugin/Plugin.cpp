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

int pluginInit();
void pluginConfig();
void pluginQuit();

// What the icon asks of the frame: the dialog, or the open one to the front.
class FrameDialogOpener : public DialogOpener {
public:
    void openDialog() override {
        if (activeDialog != NULL) {
            activeDialog->bringToFront();
            return;
        }
        pluginConfig();
    }
};
FrameDialogOpener dialogOpener;

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
    pluginIcon = new (std::nothrow) NotificationIcon(*pluginSettings, *pluginEngine, dialogOpener);
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
    // A second request while the dialog is shown is turned away here; so is
    // one after a quit that is waiting for the plug-in's loops to end.
    if (dialogOpen || activeDialog != NULL || PluginLoop::quitCame() || pluginRunState == NULL ||
        pluginSettings == NULL || pluginEngine == NULL) {
        return;
    }
    PluginLoop loop;
    if (!loop.held()) {
        return;
    }
    ConfigDialog dialog(*pluginRunState, *pluginSettings, *pluginEngine);
    dialog.show();
}

void pluginQuit() {
    if (pluginEngine != NULL) {
        pluginEngine->quit();
    }
    if (activeDialog != NULL) {
        activeDialog->abandon();
    }
    if (PluginLoop::deferQuit(deleteObjects)) {
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
