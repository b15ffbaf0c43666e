// CToolBar: the system's toolbar control with the program's button model.
//
// LoadToolBar takes the buttons from a toolbar resource and the images from
// PNG strips (cold, hot and menu images), then sends the owning frame the
// registered message "TOOLBAR_RESETTOOLBAR" (wParam: the resource id), on
// which the frame may replace buttons by drop-down or combo-box buttons
// (ReplaceButton). The same happens when the user resets the toolbar in the
// system's customisation dialog (Customize). The buttons' states follow the
// frame's command handlers at idle time (OnUpdateCmdUI). A right click asks
// the frame for the bar's context menu with "TOOLBAR_POPUPMENU" (lParam: the
// screen point). The button order is kept in the workspace.
#pragma once

#include "framework/windows/CToolBarButtons.h"
#include "framework/windows/CWnd.h"

#include <commctrl.h>

#include <memory>
#include <vector>

class CCmdTarget;

// Registered messages of the toolbars to their frame.
UINT ToolBarResetMessage();
UINT ToolBarPopupMenuMessage();

class CToolBar : public CWnd {
public:
    CToolBar();
    ~CToolBar() override;

    // A flat toolbar with tooltips; commands and notifications go to
    // `frame`, which answers the WM_FRAME_* messages.
    BOOL Create(CWnd* frame, DWORD style, UINT id);
    BOOL LoadToolBar(UINT resourceId, UINT coldPng, UINT menuPng, UINT hotPng);
    UINT GetResourceId() const { return m_nResourceId; }

    int GetCount() const { return (int)::SendMessageW(m_hWnd, TB_BUTTONCOUNT, 0, 0); }
    // The button at a position of the control.
    CToolBarButton* GetButton(int index) const;
    int CommandToIndex(UINT id) const;
    // The first button of `id` as a combo box, or null.
    CToolBarComboBoxButton* FindComboButton(UINT id) const;
    // Puts `button` in place of every button with command `id`; the number
    // of buttons replaced.
    int ReplaceButton(UINT id, std::unique_ptr<CToolBarButton> button);
    // The width and height the buttons need in one row.
    CSize CalcSize() const;

    // Sends the button's command to the frame, as a click does; a combo
    // box's command carries its window.
    void RunButtonCommand(CToolBarButton* button);

    // Opens the system's customisation dialog (modal).
    void Customize();
    bool IsCustomizing() const { return m_bCustomizing; }

    void OnUpdateCmdUI(CCmdTarget* target, BOOL disableIfNoHandler);
    void SaveState(const WCHAR* section);
    void LoadState(const WCHAR* section);

    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

    // Every toolbar that has a window, in creation order.
    static const std::vector<CToolBar*>& AllToolBars();

    // The frame that receives the bar's commands and notifications.
    CWnd* GetFrame() const { return m_pFrame; }

private:
    void SetButtons(const std::vector<CToolBarButton*>& buttons);
    std::vector<CToolBarButton*> CurrentButtons() const;
    CToolBarButton* Adopt(std::unique_ptr<CToolBarButton> button);
    void BuildDefaultButtons();
    void PlaceChildren();
    void SizeChanged();
    LRESULT OnDropDown(NMTOOLBARW* info);
    BOOL GetButtonInfo(NMTOOLBARW* info);
    void ShowPopupMenu(POINT screenPoint);

    CWnd* m_pFrame = nullptr;
    UINT m_nResourceId = 0;
    std::vector<UINT> m_resourceCommands;
    std::vector<std::unique_ptr<CToolBarButton>> m_pool;  // every button object ever placed
    std::vector<CToolBarButton*> m_defaults;               // the buttons after the last reset
    HIMAGELIST m_images = nullptr;
    HIMAGELIST m_hotImages = nullptr;
    HIMAGELIST m_disabledImages = nullptr;
    bool m_bCustomizing = false;
};
