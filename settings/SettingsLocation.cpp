#include "settings/SettingsLocation.h"

#include <shlobj.h>
#include <string.h>

const char SettingsFileName[] = "gen_nightcap.dat";

namespace {

// The plug-in's own folder in the user's application-data folder.
const char PerUserFolderName[] = "Nightcap";

// folder, a backslash and name; folder has no trailing backslash.
bool childPath(const char* folder, const char* name, char* out, size_t outChars) {
    size_t folderChars = strlen(folder);
    size_t nameChars = strlen(name);
    if (folderChars + 1 + nameChars + 1 > outChars) {
        return false;
    }
    memcpy(out, folder, folderChars + 1);
    out[folderChars] = '\\';
    memcpy(out + folderChars + 1, name, nameChars + 1);
    return true;
}

}  // namespace

bool siblingPath(const char* path, const char* name, char* out, size_t outChars) {
    const char* cut = strrchr(path, '\\');
    size_t directoryChars = cut ? static_cast<size_t>(cut - path) + 1 : 0;
    size_t nameChars = strlen(name);
    if (directoryChars + nameChars + 1 > outChars) {
        return false;
    }
    memcpy(out, path, directoryChars);
    memcpy(out + directoryChars, name, nameChars + 1);
    return true;
}

ModulePathResult settingsPathBesideModule(HINSTANCE moduleInstance, char* path, size_t pathChars) {
    if (pathChars == 0) {
        return ModulePathTooLong;
    }
    path[0] = '\0';
    char moduleName[ModulePathChars];
    DWORD length = GetModuleFileNameA(moduleInstance, moduleName, ModulePathChars);
    if (length == 0) {
        return ModuleNameRefused;
    }
    // A full buffer means the name was cut (and on old systems not terminated).
    if (length >= static_cast<DWORD>(ModulePathChars)) {
        return ModulePathTooLong;
    }
    moduleName[length] = '\0';
    // The same limit holds for the settings file's path as for the module's.
    const size_t limit = static_cast<size_t>(ModulePathChars);
    if (!siblingPath(moduleName, SettingsFileName, path, pathChars < limit ? pathChars : limit)) {
        path[0] = '\0';
        return ModulePathTooLong;
    }
    return ModulePathFound;
}

bool perUserSettingsPaths(char* folder, char* path) {
    char appData[MAX_PATH];
    if (SHGetFolderPathA(NULL, CSIDL_APPDATA, NULL, SHGFP_TYPE_CURRENT, appData) != S_OK) {
        return false;
    }
    appData[MAX_PATH - 1] = '\0';
    return childPath(appData, PerUserFolderName, folder, ModulePathChars) &&
           childPath(folder, SettingsFileName, path, ModulePathChars);
}
