#include "tests/editctrl/EditTestSupport.h"

#include <cstdio>

SIZE FixedMeasurer::MeasureRun(const WCHAR* chars, int count, int tabWidth, bool)
{
    int x = 0;
    for (int i = 0; i < count; ++i) {
        if (chars[i] == L'\t' && tabWidth > 0)
            x = (x / tabWidth + 1) * tabWidth;
        else
            x += m_width;
    }
    return SIZE{x, m_height};
}

void RecordingHost::InvalidateRect(const RECT* rect, bool)
{
    invalidated.push_back(rect ? *rect : RECT{0, 0, size.cx, size.cy});
}

void RecordingHost::SetScrollBar(int bar, int minPos, int maxPos, int page, int pos)
{
    ScrollBar& b = bar == SB_VERT ? vert : horz;
    b = ScrollBar{minPos, maxPos, page, pos};
}

bool RecordingHost::IsKeyDown(int key)
{
    if (key == VK_SHIFT)
        return shift;
    if (key == VK_CONTROL)
        return control;
    if (key == VK_MENU)
        return alt;
    return false;
}

COLORREF RecordingHost::GetSystemColor(int index)
{
    switch (index) {
    case COLOR_WINDOW: return 0xFFFFFF;
    case COLOR_WINDOWTEXT: return 0x000000;
    case COLOR_HIGHLIGHT: return 0xD77800;
    case COLOR_HIGHLIGHTTEXT: return 0xFFFFFF;
    case COLOR_3DLIGHT: return 0xE3E3E3;
    case COLOR_BTNFACE: return 0xF0F0F0;
    default: return 0x808080;
    }
}

bool RecordingHost::PutClipboardBlocks(const std::vector<EditClipboardBlock>& blocks)
{
    if (clipboardFails)
        return false;
    clipboard.clear();
    for (const EditClipboardBlock& block : blocks)
        clipboard[block.format].assign(block.bytes.begin(), block.bytes.end());
    return true;
}

bool RecordingHost::GetClipboardBlock(UINT format, WipedBytes& bytes)
{
    auto it = clipboard.find(format);
    if (clipboardFails || it == clipboard.end())
        return false;
    bytes.assign(it->second.begin(), it->second.end());
    return true;
}

CString RecordingHost::ClipboardText(UINT format) const
{
    auto it = clipboard.find(format);
    if (it == clipboard.end())
        return CString();
    const WCHAR* chars = (const WCHAR*)it->second.data();
    size_t n = 0;
    while (n < it->second.size() / 2 && chars[n])
        ++n;
    return CString(chars, (int)n);
}

void RecordingHost::PutClipboardText(UINT format, const CString& text)
{
    const uint8_t* bytes = (const uint8_t*)text.GetString();
    WipedBytes& block = clipboard[format];
    block.assign(bytes, bytes + 2 * (size_t)text.GetLength());
    block.push_back(0);
    block.push_back(0);
}

void AttachTestSeams(CCodeEditCtrl& edit, RecordingHost& host, FixedMeasurer& measurer, const WCHAR* initial)
{
    edit.AttachHost(&host);
    edit.AttachMeasurer(&measurer);
    edit.InitializeControl();
    edit.SetText(initial, StringLength(initial));
}

void SelectColumnBlock(CCodeEditCtrl& e, int first, int last, int rows, int charWidth)
{
    // Document pixels: a row's first cell starts one pixel right of the text area's edge.
    const int x0 = e.textRect.left + 1;
    e.blockSelection = 1;
    e.blockSelStart = POINT{x0 + first * charWidth, 0};
    e.blockSelEnd = POINT{x0 + last * charWidth, rows * e.lineHeight};
    e.selStart = first;
    e.selEnd = e.GetTextBuffer().LineStart(rows - 1) + last;
}

CString XLines(int count)
{
    CString s;
    for (int i = 0; i < count; ++i) {
        if (i)
            s += L'\n';
        s += L'x';
    }
    return s;
}

std::u16string U16(const CString& s) { return std::u16string((const char16_t*)s.GetString(), (size_t)s.GetLength()); }

void FoldWholeText(CCodeEditCtrl& e)
{
    e.SetFoldingEnabled(TRUE);
    e.AllowOutlineUpdates(TRUE);
    e.SetAutoOutlining(TRUE);
    e.ReparseOutlineRange(-1, -1);
}
