#include "settings/Settings.h"

#include <shlobj.h>
#include <string.h>

#include "plugin/PluginDescriptor.h"

const char SettingsFileName[] = "gen_nightcap.dat";

namespace {

// Same length as the settings file's name, so it fits wherever that fits.
const char TemporaryFileName[] = "gen_nightcap.tmp";
// The plug-in's own folder in the user's application-data folder.
const char PerUserFolderName[] = "Nightcap";

void putInt(unsigned char* at, int value) {
    unsigned int bits = static_cast<unsigned int>(value);
    at[0] = static_cast<unsigned char>(bits);
    at[1] = static_cast<unsigned char>(bits >> 8);
    at[2] = static_cast<unsigned char>(bits >> 16);
    at[3] = static_cast<unsigned char>(bits >> 24);
}

int getInt(const unsigned char* at) {
    unsigned int bits = static_cast<unsigned int>(at[0]) | (static_cast<unsigned int>(at[1]) << 8) |
                        (static_cast<unsigned int>(at[2]) << 16) | (static_cast<unsigned int>(at[3]) << 24);
    int value;
    memcpy(&value, &bits, sizeof value);
    return value;
}

// Replaces the last path component of a full file path with name.
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

// The Nightcap folder in the user's roaming application-data folder, and
// the settings file in it; both buffers ModulePathChars long.
bool perUserPaths(char* folder, char* path) {
    char appData[MAX_PATH];
    if (SHGetFolderPathA(NULL, CSIDL_APPDATA, NULL, SHGFP_TYPE_CURRENT, appData) != S_OK) {
        return false;
    }
    appData[MAX_PATH - 1] = '\0';
    return childPath(appData, PerUserFolderName, folder, ModulePathChars) &&
           childPath(folder, SettingsFileName, path, ModulePathChars);
}

bool writeAll(HANDLE file, const unsigned char* data, DWORD size) {
    DWORD written = 0;
    return WriteFile(file, data, size, &written, NULL) && written == size;
}

// Another program has the file open without sharing it, or has locked it.
bool inUse(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

// Whether another program holds the file so that it cannot be replaced now:
// a rename over it needs what an open for deletion needs. Asked only once a
// replace failed, which says no more than "access denied".
bool heldByAnother(const char* path) {
    HANDLE file = CreateFileA(path, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        return inUse(GetLastError());
    }
    CloseHandle(file);
    return false;
}

enum WriteResult { Written, KeptReadOnly, Held, NotWritten };

WriteResult writeRecord(const char* path, const unsigned char* record) {
    char temporary[ModulePathChars];
    if (!siblingPath(path, TemporaryFileName, temporary, sizeof temporary)) {
        return NotWritten;
    }
    // A read-only file is the user's word that it must not change.
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        return KeptReadOnly;
    }
    // Write a sibling first and move it over the file, so that a failure on
    // the way never leaves a damaged or empty settings file behind.
    HANDLE file = CreateFileA(temporary, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        return NotWritten;
    }
    bool written = writeAll(file, record, SettingsFileSize) && FlushFileBuffers(file);
    bool closed = CloseHandle(file) != FALSE;
    if (!written || !closed ||
        !MoveFileExA(temporary, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        bool held = written && closed && heldByAnother(path);
        DeleteFileA(temporary);
        return held ? Held : NotWritten;
    }
    return Written;
}

// NoRecord: shorter than a record. Unreadable: there, but the system
// refused it for a reason other than another program's hold.
enum ReadResult { WholeRecord, NoFile, NoRecord, InUse, Unreadable };

ReadResult readRecord(const char* path, unsigned char* record) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        if (inUse(error)) {
            return InUse;
        }
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? NoFile : Unreadable;
    }
    DWORD total = 0;
    ReadResult failed = NoRecord;
    while (total < static_cast<DWORD>(SettingsFileSize)) {
        DWORD got = 0;
        if (!ReadFile(file, record + total, SettingsFileSize - total, &got, NULL)) {
            failed = inUse(GetLastError()) ? InUse : Unreadable;
            break;
        }
        if (got == 0) {
            break;
        }
        total += got;
    }
    CloseHandle(file);
    return total == static_cast<DWORD>(SettingsFileSize) ? WholeRecord : failed;
}

// True when no per-user settings file is left.
bool removePerUserFile() {
    char folder[ModulePathChars];
    char path[ModulePathChars];
    if (!perUserPaths(folder, path)) {
        return false;
    }
    if (DeleteFileA(path)) {
        return true;
    }
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

}  // namespace

Settings::Settings()
    : songs(3),
      minutes(10),
      countMode(CountMode::Songs),
      stopMethod(StopMethod::WaitForSongEnd),
      finalAction(FinalAction::HaltComputer),
      perUserFileMayExist(true),
      unreadRecord(false) {
    memset(unchosenRecord, 0, sizeof unchosenRecord);
}

void Settings::toRecord(unsigned char* record) const {
    putInt(record + 0, countMode);
    putInt(record + 4, stopMethod);
    putInt(record + 8, finalAction);
    putInt(record + 12, songs);
    putInt(record + 16, minutes);
}

void Settings::fromRecord(const unsigned char* record) {
    countMode = getInt(record + 0);
    stopMethod = getInt(record + 4);
    finalAction = getInt(record + 8);
    songs = getInt(record + 12);
    minutes = getInt(record + 16);
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

bool Settings::filePath(HINSTANCE moduleInstance, char* path, size_t pathChars) {
    if (pathChars == 0) {
        return false;
    }
    path[0] = '\0';
    char moduleName[ModulePathChars];
    DWORD length = GetModuleFileNameA(moduleInstance, moduleName, ModulePathChars);
    // A full buffer means the name was cut (and on old systems not terminated).
    if (length == 0) {
        return false;
    }
    if (length >= static_cast<DWORD>(ModulePathChars)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return false;
    }
    moduleName[length] = '\0';
    // The same limit holds for the settings file's path as for the module's.
    const size_t limit = static_cast<size_t>(ModulePathChars);
    if (!siblingPath(moduleName, SettingsFileName, path, pathChars < limit ? pathChars : limit)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return false;
    }
    return true;
}

bool Settings::save() {
    unsigned char record[SettingsFileSize];
    toRecord(record);
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
    if (!perUserPaths(folder, perUser)) {
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
    unsigned char record[SettingsFileSize];
    ReadResult read = NoFile;
    // While the module's folder refuses saves, the latest is the per-user one.
    if (perUserFileMayExist) {
        char folder[ModulePathChars];
        char perUser[ModulePathChars];
        if (perUserPaths(folder, perUser)) {
            read = readRecord(perUser, record);
            perUserFileMayExist = read != NoFile;
        }
    }
    // A per-user file that is held is still the latest: the older one beside
    // the module does not stand in for it.
    if (read != WholeRecord && read != InUse) {
        char path[ModulePathChars];
        if (filePath(pluginDescriptor.moduleInstance, path, sizeof path)) {
            read = readRecord(path, record);
        } else {
            // A module name the system would not give is a file not looked
            // at, not a missing one: like a held file, it is tried again
            // later. A path too long for the file stays one without it.
            read = GetLastError() == ERROR_INSUFFICIENT_BUFFER ? NoRecord : InUse;
        }
    }
    if (read == InUse) {
        if (!unreadRecord) {
            unreadRecord = true;
            toRecord(unchosenRecord);
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
    fromRecord(record);
    return true;
}

bool Settings::readUnreadRecord() {
    if (!unreadRecord) {
        return true;
    }
    unsigned char chosen[SettingsFileSize];
    toRecord(chosen);
    if (!load()) {
        return !unreadRecord;
    }
    unsigned char merged[SettingsFileSize];
    toRecord(merged);
    for (int at = 0; at < SettingsFileSize; at += 4) {
        if (memcmp(chosen + at, unchosenRecord + at, 4) != 0) {
            memcpy(merged + at, chosen + at, 4);
        }
    }
    fromRecord(merged);
    return true;
}

bool Settings::saveChanges() {
    if (!unreadRecord) {
        return save();
    }
    unsigned char chosen[SettingsFileSize];
    toRecord(chosen);
    bool changed = memcmp(chosen, unchosenRecord, sizeof chosen) != 0;
    if (readUnreadRecord()) {
        return changed && save();
    }
    // Still held: nothing goes over it, nor elsewhere. A module name the
    // system will not give leaves only the per-user file for the changes.
    char path[ModulePathChars];
    return changed && !filePath(pluginDescriptor.moduleInstance, path, sizeof path) && save();
}
