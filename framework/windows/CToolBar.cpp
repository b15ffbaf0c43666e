#include "framework/windows/CToolBar.h"

#include "framework/windows/CCmdUI.h"
#include "framework/windows/CReBar.h"
#include "framework/windows/CWinApp.h"
#include "framework/windows/CommandImages.h"
#include "framework/windows/CommandPrompts.h"
#include "framework/windows/StandardIds.h"
#include "framework/windows/IntList.h"
#include "framework/windows/PngImage.h"

#include <algorithm>

namespace {

std::vector<CToolBar*>& Registry()
{
    static std::vector<CToolBar*> bars;
    return bars;
}

// The state of a toolbar button as the update handlers set it.
class CToolCmdUI : public CCmdUI {
public:
    CToolCmdUI(CToolBar* bar, CToolBarButton* button) : m_bar(bar), m_button(button) {}
    void Enable(BOOL on) override
    {
        m_bEnableChanged = TRUE;
        ::SendMessageW(m_bar->m_hWnd, TB_ENABLEBUTTON, m_nID, MAKELONG(on ? TRUE : FALSE, 0));
        m_button->Enable(on);
    }
    void SetCheck(int check) override
    {
        ::SendMessageW(m_bar->m_hWnd, TB_CHECKBUTTON, m_nID, MAKELONG(check ? TRUE : FALSE, 0));
    }
    void SetRadio(BOOL on) override { SetCheck(on ? 1 : 0); }
    void SetText(const WCHAR*) override {}

private:
    CToolBar* m_bar;
    CToolBarButton* m_button;
};

}  // namespace

UINT ToolBarResetMessage()
{
    static UINT message = ::RegisterWindowMessageW(L"TOOLBAR_RESETTOOLBAR");
    return message;
}

UINT ToolBarPopupMenuMessage()
{
    static UINT message = ::RegisterWindowMessageW(L"TOOLBAR_POPUPMENU");
    return message;
}

CToolBar::CToolBar() = default;

CToolBar::~CToolBar()
{
    auto& bars = Registry();
    bars.erase(std::remove(bars.begin(), bars.end(), this), bars.end());
    if (IsWindow())
        DestroyWindow();
    m_pool.clear();
    for (HIMAGELIST list : {m_images, m_hotImages, m_disabledImages}) {
        if (list)
            ::ImageList_Destroy(list);
    }
}

const std::vector<CToolBar*>& CToolBar::AllToolBars() { return Registry(); }

BOOL CToolBar::Create(CWnd* frame, DWORD style, UINT id)
{
    m_pFrame = frame;
    DWORD all = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS |
                CCS_NODIVIDER | CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_ADJUSTABLE | style;
    if (!CreateEx(0, TOOLBARCLASSNAMEW, L"", all, CRect(0, 0, 0, 0), frame, id))
        return FALSE;
    SendMessage(TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON));
    // Commands and notifications go to the frame wherever the bar lives.
    SendMessage(TB_SETPARENT, (WPARAM)frame->m_hWnd);
    SendMessage(TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_DRAWDDARROWS);
    Registry().push_back(this);
    return TRUE;
}

BOOL CToolBar::LoadToolBar(UINT resourceId, UINT coldPng, UINT menuPng, UINT hotPng)
{
    int width = 16, height = 15;
    m_resourceCommands = CCommandImages::LoadToolBarResource(resourceId, &width, &height);
    if (m_resourceCommands.empty())
        return FALSE;
    m_nResourceId = resourceId;
    CPngImage cold, hot;
    if (!cold.LoadResource(coldPng))
        return FALSE;
    int size = cold.Height();
    m_images = cold.CreateImageList(size, false);
    m_disabledImages = cold.CreateImageList(size, true);
    if (hot.LoadResource(hotPng))
        m_hotImages = hot.CreateImageList(size, false);
    CCommandImages::RegisterToolBar(resourceId, menuPng);
    SendMessage(TB_SETBITMAPSIZE, 0, MAKELONG(size, size));
    SendMessage(TB_SETIMAGELIST, 0, (LPARAM)m_images);
    SendMessage(TB_SETDISABLEDIMAGELIST, 0, (LPARAM)m_disabledImages);
    if (m_hotImages)
        SendMessage(TB_SETHOTIMAGELIST, 0, (LPARAM)m_hotImages);
    BuildDefaultButtons();
    return TRUE;
}

CToolBarButton* CToolBar::Adopt(std::unique_ptr<CToolBarButton> button)
{
    m_pool.push_back(std::move(button));
    return m_pool.back().get();
}

void CToolBar::BuildDefaultButtons()
{
    SetButtons({});
    m_pool.clear();
    m_defaults.clear();
    int image = 0;
    for (UINT command : m_resourceCommands)
        m_defaults.push_back(Adopt(std::make_unique<CToolBarButton>(command, command ? image++ : -1)));
    SetButtons(m_defaults);
    // The frame replaces the buttons that are more than a command.
    if (m_pFrame && m_pFrame->IsWindow())
        m_pFrame->SendMessage(ToolBarResetMessage(), m_nResourceId);
    PlaceChildren();
    SizeChanged();
}

void CToolBar::SetButtons(const std::vector<CToolBarButton*>& buttons)
{
    for (int i = GetCount() - 1; i >= 0; --i) {
        CToolBarButton* button = GetButton(i);
        SendMessage(TB_DELETEBUTTON, (WPARAM)i);
        if (button)
            button->OnRemoved();
    }
    std::vector<TBBUTTON> items(buttons.size());
    for (size_t i = 0; i < buttons.size(); ++i)
        buttons[i]->FillButton(items[i]);
    if (!items.empty())
        SendMessage(TB_ADDBUTTONSW, items.size(), (LPARAM)items.data());
    PlaceChildren();
}

std::vector<CToolBarButton*> CToolBar::CurrentButtons() const
{
    std::vector<CToolBarButton*> buttons;
    int count = GetCount();
    for (int i = 0; i < count; ++i)
        buttons.push_back(GetButton(i));
    return buttons;
}

CToolBarButton* CToolBar::GetButton(int index) const
{
    TBBUTTON button = {};
    if (!::SendMessageW(m_hWnd, TB_GETBUTTON, (WPARAM)index, (LPARAM)&button))
        return nullptr;
    return (CToolBarButton*)button.dwData;
}

int CToolBar::CommandToIndex(UINT id) const
{
    int count = GetCount();
    for (int i = 0; i < count; ++i) {
        CToolBarButton* button = GetButton(i);
        if (button && button->m_nID == id)
            return i;
    }
    return -1;
}

CToolBarComboBoxButton* CToolBar::FindComboButton(UINT id) const
{
    int count = GetCount();
    for (int i = 0; i < count; ++i) {
        auto* combo = dynamic_cast<CToolBarComboBoxButton*>(GetButton(i));
        if (combo && combo->m_nID == id)
            return combo;
    }
    return nullptr;
}

int CToolBar::ReplaceButton(UINT id, std::unique_ptr<CToolBarButton> button)
{
    CToolBarButton* replacement = Adopt(std::move(button));
    int replaced = 0;
    int count = GetCount();
    for (int i = 0; i < count; ++i) {
        CToolBarButton* old = GetButton(i);
        if (!old || old->m_nID != id)
            continue;
        TBBUTTON item = {};
        replacement->FillButton(item);
        SendMessage(TB_DELETEBUTTON, (WPARAM)i);
        old->OnRemoved();
        SendMessage(TB_INSERTBUTTONW, (WPARAM)i, (LPARAM)&item);
        ++replaced;
    }
    for (CToolBarButton*& slot : m_defaults) {
        if (slot->m_nID == id)
            slot = replacement;
    }
    PlaceChildren();
    SizeChanged();
    return replaced;
}

CSize CToolBar::CalcSize() const
{
    SIZE size = {};
    ::SendMessageW(m_hWnd, TB_GETMAXSIZE, 0, (LPARAM)&size);
    return size;
}

void CToolBar::PlaceChildren()
{
    std::vector<CToolBarButton*> current = CurrentButtons();
    for (auto& owned : m_pool) {
        if (std::find(current.begin(), current.end(), owned.get()) == current.end())
            owned->OnRemoved();
    }
    for (size_t i = 0; i < current.size(); ++i) {
        CRect rect;
        if (current[i] && ::SendMessageW(m_hWnd, TB_GETITEMRECT, i, (LPARAM)&rect))
            current[i]->OnPlaced(this, rect);
    }
}

void CToolBar::SizeChanged()
{
    if (auto* rebar = dynamic_cast<CReBar*>(FromHandlePermanent(::GetParent(m_hWnd))))
        rebar->UpdateBandSize(this);
}

void CToolBar::RunButtonCommand(CToolBarButton* button)
{
    if (!m_pFrame || !button || !button->HasCommand())
        return;
    if (auto* combo = dynamic_cast<CToolBarComboBoxButton*>(button))
        m_pFrame->SendMessage(WM_COMMAND, MAKEWPARAM(combo->m_nID, 0), (LPARAM)combo->GetHwnd());
    else
        m_pFrame->SendMessage(WM_COMMAND, MAKEWPARAM(button->m_nID, BN_CLICKED), (LPARAM)m_hWnd);
}

void CToolBar::Customize()
{
    if (!m_bCustomizing)
        SendMessage(TB_CUSTOMIZE);
}

void CToolBar::OnUpdateCmdUI(CCmdTarget* target, BOOL disableIfNoHandler)
{
    int count = GetCount();
    for (int i = 0; i < count; ++i) {
        CToolBarButton* button = GetButton(i);
        if (!button || !button->HasCommand())
            continue;
        CToolCmdUI state(this, button);
        state.m_pOther = this;
        state.m_nID = button->m_nID;
        state.m_nIndex = (UINT)i;
        state.DoUpdate(target, disableIfNoHandler);
    }
}

void CToolBar::SaveState(const WCHAR* section)
{
    CWinApp* app = AfxGetApp();
    if (!app || !m_nResourceId)
        return;
    std::vector<int> ids;
    for (CToolBarButton* button : CurrentButtons())
        ids.push_back(button ? (int)button->m_nID : 0);
    CString name;
    name.Format(L"ToolBar%u", m_nResourceId);
    app->WriteProfileString(section, name, FormatIntList(ids));
}

void CToolBar::LoadState(const WCHAR* section)
{
    CWinApp* app = AfxGetApp();
    if (!app || !m_nResourceId)
        return;
    CString name;
    name.Format(L"ToolBar%u", m_nResourceId);
    std::vector<int> ids = ParseIntList(app->GetProfileString(section, name, L""));
    if (ids.empty())
        return;
    std::vector<CToolBarButton*> buttons;
    for (int id : ids) {
        if (id == 0) {
            buttons.push_back(Adopt(std::make_unique<CToolBarButton>(0, -1)));
            continue;
        }
        // Each known button once; commands the resource no longer has are dropped.
        for (CToolBarButton* button : m_defaults) {
            if (button->m_nID == (UINT)id && std::find(buttons.begin(), buttons.end(), button) == buttons.end()) {
                buttons.push_back(button);
                break;
            }
        }
    }
    SetButtons(buttons);
    SizeChanged();
}

void CToolBar::ShowPopupMenu(POINT screenPoint)
{
    if (m_pFrame)
        m_pFrame->SendMessage(ToolBarPopupMenuMessage(), m_nResourceId, MAKELPARAM(screenPoint.x, screenPoint.y));
}

LRESULT CToolBar::OnDropDown(NMTOOLBARW* info)
{
    int index = CommandToIndex((UINT)info->iItem);
    auto* button = dynamic_cast<CToolBarMenuButton*>(index >= 0 ? GetButton(index) : nullptr);
    if (!button || !m_pFrame)
        return TBDDRET_DEFAULT;
    CMenu popup = button->CreatePopup();
    if (!m_pFrame->SendMessage(WM_FRAME_SHOWPOPUPMENU, button->m_nID, (LPARAM)&popup))
        return TBDDRET_DEFAULT;
    CRect rect(info->rcButton);
    ::MapWindowPoints(m_hWnd, nullptr, (POINT*)&rect, 2);
    popup.TrackPopupMenu(TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON, rect.left, rect.bottom, m_pFrame);
    return TBDDRET_DEFAULT;
}

BOOL CToolBar::GetButtonInfo(NMTOOLBARW* info)
{
    // The buttons the customisation dialog offers: the default ones that
    // are commands (combo boxes and separators stay where they are).
    std::vector<CToolBarButton*> offered;
    for (CToolBarButton* button : m_defaults) {
        if (!button->IsSeparator() && !dynamic_cast<CToolBarComboBoxButton*>(button))
            offered.push_back(button);
    }
    if (info->iItem < 0 || info->iItem >= (int)offered.size())
        return FALSE;
    CToolBarButton* button = offered[(size_t)info->iItem];
    button->FillButton(info->tbButton);
    if (info->pszText && info->cchText > 0) {
        CString text = LoadStringPart(button->m_nID, 1);
        if (text.IsEmpty())
            text = button->m_strText;
        lstrcpynW(info->pszText, text, info->cchText);
    }
    return TRUE;
}

BOOL CToolBar::OnChildNotify(UINT message, WPARAM, LPARAM lParam, LRESULT* result)
{
    if (message != WM_NOTIFY)
        return FALSE;
    NMHDR* header = (NMHDR*)lParam;
    *result = 0;
    switch (header->code) {
    case TBN_DROPDOWN:
        *result = OnDropDown((NMTOOLBARW*)header);
        return TRUE;
    case TBN_GETINFOTIPW: {
        auto* tip = (NMTBGETINFOTIPW*)header;
        CString text = LoadStringPart((UINT)tip->iItem, 1);
        if (tip->pszText && tip->cchTextMax > 0)
            lstrcpynW(tip->pszText, text, tip->cchTextMax);
        return TRUE;
    }
    case TBN_HOTITEMCHANGE: {
        auto* hot = (NMTBHOTITEM*)header;
        if (m_pFrame) {
            if (hot->dwFlags & HICF_LEAVING) {
                m_pFrame->SendMessage(WM_FRAME_SETMESSAGETEXT, IDS_IDLE_MESSAGE);
            } else {
                CString prompt = LoadStringPart((UINT)hot->idNew, 0);
                m_pFrame->SendMessage(WM_FRAME_SETMESSAGETEXT, 0, (LPARAM)prompt.GetString());
            }
        }
        return TRUE;
    }
    case TBN_QUERYINSERT:
    case TBN_QUERYDELETE:
        *result = TRUE;
        return TRUE;
    case TBN_GETBUTTONINFOW:
        *result = GetButtonInfo((NMTOOLBARW*)header);
        return TRUE;
    case TBN_INITCUSTOMIZE:
        *result = TBNRF_HIDEHELP;
        return TRUE;
    case TBN_BEGINADJUST:
        m_bCustomizing = true;
        return TRUE;
    case TBN_ENDADJUST:
        m_bCustomizing = false;
        PlaceChildren();
        SizeChanged();
        return TRUE;
    case TBN_RESET:
        BuildDefaultButtons();
        return TRUE;
    case TBN_TOOLBARCHANGE:
        PlaceChildren();
        SizeChanged();
        return TRUE;
    case NM_RCLICK: {
        POINT point;
        ::GetCursorPos(&point);
        ShowPopupMenu(point);
        *result = TRUE;
        return TRUE;
    }
    default:
        return FALSE;
    }
}

BOOL CToolBar::OnCommand(WPARAM wParam, LPARAM lParam)
{
    // Notifications of the combo boxes that stand on the bar.
    HWND control = (HWND)lParam;
    if (control) {
        for (CToolBarButton* button : CurrentButtons()) {
            auto* combo = dynamic_cast<CToolBarComboBoxButton*>(button);
            if (!combo || combo->GetHwnd() != control)
                continue;
            int code = HIWORD(wParam);
            if (combo->NotifyCommand(code) && code == CBN_SELENDOK)
                RunButtonCommand(combo);
            return TRUE;
        }
    }
    return CWnd::OnCommand(wParam, lParam);
}

BOOL CToolBar::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    switch (message) {
    case WM_DESTROY: {
        auto& bars = Registry();
        bars.erase(std::remove(bars.begin(), bars.end(), this), bars.end());
        return CWnd::OnWndMsg(message, wParam, lParam, result);
    }
    case WM_WINDOWPOSCHANGED:
        *result = Default();
        PlaceChildren();
        return TRUE;
    default:
        return CWnd::OnWndMsg(message, wParam, lParam, result);
    }
}
