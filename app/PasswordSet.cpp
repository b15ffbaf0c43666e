#include "app/PasswordSet.h"

#include "framework/windows/DataExchange.h"
#include "res/resource.h"

PasswordSet::PasswordSet(CWnd* parent) : CDialogEx(IDD_PASSWORD_SET, parent) {}

PasswordSet::~PasswordSet() { m_strPassword.SecureEmpty(); }

BOOL PasswordSet::OnInitDialog()
{
    CDialogEx::OnInitDialog();
    // Over the main window, as every window of the program opens.
    CenterWindow();
    return TRUE;
}

void PasswordSet::DoDataExchange(CDataExchange* dx)
{
    CDialogEx::DoDataExchange(dx);
    DDX_Text(dx, IDC_PASSWORD, m_strPassword);
}

BOOL PasswordSet::OnCmdMsg(UINT id, int code, CCmdUI* update)
{
    if (!update && id == IDC_RESET && code == BN_CLICKED) {
        OnReset();
        return TRUE;
    }
    return CDialogEx::OnCmdMsg(id, code, update);
}

void PasswordSet::OnReset()
{
    m_strPassword.SecureEmpty();
    UpdateData(FALSE);
    EndDialog(IDOK);
}
