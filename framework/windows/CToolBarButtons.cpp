#include "framework/windows/CToolBarButtons.h"

#include "framework/windows/CToolBar.h"

CToolBarButton::CToolBarButton(UINT id, int image, const WCHAR* text)
    : m_nID(id), m_iImage(image), m_strText(text ? text : L"")
{
}

void CToolBarButton::FillButton(TBBUTTON& button) const
{
    button = {};
    button.idCommand = (int)m_nID;
    button.fsState = TBSTATE_ENABLED;
    button.dwData = (DWORD_PTR)this;
    button.iString = -1;
    if (IsSeparator()) {
        button.fsStyle = BTNS_SEP;
        button.iBitmap = 0;
    } else {
        button.fsStyle = BTNS_BUTTON;
        button.iBitmap = m_iImage;
    }
}

void CToolBarButton::OnPlaced(CToolBar*, const RECT&) {}

CToolBarMenuButton::CToolBarMenuButton(UINT id, UINT menuId, int subMenu, int image, const WCHAR* text,
                                       bool wholeDropDown)
    : CToolBarButton(id, image, text), m_nMenuId(menuId), m_nSubMenu(subMenu), m_bWholeDropDown(wholeDropDown)
{
}

void CToolBarMenuButton::FillButton(TBBUTTON& button) const
{
    CToolBarButton::FillButton(button);
    button.fsStyle = m_bWholeDropDown ? BTNS_WHOLEDROPDOWN : BTNS_DROPDOWN;
}

CMenu CToolBarMenuButton::CreatePopup() const
{
    CMenu popup;
    popup.CreatePopupMenu();
    CMenu resource;
    if (resource.LoadMenu(m_nMenuId)) {
        if (HMENU sub = resource.GetSubMenu(m_nSubMenu))
            popup.AppendCopyOf(sub);
    }
    return popup;
}

CToolBarComboBoxButton::CToolBarComboBoxButton(UINT id, int image, DWORD comboStyle, int width)
    : CToolBarButton(id, image), m_dwComboStyle(comboStyle), m_nWidth(width)
{
}

CToolBarComboBoxButton::~CToolBarComboBoxButton()
{
    if (m_combo.IsWindow())
        m_combo.DestroyWindow();
}

void CToolBarComboBoxButton::FillButton(TBBUTTON& button) const
{
    CToolBarButton::FillButton(button);
    // A separator as wide as the box reserves its slot.
    button.fsStyle = BTNS_SEP;
    button.iBitmap = m_nWidth;
}

void CToolBarComboBoxButton::OnPlaced(CToolBar* bar, const RECT& slot)
{
    m_pBar = bar;
    CRect rect(slot);
    if (!m_combo.IsWindow()) {
        DWORD style = WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | CBS_AUTOHSCROLL | m_dwComboStyle;
        if (!m_combo.Create(style, CRect(rect.left, rect.top, rect.left + m_nWidth, rect.top + 200), bar, m_nID))
            return;
        m_combo.SetFont((HFONT)::GetStockObject(DEFAULT_GUI_FONT), FALSE);
    }
    // Centred in the slot; the list drops 200 pixels below it.
    CRect box;
    m_combo.GetWindowRect(&box);
    int boxHeight = (int)::SendMessageW(m_combo.m_hWnd, CB_GETITEMHEIGHT, (WPARAM)-1, 0) + 6;
    int top = rect.top + (rect.Height() - boxHeight) / 2;
    ::SetWindowPos(m_combo.m_hWnd, nullptr, rect.left, top < 0 ? 0 : top, m_nWidth, 200,
                   SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void CToolBarComboBoxButton::OnRemoved()
{
    if (m_combo.IsWindow())
        m_combo.ShowWindow(SW_HIDE);
}

void CToolBarComboBoxButton::Enable(BOOL on)
{
    if (m_combo.IsWindow() && (m_combo.IsWindowEnabled() != 0) != (on != 0))
        m_combo.EnableWindow(on);
}

BOOL CToolBarComboBoxButton::NotifyCommand(int code) { return code == CBN_SELENDOK; }

CString CToolBarComboBoxButton::GetText() const
{
    CString text;
    if (m_combo.IsWindow())
        CWnd::GetWindowTextOf(m_combo.m_hWnd, text);
    return text;
}

void CToolBarComboBoxButton::SetText(const WCHAR* text)
{
    if (m_combo.IsWindow())
        m_combo.SetWindowText(text);
}

bool CToolBarComboBoxButton::HasFocus() const
{
    HWND focus = ::GetFocus();
    return focus && m_combo.IsWindow() && (focus == m_combo.m_hWnd || ::IsChild(m_combo.m_hWnd, focus));
}

BOOL CToolBarComboBoxButton::CToolBarComboBox::PreTranslateMessage(MSG* msg)
{
    // Enter in the edit field runs the button's command.
    if (msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN && m_owner->m_pBar) {
        m_owner->m_pBar->RunButtonCommand(m_owner);
        return TRUE;
    }
    return CComboBox::PreTranslateMessage(msg);
}
