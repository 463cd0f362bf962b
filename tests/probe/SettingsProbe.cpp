// Built into the tests' build of the module only, never into the shipped one:
// lets a test read and set the live Settings, including choices outside the
// lists, which the dialog never stores and so no entry point can give the
// engine. Values in the order songs, minutes, count mode, stop method, final
// action, fade length. Both return 0 when no Settings exists (before init, after quit).

#include "plugin/ModuleObjects.h"
#include "settings/Settings.h"

extern "C" __declspec(dllexport) int nightcapReadSettings(int* values) {
    if (pluginSettings == NULL) {
        return 0;
    }
    values[0] = pluginSettings->getSongs();
    values[1] = pluginSettings->getMinutes();
    values[2] = pluginSettings->getCountMode();
    values[3] = pluginSettings->getStopMethod();
    values[4] = pluginSettings->getFinalAction();
    values[5] = pluginSettings->getFadeSeconds();
    return 1;
}

extern "C" __declspec(dllexport) int nightcapWriteSettings(const int* values) {
    if (pluginSettings == NULL) {
        return 0;
    }
    pluginSettings->setSongs(values[0]);
    pluginSettings->setMinutes(values[1]);
    pluginSettings->setCountMode(values[2]);
    pluginSettings->setStopMethod(values[3]);
    pluginSettings->setFinalAction(values[4]);
    pluginSettings->setFadeSeconds(values[5]);
    return 1;
}
