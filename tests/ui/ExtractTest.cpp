// "提取" from click to completion question: the files that arrive, what the
// dialog shows while its thread is inside the walk, and the two answers.
#include "I386Execution.h"
#include "ProgramUnderTest.h"
#include "ScratchFolder.h"

#include "resource.h"

#include <gtest/gtest.h>

#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <string>

namespace
{
// Written out here rather than taken from the program's sources, so that a
// wrong path there fails this test.
const char kCacheRoot[] = "C:\\Documents and Settings\\Administrator\\Local Settings\\Temporary Internet Files";

using Files = std::map<std::string, std::string>;

// Enough matching files that the walk lasts some hundred milliseconds under
// Wine (about one per file), so that a poll every millisecond or two surely
// sees the dialog inside it; making and removing them costs about as much.
constexpr int kBulkFiles = 400;

std::string BulkName(int i)
{
    char name[32];
    std::snprintf(name, sizeof name, "b%04d.flv", i);
    return name;
}

// Fills the cache: matches at every depth, in any case, with Chinese names,
// inside a folder whose own name matches, and entries that must stay behind.
// Returns what the destination must hold afterwards, besides what was there.
Files FillCache(const ScratchFolder& cache)
{
    const Files matching = {
        {"top.flv", "top"},
        {"Content.IE5\\ABCD1234\\clip[1].flv", "clip"},
        {"Content.IE5\\EFGH5678\\视频[2].FLV", "video"},
        {"Content.IE5\\EFGH5678\\深\\层\\目\\录\\歌曲.Flv", "song"},
        {"clips.flv\\inside.flv", "inside"},
        {"mixed\\MiXeD.fLv", "mixed"},
        {"bare\\flv", "bare"},
    };
    const Files others = {
        {"Content.IE5\\ABCD1234\\page[1].htm", "page"},
        {"Content.IE5\\index.dat", "index"},
        {"clips.flv\\readme.txt", "readme"},
        {"flvx", "x"},
        {"a.flv.txt", "t"},
        {"视频.mp4", "mp4"},
    };
    Files expected;
    for (const auto& file : matching)
    {
        cache.AddFile(file.first, file.second);
        expected[file.first.substr(file.first.rfind('\\') + 1)] = file.second;
    }
    for (const auto& file : others)
        cache.AddFile(file.first, file.second);
    cache.AddFolder("empty.flv");
    for (int i = 0; i < kBulkFiles; ++i)
    {
        const std::string name = BulkName(i);
        cache.AddFile("bulk\\" + std::to_string(i % 10) + "\\" + name, name);
        expected[name] = name;
    }
    return expected;
}

struct ButtonsSeen
{
    bool browseEnabled;
    bool extractEnabled;
};

std::set<DWORD> RunningProcesses()
{
    std::set<DWORD> ids;
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return ids;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32First(snapshot, &entry); more; more = ::Process32Next(snapshot, &entry))
        ids.insert(entry.th32ProcessID);
    ::CloseHandle(snapshot);
    return ids;
}

BOOL CALLBACK CollectVisibleWindow(HWND window, LPARAM context)
{
    if (::IsWindowVisible(window))
        reinterpret_cast<std::set<HWND>*>(context)->insert(window);
    return TRUE;
}

std::set<HWND> VisibleTopLevelWindows()
{
    std::set<HWND> windows;
    ::EnumWindows(&CollectVisibleWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::string LeafOf(const std::string& path)
{
    return path.substr(path.rfind('\\') + 1);
}

// A window that the shell opened for the program, closed again at the end
// of the test whatever its outcome. Its process is ended only when it was
// started after processesBefore was taken: that one the test caused.
class OpenedByShell
{
public:
    OpenedByShell(HWND window, std::set<DWORD> processesBefore)
        : m_window(window), m_processesBefore(std::move(processesBefore))
    {
    }
    ~OpenedByShell()
    {
        if (!m_window)
            return;
        DWORD processId = 0;
        ::GetWindowThreadProcessId(m_window, &processId);
        ::PostMessageA(m_window, WM_CLOSE, 0, 0);
        const HWND window = m_window;
        const bool closed = WaitUntil([window] { return !::IsWindow(window); }, ProgramUnderTest::kTimeoutMs);
        EXPECT_TRUE(closed) << "the shell's window did not close";
        if (m_processesBefore.count(processId))
            return;
        HANDLE process = ::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, processId);
        if (!process)
            return;
        if (::WaitForSingleObject(process, ProgramUnderTest::kTimeoutMs) == WAIT_TIMEOUT)
            ::TerminateProcess(process, 1);
        ::CloseHandle(process);
    }
    OpenedByShell(const OpenedByShell&) = delete;
    OpenedByShell& operator=(const OpenedByShell&) = delete;

private:
    HWND m_window;
    std::set<DWORD> m_processesBefore;
};
}

TEST(Extract, CopiesTheCacheAndAsksWhetherToOpen)
{
    ScratchFolder cache(kCacheRoot);
    const Files copied = FillCache(cache);
    ScratchFolder destination(ScratchFolder::InTemp("提取目标"));
    destination.AddFile("top.flv", "an older copy");
    destination.AddFile("keep.txt", "already there");

    ProgramUnderTest program;
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(program.ChooseFolder(destination.Path()));
    ASSERT_EQ(destination.Path(), program.ItemText(IDC_SAVE_PATH));
    ASSERT_EQ("flv", program.ItemText(IDC_FILE_TYPE));

    HWND group = program.Item(IDC_SETTINGS_GROUP);
    HWND browse = program.Item(IDC_BROWSE);
    HWND extract = program.Item(IDC_EXTRACT);
    program.Click(IDC_EXTRACT);

    // The thread is inside the walk and answers no message: only what the
    // system keeps for each window is read until the question comes.
    std::vector<ButtonsSeen> busy;
    HWND question = nullptr;
    WaitUntil(
        [&] {
            const std::string caption = ProgramUnderTest::StoredText(group);
            if (caption == kBusyGroupCaption)
                busy.push_back({::IsWindowEnabled(browse) != FALSE, ::IsWindowEnabled(extract) != FALSE});
            question = program.FindMessageBox();
            return question != nullptr;
        },
        60000, 1);
    ASSERT_TRUE(question) << "no completion question";
    ASSERT_FALSE(busy.empty()) << "the caption never read \"" << kBusyGroupCaption << "\" during the walk";
    // The buttons go off before the caption changes and come back only after
    // it has changed back, so they are off whenever it reads busy. A sample
    // reads the buttons after the caption: the last one may already catch
    // them back on; the first is checked all the same, as the walk outlasts
    // many samples. The exact order of the changes is checked in-process
    // (app.ExtractorDialog.ExtractionBracketsTheCaptionWithTheButtons).
    const size_t settled = std::max<size_t>(1, busy.size() - 1);
    for (size_t i = 0; i < settled; ++i)
    {
        EXPECT_FALSE(busy[i].browseEnabled) << "sample " << i << " of " << busy.size();
        EXPECT_FALSE(busy[i].extractEnabled) << "sample " << i << " of " << busy.size();
    }

    EXPECT_EQ("提取完成,是否打开文件夹", ProgramUnderTest::MessageBoxText(question));
    EXPECT_EQ(kIdleGroupCaption, ProgramUnderTest::StoredText(group));
    EXPECT_TRUE(::IsWindowEnabled(browse));
    EXPECT_TRUE(::IsWindowEnabled(extract));
    EXPECT_TRUE(::GetDlgItem(question, IDYES) && ::GetDlgItem(question, IDNO));
    EXPECT_EQ(program.Dialog(), ::GetWindow(question, GW_OWNER));

    const std::set<HWND> windowsBefore = VisibleTopLevelWindows();
    ASSERT_TRUE(ProgramUnderTest::Answer(question, IDNO));
    EXPECT_TRUE(program.IsIdle());

    Files expected = copied;
    expected["keep.txt"] = "already there";
    const Files actual = ScratchFolder::Contents(destination.Path());
    EXPECT_EQ(expected.size(), actual.size());
    for (const auto& file : expected)
    {
        auto found = actual.find(file.first);
        if (found == actual.end())
            ADD_FAILURE() << "missing in the destination: " << file.first;
        else
            EXPECT_EQ(file.second, found->second) << file.first;
    }
    for (const auto& file : actual)
        EXPECT_TRUE(expected.count(file.first)) << "unexpected in the destination: " << file.first;

    // No opens no folder. Were it opened, its window would show after about
    // 0.3 s natively and about 2 s under qemu (measured with Yes below): it
    // is given five times that on each.
    std::set<HWND> newWindows;
    WaitUntil(
        [&] {
            for (HWND window : VisibleTopLevelWindows())
                if (!windowsBefore.count(window))
                    newWindows.insert(window);
            return !newWindows.empty();
        },
        ForNativeOrEmulated(1500, 10000));
    for (HWND window : newWindows)
        ADD_FAILURE() << "a new window \"" << ProgramUnderTest::StoredText(window) << "\"";
}

// Nothing to walk is not reported: the question comes all the same, and Yes
// opens the destination in the shell.
TEST(Extract, MissingCacheStillAsksAndYesOpensTheFolder)
{
    ASSERT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(kCacheRoot)) << "a cache folder is left over";
    ScratchFolder destination(ScratchFolder::InTemp("打开目标"));

    ProgramUnderTest program;
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(program.ChooseFolder(destination.Path()));
    program.Click(IDC_EXTRACT);
    HWND question = program.WaitForMessageBox();
    ASSERT_TRUE(question) << "no completion question";
    EXPECT_EQ("提取完成,是否打开文件夹", ProgramUnderTest::MessageBoxText(question));

    const std::set<HWND> windowsBefore = VisibleTopLevelWindows();
    const std::set<DWORD> processesBefore = RunningProcesses();
    ASSERT_TRUE(ProgramUnderTest::Answer(question, IDYES));

    // Wine opens a folder in a file manager window of a new process, which
    // stays until it is closed; its caption names the folder.
    const std::string leaf = LeafOf(destination.Path());
    HWND shell = nullptr;
    WaitUntil(
        [&] {
            for (HWND window : VisibleTopLevelWindows())
            {
                DWORD owner = 0;
                ::GetWindowThreadProcessId(window, &owner);
                if (!windowsBefore.count(window) && owner != program.ProcessId()
                    && ProgramUnderTest::StoredText(window).find(leaf) != std::string::npos)
                    shell = window;
            }
            return shell != nullptr;
        },
        ProgramUnderTest::kTimeoutMs);
    const OpenedByShell opened(shell, processesBefore);
    EXPECT_TRUE(shell) << "no window showing " << leaf << " appeared";
    EXPECT_TRUE(program.IsIdle());
    EXPECT_TRUE(ScratchFolder::Contents(destination.Path()).empty());
}
