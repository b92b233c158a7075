#pragma once

#include <windows.h>

#include <functional>
#include <utility>

// A dialog class run modally for a test: once the dialog is fully open
// (initialised, centred, shown, the focus set), whenShown runs on the
// dialog's own thread and the dialog ends. A test derives from it to reach
// the protected members of the class under test.
//
// With endsByItself set, whenShown starts one of the dialog's own ways out
// (a key, a close) and the dialog ends by that, with that way's result; the
// timeout still ends a dialog that never does.
template <class Dialog>
class ShownDialog : public Dialog
{
public:
    using Dialog::Dialog;

    // What DoModal returns when whenShown ran, and when the dialog's loop
    // never got to it.
    static constexpr INT_PTR kChecked = 0x5157;
    static constexpr INT_PTR kTimedOut = 0x5158;

    std::function<void()> whenShown;
    bool endsByItself = false;

protected:
    BOOL OnInitDialog() override
    {
        const BOOL result = Dialog::OnInitDialog();
        // Posted: it arrives once the dialog's own loop runs, after the
        // system has finished opening the dialog.
        ::PostMessageA(this->m_hWnd, kRunCheck, 0, 0);
        ::SetTimer(this->m_hWnd, kTimeoutTimer, 10000, nullptr);
        return result;
    }

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_TIMER && wParam == kTimeoutTimer)
        {
            this->EndDialog(static_cast<int>(kTimedOut));
            return 0;
        }
        if (message != kRunCheck)
            return Dialog::WindowProc(message, wParam, lParam);
        if (!endsByItself)
            ::KillTimer(this->m_hWnd, kTimeoutTimer);
        if (whenShown)
            whenShown();
        if (!endsByItself)
            this->EndDialog(static_cast<int>(kChecked));
        return 0;
    }

private:
    static constexpr UINT kRunCheck = WM_APP + 0x51;
    static constexpr UINT_PTR kTimeoutTimer = 0x5157;
};
