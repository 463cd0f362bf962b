#include <gtest/gtest.h>

#include <stdio.h>
#include <windows.h>

int main(int argc, char** argv) {
    // A crash must end the program, not wait on a system error dialog.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
