#include "settings/Settings.h"

#include "plugin/PluginDescriptor.h"
#include "settings/SettingsFile.h"

namespace {

// True when no per-user settings file is left.
bool removePerUserFile() {
    char folder[ModulePathChars];
    char path[ModulePathChars];
    return perUserSettingsPaths(folder, path) && removeRecord(path);
}

}  // namespace

Settings::Settings() : perUserFileMayExist(true), unreadRecord(false), unchosen(defaultSettings()) {
    setValues(defaultSettings());
}

SettingsValues Settings::values() const {
    SettingsValues current = {countMode, stopMethod, finalAction, songs, minutes, fadeSeconds};
    return current;
}

void Settings::setValues(const SettingsValues& values) {
    countMode = values.countMode;
    stopMethod = values.stopMethod;
    finalAction = values.finalAction;
    songs = values.songs;
    minutes = values.minutes;
    fadeSeconds = values.fadeSeconds;
}

int Settings::setCountMode(int value) {
    int previous = countMode;
    countMode = value;
    return previous;
}

int Settings::setStopMethod(int value) {
    int previous = stopMethod;
    stopMethod = value;
    return previous;
}

int Settings::setFinalAction(int value) {
    int previous = finalAction;
    finalAction = value;
    return previous;
}

int Settings::setFadeSeconds(int value) {
    int previous = fadeSeconds;
    fadeSeconds = value;
    return previous;
}

bool Settings::filePath(HINSTANCE moduleInstance, char* path, size_t pathChars) {
    return settingsPathBesideModule(moduleInstance, path, pathChars) == ModulePathFound;
}

bool Settings::save() {
    unsigned char record[SettingsRecordSize];
    encodeSettings(values(), record);
    // Every value is the listener's now, written or not.
    unreadRecord = false;

    char path[ModulePathChars];
    if (filePath(pluginDescriptor.moduleInstance, path, sizeof path)) {
        WriteResult beside = writeRecord(path, record);
        if (beside == Held) {
            return false;
        }
        if (beside != NotWritten) {
            // The file beside the module holds the user's choices again (or,
            // read-only, the ones they keep): a per-user file would hide it.
            if (perUserFileMayExist) {
                perUserFileMayExist = !removePerUserFile();
            }
            return beside == Written;
        }
    }
    // The module's folder refuses the file (Program Files does, to a user
    // who is no administrator), or its path cannot be had or does not fit.
    char folder[ModulePathChars];
    char perUser[ModulePathChars];
    if (!perUserSettingsPaths(folder, perUser)) {
        return false;
    }
    CreateDirectoryA(folder, NULL);  // there already, or the save fails below
    if (writeRecord(perUser, record) != Written) {
        return false;
    }
    perUserFileMayExist = true;
    return true;
}

bool Settings::load() {
    unsigned char record[SettingsRecordSize];
    int size = 0;
    ReadResult read = NoFile;
    // While the module's folder refuses saves, the latest is the per-user one.
    if (perUserFileMayExist) {
        char folder[ModulePathChars];
        char perUser[ModulePathChars];
        if (perUserSettingsPaths(folder, perUser)) {
            read = readRecord(perUser, record, size);
            perUserFileMayExist = read != NoFile;
        }
    }
    // A per-user file that is held is still the latest: the older one beside
    // the module does not stand in for it.
    if (read != WholeRecord && read != InUse) {
        char path[ModulePathChars];
        switch (settingsPathBesideModule(pluginDescriptor.moduleInstance, path, sizeof path)) {
        case ModulePathFound:
            read = readRecord(path, record, size);
            break;
        case ModuleNameRefused:
            // Like a held file, tried again later.
            read = InUse;
            break;
        case ModulePathTooLong:
            read = NoRecord;
            break;
        }
    }
    if (read == InUse) {
        if (!unreadRecord) {
            unreadRecord = true;
            unchosen = values();
        }
        return false;
    }
    // Missing or short: nothing stored to keep. Refused otherwise: still
    // as unread as it was.
    if (read != Unreadable) {
        unreadRecord = false;
    }
    if (read != WholeRecord) {
        return false;
    }
    setValues(decodeSettings(record, size));
    return true;
}

bool Settings::readUnreadRecord() {
    if (!unreadRecord) {
        return true;
    }
    SettingsValues chosen = values();
    if (!load()) {
        return !unreadRecord;
    }
    setValues(mergeChanges(values(), unchosen, chosen));
    return true;
}

bool Settings::saveChanges() {
    if (!unreadRecord) {
        return save();
    }
    bool changed = !sameSettings(values(), unchosen);
    if (readUnreadRecord()) {
        return changed && save();
    }
    // Still held: nothing goes over it, nor elsewhere. A module name the
    // system will not give leaves only the per-user file for the changes.
    char path[ModulePathChars];
    return changed && !filePath(pluginDescriptor.moduleInstance, path, sizeof path) && save();
}
