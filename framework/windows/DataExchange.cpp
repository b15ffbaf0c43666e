#include "framework/windows/DataExchange.h"

#include "framework/windows/AfxMessageBox.h"
#include "framework/windows/CWnd.h"

#include <climits>

namespace {

bool ParseInt(const CString& text, int& value)
{
    CString trimmed(text);
    trimmed.Trim();
    int i = 0, n = trimmed.GetLength();
    bool negative = false;
    if (i < n && (trimmed[i] == L'-' || trimmed[i] == L'+'))
        negative = trimmed[i++] == L'-';
    if (i == n)
        return false;
    long long number = 0;
    for (; i < n; ++i) {
        WCHAR c = trimmed[i];
        if (c < L'0' || c > L'9')
            return false;
        number = number * 10 + (c - L'0');
        if (number > (long long)INT_MAX + 1)
            return false;
    }
    if (negative)
        number = -number;
    if (number > INT_MAX || number < INT_MIN)
        return false;
    value = (int)number;
    return true;
}

bool IsRadioButton(HWND control)
{
    return (::SendMessageW(control, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON) != 0;
}

}  // namespace

CDataExchange::CDataExchange(CWnd* dialog, BOOL saveAndValidate)
    : m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(dialog)
{
}

HWND CDataExchange::PrepareCtrl(int id)
{
    HWND control = ::GetDlgItem(m_pDlgWnd->m_hWnd, id);
    m_hWndLastControl = control;
    m_bEditLastControl = false;
    return control;
}

HWND CDataExchange::PrepareEditCtrl(int id)
{
    HWND control = PrepareCtrl(id);
    m_bEditLastControl = true;
    return control;
}

void CDataExchange::Fail()
{
    if (m_hWndLastControl) {
        ::SetFocus(m_hWndLastControl);
        if (m_bEditLastControl)
            ::SendMessageW(m_hWndLastControl, EM_SETSEL, 0, -1);
    }
    throw Failure{};
}

void DDX_Text(CDataExchange* dx, int id, CString& value)
{
    HWND control = dx->PrepareEditCtrl(id);
    if (!control)
        return;
    if (dx->m_bSaveAndValidate)
        CWnd::GetWindowTextOf(control, value);
    else
        ::SetWindowTextW(control, value);
}

void DDX_Text(CDataExchange* dx, int id, int& value)
{
    HWND control = dx->PrepareEditCtrl(id);
    if (!control)
        return;
    if (dx->m_bSaveAndValidate) {
        CString text;
        CWnd::GetWindowTextOf(control, text);
        if (!ParseInt(text, value)) {
            AfxMessageBox(L"Please enter an integer.", MB_OK | MB_ICONEXCLAMATION);
            dx->Fail();
        }
    } else {
        CString text;
        text.Format(L"%d", value);
        ::SetWindowTextW(control, text);
    }
}

void DDX_Check(CDataExchange* dx, int id, int& value)
{
    HWND control = dx->PrepareCtrl(id);
    if (!control)
        return;
    if (dx->m_bSaveAndValidate)
        value = (int)::SendMessageW(control, BM_GETCHECK, 0, 0);
    else
        ::SendMessageW(control, BM_SETCHECK, (WPARAM)value, 0);
}

void DDX_Radio(CDataExchange* dx, int id, int& value)
{
    HWND control = dx->PrepareCtrl(id);
    if (!control)
        return;
    if (dx->m_bSaveAndValidate)
        value = -1;
    int index = 0;
    do {
        if (IsRadioButton(control)) {
            if (dx->m_bSaveAndValidate) {
                if (::SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED)
                    value = index;
            } else {
                ::SendMessageW(control, BM_SETCHECK, index == value ? BST_CHECKED : BST_UNCHECKED, 0);
            }
            ++index;
        }
        control = ::GetWindow(control, GW_HWNDNEXT);
    } while (control && !(::GetWindowLongPtrW(control, GWL_STYLE) & WS_GROUP));
}

void DDX_Control(CDataExchange* dx, int id, CWnd& control)
{
    if (control.m_hWnd)
        return;
    HWND hwnd = dx->PrepareCtrl(id);
    if (hwnd)
        control.SubclassWindow(hwnd);
}
