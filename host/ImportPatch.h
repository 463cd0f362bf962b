#pragma once
// Replaces a function that a loaded module imports, by rewriting the module's
// import address table, so the host can see and steer the module's calls.

#include <windows.h>

// Returns the address that was there before, or NULL when the module does not
// import a function of that name.
void* patchImport(HMODULE module, const char* functionName, void* replacement);

// True when the module imports the function (from any DLL).
bool importsFunction(HMODULE module, const char* functionName);
