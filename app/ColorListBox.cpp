#include "app/ColorListBox.h"

#include "doc/JobProtocol.h"
#include "framework/windows/CDC.h"

#include <algorithm>

namespace {

const COLORREF kTable[CColorListBox::COLOR_COUNT] = {
    RGB(0, 0, 0),       RGB(255, 255, 255), RGB(128, 0, 0),   RGB(0, 128, 0),
    RGB(128, 128, 0),   RGB(0, 0, 128),     RGB(128, 0, 128), RGB(0, 128, 128),
    RGB(192, 192, 192), RGB(128, 128, 128), RGB(255, 0, 0),   RGB(0, 255, 0),
    RGB(255, 255, 0),   RGB(0, 0, 255),     RGB(255, 0, 255), RGB(0, 255, 255),
};

int ClampIndex(int index) { return std::clamp(index, 0, CColorListBox::COLOR_COUNT - 1); }

}  // namespace

COLORREF CColorListBox::TableColor(int index) { return kTable[ClampIndex(index)]; }

void CColorListBox::KindColors(int kind, int& text, int& background)
{
    background = 1;
    switch (kind) {
    case LOG_INFO:
        text = 0;
        break;
    case LOG_ERROR:
        text = 10;
        break;
    case LOG_OK:
        text = 3;
        break;
    case LOG_WARNING:
        text = 9;
        break;
    case LOG_HEADING:
        text = 1;
        background = 13;
        break;
    case LOG_HEADING_ERROR:
        text = 1;
        background = 10;
        break;
    case LOG_HEADING_OK:
        text = 1;
        background = 3;
        break;
    case LOG_HEADING_WARNING:
        text = 1;
        background = 9;
        break;
    default:  // LOG_PLAIN and unknown kinds
        text = 13;
        break;
    }
}

CString CColorListBox::EncodeLine(int text, int background, const CString& line)
{
    CString encoded;
    encoded += (WCHAR)(text + 1);
    encoded += (WCHAR)(background + 1);
    CString body = line;
    body.Replace(L'\r', L' ');
    body.Replace(L'\n', L' ');
    encoded += body;
    return encoded;
}

bool CColorListBox::DecodeLine(const CString& encoded, int& text, int& background, CString& line)
{
    if (encoded.GetLength() < 2) {
        text = 0;
        background = 1;
        line = encoded;
        return false;
    }
    text = ClampIndex((int)encoded[0] - 1);
    background = ClampIndex((int)encoded[1] - 1);
    line = encoded.Mid(2);
    return true;
}

CColorListBox::CColorListBox()
    : m_crBackground(::GetSysColor(COLOR_WINDOW)), m_crSelectedBackground(::GetSysColor(COLOR_HIGHLIGHT)),
      m_crText(::GetSysColor(COLOR_WINDOWTEXT)), m_crSelectedText(::GetSysColor(COLOR_HIGHLIGHTTEXT))
{
}

void CColorListBox::AddLine(int text, int background, const CString& line)
{
    if (!IsWindow())
        return;
    if (text < 0 || text >= COLOR_COUNT)
        text = 0;
    background = ClampIndex(background);
    CString encoded = EncodeLine(text, background, line);
    int index = AddString(encoded);
    if (index == LB_ERRSPACE) {
        int count = GetCount();
        if (count < 2)
            return;
        int drop = std::max(1, std::min(20, count - 1));
        SetRedraw(FALSE);
        for (int i = 0; i < drop; ++i)
            DeleteString(0);
        index = AddString(encoded);
        SetRedraw(TRUE);
    }
    if (index >= 0)
        SetTopIndex(index);
    SetCurSel(-1);
}

void CColorListBox::CopyFrom(CColorListBox* other)
{
    ResetContent();
    if (!other || !other->IsWindow())
        return;
    int count = other->GetCount();
    SetRedraw(FALSE);
    for (int i = 0; i < count; ++i)
        AddString(other->GetText(i));
    SetRedraw(TRUE);
    Invalidate();
}

void CColorListBox::SaveLines(CStringArray& lines) const
{
    int count = GetCount();
    for (int i = 0; i < count; ++i)
        lines.Add(GetText(i));
}

void CColorListBox::FillFiltered(const CStringArray& lines, int text, int background)
{
    SetRedraw(FALSE);
    for (const CString& encoded : lines) {
        bool keep = encoded.IsEmpty() || (text < 1 && background < 1);
        if (!keep) {
            int lineText = 0, lineBackground = 0;
            CString body;
            DecodeLine(encoded, lineText, lineBackground, body);
            keep = (text < 0 || text == lineText) && (background < 0 || background == lineBackground);
        }
        if (keep)
            AddString(encoded);
    }
    SetRedraw(TRUE);
    Invalidate();
}

void CColorListBox::ComputeTabStops(HDC dc)
{
    SIZE size = {};
    ::GetTextExtentPoint32W(dc, L" ", 1, &size);
    m_nSpaceWidth = size.cx;
    ::GetTextExtentPoint32W(dc, L"c", 1, &size);
    m_nCharWidth = size.cx;
    for (int i = 0; i < 100; ++i)
        m_TabStops[i] = (i + 1) * m_nTabSize * m_nCharWidth;
}

void CColorListBox::SetTabSize(int characters)
{
    m_nTabSize = characters;
    if (!IsWindow())
        return;
    CClientDC dc(m_hWnd);
    HGDIOBJ old = dc.SelectObject((HGDIOBJ)GetFont());
    ComputeTabStops(dc);
    dc.SelectObject(old);
}

void CColorListBox::ResetContent()
{
    if (!IsWindow())
        return;
    CListBox::ResetContent();
    m_nMaxExtent = 0;
    SetHorizontalExtent(0);
}

void CColorListBox::SetFont(HFONT font, BOOL redraw)
{
    if (IsWindow())
        CWnd::SetFont(font, redraw);
}

void CColorListBox::DrawItem(DRAWITEMSTRUCT* item)
{
    CDC dc;
    dc.Attach(item->hDC);
    HGDIOBJ oldFont = dc.SelectObject((HGDIOBJ)GetFont());
    ComputeTabStops(dc);
    bool realItem = (int)item->itemID >= 0;
    if (realItem && (item->itemAction & (ODA_DRAWENTIRE | ODA_SELECT))) {
        int text = 0, background = 1;
        CString line;
        DecodeLine(GetText((int)item->itemID), text, background, line);
        bool selected = (item->itemState & ODS_SELECTED) != 0;
        COLORREF textColour = selected ? m_crSelectedText : TableColor(text);
        COLORREF backColour = selected ? m_crSelectedBackground : TableColor(background);
        dc.FillSolidRect(item->rcItem, backColour);
        dc.SetBkMode(TRANSPARENT);
        dc.SetTextColor(textColour);
        dc.TabbedTextOut(item->rcItem.left + 2, item->rcItem.top, line, line.GetLength(), 100, m_TabStops, 0);
        int extent = dc.GetTabbedTextExtent(line, line.GetLength(), 100, m_TabStops).cx +
                     ::GetSystemMetrics(SM_CXVSCROLL);
        if (extent > m_nMaxExtent) {
            m_nMaxExtent = extent;
            SetHorizontalExtent(extent + extent / 32);
        }
    }
    bool focusAction = (item->itemAction & ODA_FOCUS) != 0;
    bool focusedEntire = realItem && (item->itemAction & ODA_DRAWENTIRE) && (item->itemState & ODS_FOCUS);
    if (focusAction || focusedEntire)
        dc.DrawFocusRect(item->rcItem);
    dc.SelectObject(oldFont);
    dc.Detach();
}

void CColorListBox::MeasureItem(MEASUREITEMSTRUCT*) {}

int CColorListBox::CompareItem(COMPAREITEMSTRUCT*) { return 0; }
