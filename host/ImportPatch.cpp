#include "host/ImportPatch.h"

#include <string.h>

namespace {

// Where the module's directory of that kind lies, or NULL when it has none.
BYTE* directoryOf(HMODULE module, int kind) {
    BYTE* base = reinterpret_cast<BYTE*>(module);
    IMAGE_DOS_HEADER* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    IMAGE_NT_HEADERS* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    DWORD rva = nt->OptionalHeader.DataDirectory[kind].VirtualAddress;
    return rva != 0 ? base + rva : NULL;
}

// Visits the import slots of the named function, or of every function when
// functionName is NULL (visit then also gets the name).
template <typename Visit>
bool forEachImport(HMODULE module, const char* functionName, Visit visit) {
    BYTE* base = reinterpret_cast<BYTE*>(module);
    BYTE* directory = directoryOf(module, IMAGE_DIRECTORY_ENTRY_IMPORT);
    if (directory == NULL) {
        return false;
    }
    bool found = false;
    for (IMAGE_IMPORT_DESCRIPTOR* dll = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(directory); dll->Name != 0; ++dll) {
        DWORD namesRva = dll->OriginalFirstThunk != 0 ? dll->OriginalFirstThunk : dll->FirstThunk;
        IMAGE_THUNK_DATA* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + namesRva);
        IMAGE_THUNK_DATA* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) {
                continue;
            }
            IMAGE_IMPORT_BY_NAME* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            const char* name = reinterpret_cast<const char*>(byName->Name);
            if (functionName == NULL || strcmp(name, functionName) == 0) {
                visit(slots, name);
                found = true;
            }
        }
    }
    return found;
}

}  // namespace

void* importedAddress(HMODULE module, const char* functionName) {
    void* address = NULL;
    forEachImport(module, functionName,
                  [&](IMAGE_THUNK_DATA* slot, const char*) { address = reinterpret_cast<void*>(slot->u1.Function); });
    return address;
}

std::vector<std::string> importedFunctions(HMODULE module) {
    std::vector<std::string> names;
    forEachImport(module, NULL, [&](IMAGE_THUNK_DATA*, const char* name) { names.push_back(name); });
    return names;
}

namespace {

const char* const SystemModules[] = {"kernel32.dll", "user32.dll", "advapi32.dll", "shell32.dll", "powrprof.dll",
                                     "msvcrt.dll"};

// The slot of the named export in the module's table of addresses, or NULL.
DWORD* exportSlot(HMODULE module, const char* functionName) {
    BYTE* base = reinterpret_cast<BYTE*>(module);
    IMAGE_EXPORT_DIRECTORY* exports =
        reinterpret_cast<IMAGE_EXPORT_DIRECTORY*>(directoryOf(module, IMAGE_DIRECTORY_ENTRY_EXPORT));
    if (exports == NULL) {
        return NULL;
    }
    DWORD* names = reinterpret_cast<DWORD*>(base + exports->AddressOfNames);
    WORD* ordinals = reinterpret_cast<WORD*>(base + exports->AddressOfNameOrdinals);
    DWORD* functions = reinterpret_cast<DWORD*>(base + exports->AddressOfFunctions);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
        if (strcmp(reinterpret_cast<const char*>(base + names[i]), functionName) == 0) {
            return &functions[ordinals[i]];
        }
    }
    return NULL;
}

void writeSlot(DWORD* slot, DWORD value) {
    DWORD oldProtection = 0;
    VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &oldProtection);
    *slot = value;
    VirtualProtect(slot, sizeof *slot, oldProtection, &oldProtection);
}

}  // namespace

// An export's address is kept relative to its module's base; in a 32-bit
// process the sum wraps, so any address can be named that way.
ExportRedirect::ExportRedirect(const std::vector<Replacement>& replacements) {
    for (const char* name : SystemModules) {
        // Loaded here if the host has not loaded it yet: a module loaded
        // later would bind its imports from it to the real functions.
        HMODULE module = GetModuleHandleA(name);
        if (module == NULL) {
            module = LoadLibraryA(name);
        }
        if (module == NULL) {
            continue;
        }
        for (const Replacement& r : replacements) {
            DWORD* slot = exportSlot(module, r.function);
            if (slot != NULL) {
                saved.push_back(Saved{slot, *slot});
                writeSlot(slot, static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(r.replacement) -
                                                   reinterpret_cast<ULONG_PTR>(module)));
            }
        }
    }
}

ExportRedirect::~ExportRedirect() {
    for (size_t i = saved.size(); i-- > 0;) {
        writeSlot(saved[i].slot, saved[i].rva);
    }
}
