#include "ProgramUnderTest.h"

#include "resource.h"

#include <commctrl.h>
#include <shlobj.h>

#include <cstring>

namespace
{
// How long one message to the program may take before we call it hung.
constexpr UINT kMessageTimeoutMs = 5000;

std::string ClassOf(HWND window)
{
    char name[64] = "";
    ::GetClassNameA(window, name, sizeof name);
    return name;
}

DWORD ProcessOf(HWND window)
{
    DWORD processId = 0;
    ::GetWindowThreadProcessId(window, &processId);
    return processId;
}

// Sends a message that carries no pointer; false when the program did not
// answer in time.
bool Ask(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR& result)
{
    return ::SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, kMessageTimeoutMs, &result) != 0;
}

// Memory inside the program that a message's pointer argument can name: a
// pointer of ours would mean nothing there.
class RemoteCopy
{
public:
    RemoteCopy(HANDLE process, const void* data, size_t size) : m_process(process)
    {
        m_address = ::VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        SIZE_T written = 0;
        if (m_address && !(::WriteProcessMemory(process, m_address, data, size, &written) && written == size))
        {
            ::VirtualFreeEx(process, m_address, 0, MEM_RELEASE);
            m_address = nullptr;
        }
    }
    ~RemoteCopy()
    {
        if (m_address)
            ::VirtualFreeEx(m_process, m_address, 0, MEM_RELEASE);
    }
    RemoteCopy(const RemoteCopy&) = delete;
    RemoteCopy& operator=(const RemoteCopy&) = delete;

    void* Address() const { return m_address; }

private:
    HANDLE m_process;
    void* m_address = nullptr;
};
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD pollMs)
{
    const DWORD start = ::GetTickCount();
    for (;;)
    {
        if (condition())
            return true;
        if (::GetTickCount() - start >= timeoutMs)
            return condition();
        ::Sleep(pollMs);
    }
}

ProgramUnderTest::~ProgramUnderTest()
{
    End();
}

std::string ProgramUnderTest::ProgramPath()
{
    // QUELT_PROGRAM in the environment drives another build of the program;
    // without it, the one this build was configured with.
    std::string path;
    char fromEnvironment[MAX_PATH] = "";
    const DWORD length = ::GetEnvironmentVariableA("QUELT_PROGRAM", fromEnvironment, MAX_PATH);
    if (length > 0 && length < MAX_PATH)
        path = fromEnvironment;
#ifdef QUELT_PROGRAM_PATH
    if (path.empty())
        path = QUELT_PROGRAM_PATH;
#endif
    // A Unix path is seen under Wine's drive Z:.
    if (!path.empty() && path[0] == '/')
        path = "Z:" + path;
    for (char& ch : path)
        if (ch == '/')
            ch = '\\';
    return path;
}

::testing::AssertionResult ProgramUnderTest::Start()
{
    const std::string path = ProgramPath();
    if (path.empty() || ::GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES)
        return ::testing::AssertionFailure() << "the program to drive is missing: \"" << path << "\"";

    std::string commandLine = "\"" + path + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (!::CreateProcessA(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &m_process))
        return ::testing::AssertionFailure() << "CreateProcessA failed, error " << ::GetLastError();

    // The dialog is there for a person once it is visible and its thread
    // answers; before that it may still be inside its initialisation.
    bool ended = false;
    const bool shown = WaitUntil(
        [this, &ended] {
            ended = ::WaitForSingleObject(m_process.hProcess, 0) == WAIT_OBJECT_0;
            m_dialog = FindDialogOfProcess();
            DWORD_PTR ignored = 0;
            return ended || (m_dialog && ::IsWindowVisible(m_dialog) && Ask(m_dialog, WM_NULL, 0, 0, ignored));
        },
        kTimeoutMs);
    if (ended)
    {
        DWORD exitCode = 0;
        ::GetExitCodeProcess(m_process.hProcess, &exitCode);
        return ::testing::AssertionFailure() << "the program ended at start with exit code 0x" << std::hex << exitCode;
    }
    if (!shown)
        return ::testing::AssertionFailure() << "the main dialog did not appear within " << kTimeoutMs << " ms";
    m_uiThread = ::GetWindowThreadProcessId(m_dialog, nullptr);
    return ::testing::AssertionSuccess();
}

HWND ProgramUnderTest::FindDialogOfProcess() const
{
    // Another program may have a window with the same caption.
    for (HWND window = ::FindWindowExA(nullptr, nullptr, "#32770", kMainCaption); window;
         window = ::FindWindowExA(nullptr, window, "#32770", kMainCaption))
        if (ProcessOf(window) == ProcessId())
            return window;
    return nullptr;
}

void ProgramUnderTest::End()
{
    if (m_process.hProcess)
    {
        if (::WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT)
            ::TerminateProcess(m_process.hProcess, 1);
        ::WaitForSingleObject(m_process.hProcess, kTimeoutMs);
        ::CloseHandle(m_process.hProcess);
    }
    if (m_process.hThread)
        ::CloseHandle(m_process.hThread);
    m_process = PROCESS_INFORMATION{};
    m_dialog = nullptr;
}

HWND ProgramUnderTest::ComboEdit() const
{
    return ::FindWindowExA(Item(IDC_FILE_TYPE), nullptr, "Edit", nullptr);
}

std::string ProgramUnderTest::TextOf(HWND window)
{
    DWORD_PTR length = 0;
    if (!window || !Ask(window, WM_GETTEXTLENGTH, 0, 0, length))
        return "<no answer>";
    std::string text(length + 1, '\0');
    DWORD_PTR copied = 0;
    if (!::SendMessageTimeoutA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]), SMTO_NORMAL,
                               kMessageTimeoutMs, &copied))
        return "<no answer>";
    text.resize(std::strlen(text.c_str()));
    return text;
}

std::string ProgramUnderTest::StoredText(HWND window)
{
    char text[512] = "";
    ::GetWindowTextA(window, text, sizeof text);
    return text;
}

std::vector<std::string> ProgramUnderTest::ComboItems() const
{
    // Wine answers the ANSI CB_GETLBTEXT from another process in UTF-16, so
    // the items are read wide and converted to the program's code page.
    std::vector<std::string> items;
    HWND combo = Item(IDC_FILE_TYPE);
    DWORD_PTR count = 0;
    if (!Ask(combo, CB_GETCOUNT, 0, 0, count) || static_cast<LRESULT>(count) == CB_ERR)
        return items;
    for (DWORD_PTR i = 0; i < count; ++i)
    {
        DWORD_PTR length = 0;
        if (!::SendMessageTimeoutW(combo, CB_GETLBTEXTLEN, i, 0, SMTO_NORMAL, kMessageTimeoutMs, &length)
            || static_cast<LRESULT>(length) == CB_ERR)
        {
            items.push_back("<no answer>");
            continue;
        }
        std::wstring wide(length + 1, L'\0');
        DWORD_PTR copied = 0;
        ::SendMessageTimeoutW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(&wide[0]), SMTO_NORMAL,
                              kMessageTimeoutMs, &copied);
        char narrow[256] = "";
        ::WideCharToMultiByte(936, 0, wide.c_str(), -1, narrow, sizeof narrow, nullptr, nullptr);
        items.push_back(narrow);
    }
    return items;
}

void ProgramUnderTest::SetComboText(const char* text) const
{
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutA(Item(IDC_FILE_TYPE), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text), SMTO_NORMAL,
                          kMessageTimeoutMs, &ignored);
}

void ProgramUnderTest::Click(HWND button)
{
    ::PostMessageA(button, BM_CLICK, 0, 0);
}

namespace
{
struct WindowSearch
{
    DWORD processId;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindowOfProcess(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<WindowSearch*>(context);
    if (ProcessOf(window) == search->processId)
        search->found.push_back(window);
    return TRUE;
}
}

std::vector<HWND> ProgramUnderTest::TopLevelWindowsOf(DWORD processId)
{
    WindowSearch search{processId, {}};
    ::EnumWindows(&CollectWindowOfProcess, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::vector<HWND> ProgramUnderTest::OtherWindows() const
{
    // Wine gives every GUI thread hidden helper windows (the input method's),
    // which no person sees.
    std::vector<HWND> others;
    for (HWND window : TopLevelWindowsOf(ProcessId()))
        if (window != m_dialog && ::IsWindowVisible(window))
            others.push_back(window);
    return others;
}

HWND ProgramUnderTest::FindMessageBox() const
{
    for (HWND window : OtherWindows())
        if (ClassOf(window) == "#32770" && StoredText(window) == kPromptCaption && ::GetDlgItem(window, 0xFFFF))
            return window;
    return nullptr;
}

HWND ProgramUnderTest::WaitForMessageBox(DWORD timeoutMs) const
{
    HWND box = nullptr;
    WaitUntil([&] { return (box = FindMessageBox()) != nullptr; }, timeoutMs);
    return box;
}

std::string ProgramUnderTest::MessageBoxText(HWND box)
{
    return TextOf(::GetDlgItem(box, 0xFFFF));
}

bool ProgramUnderTest::Answer(HWND box, int buttonId)
{
    ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), 0);
    return WaitUntil([box] { return !::IsWindow(box); }, kTimeoutMs);
}

HWND ProgramUnderTest::FindBrowser(const std::vector<HWND>& except) const
{
    for (HWND window : OtherWindows())
    {
        bool known = false;
        for (HWND old : except)
            known = known || old == window;
        if (!known && ClassOf(window) == "#32770" && StoredText(window) == kBrowserCaption)
            return window;
    }
    return nullptr;
}

HWND ProgramUnderTest::WaitForBrowser(const std::vector<HWND>& except, DWORD timeoutMs) const
{
    HWND browser = nullptr;
    WaitUntil([&] { return (browser = FindBrowser(except)) != nullptr; }, timeoutMs);
    return browser;
}

::testing::AssertionResult ProgramUnderTest::SelectRemote(HWND browser, const void* data, size_t size,
                                                          BOOL isPath) const
{
    RemoteCopy remote(Process(), data, size);
    if (!remote.Address())
        return ::testing::AssertionFailure() << "cannot write into the program, error " << ::GetLastError();

    // The browser answers BFFM_SETSELECTION with 0 whether or not it moved,
    // so whether it took shows in its tree: the selection moves off where it
    // was and off the root. Right after the browser opens the message is
    // sometimes lost, so it is repeated until it takes.
    HWND tree = ::FindWindowExA(browser, nullptr, "SysTreeView32", nullptr);
    if (!tree)
        return ::testing::AssertionFailure() << "the browser has no folder tree";
    DWORD_PTR before = 0;
    if (!Ask(tree, TVM_GETNEXTITEM, TVGN_CARET, 0, before))
        return ::testing::AssertionFailure() << "the browser does not answer";
    const bool taken = WaitUntil(
        [&] {
            DWORD_PTR ignored = 0;
            DWORD_PTR root = 0;
            DWORD_PTR caret = 0;
            return ::SendMessageTimeoutA(browser, BFFM_SETSELECTIONA, isPath,
                                         reinterpret_cast<LPARAM>(remote.Address()), SMTO_NORMAL, kMessageTimeoutMs,
                                         &ignored)
                   && Ask(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0, root) && Ask(tree, TVM_GETNEXTITEM, TVGN_CARET, 0, caret)
                   && caret != 0 && caret != root && caret != before;
        },
        kTimeoutMs, 50);
    if (!taken)
        return ::testing::AssertionFailure() << "the browser did not take the selection";
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult ProgramUnderTest::SelectInBrowser(HWND browser, const std::string& path) const
{
    return SelectRemote(browser, path.c_str(), path.size() + 1, TRUE);
}

::testing::AssertionResult ProgramUnderTest::SelectInBrowser(HWND browser, LPCITEMIDLIST item) const
{
    return SelectRemote(browser, item, ::ILGetSize(item), FALSE);
}

::testing::AssertionResult ProgramUnderTest::CloseBrowser(HWND browser, int buttonId)
{
    HWND button = ::GetDlgItem(browser, buttonId);
    if (!button)
        return ::testing::AssertionFailure() << "the browser has no button " << buttonId;
    Click(button);
    if (!WaitUntil([browser] { return !::IsWindow(browser); }, kTimeoutMs))
        return ::testing::AssertionFailure() << "the browser did not close";
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult ProgramUnderTest::ChooseFolder(const std::string& path) const
{
    Click(IDC_BROWSE);
    HWND browser = WaitForBrowser();
    if (!browser)
        return ::testing::AssertionFailure() << "no folder browser appeared";
    auto selected = SelectInBrowser(browser, path);
    if (!selected)
        return selected;
    auto closed = CloseBrowser(browser, IDOK);
    if (!closed)
        return closed;
    // The click handler goes on after the browser has gone; once the thread
    // answers again, the choice has been written back to the dialog.
    DWORD_PTR ignored = 0;
    if (!Ask(m_dialog, WM_NULL, 0, 0, ignored))
        return ::testing::AssertionFailure() << "the program did not answer after browsing";
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult ProgramUnderTest::Settle() const
{
    // Posted messages are handled in the order they were posted, whichever
    // of the thread's windows they are for, so a marker posted now takes
    // effect only after what was posted before. The marker is the path box's
    // text limit, which nothing else uses: the box is read-only.
    HWND box = Item(IDC_SAVE_PATH);
    DWORD_PTR limit = 0;
    if (!Ask(box, EM_GETLIMITTEXT, 0, 0, limit))
        return ::testing::AssertionFailure() << "the program does not answer";
    const DWORD_PTR marker = limit == 4321 ? 4322 : 4321;
    if (!::PostMessageA(box, EM_SETLIMITTEXT, marker, 0))
        return ::testing::AssertionFailure() << "cannot post to the program, error " << ::GetLastError();
    const bool handled = WaitUntil(
        [&] {
            DWORD_PTR now = 0;
            return Ask(box, EM_GETLIMITTEXT, 0, 0, now) && now == marker;
        },
        kTimeoutMs);
    DWORD_PTR ignored = 0;
    Ask(box, EM_SETLIMITTEXT, limit, 0, ignored);
    if (!handled)
        return ::testing::AssertionFailure() << "the program did not get through its messages within " << kTimeoutMs
                                             << " ms";
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult ProgramUnderTest::IsIdle() const
{
    DWORD_PTR ignored = 0;
    if (!Ask(m_dialog, WM_NULL, 0, 0, ignored))
        return ::testing::AssertionFailure() << "the dialog does not answer";
    const auto others = OtherWindows();
    if (!others.empty())
        return ::testing::AssertionFailure() << others.size() << " other window(s) open, the first \""
                                             << StoredText(others.front()) << "\"";
    if (!::IsWindowEnabled(Item(IDC_BROWSE)) || !::IsWindowEnabled(Item(IDC_EXTRACT)))
        return ::testing::AssertionFailure() << "a button is disabled";
    if (StoredText(Item(IDC_SETTINGS_GROUP)) != kIdleGroupCaption)
        return ::testing::AssertionFailure() << "the group caption is \"" << StoredText(Item(IDC_SETTINGS_GROUP))
                                             << "\"";
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult ProgramUnderTest::WaitForExit(DWORD timeoutMs, DWORD& exitCode)
{
    if (::WaitForSingleObject(Process(), timeoutMs) != WAIT_OBJECT_0)
        return ::testing::AssertionFailure() << "the program did not end within " << timeoutMs << " ms";
    ::GetExitCodeProcess(Process(), &exitCode);
    return ::testing::AssertionSuccess();
}
