#include "CExtractorApp.h"

#include "CExtractorDialog.h"

const MessageMap* CExtractorApp::ThisMessageMap()
{
    static const MessageMapEntry entries[] = {
        OnCommand<&CExtractorApp::OnHelp>(0, ID_HELP),
    };
    static const MessageMap map(CWinApp::ThisMessageMap(), entries);
    return &map;
}

BOOL CExtractorApp::InitInstance()
{
    AfxEnableControlContainer();
    Enable3dControlsStatic();

    CExtractorDialog dialog;
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;

    // The dialog was the whole program: no message loop follows.
    return FALSE;
}
