// Dialog data exchange: DoDataExchange calls the DDX_ functions below, which
// move each member to its control (m_bSaveAndValidate false) or back
// (true). A value that cannot be taken tells the user, puts the focus on its
// control and ends the exchange through Fail().
#pragma once

#include "framework/base/CString.h"

#include <windows.h>

class CWnd;

class CDataExchange {
public:
    // Thrown by Fail(); UpdateData catches it.
    struct Failure {};

    CDataExchange(CWnd* dialog, BOOL saveAndValidate);

    // The control with this id, remembered as the one a failure focuses;
    // null when the dialog has none.
    HWND PrepareCtrl(int id);
    HWND PrepareEditCtrl(int id);
    [[noreturn]] void Fail();

    BOOL m_bSaveAndValidate;
    CWnd* m_pDlgWnd;

private:
    HWND m_hWndLastControl = nullptr;
    bool m_bEditLastControl = false;
};

// Edit text as a string, or as a decimal int (refused when not a number).
void DDX_Text(CDataExchange* dx, int id, CString& value);
void DDX_Text(CDataExchange* dx, int id, int& value);
// A check box as 0 (cleared), 1 (ticked) or 2 (indeterminate).
void DDX_Check(CDataExchange* dx, int id, int& value);
// A radio group that starts at `id` and runs to the next WS_GROUP control:
// the index of the selected button, -1 for none.
void DDX_Radio(CDataExchange* dx, int id, int& value);
// Subclasses the control into `control` the first time.
void DDX_Control(CDataExchange* dx, int id, CWnd& control);
