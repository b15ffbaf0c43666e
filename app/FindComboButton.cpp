#include "app/FindComboButton.h"

#include "res/resource.h"

namespace {

const int FIND_IMAGE = 8;

}  // namespace

CFindComboButton::CFindComboButton() : CToolBarComboBoxButton(ID_FIND_FILE, FIND_IMAGE, CBS_DROPDOWN) {}

BOOL CFindComboButton::NotifyCommand(int code)
{
    BOOL handled = CToolBarComboBoxButton::NotifyCommand(code);
    if (code == CBN_SETFOCUS || code == CBN_KILLFOCUS)
        return TRUE;
    return handled;
}
