// CAboutDlg: the About box (product, version, maker, notes), centred on
// the main window.
#pragma once

#include "framework/windows/CDialogEx.h"

class CAboutDlg : public CDialogEx {
public:
    explicit CAboutDlg(CWnd* parent = nullptr);

protected:
    BOOL OnInitDialog() override;
};
