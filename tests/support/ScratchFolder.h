#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

// A folder tree that one test makes and removes again: at a fixed place
// (the program's cache folder) or in the temporary folder. Folders above it
// that did not exist are made too, and removed with it.
class ScratchFolder
{
public:
    // A fresh folder of its own in the temporary folder.
    ScratchFolder();
    explicit ScratchFolder(std::string path);
    ~ScratchFolder();

    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // A path in the temporary folder, unique to this test process.
    static std::string InTemp(const std::string& name);

    const std::string& Path() const { return m_path; }
    std::string Path(const std::string& relative) const { return m_path + "\\" + relative; }

    // Makes the file (relative path, backslashes) and the folders above it.
    void AddFile(const std::string& relative, const std::string& content) const;
    void AddFolder(const std::string& relative) const;
    // The same for a name the ANSI code page may not spell; the folders
    // above it must exist.
    void AddFile(const std::wstring& relative, const std::string& content) const;
    void AddFolder(const std::wstring& relative) const;

    // What lies directly in a folder: each file's name with its content,
    // each folder's name with the content "<folder>".
    static std::map<std::string, std::string> Contents(const std::string& folder);
    // The files alone, by name, with their content.
    static std::map<std::string, std::string> Files(const std::string& folder);
    // The same with the names as they are, whatever the code page.
    static std::map<std::wstring, std::string> WideFiles(const std::string& folder);
    static std::string ReadAll(const std::string& path);
    static std::string ReadAll(const std::wstring& path);

private:
    static bool Exists(const std::string& path);
    static void RemoveTree(const std::string& path);
    static void RemoveTree(const std::wstring& path);

    std::string m_path;
    // Folders this object made above m_path, innermost first.
    std::vector<std::string> m_madeAbove;
};
