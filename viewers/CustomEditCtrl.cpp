#include "viewers/CustomEditCtrl.h"

#include <algorithm>
#include <vector>

CWipedStringList g_FindHistory;

namespace {

const COLORREF TAG_BLUE = 0xFF0000;
const COLORREF TAG_RED = 0x0000FF;
const COLORREF GLYPH_DARK_RED = RGB(127, 0, 0);
const COLORREF GLYPH_YELLOW = RGB(255, 255, 0);
// Black on salmon, RGB(255, 127, 127).
const COLORREF BOOKMARK_LINE_BACK = 0x7F7FFF;

bool InCharSet(WCHAR ch, const WCHAR* set)
{
    for (; *set; ++set)
        if (*set == ch)
            return true;
    return false;
}

// Every node of `nodes` and all their descendants.
std::vector<CCodeOutlineNode*> WithDescendants(const std::vector<CCodeOutlineNode*>& nodes)
{
    std::vector<CCodeOutlineNode*> all;
    for (CCodeOutlineNode* node : nodes) {
        all.push_back(node);
        node->CollectChildNodes(all, true);
    }
    return all;
}

}  // namespace

int SkipCharsInSet(const CString& text, const WCHAR* set, int& offset, BOOL forwards)
{
    if (forwards) {
        while (offset < text.GetLength() && InCharSet(text[offset], set))
            ++offset;
    } else {
        --offset;
        while (offset >= 0 && offset < text.GetLength() && InCharSet(text[offset], set))
            --offset;
    }
    return offset;
}

CCustomEditCtrl::CCustomEditCtrl()
{
    copyRichText = 1;
    gradientMarkers = 1;
}

CCustomEditCtrl::~CCustomEditCtrl() = default;

BOOL CCustomEditCtrl::SetMarginBookmarks(BOOL on)
{
    BOOL previous = marginBookmarks;
    marginBookmarks = on ? 1 : 0;
    return previous;
}

int CCustomEditCtrl::ToggleUserBookmark(int line)
{
    if (line == -1)
        line = GetCaretLine();
    if (FlipLineMarker(line, MARKER_USER_BOOKMARK, 0, TRUE, 0)) {
        AddLineColorMarker(line, 0, BOOKMARK_LINE_BACK, 1, 0, MARKER_BOOKMARK_LINE, 2);
        return 1;
    }
    DeleteMarkersOnLine(line, MARKER_BOOKMARK_LINE, TRUE);
    return 0;
}

void CCustomEditCtrl::ClearUserBookmarks()
{
    DeleteMarkersOfType(MARKER_USER_BOOKMARK | MARKER_BOOKMARK_LINE, TRUE);
}

CXmlOutlineParser* CCustomEditCtrl::GetXmlOutlineParser()
{
    // Every parser of this control comes from CreateOutlineParser.
    return static_cast<CXmlOutlineParser*>(outlineParser);
}

BOOL CCustomEditCtrl::FindAndSelect(const WCHAR* what, BOOL forward, BOOL matchCase, BOOL wholeWord)
{
    CString searched(what ? what : L"");
    g_FindHistory.remove(searched);
    g_FindHistory.push_back(searched);
    searched.SecureEmpty();
    return CCodeEditCtrl::FindAndSelect(what, forward, matchCase, wholeWord);
}

void CCustomEditCtrl::DrawMarkerGlyph(CEditDisplayList& list, const RECT& rect, const CCodeEditMarker& marker)
{
    if (marker.type & MARKER_USER_BOOKMARK) {
        RECT r = {rect.left + 1, rect.top + 1, rect.right - 1, rect.bottom - 1};
        const int height = r.bottom - r.top;
        r.left = r.left + (r.right - r.left) / 2 - height / 2;
        r.right = r.left + height;
        list.Ellipse(r, GLYPH_DARK_RED, GLYPH_DARK_RED);
    } else if (marker.type & MARKER_YELLOW_GLYPH) {
        list.Ellipse(rect, GLYPH_DARK_RED, GLYPH_YELLOW);
    } else {
        CCodeEditCtrl::DrawMarkerGlyph(list, rect, marker);
    }
}

void CCustomEditCtrl::AdjustCharColor(WCHAR ch, int offset, COLORREF& color, COLORREF& back)
{
    if (!xmlColoring)
        return;
    if (ch == L'<' || ch == L'>' || ch == L'/') {
        color = TAG_BLUE;
        return;
    }
    const COLORREF plainText = GetTextColor();
    int open = 0, close = 0;
    if (!FindEnclosingPair(offset, L'<', L'>', open, close)) {
        color = plainText;
        back = GetBackColor();
        return;
    }
    // A server-script block such as <% ... %> keeps the language's colours.
    if (GetCharAt(open + 1) == L'%' && GetCharAt(close - 1) == L'%')
        return;
    if (color == plainText)
        color = ch == L'=' ? TAG_BLUE : TAG_RED;
}

BOOL CCustomEditCtrl::MarkerMovesWithText(const CCodeEditMarker* marker)
{
    return (marker->type & MARKER_FIXED_LINE) == 0;
}

CCodeOutlineParser* CCustomEditCtrl::CreateOutlineParser()
{
    return new CXmlOutlineParser;
}

void CCustomEditCtrl::ApplyOutlineChanges(CODE_EDIT_OUTLINE_CHANGES& changes, BOOL redrawAll)
{
    // A block the parser rebuilt with the same extent and type keeps its fold.
    const std::vector<CCodeOutlineNode*> removed = WithDescendants(changes.removed);
    std::vector<CCodeOutlineNode*> refold;
    for (CCodeOutlineNode* node : WithDescendants(changes.added)) {
        bool wasFolded = std::any_of(removed.begin(), removed.end(), [node](const CCodeOutlineNode* old) {
            return old->start == node->start && old->end == node->end && old->blockType == node->blockType &&
                   old->collapsed;
        });
        if (wasFolded)
            refold.push_back(node);
    }
    CCodeEditCtrl::ApplyOutlineChanges(changes, redrawAll);
    if (refold.empty())
        return;
    for (CCodeOutlineNode* node : refold)
        node->SetCollapsed(TRUE);
    CODE_EDIT_OUTLINE_CHANGES none;
    RecountHiddenLines(none);
}

BOOL CCustomEditCtrl::GetTipText(CString& tip)
{
    CString shown;
    bool fromBlock = (hyperlinksEnabled && GetLinkTipText(shown)) ||
                     (outliningEnabled && GetCollapsedTextAtPoint(tipPoint.x, tipPoint.y, shown, TRUE));
    bool same = fromBlock && shown == tip;
    shown.SecureEmpty();
    if (same)
        return TRUE;
    auto it = wordTips.find(tip);
    if (it == wordTips.end())
        return FALSE;
    tip = it->second;
    return TRUE;
}

void CCustomEditCtrl::OnEditFailure(unsigned code)
{
    if (code == EDIT_FAIL_INDENT || code == EDIT_FAIL_DROP || code == EDIT_FAIL_NO_SELECTION_DELETE)
        return;
    m_beep(0xFFFFFFFF);
}

void CCustomEditCtrl::HandleLButtonDblClk(POINT point)
{
    if (marginBookmarks && point.x < markerBarWidth)
        ToggleUserBookmark(-1);
    CCodeEditCtrl::HandleLButtonDblClk(point);
}

BOOL CCustomEditCtrl::ReadOperatorToken(const CString& text, int& offset, CString& token)
{
    if (offset < 0 || offset >= text.GetLength())
        return FALSE;
    const WCHAR ch = text[offset];
    if (ch == L'.') {
        token = L".";
    } else if (ch == L'>' || ch == L':') {
        const WCHAR before = ch == L'>' ? L'-' : L':';
        int p = offset;
        SkipCharsInSet(text, blankChars, p, FALSE);
        if (p < 0 || text[p] != before)
            return FALSE;
        token = ch == L'>' ? L"->" : L"::";
        offset = p;
    } else {
        return FALSE;
    }
    --offset;
    return TRUE;
}
