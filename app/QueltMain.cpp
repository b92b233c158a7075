// The program's entry point and its one application object. They live in the
// executable itself, not in the library, so that tests which link the
// library's dialogs have neither.
#include "CExtractorApp.h"

CExtractorApp theApp;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show)
{
    return AfxWinMain(instance, previous, commandLine, show);
}
