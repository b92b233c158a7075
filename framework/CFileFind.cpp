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

// The name in the ANSI code page, and whether that is the name itself. No
// best-fit substitutes: a character the code page lacks becomes '?', never a
// look-alike letter that could end a file type or name another file.
CString CodePageName(const wchar_t* name, bool& exact)
{
    BOOL lossy = FALSE;
    const int bytes = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name, -1, nullptr, 0, "?", &lossy);
    std::vector<char> buffer(bytes > 0 ? static_cast<size_t>(bytes) : 1, '\0');
    lossy = FALSE;
    ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name, -1, buffer.data(), bytes, "?", &lossy);
    exact = bytes > 0 && !lossy;
    return CString(buffer.data());
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
    // The search itself runs on wide names: the ANSI search would hand over
    // names that the code page cannot spell already spoilt.
    m_search = ::FindFirstFileW(CString(pattern).ToWide().c_str(), &m_next);
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
    TakeNextAsCurrent();
    m_hasNext = ::FindNextFileW(m_search, &m_next) != FALSE;
    return m_hasNext;
}

void CFileFind::TakeNextAsCurrent()
{
    m_current = m_next;
    m_hasCurrent = true;
    m_currentName = CodePageName(m_current.cFileName, m_currentNameInCodePage);
}

CString CFileFind::GetFileName() const
{
    return m_hasCurrent ? m_currentName : CString();
}

CString CFileFind::GetFilePath() const
{
    return m_hasCurrent ? m_root + m_currentName : CString();
}

BOOL CFileFind::IsDirectory() const
{
    return m_hasCurrent && (m_current.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

BOOL CFileFind::IsDots() const
{
    if (!IsDirectory())
        return FALSE;
    const wchar_t* name = m_current.cFileName;
    return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

BOOL CFileFind::IsNameInCodePage() const
{
    return m_hasCurrent && m_currentNameInCodePage;
}

std::wstring CFileFind::GetFileNameW() const
{
    return m_hasCurrent ? std::wstring(m_current.cFileName) : std::wstring();
}

std::wstring CFileFind::GetFilePathW() const
{
    return m_hasCurrent ? m_root.ToWide() + m_current.cFileName : std::wstring();
}

CString CFileFind::GetShortFilePath() const
{
    if (!m_hasCurrent || m_current.cAlternateFileName[0] == L'\0')
        return CString();
    bool exact = false;
    const CString shortName = CodePageName(m_current.cAlternateFileName, exact);
    return exact ? m_root + shortName : CString();
}

void CFileFind::Close()
{
    if (m_search != INVALID_HANDLE_VALUE)
    {
        ::FindClose(m_search);
        m_search = INVALID_HANDLE_VALUE;
    }
    m_root.Empty();
    m_currentName.Empty();
    m_currentNameInCodePage = false;
    m_hasCurrent = false;
    m_hasNext = false;
}
