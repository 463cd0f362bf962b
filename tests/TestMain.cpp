#include <gtest/gtest.h>

#include <shlobj.h>
#include <stdio.h>
#include <windows.h>

#include <string>

#include "host/DialogDriver.h"
#include "host/GuardHeap.h"

namespace {

std::string currentTest() {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    return test != nullptr ? std::string(test->test_suite_name()) + "." + test->name() : std::string("no test");
}

// First, before any handler on the way could swallow it (the system's
// dispatch of timer callbacks may): a touch of freed memory, or a jump into
// an unloaded module, ends the run with the test and the fault named.
LONG CALLBACK reportGuardFault(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD* record = info->ExceptionRecord;
    if (record->ExceptionCode != EXCEPTION_ACCESS_VIOLATION || record->NumberParameters < 2) {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    const void* address = reinterpret_cast<const void*>(record->ExceptionInformation[1]);
    const ULONG_PTR ExecuteAccess = 8;
    if (record->ExceptionInformation[0] == ExecuteAccess || address == record->ExceptionAddress) {
        fprintf(stderr, "%s: a jump to %p, where no code is (an unloaded module?)\n", currentTest().c_str(), address);
    } else {
        std::string fault = guardFault(*record);
        if (fault.empty()) {
            return EXCEPTION_CONTINUE_SEARCH;
        }
        fprintf(stderr, "%s: %s, by the code at %p\n", currentTest().c_str(), fault.c_str(), record->ExceptionAddress);
    }
    fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_CONTINUE_SEARCH;
}

// A fault (the checked module traps undefined behaviour) must end the
// program with a word, not leave it waiting on Wine's debugger until the
// test runner gives up.
LONG WINAPI reportCrash(EXCEPTION_POINTERS* info) {
    fprintf(stderr, "%s: unhandled exception 0x%08lx at %p\n", currentTest().c_str(),
            info->ExceptionRecord->ExceptionCode, info->ExceptionRecord->ExceptionAddress);
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
    AddVectoredExceptionHandler(1, reportGuardFault);
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
