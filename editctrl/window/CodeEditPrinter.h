// CCodeEditPrinter: prints the text of an edit control window on a printer
// device context (or any stand-in: a metafile, a memory DC). It makes the
// printer font (the control's font scaled by the printer's resolution over
// the screen's), measures with it on the printer's context, and draws each
// page's display list there. The screen's view stays as it was.
//
//   CCodeEditPrinter printer(window);
//   printer.BeginPrintPages(dc, info);
//   for (info.m_nCurPage = 1; info.m_bContinuePrinting; ++info.m_nCurPage)
//       { StartPage(dc); printer.PrintPage(dc, info); EndPage(dc); }
//   printer.EndPrintPages(dc, info);
//
// Window thread only.
#pragma once

#include "editctrl/EditSeams.h"
#include "framework/base/CPrintInfo.h"

class CCodeEditWnd;

class CCodeEditPrinter : public CEditMeasurer {
public:
    explicit CCodeEditPrinter(CCodeEditWnd& window) : m_window(window) {}
    ~CCodeEditPrinter() override;
    CCodeEditPrinter(const CCodeEditPrinter&) = delete;
    CCodeEditPrinter& operator=(const CCodeEditPrinter&) = delete;

    void BeginPrintPages(HDC dc, CPrintInfo& info);
    // 0 when the page does not exist.
    BOOL PrintPage(HDC dc, CPrintInfo& info);
    void EndPrintPages(HDC dc, CPrintInfo& info);
    HFONT PrintFont() const { return m_font ? m_font : m_textFont; }

    // CEditMeasurer, on the printer's context in the printer font.
    EditFontMetrics GetFontMetrics() override;
    SIZE MeasureRun(const WCHAR* chars, int count, int tabWidth, bool link) override;

private:
    void ReleaseFonts();

    CCodeEditWnd& m_window;
    HDC m_dc = nullptr;
    HFONT m_textFont = nullptr;  // the screen font, when it is the system font
    HFONT m_font = nullptr;      // made for the printer, owned
    HFONT m_linkFont = nullptr;  // underlined twin, owned
};
