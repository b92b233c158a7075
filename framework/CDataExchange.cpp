#include "CDataExchange.h"

#include "CWnd.h"

HWND CDataExchange::PrepareCtrl(int id) const
{
    return m_pDlgWnd ? m_pDlgWnd->GetDlgItem(id) : nullptr;
}

void DDX_Control(CDataExchange* pDX, int id, CWnd& control)
{
    if (!control.m_hWnd)
        control.SubclassWindow(pDX->PrepareCtrl(id));
}

void DDX_Text(CDataExchange* pDX, int id, CString& value)
{
    HWND control = pDX->PrepareCtrl(id);
    if (!control)
        return;
    if (pDX->m_bSaveAndValidate)
        value = CString::FromWindowText(control);
    else
        ::SetWindowTextA(control, value);
}

void DDX_CBString(CDataExchange* pDX, int id, CString& value)
{
    HWND combo = pDX->PrepareCtrl(id);
    if (!combo)
        return;
    if (pDX->m_bSaveAndValidate)
    {
        value = CString::FromWindowText(combo);
        return;
    }
    // Every entry begins with the empty text, so searching for it would put
    // the first entry in place of a type the user has just cleared.
    if (value.IsEmpty())
    {
        ::SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        ::SetWindowTextA(combo, "");
        return;
    }
    if (::SendMessageA(combo, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(static_cast<const char*>(value))) == CB_ERR)
        ::SetWindowTextA(combo, value);
}
