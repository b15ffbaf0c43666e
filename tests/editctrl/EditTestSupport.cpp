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

bool RecordingHost::SetClipboardText(const CString& text)
{
    clipboard = text;
    clipboardHasText = true;
    return true;
}

bool RecordingHost::GetClipboardText(CString& text)
{
    if (!clipboardHasText)
        return false;
    text = clipboard;
    return true;
}

TestEdit::TestEdit(const WCHAR* initial, int width, int height) : host(width, height)
{
    edit.AttachHost(&host);
    edit.AttachMeasurer(&measurer);
    edit.InitializeControl();
    int length = StringLength(initial);
    edit.SetText(initial, length);
}

std::u16string U16(const CString& s) { return std::u16string((const char16_t*)s.GetString(), (size_t)s.GetLength()); }

std::string MakeRunMarker(const char* prefix)
{
    LARGE_INTEGER counter;
    ::QueryPerformanceCounter(&counter);
    char text[48];
    snprintf(text, sizeof text, "%.6s%08lx%08lx%010llx", prefix, (unsigned long)::GetCurrentProcessId(),
             (unsigned long)::GetTickCount(), (unsigned long long)counter.QuadPart & 0xFFFFFFFFFFull);
    return std::string(text, 32);
}

void FoldWholeText(CCodeEditCtrl& e)
{
    e.SetFoldingEnabled(TRUE);
    e.AllowOutlineUpdates(TRUE);
    e.SetAutoOutlining(TRUE);
    e.ReparseOutlineRange(-1, -1);
}
