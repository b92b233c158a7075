#include "CWinApp.h"

#include <ole2.h>

namespace
{
CWinApp* g_application = nullptr;
bool g_oleInitialized = false;
}

const MessageMap* CWinApp::ThisMessageMap()
{
    static const MessageMap map(CCmdTarget::ThisMessageMap());
    return &map;
}

CWinApp::CWinApp(const char* appName) : m_pszAppName(appName)
{
    g_application = this;
}

CWinApp::~CWinApp()
{
    if (g_application == this)
        g_application = nullptr;
}

BOOL CWinApp::InitInstance()
{
    return FALSE;
}

int CWinApp::ExitInstance()
{
    return 0;
}

CWinApp* AfxGetApp()
{
    return g_application;
}

HINSTANCE AfxGetResourceHandle()
{
    if (g_application && g_application->m_hInstance)
        return g_application->m_hInstance;
    return ::GetModuleHandleA(nullptr);
}

void AfxEnableControlContainer()
{
    if (!g_oleInitialized)
        g_oleInitialized = SUCCEEDED(::OleInitialize(nullptr));
}

int AfxWinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    int exitCode = 0;
    if (g_application)
    {
        g_application->m_hInstance = instance;
        // The application's work happens inside InitInstance; returning
        // FALSE from it ends the program without a message loop.
        g_application->InitInstance();
        exitCode = g_application->ExitInstance();
    }
    if (g_oleInitialized)
    {
        ::OleUninitialize();
        g_oleInitialized = false;
    }
    return exitCode;
}
