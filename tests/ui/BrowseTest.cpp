// "保存路径": the shell's folder browser, what each way out of it leaves in
// the path box, and how it writes the file type back.
#include "ProgramUnderTest.h"
#include "ScratchFolder.h"

#include "resource.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <string>

namespace
{
struct ChildSearch
{
    const std::string* text;
    bool found;
};

BOOL CALLBACK FindChildWithText(HWND child, LPARAM context)
{
    auto* search = reinterpret_cast<ChildSearch*>(context);
    search->found = ProgramUnderTest::StoredText(child) == *search->text;
    return !search->found;
}

bool HasChildWithText(HWND window, const std::string& text)
{
    ChildSearch search{&text, false};
    ::EnumChildWindows(window, &FindChildWithText, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void ExpectExtractAsksForFolder(ProgramUnderTest& program)
{
    program.Click(IDC_EXTRACT);
    HWND box = program.WaitForMessageBox();
    ASSERT_TRUE(box) << "no message box";
    EXPECT_EQ("请选择保存路径", ProgramUnderTest::MessageBoxText(box));
    ASSERT_TRUE(ProgramUnderTest::Answer(box, IDOK));
    EXPECT_TRUE(program.IsIdle());
}
}

TEST(Browse, ChosenFolderShowsAndCancelEmptiesIt)
{
    ScratchFolder destination(ScratchFolder::InTemp("浏览目标"));
    ProgramUnderTest program;
    ASSERT_TRUE(program.Start());

    program.Click(IDC_BROWSE);
    HWND browser = program.WaitForBrowser();
    ASSERT_TRUE(browser) << "no folder browser appeared";
    EXPECT_TRUE(HasChildWithText(browser, "选择缓存文件接收路径"));
    // The browser has no owner, so the dialog is not disabled behind it.
    EXPECT_EQ(nullptr, ::GetWindow(browser, GW_OWNER));
    EXPECT_TRUE(::IsWindowEnabled(program.Dialog()));
    ASSERT_TRUE(program.SelectInBrowser(browser, destination.Path()));
    ASSERT_TRUE(ProgramUnderTest::CloseBrowser(browser, IDOK));
    EXPECT_TRUE(program.IsIdle());
    EXPECT_EQ(destination.Path(), program.ItemText(IDC_SAVE_PATH));

    program.Click(IDC_BROWSE);
    browser = program.WaitForBrowser();
    ASSERT_TRUE(browser) << "no folder browser appeared the second time";
    ASSERT_TRUE(ProgramUnderTest::CloseBrowser(browser, IDCANCEL));
    EXPECT_TRUE(program.IsIdle());
    EXPECT_EQ("", program.ItemText(IDC_SAVE_PATH));

    ExpectExtractAsksForFolder(program);
}

// A choice with no file-system path (My Computer) must not leave the shell's
// display name, or the previous folder, as the place to copy to. Wine's
// SHGetPathFromIDListA leaves the buffer empty for My Computer, so under Wine
// the display name could not show through here even if the program used it.
TEST(Browse, VirtualFolderGivesNoPath)
{
    ScratchFolder destination(ScratchFolder::InTemp("浏览目标"));
    ProgramUnderTest program;
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(program.ChooseFolder(destination.Path()));
    ASSERT_EQ(destination.Path(), program.ItemText(IDC_SAVE_PATH));

    LPITEMIDLIST myComputer = nullptr;
    ASSERT_EQ(S_OK, ::SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &myComputer));
    program.Click(IDC_BROWSE);
    HWND browser = program.WaitForBrowser();
    ASSERT_TRUE(browser) << "no folder browser appeared";
    const auto selected = program.SelectInBrowser(browser, myComputer);
    ::CoTaskMemFree(myComputer);
    ASSERT_TRUE(selected);
    ASSERT_TRUE(ProgramUnderTest::CloseBrowser(browser, IDOK));
    EXPECT_TRUE(program.IsIdle());
    EXPECT_EQ("", program.ItemText(IDC_SAVE_PATH));

    ExpectExtractAsksForFolder(program);
}

// The browser's loop dispatches the dialog's messages, so "保存路径" works
// while a browser is open and opens another on top.
TEST(Browse, SecondBrowserWhileOneIsOpen)
{
    ScratchFolder destination(ScratchFolder::InTemp("浏览目标"));
    ProgramUnderTest program;
    ASSERT_TRUE(program.Start());

    program.Click(IDC_BROWSE);
    HWND first = program.WaitForBrowser();
    ASSERT_TRUE(first) << "no folder browser appeared";
    program.Click(IDC_BROWSE);
    HWND second = program.WaitForBrowser({first});
    ASSERT_TRUE(second) << "no second folder browser appeared";

    ASSERT_TRUE(ProgramUnderTest::CloseBrowser(second, IDCANCEL));
    ASSERT_TRUE(::IsWindow(first));
    ASSERT_TRUE(program.SelectInBrowser(first, destination.Path()));
    ASSERT_TRUE(ProgramUnderTest::CloseBrowser(first, IDOK));
    EXPECT_TRUE(program.IsIdle());
    EXPECT_EQ(destination.Path(), program.ItemText(IDC_SAVE_PATH));
}

namespace
{
struct LoadingCase
{
    const char* title;
    const char* typed;
    const char* shown;
    int selection;  // kAnySelection: not looked at
};

constexpr int kAnySelection = -2;

void PrintTo(const LoadingCase& c, std::ostream* out)
{
    *out << c.title;
}

class TypeAfterBrowsing : public ::testing::TestWithParam<LoadingCase>
{
};
}

// Browsing saves the typed type and loads it back: a prefix of a list entry
// becomes the first entry that begins with it, any case; other text stays.
TEST_P(TypeAfterBrowsing, FollowsTheLoadingRule)
{
    const LoadingCase& c = GetParam();
    ScratchFolder destination(ScratchFolder::InTemp("浏览目标"));
    ProgramUnderTest program;
    ASSERT_TRUE(program.Start());

    program.SetComboText(c.typed);
    ASSERT_EQ(c.typed, program.ItemText(IDC_FILE_TYPE));
    ASSERT_TRUE(program.ChooseFolder(destination.Path()));
    EXPECT_EQ(c.shown, program.ItemText(IDC_FILE_TYPE));
    EXPECT_EQ(destination.Path(), program.ItemText(IDC_SAVE_PATH));
    if (c.selection != kAnySelection)
    {
        DWORD_PTR selection = 0;
        ASSERT_TRUE(::SendMessageTimeoutA(program.Item(IDC_FILE_TYPE), CB_GETCURSEL, 0, 0, SMTO_NORMAL, 5000,
                                          &selection));
        EXPECT_EQ(c.selection, static_cast<int>(selection));
    }
}

INSTANTIATE_TEST_SUITE_P(Browse, TypeAfterBrowsing,
                         ::testing::Values(LoadingCase{"PrefixOfEntry", "mp", "mp3", 4},
                                           LoadingCase{"CapitalsBeforeLongerEntry", "RM", "rm", 7},
                                           LoadingCase{"NoEntryBeginsWithIt", "gif", "gif", kAnySelection},
                                           // Windows' combo box finds the first entry for the
                                           // empty text, Wine's finds none; so under Wine only
                                           // the selection shows an empty type turned into "avi".
                                           LoadingCase{"EmptyStaysEmpty", "", "", CB_ERR}),
                         [](const ::testing::TestParamInfo<LoadingCase>& info) {
                             return std::string(info.param.title);
                         });
