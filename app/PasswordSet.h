// PasswordSet: enters the password kept for later jobs. "Reset" ends the
// dialog with IDOK and an empty password, which clears the key.
#pragma once

#include "framework/windows/CDialogEx.h"

class PasswordSet : public CDialogEx {
public:
    explicit PasswordSet(CWnd* parent = nullptr);
    ~PasswordSet() override;

    CString m_strPassword;

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnCmdMsg(UINT id, int code, CCmdUI* update) override;

    void OnReset();
};
