// The main dialog as a person meets it: what it shows at first, the two
// input checks of "提取", and the ways to leave it.
#include "CloseDialog.h"
#include "ProgramUnderTest.h"
#include "ScratchFolder.h"

#include "resource.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(MainDialog, FirstDisplay)
{
    ProgramUnderTest program;
    ASSERT_TRUE(program.Start());

    EXPECT_EQ("flv", program.ItemText(IDC_FILE_TYPE));
    const std::vector<std::string> sorted = {"avi", "flv", "jpg", "mid", "mp3", "mp4",
                                             "png", "rm",  "rmvb", "swf", "wmv"};
    EXPECT_EQ(sorted, program.ComboItems());
    DWORD_PTR selection = 0;
    ASSERT_TRUE(::SendMessageTimeoutA(program.Item(IDC_FILE_TYPE), CB_GETCURSEL, 0, 0, SMTO_NORMAL, 5000, &selection));
    EXPECT_EQ(1u, selection);

    HWND path = program.Item(IDC_SAVE_PATH);
    EXPECT_EQ("", program.TextOf(path));
    EXPECT_TRUE(::GetWindowLongA(path, GWL_STYLE) & ES_READONLY);

    EXPECT_EQ(kIdleGroupCaption, ProgramUnderTest::StoredText(program.Item(IDC_SETTINGS_GROUP)));
    EXPECT_TRUE(::IsWindowEnabled(program.Item(IDC_BROWSE)));
    EXPECT_TRUE(::IsWindowEnabled(program.Item(IDC_EXTRACT)));

    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    ASSERT_TRUE(::GetGUIThreadInfo(program.UiThreadId(), &gui)) << "error " << ::GetLastError();
    HWND combo = program.Item(IDC_FILE_TYPE);
    EXPECT_TRUE(gui.hwndFocus == program.ComboEdit() || gui.hwndFocus == combo)
        << "the focus is on the window with control id " << ::GetDlgCtrlID(gui.hwndFocus);
}

namespace
{
struct InputCheckCase
{
    const char* title;
    bool clearType;
    bool choosePath;
    const char* message;
};

void PrintTo(const InputCheckCase& c, std::ostream* out)
{
    *out << c.title;
}

class InputChecks : public ::testing::TestWithParam<InputCheckCase>
{
};
}

// With both fields missing only the first check speaks; whichever check
// speaks, the dialog stays usable afterwards.
TEST_P(InputChecks, ExtractRefusesMissingInput)
{
    const InputCheckCase& c = GetParam();
    ScratchFolder destination(ScratchFolder::InTemp("输入检查"));
    ProgramUnderTest program;
    ASSERT_TRUE(program.Start());

    if (c.choosePath)
    {
        ASSERT_TRUE(program.ChooseFolder(destination.Path()));
        ASSERT_NE("", program.ItemText(IDC_SAVE_PATH));
    }
    // Cleared after browsing, since browsing writes the type back.
    if (c.clearType)
        program.SetComboText("");

    program.Click(IDC_EXTRACT);
    HWND box = program.WaitForMessageBox();
    ASSERT_TRUE(box) << "no message box";
    EXPECT_EQ(c.message, ProgramUnderTest::MessageBoxText(box));
    EXPECT_EQ(program.Dialog(), ::GetWindow(box, GW_OWNER));
    EXPECT_TRUE(::GetDlgItem(box, IDOK));
    EXPECT_FALSE(::GetDlgItem(box, IDCANCEL));
    ASSERT_TRUE(ProgramUnderTest::Answer(box, IDOK));

    // A second box would come at once, before the thread pumps again.
    EXPECT_TRUE(program.IsIdle());
    EXPECT_FALSE(program.FindMessageBox());

    // The check did not touch the fields: the same click gives the same box.
    program.Click(IDC_EXTRACT);
    box = program.WaitForMessageBox();
    ASSERT_TRUE(box) << "no message box on the second click";
    EXPECT_EQ(c.message, ProgramUnderTest::MessageBoxText(box));
    ASSERT_TRUE(ProgramUnderTest::Answer(box, IDOK));
    EXPECT_TRUE(program.IsIdle());
}

INSTANTIATE_TEST_SUITE_P(
    MainDialog, InputChecks,
    ::testing::Values(InputCheckCase{"NoTypeNoPath", true, false, "请选择或输入文件类型"},
                      InputCheckCase{"TypeNoPath", false, false, "请选择保存路径"},
                      InputCheckCase{"NoTypeWithPath", true, true, "请选择或输入文件类型"}),
    [](const ::testing::TestParamInfo<InputCheckCase>& info) { return std::string(info.param.title); });

namespace
{
enum class Leave
{
    CloseBox,
    AltF4,
    CloseMessage,
    Escape,
    Enter,
};

struct LeaveCase
{
    const char* title;
    Leave how;
};

void PrintTo(const LeaveCase& c, std::ostream* out)
{
    *out << c.title;
}

class Leaving : public ::testing::TestWithParam<LeaveCase>
{
};

}

TEST_P(Leaving, EndsTheProgram)
{
    ProgramUnderTest program;
    ASSERT_TRUE(program.Start());

    const DWORD asked = ::GetTickCount();
    switch (GetParam().how)
    {
    case Leave::CloseBox:
        ::PostMessageA(program.Dialog(), WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
    case Leave::AltF4:
    {
        // The system's translation of Alt+F4 into the close command happens
        // in the default handling of WM_SYSKEYDOWN of the focused window.
        HWND edit = program.ComboEdit();
        ASSERT_TRUE(edit);
        const UINT scan = ::MapVirtualKeyA(VK_F4, 0);
        ::PostMessageA(edit, WM_SYSKEYDOWN, VK_F4, 1 | (scan << 16) | (KF_ALTDOWN << 16));
        ::PostMessageA(edit, WM_SYSKEYUP, VK_F4, 1 | (scan << 16) | (KF_ALTDOWN << 16) | 0xC0000000u);
        break;
    }
    case Leave::CloseMessage:
        ::PostMessageA(program.Dialog(), WM_CLOSE, 0, 0);
        break;
    case Leave::Escape:
    case Leave::Enter:
    {
        // Keys go to the window with the focus; the dialog's loop turns Esc
        // and Enter there into IDCANCEL and IDOK.
        HWND edit = program.ComboEdit();
        ASSERT_TRUE(edit);
        PressKey(edit, GetParam().how == Leave::Escape ? VK_ESCAPE : VK_RETURN);
        break;
    }
    }

    DWORD exitCode = STILL_ACTIVE;
    ASSERT_TRUE(program.WaitForExit(5000, exitCode));
    // Not a benchmark: the logo's thread is woken from its frame's wait when
    // the dialog goes, so the program ends at once instead of after the up
    // to 5 s that the stop may wait; the bound leaves room for a slow machine.
    EXPECT_LT(::GetTickCount() - asked, 3000u);
    EXPECT_EQ(0u, exitCode);
    EXPECT_TRUE(ProgramUnderTest::TopLevelWindowsOf(program.ProcessId()).empty());
}

INSTANTIATE_TEST_SUITE_P(MainDialog, Leaving,
                         ::testing::Values(LeaveCase{"CloseBox", Leave::CloseBox}, LeaveCase{"AltF4", Leave::AltF4},
                                           LeaveCase{"CloseMessage", Leave::CloseMessage},
                                           LeaveCase{"Escape", Leave::Escape}, LeaveCase{"Enter", Leave::Enter}),
                         [](const ::testing::TestParamInfo<LeaveCase>& info) { return std::string(info.param.title); });
