#include "app/LogDlg.h"

#include "framework/windows/DataExchange.h"
#include "res/resource.h"

CLogDlg::CLogDlg(CWnd* parent) : CDialogEx(IDD_LOG, parent) {}

void CLogDlg::DoDataExchange(CDataExchange* dx)
{
    CDialogEx::DoDataExchange(dx);
    DDX_Control(dx, IDC_LOG_LIST, m_list);
    DDX_Text(dx, IDC_LOG_TEXT, m_strText);
    DDX_Check(dx, IDC_LOG_ERRORS_ONLY, m_bErrorsOnly);
}

BOOL CLogDlg::OnInitDialog()
{
    CDialogEx::OnInitDialog();
    if (m_pSource)
        m_list.CopyFrom(m_pSource);
    int count = m_list.GetCount();
    if (count > 0)
        m_list.SetTopIndex(count - 1);
    m_list.SetCurSel(-1);
    m_list.SaveLines(m_lines);
    CenterWindow();
    return TRUE;
}

BOOL CLogDlg::OnCmdMsg(UINT id, int code, CCmdUI* update)
{
    if (!update && id == IDC_LOG_ERRORS_ONLY && code == BN_CLICKED) {
        OnShowErrorsOnly();
        return TRUE;
    }
    return CDialogEx::OnCmdMsg(id, code, update);
}

void CLogDlg::OnShowErrorsOnly()
{
    m_bErrorsOnly = IsDlgButtonChecked(IDC_LOG_ERRORS_ONLY) == BST_CHECKED;
    m_list.ResetContent();
    if (m_bErrorsOnly)
        m_list.FillFiltered(m_lines, 10, -1);
    else
        m_list.FillFiltered(m_lines, -1, -1);
}
