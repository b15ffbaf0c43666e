// PasswordUnlock: the password and the options of a decryption job. Every
// password is accepted, so files encrypted with any password stay readable.
#pragma once

#include "framework/windows/CDialogEx.h"

struct JobOptions;

class PasswordUnlock : public CDialogEx {
public:
    explicit PasswordUnlock(CWnd* parent = nullptr);
    ~PasswordUnlock() override;

    // The option boxes from a record ("Disable CRC checking" always opens
    // cleared), and back into it after IDOK.
    void ShowOptions(const JobOptions& options);
    void TakeOptions(JobOptions& options) const;

    int m_bAllowRecurse = 1;  // 0 disables "Unlock Recursive"
    CString m_strPassword;
    int m_bRecurse = 0;
    int m_bKeepPassword = 0;
    int m_bLogErrors = 0;
    int m_bLogWarnings = 0;
    int m_bDisableCrc = 0;
    int m_bKeepDates = 0;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    BOOL OnCmdMsg(UINT id, int code, CCmdUI* update) override;

    void OnDisableCrc();
};
