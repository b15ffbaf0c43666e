#include "app/TestIntegrityDlg.h"

#include "framework/windows/DataExchange.h"
#include "res/resource.h"

CTestIntegrityDlg::CTestIntegrityDlg(CWnd* parent) : CDialogEx(IDD_TEST_INTEGRITY, parent) {}

CTestIntegrityDlg::~CTestIntegrityDlg() { m_strPassword.SecureEmpty(); }

BOOL CTestIntegrityDlg::OnInitDialog()
{
    CDialogEx::OnInitDialog();
    // Over the main window, as every window of the program opens.
    CenterWindow();
    return TRUE;
}

void CTestIntegrityDlg::DoDataExchange(CDataExchange* dx)
{
    CDialogEx::DoDataExchange(dx);
    DDX_Text(dx, IDC_PASSWORD, m_strPassword);
}
