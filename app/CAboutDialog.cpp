#include "CAboutDialog.h"

#include "resource.h"

namespace
{
const DWORD kFadeMilliseconds = 500;
}

const MessageMap* CAboutDialog::ThisMessageMap()
{
    static const MessageMapEntry entries[] = {
        OnMessage<&CAboutDialog::OnClose>(WM_CLOSE),
    };
    static const MessageMap map(CDialog::ThisMessageMap(), entries);
    return &map;
}

CAboutDialog::CAboutDialog() : CDialog(IDD_ABOUT) {}

void CAboutDialog::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
}

BOOL CAboutDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    return TRUE;
}

void CAboutDialog::OnClose()
{
    // Hiding the active box hands activation on at once, and only an enabled
    // owner can take it; the end of the modal run, which enables the owner,
    // comes after the fade. Without this the main dialog is left inactive
    // with the keyboard nowhere, or behind whatever window took activation.
    HWND owner = ::GetWindow(m_hWnd, GW_OWNER);
    if (owner)
        ::EnableWindow(owner, TRUE);
    // Returns when the fade is over; where the system cannot fade, the box
    // simply closes.
    ::AnimateWindow(m_hWnd, kFadeMilliseconds, AW_BLEND | AW_HIDE);
    CDialog::OnClose();
}
