#include "IsSameFile.h"

#include "FileCalls.h"

#include <windows.h>

namespace
{
struct FileIdentity
{
    DWORD volume;
    DWORD indexHigh;
    DWORD indexLow;

    bool operator==(const FileIdentity& other) const
    {
        return volume == other.volume && indexHigh == other.indexHigh && indexLow == other.indexLow;
    }
};

template <typename Path>
bool ReadFileIdentity(const Path& path, FileIdentity& identity)
{
    // No access rights are asked for: reading the identity must work on files
    // that others hold open, and must not disturb them.
    HANDLE file = OpenExistingFile(PathText(path), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info;
    const bool known = ::GetFileInformationByHandle(file, &info) != FALSE;
    ::CloseHandle(file);
    if (known)
        identity = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
    return known;
}


// Attributes come without opening the file, which costs far less than the
// open that the identity needs; two names whose size or times differ cannot
// be one file.
template <typename Path>
bool MayBeSameFile(const Path& first, const Path& second)
{
    WIN32_FILE_ATTRIBUTE_DATA secondData;
    if (!ReadFileAttributes(PathText(second), secondData))
        return false;
    WIN32_FILE_ATTRIBUTE_DATA firstData;
    if (!ReadFileAttributes(PathText(first), firstData))
        return false;
    return firstData.nFileSizeLow == secondData.nFileSizeLow && firstData.nFileSizeHigh == secondData.nFileSizeHigh
           && ::CompareFileTime(&firstData.ftLastWriteTime, &secondData.ftLastWriteTime) == 0
           && ::CompareFileTime(&firstData.ftCreationTime, &secondData.ftCreationTime) == 0;
}

template <typename Path>
bool IsSameFileOf(const Path& first, const Path& second)
{
    // The second path is usually a copy's target that does not exist yet, so
    // it is looked at first.
    if (!MayBeSameFile(first, second))
        return false;
    FileIdentity secondIdentity;
    FileIdentity firstIdentity;
    return ReadFileIdentity(second, secondIdentity) && ReadFileIdentity(first, firstIdentity)
           && firstIdentity == secondIdentity;
}
}

bool IsSameFile(const CString& first, const CString& second)
{
    return IsSameFileOf(first, second);
}

bool IsSameFile(const std::wstring& first, const std::wstring& second)
{
    return IsSameFileOf(first, second);
}
