// CCodeEditCtrl: the selection and copying it.
#include "editctrl/CodeEditCtrl.h"

#include <algorithm>

BOOL CCodeEditCtrl::ClearSelection(BOOL toStart, BOOL keepCaret, BOOL redraw)
{
    if (!HasSelection()) {
        bool hadBlock = blockSelStart.x >= 0;
        selStart = selEnd = -1;
        blockSelection = 0;
        blockSelStart = blockSelEnd = POINT{-1, -1};
        if (hadBlock && redraw)
            RedrawAll();
        return hadBlock;
    }
    int low = std::min(selStart, selEnd), high = std::max(selStart, selEnd);
    selStart = selEnd = -1;
    blockSelection = 0;
    blockSelStart = blockSelEnd = POINT{-1, -1};
    if (!keepCaret)
        MoveCaretToOffset(toStart ? low : high, TRUE, FALSE);
    if (redraw)
        RedrawAll();
    return TRUE;
}

BOOL CCodeEditCtrl::SetSelectionRange(int start, int end, BOOL redraw)
{
    int length = text.GetLength();
    if (length == 0)
        return FALSE;
    if (start == -1) {
        selStart = selEnd = -1;
        if (redraw)
            RedrawAll();
        return TRUE;
    }
    if (end == -1)
        end = length;
    selStart = std::clamp(start, 0, length);
    selEnd = std::clamp(end, 0, length);
    MoveCaretToOffset(selEnd, TRUE, FALSE);
    if (redraw)
        RedrawAll();
    return TRUE;
}

CString CCodeEditCtrl::GetSelectedText() const
{
    if (blockSelection && blockSelStart.x >= 0 && blockSelEnd.x >= 0) {
        // Measuring fills the width cache; the selection itself is not changed.
        std::vector<std::pair<int, int>> rows;
        const_cast<CCodeEditCtrl*>(this)->BlockSelectionRows(rows);
        CString joined;
        for (size_t k = 0; k < rows.size(); ++k) {
            if (k > 0)
                joined += L'\n';
            CString piece = text.Mid(rows[k].first, rows[k].second - rows[k].first);
            joined += piece;
            piece.SecureEmpty();
        }
        return joined;
    }
    if (!HasSelection())
        return CString();
    int low = std::min(selStart, selEnd), high = std::max(selStart, selEnd);
    return text.Mid(low, high - low);
}

RECT CCodeEditCtrl::BlockSelectionRect() const
{
    RECT r = {std::min(blockSelStart.x, blockSelEnd.x), std::min(blockSelStart.y, blockSelEnd.y),
              std::max(blockSelStart.x, blockSelEnd.x), std::max(blockSelStart.y, blockSelEnd.y)};
    // A block dragged upwards holds the rows of both corners.
    if (blockSelStart.y >= blockSelEnd.y)
        ::InflateRect(&r, 0, lineHeight);
    return r;
}

void CCodeEditCtrl::BlockSelectionRows(std::vector<std::pair<int, int>>& rows)
{
    rows.clear();
    if (lineHeight <= 0 || blockSelStart.x < 0 || blockSelEnd.x < 0)
        return;
    RECT block = BlockSelectionRect();
    int firstRow = std::max(0, (int)block.top / lineHeight);
    int lastRow = std::max(firstRow, (int)(block.bottom - 1) / lineHeight);
    const int origin = textRect.left + 1;  // a row's first cell, in document pixels
    for (int row = firstRow; row <= lastRow; ++row) {
        int start = OffsetOfLine(row, true);
        if (start < 0)
            break;
        int end = LineEndOf(start, true);
        int x = origin, first = -1, last = -1;
        for (int i = start; i < end; ++i) {
            WCHAR ch = text.At(i);
            int width = CharWidth(ch);
            if (ch == L'\t' && keepTabs && tabWidth > 0)
                width = tabWidth - (x - origin) % tabWidth;
            bool meets = x < block.right && block.left < x + std::max(width, 1);
            if (meets) {
                if (first < 0)
                    first = i;
                last = i + 1;
            }
            x += width;
        }
        if (first < 0)
            first = last = end;
        rows.emplace_back(first, last);
    }
}

BOOL CCodeEditCtrl::DeleteBlockSelection(BOOL redraw, BOOL copyFirst, BOOL groupWithNext)
{
    // Only what the block covers goes, row by row: the text between its
    // corners on other columns is the user's and stays.
    std::vector<std::pair<int, int>> rows;
    BlockSelectionRows(rows);
    CString joined = GetSelectedText();
    for (const auto& row : rows) {
        CString piece = text.Mid(row.first, row.second - row.first);
        BOOL allowed = piece.IsEmpty() || CanDeleteText(row.first, piece);
        piece.SecureEmpty();
        if (!allowed) {
            joined.SecureEmpty();
            return FALSE;
        }
    }
    if (copyFirst && !CopySelectionToClipboard(joined, joined.GetLength())) {
        joined.SecureEmpty();
        OnEditFailure(EDIT_FAIL_CUT_COPY);
        return FALSE;
    }
    joined.SecureEmpty();
    // From the last row up, so the offsets of the rows above stay true; one
    // record per piece in one undo group.
    bool recorded = false;
    for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
        int from = row->first, count = row->second - row->first;
        if (count <= 0)
            continue;
        CString removed = text.Mid(from, count);
        RecordTextChange(removed, UNDO_DELETE, from, TRUE, TRUE);
        recorded = true;
        OnTextRemovedForOutline(from, from + count);
        ChangeDelete(from, count);
        ReparseOutline(from, 0, FALSE);
        SendChangeNotice(from, removed, FALSE);
        removed.SecureEmpty();
    }
    if (recorded && m_applied > 0 && m_applied == (int)undoList.size())
        undoList.back()->groupWithNext = groupWithNext ? 1 : 0;
    AfterSelectionDeleted(rows.empty() ? std::min(selStart, selEnd) : rows.front().first, redraw);
    return TRUE;
}
