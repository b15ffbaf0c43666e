// CCodeEditCtrl: painting into a display list, and repainting parts of the window.
#include "editctrl/CodeEditCtrl.h"
#include "editctrl/EditColors.h"
#include "framework/base/WipedMemory.h"

#include <algorithm>

namespace {
RECT Intersect(const RECT& a, const RECT& b)
{
    RECT r = {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
              std::min(a.bottom, b.bottom)};
    if (r.right < r.left)
        r.right = r.left;
    if (r.bottom < r.top)
        r.bottom = r.top;
    return r;
}

bool IsEmptyRect(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }
}  // namespace

void CCodeEditCtrl::PaintControl(CEditDisplayList& list, const RECT* clip)
{
    SIZE client = m_host->GetClientSize();
    RECT whole = {0, 0, client.cx, client.cy};
    m_paintRect = clip ? *clip : whole;
    DrawBackground(list);
    UpdateTabWidth();

    int y0 = topLine * lineHeight;
    int left = 0;
    auto barRect = [&](int width) { return RECT{left, clientRect.top - y0, left + width, clientRect.bottom}; };
    if (markerBarWidth > 0 && m_paintRect.left < left + markerBarWidth)
        DrawMarkerBar(list, barRect(markerBarWidth));
    left += markerBarWidth;
    if (showLineNumbers) {
        if (lineNumberWidth > 0 && m_paintRect.left < left + lineNumberWidth)
            DrawLineNumberBar(list, barRect(lineNumberWidth));
        left += lineNumberWidth;
    }
    if (showOutlineBar && outlineBarWidth > 0 && m_paintRect.left < left + outlineBarWidth)
        DrawOutlineBar(list, barRect(outlineBarWidth));

    if (!text.IsEmpty()) {
        list.Clip(Intersect(m_paintRect, textRect));
        PaintTextLines(list);
        list.Unclip();
    }
}

BOOL CCodeEditCtrl::DrawBackground(CEditDisplayList& list)
{
    SIZE client = m_host->GetClientSize();
    COLORREF back = GetBackColor();
    list.Fill(RECT{0, 0, client.cx, client.cy}, back);
    if (m_host->GetScrollBarThickness(true) > 0 && m_host->GetScrollBarThickness(false) > 0 && horzScrollAllowed)
        list.Fill(RECT{clientRect.right, clientRect.bottom, client.cx, client.cy},
                  m_host->GetSystemColor(COLOR_BTNFACE));
    darkBackground = ColorLightness(back) < 0.7;
    return darkBackground;
}

void CCodeEditCtrl::VisibleLineSpan(int& first, int& last)
{
    first = topLine;
    POINT bottomRight = {textRect.right - 1, textRect.bottom - 1};
    int offset = OffsetFromPoint(bottomRight, false, true);
    if (offset < 0)
        offset = 0;
    offset = std::min(offset, std::max(0, text.GetLength() - 1));
    last = VisibleLineOfLine(LineOfOffset(offset));
}

void CCodeEditCtrl::DrawMarkerBar(CEditDisplayList& list, const RECT& rect)
{
    RECT column = {rect.left, clientRect.top, rect.right, clientRect.bottom};
    list.Fill(column, markerBarColor == (COLORREF)-1 ? m_host->GetSystemColor(COLOR_3DLIGHT) : markerBarColor);
    if (markers.empty())
        return;
    int firstLine = 0, lastLine = 0;
    VisibleLineSpan(firstLine, lastLine);
    firstLine = text.LineOfOffset(std::max(0, OffsetOfLine(firstLine, true)));
    lastLine = text.LineOfOffset(std::max(0, OffsetOfLine(lastLine, true)));
    // From the tail: higher priorities are drawn last, over lower ones.
    for (auto it = markers.rbegin(); it != markers.rend(); ++it) {
        const CCodeEditMarker& m = **it;
        if (m.line < firstLine || m.line > lastLine + 1)
            continue;
        int y = (VisibleLineOfLine(m.line) - topLine) * lineHeight + textRect.top;
        DrawMarkerGlyph(list, RECT{rect.left, y, rect.right, y + lineHeight}, m);
    }
}

void CCodeEditCtrl::DrawLineNumberBar(CEditDisplayList& list, const RECT& rect)
{
    list.Fill(rect, lineNumberBackColor);
    int first = 0, last = 0;
    VisibleLineSpan(first, last);
    for (int row = first; row <= last; ++row) {
        // Rows are visible lines; the number is the line's own.
        int start = OffsetOfLine(row, true);
        if (start < 0)
            break;
        int y = (row - topLine) * lineHeight + textRect.top;
        DrawLineNumber(list, RECT{rect.left, y, rect.right, y + lineHeight}, text.LineOfOffset(start));
    }
}

void CCodeEditCtrl::DrawLineNumber(CEditDisplayList& list, const RECT& rect, int line)
{
    CString number;
    number.Format(L"%d", line + 1);
    int shrink = lineSpacing / 2 + lineSpacing % 2;
    RECT r = {rect.left, rect.top + shrink, rect.right, rect.bottom - shrink};
    SIZE size = {};
    MeasureTextRun(size, number, number.GetLength());
    if (r.right - r.left >= size.cx)
        list.LineNumber(r, number, lineNumberTextColor);
}

void CCodeEditCtrl::FillOutlineBar(CEditDisplayList& list, const RECT& rect) { list.Fill(rect, GetBackColor()); }


int CCodeEditCtrl::DrawTextRun(CEditDisplayList& list, const WCHAR* chars, int count, const RECT& row, int x,
                               int tabOrigin, COLORREF color, COLORREF back, bool link)
{
    // With tab stops the run's width is the sum of its cached character
    // widths: asking the measurer as well would cost a call to the device per run.
    SIZE size = keepTabs && tabWidth > 0 ? SIZE{0, 0} : m_measurer->MeasureRun(chars, count, 0, link);
    if (keepTabs && tabWidth > 0) {
        // Tabs stop at multiples of tabWidth from the tab origin, not from the run.
        int ink = 0;
        for (int i = 0; i < count; ++i) {
            int here = x + ink;
            if (chars[i] == L'\t')
                ink += tabWidth - (here - tabOrigin) % tabWidth;
            else
                ink += CharWidth(chars[i]);
        }
        size.cx = ink;
    }
    RECT cell = {x, row.top, x + size.cx, row.bottom};
    list.Text(cell, row.top + lineSpacing / 2, chars, count, color, back, link, tabOrigin, keepTabs ? tabWidth : 0);
    return size.cx;
}

void CCodeEditCtrl::PaintTextLines(CEditDisplayList& list)
{
    if (text.IsEmpty())
        return;
    RECT area = Intersect(m_paintRect, textRect);
    area.left = textRect.left + 1;
    area.right = textRect.right;
    if (IsEmptyRect(area))
        return;
    ::InflateRect(&area, 1, 1);

    const int length = text.GetLength();
    // Only the rows the paint area touches (a typed key repaints one).
    int firstRow = lineHeight > 0 ? std::max(0, (int)(area.top - textRect.top) / lineHeight) : 0;
    int from = firstRow == 0 ? topOffset : OffsetOfLine(topLine + firstRow, true);
    if (from < 0)
        return;
    POINT bottomRight = {area.right - 1, area.bottom - 1};
    int to = OffsetFromPoint(bottomRight, false, true);
    to = std::min(LineEndOf(std::max(to, from)), length - 1);
    from = LineStartOf(from);

    const int tabOrigin = area.left - scrollColumn * maxCharWidth + 1;
    const COLORREF defaultText = GetTextColor(), defaultBack = GetBackColor();
    const bool focused = m_host->HasFocus();
    const COLORREF selText = focused ? selTextColor : selTextColorInactive;
    const COLORREF selBack = focused ? selBackColor : selBackColorInactive;
    const int selLow = std::min(selStart, selEnd), selHigh = std::max(selStart, selEnd);
    // A column selection: its rectangle in client pixels, filled first; a
    // character is selected when its cell meets it.
    const bool columnBlock = blockSelection && blockSelStart.x >= 0 && blockSelEnd.x >= 0;
    RECT blockRect = {};
    if (columnBlock) {
        const int dx = scrollColumn * maxCharWidth, dy = topLine * lineHeight;
        blockRect = RECT{std::min(blockSelStart.x, blockSelEnd.x) - dx, std::min(blockSelStart.y, blockSelEnd.y) - dy,
                         std::max(blockSelStart.x, blockSelEnd.x) - dx, std::max(blockSelStart.y, blockSelEnd.y) - dy};
        if (blockSelStart.y >= blockSelEnd.y)
            ::InflateRect(&blockRect, 0, lineHeight);
        list.Fill(blockRect, selBack);
    }
    auto isSelected = [&](int offset, int cellLeft, int cellTop, int cellWidth) {
        if (!columnBlock)
            return selLow >= 0 && offset >= selLow && offset < selHigh;
        RECT cell = {cellLeft, cellTop, cellLeft + std::max(cellWidth, 1), cellTop + lineHeight}, meet = {};
        return ::IntersectRect(&meet, &cell, &blockRect) != 0;
    };

    // An open multi-line block colours the top of the view up to its end.
    const CODE_EDIT_COLOR_BLOCK* openBlock = nullptr;
    int openEnd = from;
    if (FindOpenColorBlock(from, &openBlock) && openBlock)
        openEnd = EndOfColorBlock(from, *openBlock);
    else
        openBlock = nullptr;
    std::vector<CODE_EDIT_COLOR_AREA> areas;
    BuildColorAreas(areas, openBlock ? openEnd : from, to, nullptr, FALSE);
    size_t areaIndex = 0;

    if (hyperlinksEnabled) {
        for (CODE_EDIT_HYPERLINK_DEF& old : hyperlinks)
            old.text.SecureEmpty();
        hyperlinks.clear();
    }
    int previousHot = hotLink >= 0 && hotLink < (int)hyperlinks.size() ? hyperlinks[(size_t)hotLink].offset : -1;
    caretLink = hotLink = -1;
    int linkEnd = -1;     // the current hyperlink covers offsets below this
    int scannedTo = from; // the blank-separated scan has looked at offsets below this

    RECT row = {area.left, textRect.top + firstRow * lineHeight, area.right,
                textRect.top + (firstRow + 1) * lineHeight};
    int x = tabOrigin;
    // The characters of the run being gathered: the user's text, wiped when freed.
    std::vector<WCHAR, WipingAllocator<WCHAR>> run;
    run.reserve((size_t)maxLineLength);
    int runX = x;
    COLORREF runText = defaultText, runBack = defaultBack;
    bool runLink = false;
    // A run wholly left of the area is not drawn (x is its right edge).
    auto flush = [&]() {
        if (!run.empty() && x >= area.left)
            DrawTextRun(list, run.data(), (int)run.size(), row, runX, tabOrigin, runText, runBack, runLink);
        run.clear();
        runX = x;
    };

    const bool folded = CollapsedBlocks() != nullptr;
    // The line of an offset, looked up once per text line: no line feed
    // (so no hidden one) lies between two offsets of one line.
    int knownLine = -1, knownFrom = 0, knownTo = -1;
    auto lineOf = [&](int offset) {
        if (offset < knownFrom || offset > knownTo) {
            int raw = text.LineOfOffset(offset);
            knownFrom = text.LineStart(raw);
            knownTo = text.LineEnd(raw);
            knownLine = LineOfOffset(offset);
        }
        return knownLine;
    };
    int wordEnd = -1;
    COLORREF wordText = defaultText, wordBack = defaultBack;
    bool wordColoured = false;
    for (int offset = from; offset <= to; ++offset) {
        WCHAR ch = text.At(offset);
        if (ch != L'\n' && x > area.right) {
            // The rest of the row lies right of the area: on to its line end.
            flush();
            int lineEnd = LineEndOf(offset);
            if (lineEnd > to)
                break;
            offset = lineEnd;
            ch = L'\n';
        }
        if (CCodeOutlineNode* node = folded ? FindCollapsedNode(offset) : nullptr) {
            // The block shows as its label; the walk goes on after it.
            flush();
            int width = MeasureCollapsedLabel(*node, x + scrollColumn * maxCharWidth, row.top);
            bool selected = isSelected(offset, x, row.top, width);
            COLORREF labelBack = selected ? selBack : defaultBack;
            if (labelBack != defaultBack)
                list.Fill(RECT{x, row.top, x + width, row.bottom}, labelBack);
            DrawCollapsedLabel(list, *node, selected ? selText : (outlineLineColor == (COLORREF)-1 ? 0x808080 : outlineLineColor),
                               labelBack);
            x += width;
            runX = x;
            offset = std::min(node->end, to);
            continue;
        }
        if (hyperlinksEnabled && offset >= scannedTo) {
            int start = offset;
            while (start < length && blankChars.Find(text.At(start)) >= 0)
                ++start;
            int end = start;
            while (end < length && blankChars.Find(text.At(end)) < 0)
                ++end;
            scannedTo = std::max(end, offset + 1);
            CODE_EDIT_HYPERLINK_DEF link;
            if (end > start && FindHyperlink(start, end, link.text, link.offset)) {
                hyperlinks.push_back(link);
                linkEnd = link.offset + link.text.GetLength();
            }
        }
        bool inLink = !hyperlinks.empty() && offset >= hyperlinks.back().offset && offset < linkEnd;

        int width = ch == L'\n' ? 0 : CharWidth(ch);
        if (ch == L'\t' && keepTabs && tabWidth > 0)
            width = tabWidth - (x - tabOrigin) % tabWidth;

        COLORREF fore = defaultText, back = defaultBack;
        bool coloured = false;
        if (ch != L'\n' ? isSelected(offset, x, row.top, width) : !columnBlock && isSelected(offset, x, row.top, 0)) {
            fore = selText;
            back = selBack;
            coloured = true;
        } else if (GetLineColorMarker(lineOf(offset), fore, back)) {
            coloured = true;
        } else if (openBlock && offset < openEnd) {
            fore = ChooseColor(openBlock->color, openBlock->lightColor, openBlock->backColor);
            back = openBlock->backColor;
            coloured = true;
        } else {
            while (areaIndex < areas.size() && areas[areaIndex].end < offset)
                ++areaIndex;
            if (areaIndex < areas.size() && areas[areaIndex].start <= offset) {
                const CODE_EDIT_COLOR_AREA& a = areas[areaIndex];
                fore = ChooseColor(a.color, a.lightColor, a.backColor);
                back = a.backColor;
                coloured = true;
            }
        }
        if (fore == (COLORREF)-1)
            fore = defaultText;
        if (back == (COLORREF)-1)
            back = defaultBack;
        if (ch != L'\n' && offset >= wordEnd) {
            int end = offset;
            while (end < length && IsWordChar(text.At(end)))
                ++end;
            wordEnd = std::max(end, offset + 1);
            wordText = defaultText;
            wordBack = defaultBack;
            wordColoured = end > offset && LookupWordColor(text.Mid(offset, end - offset), wordText, wordBack, offset);
        }
        if (GetCustomColor(offset, wordEnd, fore, back, coloured)) {
            coloured = true;
        } else if (!coloured && wordColoured && ch != L'\n') {
            fore = wordText;
            back = wordBack;
        }
        if (GetHiliteMarker(offset, fore, back))
            coloured = true;
        if (!coloured)
            AdjustCharColor(ch, offset, fore, back);
        if (inLink) {
            if (hyperlinkColor == (COLORREF)-1) {
                fore = defaultText;
            } else if (fore != selTextColor && colorHyperlinks) {
                if (darkBackground) {
                    if (lightHyperlinkColor == (COLORREF)-1)
                        lightHyperlinkColor = LightTwin(hyperlinkColor);
                    fore = lightHyperlinkColor;
                } else {
                    fore = hyperlinkColor;
                }
            }
        }

        if (ch == L'\n') {
            flush();
            if (!columnBlock && selLow >= 0 && offset < selHigh && offset >= selLow) {
                // A selected line end shows as one selected cell.
                WCHAR blank = L' ';
                runX = x;
                DrawTextRun(list, &blank, 1, row, x, tabOrigin, fore, back, false);
            }
            ::OffsetRect(&row, 0, lineHeight);
            x = tabOrigin;
            runX = x;
            continue;
        }
        CODE_EDIT_SYM_DEF* symbol = nullptr;
        if (symbolsEnabled && MatchSymbol(offset, true, &symbol) && symbol) {
            // A symbol is one cell that its hook draws.
            flush();
            int length = std::max(1, GetSymbolLength(offset, true) + 1);
            SIZE size = {};
            CEditTextSpan piece = text.Span(offset, length);
            MeasureTextRun(size, piece.Chars(), piece.Count());
            RECT cell = {x, row.top, x + size.cx, row.bottom};
            if (back != defaultBack)
                list.Fill(cell, back);
            OnDrawSymbol(list, cell, *symbol);
            x += size.cx;
            runX = x;
            offset += length - 1;
            continue;
        }
        if (!run.empty() && (fore != runText || back != runBack || inLink != runLink || (int)run.size() >= maxLineLength))
            flush();
        if (run.empty()) {
            runX = x;
            runText = fore;
            runBack = back;
            runLink = inLink;
        }
        run.push_back(ch);
        x += width;
    }
    flush();
    int after = to + 1;
    if (!columnBlock && after < length && text.At(after) == L'\n' && selLow >= 0 && after >= selLow && after < selHigh) {
        WCHAR blank = L' ';
        DrawTextRun(list, &blank, 1, row, x, tabOrigin, selText, selBack, false);
    }
    run.assign(run.capacity(), 0);  // the run buffer held plaintext

    if (hyperlinksEnabled) {
        for (int i = 0; i < (int)hyperlinks.size(); ++i) {
            const CODE_EDIT_HYPERLINK_DEF& link = hyperlinks[(size_t)i];
            int end = link.offset + link.text.GetLength();
            if (caretOffset >= link.offset && caretOffset < end)
                caretLink = i;
            if (previousHot >= link.offset && previousHot < end)
                hotLink = i;
        }
    }
}

void CCodeEditCtrl::RedrawLineRange(int line, int lastLine)
{
    if (lastLine == -1) {
        RedrawAll();
        return;
    }
    int rows = lastLine == 0 ? 1 : lastLine - line + 1;
    int top = (VisibleLineOfLine(line) - topLine) * lineHeight + textRect.top;
    SIZE client = m_host->GetClientSize();
    RECT r = {0, top, client.cx, std::min((int)client.cy, top + rows * lineHeight)};
    m_host->InvalidateRect(&r, true);
    m_host->UpdateNow();
}

void CCodeEditCtrl::RedrawTextRange(int a, int b)
{
    int low = std::min(a, b), high = std::max(a, b);
    POINT top = {}, bottom = {};
    PointFromOffset(low, top);
    PointFromOffset(high, bottom);
    SIZE client = m_host->GetClientSize();
    RECT r = {0, top.y, textRect.right, bottom.y + lineHeight};
    if (LineOfOffset(high) >= lineBreakCount)
        r = RECT{0, top.y, client.cx, client.cy};
    m_host->InvalidateRect(&r, true);
    m_host->UpdateNow();
}

void CCodeEditCtrl::InvalidateRow(int offset)
{
    if (offset < 0)
        return;
    POINT p = {};
    PointFromOffset(offset, p);
    RECT r = {textRect.left, p.y, textRect.right, p.y + lineHeight};
    ::InflateRect(&r, 1, 1);
    m_host->InvalidateRect(&r, true);
    m_host->UpdateNow();
}

void CCodeEditCtrl::InvalidateFromRow(int offset)
{
    POINT p = {};
    PointFromOffset(std::max(offset, 0), p);
    RECT r = {0, p.y, textRect.right, textRect.bottom};
    m_host->InvalidateRect(&r, true);
    m_host->UpdateNow();
}
