// CTestIntegrityDlg: explains the integrity test and shows the password it
// will use, which the user may replace. The caller proposes the password.
#pragma once

#include "framework/windows/CDialogEx.h"

class CTestIntegrityDlg : public CDialogEx {
public:
    explicit CTestIntegrityDlg(CWnd* parent = nullptr);
    ~CTestIntegrityDlg() override;

    CString m_strPassword;

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
};
