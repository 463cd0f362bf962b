#include <gtest/gtest.h>

#include <shlobj.h>
#include <stdio.h>
#include <windows.h>

#include <string>

#include "host/DialogDriver.h"

namespace {

// A fault (the checked module traps undefined behaviour) must end the
// program with a word, not leave it waiting on Wine's debugger until the
// test runner gives up.
LONG WINAPI reportCrash(EXCEPTION_POINTERS* info) {
    fprintf(stderr, "unhandled exception 0x%08lx at %p\n", info->ExceptionRecord->ExceptionCode,
            info->ExceptionRecord->ExceptionAddress);
    fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

// The per-user settings folder of the Wine prefix's own user, which every
// test program shares with the bench player and later runs: tests give the
// module an application-data folder of their own, so none may appear here.
std::string sharedPerUserFolder() {
    char appData[MAX_PATH];
    if (SHGetFolderPathA(NULL, CSIDL_APPDATA, NULL, SHGFP_TYPE_CURRENT, appData) != S_OK) {
        return std::string();
    }
    return std::string(appData) + "\\Nightcap";
}

}  // namespace

int main(int argc, char** argv) {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    SetUnhandledExceptionFilter(reportCrash);
    DialogDriver::reportFailure = [](const std::string& why) { ADD_FAILURE() << why; };
    ::testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    std::string shared = sharedPerUserFolder();
    if (!shared.empty() && GetFileAttributesA(shared.c_str()) != INVALID_FILE_ATTRIBUTES) {
        fprintf(stderr, "FAILED: %s exists: a module's settings reached the shared profile\n", shared.c_str());
        return 1;
    }
    return result;
}
