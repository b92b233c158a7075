#pragma once

#include "CString.h"

#include <windows.h>

// A directory search with one entry of look-ahead: FindNextFile makes the
// next entry current and says whether yet another one follows, so a loop
// "while (more) { more = FindNextFile(); use(); }" sees every entry once.
class CFileFind
{
public:
    CFileFind() = default;
    ~CFileFind();

    CFileFind(const CFileFind&) = delete;
    CFileFind& operator=(const CFileFind&) = delete;

    // Starts a search; non-zero when the pattern matches at least one entry.
    BOOL FindFile(const char* pattern = "*.*");
    BOOL FindNextFile();

    CString GetFileName() const;
    CString GetFilePath() const;
    BOOL IsDirectory() const;
    BOOL IsDots() const;

    void Close();

private:
    HANDLE m_search = INVALID_HANDLE_VALUE;
    // The searched folder as an absolute path that ends in a separator.
    CString m_root;
    WIN32_FIND_DATAA m_current{};
    WIN32_FIND_DATAA m_next{};
    bool m_hasCurrent = false;
    bool m_hasNext = false;
};
