#pragma once

#include "CString.h"

#include <windows.h>

#include <string>

// A directory search with one entry of look-ahead: FindNextFile makes the
// next entry current and says whether yet another one follows, so a loop
// "while (more) { more = FindNextFile(); use(); }" sees every entry once.
//
// Names come in the ANSI code page. A name that the code page cannot spell
// shows a '?' for each character it lacks; such an entry can still be
// reached through its wide name or its short name.
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

    // TRUE when GetFileName is the entry's own name, so that GetFilePath
    // reaches the entry through the ANSI file functions.
    BOOL IsNameInCodePage() const;
    // The entry's own name and full path, whatever the code page.
    std::wstring GetFileNameW() const;
    std::wstring GetFilePathW() const;
    // The full path through the entry's 8.3 name; empty when the entry has
    // none that the code page can spell.
    CString GetShortFilePath() const;

    void Close();

private:
    void TakeNextAsCurrent();

    HANDLE m_search = INVALID_HANDLE_VALUE;
    // The searched folder as an absolute path that ends in a separator.
    CString m_root;
    WIN32_FIND_DATAW m_current{};
    WIN32_FIND_DATAW m_next{};
    CString m_currentName;
    bool m_currentNameInCodePage = false;
    bool m_hasCurrent = false;
    bool m_hasNext = false;
};
