#pragma once

#include "CDataExchange.h"
#include "CWnd.h"

// A modal dialog made from a dialog template resource. The dialog window is
// attached to the object when it receives WM_INITDIALOG and detached when it
// is destroyed, at the end of DoModal.
class CDialog : public CWnd
{
public:
    explicit CDialog(UINT templateId, CWnd* parent = nullptr) : m_templateId(templateId), m_pParentWnd(parent) {}

    virtual INT_PTR DoModal();
    BOOL UpdateData(BOOL saveAndValidate = TRUE);
    void EndDialog(int result) const { ::EndDialog(m_hWnd, result); }

protected:
    static const MessageMap* ThisMessageMap();
    const MessageMap* GetMessageMap() const override { return ThisMessageMap(); }

    virtual void DoDataExchange(CDataExchange* pDX);
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    static INT_PTR CALLBACK StaticDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void CenterOverOwner() const;

    UINT m_templateId;
    CWnd* m_pParentWnd;
};
