#pragma once

#include <windows.h>

#include <string>

// A byte string in the ANSI code page, the text type of every dialog field
// and path. Lengths and positions count bytes, never characters: a Chinese
// character in code page 936 takes two of them.
class CString
{
public:
    CString() = default;
    CString(const char* text);
    CString(const char* text, int length);
    explicit CString(char ch);

    int GetLength() const { return static_cast<int>(m_bytes.size()); }
    bool IsEmpty() const { return m_bytes.empty(); }
    void Empty() { m_bytes.clear(); }
    char GetAt(int index) const { return m_bytes[static_cast<size_t>(index)]; }

    // The last count bytes, or the whole text when it is shorter.
    CString Right(int count) const;

    operator const char*() const { return m_bytes.c_str(); }

    CString& operator=(const char* text);
    CString& operator+=(const CString& other);
    CString& operator+=(const char* text);
    CString& operator+=(char ch);

    friend CString operator+(CString left, const CString& right) { return left += right; }
    friend CString operator+(CString left, const char* right) { return left += right; }
    friend CString operator+(CString left, char right) { return left += right; }

    friend bool operator==(const CString& a, const CString& b) { return a.m_bytes == b.m_bytes; }
    friend bool operator!=(const CString& a, const CString& b) { return a.m_bytes != b.m_bytes; }
    friend bool operator==(const CString& a, const char* b) { return a.m_bytes == b; }
    friend bool operator!=(const CString& a, const char* b) { return a.m_bytes != b; }

    // Case-insensitive comparison under the multibyte rules of the current
    // code page: 0 when equal.
    int CompareNoCase(const char* other) const;

    // True when the byte at index starts a character rather than being the
    // trail byte of a double-byte character.
    bool IsCharStart(int index) const;

    // True when the text ends in a backslash that is a character of its own,
    // not the trail byte of a double-byte character (0x5C is a valid one).
    bool EndsWithBackslash() const;
    bool EndsWithPathSeparator() const;

    // The same text in UTF-16, for the wide functions of the system.
    std::wstring ToWide() const;

    // Loads a string resource of the application; FALSE, and an empty text,
    // when there is none.
    BOOL LoadString(UINT id);

    // The text of a window, read whole whatever its length.
    static CString FromWindowText(HWND window);

private:
    std::string m_bytes;
};
