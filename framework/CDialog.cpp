#include "CDialog.h"

#include "CWinApp.h"

const MessageMap* CDialog::ThisMessageMap()
{
    static const MessageMapEntry entries[] = {
        OnCommand<&CDialog::OnOK>(BN_CLICKED, IDOK),
        OnCommand<&CDialog::OnCancel>(BN_CLICKED, IDCANCEL),
    };
    static const MessageMap map(CWnd::ThisMessageMap(), entries);
    return &map;
}

INT_PTR CDialog::DoModal()
{
    // A dialog without a parent is owned by the application's main window,
    // which the system then disables while this one runs.
    HWND owner = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
    if (!owner)
    {
        CWinApp* app = AfxGetApp();
        if (app && app->m_pMainWnd && app->m_pMainWnd != this)
            owner = app->m_pMainWnd->m_hWnd;
    }
    return ::DialogBoxParamA(AfxGetResourceHandle(), MAKEINTRESOURCEA(m_templateId), owner, &CDialog::StaticDialogProc,
                             reinterpret_cast<LPARAM>(this));
}

BOOL CDialog::UpdateData(BOOL saveAndValidate)
{
    CDataExchange exchange(this, saveAndValidate);
    DoDataExchange(&exchange);
    return TRUE;
}

void CDialog::DoDataExchange(CDataExchange*) {}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK()
{
    if (UpdateData(TRUE))
        EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

LRESULT CDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    // Commands that the dialog does not handle go on to the application.
    LRESULT result = 0;
    if (message == WM_COMMAND && !GetMessageMap()->Find(message, wParam))
    {
        CWinApp* app = AfxGetApp();
        if (app && app->DispatchMessageMap(message, wParam, lParam, result))
            return result;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

INT_PTR CALLBACK CDialog::StaticDialogProc(HWND window, UINT message, WPARAM, LPARAM lParam)
{
    if (message != WM_INITDIALOG)
        return FALSE;
    CDialog* dialog = reinterpret_cast<CDialog*>(lParam);
    if (!dialog->SubclassWindow(window))
        return TRUE;

    RECT before;
    ::GetWindowRect(window, &before);
    const BOOL result = dialog->OnInitDialog();
    RECT after;
    ::GetWindowRect(window, &after);
    // Templates sit at 0,0 without a centring style; a dialog that its own
    // initialisation did not move opens centred instead.
    if (before.left == after.left && before.top == after.top)
        dialog->CenterOverOwner();
    return result;
}

void CDialog::CenterOverOwner() const
{
    RECT area;
    HWND owner = ::GetWindow(m_hWnd, GW_OWNER);
    if (owner && ::IsWindowVisible(owner) && !::IsIconic(owner))
        ::GetWindowRect(owner, &area);
    else
        ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);

    RECT window;
    ::GetWindowRect(m_hWnd, &window);
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    int x = area.left + (area.right - area.left - width) / 2;
    int y = area.top + (area.bottom - area.top - height) / 2;

    // Over an owner near the screen's edge the dialog stays on the screen.
    RECT screen;
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &screen, 0);
    if (x + width > screen.right)
        x = screen.right - width;
    if (y + height > screen.bottom)
        y = screen.bottom - height;
    if (x < screen.left)
        x = screen.left;
    if (y < screen.top)
        y = screen.top;
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
