// CAboutDlg: the About box (product, version, maker, notes).
#pragma once

#include "framework/windows/CDialogEx.h"

class CAboutDlg : public CDialogEx {
public:
    explicit CAboutDlg(CWnd* parent = nullptr);
};
