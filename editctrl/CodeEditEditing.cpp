// CCodeEditCtrl: typing, inserting, line breaks, tabs and deletion.
#include "editctrl/CodeEditCtrl.h"

#include <algorithm>

void CCodeEditCtrl::AfterTextChange(int offset)
{
    lineBreakCount = text.LineBreakCount();
    InvalidateColorCheckpoints(offset);
    if (outliningEnabled) {
        CODE_EDIT_OUTLINE_CHANGES none;
        RecountHiddenLines(none);
    }
    // The top row keeps its line number; its offset follows the text.
    topLine = std::min(topLine, std::max(0, lineBreakCount - hiddenLineCount));
    topOffset = std::max(0, OffsetOfLine(topLine, true));
}

void CCodeEditCtrl::ChangeInsert(int offset, const CString& t)
{
    text.Insert(offset, t, t.GetLength());
    AfterTextChange(offset);
}

void CCodeEditCtrl::ChangeDelete(int offset, int count)
{
    text.Delete(offset, count);
    AfterTextChange(offset);
}

void CCodeEditCtrl::ChangeReplace(int offset, WCHAR ch)
{
    text.Replace(offset, ch);
    AfterTextChange(offset);
}

void CCodeEditCtrl::NoteTextRemoved(int start, int end, const CString& removed)
{
    // Called before the text changes: lines are those of the text as it is.
    int breaks = CountChar(removed, L'\n');
    if (breaks == 0)
        return;
    int startLine = text.LineOfOffset(start), endLine = text.LineOfOffset(end);
    int first = LineStartOf(start, true) == start ? startLine : startLine + 1;
    int last = LineEndOf(end, true) == end ? endLine : endLine - 1;
    ShiftMarkersOnDelete(first, last);
    ShiftMarkersOnInsert(startLine + 1, -breaks);
}

void CCodeEditCtrl::NoteTextInserted(int offset, const CString& inserted, BOOL shiftMarkers)
{
    int breaks = CountChar(inserted, L'\n');
    if (breaks > 0 && shiftMarkers) {
        int line = text.LineOfOffset(offset);
        ShiftMarkersOnInsert(text.LineStart(line) == offset ? line : line + 1, breaks);
    }
}

void CCodeEditCtrl::SendChangeNotice(int, const CString&, BOOL) { m_host->NotifyParentOfChange(); }

BOOL CCodeEditCtrl::NormalizeInsertText(CString& t, BOOL keepLines, int startColumn)
{
    t.Remove(L'\r');
    if (!keepTabs)
        t.Replace(L"\t", CString(L' ', tabSize));
    if (keepLines)
        return TRUE;
    CString out;
    int column = startColumn;
    for (int i = 0; i < t.GetLength(); ++i) {
        WCHAR ch = t[i];
        if (ch != L'\n' && !FitsLineLimit(column + 1)) {
            out += L'\n';
            column = 0;
        }
        out += ch;
        column = ch == L'\n' ? 0 : column + 1;
    }
    t.SecureEmpty();
    t = out;
    out.SecureEmpty();
    return TRUE;
}

CString CCodeEditCtrl::MakeNewLineText(int offset)
{
    CString s(L"\n");
    if (!autoIndent)
        return s;
    int start = LineStartOf(offset, true);
    for (int i = start; i < offset && i < text.GetLength(); ++i) {
        WCHAR ch = text.At(i);
        if (ch != L' ' && ch != L'\t')
            break;
        s += ch;
    }
    return s;
}

CString CCodeEditCtrl::MakeIndentText(int column) const
{
    if (!keepTabs)
        return CString(L' ', indentSize - column % indentSize);
    CString s(L'\t', indentSize / tabSize);
    if (indentSize % tabSize)
        s += CString(L' ', indentSize % tabSize);
    return s;
}

BOOL CCodeEditCtrl::InsertLineBreakAt(BOOL groupWithNext, int offset, BOOL moveCaret)
{
    CString s = MakeNewLineText(offset);
    if (!CanInsertText(s, offset))
        return FALSE;
    RecordTextChange(s, UNDO_INSERT, offset, TRUE, groupWithNext);
    ChangeInsert(offset, s);
    OnTextInsertedForOutline(offset, offset + s.GetLength());
    ReparseOutline(offset, s.GetLength(), FALSE);
    SendChangeNotice(offset, s, TRUE);
    if (moveCaret) {
        if (autoIndent) {
            MoveCaretToOffset(offset + s.GetLength(), TRUE, TRUE);
        } else {
            caretOffset = offset;
            MoveLineDown(TRUE, TRUE);
            MoveHome(TRUE);
        }
    }
    return TRUE;
}

BOOL CCodeEditCtrl::InsertNewLine(BOOL redraw, BOOL groupWithNext, int offset, BOOL moveCaret)
{
    int line = LineOfOffset(offset);
    bool caretAtLineStart = caretOffset == LineStartOf(offset);
    if (!InsertLineBreakAt(groupWithNext, offset, moveCaret))
        return FALSE;
    ShiftMarkersOnInsert(caretAtLineStart ? line : line + 1, 1);
    RecalcLayout();
    BOOL widthChanged = UpdateLineNumberWidth();
    modified = 1;
    if (widthChanged) {
        RecalcScrolling();
        MoveCaretToOffset(caretOffset, FALSE, FALSE);
    }
    if (redraw || widthChanged)
        RedrawAll();
    return TRUE;
}

BOOL CCodeEditCtrl::InsertChar(WCHAR ch, BOOL redraw)
{
    if (!CanInsertText(CString(ch), caretOffset))
        return FALSE;
    if (ch == L'\n') {
        if (overwriteMode) {
            MoveHome(TRUE);
            return MoveLineDown(TRUE, TRUE);
        }
        return InsertNewLine(TRUE, FALSE, caretOffset, TRUE);
    }
    int lineEnd = 0;
    int lineLength = keepTabs ? LineEndColumn(caretOffset, &lineEnd) : LineEndOf(caretOffset) - LineStartOf(caretOffset);
    if (!FitsLineLimit(lineLength + 1)) {
        // The line is full: break it at the caret. The character goes to the
        // end of the first part, or starts the new line when the first part
        // is itself too long (a long loaded line) or the caret was at the end.
        int old = caretOffset;
        bool atEnd = old == LineEndOf(old);
        bool headTooLong = !FitsLineLimit(ColumnOfOffset(old, false) + 1);
        m_host->ShowSystemCaret(false);
        InsertNewLine(TRUE, FALSE, old, TRUE);
        if (!atEnd && !headTooLong)
            MoveCaretToOffset(old, TRUE, TRUE);
        m_host->ShowSystemCaret(true);
    }
    int blockStart = 0, blockEnd = 0;
    if (overwriteMode && !HasSelection() && FindCollapsedNodeAt(caretOffset, &blockStart, &blockEnd)) {
        // Typing over a collapsed block replaces the block whole, never a hidden character.
        SetSelectionRange(blockStart, blockEnd + 1, FALSE);
        if (!DeleteSelectionRange(FALSE, FALSE, TRUE))
            return FALSE;
        RecordTypedChar(ch, UNDO_INSERT, caretOffset, TRUE);
        ChangeInsert(caretOffset, CString(ch));
        OnTextInsertedForOutline(caretOffset, caretOffset + 1);
        ReparseOutline(caretOffset, 1, FALSE);
        SendChangeNotice(caretOffset, CString(ch), TRUE);
        RecalcLayout();
        if (redraw)
            InvalidateFromRow(caretOffset);
        MoveRight(TRUE);
        return TRUE;
    }
    int at = caretOffset;
    bool replacing = overwriteMode && at < text.GetLength() && text.At(at) != L'\n';
    RecordTypedChar(ch, UNDO_INSERT, at, !replacing);
    bool nearBefore = NearColorBlockDelimiter(at);
    if (replacing) {
        ChangeReplace(at, ch);
    } else {
        ChangeInsert(at, CString(ch));
        OnTextInsertedForOutline(at, at + 1);
    }
    ReparseOutline(at, 1, FALSE);
    SendChangeNotice(at, CString(ch), TRUE);
    RecalcLayout();
    if (redraw) {
        if (nearBefore || NearColorBlockDelimiter(at))
            InvalidateFromRow(at);
        else
            InvalidateRow(at);
    }
    MoveRight(TRUE);
    return TRUE;
}

BOOL CCodeEditCtrl::InsertText(const CString& t, int offset, BOOL redraw, BOOL resetUndo, BOOL shiftMarkers,
                               BOOL groupWithNext, BOOL)
{
    offset = offset < 0 ? caretOffset : std::min(offset, text.GetLength());
    CString copy(t);
    // Loaded text is taken as it is: long lines stay whole.
    NormalizeInsertText(copy, resetUndo, offset - LineStartOf(offset));
    if (!CanInsertText(copy, offset)) {
        copy.SecureEmpty();
        return FALSE;
    }
    NoteTextInserted(offset, copy, shiftMarkers);
    ChangeInsert(offset, copy);
    OnTextInsertedForOutline(offset, offset + copy.GetLength());
    ReparseOutline(offset, copy.GetLength(), FALSE);

    int end = offset + copy.GetLength();
    int measured = LineEndOf(end) - LineStartOf(end);
    bool tooLong = !resetUndo && !FitsLineLimit(measured);
    if (resetUndo)
        EmptyUndoList();
    else
        RecordTextChange(copy, UNDO_INSERT, offset, TRUE, groupWithNext || tooLong);
    int target = end;
    if (tooLong) {
        int breakAt = LineStartOf(end) + maxLineLength - 1;
        CString breakText = MakeNewLineText(breakAt);
        if (InsertNewLine(FALSE, groupWithNext, breakAt, FALSE) && breakAt <= target)
            target += breakText.GetLength();
    }
    RecalcLayout();
    if (UpdateLineNumberWidth())
        RecalcScrolling();
    MoveCaretToOffset(target, TRUE, redraw);
    if (redraw)
        RedrawAll();
    SendChangeNotice(offset, copy, TRUE);
    copy.SecureEmpty();
    return TRUE;
}

BOOL CCodeEditCtrl::InsertColumnText(const CString& t, int offset, BOOL redraw, BOOL resetUndo, BOOL shiftMarkers,
                                     BOOL groupWithNext)
{
    offset = offset < 0 ? caretOffset : std::min(offset, text.GetLength());
    if (LineEndOf(offset) - LineStartOf(offset) < 2)
        return InsertText(t, offset, redraw, resetUndo, shiftMarkers, groupWithNext);
    int column = ColumnOfOffset(offset, true);
    int line = LineOfOffset(offset);
    bool appended = false;
    int start = 0;
    // One insertion record per piece, all in one undo group: later records
    // then replay at the offsets the text really had.
    bool recorded = false;
    auto record = [&](const CString& piece, int at) {
        if (!resetUndo)
            RecordTextChange(piece, UNDO_INSERT, at, TRUE, TRUE);
        recorded = !resetUndo;
    };
    for (int k = 0; start <= t.GetLength(); ++k) {
        int feed = t.Find(L'\n', start);
        CString piece = t.Mid(start, (feed < 0 ? t.GetLength() : feed) - start);
        piece.Remove(L'\r');
        int lineStart = OffsetOfLine(line + k, true);
        if (lineStart < 0) {
            CString appendedText = CString(L"\n") + piece;
            int at = text.GetLength();
            if (CanInsertText(appendedText, at)) {
                record(appendedText, at);
                ChangeInsert(at, appendedText);
                OnTextInsertedForOutline(at, at + appendedText.GetLength());
                ReparseOutline(at, appendedText.GetLength(), FALSE);
                SendChangeNotice(at, appendedText, TRUE);
                appended = true;
            }
        } else {
            int at = OffsetOfColumn(column, lineStart, false, true);
            if (!piece.IsEmpty() && CanInsertText(piece, at)) {
                record(piece, at);
                ChangeInsert(at, piece);
                OnTextInsertedForOutline(at, at + piece.GetLength());
                ReparseOutline(at, piece.GetLength(), FALSE);
                SendChangeNotice(at, piece, TRUE);
            }
        }
        piece.SecureEmpty();
        if (feed < 0)
            break;
        start = feed + 1;
    }
    if (resetUndo)
        EmptyUndoList();
    else if (recorded && m_applied > 0 && m_applied == (int)undoList.size())
        undoList.back()->groupWithNext = groupWithNext ? 1 : 0;
    if (appended) {
        RecalcLayout();
        UpdateLineNumberWidth();
        MoveCaretToOffset(caretOffset, FALSE, FALSE);
    }
    if (redraw || appended)
        RedrawAll();
    return TRUE;
}

BOOL CCodeEditCtrl::InsertTab(BOOL redraw)
{
    int start = CaretLineStart(true);
    CString t = MakeIndentText(caretOffset - start);
    int lineLength = LineEndOf(caretOffset) - start;
    if (!FitsLineLimit(lineLength + t.GetLength())) {
        OnEditFailure(EDIT_FAIL_TAB_TOO_LONG);
        return FALSE;
    }
    if (overwriteMode) {
        int target = OffsetOfColumn(ColumnOfOffset(caretOffset, true) + t.GetLength(), caretOffset, false, true);
        MoveCaretToOffset(target, TRUE, redraw);
        return TRUE;
    }
    int at = caretOffset;
    if (!CanInsertText(t, at))
        return FALSE;
    ChangeInsert(at, t);
    RecalcLayout();
    for (int i = 0; i < t.GetLength(); ++i)
        MoveRight(redraw);
    OnTextInsertedForOutline(at, at + t.GetLength());
    ReparseOutline(at, t.GetLength(), FALSE);
    SendChangeNotice(at, t, TRUE);
    RecordTextChange(t, UNDO_INSERT, at, TRUE, FALSE);
    if (redraw)
        InvalidateRow(at);
    return TRUE;
}

BOOL CCodeEditCtrl::DeleteChar(BOOL redraw, BOOL groupWithNext)
{
    if (HasSelection()) {
        if (!DeleteSelectionRange(TRUE, FALSE, FALSE))
            return FALSE;
        preferredColumn = ColumnOfOffset(caretOffset, true);
        return TRUE;
    }
    int at = caretOffset;
    if (at >= text.GetLength()) {
        OnEditFailure(EDIT_FAIL_DELETE_AT_END);
        return FALSE;
    }
    WCHAR ch = text.At(at);
    if (ch == L'\n') {
        int here = LineEndColumn(at, nullptr, true);
        int next = LineEndColumn(at + 1, nullptr, true);
        if (!FitsLineLimit(here + next + 1)) {
            OnEditFailure(EDIT_FAIL_JOIN_TOO_LONG);
            return FALSE;
        }
    }
    CString removed(ch);
    if (!CanDeleteText(at, removed))
        return FALSE;
    RecordTextChange(removed, UNDO_DELETE, at, TRUE, groupWithNext);
    bool nearBefore = NearColorBlockDelimiter(at);
    if (ch == L'\n')
        NoteTextRemoved(at, at + 1, removed);
    OnTextRemovedForOutline(at, at + 1);
    ChangeDelete(at, 1);
    ReparseOutline(at, 0, FALSE);
    SendChangeNotice(at, removed, FALSE);
    if (ch == L'\n') {
        RecalcLayout();
        if (UpdateLineNumberWidth())
            RecalcScrolling();
        MoveCaretToOffset(at, TRUE, FALSE);
        RedrawAll();
    } else if (redraw) {
        if (nearBefore || NearColorBlockDelimiter(at))
            InvalidateFromRow(at);
        else
            InvalidateRow(at);
    }
    preferredColumn = ColumnOfOffset(caretOffset, true);
    return TRUE;
}

BOOL CCodeEditCtrl::DeleteSelectionRange(BOOL redraw, BOOL copyFirst, BOOL groupWithNext)
{
    if (!HasSelection()) {
        OnEditFailure(EDIT_FAIL_NO_SELECTION_DELETE);
        return FALSE;
    }
    if (blockSelection && blockSelStart.x >= 0 && blockSelEnd.x >= 0)
        return DeleteBlockSelection(redraw, copyFirst, groupWithNext);
    int from = std::min(selStart, selEnd), to = std::min(std::max(selStart, selEnd), text.GetLength());
    CString removed = text.Mid(from, to - from);
    if (!CanDeleteText(from, removed)) {
        removed.SecureEmpty();
        return FALSE;
    }
    // A cut whose copy failed deletes nothing.
    if (copyFirst && !CopySelectionToClipboard(removed, removed.GetLength())) {
        removed.SecureEmpty();
        OnEditFailure(EDIT_FAIL_CUT_COPY);
        return FALSE;
    }
    RecordTextChange(removed, UNDO_DELETE, from, TRUE, groupWithNext);
    NoteTextRemoved(from, to, removed);
    OnTextRemovedForOutline(from, to);
    ChangeDelete(from, to - from);
    ReparseOutline(from, 0, FALSE);
    SendChangeNotice(from, removed, FALSE);
    removed.SecureEmpty();
    AfterSelectionDeleted(from, redraw);
    return TRUE;
}

void CCodeEditCtrl::AfterSelectionDeleted(int caret, BOOL redraw)
{
    selStart = selEnd = -1;
    blockSelection = 0;
    blockSelStart = blockSelEnd = POINT{-1, -1};
    RecalcLayout();
    if (UpdateLineNumberWidth())
        RecalcScrolling();
    MoveCaretToOffset(caret, TRUE, redraw);
    if (redraw)
        RedrawAll();
}
