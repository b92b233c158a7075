#pragma once

#include "FileCalls.h"

#include <windows.h>

// A read handle on a copy's source that lets others read the file but
// nobody write it. While it is held the system refuses to open the source
// for writing under any of its names, so a copy whose target turns out to
// be the source itself (the destination lies inside the walked tree, another
// spelling of one folder, a hard link) fails with a sharing violation
// instead of truncating the file it is about to read.
class SourceWriteLock
{
public:
    template <typename Path>
    explicit SourceWriteLock(const Path& source)
        : m_handle(OpenExistingFile(PathText(source), GENERIC_READ, FILE_SHARE_READ))
    {
    }

    ~SourceWriteLock()
    {
        if (IsHeld())
            ::CloseHandle(m_handle);
    }

    SourceWriteLock(const SourceWriteLock&) = delete;
    SourceWriteLock& operator=(const SourceWriteLock&) = delete;

    // False when the source cannot be read, or someone holds it open for
    // writing already.
    bool IsHeld() const { return m_handle != INVALID_HANDLE_VALUE; }

private:
    HANDLE m_handle;
};
