#include "CString.h"

#include "CWinApp.h"

#include <mbstring.h>

CString::CString(const char* text) : m_bytes(text ? text : "") {}

CString::CString(const char* text, int length) : m_bytes(text, static_cast<size_t>(length)) {}

CString::CString(char ch) : m_bytes(1, ch) {}

CString CString::Right(int count) const
{
    if (count <= 0)
        return CString();
    if (count >= GetLength())
        return *this;
    return CString(m_bytes.c_str() + GetLength() - count, count);
}

CString& CString::operator=(const char* text)
{
    m_bytes = text ? text : "";
    return *this;
}

CString& CString::operator+=(const CString& other)
{
    m_bytes += other.m_bytes;
    return *this;
}

CString& CString::operator+=(const char* text)
{
    if (text)
        m_bytes += text;
    return *this;
}

CString& CString::operator+=(char ch)
{
    m_bytes += ch;
    return *this;
}

int CString::CompareNoCase(const char* other) const
{
    return _mbsicmp(reinterpret_cast<const unsigned char*>(m_bytes.c_str()),
                    reinterpret_cast<const unsigned char*>(other ? other : ""));
}

bool CString::IsCharStart(int index) const
{
    if (index < 0 || index > GetLength())
        return false;
    // Lead bytes can also be trail bytes in code page 936, so the only safe
    // way to know where characters start is to walk from the beginning.
    int position = 0;
    while (position < index)
    {
        const BYTE byte = static_cast<BYTE>(m_bytes[static_cast<size_t>(position)]);
        const bool pair = IsDBCSLeadByte(byte) && position + 1 < GetLength();
        position += pair ? 2 : 1;
    }
    return position == index;
}

bool CString::EndsWithBackslash() const
{
    return !IsEmpty() && m_bytes.back() == '\\' && IsCharStart(GetLength() - 1);
}

bool CString::EndsWithPathSeparator() const
{
    return !IsEmpty() && (m_bytes.back() == '\\' || m_bytes.back() == '/')
           && IsCharStart(GetLength() - 1);
}

std::wstring CString::ToWide() const
{
    const int length = ::MultiByteToWideChar(CP_ACP, 0, m_bytes.data(), GetLength(), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0)
        ::MultiByteToWideChar(CP_ACP, 0, m_bytes.data(), GetLength(), &wide[0], length);
    return wide;
}

BOOL CString::LoadString(UINT id)
{
    // The system hands out a pointer to the resource's own UTF-16 text when
    // the buffer size is 0, so no length has to be guessed.
    const wchar_t* text = nullptr;
    const int length = ::LoadStringW(AfxGetResourceHandle(), id, reinterpret_cast<LPWSTR>(&text), 0);
    m_bytes.clear();
    if (length <= 0 || !text)
        return FALSE;
    const int bytes = ::WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    m_bytes.resize(static_cast<size_t>(bytes));
    ::WideCharToMultiByte(CP_ACP, 0, text, length, &m_bytes[0], bytes, nullptr, nullptr);
    return !m_bytes.empty();
}

CString CString::FromWindowText(HWND window)
{
    CString text;
    const int length = ::GetWindowTextLengthA(window);
    if (length > 0)
    {
        text.m_bytes.resize(static_cast<size_t>(length) + 1);
        const int copied = ::GetWindowTextA(window, &text.m_bytes[0], length + 1);
        text.m_bytes.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    }
    return text;
}
