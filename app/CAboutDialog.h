#pragma once

#include "CDialog.h"

// The About box: the tool's name, version and author. Closed with its close
// box it fades out; Esc and Enter close it at once.
class CAboutDialog : public CDialog
{
public:
    CAboutDialog();

protected:
    static const MessageMap* ThisMessageMap();
    const MessageMap* GetMessageMap() const override { return ThisMessageMap(); }

    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    void OnClose();
};
