// The real main dialog, run in this process: what a second process cannot
// see under Wine (its fields, where the focus and the window are) and the
// exchange between its fields and its controls.
#include "CExtractorDialog.h"
#include "ScratchFolder.h"
#include "ShownDialog.h"

#include "resource.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
class ExtractorProbe : public ShownDialog<CExtractorDialog>
{
public:
    using CExtractorDialog::m_fileType;
    using CExtractorDialog::m_hIcon;
    using CExtractorDialog::m_savePath;
    using CExtractorDialog::m_typeCombo;

    HWND Combo() const { return GetDlgItem(IDC_FILE_TYPE); }
    HWND PathBox() const { return GetDlgItem(IDC_SAVE_PATH); }
    int Selection() const { return static_cast<int>(::SendMessageA(Combo(), CB_GETCURSEL, 0, 0)); }
};

std::string TextOf(HWND window)
{
    return std::string(CString::FromWindowText(window));
}

// Runs the dialog with the check; fails the test when the check never ran.
void RunShown(ExtractorProbe& probe, std::function<void()> check)
{
    probe.whenShown = std::move(check);
    ASSERT_EQ(ExtractorProbe::kChecked, probe.DoModal());
}
}

TEST(ExtractorDialog, OpensReadyForInput)
{
    ExtractorProbe dialog;
    RunShown(dialog, [&] {
        EXPECT_EQ(dialog.Combo(), dialog.m_typeCombo.m_hWnd);
        EXPECT_EQ("flv", TextOf(dialog.Combo()));
        EXPECT_EQ(1, dialog.Selection());
        EXPECT_TRUE(dialog.m_savePath.IsEmpty());
        EXPECT_TRUE(::GetWindowLongA(dialog.PathBox(), GWL_STYLE) & ES_READONLY);

        // The first tab stop, the combo box, takes the focus; typing goes to
        // the edit inside it.
        HWND focus = ::GetFocus();
        EXPECT_TRUE(focus == dialog.Combo() || ::GetParent(focus) == dialog.Combo());

        RECT area;
        ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
        RECT window;
        ::GetWindowRect(dialog.m_hWnd, &window);
        EXPECT_NEAR((area.left + area.right) / 2, (window.left + window.right) / 2, 1);
        EXPECT_NEAR((area.top + area.bottom) / 2, (window.top + window.bottom) / 2, 1);

        HICON icon = ::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAIN_ICON));
        ASSERT_TRUE(icon);
        EXPECT_EQ(icon, dialog.m_hIcon);
        EXPECT_EQ(reinterpret_cast<LRESULT>(icon), ::SendMessageA(dialog.m_hWnd, WM_GETICON, ICON_BIG, 0));
        EXPECT_EQ(reinterpret_cast<LRESULT>(icon), ::SendMessageA(dialog.m_hWnd, WM_GETICON, ICON_SMALL, 0));
        // What the system drags for the minimised dialog.
        EXPECT_EQ(reinterpret_cast<LRESULT>(icon), ::SendMessageA(dialog.m_hWnd, WM_QUERYDRAGICON, 0, 0));
    });
}

namespace
{
struct LoadCase
{
    const char* title;
    const char* fileType;
    const char* shown;
    int selection;  // -2: whatever it was
};

void PrintTo(const LoadCase& c, std::ostream* out)
{
    *out << c.title;
}

class LoadingTheType : public ::testing::TestWithParam<LoadCase>
{
};
}

TEST_P(LoadingTheType, SelectsTheFirstEntryThatBeginsWithIt)
{
    const LoadCase& c = GetParam();
    ExtractorProbe dialog;
    RunShown(dialog, [&] {
        dialog.m_fileType = c.fileType;
        dialog.UpdateData(FALSE);
        EXPECT_EQ(c.shown, TextOf(dialog.Combo()));
        if (c.selection != -2)
        {
            EXPECT_EQ(c.selection, dialog.Selection());
        }
        // Loading leaves the field as it was.
        EXPECT_EQ(c.fileType, std::string(dialog.m_fileType));
    });
}

INSTANTIATE_TEST_SUITE_P(ExtractorDialog, LoadingTheType,
                         ::testing::Values(LoadCase{"Prefix", "mp", "mp3", 4},
                                           LoadCase{"CapitalsPickTheShorterEntry", "RM", "rm", 7},
                                           LoadCase{"WholeLongerEntry", "rmvb", "rmvb", 8},
                                           LoadCase{"MixedCase", "Mp4", "mp4", 5},
                                           LoadCase{"NoEntryBeginsWithIt", "gif", "gif", -2},
                                           LoadCase{"TrailingBlankMatchesNothing", "flv ", "flv ", -2},
                                           LoadCase{"Chinese", "视频", "视频", -2},
                                           // Every entry begins with the empty text; it must not
                                           // turn into the first one. Wine's combo box finds no
                                           // entry for it where Windows' finds "avi", so here
                                           // only the selection shows that fault.
                                           LoadCase{"EmptyStaysEmpty", "", "", CB_ERR}),
                         [](const ::testing::TestParamInfo<LoadCase>& info) { return std::string(info.param.title); });

TEST(ExtractorDialog, SavingTakesTheTextsAsTheyAre)
{
    const char* const texts[] = {" flv ", "SWF", ".flv", "视频", "a\\b"};
    ExtractorProbe dialog;
    RunShown(dialog, [&] {
        for (const char* text : texts)
        {
            ::SetWindowTextA(dialog.Combo(), text);
            ::SetWindowTextA(dialog.PathBox(), text);
            dialog.UpdateData(TRUE);
            EXPECT_EQ(text, std::string(dialog.m_fileType));
            EXPECT_EQ(text, std::string(dialog.m_savePath));
        }

        // A pick from the list counts as the edit text it puts there.
        ::SendMessageA(dialog.Combo(), CB_SETCURSEL, 8, 0);
        dialog.UpdateData(TRUE);
        EXPECT_EQ("rmvb", std::string(dialog.m_fileType));

        dialog.m_savePath = "C:\\保存";
        dialog.UpdateData(FALSE);
        EXPECT_EQ("C:\\保存", TextOf(dialog.PathBox()));
    });
}

namespace
{
// What the three controls that show an extraction see of one, in the order
// they see it, and when the completion question opens.
struct ExtractionSpy
{
    HWND dialog = nullptr;
    HWND browse = nullptr;
    HWND extract = nullptr;
    HWND group = nullptr;
    std::vector<std::string> seen;
};

ExtractionSpy g_spy;

std::string CaptionName(const std::string& caption)
{
    if (caption == "设置")
        return "idle";
    if (caption == "正在提取...")
        return "busy";
    return "other";
}

bool IsQuestion(HWND window)
{
    return window != g_spy.dialog && ::GetWindow(window, GW_OWNER) == g_spy.dialog;
}

// Runs once each message is handled, so the caption is read as it now is.
// The question is answered No at once: Yes would open a shell window.
LRESULT CALLBACK SpyOnExtraction(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* message = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION)
    {
        const HWND window = message->hwnd;
        if (message->message == WM_ENABLE && (window == g_spy.browse || window == g_spy.extract))
            g_spy.seen.push_back(std::string(window == g_spy.browse ? "browse" : "extract")
                                 + (message->wParam ? " on" : " off"));
        else if (message->message == WM_SETTEXT && window == g_spy.group)
            g_spy.seen.push_back("caption " + CaptionName(TextOf(window)));
        else if (message->message == WM_INITDIALOG && IsQuestion(window))
        {
            g_spy.seen.push_back("question");
            ::PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDNO, BN_CLICKED), 0);
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

BOOL CALLBACK EndQuestion(HWND window, LPARAM)
{
    if (IsQuestion(window))
    {
        g_spy.seen.push_back("question left open");
        ::EndDialog(window, IDNO);
    }
    return TRUE;
}

// Ends a question that the spy did not answer, so that the test fails
// instead of hanging in the question's loop.
VOID CALLBACK AnswerLeftOpenQuestion(HWND, UINT, UINT_PTR, DWORD)
{
    ::EnumThreadWindows(::GetCurrentThreadId(), &EndQuestion, 0);
}

class HookGuard
{
public:
    explicit HookGuard(HHOOK hook) : m_hook(hook) {}
    ~HookGuard()
    {
        if (m_hook)
            ::UnhookWindowsHookEx(m_hook);
    }
    HookGuard(const HookGuard&) = delete;
    HookGuard& operator=(const HookGuard&) = delete;
    explicit operator bool() const { return m_hook != nullptr; }

private:
    HHOOK m_hook;
};
}

// The buttons go off before the caption says "正在提取..." and come back
// only after it says "设置" again; the question comes last.
TEST(ExtractorDialog, ExtractionBracketsTheCaptionWithTheButtons)
{
    // Nothing needs to be found: the order is the same for an empty walk.
    ScratchFolder destination;
    g_spy = ExtractionSpy{};
    ExtractorProbe dialog;
    RunShown(dialog, [&] {
        g_spy.dialog = dialog.m_hWnd;
        g_spy.browse = dialog.GetDlgItem(IDC_BROWSE);
        g_spy.extract = dialog.GetDlgItem(IDC_EXTRACT);
        g_spy.group = dialog.GetDlgItem(IDC_SETTINGS_GROUP);
        ::SetWindowTextA(dialog.PathBox(), destination.Path().c_str());

        const HookGuard hook(
            ::SetWindowsHookExA(WH_CALLWNDPROCRET, &SpyOnExtraction, nullptr, ::GetCurrentThreadId()));
        ASSERT_TRUE(hook);
        const UINT_PTR guard = ::SetTimer(nullptr, 0, 10000, &AnswerLeftOpenQuestion);
        ::SendMessageA(dialog.m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_EXTRACT, BN_CLICKED),
                       reinterpret_cast<LPARAM>(g_spy.extract));
        ::KillTimer(nullptr, guard);
    });

    const std::vector<std::string> expected = {
        "browse off", "extract off", "caption busy",  //
        "caption idle", "browse on", "extract on",    //
        "question",
    };
    EXPECT_EQ(expected, g_spy.seen);
}
