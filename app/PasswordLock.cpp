#include "app/PasswordLock.h"

#include "crypt/KeyState.h"
#include "doc/JobOptions.h"
#include "framework/windows/AfxMessageBox.h"
#include "framework/windows/DataExchange.h"
#include "res/resource.h"

namespace {

bool CapsLockOn() { return (::GetKeyState(VK_CAPITAL) & 1) != 0; }

}  // namespace

PasswordLock::PasswordLock(CWnd* parent) : CDialogEx(IDD_PASSWORD_LOCK, parent) {}

PasswordLock::~PasswordLock()
{
    m_strPassword.SecureEmpty();
    m_strRepeat.SecureEmpty();
}

void PasswordLock::ShowOptions(const JobOptions& options)
{
    m_bRecurse = options.m_bRecurse;
    m_bKeepPassword = options.m_bKeepPassword;
    m_bVerify = options.m_bVerify;
    m_bSecureDelete = options.m_bSecureDelete;
    m_bLogErrors = options.m_bKeepLogOnErrors;
    m_bLogWarnings = options.m_bKeepLogOnSkips;
    m_bAddRecovery = options.m_bAddRecovery;
    m_bKeepDates = options.m_bKeepDates;
    m_bRandomNames = options.m_bRandomNames;
    m_bEncryptFolderNames = options.m_bEncryptFolderNames;
}

void PasswordLock::TakeOptions(JobOptions& options) const
{
    options.m_bRecurse = m_bRecurse;
    options.m_bKeepPassword = m_bKeepPassword;
    options.m_bVerify = m_bVerify;
    options.m_bSecureDelete = m_bSecureDelete;
    options.m_bKeepLogOnErrors = m_bLogErrors;
    options.m_bKeepLogOnSkips = m_bLogWarnings;
    options.m_bAddRecovery = m_bAddRecovery;
    options.m_bKeepDates = m_bKeepDates;
    options.m_bRandomNames = m_bRandomNames;
    options.m_bEncryptFolderNames = m_bEncryptFolderNames;
}

void PasswordLock::DoDataExchange(CDataExchange* dx)
{
    CDialogEx::DoDataExchange(dx);
    DDX_Text(dx, IDC_PASSWORD, m_strPassword);
    DDX_Text(dx, IDC_REPEAT, m_strRepeat);
    DDX_Check(dx, IDC_RECURSE, m_bRecurse);
    DDX_Check(dx, IDC_KEEP_PASSWORD, m_bKeepPassword);
    DDX_Check(dx, IDC_VERIFY, m_bVerify);
    DDX_Check(dx, IDC_SECURE_DELETE, m_bSecureDelete);
    DDX_Check(dx, IDC_LOG_ERRORS, m_bLogErrors);
    DDX_Check(dx, IDC_LOG_WARNINGS, m_bLogWarnings);
    DDX_Control(dx, IDC_CAPS_WARNING, m_wndCapsWarning);
    DDX_Control(dx, IDC_MATCH_MARK, m_wndMatchMark);
    DDX_Check(dx, IDC_ADD_RECOVERY, m_bAddRecovery);
    DDX_Check(dx, IDC_KEEP_DATES, m_bKeepDates);
    DDX_Check(dx, IDC_RANDOM_NAMES, m_bRandomNames);
    DDX_Check(dx, IDC_ENCRYPT_FOLDER_NAMES, m_bEncryptFolderNames);
    DDX_Control(dx, IDC_ADVANCED_LABEL, m_wndAdvancedLabel);
}

BOOL PasswordLock::OnInitDialog()
{
    CDialogEx::OnInitDialog();
    CenterWindow();  // over the main window
    if (CapsLockOn()) {
        m_wndCapsWarning.ShowWindow(SW_SHOW);
        m_bCapsShown = 1;
    }
    bool match = m_strRepeat == m_strPassword && !m_strPassword.IsEmpty();
    m_wndMatchMark.ShowWindow(match ? SW_SHOW : SW_HIDE);
    if (!m_bAllowRecurse)
        GetDlgItem(IDC_RECURSE)->EnableWindow(FALSE);
    return TRUE;
}

BOOL PasswordLock::OnCmdMsg(UINT id, int code, CCmdUI* update)
{
    if (!update) {
        if ((id == IDC_PASSWORD || id == IDC_REPEAT) && code == EN_CHANGE) {
            OnPasswordChange();
            return TRUE;
        }
        if (id == IDC_RANDOM_NAMES && code == BN_CLICKED) {
            OnRandomNames();
            return TRUE;
        }
        if (id == IDC_DEFAULT_SETTINGS && code == BN_CLICKED) {
            OnDefaultSettings();
            return TRUE;
        }
    }
    return CDialogEx::OnCmdMsg(id, code, update);
}

void PasswordLock::UpdateCapsWarning()
{
    bool on = CapsLockOn();
    if (on && !m_bCapsShown) {
        m_wndCapsWarning.ShowWindow(SW_SHOW);
        m_bCapsShown = 1;
    } else if (!on && m_bCapsShown) {
        m_wndCapsWarning.ShowWindow(SW_HIDE);
        m_bCapsShown = 0;
    }
}

void PasswordLock::OnPasswordChange()
{
    // Changes arrive while the members are being written to the controls, so
    // the texts are read from the controls, not from the members.
    if (!m_wndMatchMark.m_hWnd)
        return;
    UpdateCapsWarning();
    CString password, repeat;
    GetDlgItemText(IDC_PASSWORD, password);
    GetDlgItemText(IDC_REPEAT, repeat);
    m_wndMatchMark.ShowWindow(password == repeat ? SW_SHOW : SW_HIDE);
    password.SecureEmpty();
    repeat.SecureEmpty();
}

void PasswordLock::OnOK()
{
    if (!UpdateData(TRUE))
        return;
    if (m_strPassword != m_strRepeat) {
        RefuseAndClear(L"Passwords do not match", false);
        return;
    }
    if (m_strPassword.IsEmpty()) {
        AfxMessageBox(L"No Password entered\nType the password to encrypt with in both fields.");
        GetDlgItem(IDC_PASSWORD)->SetFocus();
        return;
    }
    if (IsWeakPassword(m_strPassword)) {
        RefuseAndClear(L"Weak Password\nThis password would give a weak encryption key.\n"
                       L"Please choose a different password.",
                       true);
        return;
    }
    EndDialog(IDOK);
}

void PasswordLock::RefuseAndClear(const WCHAR* message, bool clearPassword)
{
    AfxMessageBox(message);
    m_strRepeat.SecureEmpty();
    if (clearPassword)
        m_strPassword.SecureEmpty();
    UpdateData(FALSE);
    GetDlgItem(clearPassword ? IDC_PASSWORD : IDC_REPEAT)->SetFocus();
}

void PasswordLock::OnRandomNames()
{
    UpdateData(TRUE);
    if (m_bRandomNames)
        AfxMessageBox(L"Random Encrypted File-Names\n"
                      L"Each time you encrypt a file, it will generate a NEW RANDOM encrypted file name.\n"
                      L"This will allow you to backup multiple versions of the same encrypted file in a single folder");
    else
        AfxMessageBox(L"Static Encrypted File-Names\n"
                      L"Each file will be encrypted with a static (non-changing) encrypted file name.\n"
                      L"This is a good option if you want to keep only one version of each encrypted file in a single "
                      L"folder");
}

void PasswordLock::OnDefaultSettings()
{
    UpdateData(TRUE);
    m_bRecurse = 1;
    m_bKeepPassword = 1;
    m_bVerify = 1;
    m_bSecureDelete = 0;
    m_bLogErrors = 1;
    m_bLogWarnings = 0;
    m_bAddRecovery = 0;
    m_bKeepDates = 1;
    m_bRandomNames = 1;
    m_bEncryptFolderNames = 1;
    UpdateData(FALSE);
}
