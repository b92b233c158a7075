#pragma once

#include "CString.h"

#include <windows.h>

#include <string>

// The few file calls the walk makes, under one name for the two kinds of
// path it holds: ANSI ones for names the code page can spell, wide ones for
// names it cannot. Code written once over these runs the same either way.

inline const char* PathText(const CString& path)
{
    return path;
}

inline const wchar_t* PathText(const std::wstring& path)
{
    return path.c_str();
}

// The length in the units the system counts a path's limit in: bytes for an
// ANSI path, UTF-16 code units for a wide one.
inline int PathUnits(const CString& path)
{
    return path.GetLength();
}

inline int PathUnits(const std::wstring& path)
{
    return static_cast<int>(path.size());
}

// The system's plain file functions take at most MAX_PATH units, the
// terminator included. A longer path would be cut short or refused, so such
// paths are never handed to the system.
template <typename Path>
bool FitsSystemPath(const Path& path)
{
    return PathUnits(path) < MAX_PATH;
}

inline BOOL CopyFileOf(const char* source, const char* target, BOOL failIfExists)
{
    return ::CopyFileA(source, target, failIfExists);
}

inline BOOL CopyFileOf(const wchar_t* source, const wchar_t* target, BOOL failIfExists)
{
    return ::CopyFileW(source, target, failIfExists);
}

inline HANDLE OpenExistingFile(const char* path, DWORD access, DWORD share)
{
    return ::CreateFileA(path, access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

inline HANDLE OpenExistingFile(const wchar_t* path, DWORD access, DWORD share)
{
    return ::CreateFileW(path, access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

inline BOOL ReadFileAttributes(const char* path, WIN32_FILE_ATTRIBUTE_DATA& data)
{
    return ::GetFileAttributesExA(path, GetFileExInfoStandard, &data);
}

inline BOOL ReadFileAttributes(const wchar_t* path, WIN32_FILE_ATTRIBUTE_DATA& data)
{
    return ::GetFileAttributesExW(path, GetFileExInfoStandard, &data);
}
