#include "framework/windows/CStatusBar.h"

#include "framework/windows/CCmdUI.h"
#include "framework/windows/CDC.h"

namespace {

class CStatusCmdUI : public CCmdUI {
public:
    CStatusCmdUI(CStatusBar* bar, const CString& text) : m_bar(bar), m_text(text) {}
    void Enable(BOOL on) override
    {
        m_bEnableChanged = TRUE;
        CString shown = on ? m_text : CString();
        if (m_bar->GetPaneText((int)m_nIndex) != shown)
            m_bar->SetPaneText((int)m_nIndex, shown);
    }
    void SetCheck(int) override {}
    void SetRadio(BOOL) override {}
    void SetText(const WCHAR* text) override { m_bar->SetPaneText((int)m_nIndex, text); }

private:
    CStatusBar* m_bar;
    CString m_text;
};

}  // namespace

BOOL CStatusBar::Create(CWnd* parent, DWORD style, UINT id)
{
    DWORD all = WS_CHILD | WS_VISIBLE | CCS_BOTTOM | SBARS_SIZEGRIP | style;
    return CreateEx(0, STATUSCLASSNAMEW, L"", all, CRect(0, 0, 0, 0), parent, id);
}

BOOL CStatusBar::SetIndicators(const UINT* ids, int count)
{
    m_ids.assign(ids, ids + count);
    m_texts.assign((size_t)count, CString());
    m_widths.assign((size_t)count, 0);
    CClientDC dc(m_hWnd);
    HGDIOBJ old = dc.SelectObject((HGDIOBJ)SendMessage(WM_GETFONT));
    for (int i = 0; i < count; ++i) {
        if (ids[i] == 0)
            continue;
        m_texts[(size_t)i].LoadString(ids[i]);
        m_widths[(size_t)i] = dc.GetTextExtent(m_texts[(size_t)i], m_texts[(size_t)i].GetLength()).cx + 12;
    }
    dc.SelectObject(old);
    SetParts();
    return TRUE;
}

void CStatusBar::SetParts()
{
    if (m_ids.empty())
        return;
    CRect client;
    GetClientRect(&client);
    // The indicators sit at the right end; the last one runs under the
    // size grip.
    size_t count = m_ids.size();
    std::vector<int> edges(count, -1);
    int edge = client.right - ::GetSystemMetrics(SM_CXVSCROLL);
    for (size_t i = count - 1; i-- > 0;) {
        edge -= m_widths[i + 1];
        edges[i] = edge;
    }
    SendMessage(SB_SETPARTS, edges.size(), (LPARAM)edges.data());
}

void CStatusBar::SetPaneText(int index, const WCHAR* text)
{
    SendMessage(SB_SETTEXTW, (WPARAM)index, (LPARAM)text);
}

CString CStatusBar::GetPaneText(int index) const
{
    CString text;
    int length = LOWORD(::SendMessageW(m_hWnd, SB_GETTEXTLENGTHW, (WPARAM)index, 0));
    WCHAR* buffer = text.GetBuffer(length + 1);
    ::SendMessageW(m_hWnd, SB_GETTEXTW, (WPARAM)index, (LPARAM)buffer);
    text.ReleaseBuffer(length);
    return text;
}

int CStatusBar::Layout(const RECT& client)
{
    // The bar places itself along its parent's bottom edge.
    SendMessage(WM_SIZE, 0, MAKELPARAM(client.right - client.left, client.bottom - client.top));
    SetParts();
    CRect rect;
    GetWindowRect(&rect);
    return rect.Height();
}

void CStatusBar::OnUpdateCmdUI(CCmdTarget* target, BOOL disableIfNoHandler)
{
    for (size_t i = 0; i < m_ids.size(); ++i) {
        if (m_ids[i] == 0)
            continue;
        CStatusCmdUI state(this, m_texts[i]);
        state.m_pOther = this;
        state.m_nID = m_ids[i];
        state.m_nIndex = (UINT)i;
        state.DoUpdate(target, disableIfNoHandler);
    }
}
