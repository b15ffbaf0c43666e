// CCodeEditCtrl: the selection and copying it.
#include "editctrl/CodeEditCtrl.h"

#include <algorithm>

BOOL CCodeEditCtrl::ClearSelection(BOOL toStart, BOOL keepCaret, BOOL redraw)
{
    if (!HasSelection()) {
        selStart = selEnd = -1;
        return FALSE;
    }
    int low = std::min(selStart, selEnd), high = std::max(selStart, selEnd);
    selStart = selEnd = -1;
    blockSelection = 0;
    if (!keepCaret)
        MoveCaretToOffset(toStart ? low : high, TRUE, FALSE);
    if (redraw)
        RedrawAll();
    return TRUE;
}

BOOL CCodeEditCtrl::SetSelectionRange(int start, int end, BOOL redraw)
{
    int length = text.GetLength();
    selStart = std::clamp(start, 0, length);
    selEnd = std::clamp(end, 0, length);
    MoveCaretToOffset(selEnd, TRUE, FALSE);
    if (redraw)
        RedrawAll();
    return TRUE;
}

CString CCodeEditCtrl::GetSelectedText() const
{
    if (!HasSelection())
        return CString();
    int low = std::min(selStart, selEnd), high = std::max(selStart, selEnd);
    return text.Mid(low, high - low);
}

BOOL CCodeEditCtrl::CopySelected()
{
    if (!HasSelection()) {
        OnEditFailure(EDIT_FAIL_NO_SELECTION_COPY);
        return FALSE;
    }
    CString selected = GetSelectedText();
    if (clipboardCrLf)
        selected.Replace(L"\n", L"\r\n");
    bool ok = m_host->SetClipboardText(selected);
    selected.SecureEmpty();
    return ok;
}
