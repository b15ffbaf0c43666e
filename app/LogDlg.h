// CLogDlg: the job log shown when a job finishes with the log kept: the
// caption text, the coloured lines copied from the progress window, and
// "Show Errors Only", which keeps only the lines written in red. It opens
// centred on the main window.
#pragma once

#include "app/ColorListBox.h"
#include "framework/windows/CDialogEx.h"

class CLogDlg : public CDialogEx {
public:
    explicit CLogDlg(CWnd* parent = nullptr);

    CColorListBox m_list;
    CStringArray m_lines;
    CString m_strText;
    int m_bErrorsOnly = 0;
    CColorListBox* m_pSource = nullptr;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    BOOL OnCmdMsg(UINT id, int code, CCmdUI* update) override;
    void OnShowErrorsOnly();
};
