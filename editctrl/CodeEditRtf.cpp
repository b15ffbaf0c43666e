// CCodeEditCtrl: the selection as rich text, coloured as the painter colours it.
#include "editctrl/CodeEditCtrl.h"

#include <algorithm>

namespace {
struct RtfColors {
    COLORREF text;
    COLORREF back;
    bool operator!=(const RtfColors& o) const { return text != o.text || back != o.back; }
};

CString ColorWords(COLORREF color)
{
    CString s;
    s.Format(L"\\red%d\\green%d\\blue%d;", (int)GetRValue(color), (int)GetGValue(color), (int)GetBValue(color));
    return s;
}
}  // namespace

int CCodeEditCtrl::ColorTableIndex(COLORREF color, std::vector<COLORREF>& colorTable)
{
    auto it = std::find(colorTable.begin(), colorTable.end(), color);
    if (it != colorTable.end())
        return (int)(it - colorTable.begin());
    colorTable.push_back(color);
    return (int)colorTable.size() - 1;
}

void CCodeEditCtrl::EscapeRtf(CString& s)
{
    CString out;
    for (int i = 0; i < s.GetLength(); ++i) {
        WCHAR ch = s[i];
        switch (ch) {
        case L'\\': out += L"\\\\"; break;
        case L'{': out += L"\\{"; break;
        case L'}': out += L"\\}"; break;
        case L'\n': out += L"\\line\n"; break;
        default:
            if (ch < 0x80) {
                out += ch;
            } else {
                // Beyond ASCII the code page may not hold the character: a
                // Unicode escape (signed 16-bit) with "?" for old readers.
                CString escape;
                escape.Format(L"\\u%d?", (int)(short)ch);
                out += escape;
            }
            break;
        }
    }
    s.SecureEmpty();
    s = out;
    out.SecureEmpty();
}

void CCodeEditCtrl::ComposeRtf(CString& rtf)
{
    CString body;
    std::vector<COLORREF> colorTable;
    ComposeRtfBody(body, colorTable);
    // The font size stands after the tables: inside the font table it is not
    // a character property.
    rtf = L"{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Courier New;}}{\n\\colortbl;";
    for (COLORREF color : colorTable)
        rtf += ColorWords(color);
    rtf += L"}\n\\pard\\fs20 ";
    rtf += body;
    rtf += L"\n}";
    body.SecureEmpty();
}

void CCodeEditCtrl::ComposeRtfBody(CString& body, std::vector<COLORREF>& colorTable)
{
    body.Empty();
    colorTable.clear();
    const int length = text.GetLength();
    if (selStart < 0 || selEnd < 0 || length == 0)
        return;
    int start = std::max(0, std::min(selStart, selEnd));
    int last = std::min(std::max(selStart, selEnd) - 1, length - 1);
    if (last < start)
        return;

    const RtfColors defaults = {GetTextColor(), GetBackColor()};
    RtfColors run = defaults, word = defaults;
    bool highlighted = false;

    const CODE_EDIT_COLOR_BLOCK* openBlock = nullptr;
    int openEnd = start;
    RtfColors blockColors = defaults;
    if (FindOpenColorBlock(start, &openBlock) && openBlock) {
        openEnd = EndOfColorBlock(start, *openBlock);
        COLORREF c = darkBackground ? openBlock->lightColor : openBlock->color;
        blockColors.text = c == (COLORREF)-1 ? defaults.text : c;
        blockColors.back = openBlock->backColor == (COLORREF)-1 ? defaults.back : openBlock->backColor;
    } else {
        openBlock = nullptr;
    }
    std::vector<CODE_EDIT_COLOR_AREA> areas;
    BuildColorAreas(areas, openBlock ? openEnd : start, last, nullptr, FALSE);
    size_t areaIndex = 0;

    CString buffer;
    int column = 0;
    int wordEnd = -1;
    auto flush = [&]() {
        EscapeRtf(buffer);
        body += buffer;
        buffer.SecureEmpty();
    };
    auto append = [&](WCHAR ch) {
        if (buffer.GetLength() >= maxLineLength - 1)
            flush();
        buffer += ch;
    };
    for (int j = start; j <= last; ++j) {
        WCHAR c = text.At(j);
        RtfColors colors = defaults;
        BOOL fixed = FALSE;
        if (openBlock && j < openEnd) {
            colors = blockColors;
            fixed = TRUE;
        } else {
            while (areaIndex < areas.size() && areas[areaIndex].end < j)
                ++areaIndex;
            if (areaIndex < areas.size() && areas[areaIndex].start <= j) {
                const CODE_EDIT_COLOR_AREA& a = areas[areaIndex];
                COLORREF fore = darkBackground ? a.lightColor : a.color;
                colors.text = fore == (COLORREF)-1 ? defaults.text : fore;
                colors.back = a.backColor == (COLORREF)-1 ? defaults.back : a.backColor;
                fixed = TRUE;
            }
        }
        if (GetCustomColor(j, wordEnd, colors.text, colors.back, fixed))
            fixed = TRUE;
        if (c != L'\n') {
            if (j >= wordEnd) {
                int end = j;
                while (end <= last && wordDelimiters.Find(text.At(end)) < 0)
                    ++end;
                wordEnd = std::max(end, j + 1);
                word = defaults;
                if (end > j) {
                    CString w = text.Mid(j, end - j);
                    if (!LookupWordColor(w, word.text, word.back, j))
                        word = defaults;
                    w.SecureEmpty();
                }
            }
            if (!fixed)
                colors = word;
        }
        if (!fixed)
            AdjustCharColor(c, j, colors.text, colors.back);
        if (colors != run) {
            flush();
            CString words;
            // The highlight follows the character's background; back on the
            // default background it is switched off again.
            if (colors.back != defaults.back) {
                words.Format(L"\\highlight%d", ColorTableIndex(colors.back, colorTable) + 1);
                highlighted = true;
            } else if (highlighted) {
                words = L"\\highlight0";
                highlighted = false;
            }
            CString cf;
            cf.Format(L"\\cf%d ", ColorTableIndex(colors.text, colorTable) + 1);
            body += words;
            body += cf;
            run = colors;
        }
        if (c == L'\n') {
            flush();
            body += L"\\line\n";
            column = 0;
        } else if (c == L'\t') {
            int width = tabSize > 0 ? tabSize - column % tabSize : 1;
            for (int k = 0; k < width; ++k)
                append(L' ');
            column += width;
        } else {
            append(c);
            ++column;
        }
    }
    flush();
}
