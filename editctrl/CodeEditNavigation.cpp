// CCodeEditCtrl: mapping between offsets, lines, columns and points; caret
// placement and movement.
#include "editctrl/CodeEditCtrl.h"

#include <algorithm>

const COutlineCasheManager* CCodeEditCtrl::CollapsedBlocks() const
{
    if (!outliningEnabled)
        return nullptr;
    if (!outlineCache.IsValid())
        outlineCache.Rebuild(outlineRoot, text);
    return outlineCache.IsEmpty() ? nullptr : &outlineCache;
}

CCodeOutlineNode* CCodeEditCtrl::FindCollapsedNode(int offset) const
{
    const COutlineCasheManager* blocks = CollapsedBlocks();
    return blocks && offset >= 0 ? blocks->Lookup(offset) : nullptr;
}

BOOL CCodeEditCtrl::FindCollapsedNodeAt(int offset, int* start, int* end) const
{
    CCodeOutlineNode* node = FindCollapsedNode(offset);
    if (!node)
        return FALSE;
    if (start)
        *start = node->start;
    if (end)
        *end = std::min(node->end, text.GetLength() - 1);
    return TRUE;
}

int CCodeEditCtrl::LineStartOf(int offset, bool skipCollapsed) const
{
    offset = std::clamp(offset, 0, text.GetLength());
    int start = text.LineStart(text.LineOfOffset(offset));
    if (skipCollapsed) {
        // A line feed inside a collapsed block does not start a row.
        while (start > 0) {
            CCodeOutlineNode* node = FindCollapsedNode(start - 1);
            if (!node)
                break;
            start = text.LineStart(text.LineOfOffset(node->start));
        }
    }
    return start;
}

int CCodeEditCtrl::LineEndOf(int offset, bool skipCollapsed) const
{
    const int length = text.GetLength();
    offset = std::clamp(offset, 0, length);
    int end = text.LineEnd(text.LineOfOffset(offset));
    if (skipCollapsed) {
        while (end < length) {
            CCodeOutlineNode* node = FindCollapsedNode(end);
            if (!node)
                break;
            end = text.LineEnd(text.LineOfOffset(std::min(node->end + 1, length)));
        }
    }
    return end;
}

int CCodeEditCtrl::FirstNonBlankFrom(int offset, bool skipCollapsed) const
{
    if (offset < 0)
        return 0;
    int length = text.GetLength();
    if (offset > length)
        return std::max(0, length - 1);
    while (offset < length) {
        WCHAR ch = text.At(offset);
        if (ch == L'\n' || blankChars.Find(ch) < 0)
            break;
        if (skipCollapsed && FindCollapsedNodeAt(offset, nullptr, nullptr))
            break;
        ++offset;
    }
    return offset;
}

namespace {
int NextColumn(int column, WCHAR ch, bool keepTabs, int tabSize)
{
    return keepTabs && ch == L'\t' && tabSize > 0 ? (column / tabSize + 1) * tabSize : column + 1;
}
}  // namespace

int CCodeEditCtrl::ColumnOfOffset(int offset, bool withCollapsed) const
{
    offset = std::clamp(offset, 0, text.GetLength());
    int start = LineStartOf(offset, withCollapsed);
    int column = 0;
    for (int i = start; i < offset; ++i) {
        CCodeOutlineNode* node = withCollapsed ? FindCollapsedNode(i) : nullptr;
        if (node) {
            column += node->label.GetLength();
            i = node->end;
            continue;
        }
        column = NextColumn(column, text.At(i), keepTabs != 0, tabSize);
    }
    return column;
}

int CCodeEditCtrl::LineEndColumn(int offset, int* lineEnd, bool withCollapsed) const
{
    int end = LineEndOf(offset, withCollapsed);
    if (lineEnd)
        *lineEnd = end;
    return ColumnOfOffset(end, withCollapsed);
}

int CCodeEditCtrl::OffsetOfColumn(int column, int offset, bool offsetIsLineEnd, bool withCollapsed) const
{
    int start = LineStartOf(offset, withCollapsed);
    int end = offsetIsLineEnd ? std::clamp(offset, start, text.GetLength()) : LineEndOf(offset, withCollapsed);
    if (!keepTabs && !withCollapsed)
        return std::min(start + std::max(column, 0), end);
    int col = 0;
    for (int i = start; i < end; ++i) {
        CCodeOutlineNode* node = withCollapsed ? FindCollapsedNode(i) : nullptr;
        int next = node ? col + node->label.GetLength() : NextColumn(col, text.At(i), keepTabs != 0, tabSize);
        if (next > column)
            return i;
        col = next;
        if (node)
            i = node->end;
    }
    return end;
}

int CCodeEditCtrl::LineOfOffset(int offset, bool, bool visibleOnly) const
{
    int line = text.LineOfOffset(offset);
    const COutlineCasheManager* blocks = visibleOnly ? CollapsedBlocks() : nullptr;
    return blocks ? line - blocks->HiddenBreaksBefore(std::clamp(offset, 0, text.GetLength()), text) : line;
}

int CCodeEditCtrl::VisibleLineOfLine(int line, bool) const
{
    const COutlineCasheManager* blocks = CollapsedBlocks();
    if (!blocks || line <= 0)
        return line;
    line = std::min(line, text.LineBreakCount());
    return line - blocks->HiddenBreaksBefore(text.LineStart(line), text);
}

int CCodeEditCtrl::OffsetOfLine(int n, bool visibleOnly) const
{
    if (n <= 0)
        return 0;
    const COutlineCasheManager* blocks = visibleOnly ? CollapsedBlocks() : nullptr;
    int line = blocks ? blocks->LineOfVisibleLine(n, text) : n;
    if (line > text.LineBreakCount())
        return -1;
    return text.LineStart(line);
}

int CCodeEditCtrl::CountCharInRange(int from, int to, WCHAR ch, bool skipCollapsed) const
{
    from = std::max(from, 0);
    to = std::min(to, text.GetLength() - 1);
    if (to < from)
        return 0;
    if (ch == L'\n' && !(skipCollapsed && CollapsedBlocks()))
        return text.CountLineBreaks(from, to + 1);
    int count = 0;
    for (int i = from; i <= to; ++i) {
        CCodeOutlineNode* node = skipCollapsed ? FindCollapsedNode(i) : nullptr;
        if (node) {
            i = node->end;
            continue;
        }
        count += text.At(i) == ch;
    }
    return count;
}

int CCodeEditCtrl::CountChar(const CString& s, WCHAR ch)
{
    int count = 0;
    for (int i = 0; i < s.GetLength(); ++i)
        count += s[i] == ch;
    return count;
}

int CCodeEditCtrl::MeasureRowPart(int from, int to)
{
    if (!CollapsedBlocks()) {
        SIZE size = {};
        CEditTextSpan piece = text.Span(from, to - from);
        MeasureTextRun(size, piece.Chars(), piece.Count());
        return size.cx;
    }
    int width = 0;
    for (int i = from; i < to;) {
        if (CCodeOutlineNode* node = FindCollapsedNode(i)) {
            width += LabelWidth(*node);
            i = node->end + 1;
            continue;
        }
        int pieceEnd = i;
        while (pieceEnd < to && !FindCollapsedNode(pieceEnd))
            ++pieceEnd;
        SIZE size = {};
        CEditTextSpan piece = text.Span(i, pieceEnd - i);
        MeasureTextRun(size, piece.Chars(), piece.Count());
        width += size.cx;
        i = pieceEnd;
    }
    return width;
}

BOOL CCodeEditCtrl::PointFromOffset(int offset, POINT& point, POINT* lineAndColumn, int* suggestedScroll)
{
    offset = std::clamp(offset, 0, text.GetLength());
    int line = LineOfOffset(offset, true, true);
    int start = LineStartOf(offset, true);
    int width = MeasureRowPart(start, offset);
    int x = textRect.left + width - scrollColumn * maxCharWidth;
    if (suggestedScroll) {
        int scroll = scrollColumn;
        if (maxCharWidth > 0) {
            if (x < textRect.left + 1 + maxCharWidth)
                scroll += (x - (textRect.left + 1)) / maxCharWidth - scrollMarginColumns;
            if (x >= textRect.right - maxCharWidth) {
                int step = std::max(1, (int)((textRect.right - textRect.left) / maxCharWidth) * scrollStepPercent / 100);
                scroll += (x - textRect.right) / maxCharWidth + step;
            }
        }
        *suggestedScroll = scroll;
    }
    x = std::max(x, (int)textRect.left - scrollColumn * maxCharWidth + 1);
    point = POINT{x, (line - topLine) * lineHeight + textRect.top};
    if (lineAndColumn)
        *lineAndColumn = POINT{ColumnOfOffset(offset, true), line};
    return TRUE;
}

int CCodeEditCtrl::OffsetFromPoint(POINT& point, bool updatePoint, bool allowOutside)
{
    if (!allowOutside && !::PtInRect(&textRect, point))
        return -1;
    if (lineHeight <= 0)
        return 0;
    int target = std::max(0, (topLine * lineHeight + (int)point.y) / lineHeight);
    int rowTop = (target - topLine) * lineHeight + textRect.top;
    if (target > lineBreakCount - hiddenLineCount) {
        if (updatePoint)
            point = POINT{textRect.left + 1, (lineBreakCount - hiddenLineCount - topLine) * lineHeight + textRect.top};
        return text.GetLength();
    }
    int start = OffsetOfLine(target, true);
    if (start < 0)
        return text.GetLength();
    const bool folded = CollapsedBlocks() != nullptr;
    int end = LineEndOf(start, true);
    int scrolled = scrollColumn * maxCharWidth;
    int rowWidth = MeasureRowPart(start, end);
    int left = textRect.left + 1;
    if (end > start && point.x + scrolled > left + rowWidth) {
        if (updatePoint)
            point = POINT{textRect.left + rowWidth + 1 - scrolled, rowTop};
        return end;
    }
    int x = left;
    for (int i = start; i < end; ++i) {
        CCodeOutlineNode* node = folded ? FindCollapsedNode(i) : nullptr;
        int width = node ? LabelWidth(*node) : CharWidth(text.At(i));
        if (!node && text.At(i) == L'\t' && keepTabs && tabWidth > 0)
            width = tabWidth - (x - left) % tabWidth;
        int unitEnd = node ? node->end : i;
        int half = unitEnd >= end - 1 ? 0 : width / 2;
        if (x + width >= point.x + scrolled + half) {
            if (updatePoint)
                point = POINT{x - scrolled, rowTop};
            return i;
        }
        x += width;
        i = unitEnd;
    }
    if (updatePoint)
        point = POINT{x - scrolled, rowTop};
    return end;
}

void CCodeEditCtrl::ShowCaretAt()
{
    if (m_host->HasFocus())
        m_host->SetSystemCaretPos(caretPos.x, caretPos.y);
    OnCaretMoved();
}

BOOL CCodeEditCtrl::MoveCaretToOffset(int offset, BOOL scrollIntoView, BOOL redraw)
{
    if (caretLocked)
        return FALSE;
    offset = std::clamp(offset, 0, text.GetLength());
    int suggested = scrollColumn;
    PointFromOffset(offset, caretPos, nullptr, &suggested);
    caretOffset = offset;
    bool scrolled = false;
    if (scrollIntoView) {
        suggested = std::clamp(suggested, 0, std::max(0, ColumnOfOffset(offset, false)));
        if (suggested != scrollColumn && ScrollByCode(SB_HORZ, SB_THUMBPOSITION, suggested, FALSE)) {
            scrolled = true;
            PointFromOffset(offset, caretPos);
            ShowCaretAt();
        }
        int amount = 0;
        if (lineHeight > 0) {
            if (caretPos.y < textRect.top + lineHeight)
                amount = (caretPos.y - textRect.top) / lineHeight;
            else if (caretPos.y >= textRect.bottom - 2 * lineHeight)
                amount = (caretPos.y + 2 * lineHeight - textRect.bottom) / lineHeight;
        }
        if (amount != 0 && ScrollByCode(SB_VERT, SB_THUMBPOSITION, topLine + amount, FALSE)) {
            scrolled = true;
            PointFromOffset(offset, caretPos);
            ShowCaretAt();
        }
    }
    caretLine = LineOfOffset(offset, true, false);
    caretColumn = ColumnOfOffset(offset, false);
    if (scrollIntoView && !scrolled)
        ShowCaretAt();
    if (redraw && scrolled)
        RedrawAll();
    return TRUE;
}

void CCodeEditCtrl::GetCaretSize(int& width, int& height)
{
    width = overwriteMode ? maxCharWidth : 2;
    height = lineHeight;
}

BOOL CCodeEditCtrl::MoveLeft(BOOL redraw)
{
    if (caretOffset <= 0) {
        OnEditFailure(EDIT_FAIL_LEFT);
        return FALSE;
    }
    int target = caretOffset - 1;
    int start = 0, end = 0;
    if (FindCollapsedNodeAt(target, &start, &end))
        target = start;
    else if (symbolsEnabled)
        target -= GetSymbolLength(target, false);
    if (!MoveCaretToOffset(target, TRUE, redraw)) {
        OnEditFailure(EDIT_FAIL_LEFT);
        return FALSE;
    }
    preferredColumn = ColumnOfOffset(caretOffset, true);
    return TRUE;
}

BOOL CCodeEditCtrl::MoveRight(BOOL redraw)
{
    if (caretOffset >= text.GetLength()) {
        OnEditFailure(EDIT_FAIL_RIGHT);
        return FALSE;
    }
    int target = caretOffset + 1;
    int start = 0, end = 0;
    if (FindCollapsedNodeAt(caretOffset, &start, &end))
        target = end + 1;
    else if (symbolsEnabled)
        target += GetSymbolLength(caretOffset, true);
    if (!MoveCaretToOffset(target, TRUE, redraw)) {
        OnEditFailure(EDIT_FAIL_RIGHT);
        return FALSE;
    }
    preferredColumn = ColumnOfOffset(caretOffset, true);
    return TRUE;
}

BOOL CCodeEditCtrl::ApplyPreferredColumn(int offset, BOOL redraw)
{
    int target = OffsetOfColumn(preferredColumn, offset, false, true);
    return MoveCaretToOffset(target, TRUE, redraw);
}

BOOL CCodeEditCtrl::MoveLineUp(BOOL keepPreferredColumn, BOOL redraw)
{
    if (caretLine == 0 || text.IsEmpty()) {
        OnEditFailure(EDIT_FAIL_UP);
        return FALSE;
    }
    POINT point = caretPos;
    if (point.y - lineHeight < textRect.top)
        ScrollByCode(SB_VERT, SB_LINEUP, 0, redraw);
    else
        point.y -= lineHeight;
    int offset = OffsetFromPoint(point, true, true);
    if (offset < 0) {
        OnEditFailure(EDIT_FAIL_UP);
        return FALSE;
    }
    if (keepPreferredColumn && ApplyPreferredColumn(offset, redraw))
        return TRUE;
    return MoveCaretToOffset(offset, TRUE, redraw);
}

BOOL CCodeEditCtrl::MoveLineDown(BOOL keepPreferredColumn, BOOL redraw)
{
    POINT point = caretPos;
    bool lastLine = caretLine >= lineBreakCount;
    if (point.y + lineHeight < textRect.bottom - lineHeight || lastLine)
        point.y += lineHeight;
    else
        ScrollByCode(SB_VERT, SB_LINEDOWN, 0, redraw);
    int offset = OffsetFromPoint(point, true, true);
    if (offset < 0) {
        OnEditFailure(EDIT_FAIL_DOWN);
        return FALSE;
    }
    if (keepPreferredColumn && !lastLine && ApplyPreferredColumn(offset, redraw))
        return TRUE;
    return MoveCaretToOffset(offset, TRUE, redraw);
}

BOOL CCodeEditCtrl::MovePageUp(BOOL redraw)
{
    if (text.IsEmpty()) {
        OnEditFailure(EDIT_FAIL_PAGE_UP);
        return FALSE;
    }
    POINT point = caretPos;
    if (caretLine >= PageRows() || topLine != 0)
        ScrollByCode(SB_VERT, SB_PAGEUP, 0, redraw);
    else
        point.y = textRect.top;
    int offset = OffsetFromPoint(point, true, true);
    if (offset < 0) {
        OnEditFailure(EDIT_FAIL_PAGE_UP);
        return FALSE;
    }
    if (ApplyPreferredColumn(offset, redraw))
        return TRUE;
    return MoveCaretToOffset(offset, TRUE, redraw);
}

BOOL CCodeEditCtrl::MovePageDown(BOOL redraw)
{
    if (text.IsEmpty()) {
        OnEditFailure(EDIT_FAIL_PAGE_DOWN);
        return FALSE;
    }
    if (!ScrollByCode(SB_VERT, SB_PAGEDOWN, 0, redraw))
        return MoveCaretToOffset(text.GetLength(), TRUE, redraw);
    POINT point = caretPos;
    int offset = OffsetFromPoint(point, true, true);
    if (offset < 0) {
        OnEditFailure(EDIT_FAIL_PAGE_DOWN);
        return FALSE;
    }
    if (ApplyPreferredColumn(offset, redraw))
        return TRUE;
    return MoveCaretToOffset(offset, TRUE, redraw);
}

BOOL CCodeEditCtrl::MoveHome(BOOL redraw)
{
    if (text.IsEmpty()) {
        OnEditFailure(EDIT_FAIL_LINE_START);
        return FALSE;
    }
    ScrollByCode(SB_HORZ, SB_THUMBPOSITION, 0, redraw);
    int start = CaretLineStart(true);
    int firstNonBlank = FirstNonBlankFrom(start, true);
    int target = caretOffset == firstNonBlank ? start : firstNonBlank;
    MoveCaretToOffset(target, TRUE, redraw);
    preferredColumn = ColumnOfOffset(caretOffset, true);
    return TRUE;
}

BOOL CCodeEditCtrl::MoveLineEnd(BOOL redraw)
{
    MoveCaretToOffset(LineEndOf(caretOffset, true), TRUE, redraw);
    preferredColumn = ColumnOfOffset(caretOffset, true);
    return TRUE;
}

BOOL CCodeEditCtrl::MoveTextStart(BOOL redraw)
{
    ScrollByCode(SB_HORZ, SB_THUMBPOSITION, 0, FALSE);
    ScrollByCode(SB_VERT, SB_THUMBPOSITION, 0, FALSE);
    if (redraw)
        RedrawAll();
    MoveCaretToOffset(0, TRUE, redraw);
    preferredColumn = 0;
    return TRUE;
}

BOOL CCodeEditCtrl::MoveTextEnd(BOOL redraw)
{
    if (text.IsEmpty())
        return TRUE;
    return MoveCaretToOffset(text.GetLength(), TRUE, redraw);
}

namespace {
enum WordClass { WORD_CHARS, PLAIN_DELIMITERS, SPECIAL_DELIMITERS, BLANKS };
}

BOOL CCodeEditCtrl::MoveWordRight(BOOL redraw)
{
    // The last character is a word unit of its own too: stop at the end, not before it.
    int length = text.GetLength();
    if (caretOffset >= length) {
        OnEditFailure(EDIT_FAIL_WORD_RIGHT);
        return FALSE;
    }
    auto classOf = [this](WCHAR ch) {
        if (ch == L' ')
            return BLANKS;
        if (IsWordChar(ch))
            return WORD_CHARS;
        return specialDelimiters.Find(ch) >= 0 ? SPECIAL_DELIMITERS : PLAIN_DELIMITERS;
    };
    int p = caretOffset;
    int start = 0, end = 0;
    if (FindCollapsedNodeAt(p, &start, &end)) {
        while (p < length && FindCollapsedNodeAt(p, &start, &end))
            p = end + 1;
    } else {
        WCHAR first = text.At(p);
        WordClass kind = classOf(first);
        if (kind == SPECIAL_DELIMITERS && first == L'\n') {
            ++p;
        } else if (kind != BLANKS) {
            while (p < length && !FindCollapsedNodeAt(p, nullptr, nullptr)) {
                WCHAR ch = text.At(p);
                if (kind == SPECIAL_DELIMITERS ? ch != first : classOf(ch) != kind)
                    break;
                ++p;
            }
        }
    }
    while (p < length && text.At(p) == L' ')
        ++p;
    MoveCaretToOffset(p, TRUE, redraw);
    preferredColumn = ColumnOfOffset(caretOffset, true);
    return TRUE;
}

BOOL CCodeEditCtrl::MoveWordLeft(BOOL redraw)
{
    if (caretOffset <= 0) {
        OnEditFailure(EDIT_FAIL_WORD_LEFT);
        return FALSE;
    }
    int p = caretOffset - 1;
    bool lineFeed = text.At(p) == L'\n';
    while (p >= 0 && text.At(p) == L' ') {
        --p;
        lineFeed = false;
    }
    int target = 0;
    if (p < 0) {
        target = 0;
    } else if (lineFeed) {
        target = p;
    } else {
        int start = 0, end = 0;
        WCHAR first = text.At(p);
        if (FindCollapsedNodeAt(p, &start, &end)) {
            while (p >= 0 && FindCollapsedNodeAt(p, &start, &end))
                p = start - 1;
        } else if (first == L'\n') {
            --p;
        } else if (IsWordChar(first)) {
            while (p >= 0 && IsWordChar(text.At(p)))
                --p;
        } else if (specialDelimiters.Find(first) >= 0) {
            while (p >= 0 && text.At(p) == first)
                --p;
        } else {
            while (p >= 0) {
                WCHAR ch = text.At(p);
                if (ch == L' ' || IsWordChar(ch) || specialDelimiters.Find(ch) >= 0)
                    break;
                --p;
            }
        }
        target = p + 1;
    }
    MoveCaretToOffset(target, TRUE, redraw);
    preferredColumn = ColumnOfOffset(caretOffset, true);
    return TRUE;
}

BOOL CCodeEditCtrl::MoveToIndentStop()
{
    if (caretColumn == 0) {
        OnEditFailure(EDIT_FAIL_BACK_TAB);
        return FALSE;
    }
    int n = caretColumn % indentSize;
    if (n == 0)
        n = indentSize;
    for (int counter = 0; counter < n;) {
        if (!MoveLeft(TRUE))
            break;
        counter += (text.At(caretOffset) == L'\t' ? tabSize : 0) + 1;
    }
    return TRUE;
}
