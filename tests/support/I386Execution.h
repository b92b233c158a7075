#pragma once

#include <windows.h>

#include <cstring>

// Whether this test runs on qemu rather than on the processor (the scripts
// set QUELT_I386_EXECUTION; a test started by hand counts as native). Under
// qemu a new Wine process needs seconds instead of a fraction of one, so a
// test that gives a wrong outcome time to show itself before concluding that
// none came must give it longer there, or it would stop catching the fault.
inline bool I386Emulated()
{
    char value[16] = "";
    const DWORD length = ::GetEnvironmentVariableA("QUELT_I386_EXECUTION", value, sizeof value);
    return length > 0 && length < sizeof value && std::strcmp(value, "emulated") == 0;
}

// A wait sized for each way of running.
inline DWORD ForNativeOrEmulated(DWORD nativeMs, DWORD emulatedMs)
{
    return I386Emulated() ? emulatedMs : nativeMs;
}
