#pragma once

#include "CPoint.h"

#include <windows.h>

#include <cstddef>

class CCmdTarget;

// One row of a class's message table. A row matches a message, or for
// WM_COMMAND a notification code from a control id, and holds a small
// function, made by a template from the handler, that unpacks WPARAM and
// LPARAM into the handler's own arguments.
struct MessageMapEntry
{
    UINT message;
    UINT notifyCode;
    UINT controlId;
    LRESULT (*invoke)(CCmdTarget& target, WPARAM wParam, LPARAM lParam);

    bool Matches(UINT msg, WPARAM wParam) const
    {
        if (msg != message)
            return false;
        return msg != WM_COMMAND || (HIWORD(wParam) == notifyCode && LOWORD(wParam) == controlId);
    }
};

// A class's table and the table of its base class; dispatch walks from the
// most derived class up.
struct MessageMap
{
    const MessageMap* base;
    const MessageMapEntry* entries;
    std::size_t count;

    template <std::size_t N>
    constexpr MessageMap(const MessageMap* baseMap, const MessageMapEntry (&rows)[N])
        : base(baseMap), entries(rows), count(N)
    {
    }
    constexpr explicit MessageMap(const MessageMap* baseMap) : base(baseMap), entries(nullptr), count(0) {}

    const MessageMapEntry* Find(UINT msg, WPARAM wParam) const
    {
        for (const MessageMap* map = this; map; map = map->base)
            for (std::size_t i = 0; i < map->count; ++i)
                if (map->entries[i].Matches(msg, wParam))
                    return &map->entries[i];
        return nullptr;
    }
};

namespace message_map_detail
{
// Only the handler shapes below exist; a handler of any other shape does not
// compile, so a table can never call a handler with the wrong arguments.
template <class Pointer, Pointer Handler>
struct Thunk;

template <class T, void (T::*Handler)()>
struct Thunk<void (T::*)(), Handler>
{
    static LRESULT Invoke(CCmdTarget& target, WPARAM, LPARAM)
    {
        (static_cast<T&>(target).*Handler)();
        return 0;
    }
};

template <class T, void (T::*Handler)(UINT, LPARAM)>
struct Thunk<void (T::*)(UINT, LPARAM), Handler>
{
    static LRESULT Invoke(CCmdTarget& target, WPARAM wParam, LPARAM lParam)
    {
        (static_cast<T&>(target).*Handler)(static_cast<UINT>(wParam), lParam);
        return 0;
    }
};

template <class T, void (T::*Handler)(UINT, CPoint)>
struct Thunk<void (T::*)(UINT, CPoint), Handler>
{
    static LRESULT Invoke(CCmdTarget& target, WPARAM wParam, LPARAM lParam)
    {
        // Coordinates are signed: left of or above the client area they are
        // negative.
        const CPoint point(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
        (static_cast<T&>(target).*Handler)(static_cast<UINT>(wParam), point);
        return 0;
    }
};

template <class T, HCURSOR (T::*Handler)()>
struct Thunk<HCURSOR (T::*)(), Handler>
{
    static LRESULT Invoke(CCmdTarget& target, WPARAM, LPARAM)
    {
        return reinterpret_cast<LRESULT>((static_cast<T&>(target).*Handler)());
    }
};
}

// A row for a window message: OnMessage<&CMyDialog::OnPaint>(WM_PAINT).
template <auto Handler>
constexpr MessageMapEntry OnMessage(UINT message)
{
    return {message, 0, 0, &message_map_detail::Thunk<decltype(Handler), Handler>::Invoke};
}

// A row for a notification from a control:
// OnCommand<&CMyDialog::OnBrowseClicked>(BN_CLICKED, IDC_BROWSE).
template <auto Handler>
constexpr MessageMapEntry OnCommand(UINT notifyCode, UINT controlId)
{
    return {WM_COMMAND, notifyCode, controlId, &message_map_detail::Thunk<decltype(Handler), Handler>::Invoke};
}
