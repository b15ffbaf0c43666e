// CCodeEditCtrl: font metrics, default colours, layout and scrolling.
#include "editctrl/CodeEditCtrl.h"
#include "editctrl/EditColors.h"

#include <algorithm>

void CCodeEditCtrl::InitializeControl()
{
    UpdateFontMetrics();
    SetDefaultColors();
    if (privateClipboardFormat == 0)
        privateClipboardFormat = ::RegisterClipboardFormatW(L"CODE_TEXT");
    if (!outlineParser) {
        outlineParser = CreateOutlineParser();
        outlineParser->InitDefaultBlocks();
        outlineParser->delimiters = wordDelimiters;
    }
    SetText(L"", 0);
    RecalcLayout();
    UpdateLineNumberWidth();
}

COLORREF CCodeEditCtrl::GetTextColor() const
{
    return textColor == (COLORREF)-1 ? m_host->GetSystemColor(COLOR_WINDOWTEXT) : textColor;
}

COLORREF CCodeEditCtrl::GetBackColor() const
{
    return backColor == (COLORREF)-1 ? m_host->GetSystemColor(COLOR_WINDOW) : backColor;
}

void CCodeEditCtrl::UpdateFontMetrics()
{
    EditFontMetrics metrics = m_measurer->GetFontMetrics();
    lineHeight = metrics.height + lineSpacing;
    maxCharWidth = metrics.maxCharWidth;
    aveCharWidth = metrics.aveCharWidth;
    charWidths.clear();
    UpdateTabWidth();
    int width = 0, height = 0;
    GetCaretSize(width, height);
    m_host->DestroySystemCaret();
    m_host->CreateSystemCaret(width, height);
    RecalcLayout();
    if (!readOnly) {
        MoveCaretToOffset(caretOffset, TRUE, TRUE);
        m_host->ShowSystemCaret(true);
    }
}

void CCodeEditCtrl::SetDefaultColors()
{
    COLORREF highlight = m_host->GetSystemColor(COLOR_HIGHLIGHT);
    COLORREF highlightText = m_host->GetSystemColor(COLOR_HIGHLIGHTTEXT);
    selBackColor = highlight;
    selTextColor = highlightText;
    selBackColorInactive = InactiveSelectionBack(highlight);
    selTextColorInactive = InactiveSelectionText(highlightText);
    lineNumberBackColor = 0xF0F0F0;
    lineNumberTextColor = 0xA08200;
    markerBarColor = m_host->GetSystemColor(COLOR_3DLIGHT);
}

void CCodeEditCtrl::UpdateTabWidth()
{
    CString blanks(L' ', tabSize), slashes(L'/', tabSize);
    SIZE a = m_measurer->MeasureRun(blanks, blanks.GetLength(), 0, false);
    SIZE b = m_measurer->MeasureRun(slashes, slashes.GetLength(), 0, false);
    tabWidth = std::max(a.cx, b.cx);
}

BOOL CCodeEditCtrl::UpdateLineNumberWidth()
{
    if (!showLineNumbers)
        return FALSE;
    int digits = 1;
    for (int lines = lineBreakCount + 1; lines >= 10; lines /= 10)
        ++digits;
    int widest = 0;
    for (WCHAR digit = L'0'; digit <= L'9'; ++digit) {
        CString sample(digit, digits);
        SIZE size = {};
        MeasureTextRun(size, sample, sample.GetLength());
        widest = std::max(widest, (int)size.cx);
    }
    int width = std::max(widest + 3, defaultLineNumberWidth);
    BOOL changed = width != lineNumberWidth;
    lineNumberWidth = width;
    return changed;
}

void CCodeEditCtrl::MeasureTextRun(SIZE& size, const WCHAR* chars, int count)
{
    size = m_measurer->MeasureRun(chars, count, keepTabs ? tabWidth : 0, false);
}

int CCodeEditCtrl::CharWidth(WCHAR ch)
{
    auto it = charWidths.find(ch);
    if (it != charWidths.end())
        return it->second;
    SIZE size = {};
    MeasureTextRun(size, &ch, 1);
    charWidths[ch] = size.cx;
    return size.cx;
}

int CCodeEditCtrl::PageRows() const
{
    if (lineHeight <= 0)
        return 1;
    return std::max(1, (int)(textRect.bottom - textRect.top) / lineHeight);
}

void CCodeEditCtrl::RecalcLayout()
{
    SIZE client = m_host->GetClientSize();
    clientRect = RECT{0, 0, client.cx - m_host->GetScrollBarThickness(true),
                      client.cy - (horzScrollAllowed ? m_host->GetScrollBarThickness(false) : 0)};
    clientRect.right = std::max(clientRect.right, (LONG)0);
    clientRect.bottom = std::max(clientRect.bottom, (LONG)0);
    int left = markerBarWidth + (showLineNumbers ? lineNumberWidth : 0) + (showOutlineBar ? outlineBarWidth : 0);
    textRect = clientRect;
    textRect.left = std::min((int)clientRect.right, left);

    int visibleLines = lineBreakCount + 1 - hiddenLineCount;
    int rows = PageRows();
    scrollExtent = SIZE{maxLineLength, visibleLines};
    int vertMax = visibleLines - 1 + (scrollPastEnd ? rows : 0);
    m_host->SetScrollBar(SB_VERT, 0, std::max(0, vertMax), rows, topLine);
    int columns = maxCharWidth > 0 ? (int)(textRect.right - textRect.left) / maxCharWidth : 0;
    m_host->SetScrollBar(SB_HORZ, 0, maxLineLength, std::max(1, columns), scrollColumn);
}

void CCodeEditCtrl::RecalcScrolling()
{
    RecalcLayout();
    MoveCaretToOffset(caretOffset, FALSE, TRUE);
    int visibleLines = lineBreakCount + 1 - (outliningEnabled ? hiddenLineCount : 0);
    if (visibleLines <= PageRows() && topLine != 0)
        SetTopLine(0, TRUE);
    else
        m_host->SetScrollBar(SB_VERT, 0, std::max(0, visibleLines - 1 + (scrollPastEnd ? PageRows() : 0)),
                             PageRows(), topLine);
}

void CCodeEditCtrl::SetTopLine(int line, BOOL redraw)
{
    int visibleLines = lineBreakCount + 1 - hiddenLineCount;
    int maxTop = scrollPastEnd ? visibleLines - 1 : visibleLines - PageRows();
    line = std::clamp(line, 0, std::max(0, maxTop));
    if (line == topLine && topOffset == OffsetOfLine(line, true))
        return;
    topLine = line;
    topOffset = std::max(0, OffsetOfLine(line, true));
    // The lines folded away above the top row.
    hiddenAboveTop = LineOfOffset(topOffset, true, false) - topLine;
    m_host->SetScrollBar(SB_VERT, 0, std::max(0, visibleLines - 1 + (scrollPastEnd ? PageRows() : 0)),
                         PageRows(), topLine);
    if (redraw)
        RedrawAll();
    else
        m_host->InvalidateRect(nullptr, false);
}

BOOL CCodeEditCtrl::ScrollByCode(int bar, int code, int position, BOOL redraw)
{
    if (bar == SB_VERT) {
        int line = topLine;
        switch (code) {
        case SB_LINEUP: line -= 1; break;
        case SB_LINEDOWN: line += 1; break;
        // A page keeps one line of the last page in view.
        case SB_PAGEUP: line -= std::max(1, PageRows() - 1); break;
        case SB_PAGEDOWN: line += std::max(1, PageRows() - 1); break;
        case SB_TOP: line = 0; break;
        case SB_BOTTOM: line = lineBreakCount; break;
        case SB_THUMBPOSITION:
        case SB_THUMBTRACK: line = position; break;
        default: return FALSE;
        }
        int before = topLine;
        SetTopLine(line, redraw);
        return topLine != before;
    }
    int columns = maxCharWidth > 0 ? std::max(1, (int)(textRect.right - textRect.left) / maxCharWidth) : 1;
    int column = scrollColumn;
    switch (code) {
    case SB_LINELEFT: column -= 1; break;
    case SB_LINERIGHT: column += 1; break;
    case SB_PAGELEFT: column -= columns; break;
    case SB_PAGERIGHT: column += columns; break;
    case SB_LEFT: column = 0; break;
    case SB_RIGHT: column = maxLineLength; break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: column = position; break;
    default: return FALSE;
    }
    column = std::clamp(column, 0, maxLineLength);
    if (column == scrollColumn)
        return FALSE;
    scrollColumn = column;
    m_host->SetScrollBar(SB_HORZ, 0, maxLineLength, columns, scrollColumn);
    if (redraw)
        RedrawAll();
    else
        m_host->InvalidateRect(nullptr, false);
    return TRUE;
}

void CCodeEditCtrl::RedrawAll()
{
    m_host->InvalidateRect(nullptr, true);
    m_host->UpdateNow();
}
