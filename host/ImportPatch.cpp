#include "host/ImportPatch.h"

#include <string.h>

namespace {

template <typename Visit>
bool forEachImport(HMODULE module, const char* functionName, Visit visit) {
    BYTE* base = reinterpret_cast<BYTE*>(module);
    IMAGE_DOS_HEADER* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    IMAGE_NT_HEADERS* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0) {
        return false;
    }
    bool found = false;
    for (IMAGE_IMPORT_DESCRIPTOR* dll = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
         dll->Name != 0; ++dll) {
        DWORD namesRva = dll->OriginalFirstThunk != 0 ? dll->OriginalFirstThunk : dll->FirstThunk;
        IMAGE_THUNK_DATA* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + namesRva);
        IMAGE_THUNK_DATA* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) {
                continue;
            }
            IMAGE_IMPORT_BY_NAME* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (strcmp(reinterpret_cast<const char*>(byName->Name), functionName) == 0) {
                visit(slots);
                found = true;
            }
        }
    }
    return found;
}

}  // namespace

void* patchImport(HMODULE module, const char* functionName, void* replacement) {
    void* previous = NULL;
    forEachImport(module, functionName, [&](IMAGE_THUNK_DATA* slot) {
        DWORD oldProtection = 0;
        VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, PAGE_READWRITE, &oldProtection);
        previous = reinterpret_cast<void*>(slot->u1.Function);
        slot->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
        VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, oldProtection, &oldProtection);
    });
    return previous;
}

bool importsFunction(HMODULE module, const char* functionName) {
    return forEachImport(module, functionName, [](IMAGE_THUNK_DATA*) {});
}
