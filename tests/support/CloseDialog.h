#pragma once

#include <windows.h>

// The ways a person closes a dialog, posted as the system would deliver
// them, for the in-process tests and for the driver of the shipped program.
enum class CloseBy
{
    CloseBox,
    CloseMessage,
    AltF4,
    Escape,
    Enter,
};

inline const char* NameOf(CloseBy how)
{
    switch (how)
    {
    case CloseBy::CloseBox:
        return "CloseBox";
    case CloseBy::CloseMessage:
        return "CloseMessage";
    case CloseBy::AltF4:
        return "AltF4";
    case CloseBy::Escape:
        return "Escape";
    case CloseBy::Enter:
        return "Enter";
    }
    return "?";
}

inline void PressKey(HWND window, UINT key)
{
    const UINT scan = ::MapVirtualKeyA(key, 0);
    ::PostMessageA(window, WM_KEYDOWN, key, 1 | (scan << 16));
    ::PostMessageA(window, WM_KEYUP, key, 1 | (scan << 16) | 0xC0000000u);
}

// Keys go to keyWindow, the window that has the focus; the close box and
// WM_CLOSE go to the dialog itself.
inline void PostClose(HWND dialog, HWND keyWindow, CloseBy how)
{
    switch (how)
    {
    case CloseBy::CloseBox:
        ::PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
    case CloseBy::CloseMessage:
        ::PostMessageA(dialog, WM_CLOSE, 0, 0);
        break;
    case CloseBy::AltF4:
    {
        // The default handling of WM_SYSKEYDOWN turns Alt+F4 into the close
        // command.
        const UINT scan = ::MapVirtualKeyA(VK_F4, 0);
        ::PostMessageA(keyWindow, WM_SYSKEYDOWN, VK_F4, 1 | (scan << 16) | (KF_ALTDOWN << 16));
        ::PostMessageA(keyWindow, WM_SYSKEYUP, VK_F4, 1 | (scan << 16) | (KF_ALTDOWN << 16) | 0xC0000000u);
        break;
    }
    case CloseBy::Escape:
        PressKey(keyWindow, VK_ESCAPE);
        break;
    case CloseBy::Enter:
        PressKey(keyWindow, VK_RETURN);
        break;
    }
}
