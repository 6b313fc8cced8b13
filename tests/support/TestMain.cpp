#include <gtest/gtest.h>

#include <windows.h>

// Test programs run unattended: a crash must end the program rather than wait
// in an error dialog or a debugger.
int main(int argc, char** argv)
{
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
