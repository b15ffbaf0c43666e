// CFindComboButton: the toolbar's find box (command 103): an editable
// drop-down that keeps the texts searched.
#pragma once

#include "framework/windows/CToolBarButtons.h"

class CFindComboButton : public CToolBarComboBoxButton {
public:
    CFindComboButton();
    // Focus changes of the box are handled here (nothing more happens);
    // other notifications as the base does.
    BOOL NotifyCommand(int code) override;
};
