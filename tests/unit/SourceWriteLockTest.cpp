#include "SourceWriteLock.h"
#include "ScratchFolder.h"

#include <gtest/gtest.h>

#include <string>

// The lock is what keeps a copy from truncating its own source. Wine's own
// CopyFile happens to refuse such a copy anyway, so the walk's results alone
// cannot show the lock at work; this shows what it refuses and what not.
TEST(SourceWriteLock, RefusesWritersUnderEveryNameWhileHeld)
{
    ScratchFolder tree;
    tree.AddFile("cache\\a.flv", "content");
    tree.AddFolder("dest");
    ASSERT_TRUE(::CreateHardLinkA(tree.Path("dest\\linked.flv").c_str(), tree.Path("cache\\a.flv").c_str(), nullptr));
    char shortPath[MAX_PATH] = "";
    ASSERT_NE(0u, ::GetShortPathNameA(tree.Path("cache\\a.flv").c_str(), shortPath, MAX_PATH));

    const std::string names[] = {
        tree.Path("cache\\a.flv"),
        tree.Path("CACHE\\A.FLV"),
        tree.Path("dest\\..\\cache\\a.flv"),
        shortPath,
        tree.Path("dest\\linked.flv"),
    };
    {
        const SourceWriteLock lock(CString(tree.Path("cache\\a.flv").c_str()));
        ASSERT_TRUE(lock.IsHeld());
        for (const std::string& name : names)
        {
            HANDLE writer = ::CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
            EXPECT_EQ(INVALID_HANDLE_VALUE, writer) << name;
            EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), ::GetLastError()) << name;
            if (writer != INVALID_HANDLE_VALUE)
                ::CloseHandle(writer);
        }
        // The copy itself still reads the source.
        EXPECT_TRUE(::CopyFileA(tree.Path("cache\\a.flv").c_str(), tree.Path("dest\\copy.flv").c_str(), FALSE));
    }
    EXPECT_EQ("content", ScratchFolder::ReadAll(tree.Path("cache\\a.flv")));
    EXPECT_EQ("content", ScratchFolder::ReadAll(tree.Path("dest\\copy.flv")));

    // Released, the file can be written again.
    HANDLE writer = ::CreateFileA(tree.Path("dest\\linked.flv").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, writer);
    ::CloseHandle(writer);
}

TEST(SourceWriteLock, TakesWideNamesToo)
{
    ScratchFolder tree;
    tree.AddFile(L"동영상.flv", "content");
    const std::wstring source = CString(tree.Path().c_str()).ToWide() + L"\\동영상.flv";
    const SourceWriteLock lock(source);
    ASSERT_TRUE(lock.IsHeld());
    HANDLE writer = ::CreateFileW(source.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_EQ(INVALID_HANDLE_VALUE, writer);
    if (writer != INVALID_HANDLE_VALUE)
        ::CloseHandle(writer);
    EXPECT_EQ("content", ScratchFolder::ReadAll(source));
}

TEST(SourceWriteLock, IsNotHeldWhereItCannotBe)
{
    ScratchFolder tree;
    tree.AddFile("written.flv", "being written");
    // Someone who writes the file and lets others read and write it too,
    // as a browser filling its cache may.
    HANDLE writer = ::CreateFileA(tree.Path("written.flv").c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, writer);
    EXPECT_FALSE(SourceWriteLock(CString(tree.Path("written.flv").c_str())).IsHeld());
    ::CloseHandle(writer);

    EXPECT_FALSE(SourceWriteLock(CString(tree.Path("missing.flv").c_str())).IsHeld());
}
