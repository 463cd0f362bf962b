#pragma once
// Puts the host's own functions in place of those a module imports, so the
// host can see and steer the module's calls, from its first instruction on.

#include <windows.h>

#include <string>
#include <vector>

struct Replacement {
    const char* function;   // the imported function's name
    void* replacement;      // the host's function of the same signature
};

// What a loaded module's import of the function calls, or NULL.
void* importedAddress(HMODULE module, const char* functionName);

// The names of the functions a loaded module imports, in table order.
std::vector<std::string> importedFunctions(HMODULE module);

// While it lives, the export tables of the system DLLs that the module
// imports from (KERNEL32, USER32, ADVAPI32, SHELL32, POWRPROF, msvcrt) name the
// replacements, so that a module loaded meanwhile binds its imports to them:
// even the calls its start-up code makes inside LoadLibrary reach the host.
// Other modules bound before keep the real functions. One at a time, on one
// thread.
class ExportRedirect {
public:
    explicit ExportRedirect(const std::vector<Replacement>& replacements);
    ~ExportRedirect();
    ExportRedirect(const ExportRedirect&) = delete;
    ExportRedirect& operator=(const ExportRedirect&) = delete;

private:
    struct Saved {
        DWORD* slot;
        DWORD rva;
    };
    std::vector<Saved> saved;
};
