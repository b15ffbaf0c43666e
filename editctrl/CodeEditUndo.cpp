// CCodeEditCtrl: undo records, their limits, and undo and redo.
//
// The records are kept oldest first; the first m_applied of them are applied
// to the text. A group is a run of records whose groupWithNext is set, plus
// the record that ends it; undo, redo and the limits treat it as one.
#include "editctrl/CodeEditCtrl.h"

#include <algorithm>

namespace {
size_t RecordBytes(const CODE_EDIT_UNDO_ACTION* record) { return sizeof(WCHAR) * (size_t)record->text.GetLength(); }
}  // namespace

void CCodeEditCtrl::DeleteRecord(CODE_EDIT_UNDO_ACTION* record)
{
    OnUndoRecordRemoved(record);
    m_undoBytes -= std::min(m_undoBytes, RecordBytes(record));
    delete record;
}

void CCodeEditCtrl::EmptyUndoList()
{
    for (CODE_EDIT_UNDO_ACTION* record : undoList)
        DeleteRecord(record);
    undoList.clear();
    m_undoBytes = 0;
    m_applied = 0;
    m_savedApplied = modified ? -1 : 0;
    undoDirection = 1;
}

void CCodeEditCtrl::MarkSaved()
{
    for (CODE_EDIT_UNDO_ACTION* record : undoList)
        record->flags &= ~UNDO_FLAG_SAVED;
    if (m_applied > 0)
        undoList[(size_t)m_applied - 1]->flags |= UNDO_FLAG_SAVED;
    m_savedApplied = m_applied;
    modified = 0;
}

void CCodeEditCtrl::TrimUndoList()
{
    auto overLimit = [this]() {
        return (int)undoList.size() > undoLimit || m_undoBytes > undoByteBudget;
    };
    while (overLimit()) {
        // The oldest whole group; the newest group always stays.
        size_t groupLength = 0;
        while (groupLength < undoList.size() && undoList[groupLength]->groupWithNext)
            ++groupLength;
        ++groupLength;
        if (groupLength >= undoList.size() || (int)groupLength > m_applied)
            break;
        for (size_t i = 0; i < groupLength; ++i)
            DeleteRecord(undoList[i]);
        undoList.erase(undoList.begin(), undoList.begin() + (long)groupLength);
        m_applied -= (int)groupLength;
        // A saved state older than what is left can never come back.
        m_savedApplied = m_savedApplied >= (int)groupLength ? m_savedApplied - (int)groupLength : -1;
    }
}

void CCodeEditCtrl::PushUndoRecord(CODE_EDIT_UNDO_ACTION* record)
{
    record->kind |= currentOperation;
    record->caretOffset = selEnd >= 0 ? selEnd : caretOffset;
    if (!CanPushUndoRecord(record)) {
        delete record;
        return;
    }
    // Records undone so far can no longer be redone.
    for (size_t i = (size_t)m_applied; i < undoList.size(); ++i)
        DeleteRecord(undoList[i]);
    undoList.resize((size_t)m_applied);
    if (m_savedApplied > m_applied)
        m_savedApplied = -1;
    undoList.push_back(record);
    m_undoBytes += RecordBytes(record);
    m_applied = (int)undoList.size();
    TrimUndoList();
    modified = 1;
}

void CCodeEditCtrl::PushUndoDataRecord(CODE_BASE_UNDO_DATA* data, int kind, BOOL ownsData)
{
    CODE_EDIT_UNDO_ACTION* record = new CODE_EDIT_UNDO_ACTION;
    record->data = data;
    record->kind = kind;
    record->ownsData = ownsData ? 1 : 0;
    PushUndoRecord(record);
}

void CCodeEditCtrl::RecordTextChange(const CString& t, int kind, int offset, BOOL forceInsertMode,
                                     BOOL groupWithNext)
{
    CODE_EDIT_UNDO_ACTION* record = new CODE_EDIT_UNDO_ACTION;
    record->offset = offset;
    record->kind = kind;
    record->text = t;
    record->groupWithNext = groupWithNext ? 1 : 0;
    // Only a typed character can replace another: a deletion, a line break or
    // a pasted text is never an exchange, whatever the mode.
    bool overtype = overwriteMode && !forceInsertMode && kind == UNDO_INSERT && t.GetLength() == 1 && t[0] != L'\n';
    record->flags = overtype ? UNDO_FLAG_OVERTYPE : UNDO_FLAG_INSERT_MODE;
    PushUndoRecord(record);
}

void CCodeEditCtrl::RecordTypedChar(WCHAR ch, int kind, int offset, BOOL forceInsertMode)
{
    if (ch == L'\n') {
        RecordTextChange(CString(ch), kind, offset, TRUE, FALSE);
        return;
    }
    bool overtype = overwriteMode && !forceInsertMode;
    WCHAR recorded = overtype ? text.At(offset) : ch;
    // The class of the typed character decides, compared with the class of
    // the character typed before it.
    bool canMerge = !noTypingMerge && kind == UNDO_INSERT && !overwriteMode && m_applied > 0 &&
                    m_applied == (int)undoList.size() && m_savedApplied != m_applied;
    if (canMerge) {
        CODE_EDIT_UNDO_ACTION* newest = undoList.back();
        bool lastKeyTyped = previousKey == VK_SPACE || previousKey >= 0x30 || previousKey == -1;
        WCHAR before = newest->text.IsEmpty() ? 0 : newest->text[newest->text.GetLength() - 1];
        bool sameClass = before != 0 && IsWordChar(before) == IsWordChar(ch);
        if (lastKeyTyped && sameClass && (newest->kind & UNDO_KIND_MASK) == UNDO_INSERT &&
            !(newest->flags & UNDO_FLAG_SAVED) && !(newest->flags & UNDO_FLAG_OVERTYPE) && !newest->groupWithNext &&
            (newest->kind & ~UNDO_KIND_MASK) == currentOperation &&
            offset == newest->offset + newest->text.GetLength()) {
            newest->text += recorded;
            m_undoBytes += sizeof(WCHAR);
            modified = 1;
            return;
        }
    }
    RecordTextChange(CString(recorded), kind, offset, forceInsertMode, FALSE);
}

BOOL CCodeEditCtrl::ReplayUndoRecord(CODE_EDIT_UNDO_ACTION* record, BOOL undo, BOOL moveCaret)
{
    int kind = record->kind & UNDO_KIND_MASK;
    bool overtype = (record->flags & UNDO_FLAG_OVERTYPE) != 0 && kind == UNDO_INSERT;
    int offset = std::min(record->offset, text.GetLength());
    int caretTarget = offset;
    if (kind == UNDO_DATA) {
        if (auto* indent = dynamic_cast<CODE_EDIT_UNDO_INDENT_DATA*>(record->data)) {
            // Undoing an indent or redoing an unindent takes the saved texts
            // out again; the other two put them back.
            BOOL indenting = (indent->indent != 0) != (undo != 0);
            ApplyIndent(std::min(indent->start, indent->end), std::max(indent->start, indent->end), indenting,
                        FALSE, FALSE, indent->lines, TRUE);
        }
        caretTarget = std::min(record->caretOffset, text.GetLength());
    } else if (overtype) {
        WCHAR there = text.At(offset);
        WCHAR back = record->text.IsEmpty() ? there : record->text[0];
        ChangeReplace(offset, back);
        record->text = CString(there);
        ReparseOutline(offset, 1, FALSE);
        SendChangeNotice(offset, record->text, TRUE);
        caretTarget = undo ? std::min(record->caretOffset, text.GetLength()) : offset + 1;
    } else if ((kind == UNDO_INSERT) == !!undo) {
        int count = std::min(record->text.GetLength(), text.GetLength() - offset);
        CanDeleteText(offset, record->text);
        NoteTextRemoved(offset, offset + count, record->text);
        OnTextRemovedForOutline(offset, offset + count);
        ChangeDelete(offset, count);
        ReparseOutline(offset, 0, FALSE);
        SendChangeNotice(offset, record->text, FALSE);
        caretTarget = offset;
    } else {
        CanInsertText(record->text, offset);
        NoteTextInserted(offset, record->text, TRUE);
        ChangeInsert(offset, record->text);
        OnTextInsertedForOutline(offset, offset + record->text.GetLength());
        ReparseOutline(offset, record->text.GetLength(), FALSE);
        SendChangeNotice(offset, record->text, TRUE);
        caretTarget = offset + record->text.GetLength();
    }
    selStart = selEnd = -1;
    blockSelection = 0;
    RecalcLayout();
    BOOL widthChanged = UpdateLineNumberWidth();
    if (moveCaret)
        MoveCaretToOffset(caretTarget, TRUE, TRUE);
    else
        caretOffset = caretTarget;
    if (widthChanged) {
        RecalcScrolling();
        RedrawAll();
    }
    modified = 1;
    return TRUE;
}

BOOL CCodeEditCtrl::StepUndo(BOOL moveCaret, BOOL redraw)
{
    if (m_applied == 0) {
        OnEditFailure(EDIT_FAIL_UNDO);
        return FALSE;
    }
    do {
        CODE_EDIT_UNDO_ACTION* record = undoList[(size_t)--m_applied];
        undoDirection = 1;
        ReplayUndoRecord(record, TRUE, moveCaret);
        moveCaret = TRUE;
    } while (m_applied > 0 && undoList[(size_t)m_applied - 1]->groupWithNext);
    modified = m_applied != m_savedApplied;
    if (redraw)
        RedrawAll();
    return TRUE;
}

BOOL CCodeEditCtrl::StepRedo(BOOL moveCaret, BOOL redraw)
{
    if (m_applied >= (int)undoList.size()) {
        OnEditFailure(EDIT_FAIL_REDO);
        return FALSE;
    }
    bool more = true;
    while (more) {
        CODE_EDIT_UNDO_ACTION* record = undoList[(size_t)m_applied++];
        undoDirection = 0;
        ReplayUndoRecord(record, FALSE, moveCaret);
        more = record->groupWithNext && m_applied < (int)undoList.size();
        moveCaret = !(record->kind & EDIT_OP_DROP);
    }
    modified = m_applied != m_savedApplied;
    if (redraw)
        RedrawAll();
    return TRUE;
}
