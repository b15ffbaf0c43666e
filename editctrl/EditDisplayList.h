// What one paint of the edit control draws, in order: filled cells, text
// runs with their position, colours and link state, line numbers and glyphs.
// The core fills it; the window layer executes it with GDI, and tests read it.
#pragma once

#include "framework/base/CString.h"

#include <windows.h>

#include <vector>

struct EditDrawOp {
    enum Kind {
        FILL,         // rect filled with `color`
        TEXT,         // `text` at (rect.left, textTop) in `color`, transparent; tabs from `tabOrigin`
        LINE_NUMBER,  // `text` right-aligned in rect in `color`, one line, no clipping
        MARKER,       // rounded 5x5-corner rectangle in rect filled with `color`
        LINE,         // a 1-pixel line in `color` from (rect.left, rect.top) to (rect.right, rect.bottom), end excluded
        BOX,          // rect framed with a 1-pixel `color` pen and filled with `back`
        ELLIPSE,      // the ellipse in rect, outlined with a 1-pixel `color` pen and filled with `back`
        LABEL,        // a collapsed block's label: rect framed in `color`, filled with `back` (unless
                      // `back` is -1), `text` inside it one pixel in from each side, in `color`
        CLIP,         // later ops are clipped to rect
        UNCLIP,       // the clip ends
    };
    Kind kind = FILL;
    RECT rect = {};
    COLORREF color = 0;
    COLORREF back = (COLORREF)-1;  // TEXT: the background of its cell
    CString text;
    int textTop = 0;
    int tabOrigin = 0;
    int tabWidth = 0;  // TEXT: tab stop width, 0 = tabs are not expanded
    bool link = false;
};

class CEditDisplayList {
public:
    void Fill(const RECT& rect, COLORREF color);
    void Text(const RECT& cell, int textTop, const WCHAR* chars, int count, COLORREF color, COLORREF back, bool link,
              int tabOrigin, int tabWidth);
    void LineNumber(const RECT& rect, const CString& text, COLORREF color);
    void Marker(const RECT& rect, COLORREF fill);
    void Line(int x1, int y1, int x2, int y2, COLORREF color);
    void Box(const RECT& rect, COLORREF frame, COLORREF fill);
    void Ellipse(const RECT& rect, COLORREF outline, COLORREF fill);
    void Label(const RECT& rect, const CString& text, COLORREF color, COLORREF back);
    void Clip(const RECT& rect);
    void Unclip();
    void Clear() { m_ops.clear(); }

    const std::vector<EditDrawOp>& Ops() const { return m_ops; }
    ~CEditDisplayList();

private:
    std::vector<EditDrawOp> m_ops;
};
