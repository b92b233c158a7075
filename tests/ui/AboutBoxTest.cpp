// The logo and the About box of the shipped program, as a person meets
// them: the system-menu command and the logo click that open the box, what
// the box shows, that the main dialog waits while it is open, the ways to
// close it, and the logo playing on the screen. What Wine shows only inside
// the program's own process (the system menu, the cursor, the fade) is
// tested in-process among the app tests.
#include "CloseDialog.h"
#include "ProgramUnderTest.h"

#include "resource.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
constexpr char kAboutCaption[] = "关于 Quelt 缓存文件提取器";

std::string ClassOf(HWND window)
{
    char name[64] = "";
    ::GetClassNameA(window, name, sizeof name);
    return name;
}

// The program's About boxes, shown or still opening.
std::vector<HWND> AboutBoxes(const ProgramUnderTest& program)
{
    std::vector<HWND> boxes;
    for (HWND window : ProgramUnderTest::TopLevelWindowsOf(program.ProcessId()))
        if (ClassOf(window) == "#32770" && ProgramUnderTest::StoredText(window) == kAboutCaption)
            boxes.push_back(window);
    return boxes;
}

HWND WaitForAboutBox(const ProgramUnderTest& program, DWORD timeoutMs = ProgramUnderTest::kTimeoutMs)
{
    HWND box = nullptr;
    WaitUntil(
        [&] {
            const std::vector<HWND> boxes = AboutBoxes(program);
            box = boxes.size() == 1 && ::IsWindowVisible(boxes.front()) ? boxes.front() : nullptr;
            return box != nullptr;
        },
        timeoutMs);
    return box;
}

// The logo's rectangle in the main dialog's client coordinates, from the
// control's window.
RECT LogoInClient(const ProgramUnderTest& program)
{
    RECT logo{};
    ::GetWindowRect(program.Item(IDC_LOGO), &logo);
    ::MapWindowPoints(nullptr, program.Dialog(), reinterpret_cast<POINT*>(&logo), 2);
    return logo;
}

void PostClick(HWND dialog, POINT client)
{
    ::PostMessageA(dialog, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(client.x, client.y));
    ::PostMessageA(dialog, WM_LBUTTONUP, 0, MAKELPARAM(client.x, client.y));
}

// A click of the mouse itself, which the system delivers only to a window
// that accepts input; a posted one reaches even a disabled window.
void ClickOnScreen(POINT screen)
{
    ::SetCursorPos(screen.x, screen.y);
    INPUT input[2] = {};
    input[0].type = INPUT_MOUSE;
    input[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    input[1].type = INPUT_MOUSE;
    input[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    ::SendInput(2, input, sizeof(INPUT));
}

// Closes the box as a person would and waits until its window is gone: a
// box that is only hidden still holds the main dialog disabled.
::testing::AssertionResult CloseAboutBox(HWND box, CloseBy how)
{
    PostClose(box, box, how);
    if (!WaitUntil([box] { return !::IsWindow(box); }, ProgramUnderTest::kTimeoutMs))
        return ::testing::AssertionFailure() << "the About box is still there"
                                             << (::IsWindowVisible(box) ? "" : ", hidden");
    return ::testing::AssertionSuccess();
}

enum class Outcome
{
    OpensTheBox,
    Nothing,
    EndsTheProgram,
};

struct CommandCase
{
    const char* title;
    UINT command;
    Outcome outcome;
};

void PrintTo(const CommandCase& c, std::ostream* out)
{
    *out << c.title;
}

class SystemCommand : public ::testing::TestWithParam<CommandCase>
{
};
}

// The menu item is 0x0010; the low four bits of a system command are the
// system's own, so 0x0011 to 0x001F are the same command.
TEST_P(SystemCommand, OpensTheAboutBoxForItsOwnIdsOnly)
{
    const CommandCase& c = GetParam();
    ProgramUnderTest program;
    ASSERT_TRUE(program.Start());

    ::PostMessageA(program.Dialog(), WM_SYSCOMMAND, c.command, 0);
    switch (c.outcome)
    {
    case Outcome::OpensTheBox:
    {
        HWND box = WaitForAboutBox(program);
        ASSERT_TRUE(box) << "no About box";
        EXPECT_EQ(program.Dialog(), ::GetWindow(box, GW_OWNER));
        EXPECT_FALSE(::IsWindowEnabled(program.Dialog()));
        ASSERT_TRUE(CloseAboutBox(box, CloseBy::Escape));
        EXPECT_TRUE(program.IsIdle());
        break;
    }
    case Outcome::Nothing:
        ASSERT_TRUE(program.Settle());
        EXPECT_TRUE(AboutBoxes(program).empty());
        EXPECT_TRUE(program.IsIdle());
        break;
    case Outcome::EndsTheProgram:
    {
        DWORD exitCode = STILL_ACTIVE;
        ASSERT_TRUE(program.WaitForExit(5000, exitCode));
        EXPECT_EQ(0u, exitCode);
        break;
    }
    }
}

INSTANTIATE_TEST_SUITE_P(AboutBox, SystemCommand,
                         ::testing::Values(CommandCase{"About", IDM_ABOUT, Outcome::OpensTheBox},
                                           CommandCase{"AboutLowBitsSet", 0x0011, Outcome::OpensTheBox},
                                           CommandCase{"AboutAllLowBitsSet", 0x001F, Outcome::OpensTheBox},
                                           CommandCase{"NextCommand", 0x0020, Outcome::Nothing},
                                           CommandCase{"Close", SC_CLOSE, Outcome::EndsTheProgram}),
                         [](const ::testing::TestParamInfo<CommandCase>& info) { return std::string(info.param.title); });

namespace
{
enum class Spot
{
    LogoTopLeft,
    LogoCentre,
    LogoBottomRightInside,
    LogoRightBorder,
    LogoBottomBorder,
    LeftOfLogo,
    AboveLogo,
    Elsewhere,
};

POINT PointAt(Spot spot, const RECT& logo)
{
    const LONG midX = (logo.left + logo.right) / 2;
    const LONG midY = (logo.top + logo.bottom) / 2;
    switch (spot)
    {
    case Spot::LogoTopLeft:
        return {logo.left, logo.top};
    case Spot::LogoCentre:
        return {midX, midY};
    case Spot::LogoBottomRightInside:
        return {logo.right - 1, logo.bottom - 1};
    case Spot::LogoRightBorder:
        return {logo.right, midY};
    case Spot::LogoBottomBorder:
        return {midX, logo.bottom};
    case Spot::LeftOfLogo:
        return {logo.left - 1, midY};
    case Spot::AboveLogo:
        return {midX, logo.top - 1};
    case Spot::Elsewhere:
        return {10, 10};
    }
    return {0, 0};
}

struct ClickCase
{
    const char* title;
    Spot spot;
    bool opens;
};

void PrintTo(const ClickCase& c, std::ostream* out)
{
    *out << c.title;
}

class LogoClick : public ::testing::TestWithParam<ClickCase>
{
};
}

// The logo static does not take clicks itself; the dialog tests its own
// mouse points against the logo's rectangle, whose right and bottom lines
// lie outside it.
TEST_P(LogoClick, OpensTheAboutBoxOnlyInsideTheLogo)
{
    const ClickCase& c = GetParam();
    ProgramUnderTest program;
    ASSERT_TRUE(program.Start());

    PostClick(program.Dialog(), PointAt(c.spot, LogoInClient(program)));
    ASSERT_TRUE(program.Settle());
    if (!c.opens)
    {
        EXPECT_TRUE(AboutBoxes(program).empty()) << "an About box opened";
        EXPECT_TRUE(program.IsIdle());
        return;
    }
    HWND box = WaitForAboutBox(program);
    ASSERT_TRUE(box) << "no About box";
    EXPECT_FALSE(::IsWindowEnabled(program.Dialog()));
    ASSERT_TRUE(CloseAboutBox(box, CloseBy::Escape));
    EXPECT_TRUE(program.IsIdle());
}

INSTANTIATE_TEST_SUITE_P(AboutBox, LogoClick,
                         ::testing::Values(ClickCase{"LogoTopLeft", Spot::LogoTopLeft, true},
                                           ClickCase{"LogoCentre", Spot::LogoCentre, true},
                                           ClickCase{"LogoBottomRightInside", Spot::LogoBottomRightInside, true},
                                           ClickCase{"LogoRightBorder", Spot::LogoRightBorder, false},
                                           ClickCase{"LogoBottomBorder", Spot::LogoBottomBorder, false},
                                           ClickCase{"LeftOfLogo", Spot::LeftOfLogo, false},
                                           ClickCase{"AboveLogo", Spot::AboveLogo, false},
                                           ClickCase{"Elsewhere", Spot::Elsewhere, false}),
                         [](const ::testing::TestParamInfo<ClickCase>& info) { return std::string(info.param.title); });

namespace
{
BOOL CALLBACK CollectChild(HWND child, LPARAM context)
{
    reinterpret_cast<std::vector<HWND>*>(context)->push_back(child);
    return TRUE;
}
}

TEST(AboutBox, ShowsNameVersionAndAuthor)
{
    ProgramUnderTest program;
    ASSERT_TRUE(program.Start());
    ::PostMessageA(program.Dialog(), WM_SYSCOMMAND, IDM_ABOUT, 0);
    HWND box = WaitForAboutBox(program);
    ASSERT_TRUE(box) << "no About box";

    EXPECT_EQ(program.Dialog(), ::GetWindow(box, GW_OWNER));
    EXPECT_FALSE(::GetDlgItem(box, IDOK)) << "the box has an OK button";
    EXPECT_FALSE(::GetDlgItem(box, IDCANCEL)) << "the box has a Cancel button";

    // The system centres it over the main dialog.
    RECT main{};
    RECT about{};
    ::GetWindowRect(program.Dialog(), &main);
    ::GetWindowRect(box, &about);
    EXPECT_NEAR((main.left + main.right) / 2, (about.left + about.right) / 2, 1);
    EXPECT_NEAR((main.top + main.bottom) / 2, (about.top + about.bottom) / 2, 1);

    std::vector<HWND> children;
    ::EnumChildWindows(box, &CollectChild, reinterpret_cast<LPARAM>(&children));
    ASSERT_EQ(5u, children.size());
    // The colons are full-width.
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Static", ""},
        {"Static", "Quelt 缓存文件提取器 1.0 版"},
        {"Static", "作者：Quelt"},
        {"Button", ""},
        {"Static", "邮箱：qt@example.com"},
    };
    for (size_t i = 0; i < children.size(); ++i)
    {
        EXPECT_EQ(expected[i].first, ClassOf(children[i])) << "control " << i + 1;
        EXPECT_TRUE(::IsWindowVisible(children[i])) << "control " << i + 1;
        // The first is the icon, whose text is no text to read.
        if (i > 0)
        {
            EXPECT_EQ(expected[i].second, ProgramUnderTest::TextOf(children[i])) << "control " << i + 1;
        }
    }
    DWORD_PTR icon = 0;
    ASSERT_TRUE(::SendMessageTimeoutA(children[0], STM_GETICON, 0, 0, SMTO_NORMAL, 5000, &icon));
    EXPECT_TRUE(icon) << "the box shows no icon";

    ASSERT_TRUE(CloseAboutBox(box, CloseBy::Escape));
    EXPECT_TRUE(program.IsIdle());
}

TEST(AboutBox, MainDialogIgnoresClicksWhileTheBoxIsOpen)
{
    ProgramUnderTest program;
    ASSERT_TRUE(program.Start());

    const RECT logo = LogoInClient(program);
    POINT onLogo = PointAt(Spot::LogoCentre, logo);
    ::ClientToScreen(program.Dialog(), &onLogo);

    HWND hit = ::WindowFromPoint(onLogo);
    ASSERT_TRUE(hit == program.Dialog() || ::IsChild(program.Dialog(), hit)) << "the logo is covered";

    // A click of the mouse on the logo opens the box... Under Wine a click
    // within about half a second of a window opening may do no more than
    // activate the window under it, so a click that opens nothing is
    // repeated for a while.
    HWND box = nullptr;
    for (int click = 0; click < 5 && !box; ++click)
    {
        ClickOnScreen(onLogo);
        box = WaitForAboutBox(program, 300);
    }
    ASSERT_TRUE(box) << "the mouse's clicks on the logo opened no About box";
    EXPECT_FALSE(::IsWindowEnabled(program.Dialog()));

    // ...which sits over the main dialog's middle and may cover the logo: a
    // person would move it aside to click the logo again.
    ::SetWindowPos(box, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ASSERT_TRUE(WaitUntil(
        [&] {
            RECT about{};
            ::GetWindowRect(box, &about);
            return !::PtInRect(&about, onLogo);
        },
        ProgramUnderTest::kTimeoutMs))
        << "the About box cannot be moved off the logo";
    hit = ::WindowFromPoint(onLogo);
    ASSERT_TRUE(hit == program.Dialog() || ::IsChild(program.Dialog(), hit)) << "the logo is still covered";

    // What the system drops cannot be waited for, only given time; the
    // clicks go on for well over Wine's half second: were the main dialog
    // accepting input, a later one would open a second box.
    bool secondBox = false;
    for (int click = 0; click < 5 && !secondBox; ++click)
    {
        ClickOnScreen(onLogo);
        secondBox = WaitUntil([&] { return AboutBoxes(program).size() > 1; }, 300);
    }
    EXPECT_FALSE(secondBox) << "a second About box opened";
    EXPECT_TRUE(::IsWindow(box));
    EXPECT_FALSE(::IsWindowEnabled(program.Dialog()));

    ASSERT_TRUE(CloseAboutBox(box, CloseBy::Escape));
    EXPECT_TRUE(::IsWindowEnabled(program.Dialog()));
    EXPECT_TRUE(program.IsIdle());
}

namespace
{
struct CloseCase
{
    const char* title;
    CloseBy how;
};

void PrintTo(const CloseCase& c, std::ostream* out)
{
    *out << c.title;
}

class AboutBoxClosing : public ::testing::TestWithParam<CloseCase>
{
};

GUITHREADINFO GuiOf(const ProgramUnderTest& program)
{
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    ::GetGUIThreadInfo(program.UiThreadId(), &gui);
    return gui;
}
}

// The close command fades the box first; under Wine that fade is a stub
// that hides at once, so here every way looks alike, and the fade itself is
// checked in-process. The box must end, not only hide, and hand the main
// dialog back as it was: active, the keyboard where it was before.
TEST_P(AboutBoxClosing, EndsTheBoxAndGivesBackTheMainDialog)
{
    ProgramUnderTest program;
    ASSERT_TRUE(program.Start());
    const HWND focus = GuiOf(program).hwndFocus;
    ASSERT_TRUE(focus) << "nothing has the keyboard at first";
    ::PostMessageA(program.Dialog(), WM_SYSCOMMAND, IDM_ABOUT, 0);
    HWND box = WaitForAboutBox(program);
    ASSERT_TRUE(box) << "no About box";

    ASSERT_TRUE(CloseAboutBox(box, GetParam().how));
    EXPECT_TRUE(::IsWindowEnabled(program.Dialog()));
    EXPECT_TRUE(program.IsIdle());
    EXPECT_EQ(WAIT_TIMEOUT, ::WaitForSingleObject(program.Process(), 0)) << "the program ended with the box";
    // Activation settles once the program has handled what closing posted.
    ASSERT_TRUE(program.Settle());
    const GUITHREADINFO gui = GuiOf(program);
    EXPECT_EQ(program.Dialog(), gui.hwndActive) << "the main dialog is left inactive";
    EXPECT_EQ(focus, gui.hwndFocus) << "the keyboard goes nowhere";
}

INSTANTIATE_TEST_SUITE_P(AboutBox, AboutBoxClosing,
                         ::testing::Values(CloseCase{"CloseBox", CloseBy::CloseBox},
                                           CloseCase{"CloseMessage", CloseBy::CloseMessage},
                                           CloseCase{"AltF4", CloseBy::AltF4}, CloseCase{"Escape", CloseBy::Escape},
                                           CloseCase{"Enter", CloseBy::Enter}),
                         [](const ::testing::TestParamInfo<CloseCase>& info) { return std::string(info.param.title); });

namespace
{
// The pixels of a part of the screen, as a person sees them.
std::vector<DWORD> CaptureScreen(const RECT& area)
{
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    std::vector<DWORD> pixels(static_cast<size_t>(width) * height);
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (memory && bitmap)
    {
        HGDIOBJ previous = ::SelectObject(memory, bitmap);
        ::BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
        ::GdiFlush();
        const DWORD* first = static_cast<const DWORD*>(bits);
        pixels.assign(first, first + pixels.size());
        ::SelectObject(memory, previous);
    }
    if (bitmap)
        ::DeleteObject(bitmap);
    if (memory)
        ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return pixels;
}
}

TEST(Logo, IsSixtyFourPixelsSquareAndPlays)
{
    ProgramUnderTest program;
    ASSERT_TRUE(program.Start());

    RECT logo{};
    ASSERT_TRUE(::GetWindowRect(program.Item(IDC_LOGO), &logo));
    EXPECT_EQ(64, logo.right - logo.left);
    EXPECT_EQ(64, logo.bottom - logo.top);

    // One cycle of the logo's frames lasts about 1.5 s.
    std::vector<std::vector<DWORD>> captures;
    for (int i = 0; i < 10; ++i)
    {
        captures.push_back(CaptureScreen(logo));
        ::Sleep(150);
    }
    int differing = 0;
    for (const auto& capture : captures)
        differing += capture != captures.front();
    EXPECT_GT(differing, 0) << "the logo stands still";
    EXPECT_TRUE(program.IsIdle());
}
