#include "ExtractCacheFiles.h"
#include "ScratchFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace
{
using Files = std::map<std::string, std::string>;

struct WalkCase
{
    const char* title;
    Files cache;           // relative path in the cache -> content
    const char* fileType;
    Files expected;        // name in the destination -> content
};

// Gives the target the source's creation, access and write times.
void CopyTimes(const std::string& source, const std::string& target)
{
    WIN32_FILE_ATTRIBUTE_DATA times;
    ASSERT_TRUE(::GetFileAttributesExA(source.c_str(), GetFileExInfoStandard, &times));
    HANDLE file = ::CreateFileA(target.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    EXPECT_TRUE(::SetFileTime(file, &times.ftCreationTime, &times.ftLastAccessTime, &times.ftLastWriteTime));
    ::CloseHandle(file);
    WIN32_FILE_ATTRIBUTE_DATA copied;
    ASSERT_TRUE(::GetFileAttributesExA(target.c_str(), GetFileExInfoStandard, &copied));
    EXPECT_EQ(0, ::CompareFileTime(&times.ftCreationTime, &copied.ftCreationTime));
    EXPECT_EQ(0, ::CompareFileTime(&times.ftLastAccessTime, &copied.ftLastAccessTime));
    EXPECT_EQ(0, ::CompareFileTime(&times.ftLastWriteTime, &copied.ftLastWriteTime));
}

// The names of a folder's entries in the order the directory search
// delivers them.
std::vector<std::string> EnumerationOrder(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    HANDLE search = ::FindFirstFileA((folder + "\\*.*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do
        names.push_back(entry.cFileName);
    while (::FindNextFileA(search, &entry));
    ::FindClose(search);
    return names;
}

int PositionOf(const std::vector<std::string>& names, const std::string& name)
{
    return static_cast<int>(std::find(names.begin(), names.end(), name) - names.begin());
}

std::string Describe(const Files& files)
{
    std::string text;
    for (const auto& file : files)
        text += file.first + "=" + file.second + " ";
    return text;
}
}

TEST(ExtractCacheFiles, CopiesMatchingFilesFlat)
{
    const std::vector<WalkCase> cases = {
        {"every depth lands flat",
         {{"a.flv", "a"}, {"s1\\b.flv", "b"}, {"s1\\s2\\c.FLV", "c"}, {"s1\\s2\\s3\\s4\\d.flv", "d"}, {"s1\\e.txt", "e"}},
         "flv",
         {{"a.flv", "a"}, {"b.flv", "b"}, {"c.FLV", "c"}, {"d.flv", "d"}}},
        {"a plain ending, not an extension",
         {{"x\\a.rm", "1"}, {"y\\B.RM", "2"}, {"firm", "3"}, {"a.rmvb", "4"}},
         "rm",
         {{"a.rm", "1"}, {"B.RM", "2"}, {"firm", "3"}}},
        {"the longer type does not match the shorter ending",
         {{"a.rmvb", "1"}, {"b.rm", "2"}},
         "rmvb",
         {{"a.rmvb", "1"}}},
        {"a type in capitals matches any case",
         {{"a.swf", "1"}, {"B.Swf", "2"}},
         "SWF",
         {{"a.swf", "1"}, {"B.Swf", "2"}}},
        {"names shorter than the type never match, equal ones do",
         {{"swf", "1"}, {"wf", "2"}, {"f", "3"}},
         "swf",
         {{"swf", "1"}}},
        {"a leading dot narrows the match",
         {{"a.flv", "1"}, {"bflv", "2"}},
         ".flv",
         {{"a.flv", "1"}}},
        {"a folder named like the type is walked, not copied",
         {{"clips.flv\\x.flv", "x"}, {"clips.flv\\y.txt", "y"}},
         "flv",
         {{"x.flv", "x"}}},
        {"dots are never descended into and match nothing copyable",
         {{"a.flv", "1"}, {"s\\b.flv", "2"}},
         ".",
         {}},
        {"an empty type matches every file",
         {{"a.txt", "1"}, {"s\\b.bin", "2"}},
         "",
         {{"a.txt", "1"}, {"b.bin", "2"}}},
        {"hidden and system files are copied too",
         {{"h.flv", "h"}},
         "flv",
         {{"h.flv", "h"}}},
        {"Chinese names",
         {{"视频\\电影.flv", "1"}, {"音乐\\歌曲.MP3", "2"}, {"音乐\\歌曲.flv.txt", "3"}},
         "mp3",
         {{"歌曲.MP3", "2"}}},
        // The last four bytes of "视频祌mvb" are the bytes of "rmvb", but its
        // last characters are "祌", "m", "v", "b".
        {"a tail that starts inside a Chinese character does not match",
         {{"视频祌mvb", "1"}, {"片.rmvb", "2"}},
         "rmvb",
         {{"片.rmvb", "2"}}},
        {"a Chinese type",
         {{"a.视频", "1"}, {"b.视屏", "2"}},
         "视频",
         {{"a.视频", "1"}}},
    };

    for (const WalkCase& c : cases)
    {
        ScratchFolder tree;
        for (const auto& file : c.cache)
            tree.AddFile("cache\\" + file.first, file.second);
        if (std::string(c.title) == "hidden and system files are copied too")
            ::SetFileAttributesA(tree.Path("cache\\h.flv").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
        tree.AddFolder("dest");

        ExtractCacheFiles(tree.Path("cache").c_str(), tree.Path("dest").c_str(), c.fileType);

        const Files copied = ScratchFolder::Files(tree.Path("dest"));
        EXPECT_EQ(c.expected, copied) << c.title << ": got " << Describe(copied);
    }
}

TEST(ExtractCacheFiles, SeparatorsAtTheEndsOfFolders)
{
    struct Case { const char* title; const char* folderSuffix; const char* destinationSuffix; };
    const Case cases[] = {
        {"plain", "", ""},
        {"folder ending in a backslash", "\\", ""},
        {"destination ending in a backslash", "", "\\"},
    };
    for (const Case& c : cases)
    {
        ScratchFolder tree;
        tree.AddFile("cache\\a.flv", "a");
        tree.AddFile("cache\\s\\b.flv", "b");
        tree.AddFolder("dest");
        ExtractCacheFiles((tree.Path("cache") + c.folderSuffix).c_str(), (tree.Path("dest") + c.destinationSuffix).c_str(),
                          "flv");
        EXPECT_EQ((Files{{"a.flv", "a"}, {"b.flv", "b"}}), ScratchFolder::Files(tree.Path("dest"))) << c.title;
    }
}

TEST(ExtractCacheFiles, FolderEndingInTrailByteBackslashGetsItsOwnSeparator)
{
    // Taken byte-wise, "祈禱" ends in a backslash; a pattern without the
    // separator would search the parent for "祈禱*.*" instead.
    ScratchFolder tree;
    tree.AddFile("祈禱\\a.flv", "inside");
    tree.AddFile("祈禱x.flv", "beside");
    tree.AddFolder("dest");
    ExtractCacheFiles(tree.Path("祈禱").c_str(), tree.Path("dest").c_str(), "flv");
    EXPECT_EQ((Files{{"a.flv", "inside"}}), ScratchFolder::Files(tree.Path("dest")));
}

TEST(ExtractCacheFiles, ExistingTargetIsReplaced)
{
    // Size and times are what tell a copy apart from its source cheaply; a
    // target that agrees with the source in all of them is still another
    // file, and a stale copy must not survive. Nor must it while somebody
    // else writes the source and lets others read it, as a browser filling
    // its cache may.
    struct Case { const char* title; const char* old; bool sameTimes; bool sourceBeingWritten; };
    const Case cases[] = {
        {"a longer target", "old and longer", false, false},
        {"same size, other times", "old", false, false},
        {"same size and same times", "old", true, false},
        {"a source someone is writing", "old", true, true},
    };
    for (const Case& c : cases)
    {
        ScratchFolder tree;
        tree.AddFile("cache\\a.flv", "new");
        tree.AddFile("dest\\a.flv", c.old);
        if (c.sameTimes)
            CopyTimes(tree.Path("cache\\a.flv"), tree.Path("dest\\a.flv"));
        HANDLE writer = INVALID_HANDLE_VALUE;
        if (c.sourceBeingWritten)
            writer = ::CreateFileA(tree.Path("cache\\a.flv").c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ExtractCacheFiles(tree.Path("cache").c_str(), tree.Path("dest").c_str(), "flv");
        if (writer != INVALID_HANDLE_VALUE)
            ::CloseHandle(writer);
        EXPECT_EQ((Files{{"a.flv", "new"}}), ScratchFolder::Files(tree.Path("dest"))) << c.title;
    }
}

TEST(ExtractCacheFiles, SameNameTwiceKeepsTheOneCopiedLast)
{
    ScratchFolder tree;
    tree.AddFile("cache\\a\\dup.flv", "from a");
    tree.AddFile("cache\\b\\dup.flv", "from b");
    tree.AddFolder("dest");

    // Walk order is the file system's: find which folder it delivers last.
    const std::vector<std::string> order = EnumerationOrder(tree.Path("cache"));
    const std::string last = PositionOf(order, "a") > PositionOf(order, "b") ? "a" : "b";

    ExtractCacheFiles(tree.Path("cache").c_str(), tree.Path("dest").c_str(), "flv");
    EXPECT_EQ((Files{{"dup.flv", "from " + last}}), ScratchFolder::Files(tree.Path("dest")));
}

TEST(ExtractCacheFiles, SubfolderIsWalkedWhereItIsMet)
{
    // Pairs of one name, a file beside a folder and one inside it. Where the
    // search delivers the folder first, a depth-first walk copies the inner
    // file first and the outer one replaces it; a walk that took the files
    // of a level before its folders, or went level by level, would keep the
    // inner one every time. Some file systems deliver entries sorted by name
    // (NTFS, and Wine's view of any), some in the order they were made, some
    // by a hash of the name: the folders' names sort on both sides of the
    // file's, and the pairs are made in both orders.
    ScratchFolder tree;
    const int kPairs = 8;
    auto folderOf = [](int pair) { return (pair % 4 < 2 ? "a" : "z") + std::to_string(pair); };
    for (int pair = 0; pair < kPairs; ++pair)
    {
        const std::string file = "dup" + std::to_string(pair) + ".flv";
        if (pair % 2 == 0)
            tree.AddFile("cache\\" + file, "outer");
        tree.AddFile("cache\\" + folderOf(pair) + "\\" + file, "inner");
        if (pair % 2 == 1)
            tree.AddFile("cache\\" + file, "outer");
    }
    tree.AddFolder("dest");

    const std::vector<std::string> order = EnumerationOrder(tree.Path("cache"));
    Files expected;
    bool folderFirstSomewhere = false;
    for (int pair = 0; pair < kPairs; ++pair)
    {
        const std::string file = "dup" + std::to_string(pair) + ".flv";
        const bool folderFirst = PositionOf(order, folderOf(pair)) < PositionOf(order, file);
        folderFirstSomewhere = folderFirstSomewhere || folderFirst;
        expected[file] = folderFirst ? "outer" : "inner";
    }
    ASSERT_TRUE(folderFirstSomewhere) << "no pair tells a depth-first walk from the others here";

    ExtractCacheFiles(tree.Path("cache").c_str(), tree.Path("dest").c_str(), "flv");
    EXPECT_EQ(expected, ScratchFolder::Files(tree.Path("dest")));
}

TEST(ExtractCacheFiles, NothingHappensWithoutASourceOrADestination)
{
    ScratchFolder tree;
    tree.AddFile("cache\\a.flv", "a");
    tree.AddFolder("dest");

    ExtractCacheFiles(tree.Path("missing").c_str(), tree.Path("dest").c_str(), "flv");
    EXPECT_TRUE(ScratchFolder::Files(tree.Path("dest")).empty());

    // A file given as the folder to walk is not a folder.
    ExtractCacheFiles(tree.Path("cache\\a.flv").c_str(), tree.Path("dest").c_str(), "flv");
    EXPECT_TRUE(ScratchFolder::Files(tree.Path("dest")).empty());

    ExtractCacheFiles(tree.Path("cache").c_str(), tree.Path("no-such-dest").c_str(), "flv");
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(tree.Path("no-such-dest").c_str()));
    EXPECT_EQ((Files{{"a.flv", "a"}}), ScratchFolder::Files(tree.Path("cache")));
}

TEST(ExtractCacheFiles, LockedFileIsSkippedAndTheWalkGoesOn)
{
    ScratchFolder tree;
    tree.AddFile("cache\\a\\locked.flv", "locked");
    tree.AddFile("cache\\b\\free.flv", "free");
    tree.AddFile("cache\\z.flv", "z");
    tree.AddFolder("dest");
    HANDLE lock = ::CreateFileA(tree.Path("cache\\a\\locked.flv").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, lock);

    ExtractCacheFiles(tree.Path("cache").c_str(), tree.Path("dest").c_str(), "flv");
    ::CloseHandle(lock);

    EXPECT_EQ((Files{{"free.flv", "free"}, {"z.flv", "z"}}), ScratchFolder::Files(tree.Path("dest")));
}

TEST(ExtractCacheFiles, CopyOntoItselfLeavesTheFileWhole)
{
    const std::string content(100000, 'q');

    // The destination lies inside the walked tree: the walk meets the
    // copies it made, and copies each onto itself.
    {
        ScratchFolder tree;
        tree.AddFile("cache\\a.flv", content);
        tree.AddFile("cache\\dest\\b.flv", content + "b");
        ExtractCacheFiles(tree.Path("cache").c_str(), tree.Path("cache\\dest").c_str(), "flv");
        EXPECT_EQ((Files{{"a.flv", content}, {"b.flv", content + "b"}}), ScratchFolder::Files(tree.Path("cache\\dest")));
        EXPECT_EQ(content, ScratchFolder::ReadAll(tree.Path("cache\\a.flv")));
    }
    // The destination is the walked folder itself, named another way.
    {
        ScratchFolder tree;
        tree.AddFile("cache\\a.flv", content);
        ExtractCacheFiles(tree.Path("cache").c_str(), tree.Path("cache\\..\\cache\\").c_str(), "flv");
        EXPECT_EQ((Files{{"a.flv", content}}), ScratchFolder::Files(tree.Path("cache")));
    }
    // Two names of one file through a hard link.
    {
        ScratchFolder tree;
        tree.AddFile("cache\\a.flv", content);
        tree.AddFolder("dest");
        ASSERT_TRUE(::CreateHardLinkA(tree.Path("dest\\a.flv").c_str(), tree.Path("cache\\a.flv").c_str(), nullptr));
        ExtractCacheFiles(tree.Path("cache").c_str(), tree.Path("dest").c_str(), "flv");
        EXPECT_EQ(content, ScratchFolder::ReadAll(tree.Path("cache\\a.flv")));
        EXPECT_EQ(content, ScratchFolder::ReadAll(tree.Path("dest\\a.flv")));
    }
}

namespace
{
// The system takes at most MAX_PATH - 1 bytes of path. Names are sized so
// that each case lands exactly on either side of that limit.
std::string Padding(size_t length)
{
    return std::string(length, 'p');
}
}

TEST(ExtractCacheFiles, PathsBeyondTheSystemLimitAreSkipped)
{
    ScratchFolder tree;
    const std::string cache = tree.Path("cache");
    const size_t limit = MAX_PATH - 1;
    ASSERT_LT(cache.size() + 60, limit);

    // A folder whose own path fits but whose search pattern would not.
    const std::string tightName = Padding(limit - cache.size() - 1 - 3);  // pattern: +"\*.*" is 4 bytes
    tree.AddFile("cache\\near.flv", "near");
    // A file whose full path is exactly the limit, and one a byte longer.
    const std::string fitName = Padding(limit - cache.size() - 1 - 4) + ".flv";
    const std::string overName = Padding(limit - cache.size() - 4) + ".flv";
    tree.AddFile("cache\\" + fitName, "fits");

    const std::wstring wideCache = L"\\\\?\\" + std::wstring(cache.begin(), cache.end());
    const std::wstring wideTight = wideCache + L"\\" + std::wstring(tightName.begin(), tightName.end());
    const std::wstring wideOver = wideCache + L"\\" + std::wstring(overName.begin(), overName.end());
    ::CreateDirectoryW(wideTight.c_str(), nullptr);
    ::CloseHandle(::CreateFileW((wideTight + L"\\in.flv").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    HANDLE over = ::CreateFileW(wideOver.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (over == INVALID_HANDLE_VALUE)
        ADD_FAILURE() << "could not make a path past the limit, error " << ::GetLastError();
    ::CloseHandle(over);

    // Targets: a destination deep enough that only short names fit.
    const std::string dest = tree.Path("d\\" + Padding(limit - 8 - tree.Path().size() - 3));
    tree.AddFolder(dest.substr(tree.Path().size() + 1));
    ASSERT_EQ(limit - 8, dest.size());

    ExtractCacheFiles(cache.c_str(), dest.c_str(), "flv");

    // "near.flv" makes a target of limit + 1 bytes; only names up to seven
    // bytes fit after the separator.
    EXPECT_TRUE(ScratchFolder::Files(dest).empty());

    tree.AddFolder("short");
    ExtractCacheFiles(cache.c_str(), tree.Path("short").c_str(), "flv");
    EXPECT_EQ((Files{{"near.flv", "near"}, {fitName, "fits"}}), ScratchFolder::Files(tree.Path("short")));

    ::DeleteFileW((wideTight + L"\\in.flv").c_str());
    ::RemoveDirectoryW(wideTight.c_str());
    ::DeleteFileW(wideOver.c_str());
}

TEST(ExtractCacheFiles, TargetsThatJustFitAreWritten)
{
    ScratchFolder tree;
    tree.AddFile("cache\\a.flv", "a");
    tree.AddFile("cache\\abcd.flv", "abcd");
    const size_t limit = MAX_PATH - 1;
    const std::string dest = tree.Path(Padding(limit - tree.Path().size() - 1 - 6));
    tree.AddFolder(dest.substr(tree.Path().size() + 1));

    ExtractCacheFiles(tree.Path("cache").c_str(), dest.c_str(), "flv");
    // dest + "\a.flv" is exactly the limit; "\abcd.flv" is three bytes over.
    EXPECT_EQ((Files{{"a.flv", "a"}}), ScratchFolder::Files(dest));
}

TEST(ExtractCacheFiles, FolderLinkLoopEnds)
{
    // The test run links C:\quelt-fixtures\loop\back to its own parent
    // folder from the host side, where a symbolic link can be made.
    const char* loop = "C:\\quelt-fixtures\\loop";
    if (::GetFileAttributesA("C:\\quelt-fixtures\\loop\\back\\item.flv") == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "no folder link loop at " << loop;
    ScratchFolder tree;
    tree.AddFolder("dest");
    ExtractCacheFiles(loop, tree.Path("dest").c_str(), "flv");
    EXPECT_EQ((Files{{"item.flv", "in the loop"}}), ScratchFolder::Files(tree.Path("dest")));
}

namespace
{
using WideFiles = std::map<std::wstring, std::string>;

// Every file under a folder, by its path below it, with its content.
WideFiles WideTree(const std::wstring& folder, const std::wstring& prefix = L"")
{
    WideFiles files;
    WIN32_FIND_DATAW entry;
    HANDLE search = ::FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return files;
    do
    {
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        {
            const WideFiles inner = WideTree(folder + L"\\" + name, prefix + name + L"\\");
            files.insert(inner.begin(), inner.end());
        }
        else
            files[prefix + name] = ScratchFolder::ReadAll(folder + L"\\" + name);
    } while (::FindNextFileW(search, &entry));
    ::FindClose(search);
    return files;
}

std::wstring Widen(const std::string& text)
{
    return CString(text.c_str()).ToWide();
}
}

TEST(ExtractCacheFiles, NamesTheCodePageCannotSpellAreCopiedUnderTheirOwnNames)
{
    // Hangul is not in code page 936: the ANSI functions see these names
    // with a '?' in place of each character, and nothing by that name exists.
    const WideFiles cache = {
        {L"동영상.flv", "hangul file"},
        {L"폴더\\a.flv", "in a hangul folder"},
        {L"폴더\\깊은\\b.flv", "two hangul folders down"},
        {L"폴더\\동영상.txt", "another type"},
        {L"폴더\\영상.flv", "hangul in a hangul folder"},
        {L"视频.flv", "chinese"},
        {L"plain.flv", "ascii"},
    };
    const WideFiles copies = {
        {L"동영상.flv", "hangul file"}, {L"a.flv", "in a hangul folder"}, {L"b.flv", "two hangul folders down"},
        {L"视频.flv", "chinese"},      {L"plain.flv", "ascii"},    {L"영상.flv", "hangul in a hangul folder"},
    };
    struct Case
    {
        const char* title;
        const char* destination;  // below the tree
        WideFiles alreadyThere;   // in the destination before the walk
    };
    const Case cases[] = {
        {"into an empty folder", "dest", {}},
        {"over older copies", "dest", {{L"동영상.flv", "old"}, {L"b.flv", "older one"}}},
        // The walk meets its own copies and must leave them whole.
        {"into a folder inside the tree", "cache\\dest", {}},
    };
    for (const Case& c : cases)
    {
        ScratchFolder tree;
        tree.AddFolder("cache");
        tree.AddFolder(c.destination);
        for (const auto& file : cache)
        {
            const size_t slash = file.first.rfind(L'\\');
            if (slash != std::wstring::npos)
            {
                tree.AddFolder(L"cache\\" + file.first.substr(0, file.first.find(L'\\')));
                tree.AddFolder(L"cache\\" + file.first.substr(0, slash));
            }
            tree.AddFile(L"cache\\" + file.first, file.second);
        }
        for (const auto& file : c.alreadyThere)
            tree.AddFile(Widen(c.destination) + L"\\" + file.first, file.second);
        const WideFiles cacheBefore = WideTree(Widen(tree.Path("cache")));

        ExtractCacheFiles(tree.Path("cache").c_str(), tree.Path(c.destination).c_str(), "flv");

        EXPECT_EQ(copies, ScratchFolder::WideFiles(tree.Path(c.destination))) << c.title;
        // Nothing else changed: the cache holds what it held, and its own
        // copies where the destination lies inside it.
        WideFiles cacheAfter = cacheBefore;
        const std::string inside = "cache\\";
        if (std::string(c.destination).compare(0, inside.size(), inside) == 0)
            for (const auto& copy : copies)
                cacheAfter[Widen(c.destination + inside.size()) + L"\\" + copy.first] = copy.second;
        EXPECT_EQ(cacheAfter, WideTree(Widen(tree.Path("cache")))) << c.title;
    }
}
