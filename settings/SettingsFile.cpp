#include "settings/SettingsFile.h"

#include <windows.h>

#include "settings/SettingsLocation.h"

namespace {

// Same length as the settings file's name, so it fits wherever that fits.
const char TemporaryFileName[] = "gen_nightcap.tmp";

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

}  // namespace

WriteResult writeRecord(const char* path, const unsigned char* record) {
    char temporary[ModulePathChars];
    if (!siblingPath(path, TemporaryFileName, temporary, sizeof temporary)) {
        return NotWritten;
    }
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        return KeptReadOnly;
    }
    HANDLE file = CreateFileA(temporary, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        return NotWritten;
    }
    bool written = writeAll(file, record, SettingsRecordSize) && FlushFileBuffers(file);
    bool closed = CloseHandle(file) != FALSE;
    if (!written || !closed ||
        !MoveFileExA(temporary, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        bool held = written && closed && heldByAnother(path);
        DeleteFileA(temporary);
        return held ? Held : NotWritten;
    }
    return Written;
}

ReadResult readRecord(const char* path, unsigned char* record, int& size) {
    size = 0;
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
    while (total < static_cast<DWORD>(SettingsRecordSize)) {
        DWORD got = 0;
        if (!ReadFile(file, record + total, SettingsRecordSize - total, &got, NULL)) {
            failed = inUse(GetLastError()) ? InUse : Unreadable;
            break;
        }
        if (got == 0) {
            break;
        }
        total += got;
    }
    CloseHandle(file);
    // A failure after a whole record of the older size is still a failure:
    // the sixth value could be the listener's, half read.
    if (total < static_cast<DWORD>(SettingsFileSize) || (failed != NoRecord && total < static_cast<DWORD>(SettingsRecordSize))) {
        return failed;
    }
    size = static_cast<int>(total);
    return WholeRecord;
}

bool removeRecord(const char* path) {
    if (DeleteFileA(path)) {
        return true;
    }
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}
