// CCodeEditCtrl: keys, typed characters, the text messages, word bounds and drops.
#include "editctrl/CodeEditCtrl.h"

#include <algorithm>

BOOL CCodeEditCtrl::ToggleOverwriteMode()
{
    if (readOnly) {
        OnEditFailure(EDIT_FAIL_READ_ONLY_OVERWRITE);
        return FALSE;
    }
    overwriteMode = !overwriteMode;
    RecreateSystemCaret();
    m_host->SetSystemCaretPos(caretPos.x, caretPos.y);
    m_host->ShowSystemCaret(true);
    return TRUE;
}

BOOL CCodeEditCtrl::ExtendSelection(int code)
{
    if (code == 12) {
        // Everything: the anchor at the text end, the caret at its start.
        MoveCaretToOffset(0, TRUE, FALSE);
        selStart = text.GetLength();
        selEnd = 0;
        RedrawAll();
        return TRUE;
    }
    // Forward movements from the text end fail with one code, before any move.
    bool forward = code == 1 || code == 3 || code == 5 || code == 7;
    if (forward && caretOffset >= text.GetLength()) {
        OnEditFailure(EDIT_FAIL_SELECTION);
        return FALSE;
    }
    int anchor = HasSelection() ? selStart : caretOffset;
    BOOL moved = FALSE;
    switch (code) {
    case 0: moved = MoveWordLeft(FALSE); break;
    case 1: moved = MoveWordRight(FALSE); break;
    case 2: moved = MoveLeft(FALSE); break;
    case 3: moved = MoveRight(FALSE); break;
    case 4: moved = MoveLineUp(TRUE, FALSE); break;
    case 5: moved = MoveLineDown(TRUE, FALSE); break;
    case 6: moved = MovePageUp(FALSE); break;
    case 7: moved = MovePageDown(FALSE); break;
    case 8: moved = MoveHome(FALSE); break;
    case 9: moved = MoveLineEnd(FALSE); break;
    case 10: moved = MoveTextStart(FALSE); break;
    case 11: moved = MoveTextEnd(FALSE); break;
    default: break;
    }
    if (!moved) {
        OnEditFailure(EDIT_FAIL_SELECTION);
        return FALSE;
    }
    selStart = anchor;
    selEnd = caretOffset;
    if (selStart == selEnd)
        selStart = selEnd = -1;
    RedrawAll();
    return TRUE;
}

void CCodeEditCtrl::ScrollLineKeepCaret(bool up)
{
    ScrollByCode(SB_VERT, up ? SB_LINEUP : SB_LINEDOWN, 0, TRUE);
    int rows = PageRows();
    int line = VisibleLineOfLine(caretLine);
    if (line < topLine)
        MoveCaretToOffset(OffsetOfColumn(preferredColumn, OffsetOfLine(topLine, true), false, true), FALSE, TRUE);
    else if (line >= topLine + rows)
        MoveCaretToOffset(OffsetOfColumn(preferredColumn, OffsetOfLine(topLine + rows - 1, true), false, true),
                          FALSE, TRUE);
    else
        MoveCaretToOffset(caretOffset, FALSE, FALSE);
}

void CCodeEditCtrl::HandleKeyDown(UINT key)
{
    const bool shift = m_host->IsKeyDown(VK_SHIFT);
    const bool ctrl = m_host->IsKeyDown(VK_CONTROL);
    if (readOnly) {
        // A read-only control only pages.
        if ((key == VK_TAB && shift) || key == VK_PRIOR)
            MovePageUp(TRUE);
        else if (key == VK_TAB || key == VK_NEXT)
            MovePageDown(TRUE);
        return;
    }
    previousKey = lastKey;
    lastKey = (int)key;
    bool scrollFirst = key == VK_PRIOR || key == VK_NEXT || key == VK_UP || key == VK_DOWN || key == VK_DELETE ||
                       (key == VK_ESCAPE && HasSelection());
    if (scrollFirst && (caretPos.y < textRect.top || caretPos.y >= textRect.bottom))
        MoveCaretToOffset(caretOffset, TRUE, TRUE);

    switch (key) {
    case VK_BACK: {
        if (ctrl) {
            int from = HasSelection() ? selStart : caretOffset;
            m_host->ShowSystemCaret(false);
            if (MoveWordLeft(FALSE)) {
                selStart = from;
                selEnd = caretOffset;
            }
            m_host->ShowSystemCaret(true);
        }
        if (HasSelection()) {
            SetCurrentOperation(EDIT_OP_BACKSPACE);
            DeleteChar(TRUE, FALSE);
            break;
        }
        if (caretOffset == 0)
            break;
        int old = caretOffset;
        int target = caretOffset - 1;
        int start = 0, end = 0;
        if (FindCollapsedNodeAt(target, &start, &end))
            target = start;  // a collapsed block is one unit: it goes whole
        if (target < topOffset) {
            MoveCaretToOffset(target, TRUE, TRUE);
        } else {
            caretOffset = target;
            PointFromOffset(target, caretPos);
        }
        SetCurrentOperation(EDIT_OP_BACKSPACE);
        if (old - target > 1) {
            SetSelectionRange(target, old, FALSE);
            if (!DeleteSelectionRange(TRUE, FALSE, FALSE))
                MoveCaretToOffset(old, TRUE, TRUE);
        } else if (!DeleteChar(TRUE, FALSE)) {
            MoveCaretToOffset(old, TRUE, TRUE);
        }
        break;
    }
    case VK_TAB:
        if (ctrl)
            break;
        if (shift) {
            if (!HasSelection())
                MoveToIndentStop();
            else
                IndentSelection(FALSE);
            break;
        }
        // A selection of lines is indented; only a selection inside one
        // line is replaced by the tab.
        if (HasSelection() && IndentSelection(TRUE))
            break;
        if (HasSelection())
            DeleteSelectionRange(TRUE, FALSE, TRUE);
        SetCurrentOperation(EDIT_OP_TAB);
        InsertTab(TRUE);
        break;
    case VK_RETURN:
        if (HasSelection())
            DeleteSelectionRange(TRUE, FALSE, TRUE);
        if (overwriteMode) {
            MoveLineDown(TRUE, TRUE);
            MoveHome(TRUE);
        } else {
            SetCurrentOperation(EDIT_OP_ENTER);
            InsertNewLine(TRUE, FALSE, caretOffset, TRUE);
        }
        preferredColumn = ColumnOfOffset(caretOffset, true);
        break;
    case VK_PRIOR:
        if (ctrl)
            break;
        if (shift)
            ExtendSelection(6);
        else
            ClearSelection(TRUE, FALSE, TRUE), MovePageUp(TRUE);
        break;
    case VK_NEXT:
        if (ctrl)
            break;
        if (shift)
            ExtendSelection(7);
        else
            ClearSelection(TRUE, FALSE, TRUE), MovePageDown(TRUE);
        break;
    case VK_END:
        if (shift)
            ExtendSelection(ctrl ? 11 : 9);
        else if (ctrl)
            ClearSelection(FALSE, FALSE, TRUE), MoveTextEnd(TRUE);
        else
            ClearSelection(FALSE, FALSE, TRUE), MoveLineEnd(TRUE);
        break;
    case VK_HOME:
        if (shift)
            ExtendSelection(ctrl ? 10 : 8);
        else if (ctrl)
            ClearSelection(TRUE, FALSE, TRUE), MoveTextStart(TRUE);
        else
            ClearSelection(TRUE, FALSE, TRUE), MoveHome(TRUE);
        break;
    case VK_LEFT:
        if (shift)
            ExtendSelection(ctrl ? 0 : 2);
        else if (ctrl)
            ClearSelection(TRUE, FALSE, TRUE), MoveWordLeft(TRUE);
        else if (!ClearSelection(TRUE, FALSE, TRUE))
            MoveLeft(TRUE);
        break;
    case VK_RIGHT:
        if (shift)
            ExtendSelection(ctrl ? 1 : 3);
        else if (ctrl)
            ClearSelection(FALSE, FALSE, TRUE), MoveWordRight(TRUE);
        else if (!ClearSelection(FALSE, FALSE, TRUE))
            MoveRight(TRUE);
        break;
    case VK_UP:
        if (shift && !ctrl)
            ExtendSelection(4);
        else if (ctrl && !shift)
            ScrollLineKeepCaret(true);
        else if (!ctrl) {
            BOOL had = ClearSelection(TRUE, FALSE, TRUE);
            MoveLineUp(!had, TRUE);
        }
        break;
    case VK_DOWN:
        if (shift && !ctrl)
            ExtendSelection(5);
        else if (ctrl && !shift)
            ScrollLineKeepCaret(false);
        else if (!ctrl) {
            BOOL had = ClearSelection(FALSE, FALSE, TRUE);
            MoveLineDown(!had, TRUE);
        }
        break;
    case VK_INSERT:
        ToggleOverwriteMode();
        break;
    case VK_DELETE: {
        if (ctrl) {
            int from = HasSelection() ? selStart : caretOffset;
            m_host->ShowSystemCaret(false);
            int old = caretOffset;
            if (MoveWordRight(FALSE)) {
                selStart = from;
                selEnd = caretOffset;
            } else {
                caretOffset = old;
            }
            m_host->ShowSystemCaret(true);
        }
        SetCurrentOperation(EDIT_OP_DELETE);
        int start = 0, end = 0;
        if (!HasSelection() && FindCollapsedNodeAt(caretOffset, &start, &end)) {
            // A collapsed block is one unit: it goes whole.
            SetSelectionRange(start, end + 1, FALSE);
        }
        DeleteChar(TRUE, FALSE);
        ClearSelection(FALSE, TRUE, TRUE);
        break;
    }
    case VK_ESCAPE:
        ClearSelection(FALSE, TRUE, TRUE);
        break;
    default:
        break;
    }
}

void CCodeEditCtrl::HandleChar(WCHAR ch)
{
    // Printable characters, the blank included; tabs, Enter and Backspace come as keys.
    WORD type = 0;
    ::GetStringTypeW(CT_CTYPE1, &ch, 1, &type);
    bool printable = ch == L' ' || (type & (C1_ALPHA | C1_DIGIT | C1_PUNCT)) != 0 ||
                     (ch >= 0x80 && !(type & C1_CNTRL) && !(type & C1_SPACE));
    if (!printable || ch == L'\t' || readOnly)
        return;
    bool replacedSelection = HasSelection() && DeleteSelectionRange(TRUE, FALSE, TRUE);
    SetCurrentOperation(EDIT_OP_TYPING);
    // The typed character takes the selection's place: in overwrite mode too
    // it must not also replace the first character after the selection.
    BOOL mode = overwriteMode;
    if (replacedSelection)
        overwriteMode = 0;
    InsertChar(ch, TRUE);
    overwriteMode = mode;
}

void CCodeEditCtrl::SetWindowTextFrom(const WCHAR* chars, int count)
{
    caretOffset = 0;
    lineBreakCount = 0;
    hiddenLineCount = 0;
    selStart = selEnd = -1;
    BOOL wasModified = modified;
    SetText(chars, count);
    RecalcLayout();
    if (UpdateLineNumberWidth())
        RecalcScrolling();
    caretLocked = 0;
    modified = wasModified;
    MoveCaretToOffset(0, TRUE, TRUE);
    RedrawAll();
}

int CCodeEditCtrl::GetWindowTextInto(WCHAR* buffer, int count) const
{
    if (!buffer || count <= 0)
        return 0;
    int n = text.CopyTo(0, count - 1, buffer);
    buffer[n] = 0;
    return n;
}

BOOL CCodeEditCtrl::FindWordBounds(int offset, int& start, int& end)
{
    int length = text.GetLength();
    int p = std::clamp(offset, 0, length);
    while (p >= 0 && p < length && blankChars.Find(text.At(p)) >= 0)
        --p;
    if (p < 0) {
        start = end = 0;
        return FALSE;
    }
    int s = p;
    while (s > 0 && IsWordChar(text.At(s - 1)))
        --s;
    int e = p;
    while (e < length && IsWordChar(text.At(e)))
        ++e;
    start = s;
    end = e;
    return TRUE;
}

BOOL CCodeEditCtrl::GetWordAtOffset(int offset, CString& word)
{
    int start = 0, end = 0;
    FindWordBounds(offset, start, end);
    if (end <= start)
        return FALSE;
    word = text.Mid(start, end - start);
    return TRUE;
}

void CCodeEditCtrl::StripLeadingBlankLines(CString& s)
{
    int cut = 0;
    for (int i = 0; i < s.GetLength(); ++i) {
        WCHAR ch = s[i];
        if (ch == L'\n')
            cut = i + 1;
        else if (ch != L' ' && ch != L'\t' && ch != L'\r')
            break;
    }
    if (cut > 0)
        s.Delete(0, cut);
}

BOOL CCodeEditCtrl::OnDrop(const CString& dropped, bool block, bool move, POINT point)
{
    if (readOnly)
        return FALSE;
    int offset = OffsetFromPoint(point, false, true);
    int low = std::min(selStart, selEnd), high = std::max(selStart, selEnd);
    // A column block is tested against its rectangle, other text against its offsets.
    bool insideSelection = block && blockSelection ? IsPointInSelection(point.x, point.y) != 0
                                                   : HasSelection() && offset >= low && offset <= high;
    if (offset < 0 || insideSelection) {
        OnEditFailure(EDIT_FAIL_DROP);
        return FALSE;
    }
    SetCurrentOperation(EDIT_OP_DROP);
    // Only a move inside this control is followed by the removal of its
    // source as the next record; a drop from elsewhere stands alone.
    BOOL group = move && dragSource;
    if (block)
        InsertColumnText(dropped, offset, !dragSource, FALSE, TRUE, group);
    else
        InsertText(dropped, offset, !dragSource, FALSE, TRUE, group);
    if (!dragSource)
        dragSelEnd = selEnd;
    dropOffset = std::max(offset, 0);
    return TRUE;
}
