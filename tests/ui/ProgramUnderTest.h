#pragma once

#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <functional>
#include <string>
#include <vector>

// Texts of the program's windows, in code page 936 like the program's own.
constexpr char kMainCaption[] = "Quelt 缓存文件提取器";
constexpr char kPromptCaption[] = "提示";
// Wine's folder browser under code page 936; the title the program passes
// is shown inside the browser, not as its caption.
constexpr char kBrowserCaption[] = "选择文件夹";
constexpr char kIdleGroupCaption[] = "设置";
constexpr char kBusyGroupCaption[] = "正在提取...";

// Polls condition every few milliseconds until it holds or timeoutMs has
// passed; true when it held.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD pollMs = 10);

// The shipped program, started as a process of its own and driven from this
// one as a person would drive it. Every call that waits has a timeout, and
// the destructor always ends the process, so a failed step never leaves the
// program behind for the next test.
class ProgramUnderTest
{
public:
    // Long enough for a cold Wine process; every step is far quicker.
    static constexpr DWORD kTimeoutMs = 10000;

    ProgramUnderTest() = default;
    ~ProgramUnderTest();

    ProgramUnderTest(const ProgramUnderTest&) = delete;
    ProgramUnderTest& operator=(const ProgramUnderTest&) = delete;

    // Starts the program and waits until its main dialog is there.
    ::testing::AssertionResult Start();

    // Windows path of the program that the tests drive.
    static std::string ProgramPath();

    DWORD ProcessId() const { return m_process.dwProcessId; }
    HANDLE Process() const { return m_process.hProcess; }
    DWORD UiThreadId() const { return m_uiThread; }
    HWND Dialog() const { return m_dialog; }
    HWND Item(int id) const { return ::GetDlgItem(m_dialog, id); }
    // The edit control inside the drop-down combo box, where typing goes.
    HWND ComboEdit() const;

    // Texts through WM_GETTEXT, which the program's thread answers: only
    // while it pumps messages.
    static std::string TextOf(HWND window);
    std::string ItemText(int id) const { return TextOf(Item(id)); }
    // The text the system keeps with a window, read without a message to
    // the program: usable while its thread is busy. Only windows that store
    // their text there (buttons, group boxes, top-level captions) have it.
    static std::string StoredText(HWND window);
    std::vector<std::string> ComboItems() const;
    void SetComboText(const char* text) const;

    // A click as the mouse gives it: posted, since the program may be inside
    // a modal loop of its own when it arrives.
    static void Click(HWND button);
    void Click(int id) const { Click(Item(id)); }

    // Top-level windows of the program other than the main dialog.
    std::vector<HWND> OtherWindows() const;
    // A message box of the program with the caption "提示".
    HWND FindMessageBox() const;
    HWND WaitForMessageBox(DWORD timeoutMs = kTimeoutMs) const;
    static std::string MessageBoxText(HWND box);
    // Ends a message box with the given button and waits until it is gone.
    static bool Answer(HWND box, int buttonId);

    // The shell's folder browser of the program, other than those in except.
    HWND FindBrowser(const std::vector<HWND>& except = {}) const;
    HWND WaitForBrowser(const std::vector<HWND>& except = {}, DWORD timeoutMs = kTimeoutMs) const;
    // Makes the browser select a folder, by path or by item list.
    ::testing::AssertionResult SelectInBrowser(HWND browser, const std::string& path) const;
    ::testing::AssertionResult SelectInBrowser(HWND browser, LPCITEMIDLIST item) const;
    // Presses a button of the browser (IDOK or IDCANCEL) and waits until the
    // browser is gone.
    static ::testing::AssertionResult CloseBrowser(HWND browser, int buttonId);
    // "保存路径", a folder chosen in the browser, OK; waits until the path box
    // shows the outcome of the choice.
    ::testing::AssertionResult ChooseFolder(const std::string& path) const;

    // Waits until the program has handled every message posted to it before
    // the call (or is handling one in a modal loop that it started).
    ::testing::AssertionResult Settle() const;

    // The program answers messages, shows no other window, and both buttons
    // are enabled.
    ::testing::AssertionResult IsIdle() const;

    // Waits for the program to end by itself.
    ::testing::AssertionResult WaitForExit(DWORD timeoutMs, DWORD& exitCode);

    // Top-level windows that belong to a process.
    static std::vector<HWND> TopLevelWindowsOf(DWORD processId);

private:
    ::testing::AssertionResult SelectRemote(HWND browser, const void* data, size_t size, BOOL isPath) const;
    HWND FindDialogOfProcess() const;
    void End();

    PROCESS_INFORMATION m_process{};
    DWORD m_uiThread = 0;
    HWND m_dialog = nullptr;
};
