#include "app/AboutDlg.h"

#include "res/resource.h"

CAboutDlg::CAboutDlg(CWnd* parent) : CDialogEx(IDD_ABOUTBOX, parent) {}

BOOL CAboutDlg::OnInitDialog()
{
    CDialogEx::OnInitDialog();
    CenterWindow();
    return TRUE;
}
