// CCodeEditCtrl: the mouse, the scroll bars and the wheel: selecting by
// click, drag, double click and right click, dragging a selection out,
// auto-scrolling while the mouse stands outside the text, and the cursor.
// The window layer passes client points; the core decides.
#include "editctrl/CodeEditCtrl.h"

#include <ole2.h>

#include <algorithm>

namespace {
bool IsIndentBlank(WCHAR ch) { return ch == L' ' || ch == L'\t'; }
}  // namespace

BOOL CCodeEditCtrl::GetSelectionRects(RECT& first, RECT& middle, RECT& last)
{
    first = middle = last = RECT{};
    if (!HasSelection())
        return FALSE;
    int low = std::min(selStart, selEnd), high = std::max(selStart, selEnd);
    POINT a = {}, b = {};
    PointFromOffset(low, a);
    PointFromOffset(high, b);
    if (a.y == b.y) {
        first = RECT{a.x, a.y, b.x, a.y + lineHeight};
        return TRUE;
    }
    first = RECT{a.x, a.y, textRect.right, a.y + lineHeight};
    if (b.y > a.y + lineHeight)
        middle = RECT{textRect.left, a.y + lineHeight, textRect.right, b.y};
    last = RECT{textRect.left, b.y, b.x, b.y + lineHeight};
    return TRUE;
}

BOOL CCodeEditCtrl::IsPointInSelection(int x, int y)
{
    POINT p = {x, y};
    if (blockSelection && blockSelStart.x >= 0 && blockSelEnd.x >= 0) {
        RECT block = BlockSelectionRect();
        POINT document = {x + scrollColumn * maxCharWidth, y + topLine * lineHeight};
        return ::PtInRect(&block, document);
    }
    RECT r[3];
    if (!GetSelectionRects(r[0], r[1], r[2]))
        return FALSE;
    for (const RECT& rect : r)
        if (::PtInRect(&rect, p))
            return TRUE;
    return FALSE;
}

BOOL CCodeEditCtrl::GetWordAtPoint(POINT point, CString& word)
{
    POINT mapped = point;
    int offset = OffsetFromPoint(mapped, true, false);
    if (offset < 0 || offset >= text.GetLength() || std::abs(mapped.x - point.x) > maxCharWidth)
        return FALSE;
    return GetWordAtOffset(offset, word);
}

EditCursor CCodeEditCtrl::CursorAtPoint(POINT point, bool ctrlDown)
{
    if (!::PtInRect(&textRect, point) || IsPointInSelection(point.x, point.y))
        return EditCursor::ARROW;
    POINT mapped = point;
    int offset = -1;
    if (hyperlinksEnabled || readOnly)
        offset = OffsetFromPoint(mapped, true, true);
    // The link is looked up in the text at the mouse (it sets hotLink),
    // not only among those the last paint found.
    if (hyperlinksEnabled && !m_host->HasMouseCapture() && HotLinkAtPoint(point) >= 0 && ctrlDown)
        return EditCursor::HAND;
    if (!readOnly)
        return EditCursor::IBEAM;
    bool nearText = offset >= 0 && offset < text.GetLength() && std::abs(mapped.x - point.x) <= maxCharWidth &&
                    std::abs(mapped.y - point.y) <= lineHeight;
    return nearText ? EditCursor::IBEAM : EditCursor::ARROW;
}

bool CCodeEditCtrl::HandleLButtonDown(POINT point)
{
    m_pressPoint = point;
    m_pressLow = std::min(selStart, selEnd);
    m_pressHigh = std::max(selStart, selEnd);
    if (IsPointInSelection(point.x, point.y))
        return true;  // the window drags the selection out
    POINT p = point;
    if (p.x < textRect.left)
        p.x = textRect.left + 1;
    int offset = OffsetFromPoint(p, true, true);
    int barLeft = markerBarWidth + (showLineNumbers ? lineNumberWidth : 0);
    if (outliningEnabled && point.x >= barLeft && point.x < textRect.left && ToggleOutlineAt(offset))
        return false;
    if (m_host->IsKeyDown(VK_CONTROL) && hyperlinksEnabled && hotLink >= 0 && hotLink < (int)hyperlinks.size() &&
        FollowHotLink())
        return false;
    MoveCaretToOffset(offset, TRUE, TRUE);
    m_host->SetMouseCapture(true);
    mouseState = -1;
    if (selStart >= 0 || blockSelStart.x >= 0) {
        selStart = selEnd = -1;
        blockSelection = 0;
        blockSelStart = blockSelEnd = POINT{-1, -1};
        RedrawAll();
    }
    // Alt with the press drags a column block; the Alt release that follows
    // must not open the menu.
    if (m_host->IsKeyDown(VK_MENU)) {
        blockSelection = 1;
        swallowAltUp = 1;
    }
    return false;
}

void CCodeEditCtrl::HandleMouseMove(POINT point)
{
    if (!m_host->HasMouseCapture())
        return;
    bool outside = !::PtInRect(&textRect, point);
    if (outside && scrollTimer < 0) {
        scrollTimer = AUTO_SCROLL_TIMER;
        m_host->StartTimer(AUTO_SCROLL_TIMER, (UINT)autoScrollDelay);
    } else if (!outside && scrollTimer >= 0) {
        m_host->StopTimer(AUTO_SCROLL_TIMER);
        scrollTimer = -1;
    }
    POINT p = point;
    p.x = std::clamp((int)p.x, (int)textRect.left + 1, (int)textRect.right);
    int offset = OffsetFromPoint(p, false, true);
    if (blockSelection) {
        MoveBlockCorner(point, offset);
        return;
    }
    if (selStart < 0) {
        selStart = selEnd = caretOffset;  // the anchor
        mouseState = caretOffset;
        return;
    }
    if (offset < 0)
        return;
    int oldEnd = selEnd;
    selEnd = offset;
    MoveCaretToOffset(offset, TRUE, TRUE);
    if (offset != mouseState) {
        int low = std::min({oldEnd, offset, selStart}), high = std::max({oldEnd, offset, selStart});
        RedrawTextRange(low, high);
    }
    mouseState = offset;
}

void CCodeEditCtrl::MoveBlockCorner(POINT point, int offset)
{
    const int dx = scrollColumn * maxCharWidth, dy = topLine * lineHeight;
    // The caret stands one pixel left of its character's cell; the corners
    // are cell edges.
    if (selStart < 0) {
        selStart = selEnd = caretOffset;
        blockSelStart = blockSelEnd = POINT{caretPos.x + 1 + dx, caretPos.y + dy};
        return;
    }
    if (offset < 0)
        return;
    MoveCaretToOffset(offset, FALSE, FALSE);
    selEnd = offset;
    POINT corner = {point.x, caretPos.y + lineHeight};
    if (std::abs(corner.x - caretPos.x) <= maxCharWidth)
        corner.x = caretPos.x + 1;
    m_host->SetSystemCaretPos(corner.x, caretPos.y);
    POINT document = {corner.x + dx, corner.y + dy};
    if (document.x != blockSelEnd.x || document.y != blockSelEnd.y) {
        blockSelEnd = document;
        m_host->InvalidateRect(&textRect, true);
        m_host->UpdateNow();
    }
}

void CCodeEditCtrl::HandleLButtonUp(POINT point)
{
    m_host->SetMouseCapture(false);
    if (scrollTimer >= 0)
        m_host->StopTimer(AUTO_SCROLL_TIMER);
    scrollTimer = -1;
    preferredColumn = ColumnOfOffset(caretOffset, true);
    bool emptySelection = selStart >= 0 && selStart == selEnd;
    if (emptySelection) {
        selStart = selEnd = -1;
        RedrawAll();
        return;
    }
    POINT p = point;
    int offset = OffsetFromPoint(p, false, true);
    if (CCodeOutlineNode* node = offset >= 0 ? FindLabelAtPoint(point.x, point.y, offset) : nullptr)
        SelectRange(node->start, std::min(node->end + 1, text.GetLength()));
}

void CCodeEditCtrl::HandleLButtonDblClk(POINT point)
{
    POINT p = point;
    int offset = OffsetFromPoint(p, false, true);
    if (offset < 0 || offset >= text.GetLength())
        return;
    if (CCodeOutlineNode* node = FindLabelAtPoint(point.x, point.y, offset)) {
        ToggleOutlineNode(node);
        return;
    }
    WCHAR ch = text.At(offset);
    int start = offset, end = offset;
    if (IsIndentBlank(ch) || ch == L'\n') {
        while (start > 0 && IsIndentBlank(text.At(start - 1)))
            --start;
        while (end < text.GetLength() && IsIndentBlank(text.At(end)))
            ++end;
        if (end - start < 2)
            start = end = offset;  // a single blank: an empty selection at it
    } else {
        FindWordBounds(offset, start, end);
    }
    selStart = start;
    selEnd = end;
    MoveCaretToOffset(selEnd, TRUE, TRUE);
    RedrawAll();
}

void CCodeEditCtrl::HandleRButtonDown(POINT point)
{
    if (IsPointInSelection(point.x, point.y))
        return;  // kept for the context menu
    ClearSelection(FALSE, TRUE, TRUE);
    POINT p = point;
    if (p.x < textRect.left)
        p.x = textRect.left + 1;
    int offset = OffsetFromPoint(p, false, true);
    if (offset >= 0)
        MoveCaretToOffset(offset, TRUE, TRUE);
    m_host->SetMouseCapture(false);
    if (scrollTimer >= 0)
        m_host->StopTimer(AUTO_SCROLL_TIMER);
    scrollTimer = -1;
}

void CCodeEditCtrl::FinishSelectionDrag(DWORD effect, POINT releasePoint)
{
    dragSource = 0;
    if (!readOnly)
        m_host->ShowSystemCaret(true);
    if (effect == DROPEFFECT_NONE) {
        // Released where it was pressed: the press was a click.
        if (releasePoint.x == m_pressPoint.x && releasePoint.y == m_pressPoint.y) {
            ClearSelection(FALSE, TRUE, TRUE);
            POINT p = releasePoint;
            int offset = OffsetFromPoint(p, false, true);
            if (offset >= 0)
                MoveCaretToOffset(offset, TRUE, TRUE);
        }
        dropOffset = -1;
        return;
    }
    int n = m_pressHigh - m_pressLow;
    if (effect & DROPEFFECT_MOVE) {
        if (dropOffset != -1 && dropOffset <= m_pressLow) {
            selStart = m_pressLow + n;
            selEnd = m_pressHigh + n;
        } else {
            selStart = m_pressLow;
            selEnd = m_pressHigh;
            if (dropOffset != -1 && dropOffset >= m_pressHigh)
                dropOffset -= n;
        }
        if (!readOnly)
            DeleteSelectionRange(FALSE, FALSE, FALSE);
    }
    if (dropOffset != -1) {
        selStart = dropOffset;
        selEnd = dropOffset + n;
        MoveCaretToOffset(selEnd, TRUE, FALSE);
    }
    RedrawAll();
    dropOffset = -1;
}

void CCodeEditCtrl::AfterScroll()
{
    OnViewScrolled();
    m_host->InvalidateRect(nullptr, false);
    if (blockSelection) {
        m_host->SetSystemCaretPos(savedScrollPoint.x - scrollColumn * maxCharWidth,
                                  savedScrollPoint.y - topLine * lineHeight);
        return;
    }
    POINT p = {};
    PointFromOffset(caretOffset, p);
    if (::PtInRect(&textRect, p)) {
        caretPos = p;
        m_host->SetSystemCaretPos(p.x, p.y);
    } else {
        m_host->SetSystemCaretPos(-10, -10);
    }
}

BOOL CCodeEditCtrl::HandleScrollBar(int bar, int code, int position)
{
    if (bar == SB_VERT && blockSelection)
        savedScrollPoint = POINT{caretPos.x + scrollColumn * maxCharWidth, caretPos.y + topLine * lineHeight};
    if (!ScrollByCode(bar, code, position, FALSE))
        return FALSE;
    AfterScroll();
    return TRUE;
}

BOOL CCodeEditCtrl::HandleMouseWheel(int delta)
{
    int visibleLines = lineBreakCount - (outliningEnabled ? hiddenLineCount : 0);
    if (visibleLines < PageRows() || delta == 0)
        return FALSE;
    int steps = std::abs(delta) / 120 * std::max(wheelFactor, 1);
    if (steps < 2)
        return HandleScrollBar(SB_VERT, delta < 0 ? SB_LINEDOWN : SB_LINEUP, 0);
    return HandleScrollBar(SB_VERT, SB_THUMBTRACK, delta < 0 ? topLine + steps : topLine - steps);
}

void CCodeEditCtrl::HandleSetFocus()
{
    if (readOnly)
        return;
    RecreateSystemCaret();
    if (blockSelection) {
        // A column block keeps its caret where the focus left it.
        m_host->SetSystemCaretPos(savedScrollPoint.x - scrollColumn * maxCharWidth,
                                  savedScrollPoint.y - topLine * lineHeight);
    } else {
        MoveCaretToOffset(caretOffset, FALSE, FALSE);
        m_host->SetSystemCaretPos(caretPos.x, caretPos.y);
    }
    m_host->ShowSystemCaret(true);
}

void CCodeEditCtrl::HandleKillFocus()
{
    dragSelEnd = caretOffset;
    savedScrollPoint = POINT{caretPos.x + scrollColumn * maxCharWidth, caretPos.y + topLine * lineHeight};
}

BOOL CCodeEditCtrl::DragOverPoint(POINT point)
{
    if (readOnly || point.x < 0 || point.x >= textRect.right || point.y < textRect.top ||
        point.y >= textRect.bottom)
        return FALSE;
    // Near an edge the view follows: one line down or up, one character right or left.
    POINT moved = point;
    bool right = false;
    if (point.y > textRect.bottom - lineHeight) {
        moved.y += lineHeight;
    } else if (point.y < textRect.top + lineHeight) {
        moved.y -= lineHeight;
    } else if (point.x > textRect.right - maxCharWidth) {
        moved.x += maxCharWidth;
        right = true;
    } else if (point.x < textRect.left + 1 + maxCharWidth) {
        moved.x -= maxCharWidth;
    }
    POINT plain = point;
    int offset = OffsetFromPoint(moved, true, true);
    if (offset < 0)
        return TRUE;
    if (right) {
        // No scrolling past a line end.
        int under = OffsetFromPoint(plain, false, true);
        if (ColumnOfOffset(offset, true) <= ColumnOfOffset(std::max(under, 0), true))
            return TRUE;
    }
    MoveCaretToOffset(offset, TRUE, TRUE);
    return TRUE;
}

void CCodeEditCtrl::DragLeave()
{
    if (readOnly)
        return;
    RecreateSystemCaret();
    m_host->SetSystemCaretPos(caretPos.x, caretPos.y);
}

void CCodeEditCtrl::RecreateSystemCaret()
{
    int width = 0, height = 0;
    GetCaretSize(width, height);
    m_host->DestroySystemCaret();
    m_host->CreateSystemCaret(width, height);
}
