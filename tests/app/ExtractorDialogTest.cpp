// The real main dialog, run in this process: what a second process cannot
// see under Wine (its fields, where the focus and the window are) and the
// exchange between its fields and its controls.
#include "CExtractorDialog.h"
#include "ShownDialog.h"

#include "resource.h"

#include <gtest/gtest.h>

#include <string>

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
