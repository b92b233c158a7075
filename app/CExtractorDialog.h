#pragma once

#include "CAnimatedPicture.h"
#include "CComboBox.h"
#include "CDialog.h"
#include "CString.h"

// The main dialog, the whole user interface: a file type, a destination
// folder from the shell's folder browser, and the button that copies the
// matching cache files there.
class CExtractorDialog : public CDialog
{
public:
    explicit CExtractorDialog(CWnd* parent = nullptr);

protected:
    static const MessageMap* ThisMessageMap();
    const MessageMap* GetMessageMap() const override { return ThisMessageMap(); }

    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    void OnSysCommand(UINT id, LPARAM lParam);
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnBrowseClicked();
    void OnExtractClicked();
    void OnLButtonDown(UINT flags, CPoint point);
    void OnClose();
    void OnMouseMove(UINT flags, CPoint point);

    CAnimatedPicture m_picture;
    CComboBox m_typeCombo;
    CString m_savePath;
    CString m_fileType;
    HICON m_hIcon;

private:
    void AddAboutItem() const;
    void ShowAbout() const;
    // The logo's current rectangle in this dialog's client coordinates.
    RECT LogoRect() const;
    void FillTypeList();
    void ShowExtracting(bool extracting);
};
