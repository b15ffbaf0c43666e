// PasswordLock: the password and the options of an encryption job. The caller
// fills the members, runs DoModal and reads them back after IDOK. The dialog
// accepts only a password typed the same twice that is neither empty nor
// weak (IsWeakPassword); everything else is the caller's to judge.
#pragma once

#include "framework/windows/CDialogEx.h"
#include "framework/windows/CStatic.h"

struct JobOptions;

class PasswordLock : public CDialogEx {
public:
    explicit PasswordLock(CWnd* parent = nullptr);
    ~PasswordLock() override;

    // The ten option boxes from a record, and back into it after IDOK.
    void ShowOptions(const JobOptions& options);
    void TakeOptions(JobOptions& options) const;

    int m_bCapsShown = 0;
    int m_bAllowRecurse = 1;  // 0 disables "Recursive from this folder"
    CString m_strPassword;
    CString m_strRepeat;
    int m_bRecurse = 0;
    int m_bKeepPassword = 0;
    int m_bVerify = 0;
    int m_bSecureDelete = 0;
    int m_bLogErrors = 0;
    int m_bLogWarnings = 0;
    CStatic m_wndCapsWarning;
    CStatic m_wndMatchMark;
    int m_bAddRecovery = 0;
    int m_bKeepDates = 0;
    int m_bRandomNames = 0;
    int m_bEncryptFolderNames = 0;
    CStatic m_wndAdvancedLabel;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    BOOL OnCmdMsg(UINT id, int code, CCmdUI* update) override;

    void OnPasswordChange();
    void UpdateCapsWarning();
    void OnRandomNames();
    void OnDefaultSettings();

private:
    void RefuseAndClear(const WCHAR* message, bool clearPassword);
};
