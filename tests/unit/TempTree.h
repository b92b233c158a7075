#pragma once

#include <windows.h>

#include <map>
#include <string>

// A folder tree made for one test under the Wine prefix's temporary folder
// and removed afterwards. Paths given to it are relative, with backslashes.
class TempTree
{
public:
    TempTree();
    ~TempTree();

    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    const std::string& Root() const { return m_root; }
    std::string Path(const std::string& relative) const { return m_root + "\\" + relative; }

    // Creates the file and every folder above it.
    void AddFile(const std::string& relative, const std::string& content);
    void AddFolder(const std::string& relative);

    // Files directly in a folder (not below it), by name, with their content.
    static std::map<std::string, std::string> FilesIn(const std::string& folder);
    static std::string ReadAll(const std::string& path);

private:
    static void RemoveTree(const std::string& folder);

    std::string m_root;
};
