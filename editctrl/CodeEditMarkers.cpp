// CCodeEditCtrl: the marker list: adding, finding, flipping and deleting
// markers, following the lines as text is inserted and deleted, and the
// marker bar's glyphs.
#include "editctrl/CodeEditCtrl.h"

#include <algorithm>

namespace {
// Whether a sorts before b: priority descending, then line, then type.
bool SortsBefore(const CCodeEditMarker& a, const CCodeEditMarker& b)
{
    if (a.priority != b.priority)
        return a.priority > b.priority;
    if (a.line != b.line)
        return a.line < b.line;
    return a.type < b.type;
}
}  // namespace

CCodeEditMarker* CCodeEditCtrl::InsertMarkerSorted(CCodeEditMarker* marker, BOOL redraw)
{
    if (!marker || (marker->type & MARKER_TYPE_REFUSED))
        return nullptr;
    auto place = std::find_if(markers.begin(), markers.end(),
                              [&](const CCodeEditMarker* m) { return !SortsBefore(*m, *marker); });
    markers.insert(place, marker);
    if (redraw)
        RedrawMarkerLine(marker->line, (marker->type & MARKER_TYPE_LINE_COLOR) != 0);
    return marker;
}

CCodeEditMarker* CCodeEditCtrl::AddMarker(CCodeEditMarker* marker, int line, BOOL redraw)
{
    if (!marker)
        return nullptr;
    marker->line = line == -1 ? GetCaretLine() : line;
    return InsertMarkerSorted(marker, redraw);
}

BOOL CCodeEditCtrl::FlipLineMarker(int line, uint32_t type, uint32_t data, BOOL redraw, uint32_t priority)
{
    if (line == -1)
        line = GetCaretLine();
    if (FindMarkerOnLine(line, type)) {
        DeleteMarkersOnLine(line, type, redraw);
        return FALSE;
    }
    auto* marker = new CCodeEditMarker;
    marker->type = type;
    marker->priority = priority;
    marker->data = data;
    if (!AddMarker(marker, line, redraw)) {
        delete marker;
        return FALSE;
    }
    return TRUE;
}

CCodeLineColorMarker* CCodeEditCtrl::AddLineColorMarker(int line, COLORREF textColour, COLORREF back, int option,
                                                        int lineCount, uint32_t type, uint32_t priority)
{
    auto* marker = new CCodeLineColorMarker;
    marker->line = line == -1 ? GetCaretLine() : line;
    marker->textColor = textColour == (COLORREF)-1 ? GetTextColor() : textColour;
    marker->backColor = back == (COLORREF)-1 ? GetBackColor() : back;
    marker->option = option;
    marker->lineCount = lineCount;
    marker->type = type | MARKER_TYPE_LINE_COLOR;
    marker->priority = priority;
    if (!InsertMarkerSorted(marker, TRUE)) {
        delete marker;
        return nullptr;
    }
    return marker;
}

CCodeEditMarker* CCodeEditCtrl::FindMarkerOnLine(int line, uint32_t typeMask)
{
    for (CCodeEditMarker* m : markers)
        if ((m->type & typeMask) && m->IsInLineRange(line, line))
            return m;
    return nullptr;
}

void CCodeEditCtrl::CollectMarkersInRange(int first, std::vector<CCodeEditMarker*>& found, uint32_t typeMask,
                                          int last)
{
    if (last == -1)
        last = first;
    for (CCodeEditMarker* m : markers)
        if ((m->type & typeMask) && m->IsInLineRange(first, last))
            found.push_back(m);
}

BOOL CCodeEditCtrl::DeleteMarkersOnLine(int line, uint32_t typeMask, BOOL redraw)
{
    BOOL deleted = FALSE;
    for (auto it = markers.begin(); it != markers.end();) {
        CCodeEditMarker* m = *it;
        if (m->line != line || !(m->type & typeMask) || !CanDeleteMarker(m)) {
            ++it;
            continue;
        }
        bool lineColor = (m->type & MARKER_TYPE_LINE_COLOR) != 0;
        it = markers.erase(it);
        delete m;
        deleted = TRUE;
        if (redraw) {
            RedrawMarkerLine(line, FALSE);
            if (lineColor)
                RedrawLineRange(line, 0);
        }
    }
    return deleted;
}

void CCodeEditCtrl::DeleteMarkerAt(CCodeEditMarker* marker)
{
    auto it = std::find(markers.begin(), markers.end(), marker);
    if (it == markers.end())
        return;
    CanDeleteMarker(marker);  // told; the deletion goes ahead
    markers.erase(it);
    delete marker;
}

void CCodeEditCtrl::DeleteAllMarkers()
{
    while (!markers.empty())
        DeleteMarkerAt(markers.front());
}

void CCodeEditCtrl::DeleteMarkersOfType(uint32_t typeMask, BOOL redraw)
{
    std::vector<CCodeEditMarker*> doomed;
    for (CCodeEditMarker* m : markers)
        if (typeMask == 0xFFFFFFFF || (m->type & typeMask))
            doomed.push_back(m);
    for (CCodeEditMarker* m : doomed)
        DeleteMarkerAt(m);
    if (redraw) {
        RECT bar = {0, clientRect.top, markerBarWidth, clientRect.bottom};
        m_host->InvalidateRect(&bar, true);
        RedrawAll();
    }
}

CCodeEditMarker* CCodeEditCtrl::FindMarker(uint32_t data)
{
    for (CCodeEditMarker* m : markers)
        if (m->HasData(data))
            return m;
    return nullptr;
}

void CCodeEditCtrl::CollectMarkers(std::vector<CCodeEditMarker*>& found, uint32_t data)
{
    for (CCodeEditMarker* m : markers)
        if (m->HasData(data))
            found.push_back(m);
}

BOOL CCodeEditCtrl::HasMarkerOfType(uint32_t typeMask)
{
    return std::any_of(markers.begin(), markers.end(), [&](const CCodeEditMarker* m) { return m->type & typeMask; });
}

BOOL CCodeEditCtrl::GoToMarker(const CCodeEditMarker* marker)
{
    if (!marker)
        return FALSE;
    int offset = OffsetOfLine(marker->line, false);
    if (offset < 0)
        return FALSE;
    ExpandLine(marker->line + 1);
    return MoveCaretToOffset(offset, TRUE, TRUE);
}

void CCodeEditCtrl::RedrawMarkerLine(int line, BOOL lineColor)
{
    RECT r = {0, clientRect.top, lineColor ? textRect.right : markerBarWidth, clientRect.bottom};
    if (line != -1) {
        r.top = (VisibleLineOfLine(line) - topLine) * lineHeight + textRect.top;
        r.bottom = r.top + lineHeight;
    }
    m_host->InvalidateRect(&r, true);
    m_host->UpdateNow();
}

void CCodeEditCtrl::ShiftMarkersOnInsert(int fromLine, int delta)
{
    for (CCodeEditMarker* m : markers)
        if (m->line >= fromLine && MarkerMovesOnInsert(m))
            m->line += delta;
}

void CCodeEditCtrl::ShiftMarkersOnDelete(int first, int last)
{
    std::vector<CCodeEditMarker*> doomed;
    for (CCodeEditMarker* m : markers) {
        int relation = m->IsInLineRange(first, last);
        if (relation == 1 && MarkerMovesOnDelete(m))
            doomed.push_back(m);
        else if (relation == 2 && MarkerMovesOnInsert(m))
            m->OnLinesDeleted(first, last);
    }
    for (CCodeEditMarker* m : doomed)
        DeleteMarkerAt(m);
}

BOOL CCodeEditCtrl::GetLineColorMarker(int line, COLORREF& textColour, COLORREF& back)
{
    for (const CCodeEditMarker* m : markers) {
        if (!(m->type & MARKER_TYPE_LINE_COLOR))
            continue;
        auto* colored = dynamic_cast<const CCodeLineColorMarker*>(m);
        if (colored && line >= colored->line && line <= colored->line + colored->lineCount) {
            textColour = colored->textColor;
            back = colored->backColor;
            return TRUE;
        }
    }
    return FALSE;
}

BOOL CCodeEditCtrl::GetHiliteMarker(int offset, COLORREF& textColour, COLORREF& back)
{
    for (const CCodeEditMarker* m : markers) {
        if (!(m->type & MARKER_TYPE_HILITE))
            continue;
        auto* hilite = dynamic_cast<const CCodeHiliteMarker*>(m);
        if (hilite && offset >= hilite->startOffset && offset < hilite->endOffset) {
            textColour = hilite->textColor;
            back = hilite->backColor;
            return TRUE;
        }
    }
    return FALSE;
}

void CCodeEditCtrl::DrawMarkerGlyph(CEditDisplayList& list, const RECT& rect, const CCodeEditMarker& marker)
{
    if (!(marker.type & MARKER_TYPE_BOOKMARK))
        return;
    int shrink = lineSpacing / 2 + lineSpacing % 2;
    RECT r = {rect.left, rect.top + shrink, rect.right, rect.bottom - shrink};
    if (gradientMarkers) {
        RECT outer = {r.left + 1, r.top, r.right - 1, r.bottom - 1};
        list.Fill(outer, 0x905535);
        RECT inner = {outer.left + 1, outer.top + 1, outer.right - 1, outer.bottom - 1};
        list.Fill(inner, 0xF3BB9D);
        return;
    }
    list.Marker(r, 0xFFFF00);
}
