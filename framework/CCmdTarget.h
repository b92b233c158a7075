#pragma once

#include "MessageMap.h"

// The root of every class that has a message table.
class CCmdTarget
{
public:
    virtual ~CCmdTarget() = default;

    // Runs the handler that the table chain has for the message; false when
    // there is none.
    bool DispatchMessageMap(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

protected:
    static const MessageMap* ThisMessageMap();
    virtual const MessageMap* GetMessageMap() const { return ThisMessageMap(); }
};
