#include "TempTree.h"

#include <stdexcept>

namespace
{
void CreateFolders(const std::string& path)
{
    for (size_t slash = path.find('\\', 3); slash != std::string::npos; slash = path.find('\\', slash + 1))
        ::CreateDirectoryA(path.substr(0, slash).c_str(), nullptr);
    ::CreateDirectoryA(path.c_str(), nullptr);
}
}

TempTree::TempTree()
{
    char temp[MAX_PATH];
    ::GetTempPathA(MAX_PATH, temp);
    static unsigned counter = 0;
    m_root = std::string(temp) + "quelt-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(++counter);
    RemoveTree(m_root);
    CreateFolders(m_root);
}

TempTree::~TempTree()
{
    RemoveTree(m_root);
}

void TempTree::AddFolder(const std::string& relative)
{
    CreateFolders(Path(relative));
}

void TempTree::AddFile(const std::string& relative, const std::string& content)
{
    const std::string path = Path(relative);
    const size_t slash = path.rfind('\\');
    CreateFolders(path.substr(0, slash));
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot create " + path + ", error " + std::to_string(::GetLastError()));
    DWORD written = 0;
    ::WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    ::CloseHandle(file);
}

std::string TempTree::ReadAll(const std::string& path)
{
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return "<missing>";
    std::string content;
    char buffer[4096];
    DWORD read = 0;
    while (::ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0)
        content.append(buffer, read);
    ::CloseHandle(file);
    return content;
}

std::map<std::string, std::string> TempTree::FilesIn(const std::string& folder)
{
    std::map<std::string, std::string> files;
    WIN32_FIND_DATAA entry;
    HANDLE search = ::FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return files;
    do
    {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            files[entry.cFileName] = ReadAll(folder + "\\" + entry.cFileName);
    } while (::FindNextFileA(search, &entry));
    ::FindClose(search);
    return files;
}

void TempTree::RemoveTree(const std::string& folder)
{
    WIN32_FIND_DATAA entry;
    HANDLE search = ::FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE)
    {
        do
        {
            const std::string name = entry.cFileName;
            if (name == "." || name == "..")
                continue;
            const std::string path = folder + "\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path);
            else
            {
                ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileA(path.c_str());
            }
        } while (::FindNextFileA(search, &entry));
        ::FindClose(search);
    }
    ::RemoveDirectoryA(folder.c_str());
}
