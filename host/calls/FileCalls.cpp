// Files and folders: the module's own file name, and its file calls, which
// go on to the disk unless a folder refuses them.

#include "host/calls/HostCalls.h"

#include <string.h>

bool pathExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

namespace {

// For the module itself, with fakeModuleName, the name given, cut as the
// system cuts it when the buffer is short: terminated, with
// ERROR_INSUFFICIENT_BUFFER, or, as Windows XP does, not terminated
// (legacyTruncation). Any other handle goes to the real call, which refuses
// one that names no module.
DWORD WINAPI hostGetModuleFileNameA(HMODULE module, LPSTR name, DWORD size) {
    PluginHost& h = host();
    if (NIGHTCAP_FAILS(GetModuleFileNameA)) {
        return failWith<DWORD>(ERROR_NOT_ENOUGH_MEMORY, 0);
    }
    if (!h.fakeModuleName || module != h.module()) {
        return GetModuleFileNameA(module, name, size);
    }
    if (h.moduleNameError != 0) {
        return failWith<DWORD>(h.moduleNameError, 0);
    }
    DWORD length = static_cast<DWORD>(h.moduleName.size());
    if (length < size) {
        memcpy(name, h.moduleName.c_str(), length + 1);
        return length;
    }
    if (size > 0) {
        memcpy(name, h.moduleName.c_str(), size);
        if (!h.legacyTruncation) {
            name[size - 1] = '\0';
        }
    }
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
}

// In a folder that refuses changes (PluginHost::refusingFolders) each call
// answers as Windows does in a folder the user may only read.

// Where a file would go: its folder must be there for it to be made.
bool folderExists(LPCSTR name) {
    std::string path = name;
    size_t cut = path.find_last_of("\\/");
    return cut == std::string::npos || pathExists(path.substr(0, cut == 2 && path[1] == ':' ? 3 : cut));
}

// Making a file, or opening one to change, truncate or delete it, is
// refused; opening one to read goes on, and so does opening a missing one
// without making it, or one in a missing folder (not found, as there).
bool refusedOpen(LPCSTR name, DWORD access, DWORD disposition, DWORD flags) {
    const DWORD changing = GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA |
                           FILE_WRITE_ATTRIBUTES | DELETE | WRITE_DAC | WRITE_OWNER;
    if (name == nullptr || !host().refuses(name)) {
        return false;
    }
    if (!pathExists(name)) {
        return folderExists(name) &&
               (disposition == CREATE_NEW || disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS);
    }
    return (access & changing) != 0 || disposition == CREATE_NEW || disposition == CREATE_ALWAYS ||
           disposition == TRUNCATE_EXISTING || (flags & FILE_FLAG_DELETE_ON_CLOSE) != 0;
}

// Deleting or moving a file out of such a folder, or into it, is refused
// for a file that is there; a missing one is missing, as there.
bool refusedChange(LPCSTR from, LPCSTR to = nullptr) {
    return from != nullptr && pathExists(from) && (host().refuses(from) || (to != nullptr && host().refuses(to)));
}

HANDLE WINAPI hostCreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                              DWORD disposition, DWORD flags, HANDLE templateFile) {
    HANDLE file = NIGHTCAP_FAILS(CreateFileA) || refusedOpen(name, access, disposition, flags)
                      ? failWith(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE)
                      : CreateFileA(name, access, share, security, disposition, flags, templateFile);
    return fileCall("CreateFileA", name, file, file != INVALID_HANDLE_VALUE);
}

BOOL WINAPI hostReadFile(HANDLE file, LPVOID data, DWORD size, LPDWORD read, LPOVERLAPPED overlapped) {
    BOOL ok = NIGHTCAP_FAILS(ReadFile) ? failWith<BOOL>(ERROR_READ_FAULT, FALSE)
                                       : ReadFile(file, data, size, read, overlapped);
    return fileCall("ReadFile", nullptr, ok, ok != FALSE, size);
}

// A full disk takes part of a write: up to writeLimitBytes, then a failure
// if one is asked for, else a success that says how little was written.
BOOL WINAPI hostWriteFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped) {
    bool fails = NIGHTCAP_FAILS(WriteFile);
    int limit = host().writeLimitBytes;
    DWORD allowed = limit >= 0 && static_cast<DWORD>(limit) < size ? static_cast<DWORD>(limit) : size;
    if (fails && limit < 0) {
        allowed = 0;
    }
    DWORD done = 0;
    BOOL ok = allowed > 0 ? WriteFile(file, data, allowed, &done, overlapped) : TRUE;
    if (written != nullptr) {
        *written = done;
    }
    ok = fails ? failWith<BOOL>(ERROR_DISK_FULL, FALSE) : ok;
    return fileCall("WriteFile", nullptr, ok, ok != FALSE, size);
}

BOOL WINAPI hostFlushFileBuffers(HANDLE file) {
    BOOL ok = NIGHTCAP_FAILS(FlushFileBuffers) ? failWith<BOOL>(ERROR_DISK_FULL, FALSE) : FlushFileBuffers(file);
    return fileCall("FlushFileBuffers", nullptr, ok, ok != FALSE);
}

// An error at closing still closes the handle. The real call refuses a
// handle already closed; a closed token is forgotten.
BOOL WINAPI hostCloseHandle(HANDLE handle) {
    BOOL closed = CloseHandle(handle);
    if (closed) {
        host().tokenAccess.erase(handle);
    }
    closed = NIGHTCAP_FAILS(CloseHandle) ? failWith<BOOL>(ERROR_DISK_FULL, FALSE) : closed;
    return fileCall("CloseHandle", nullptr, closed, closed != FALSE);
}

DWORD WINAPI hostGetFileAttributesA(LPCSTR name) {
    DWORD attributes = NIGHTCAP_FAILS(GetFileAttributesA) ? failWith<DWORD>(ERROR_ACCESS_DENIED, INVALID_FILE_ATTRIBUTES)
                                                          : GetFileAttributesA(name);
    return fileCall("GetFileAttributesA", name, attributes, attributes != INVALID_FILE_ATTRIBUTES);
}

BOOL WINAPI hostDeleteFileA(LPCSTR name) {
    BOOL ok = NIGHTCAP_FAILS(DeleteFileA) || refusedChange(name) ? failWith<BOOL>(ERROR_ACCESS_DENIED, FALSE)
                                                                 : DeleteFileA(name);
    return fileCall("DeleteFileA", name, ok, ok != FALSE);
}

BOOL WINAPI hostMoveFileExA(LPCSTR from, LPCSTR to, DWORD flags) {
    BOOL ok = NIGHTCAP_FAILS(MoveFileExA) || refusedChange(from, to) ? failWith<BOOL>(ERROR_ACCESS_DENIED, FALSE)
                                                                     : MoveFileExA(from, to, flags);
    return fileCall("MoveFileExA", to, ok, ok != FALSE);
}

// A folder that is there already is reported so, refusing or not.
BOOL WINAPI hostCreateDirectoryA(LPCSTR name, LPSECURITY_ATTRIBUTES security) {
    bool refused = name != nullptr && host().refuses(name) && !pathExists(name) && folderExists(name);
    BOOL ok = NIGHTCAP_FAILS(CreateDirectoryA) || refused ? failWith<BOOL>(ERROR_ACCESS_DENIED, FALSE)
                                                          : CreateDirectoryA(name, security);
    return fileCall("CreateDirectoryA", name, ok, ok != FALSE);
}

}  // namespace

// No share mode: every open of the module's, to read, write or delete,
// meets a sharing violation, and a rename over the file is refused.
bool PluginHost::holdFile(const std::string& path) {
    releaseFile(path);
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    heldFiles[path] = file;
    return true;
}

void PluginHost::releaseFile(const std::string& path) {
    std::map<std::string, HANDLE>::iterator held = heldFiles.find(path);
    if (held != heldFiles.end()) {
        CloseHandle(held->second);
        heldFiles.erase(held);
    }
}

const Replacement FileReplacements[] = {
    NIGHTCAP_REPLACE("GetModuleFileNameA", hostGetModuleFileNameA),
    NIGHTCAP_REPLACE("CreateFileA", hostCreateFileA),
    NIGHTCAP_REPLACE("ReadFile", hostReadFile),
    NIGHTCAP_REPLACE("WriteFile", hostWriteFile),
    NIGHTCAP_REPLACE("FlushFileBuffers", hostFlushFileBuffers),
    NIGHTCAP_REPLACE("CloseHandle", hostCloseHandle),
    NIGHTCAP_REPLACE("GetFileAttributesA", hostGetFileAttributesA),
    NIGHTCAP_REPLACE("DeleteFileA", hostDeleteFileA),
    NIGHTCAP_REPLACE("MoveFileExA", hostMoveFileExA),
    NIGHTCAP_REPLACE("CreateDirectoryA", hostCreateDirectoryA),
};
NIGHTCAP_CALL_TABLE(FileCalls, FileReplacements);
