// The buttons of a CToolBar: a plain command button, a button with a
// drop-down menu (split: the button runs its command and the arrow opens
// the menu; whole: the button only opens the menu), and a combo box placed
// over a separator-sized slot.
#pragma once

#include "framework/windows/CComboBox.h"
#include "framework/windows/CMenu.h"
#include "framework/windows/Geometry.h"

#include <windows.h>
#include <commctrl.h>

class CToolBar;

class CToolBarButton {
public:
    // `id` 0 makes a separator; `image` indexes the toolbar's image lists.
    CToolBarButton(UINT id, int image, const WCHAR* text = nullptr);
    virtual ~CToolBarButton() = default;
    CToolBarButton(const CToolBarButton&) = delete;
    CToolBarButton& operator=(const CToolBarButton&) = delete;

    UINT m_nID;
    int m_iImage;
    CString m_strText;

    bool IsSeparator() const { return m_nID == 0; }
    // The button as the toolbar control holds it (dwData points back here).
    virtual void FillButton(TBBUTTON& button) const;
    // Whether the command takes part in idle updates (CCmdUI).
    virtual bool HasCommand() const { return m_nID != 0; }
    // Called once the button stands in `bar` and when it moves.
    virtual void OnPlaced(CToolBar* bar, const RECT& slot);
    // Called when the button leaves the bar (customisation).
    virtual void OnRemoved() {}
    virtual void Enable(BOOL) {}
};

class CToolBarMenuButton : public CToolBarButton {
public:
    // Submenu `subMenu` of menu resource `menuId`; `wholeDropDown` makes a
    // button that only opens the menu.
    CToolBarMenuButton(UINT id, UINT menuId, int subMenu, int image, const WCHAR* text, bool wholeDropDown);
    void FillButton(TBBUTTON& button) const override;
    bool HasCommand() const override { return !m_bWholeDropDown; }
    // A fresh copy of the drop-down menu.
    CMenu CreatePopup() const;

    UINT m_nMenuId;
    int m_nSubMenu;
    bool m_bWholeDropDown;
};

class CToolBarComboBoxButton : public CToolBarButton {
public:
    CToolBarComboBoxButton(UINT id, int image, DWORD comboStyle = CBS_DROPDOWN, int width = 150);
    ~CToolBarComboBoxButton() override;

    void FillButton(TBBUTTON& button) const override;
    void OnPlaced(CToolBar* bar, const RECT& slot) override;
    void OnRemoved() override;
    void Enable(BOOL on) override;

    // A notification of the combo box; TRUE when it is handled. The base
    // handles CBN_SELENDOK, which runs the button's command.
    virtual BOOL NotifyCommand(int code);

    CComboBox& GetComboBox() { return m_combo; }
    HWND GetHwnd() const { return m_combo.m_hWnd; }
    HWND GetEditHwnd() const { return m_combo.GetEditHwnd(); }
    CString GetText() const;
    void SetText(const WCHAR* text);
    // Whether the keyboard focus is in the combo box or its edit field.
    bool HasFocus() const;
    CToolBar* GetToolBar() const { return m_pBar; }

    DWORD m_dwComboStyle;
    int m_nWidth;

private:
    class CToolBarComboBox : public CComboBox {
    public:
        explicit CToolBarComboBox(CToolBarComboBoxButton* owner) : m_owner(owner) {}
        BOOL PreTranslateMessage(MSG* msg) override;

    private:
        CToolBarComboBoxButton* m_owner;
    };

    CToolBarComboBox m_combo{this};
    CToolBar* m_pBar = nullptr;
};
