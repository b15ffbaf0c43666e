#include "app/PasswordUnlock.h"

#include "doc/JobOptions.h"
#include "framework/windows/AfxMessageBox.h"
#include "framework/windows/DataExchange.h"
#include "res/resource.h"

PasswordUnlock::PasswordUnlock(CWnd* parent) : CDialogEx(IDD_PASSWORD_UNLOCK, parent) {}

PasswordUnlock::~PasswordUnlock() { m_strPassword.SecureEmpty(); }

void PasswordUnlock::ShowOptions(const JobOptions& options)
{
    m_bRecurse = options.m_bRecurse;
    m_bKeepPassword = options.m_bKeepPassword;
    m_bLogErrors = options.m_bKeepLogOnErrors;
    m_bLogWarnings = options.m_bKeepLogOnSkips;
    m_bDisableCrc = 0;
    m_bKeepDates = options.m_bKeepDates;
}

void PasswordUnlock::TakeOptions(JobOptions& options) const
{
    options.m_bRecurse = m_bRecurse;
    options.m_bKeepPassword = m_bKeepPassword;
    options.m_bKeepLogOnErrors = m_bLogErrors;
    options.m_bKeepLogOnSkips = m_bLogWarnings;
    options.m_bCheckCrc = !m_bDisableCrc;
    options.m_bKeepDates = m_bKeepDates;
}

void PasswordUnlock::DoDataExchange(CDataExchange* dx)
{
    CDialogEx::DoDataExchange(dx);
    DDX_Text(dx, IDC_PASSWORD, m_strPassword);
    DDX_Check(dx, IDC_RECURSE, m_bRecurse);
    DDX_Check(dx, IDC_KEEP_PASSWORD, m_bKeepPassword);
    DDX_Check(dx, IDC_UNLOCK_LOG_ERRORS, m_bLogErrors);
    DDX_Check(dx, IDC_UNLOCK_LOG_WARNINGS, m_bLogWarnings);
    DDX_Check(dx, IDC_DISABLE_CRC, m_bDisableCrc);
    DDX_Check(dx, IDC_UNLOCK_KEEP_DATES, m_bKeepDates);
}

BOOL PasswordUnlock::OnInitDialog()
{
    CDialogEx::OnInitDialog();
    CenterWindow();  // over the main window
    if (!m_bAllowRecurse)
        GetDlgItem(IDC_RECURSE)->EnableWindow(FALSE);
    return TRUE;
}

BOOL PasswordUnlock::OnCmdMsg(UINT id, int code, CCmdUI* update)
{
    if (!update && id == IDC_DISABLE_CRC && code == BN_CLICKED) {
        OnDisableCrc();
        return TRUE;
    }
    return CDialogEx::OnCmdMsg(id, code, update);
}

void PasswordUnlock::OnDisableCrc()
{
    UpdateData(TRUE);
    if (m_bDisableCrc)
        AfxMessageBox(L"If you disable CRC checking then there is no knowing if the encrypted file was not damaged or "
                      L"tampered with.\n"
                      L"A single byte change in Encrypted file can result in a large error in the decrypted file.\n"
                      L"Use only in special circumstances when no recovery record is available.");
}
