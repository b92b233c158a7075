#pragma once

#include "CString.h"

#include <windows.h>

class CWnd;

// One exchange between a dialog's fields and its controls, in the direction
// that m_bSaveAndValidate gives: TRUE saves the controls into the fields,
// FALSE loads the fields into the controls.
class CDataExchange
{
public:
    CDataExchange(CWnd* dialog, BOOL saveAndValidate) : m_pDlgWnd(dialog), m_bSaveAndValidate(saveAndValidate) {}

    // The control with that id in the dialog; null when there is none.
    HWND PrepareCtrl(int id) const;

    CWnd* m_pDlgWnd;
    BOOL m_bSaveAndValidate;
};

// Binds a control object to the dialog's control with that id, once.
void DDX_Control(CDataExchange* pDX, int id, CWnd& control);

// The text of a control and a string field.
void DDX_Text(CDataExchange* pDX, int id, CString& value);

// The edit text of a combo box and a string field. Loading selects the first
// list entry that begins with the text (case ignored) and shows it; only
// when none does, the edit shows the text itself.
void DDX_CBString(CDataExchange* pDX, int id, CString& value);
