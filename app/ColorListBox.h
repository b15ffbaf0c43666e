// CColorListBox: the job log. Every line carries its own text and background
// colour, chosen from a 16-colour table, in its first two characters (index
// + 1 each); the rest is the text, kept on one line. It works on list boxes
// created owner-drawn with fixed height, with strings, single selection and
// both scroll bars (the log items of the progress and log dialogs).
#pragma once

#include "framework/windows/CListBox.h"
#include "framework/base/Collections.h"

class CColorListBox : public CListBox {
public:
    static const int COLOR_COUNT = 16;
    // black, white, maroon, green, olive, navy, purple, teal, silver, grey,
    // red, lime, yellow, blue, magenta, cyan
    static COLORREF TableColor(int index);
    // The colours (text, background) of a log kind (LOG_*).
    static void KindColors(int kind, int& text, int& background);

    // The stored form of a line: colour characters, then the text with
    // every carriage return and line feed made a space.
    static CString EncodeLine(int text, int background, const CString& line);
    // The colour indexes (each brought into the table) and the text; false
    // for a string too short to carry the colours.
    static bool DecodeLine(const CString& encoded, int& text, int& background, CString& line);

    CColorListBox();

    // Appends a line and scrolls to it. A text colour outside the table
    // becomes black; a background outside it is brought to the nearest end
    // of the table. A full list drops its oldest lines.
    void AddLine(int text, int background, const CString& line);
    void CopyFrom(CColorListBox* other);
    void SaveLines(CStringArray& lines) const;
    // Refills from stored lines, keeping those with the text colour `text`
    // (unless negative) and the background `background` (unless negative).
    void FillFiltered(const CStringArray& lines, int text, int background);
    void SetTabSize(int characters);
    void ResetContent() override;
    void SetFont(HFONT font, BOOL redraw = TRUE);

    void DrawItem(DRAWITEMSTRUCT* item) override;
    void MeasureItem(MEASUREITEMSTRUCT* item) override;
    int CompareItem(COMPAREITEMSTRUCT* item) override;

    COLORREF m_crBackground;
    COLORREF m_crSelectedBackground;
    COLORREF m_crText;
    COLORREF m_crSelectedText;
    int m_nTabSize = 8;
    int m_nMaxExtent = 0;
    int m_TabStops[100] = {};
    int m_nSpaceWidth = 0;
    int m_nCharWidth = 0;

private:
    void ComputeTabStops(HDC dc);
};
