#include "IsSameFile.h"

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

bool ReadFileIdentity(const CString& path, FileIdentity& identity)
{
    // No access rights are asked for: reading the identity must work on files
    // that others hold open, and must not disturb them.
    HANDLE file = ::CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
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
bool MayBeSameFile(const CString& first, const CString& second)
{
    WIN32_FILE_ATTRIBUTE_DATA secondData;
    if (!::GetFileAttributesExA(second, GetFileExInfoStandard, &secondData))
        return false;
    WIN32_FILE_ATTRIBUTE_DATA firstData;
    if (!::GetFileAttributesExA(first, GetFileExInfoStandard, &firstData))
        return false;
    return firstData.nFileSizeLow == secondData.nFileSizeLow && firstData.nFileSizeHigh == secondData.nFileSizeHigh
           && ::CompareFileTime(&firstData.ftLastWriteTime, &secondData.ftLastWriteTime) == 0
           && ::CompareFileTime(&firstData.ftCreationTime, &secondData.ftCreationTime) == 0;
}
}

bool IsSameFile(const CString& first, const CString& second)
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
