// Opens the running program's About box through its system-menu command, as
// a click on the menu item would; the screenshot script uses it.
#include "resource.h"

#include <windows.h>

int main()
{
    HWND dialog = nullptr;
    for (int attempt = 0; attempt < 100 && !dialog; ++attempt)
    {
        dialog = ::FindWindowA("#32770", "Quelt 缓存文件提取器");
        if (!dialog)
            ::Sleep(100);
    }
    if (!dialog)
        return 1;
    return ::PostMessageA(dialog, WM_SYSCOMMAND, IDM_ABOUT, 0) ? 0 : 1;
}
