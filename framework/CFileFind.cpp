#include "CFileFind.h"

#include <vector>

namespace
{
// The folder part of a pattern, made absolute by the system so that relative
// patterns, drive roots and "." or ".." segments come out as the system sees
// them. The system's file part pointer also knows where double-byte
// characters are, which a search for the last backslash would not.
CString AbsoluteFolderOf(const char* pattern)
{
    std::vector<char> buffer(MAX_PATH);
    char* filePart = nullptr;
    DWORD length = ::GetFullPathNameA(pattern, static_cast<DWORD>(buffer.size()), buffer.data(), &filePart);
    if (length >= buffer.size())
    {
        buffer.resize(length + 1);
        length = ::GetFullPathNameA(pattern, static_cast<DWORD>(buffer.size()), buffer.data(), &filePart);
    }
    if (length == 0 || length >= buffer.size())
        return CString();
    const int folderLength = filePart ? static_cast<int>(filePart - buffer.data()) : static_cast<int>(length);
    CString folder(buffer.data(), folderLength);
    if (!folder.IsEmpty() && !folder.EndsWithPathSeparator())
        folder += '\\';
    return folder;
}
}

CFileFind::~CFileFind()
{
    Close();
}

BOOL CFileFind::FindFile(const char* pattern)
{
    Close();
    if (!pattern)
        pattern = "*.*";
    m_search = ::FindFirstFileA(pattern, &m_next);
    if (m_search == INVALID_HANDLE_VALUE)
        return FALSE;
    m_hasNext = true;
    m_root = AbsoluteFolderOf(pattern);
    return TRUE;
}

BOOL CFileFind::FindNextFile()
{
    if (!m_hasNext)
        return FALSE;
    m_current = m_next;
    m_hasCurrent = true;
    m_hasNext = ::FindNextFileA(m_search, &m_next) != FALSE;
    return m_hasNext;
}

CString CFileFind::GetFileName() const
{
    return m_hasCurrent ? CString(m_current.cFileName) : CString();
}

CString CFileFind::GetFilePath() const
{
    return m_hasCurrent ? m_root + m_current.cFileName : CString();
}

BOOL CFileFind::IsDirectory() const
{
    return m_hasCurrent && (m_current.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

BOOL CFileFind::IsDots() const
{
    if (!IsDirectory())
        return FALSE;
    const char* name = m_current.cFileName;
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

void CFileFind::Close()
{
    if (m_search != INVALID_HANDLE_VALUE)
    {
        ::FindClose(m_search);
        m_search = INVALID_HANDLE_VALUE;
    }
    m_root.Empty();
    m_hasCurrent = false;
    m_hasNext = false;
}
