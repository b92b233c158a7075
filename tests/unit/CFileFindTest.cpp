#include "CFileFind.h"
#include "ScratchFolder.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

namespace
{
struct Entry
{
    std::string path;
    bool directory;
    bool dots;
};

// Collects every entry the way the cache walk loops over them.
std::map<std::string, Entry> Walk(CFileFind& finder, const char* pattern, int* advances = nullptr)
{
    std::map<std::string, Entry> entries;
    int count = 0;
    BOOL more = finder.FindFile(pattern);
    while (more)
    {
        more = finder.FindNextFile();
        ++count;
        entries[static_cast<const char*>(finder.GetFileName())] = {
            static_cast<const char*>(finder.GetFilePath()), finder.IsDirectory() != FALSE, finder.IsDots() != FALSE};
    }
    if (advances)
        *advances = count;
    return entries;
}
}

TEST(CFileFind, SeesEveryEntryOnceIncludingDotsAndHidden)
{
    ScratchFolder tree;
    tree.AddFile("a.flv", "1");
    tree.AddFile("noext", "2");
    tree.AddFile("hidden.flv", "3");
    ::SetFileAttributesA(tree.Path("hidden.flv").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    tree.AddFolder("sub");

    CFileFind finder;
    int advances = 0;
    const auto entries = Walk(finder, (tree.Path() + "\\*.*").c_str(), &advances);

    EXPECT_EQ(6, advances);
    const std::set<std::string> names = {".", "..", "a.flv", "noext", "hidden.flv", "sub"};
    ASSERT_EQ(names.size(), entries.size());
    for (const std::string& name : names)
        EXPECT_EQ(1u, entries.count(name)) << name;
    EXPECT_EQ(tree.Path("a.flv"), entries.at("a.flv").path);
    EXPECT_TRUE(entries.at("sub").directory);
    EXPECT_FALSE(entries.at("sub").dots);
    EXPECT_TRUE(entries.at(".").dots);
    EXPECT_TRUE(entries.at("..").dots);
    EXPECT_FALSE(entries.at("a.flv").directory);
    EXPECT_FALSE(entries.at("a.flv").dots);
}

TEST(CFileFind, LastEntryReportsNoFollower)
{
    ScratchFolder tree;
    tree.AddFile("only.txt", "x");
    CFileFind finder;
    ASSERT_TRUE(finder.FindFile((tree.Path() + "\\only.txt").c_str()));
    EXPECT_FALSE(finder.FindNextFile());
    EXPECT_STREQ("only.txt", finder.GetFileName());
    // Past the end the search stays on its last entry and says so again.
    EXPECT_FALSE(finder.FindNextFile());
    EXPECT_STREQ("only.txt", finder.GetFileName());
}

TEST(CFileFind, NothingFoundAndClosedSearchesGiveNoEntry)
{
    ScratchFolder tree;
    CFileFind finder;
    EXPECT_FALSE(finder.FindFile((tree.Path() + "\\missing\\*.*").c_str()));
    EXPECT_FALSE(finder.FindNextFile());
    EXPECT_STREQ("", finder.GetFileName());
    EXPECT_STREQ("", finder.GetFilePath());
    EXPECT_FALSE(finder.IsDirectory());

    ASSERT_TRUE(finder.FindFile((tree.Path() + "\\*.*").c_str()));
    finder.FindNextFile();
    finder.Close();
    EXPECT_FALSE(finder.FindNextFile());
    EXPECT_STREQ("", finder.GetFilePath());
    finder.Close();
}

TEST(CFileFind, FilePathIsAbsoluteWithOneSeparator)
{
    ScratchFolder tree;
    tree.AddFile("sub\\视频.flv", "v");
    const std::string expected = tree.Path("sub\\视频.flv");

    struct Case { std::string pattern; };
    const Case cases[] = {
        {tree.Path() + "\\sub\\*.flv"},
        {tree.Path() + "\\sub\\\\*.flv"},
        {tree.Path() + "/sub/*.flv"},
        {tree.Path() + "\\sub\\..\\sub\\*.flv"},
    };
    for (const Case& c : cases)
    {
        CFileFind finder;
        ASSERT_TRUE(finder.FindFile(c.pattern.c_str())) << c.pattern;
        finder.FindNextFile();
        EXPECT_EQ(expected, std::string(finder.GetFilePath())) << c.pattern;
    }

    // A relative pattern is taken from the current folder.
    char saved[MAX_PATH];
    ::GetCurrentDirectoryA(MAX_PATH, saved);
    ::SetCurrentDirectoryA(tree.Path("sub").c_str());
    CFileFind finder;
    ASSERT_TRUE(finder.FindFile("*.flv"));
    finder.FindNextFile();
    EXPECT_EQ(expected, std::string(finder.GetFilePath()));
    finder.Close();
    ::SetCurrentDirectoryA(saved);
}

TEST(CFileFind, DriveRootPathsHaveNoDoubleSeparator)
{
    CFileFind finder;
    ASSERT_TRUE(finder.FindFile("C:\\*.*"));
    finder.FindNextFile();
    const std::string path(finder.GetFilePath());
    EXPECT_EQ("C:\\" + std::string(finder.GetFileName()), path);
}

TEST(CFileFind, FolderEndingInTrailByteBackslashIsAFolderName)
{
    // "禱" is 0xB6 0x5C: its second byte is a backslash byte, yet the folder
    // name does not end in a separator.
    ScratchFolder tree;
    tree.AddFile("祈禱\\a.flv", "a");
    CFileFind finder;
    ASSERT_TRUE(finder.FindFile((tree.Path() + "\\祈禱\\*.flv").c_str()));
    finder.FindNextFile();
    EXPECT_EQ(tree.Path("祈禱\\a.flv"), std::string(finder.GetFilePath()));
}

TEST(CFileFind, NamesOutsideTheCodePageStayReachable)
{
    // Hangul is not in code page 936. Such a name shows a '?' for each
    // character, and the entry is reached through its wide name or its
    // short one; a name the code page spells is its own ANSI name.
    ScratchFolder tree;
    tree.AddFile(L"동영상.flv", "h");
    tree.AddFolder(L"폴더");
    tree.AddFile("视频.flv", "c");
    tree.AddFile("a.flv", "a");
    struct Row { const char* seen; bool inCodePage; bool directory; };
    const std::map<std::wstring, Row> rows = {
        {L"동영상.flv", {"???.flv", false, false}},
        {L"폴더", {"??", false, true}},
        {L"视频.flv", {"视频.flv", true, false}},
        {L"a.flv", {"a.flv", true, false}},
    };

    CFileFind finder;
    std::set<std::wstring> seen;
    BOOL more = finder.FindFile((tree.Path() + "\\*.*").c_str());
    while (more)
    {
        more = finder.FindNextFile();
        if (finder.IsDots())
            continue;
        const std::wstring name = finder.GetFileNameW();
        ASSERT_EQ(1u, rows.count(name));
        const Row& row = rows.at(name);
        seen.insert(name);
        EXPECT_STREQ(row.seen, finder.GetFileName());
        EXPECT_EQ(row.inCodePage, finder.IsNameInCodePage() != FALSE) << row.seen;
        EXPECT_EQ(CString(tree.Path().c_str()).ToWide() + L"\\" + name, finder.GetFilePathW()) << row.seen;
        const DWORD wideAttributes = ::GetFileAttributesW(finder.GetFilePathW().c_str());
        EXPECT_EQ(row.directory, wideAttributes != INVALID_FILE_ATTRIBUTES && (wideAttributes & FILE_ATTRIBUTE_DIRECTORY));
        if (!row.inCodePage)
        {
            // The short name leads to this very entry through the ANSI calls.
            wchar_t longPath[MAX_PATH] = L"";
            ASSERT_FALSE(finder.GetShortFilePath().IsEmpty()) << row.seen;
            ::GetLongPathNameW(CString(finder.GetShortFilePath()).ToWide().c_str(), longPath, MAX_PATH);
            EXPECT_EQ(finder.GetFilePathW(), std::wstring(longPath)) << row.seen;
        }
    }
    EXPECT_EQ(rows.size(), seen.size());
}
