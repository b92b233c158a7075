#pragma once

#include "CCmdTarget.h"
#include "CWnd.h"

#include <windows.h>

// The command of a help request, routed to the application.
constexpr UINT ID_HELP = 0xE146;

// The application: one global instance, made before start-up, whose
// InitInstance the program's entry point runs.
class CWinApp : public CCmdTarget
{
public:
    explicit CWinApp(const char* appName = nullptr);
    ~CWinApp() override;

    virtual BOOL InitInstance();
    virtual int ExitInstance();

    // Windows draws dialogs three-dimensionally by itself; nothing to load.
    BOOL Enable3dControlsStatic() { return TRUE; }

    const char* m_pszAppName;
    HINSTANCE m_hInstance = nullptr;
    CWnd* m_pMainWnd = nullptr;

protected:
    static const MessageMap* ThisMessageMap();
    const MessageMap* GetMessageMap() const override { return ThisMessageMap(); }

    // The application has no help file, so there is nothing to show.
    void OnHelp() {}
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetResourceHandle();

// Prepares the process for OLE controls and pictures; undone when
// AfxWinMain returns.
void AfxEnableControlContainer();

// The program's start-up: the entry point calls it with its own arguments.
int AfxWinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show);
