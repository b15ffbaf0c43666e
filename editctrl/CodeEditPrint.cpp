// CCodeEditCtrl: printing one page through the control's own painter. The
// page is laid out with the printer's metrics; everything the screen shows
// (caret, layout, scroll position, metrics, links) is put back untouched
// afterwards, and each page starts where the previous one ended.
#include "editctrl/CodeEditCtrl.h"
#include "framework/base/CPrintInfo.h"

#include <algorithm>

// What printing borrows from the screen's view.
struct CCodeEditCtrl::ScreenView {
    CEditMeasurer* measurer;
    int lineHeight, maxCharWidth, aveCharWidth, tabWidth, lineNumberWidth;
    RECT textRect, paintRect;
    int topLine, topOffset, hiddenAboveTop, scrollColumn, bottomOffset;
    int caretLink, hotLink;
    std::map<WCHAR, int> charWidths;
    std::vector<CODE_EDIT_HYPERLINK_DEF> hyperlinks;
};

void CCodeEditCtrl::BorrowScreenView(ScreenView& view)
{
    view.measurer = m_measurer;
    view.lineHeight = lineHeight;
    view.maxCharWidth = maxCharWidth;
    view.aveCharWidth = aveCharWidth;
    view.tabWidth = tabWidth;
    view.lineNumberWidth = lineNumberWidth;
    view.textRect = textRect;
    view.paintRect = m_paintRect;
    view.topLine = topLine;
    view.topOffset = topOffset;
    view.hiddenAboveTop = hiddenAboveTop;
    view.scrollColumn = scrollColumn;
    view.bottomOffset = bottomOffset;
    view.caretLink = caretLink;
    view.hotLink = hotLink;
    view.charWidths.swap(charWidths);
    // The printer's widths measured on earlier pages of this job.
    charWidths.swap(m_printCharWidths);
    view.hyperlinks.swap(hyperlinks);
}

void CCodeEditCtrl::ReturnScreenView(ScreenView& view)
{
    m_measurer = view.measurer;
    lineHeight = view.lineHeight;
    maxCharWidth = view.maxCharWidth;
    aveCharWidth = view.aveCharWidth;
    tabWidth = view.tabWidth;
    lineNumberWidth = view.lineNumberWidth;
    textRect = view.textRect;
    m_paintRect = view.paintRect;
    topLine = view.topLine;
    topOffset = view.topOffset;
    hiddenAboveTop = view.hiddenAboveTop;
    scrollColumn = view.scrollColumn;
    bottomOffset = view.bottomOffset;
    caretLink = view.caretLink;
    hotLink = view.hotLink;
    m_printCharWidths.swap(charWidths);
    charWidths.swap(view.charWidths);
    for (CODE_EDIT_HYPERLINK_DEF& link : hyperlinks)
        link.text.SecureEmpty();
    hyperlinks.swap(view.hyperlinks);
}

void CCodeEditCtrl::BeginPrintPages(CPrintInfo&)
{
    m_pageStarts.clear();
    m_printCharWidths.clear();
}

void CCodeEditCtrl::EndPrintPages(CPrintInfo&)
{
    m_pageStarts.clear();
    m_printCharWidths.clear();
    // Labels were placed on paper; the next paint places them on screen again.
    m_host->InvalidateRect(nullptr, false);
}

BOOL CCodeEditCtrl::PrintPage(CEditDisplayList& list, CEditMeasurer& printer, CPrintInfo& info)
{
    ScreenView screen;
    BorrowScreenView(screen);
    m_measurer = &printer;
    const EditFontMetrics metrics = printer.GetFontMetrics();
    lineHeight = metrics.height + lineSpacing;
    maxCharWidth = metrics.maxCharWidth;
    aveCharWidth = metrics.aveCharWidth;
    UpdateTabWidth();
    OnPrintPageStart(list, info);

    textRect = info.m_rectDraw;
    ::InflateRect(&textRect, -2 * lineHeight, -2 * lineHeight);
    const int perPage = lineHeight > 0 ? std::max(0, (int)(textRect.bottom - textRect.top) / lineHeight) : 0;
    const int page = (int)std::max(info.m_nCurPage, 1u);
    topLine = perPage * (page - 1);
    auto known = m_pageStarts.find(page);
    topOffset = known != m_pageStarts.end() ? known->second : OffsetOfLine(topLine, true);
    BOOL printed = FALSE;
    if (perPage > 0 && topOffset >= 0 && (topOffset < text.GetLength() || page == 1)) {
        hiddenAboveTop = LineOfOffset(topOffset, true, false) - topLine;
        scrollColumn = 0;
        const int next = OffsetOfLine(topLine + perPage, true);
        if (next < 0 || next >= text.GetLength()) {
            bottomOffset = -1;
            info.m_bContinuePrinting = FALSE;
            info.SetMaxPage((UINT)page);
        } else {
            bottomOffset = next - 1;
            m_pageStarts[page + 1] = next;
        }
        m_paintRect = textRect;
        list.Clip(textRect);
        PaintTextLines(list);
        list.Unclip();
        const RECT& paper = info.m_rectDraw;
        OnPrintHeader(list, page, RECT{paper.left, paper.top, paper.right, textRect.top});
        OnPrintFooter(list, page, RECT{paper.left, textRect.bottom, paper.right, paper.bottom});
        printed = TRUE;
    } else {
        info.m_bContinuePrinting = FALSE;
    }
    OnPrintPageEnd(list, info);
    ReturnScreenView(screen);
    return printed;
}
