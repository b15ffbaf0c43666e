// CSettingsDlg: the program's display and viewer settings. The caller fills
// the members (and SetPlayerStatus), runs DoModal and stores them after IDOK.
#pragma once

#include "framework/windows/CDialogEx.h"

class CSettingsDlg : public CDialogEx {
public:
    explicit CSettingsDlg(CWnd* parent = nullptr);

    // Shows whether the video player library is loaded.
    void SetPlayerStatus(bool loaded);

    int m_bAllowRoot = 0;
    int m_bDoubleClick = 0;
    int m_bAsyncVideo = 0;
    int m_bAutopreview = 0;
    int m_bImageView = 0;
    int m_bTextView = 0;
    int m_bPlayerReady = 0;
    CString m_strPlayerStatus;
    int m_nVideoCache = 0;  // 0 secure shredding, 1 quick clean

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
};
