// The logo, the About box and the system menu of the real main dialog, run
// in this process for what a second process cannot see under Wine: the
// system menu, the current cursor, the fade (Wine's AnimateWindow is a stub
// that hides at once, so the call itself is what can be checked), the logo's
// thread, and the process's own handles.
#include "CExtractorDialog.h"
#include "CWinApp.h"
#include "CloseDialog.h"
#include "HandleCount.h"
#include "ImportPatch.h"
#include "ShownDialog.h"

#include "resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace
{
const char kAboutCaption[] = "关于 Quelt 缓存文件提取器";

// The logo control's thread handle, which only the control itself may touch.
class LogoAccess : public CAnimatedPicture
{
public:
    static HANDLE ThreadOf(const CAnimatedPicture& logo) { return logo.*(&LogoAccess::m_threadHandle); }
};

class AboutProbe : public ShownDialog<CExtractorDialog>
{
public:
    using CExtractorDialog::m_picture;

    HWND Logo() const { return GetDlgItem(IDC_LOGO); }

    // Worked out from the control's window here, not by the dialog's own
    // code, so that a wrong conversion there shows.
    RECT LogoInClient() const
    {
        RECT logo{};
        ::GetWindowRect(Logo(), &logo);
        ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&logo), 2);
        return logo;
    }

    POINT ToScreen(POINT client) const
    {
        ::ClientToScreen(m_hWnd, &client);
        return client;
    }
};

// The program's application object makes the main dialog the owner of the
// About box, and so disabled while the box is open; a test has none unless
// it makes one.
class MainWindowApp : public CWinApp
{
public:
    explicit MainWindowApp(CWnd* mainWindow) { m_pMainWnd = mainWindow; }
};

void RunShown(AboutProbe& dialog, std::function<void()> check)
{
    MainWindowApp app(&dialog);
    dialog.whenShown = std::move(check);
    ASSERT_EQ(AboutProbe::kChecked, dialog.DoModal());
}

std::string TextOf(HWND window)
{
    return std::string(CString::FromWindowText(window));
}

BOOL CALLBACK CollectAboutBox(HWND window, LPARAM context)
{
    char className[16] = "";
    ::GetClassNameA(window, className, sizeof className);
    if (std::string(className) == "#32770" && ::IsWindowVisible(window) && TextOf(window) == kAboutCaption)
        reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
    return TRUE;
}

std::vector<HWND> OpenAboutBoxes()
{
    std::vector<HWND> boxes;
    ::EnumThreadWindows(::GetCurrentThreadId(), &CollectAboutBox, reinterpret_cast<LPARAM>(&boxes));
    return boxes;
}

// Runs an action on each About box that opens on this thread while the
// watch lives. The box's own modal loop runs the watch (a thread timer), so
// the action runs while the box is open and the code that opened it waits.
// A box still open well after its action is ended by force, which the test
// then sees.
class AboutBoxWatch
{
public:
    explicit AboutBoxWatch(std::function<void(HWND)> onOpen) : m_onOpen(std::move(onOpen))
    {
        s_watch = this;
        m_timer = ::SetTimer(nullptr, 0, USER_TIMER_MINIMUM, &AboutBoxWatch::Tick);
    }
    ~AboutBoxWatch()
    {
        ::KillTimer(nullptr, m_timer);
        s_watch = nullptr;
    }
    AboutBoxWatch(const AboutBoxWatch&) = delete;
    AboutBoxWatch& operator=(const AboutBoxWatch&) = delete;

    int Opened() const { return static_cast<int>(m_boxes.size()); }
    HWND Box() const { return m_boxes.empty() ? nullptr : m_boxes.front(); }
    bool EndedByForce() const { return m_endedByForce; }

private:
    static constexpr DWORD kCloseTimeoutMs = 5000;

    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD)
    {
        if (s_watch)
            s_watch->Look();
    }

    void Look()
    {
        if (m_acting)
            return;
        for (HWND box : OpenAboutBoxes())
        {
            if (std::find(m_boxes.begin(), m_boxes.end(), box) == m_boxes.end())
            {
                m_boxes.push_back(box);
                m_actedAt = ::GetTickCount();
                m_acting = true;
                m_onOpen(box);
                m_acting = false;
            }
        }
        // Shown or only hidden, a box that is still there holds up the code
        // that opened it.
        for (HWND box : m_boxes)
        {
            if (::IsWindow(box) && ::GetTickCount() - m_actedAt > kCloseTimeoutMs)
            {
                m_endedByForce = true;
                ::EndDialog(box, IDABORT);
            }
        }
    }

    static AboutBoxWatch* s_watch;
    std::function<void(HWND)> m_onOpen;
    std::vector<HWND> m_boxes;
    UINT_PTR m_timer = 0;
    DWORD m_actedAt = 0;
    bool m_acting = false;
    bool m_endedByForce = false;
};

AboutBoxWatch* AboutBoxWatch::s_watch = nullptr;

void Close(HWND dialog, CloseBy how)
{
    HWND focus = ::GetFocus();
    if (focus != dialog && !::IsChild(dialog, focus))
        focus = dialog;
    PostClose(dialog, focus, how);
}

// Handles messages that are waiting, for about the given time: the system's
// own answers to a cursor move (WM_SETCURSOR, a mouse move of its own).
void HandleWaitingMessages(DWORD milliseconds)
{
    const DWORD start = ::GetTickCount();
    do
    {
        MSG message;
        while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        {
            ::TranslateMessage(&message);
            ::DispatchMessageA(&message);
        }
        ::Sleep(5);
    } while (::GetTickCount() - start < milliseconds);
}

::testing::AssertionResult SameRect(const RECT& expected, const RECT& actual)
{
    if (::EqualRect(&expected, &actual))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "expected " << expected.left << "," << expected.top << " - "
                                         << expected.right << "," << expected.bottom << ", got " << actual.left << ","
                                         << actual.top << " - " << actual.right << "," << actual.bottom;
}
}

TEST(SystemMenu, EndsWithSeparatorAndAboutItem)
{
    // Wine gives a second process no system menu of another's window, so it
    // is read here.
    AboutProbe dialog;
    RunShown(dialog, [&] {
        HMENU menu = ::GetSystemMenu(dialog.m_hWnd, FALSE);
        ASSERT_TRUE(menu);
        const int count = ::GetMenuItemCount(menu);
        ASSERT_GE(count, 3);

        char text[128] = "";
        MENUITEMINFOA last{};
        last.cbSize = sizeof last;
        last.fMask = MIIM_TYPE | MIIM_ID | MIIM_STATE;
        last.dwTypeData = text;
        last.cch = sizeof text;
        ASSERT_TRUE(::GetMenuItemInfoA(menu, count - 1, TRUE, &last));
        EXPECT_EQ(static_cast<UINT>(MFT_STRING), last.fType);
        EXPECT_EQ(static_cast<UINT>(IDM_ABOUT), last.wID);
        EXPECT_EQ("关于 Quelt 缓存文件提取器(&A)...", std::string(text));
        EXPECT_FALSE(last.fState & (MFS_GRAYED | MFS_DISABLED));

        MENUITEMINFOA before{};
        before.cbSize = sizeof before;
        before.fMask = MIIM_TYPE;
        ASSERT_TRUE(::GetMenuItemInfoA(menu, count - 2, TRUE, &before));
        EXPECT_TRUE(before.fType & MFT_SEPARATOR);

        // Added once, by command id, after the system's own items.
        char byCommand[128] = "";
        EXPECT_GT(::GetMenuStringA(menu, IDM_ABOUT, byCommand, sizeof byCommand, MF_BYCOMMAND), 0);
        EXPECT_EQ("关于 Quelt 缓存文件提取器(&A)...", std::string(byCommand));
        int aboutItems = 0;
        for (int i = 0; i < count; ++i)
            aboutItems += ::GetMenuItemID(menu, i) == IDM_ABOUT;
        EXPECT_EQ(1, aboutItems);
        EXPECT_NE(static_cast<UINT>(-1), ::GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND));
    });
}

namespace
{
struct FadeCall
{
    HWND window;
    DWORD time;
    DWORD flags;
    BOOL visible;
};

std::vector<FadeCall> g_fadeCalls;
BOOL(WINAPI* g_animateWindow)(HWND, DWORD, DWORD) = nullptr;

BOOL WINAPI RecordFade(HWND window, DWORD time, DWORD flags)
{
    g_fadeCalls.push_back({window, time, flags, ::IsWindowVisible(window)});
    return g_animateWindow ? g_animateWindow(window, time, flags) : FALSE;
}

// Records the dialogs' calls of AnimateWindow and passes them on.
class FadeRecorder
{
public:
    FadeRecorder() : m_patch("user32.dll", "AnimateWindow", reinterpret_cast<void*>(&RecordFade))
    {
        g_fadeCalls.clear();
        g_animateWindow = reinterpret_cast<BOOL(WINAPI*)(HWND, DWORD, DWORD)>(m_patch.Original());
    }
    ~FadeRecorder() { g_animateWindow = nullptr; }

    bool Installed() const { return m_patch.Installed(); }
    const std::vector<FadeCall>& Calls() const { return g_fadeCalls; }

private:
    ImportPatch m_patch;
};

struct CloseCase
{
    CloseBy how;
    bool fades;
};

void PrintTo(const CloseCase& c, std::ostream* out)
{
    *out << NameOf(c.how);
}

class ClosingTheAboutBox : public ::testing::TestWithParam<CloseCase>
{
};
}

// Wine's AnimateWindow hides the window at once and returns, so there is
// no fade to see on the screen; what shows the fade is the call: made on the
// box while it is still visible, for 500 ms, blending and hiding.
TEST_P(ClosingTheAboutBox, FadesOnlyByTheCloseCommand)
{
    const CloseCase& c = GetParam();
    FadeRecorder fades;
    // Without a call of AnimateWindow anywhere in the program, the linker
    // leaves out its import too.
    if (c.fades)
    {
        ASSERT_TRUE(fades.Installed()) << "nothing in the program calls AnimateWindow";
    }

    AboutProbe dialog;
    RunShown(dialog, [&] {
        AboutBoxWatch watch([&](HWND box) {
            EXPECT_FALSE(::IsWindowEnabled(dialog.m_hWnd)) << "the main dialog accepts input";
            EXPECT_EQ(dialog.m_hWnd, ::GetWindow(box, GW_OWNER));
            Close(box, c.how);
        });
        ::SendMessageA(dialog.m_hWnd, WM_SYSCOMMAND, IDM_ABOUT, 0);

        ASSERT_EQ(1, watch.Opened());
        EXPECT_FALSE(watch.EndedByForce()) << "the box did not close";
        EXPECT_FALSE(::IsWindow(watch.Box())) << "the box was hidden but not ended";
        EXPECT_TRUE(::IsWindowEnabled(dialog.m_hWnd)) << "the main dialog stays disabled";
        if (c.fades)
        {
            ASSERT_EQ(1u, fades.Calls().size());
            const FadeCall& call = fades.Calls().front();
            EXPECT_EQ(watch.Box(), call.window);
            EXPECT_EQ(500u, call.time);
            EXPECT_EQ(static_cast<DWORD>(AW_BLEND | AW_HIDE), call.flags);
            EXPECT_TRUE(call.visible) << "nothing left to fade";
        }
        else
        {
            EXPECT_TRUE(fades.Calls().empty()) << "closed with a fade";
        }
    });
}

INSTANTIATE_TEST_SUITE_P(AboutBox, ClosingTheAboutBox,
                         ::testing::Values(CloseCase{CloseBy::CloseBox, true}, CloseCase{CloseBy::CloseMessage, true},
                                           CloseCase{CloseBy::AltF4, true}, CloseCase{CloseBy::Escape, false},
                                           CloseCase{CloseBy::Enter, false}),
                         [](const ::testing::TestParamInfo<CloseCase>& info) { return NameOf(info.param.how); });

namespace
{
enum class Spot
{
    LogoTopLeft,
    LogoBottomRightInside,
    LogoRightBorder,
    LogoBottomBorder,
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
    case Spot::LogoBottomRightInside:
        return {logo.right - 1, logo.bottom - 1};
    case Spot::LogoRightBorder:
        return {logo.right, midY};
    case Spot::LogoBottomBorder:
        return {midX, logo.bottom};
    case Spot::Elsewhere:
        return {10, 10};
    }
    return {0, 0};
}

struct CursorCase
{
    const char* title;
    Spot cursor;
    Spot message;
    bool hand;
};

void PrintTo(const CursorCase& c, std::ostream* out)
{
    *out << c.title;
}

class HandCursor : public ::testing::TestWithParam<CursorCase>
{
};

// Puts the cursor at a point of the dialog, lets the system answer the move
// as it does (the class's arrow), then sends the mouse move under test.
// True when the hand is the cursor afterwards.
bool HandAfterMove(const AboutProbe& dialog, POINT cursorInClient, POINT messageInClient)
{
    // Under Wine a motion event of the display from before the move can
    // still arrive and put the cursor back where it was: move until it stays.
    const POINT cursor = dialog.ToScreen(cursorInClient);
    POINT now{};
    const DWORD start = ::GetTickCount();
    do
    {
        ::SetCursorPos(cursor.x, cursor.y);
        HandleWaitingMessages(30);
        ::GetCursorPos(&now);
    } while ((now.x != cursor.x || now.y != cursor.y) && ::GetTickCount() - start < 2000);
    EXPECT_TRUE(now.x == cursor.x && now.y == cursor.y) << "the cursor stays at " << now.x << "," << now.y;

    ::SetCursor(::LoadCursorA(nullptr, IDC_ARROW));
    ::SendMessageA(dialog.m_hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(messageInClient.x, messageInClient.y));
    return ::GetCursor() == ::LoadCursorA(nullptr, IDC_HAND);
}
}

// Cursor handles differ between processes under Wine, so the cursor is
// compared here, on the dialog's own thread. Where the cursor is counts, not
// the point that the message carries.
TEST_P(HandCursor, OnlyOverTheLogo)
{
    const CursorCase& c = GetParam();
    AboutProbe dialog;
    RunShown(dialog, [&] {
        const RECT logo = dialog.LogoInClient();
        EXPECT_EQ(c.hand, HandAfterMove(dialog, PointAt(c.cursor, logo), PointAt(c.message, logo)));
    });
}

INSTANTIATE_TEST_SUITE_P(
    AboutBox, HandCursor,
    ::testing::Values(CursorCase{"LogoTopLeft", Spot::LogoTopLeft, Spot::LogoTopLeft, true},
                      CursorCase{"LogoBottomRightInside", Spot::LogoBottomRightInside, Spot::LogoBottomRightInside, true},
                      CursorCase{"LogoRightBorder", Spot::LogoRightBorder, Spot::LogoRightBorder, false},
                      CursorCase{"LogoBottomBorder", Spot::LogoBottomBorder, Spot::LogoBottomBorder, false},
                      CursorCase{"Elsewhere", Spot::Elsewhere, Spot::Elsewhere, false},
                      CursorCase{"CursorOnLogoMessageElsewhere", Spot::LogoTopLeft, Spot::Elsewhere, true},
                      CursorCase{"CursorElsewhereMessageOnLogo", Spot::Elsewhere, Spot::LogoTopLeft, false}),
    [](const ::testing::TestParamInfo<CursorCase>& info) { return std::string(info.param.title); });

namespace
{
HRSRC(WINAPI* g_findResource)(HMODULE, LPCSTR, LPCSTR) = nullptr;

HRSRC WINAPI FindResourceButTheLogo(HMODULE module, LPCSTR name, LPCSTR type)
{
    if (IS_INTRESOURCE(name) && LOWORD(reinterpret_cast<ULONG_PTR>(name)) == IDR_LOGO_GIF && !IS_INTRESOURCE(type)
        && ::lstrcmpiA(type, "GIF") == 0)
    {
        ::SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    return g_findResource(module, name, type);
}

// The program as if its logo resource were missing. The template comes
// from the same module and the system loads it by its own imports, so only
// the logo's lookup fails.
class LogoResourceMissing
{
public:
    LogoResourceMissing() : m_patch("kernel32.dll", "FindResourceA", reinterpret_cast<void*>(&FindResourceButTheLogo))
    {
        g_findResource = reinterpret_cast<HRSRC(WINAPI*)(HMODULE, LPCSTR, LPCSTR)>(m_patch.Original());
    }
    bool Installed() const { return m_patch.Installed(); }

private:
    ImportPatch m_patch;
};
}

TEST(LogoResourceMissing, HotSpotIsTheTemplateArea)
{
    LogoResourceMissing missing;
    ASSERT_TRUE(missing.Installed()) << "the test executable does not import FindResourceA";

    AboutProbe dialog;
    RunShown(dialog, [&] {
        EXPECT_FALSE(LogoAccess::ThreadOf(dialog.m_picture)) << "a logo plays after all";

        RECT area = {129, 29, 149, 49};
        ASSERT_TRUE(::MapDialogRect(dialog.m_hWnd, &area));
        const RECT logo = dialog.LogoInClient();
        ASSERT_TRUE(SameRect(area, logo));
        // A loaded logo would reach this far; without it the point is out.
        ASSERT_LT(area.right - area.left, 64);
        ASSERT_LT(area.bottom - area.top, 64);

        const struct
        {
            const char* title;
            POINT point;
            bool opens;
        } clicks[] = {
            {"top left corner", {area.left, area.top}, true},
            {"bottom right corner inside", {area.right - 1, area.bottom - 1}, true},
            {"right border line", {area.right, area.top}, false},
            {"bottom border line", {area.left, area.bottom}, false},
            {"where a loaded logo would reach", {area.left + 63, area.top + 63}, false},
        };
        for (const auto& click : clicks)
        {
            AboutBoxWatch watch([](HWND box) { Close(box, CloseBy::Escape); });
            ::SendMessageA(dialog.m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(click.point.x, click.point.y));
            EXPECT_EQ(click.opens ? 1 : 0, watch.Opened()) << click.title;
            EXPECT_FALSE(watch.EndedByForce()) << click.title;
        }

        EXPECT_TRUE(HandAfterMove(dialog, {area.left, area.top}, {area.left, area.top}));
        EXPECT_FALSE(HandAfterMove(dialog, {area.left + 63, area.top + 63}, {area.left + 63, area.top + 63}));
    });
}

namespace
{
// Whether the logo's thread had ended by the time its window was about to
// go: the last message a window gets is WM_NCDESTROY, and a hook on this
// thread sees it before the window procedure does.
struct LogoGoing
{
    HWND logo = nullptr;
    HANDLE thread = nullptr;
    bool seen = false;
    bool windowStillThere = false;
    bool threadEnded = false;
};

LogoGoing g_logoGoing;

LRESULT CALLBACK WatchLogoGoing(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && message->hwnd == g_logoGoing.logo && message->message == WM_NCDESTROY)
    {
        g_logoGoing.seen = true;
        g_logoGoing.windowStillThere = ::IsWindow(message->hwnd) != FALSE;
        g_logoGoing.threadEnded = ::WaitForSingleObject(g_logoGoing.thread, 0) == WAIT_OBJECT_0;
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

struct EndCase
{
    CloseBy how;
    INT_PTR result;
};

void PrintTo(const EndCase& c, std::ostream* out)
{
    *out << NameOf(c.how);
}

class EndingTheMainDialog : public ::testing::TestWithParam<EndCase>
{
};
}

TEST_P(EndingTheMainDialog, StopsTheLogoThreadWhileTheLogoWindowExists)
{
    const EndCase& c = GetParam();
    g_logoGoing = LogoGoing{};
    HHOOK hook = ::SetWindowsHookExA(WH_CALLWNDPROC, &WatchLogoGoing, nullptr, ::GetCurrentThreadId());
    ASSERT_TRUE(hook);

    AboutProbe dialog;
    dialog.endsByItself = true;
    dialog.whenShown = [&] {
        HANDLE running = LogoAccess::ThreadOf(dialog.m_picture);
        ASSERT_TRUE(running) << "the logo does not play";
        // The control closes its own handle when it stops the thread.
        ASSERT_TRUE(::DuplicateHandle(::GetCurrentProcess(), running, ::GetCurrentProcess(), &g_logoGoing.thread,
                                      SYNCHRONIZE, FALSE, 0));
        EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), ::WaitForSingleObject(g_logoGoing.thread, 0));
        g_logoGoing.logo = dialog.Logo();
        Close(dialog.m_hWnd, c.how);
    };
    INT_PTR result;
    {
        MainWindowApp app(&dialog);
        result = dialog.DoModal();
    }
    ::UnhookWindowsHookEx(hook);

    EXPECT_EQ(c.result, result);
    ASSERT_TRUE(g_logoGoing.thread);
    EXPECT_TRUE(g_logoGoing.seen) << "the logo window was not destroyed";
    EXPECT_TRUE(g_logoGoing.windowStillThere);
    EXPECT_TRUE(g_logoGoing.threadEnded) << "the thread outlived the logo window";
    EXPECT_FALSE(LogoAccess::ThreadOf(dialog.m_picture)) << "the stopped thread's handle is kept";
    EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), ::WaitForSingleObject(g_logoGoing.thread, 0));
    ::CloseHandle(g_logoGoing.thread);
}

INSTANTIATE_TEST_SUITE_P(AboutBox, EndingTheMainDialog,
                         ::testing::Values(EndCase{CloseBy::CloseBox, IDCANCEL}, EndCase{CloseBy::CloseMessage, IDCANCEL},
                                           EndCase{CloseBy::AltF4, IDCANCEL}, EndCase{CloseBy::Escape, IDCANCEL},
                                           EndCase{CloseBy::Enter, IDOK}),
                         [](const ::testing::TestParamInfo<EndCase>& info) { return NameOf(info.param.how); });

namespace
{
BOOL CALLBACK CountWindow(HWND, LPARAM context)
{
    ++*reinterpret_cast<int*>(context);
    return TRUE;
}

int ThreadWindowCount()
{
    int count = 0;
    ::EnumThreadWindows(::GetCurrentThreadId(), &CountWindow, reinterpret_cast<LPARAM>(&count));
    return count;
}

// GetGuiResources is a stub under Wine 8 that reports 0 for both kinds, so
// there these counts compare equal whatever happens; on Windows they count.
// The logo's thread makes a brush now and then, so the least of a few reads
// is taken.
DWORD SettledGuiCount(DWORD kind)
{
    DWORD least = ::GetGuiResources(::GetCurrentProcess(), kind);
    for (int i = 0; i < 4; ++i)
    {
        ::Sleep(10);
        least = std::min(least, ::GetGuiResources(::GetCurrentProcess(), kind));
    }
    return least;
}
}

// Every way in and every way out, in turn. Closing by the close command
// fades for half a second on Windows; under Wine it is immediate.
TEST(AboutBox, OpeningAndClosingManyTimesLeavesNothingBehind)
{
    const CloseBy closeWays[] = {CloseBy::Escape, CloseBy::Enter, CloseBy::CloseBox};
    AboutProbe dialog;
    RunShown(dialog, [&] {
        const RECT logo = dialog.LogoInClient();
        auto openAndClose = [&](int round) -> ::testing::AssertionResult {
            const CloseBy closeBy = closeWays[round % 3];
            AboutBoxWatch watch([&](HWND box) { Close(box, closeBy); });
            if (round % 2)
                ::SendMessageA(dialog.m_hWnd, WM_SYSCOMMAND, IDM_ABOUT, 0);
            else
                ::SendMessageA(dialog.m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON,
                               MAKELPARAM((logo.left + logo.right) / 2, (logo.top + logo.bottom) / 2));
            if (watch.Opened() != 1)
                return ::testing::AssertionFailure() << watch.Opened() << " boxes opened";
            if (watch.EndedByForce())
                return ::testing::AssertionFailure() << "the box did not close by " << NameOf(closeBy);
            if (::IsWindow(watch.Box()))
                return ::testing::AssertionFailure() << "the box is still there after " << NameOf(closeBy);
            if (!::IsWindowEnabled(dialog.m_hWnd))
                return ::testing::AssertionFailure() << "the main dialog stays disabled after " << NameOf(closeBy);
            return ::testing::AssertionSuccess();
        };

        // The first opening loads what the system keeps for later ones.
        ASSERT_TRUE(openAndClose(0));
        const long handles = CountOwnHandles();
        ASSERT_GT(handles, 0u);
        const DWORD gdiObjects = SettledGuiCount(GR_GDIOBJECTS);
        const DWORD userObjects = SettledGuiCount(GR_USEROBJECTS);
        const int windows = ThreadWindowCount();

        for (int round = 1; round <= 200; ++round)
            ASSERT_TRUE(openAndClose(round)) << "round " << round;

        EXPECT_EQ(handles, CountOwnHandles());
        EXPECT_EQ(gdiObjects, SettledGuiCount(GR_GDIOBJECTS));
        EXPECT_EQ(userObjects, SettledGuiCount(GR_USEROBJECTS));
        EXPECT_EQ(windows, ThreadWindowCount());
    });
}
