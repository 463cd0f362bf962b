#include "engine/tests/EngineHarness.h"

#include <malloc.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "host/ImportPatch.h"

// --- ModuleSettings ---

namespace {

// A polymorphic object starts with its vtable pointer; the fields follow.
const size_t SettingsFieldsOffset = sizeof(void*);
const size_t SettingsObjectBytes = SettingsFieldsOffset + 5 * sizeof(int);

}  // namespace

bool ModuleSettings::find(const PluginHost& host, const SettingsValues& expected) {
    fields = nullptr;
    int matches = 0;
    for (void* block : host.liveAllocations) {
        if (_msize(block) < SettingsObjectBytes) {
            continue;
        }
        int* candidate = reinterpret_cast<int*>(static_cast<char*>(block) + SettingsFieldsOffset);
        if (memcmp(candidate, &expected, sizeof expected) == 0) {
            fields = candidate;
            ++matches;
        }
    }
    if (matches != 1) {
        fields = nullptr;
    }
    return fields != nullptr;
}

// Unfound, it reads zeros and writes nothing: the test has failed already.
SettingsValues ModuleSettings::read() const {
    SettingsValues values = {0, 0, 0, 0, 0};
    if (fields != nullptr) {
        memcpy(&values, fields, sizeof values);
    }
    return values;
}

void ModuleSettings::write(const SettingsValues& values) {
    if (fields != nullptr) {
        memcpy(fields, &values, sizeof values);
    }
}

// --- ModuleCalls ---

namespace {

ModuleCalls* counting = nullptr;

void countHeap() {
    if (counting != nullptr) {
        ++counting->heap;
    }
}

void countFile() {
    if (counting != nullptr) {
        ++counting->file;
    }
}

typedef void*(__cdecl* CallocFunction)(size_t, size_t);
typedef void*(__cdecl* ReallocFunction)(void*, size_t);
typedef char*(__cdecl* StrdupFunction)(const char*);
typedef HANDLE(WINAPI* CreateFileFunction)(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
typedef BOOL(WINAPI* ReadFileFunction)(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);
typedef BOOL(WINAPI* WriteFileFunction)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
typedef DWORD(WINAPI* AttributesFunction)(LPCSTR);
typedef BOOL(WINAPI* DeleteFileFunction)(LPCSTR);
typedef BOOL(WINAPI* MoveFileFunction)(LPCSTR, LPCSTR, DWORD);
typedef size_t(__cdecl* FwriteFunction)(const void*, size_t, size_t, FILE*);
typedef int(__cdecl* VfprintfFunction)(FILE*, const char*, va_list);

CallocFunction previousCalloc;
ReallocFunction previousRealloc;
StrdupFunction previousStrdup;
CreateFileFunction previousCreateFile;
ReadFileFunction previousReadFile;
WriteFileFunction previousWriteFile;
AttributesFunction previousAttributes;
DeleteFileFunction previousDeleteFile;
MoveFileFunction previousMoveFile;
FwriteFunction previousFwrite;

void* __cdecl countedCalloc(size_t count, size_t size) {
    countHeap();
    return previousCalloc(count, size);
}

void* __cdecl countedRealloc(void* block, size_t size) {
    countHeap();
    return previousRealloc(block, size);
}

char* __cdecl countedStrdup(const char* text) {
    countHeap();
    return previousStrdup(text);
}

HANDLE WINAPI countedCreateFile(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                DWORD disposition, DWORD flags, HANDLE templateFile) {
    countFile();
    return previousCreateFile(name, access, share, security, disposition, flags, templateFile);
}

BOOL WINAPI countedReadFile(HANDLE file, LPVOID data, DWORD size, LPDWORD read, LPOVERLAPPED overlapped) {
    countFile();
    return previousReadFile(file, data, size, read, overlapped);
}

BOOL WINAPI countedWriteFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped) {
    countFile();
    return previousWriteFile(file, data, size, written, overlapped);
}

DWORD WINAPI countedAttributes(LPCSTR name) {
    countFile();
    return previousAttributes(name);
}

BOOL WINAPI countedDeleteFile(LPCSTR name) {
    countFile();
    return previousDeleteFile(name);
}

BOOL WINAPI countedMoveFile(LPCSTR from, LPCSTR to, DWORD flags) {
    countFile();
    return previousMoveFile(from, to, flags);
}

size_t __cdecl countedFwrite(const void* data, size_t size, size_t count, FILE* stream) {
    countFile();
    return previousFwrite(data, size, count, stream);
}

int __cdecl countedVfprintf(FILE* stream, const char* format, va_list arguments) {
    countFile();
    return vfprintf(stream, format, arguments);
}

int __cdecl countedFprintf(FILE* stream, const char* format, ...) {
    countFile();
    va_list arguments;
    va_start(arguments, format);
    int written = vfprintf(stream, format, arguments);
    va_end(arguments);
    return written;
}

int __cdecl countedPrintf(const char* format, ...) {
    countFile();
    va_list arguments;
    va_start(arguments, format);
    int written = vprintf(format, arguments);
    va_end(arguments);
    return written;
}

template <typename Function>
void wrap(HMODULE module, const char* name, Function replacement, Function& previous) {
    void* before = patchImport(module, name, reinterpret_cast<void*>(replacement));
    if (before != NULL) {
        previous = reinterpret_cast<Function>(before);
    }
}

}  // namespace

void ModuleCalls::install(HMODULE module) {
    counting = this;
    wrap(module, "calloc", countedCalloc, previousCalloc);
    wrap(module, "realloc", countedRealloc, previousRealloc);
    wrap(module, "_strdup", countedStrdup, previousStrdup);
    wrap(module, "CreateFileA", countedCreateFile, previousCreateFile);
    wrap(module, "ReadFile", countedReadFile, previousReadFile);
    wrap(module, "WriteFile", countedWriteFile, previousWriteFile);
    wrap(module, "GetFileAttributesA", countedAttributes, previousAttributes);
    wrap(module, "DeleteFileA", countedDeleteFile, previousDeleteFile);
    wrap(module, "MoveFileExA", countedMoveFile, previousMoveFile);
    wrap(module, "fwrite", countedFwrite, previousFwrite);
    patchImport(module, "vfprintf", reinterpret_cast<void*>(countedVfprintf));
    patchImport(module, "fprintf", reinterpret_cast<void*>(countedFprintf));
    patchImport(module, "printf", reinterpret_cast<void*>(countedPrintf));
}

ModuleCalls::~ModuleCalls() {
    if (counting == this) {
        counting = nullptr;
    }
}
