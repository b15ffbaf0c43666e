// CDialogEx: the dialog base the program's dialogs derive from; it adds
// nothing to CDialog yet.
#pragma once

#include "framework/windows/CDialog.h"

class CDialogEx : public CDialog {
public:
    using CDialog::CDialog;
};
