#include "ScratchFolder.h"

#include <iterator>
#include <stdexcept>

namespace
{
unsigned NextNumber()
{
    static unsigned number = 0;
    return ++number;
}

std::wstring Widen(const std::string& text)
{
    const int length = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0)
        ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
    return wide;
}

// Reads a file opened for reading to its end, and closes it.
std::string ReadAllOf(HANDLE file)
{
    if (file == INVALID_HANDLE_VALUE)
        return "<unreadable>";
    std::string content;
    char buffer[4096];
    DWORD read = 0;
    while (::ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0)
        content.append(buffer, read);
    ::CloseHandle(file);
    return content;
}

// Every folder on the way, outermost first; the drive ("C:") is not one.
std::vector<std::string> FoldersOnTheWay(const std::string& path)
{
    std::vector<std::string> folders;
    for (size_t slash = path.find('\\', 3); slash != std::string::npos; slash = path.find('\\', slash + 1))
        folders.push_back(path.substr(0, slash));
    folders.push_back(path);
    return folders;
}
}

ScratchFolder::ScratchFolder() : ScratchFolder(InTemp("tree-" + std::to_string(NextNumber()))) {}

ScratchFolder::ScratchFolder(std::string path) : m_path(std::move(path))
{
    RemoveTree(m_path);
    for (const std::string& folder : FoldersOnTheWay(m_path))
    {
        if (Exists(folder))
            continue;
        if (!::CreateDirectoryA(folder.c_str(), nullptr))
            throw std::runtime_error("cannot make " + folder + ", error " + std::to_string(::GetLastError()));
        if (folder != m_path)
            m_madeAbove.insert(m_madeAbove.begin(), folder);
    }
}

ScratchFolder::~ScratchFolder()
{
    RemoveTree(m_path);
    for (const std::string& folder : m_madeAbove)
        ::RemoveDirectoryA(folder.c_str());
}

std::string ScratchFolder::InTemp(const std::string& name)
{
    char temp[MAX_PATH] = "";
    ::GetTempPathA(MAX_PATH, temp);
    char full[MAX_PATH] = "";
    ::GetLongPathNameA(temp, full, MAX_PATH);
    return std::string(full) + "quelt-ui-" + std::to_string(::GetCurrentProcessId()) + "-" + name;
}

void ScratchFolder::AddFolder(const std::string& relative) const
{
    for (const std::string& folder : FoldersOnTheWay(Path(relative)))
        ::CreateDirectoryA(folder.c_str(), nullptr);
}

void ScratchFolder::AddFile(const std::string& relative, const std::string& content) const
{
    const std::string path = Path(relative);
    const size_t slash = path.rfind('\\');
    if (slash > m_path.size())
        AddFolder(path.substr(m_path.size() + 1, slash - m_path.size() - 1));
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot make " + path + ", error " + std::to_string(::GetLastError()));
    DWORD written = 0;
    ::WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    ::CloseHandle(file);
}

std::map<std::string, std::string> ScratchFolder::Contents(const std::string& folder)
{
    std::map<std::string, std::string> contents;
    WIN32_FIND_DATAA entry;
    HANDLE search = ::FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return contents;
    do
    {
        const std::string name = entry.cFileName;
        if (name == "." || name == "..")
            continue;
        contents[name] = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? "<folder>" : ReadAll(folder + "\\" + name);
    } while (::FindNextFileA(search, &entry));
    ::FindClose(search);
    return contents;
}

void ScratchFolder::AddFolder(const std::wstring& relative) const
{
    ::CreateDirectoryW((Widen(m_path) + L"\\" + relative).c_str(), nullptr);
}

void ScratchFolder::AddFile(const std::wstring& relative, const std::string& content) const
{
    const std::wstring path = Widen(m_path) + L"\\" + relative;
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot make a file in " + m_path + ", error " + std::to_string(::GetLastError()));
    DWORD written = 0;
    ::WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    ::CloseHandle(file);
}

std::map<std::wstring, std::string> ScratchFolder::WideFiles(const std::string& folder)
{
    std::map<std::wstring, std::string> files;
    const std::wstring wideFolder = Widen(folder);
    WIN32_FIND_DATAW entry;
    HANDLE search = ::FindFirstFileW((wideFolder + L"\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return files;
    do
    {
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        files[entry.cFileName] = ReadAll(wideFolder + L"\\" + entry.cFileName);
    } while (::FindNextFileW(search, &entry));
    ::FindClose(search);
    return files;
}

std::map<std::string, std::string> ScratchFolder::Files(const std::string& folder)
{
    std::map<std::string, std::string> files = Contents(folder);
    for (auto entry = files.begin(); entry != files.end();)
        entry = entry->second == "<folder>" ? files.erase(entry) : std::next(entry);
    return files;
}

std::string ScratchFolder::ReadAll(const std::string& path)
{
    return ReadAllOf(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
}

std::string ScratchFolder::ReadAll(const std::wstring& path)
{
    return ReadAllOf(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool ScratchFolder::Exists(const std::string& path)
{
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void ScratchFolder::RemoveTree(const std::string& path)
{
    RemoveTree(Widen(path));
}

// Wide, so that names the code page cannot spell go too.
void ScratchFolder::RemoveTree(const std::wstring& path)
{
    WIN32_FIND_DATAW entry;
    HANDLE search = ::FindFirstFileW((path + L"\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE)
    {
        do
        {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring child = path + L"\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(child);
            else
            {
                ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileW(child.c_str());
            }
        } while (::FindNextFileW(search, &entry));
        ::FindClose(search);
    }
    ::RemoveDirectoryW(path.c_str());
}
