#pragma once

#include <windows.h>

#include <vector>

// The handles this process holds, for tests that check nothing leaks; -1 when
// they cannot be counted. GetProcessHandleCount is a stub in Wine 8 that
// reports 0; the system's handle list, which Wine does keep, counts the same
// handles there.
inline long CountOwnHandles()
{
    DWORD count = 0;
    if (::GetProcessHandleCount(::GetCurrentProcess(), &count) && count > 0)
        return static_cast<long>(count);

    // One entry of the system handle list, as the system lays it out.
    struct Entry
    {
        ULONG ownerPid;
        BYTE objectType;
        BYTE flags;
        USHORT value;
        PVOID object;
        ULONG access;
    };
    using Query = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    if (!query)
        return -1;
    const ULONG kSystemHandleInformation = 16;
    const LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);
    std::vector<BYTE> buffer(1 << 16);
    LONG status;
    while ((status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), nullptr))
           == kInfoLengthMismatch)
        buffer.resize(buffer.size() * 2);
    if (status != 0)
        return -1;
    const ULONG entries = *reinterpret_cast<const ULONG*>(buffer.data());
    const auto* entry = reinterpret_cast<const Entry*>(buffer.data() + sizeof(ULONG));
    const ULONG self = ::GetCurrentProcessId();
    long own = 0;
    for (ULONG i = 0; i < entries; ++i)
        own += entry[i].ownerPid == self;
    return own;
}
