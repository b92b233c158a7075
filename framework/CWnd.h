#pragma once

#include "CCmdTarget.h"
#include "CPoint.h"
#include "CString.h"

#include <windows.h>

// One object per window. A window is attached by subclassing: its window
// procedure is replaced by ours, which finds the object again from the
// window (a window property) and routes each message through the object's
// message table; what no table handles goes to the previous procedure.
class CWnd : public CCmdTarget
{
public:
    CWnd() = default;
    ~CWnd() override;

    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;

    HWND GetSafeHwnd() const { return m_hWnd; }

    // The object attached to a window, or null when it has none.
    static CWnd* FromHandlePermanent(HWND window);

    BOOL SubclassWindow(HWND window);
    BOOL SubclassDlgItem(UINT id, CWnd* parent);
    HWND UnsubclassWindow();

    // Thin forms of the window functions, on this window.
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    void SetDlgItemText(int id, const char* text) const { ::SetDlgItemTextA(m_hWnd, id, text); }
    BOOL EnableWindow(BOOL enable = TRUE) const { return ::EnableWindow(m_hWnd, enable); }
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    void GetClientRect(LPRECT rect) const { ::GetClientRect(m_hWnd, rect); }
    void GetWindowRect(LPRECT rect) const { ::GetWindowRect(m_hWnd, rect); }
    void ScreenToClient(LPPOINT point) const { ::ScreenToClient(m_hWnd, point); }
    void ScreenToClient(LPRECT rect) const;
    BOOL SetWindowPos(const CWnd* insertAfter, int x, int y, int cx, int cy, UINT flags) const;
    HICON SetIcon(HICON icon, BOOL bigIcon) const;
    HMENU GetSystemMenu(BOOL revert) const { return ::GetSystemMenu(m_hWnd, revert); }
    int MessageBox(const char* text, const char* caption, UINT type) const;
    HDC GetDC() const { return ::GetDC(m_hWnd); }
    int ReleaseDC(HDC dc) const { return ::ReleaseDC(m_hWnd, dc); }
    void InvalidateRect(const RECT* rect, BOOL erase = TRUE) const { ::InvalidateRect(m_hWnd, rect, erase); }

protected:
    static const MessageMap* ThisMessageMap();
    const MessageMap* GetMessageMap() const override { return ThisMessageMap(); }

    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    // Hands the message being handled to the previous window procedure.
    LRESULT Default();

    // Called after the window is gone and the object detached from it.
    virtual void PostNcDestroy() {}

    // The default handling of the messages our classes handle; a derived
    // handler calls these to pass its message on.
    void OnPaint() { Default(); }
    void OnClose() { Default(); }
    void OnDestroy() { Default(); }
    void OnSysCommand(UINT, LPARAM) { Default(); }
    void OnLButtonDown(UINT, CPoint) { Default(); }
    void OnMouseMove(UINT, CPoint) { Default(); }

private:
    static LRESULT CALLBACK StaticWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Detach();

    struct Message
    {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };

    WNDPROC m_previousProc = nullptr;
    Message m_current{};
};
