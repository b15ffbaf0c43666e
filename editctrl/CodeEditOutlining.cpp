// CCodeEditCtrl: folding with the outline tree and parser: collapsing and
// expanding, keeping the tree in step with edits, re-parsing changed ranges,
// hidden lines, the OUTLINE_DATA section, labels and fold glyphs.
#include "editctrl/CodeEditCtrl.h"

#include <algorithm>
#include <map>

void CCodeEditCtrl::SetFoldingEnabled(BOOL on)
{
    on = on ? 1 : 0;
    if (outliningEnabled == on)
        return;
    outliningEnabled = on;
    hiddenLineCount = outliningEnabled ? CountCharInRange(0, text.GetLength() - 1, L'\n', false) -
                                             CountCharInRange(0, text.GetLength() - 1, L'\n', true)
                                       : 0;
    RecalcLayout();
    topOffset = LineStartOf(topOffset, true);
    topLine = LineOfOffset(topOffset, true, true);
    hiddenAboveTop = LineOfOffset(topOffset, true, false) - topLine;
    RedrawAll();
    MoveCaretToOffset(caretOffset, FALSE, TRUE);
}

CCodeOutlineNode* CCodeEditCtrl::FindCollapsedNodeInRange(int first, int last, bool forward) const
{
    return outliningEnabled ? outlineRoot.FindCollapsedNodeInRange(first, last, forward) : nullptr;
}

CCodeOutlineNode* CCodeEditCtrl::FindLabelAtPoint(int x, int y, int offset) const
{
    if (!outliningEnabled)
        return nullptr;
    int first = LineStartOf(offset, true), last = LineEndOf(offset, true);
    return outlineRoot.FindLabelAtPoint(x + scrollColumn * maxCharWidth, y, first, last);
}

void CCodeEditCtrl::NextVisibleLine(int& lines, int& visibleLines, int& offset) const
{
    const int length = text.GetLength();
    int p = offset;
    while (p < length) {
        int feed = text.LineEnd(text.LineOfOffset(p));
        if (feed >= length)
            break;
        if (CCodeOutlineNode* node = FindCollapsedNode(feed)) {
            lines += text.CountLineBreaks(feed, std::min(node->end + 1, length));
            p = node->end + 1;
            continue;
        }
        ++lines;
        ++visibleLines;
        offset = feed + 1;
        return;
    }
    offset = -1;
}

BOOL CCodeEditCtrl::ToggleOutlineNode(CCodeOutlineNode* node)
{
    if (!node)
        return FALSE;
    ClearSelection(FALSE, TRUE, FALSE);
    node->SetCollapsed(!node->collapsed);
    CODE_EDIT_OUTLINE_CHANGES none;
    RecountHiddenLines(none);
    RedrawTextRange(node->start, text.GetLength() - 1);
    MoveCaretToOffset(LineStartOf(node->start, true), TRUE, TRUE);
    return TRUE;
}

BOOL CCodeEditCtrl::ClickOutlineBar(POINT point)
{
    if (!showOutlineBar || !outliningEnabled || outlineBarWidth <= 0)
        return FALSE;
    const int left = markerBarWidth + (showLineNumbers ? lineNumberWidth : 0);
    if (point.x < left || point.x >= left + outlineBarWidth || point.y < textRect.top || point.y >= textRect.bottom)
        return FALSE;
    POINT inText = {textRect.left + 1, point.y};
    int offset = OffsetFromPoint(inText, false, false);
    if (offset < 0)
        return FALSE;
    ToggleOutlineAt(offset);
    // A click on the bar never moves the caret into the text by itself.
    return TRUE;
}

BOOL CCodeEditCtrl::SelectCollapsedLabelAt(POINT point)
{
    if (!outliningEnabled || point.x < textRect.left)
        return FALSE;
    POINT p = point;
    int offset = OffsetFromPoint(p, false, false);
    if (offset < 0 || offset >= text.GetLength())
        return FALSE;
    CCodeOutlineNode* node = FindLabelAtPoint(point.x, point.y, offset);
    if (!node)
        return FALSE;
    return SetSelectionRange(node->start, std::min(node->end + 1, text.GetLength()), TRUE);
}

BOOL CCodeEditCtrl::ToggleOutlineAt(int offset)
{
    if (offset < 0)
        return FALSE;
    int first = LineStartOf(offset, true), last = LineEndOf(offset, true);
    std::vector<CCodeOutlineNode*> nodes;
    outlineRoot.CollectNodesInRange(first, last, nodes, false, true);
    for (CCodeOutlineNode* node : nodes)
        if (node->IsComplete() && node->start >= first && node->start <= last)
            return ToggleOutlineNode(node);
    return FALSE;
}

void CCodeEditCtrl::ExpandLine(int line)
{
    if (!outliningEnabled)
        return;
    int start = OffsetOfLine(line - 1, false);
    if (start < 0)
        return;
    int end = text.LineEnd(text.LineOfOffset(start));
    std::vector<CCodeOutlineNode*> nodes;
    outlineRoot.CollectNodesInRange(start, end, nodes, false, true);
    int low = text.GetLength(), high = -1;
    for (CCodeOutlineNode* node : nodes) {
        if (!node->collapsed)
            continue;
        low = std::min(low, node->start);
        high = std::max(high, node->end);
        node->SetCollapsed(FALSE);
    }
    if (high < 0)
        return;
    CODE_EDIT_OUTLINE_CHANGES none;
    RecountHiddenLines(none);
    RedrawTextRange(std::max(low, 0), text.GetLength() - 1);
}

BOOL CCodeEditCtrl::GetCollapsedTextAtPoint(int x, int y, CString& tip, BOOL trimLeadingBlankLines)
{
    POINT point = {x, y};
    int offset = OffsetFromPoint(point, false, false);
    if (offset < 0 || offset >= text.GetLength())
        return FALSE;
    CCodeOutlineNode* node = FindLabelAtPoint(x, y, offset);
    if (!node)
        return FALSE;
    tip = text.Mid(node->start, std::min(node->end - node->start + 1, maxTipLength));
    if (trimLeadingBlankLines) {
        int blanks = 0, lastFeed = -1;
        while (blanks < tip.GetLength() && (tip[blanks] == L' ' || tip[blanks] == L'\t' || tip[blanks] == L'\n')) {
            if (tip[blanks] == L'\n')
                lastFeed = blanks;
            ++blanks;
        }
        if (lastFeed >= 0 && lastFeed + 1 < tip.GetLength())
            tip = tip.Mid(lastFeed + 1);
    }
    return TRUE;
}

// The tree follows every edit, also while folding is off, so that turning
// folding on again never shows blocks at offsets the text has left.
void CCodeEditCtrl::OnTextInsertedForOutline(int start, int end)
{
    if (outlineRoot.children.empty())
        return;
    outlineRoot.OnTextInserted(start, end - start);
    outlineCache.Invalidate();
}

void CCodeEditCtrl::OnTextRemovedForOutline(int start, int end)
{
    if (outlineRoot.children.empty())
        return;
    CODE_EDIT_OUTLINE_CHANGES changes(start, end + 1);
    // The characters start..end-1 go: the blocks wholly among them go too.
    outlineRoot.RemoveNodesInRange(start, end - 1, changes);
    outlineRoot.OnTextRemoved(start, end);
    outlineCache.Invalidate();
    ApplyOutlineChanges(changes, FALSE);
}

void CCodeEditCtrl::ReparseOutline(int start, int length, BOOL redrawAll)
{
    if (!outliningEnabled || !autoOutlining || !outlineParser || !outlineUpdatesAllowed)
        return;
    if (start < 0 || length < 0 || start + length > text.GetLength())
        return;
    if (length == 1 && !outlineParser->IsOutlineChar(text.At(start)))
        return;
    CODE_EDIT_OUTLINE_CHANGES changes(start, start + length + 1);
    CString whole = text.Mid(0, text.GetLength());
    outlineParser->UpdateOutline(whole, start, length, outlineRoot, changes);
    whole.SecureEmpty();
    RecountHiddenLines(changes);
    ApplyOutlineChanges(changes, redrawAll);
}

void CCodeEditCtrl::ReparseOutlineRange(int first, int last)
{
    if (first == -1)
        first = 0;
    if (last == -1)
        last = text.GetLength() - 1;
    ReparseOutline(first, last - first + 1, TRUE);
}

void CCodeEditCtrl::ApplyOutlineChanges(CODE_EDIT_OUTLINE_CHANGES& changes, BOOL redrawAll)
{
    for (CCodeOutlineNode* node : changes.added) {
        changes.Widen(node->HeaderStart(), node->end);
        OnOutlineNodeAdded(node);
    }
    for (CCodeOutlineNode* node : changes.removed) {
        changes.Widen(node->HeaderStart(), node->end);
        OnOutlineNodeRemoved(node);
    }
    for (CCodeOutlineNode* node : changes.removed)
        delete node;
    changes.removed.clear();
    if (redrawAll) {
        RedrawTextRange(std::max(changes.start, 0), text.GetLength() - 1);
        return;
    }
    POINT top = {};
    PointFromOffset(std::max(changes.start, 0), top);
    SIZE client = m_host->GetClientSize();
    RECT r = {0, top.y, client.cx, client.cy};
    m_host->InvalidateRect(&r, true);
}

void CCodeEditCtrl::RecountHiddenLines(CODE_EDIT_OUTLINE_CHANGES&)
{
    // Counted from the collapsed blocks themselves, so the count cannot drift
    // from what the mapping hides.
    outlineCache.Invalidate();
    const COutlineCasheManager* blocks = CollapsedBlocks();
    int hidden = blocks ? blocks->HiddenBreakTotal() : 0;
    if (hidden == hiddenLineCount)
        return;
    hiddenLineCount = hidden;
    RecalcLayout();
    topOffset = LineStartOf(topOffset, true);
    topLine = LineOfOffset(topOffset, true, true);
    hiddenAboveTop = LineOfOffset(topOffset, true, false) - topLine;
}

int CCodeEditCtrl::LabelWidth(const CCodeOutlineNode& node)
{
    SIZE size = {};
    MeasureTextRun(size, node.label, node.label.GetLength());
    return size.cx + 2;
}

int CCodeEditCtrl::MeasureCollapsedLabel(CCodeOutlineNode& node, int x, int y)
{
    int width = LabelWidth(node);
    node.labelRect = RECT{x - 1, y, x + width - 1, y + lineHeight};
    return width;
}

void CCodeEditCtrl::DrawCollapsedLabel(CEditDisplayList& list, CCodeOutlineNode& node, COLORREF color,
                                       COLORREF back)
{
    // labelRect is in document pixels; the list wants client ones.
    RECT r = node.labelRect;
    ::OffsetRect(&r, -scrollColumn * maxCharWidth, 0);
    r.bottom += 1;
    list.Label(r, node.label, color, back);
}

void CCodeEditCtrl::DrawOutlineGlyph(CEditDisplayList& list, const RECT& row, const CCodeOutlineNode* node,
                                     bool lineAbove, bool lineBelow, bool endMark)
{
    const COLORREF pen = outlineLineColor == (COLORREF)-1 ? 0x808080 : outlineLineColor;
    const COLORREF fill = outlineGlyphColor == (COLORREF)-1 ? GetBackColor() : outlineGlyphColor;
    const int cx = (row.left + row.right) / 2, cy = (row.top + row.bottom) / 2;
    if (node) {
        RECT box = {cx - 4, cy - 4, cx + 5, cy + 5};
        list.Box(box, pen, fill);
        list.Line(cx - 2, cy, cx + 3, cy, pen);
        if (node->collapsed)
            list.Line(cx, cy - 2, cx, cy + 3, pen);
        if (lineAbove)
            list.Line(cx, row.top, cx, box.top, pen);
        if (lineBelow)
            list.Line(cx, row.bottom, cx, box.bottom, pen);
        return;
    }
    if (lineAbove) {
        list.Line(cx, row.top, cx, cy, pen);
        if (endMark)
            list.Line(cx, cy, cx + 5, cy, pen);
    }
    if (lineBelow)
        list.Line(cx, row.bottom, cx, cy - 1, pen);
}

void CCodeEditCtrl::DrawOutlineBar(CEditDisplayList& list, const RECT& rect)
{
    FillOutlineBar(list, rect);
    if (!showOutlineBar || !outliningEnabled || outlineRoot.children.empty() || text.IsEmpty())
        return;
    int first = 0, last = 0;
    VisibleLineSpan(first, last);
    const int rangeStart = topOffset;
    int lastStart = OffsetOfLine(last, true);
    const int rangeEnd = lastStart < 0 ? text.GetLength() - 1 : std::min(LineEndOf(lastStart, true), text.GetLength() - 1);
    std::vector<CCodeOutlineNode*> nodes;
    outlineRoot.CollectNodesInRange(rangeStart, rangeEnd, nodes, false, true);
    std::stable_sort(nodes.begin(), nodes.end(),
                     [](const CCodeOutlineNode* a, const CCodeOutlineNode* b) { return a->start < b->start; });
    // Rows where blocks that continue below their first row end.
    std::map<int, int> endsAt;
    size_t cursor = 0;
    for (int line = first; line <= last; ++line) {
        int lineStart = OffsetOfLine(line, true);
        if (lineStart < 0 || lineStart >= text.GetLength())
            break;
        int lineEnd = LineEndOf(lineStart, true);
        bool inside = !endsAt.empty(), continues = false, ends = false;
        const CCodeOutlineNode* glyph = nullptr;
        while (cursor < nodes.size() && nodes[cursor]->start <= lineEnd) {
            const CCodeOutlineNode* node = nodes[cursor++];
            if (!node->IsComplete())
                continue;
            if (!glyph && node->start >= lineStart && node->start >= rangeStart)
                glyph = node;
            if (node->start < lineStart)
                inside = true;
            if (node->end <= lineEnd) {
                ends = true;
            } else {
                continues = true;
                int until = std::min(node->end, rangeEnd);
                int row = line + LineOfOffset(until, true, true) - LineOfOffset(lineEnd, true, true);
                ++endsAt[row];
            }
        }
        auto here = endsAt.find(line);
        if (here != endsAt.end()) {
            ends = true;
            endsAt.erase(here);
        }
        if (!endsAt.empty())
            continues = true;
        int y = (line - topLine) * lineHeight + textRect.top;
        DrawOutlineGlyph(list, RECT{rect.left, y, rect.right, y + lineHeight}, glyph, inside, continues, ends);
    }
}
