#include "CCmdTarget.h"

const MessageMap* CCmdTarget::ThisMessageMap()
{
    static const MessageMap map(nullptr);
    return &map;
}

bool CCmdTarget::DispatchMessageMap(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    const MessageMapEntry* entry = GetMessageMap()->Find(message, wParam);
    if (!entry)
        return false;
    result = entry->invoke(*this, wParam, lParam);
    return true;
}
