// CCodeEditCtrl: indenting and unindenting the lines of a selection, as one
// undo step, and the replay of such a step.
//
// The touched lines are rebuilt in one piece: the old range leaves the text
// once and the new one enters once, so a selection of many lines costs one
// change of the text, not one per line.
#include "editctrl/CodeEditCtrl.h"

#include <algorithm>

namespace {
bool IsIndentBlank(WCHAR ch) { return ch == L' ' || ch == L'\t'; }
}  // namespace

BOOL CCodeEditCtrl::CanIndentSelection(BOOL indent)
{
    if (blockSelection || !HasSelection())
        return FALSE;
    int start = std::min(selStart, selEnd), end = std::max(selStart, selEnd);
    int length = text.GetLength();
    if (start >= length)
        return FALSE;
    bool toEnd = end >= length;
    bool holdsBreak = text.CountLineBreaks(start, std::min(end, length)) > 0;
    if (indent)
        return toEnd || holdsBreak;
    if (!toEnd && !holdsBreak)
        return FALSE;
    // Unindent needs a touched line that begins with a blank or tab.
    int line = text.LineOfOffset(start);
    int lastLine = text.LineOfOffset(std::min(end, length));
    for (int k = line; k <= lastLine; ++k) {
        int lineStart = text.LineStart(k);
        if (k > line && lineStart >= end && !toEnd)
            break;
        if (IsIndentBlank(text.At(lineStart)))
            return TRUE;
    }
    return FALSE;
}

BOOL CCodeEditCtrl::IndentSelection(BOOL indent)
{
    if (!CanIndentSelection(indent)) {
        OnEditFailure(EDIT_FAIL_INDENT);
        return FALSE;
    }
    int start = std::min(selStart, selEnd), end = std::max(selStart, selEnd);
    int to = end;
    if (end > start && end == LineStartOf(end, true) && end <= text.GetLength() && text.At(end - 1) == L'\n')
        to = end - 1;
    auto* data = new CODE_EDIT_UNDO_INDENT_DATA;
    if (!ApplyIndent(start, to, indent, blockSelection, TRUE, data->lines, FALSE)) {
        delete data;
        OnEditFailure(EDIT_FAIL_INDENT);
        return FALSE;
    }
    data->start = selStart;
    data->end = selEnd;
    if (data->end > 0 && data->end == LineStartOf(data->end, true) && text.At(data->end - 1) == L'\n')
        data->end -= 1;
    data->indent = indent ? 1 : 0;
    SetCurrentOperation(indent ? EDIT_OP_INDENT : EDIT_OP_UNINDENT);
    PushUndoDataRecord(data, UNDO_DATA, TRUE);
    return TRUE;
}

int CCodeEditCtrl::UnindentWidth(int lineStart, int firstNonBlank) const
{
    // Blanks and tabs right before the first non-blank, nearest first, up to
    // indentSize columns; with keepTabs a tab counts its width where it stands
    // and stays when it is wider than the columns left.
    if (!keepTabs)
        return std::min(firstNonBlank - lineStart, indentSize);
    std::vector<int> columns;
    int column = 0;
    for (int i = lineStart; i < firstNonBlank; ++i) {
        columns.push_back(column);
        column = text.At(i) == L'\t' && tabSize > 0 ? (column / tabSize + 1) * tabSize : column + 1;
    }
    int left = indentSize, count = 0;
    for (int i = firstNonBlank - 1; i >= lineStart && left > 0; --i) {
        int width = text.At(i) == L'\t' && tabSize > 0 ? tabSize - columns[(size_t)(i - lineStart)] % tabSize : 1;
        if (width > left)
            break;
        left -= width;
        ++count;
    }
    return count;
}

BOOL CCodeEditCtrl::ApplyIndent(int from, int to, BOOL indent, BOOL rectangular, BOOL adjustSelection,
                                CStringArray& lines, BOOL fromSavedLines)
{
    if (rectangular)
        return FALSE;
    const int length = text.GetLength();
    const CString unit = MakeIndentText(0);
    int first = LineStartOf(std::clamp(from, 0, length), true);
    int firstLine = text.LineOfOffset(first);
    int lastLine = text.LineOfOffset(std::clamp(std::max(to, LineEndOf(std::clamp(to, 0, length), true)), 0, length));
    if (fromSavedLines)
        lastLine = std::min(firstLine + (int)lines.GetSize() - 1, text.LineBreakCount());
    if (lastLine < firstLine)
        return FALSE;
    const int rangeEnd = text.LineEnd(lastLine);  // the last touched line's end, its line feed excluded
    if (!fromSavedLines)
        lines.RemoveAll();

    // The new text of the touched lines, built in one pass.
    CString rebuilt;
    int lastShift = 0;
    bool changed = false;
    for (int line = firstLine, k = 0; line <= lastLine; ++line, ++k) {
        int lineStart = text.LineStart(line), lineEnd = text.LineEnd(line);
        int p = lineStart;
        while (p < lineEnd && IsIndentBlank(text.At(p)))
            ++p;
        CString change;
        int removeCount = 0;
        if (indent) {
            change = fromSavedLines && k < (int)lines.GetSize() ? lines[k] : unit;
            // A line that would pass the line limit stays as it is.
            if (!FitsLineLimit(lineEnd - lineStart + change.GetLength()) || !CanInsertText(change, p))
                change.Empty();
        } else {
            if (fromSavedLines) {
                int saved = k < (int)lines.GetSize() ? lines[k].GetLength() : 0;
                removeCount = p - lineStart >= saved && text.Mid(p - saved, saved) == lines[k] ? saved : 0;
            } else {
                removeCount = UnindentWidth(lineStart, p);
            }
            change = text.Mid(p - removeCount, removeCount);
            if (removeCount > 0 && !CanDeleteText(p - removeCount, change)) {
                change.Empty();
                removeCount = 0;
            }
        }
        if (fromSavedLines && k < (int)lines.GetSize()) {
            lines[k].SecureEmpty();
            lines[k] = change;
        } else {
            lines.Add(change);
        }
        changed = changed || !change.IsEmpty();
        int delta = indent ? change.GetLength() : -removeCount;
        lastShift += delta;
        CString head = text.Mid(lineStart, (indent ? p : p - removeCount) - lineStart);
        CString tail = text.Mid(p, lineEnd - p);
        rebuilt += head;
        if (indent)
            rebuilt += change;
        rebuilt += tail;
        if (line < lastLine)
            rebuilt += L'\n';
        head.SecureEmpty();
        tail.SecureEmpty();
        change.SecureEmpty();
    }

    if (changed) {
        CString removed = text.Mid(first, rangeEnd - first);
        OnTextRemovedForOutline(first, rangeEnd);
        text.Delete(first, rangeEnd - first);
        text.Insert(first, rebuilt, rebuilt.GetLength());
        OnTextInsertedForOutline(first, first + rebuilt.GetLength());
        AfterTextChange(first);
        ReparseOutline(first, rebuilt.GetLength(), FALSE);
        SendChangeNotice(first, rebuilt, TRUE);
        removed.SecureEmpty();
    }
    rebuilt.SecureEmpty();

    int last = rangeEnd + lastShift;
    if (adjustSelection) {
        int target = 0;
        if (selEnd < selStart) {
            selStart = std::min(last + 1, text.GetLength());
            selEnd = first;
            target = first;
        } else {
            selStart = first;
            selEnd = std::min(last + 1, text.GetLength());
            target = selEnd;
        }
        caretOffset = target;
    }
    RecalcLayout();
    if (UpdateLineNumberWidth())
        RecalcScrolling();
    if (first < topOffset) {
        ScrollByCode(SB_VERT, SB_THUMBPOSITION, LineOfOffset(first, true, true), FALSE);
        if (adjustSelection)
            MoveCaretToOffset(caretOffset, TRUE, FALSE);
        RedrawAll();
    } else {
        if (adjustSelection)
            MoveCaretToOffset(caretOffset, TRUE, FALSE);
        InvalidateFromRow(first);
    }
    return TRUE;
}
