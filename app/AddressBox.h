// CAddressBox: the "Address" band's box: an editable drop-down whose list
// collects the addresses confirmed with Enter. Enter in its edit field
// reaches the frame as the command IDOK.
#pragma once

#include "framework/windows/CComboBox.h"

class CAddressBox : public CComboBoxEx {
public:
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
};
