#include "CWnd.h"

namespace
{
const char kObjectProperty[] = "Quelt.CWnd";
}

const MessageMap* CWnd::ThisMessageMap()
{
    static const MessageMap map(CCmdTarget::ThisMessageMap());
    return &map;
}

CWnd::~CWnd()
{
    // A window that outlives its object must not call into freed memory.
    if (m_hWnd)
        UnsubclassWindow();
}

CWnd* CWnd::FromHandlePermanent(HWND window)
{
    return window ? static_cast<CWnd*>(::GetPropA(window, kObjectProperty)) : nullptr;
}

BOOL CWnd::SubclassWindow(HWND window)
{
    if (!window || m_hWnd || FromHandlePermanent(window))
        return FALSE;
    if (!::SetPropA(window, kObjectProperty, this))
        return FALSE;
    m_hWnd = window;
    m_previousProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::StaticWindowProc)));
    return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent)
{
    return parent ? SubclassWindow(::GetDlgItem(parent->m_hWnd, static_cast<int>(id))) : FALSE;
}

HWND CWnd::UnsubclassWindow()
{
    HWND window = m_hWnd;
    if (!window)
        return nullptr;
    if (m_previousProc)
        ::SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_previousProc));
    Detach();
    return window;
}

void CWnd::Detach()
{
    ::RemovePropA(m_hWnd, kObjectProperty);
    m_hWnd = nullptr;
    m_previousProc = nullptr;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const
{
    return ::SendMessageA(m_hWnd, message, wParam, lParam);
}

void CWnd::ScreenToClient(LPRECT rect) const
{
    ::ScreenToClient(m_hWnd, reinterpret_cast<LPPOINT>(rect));
    ::ScreenToClient(m_hWnd, reinterpret_cast<LPPOINT>(rect) + 1);
    // In a right-to-left layout the conversion mirrors x, which would leave
    // left greater than right.
    if (::GetWindowLongA(m_hWnd, GWL_EXSTYLE) & WS_EX_LAYOUTRTL)
    {
        const LONG left = rect->left;
        rect->left = rect->right;
        rect->right = left;
    }
}

BOOL CWnd::SetWindowPos(const CWnd* insertAfter, int x, int y, int cx, int cy, UINT flags) const
{
    return ::SetWindowPos(m_hWnd, insertAfter ? insertAfter->m_hWnd : nullptr, x, y, cx, cy, flags);
}

HICON CWnd::SetIcon(HICON icon, BOOL bigIcon) const
{
    return reinterpret_cast<HICON>(
        SendMessage(WM_SETICON, bigIcon ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon)));
}

int CWnd::MessageBox(const char* text, const char* caption, UINT type) const
{
    return ::MessageBoxA(m_hWnd, text, caption, type);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (DispatchMessageMap(message, wParam, lParam, result))
        return result;
    return Default();
}

LRESULT CWnd::Default()
{
    return ::CallWindowProcA(m_previousProc, m_hWnd, m_current.message, m_current.wParam, m_current.lParam);
}

LRESULT CALLBACK CWnd::StaticWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* object = FromHandlePermanent(window);
    if (!object)
        return ::DefWindowProcA(window, message, wParam, lParam);

    // Handlers can send messages to their own window, so the message being
    // handled is kept per nesting level.
    const Message outer = object->m_current;
    object->m_current = {message, wParam, lParam};
    const LRESULT result = object->WindowProc(message, wParam, lParam);
    object->m_current = outer;

    if (message == WM_NCDESTROY)
    {
        object->Detach();
        object->PostNcDestroy();
    }
    return result;
}
