#pragma once

#include "CWinApp.h"

class CExtractorApp : public CWinApp
{
public:
    BOOL InitInstance() override;

protected:
    static const MessageMap* ThisMessageMap();
    const MessageMap* GetMessageMap() const override { return ThisMessageMap(); }
};
