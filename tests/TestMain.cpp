#include <gtest/gtest.h>

#include <stdio.h>
#include <windows.h>

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

}  // namespace

int main(int argc, char** argv) {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    SetUnhandledExceptionFilter(reportCrash);
    DialogDriver::reportFailure = [](const std::string& why) { ADD_FAILURE() << why; };
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
