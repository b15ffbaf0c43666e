// The edit control as a child of a real top-level window under the tests'
// display, with the text messages and keys a user's input sends.
#pragma once

#include "tests/QvTest.h"

#include "editctrl/window/CodeEditWnd.h"
#include "framework/windows/COleDataSource.h"

#include <vector>

// A data source offering `size` bytes under one format, as a drag would.
inline COleDataSource* TextSource(CLIPFORMAT format, const void* bytes, size_t size)
{
    HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, size);
    memcpy(::GlobalLock(block), bytes, size);
    ::GlobalUnlock(block);
    COleDataSource* source = new COleDataSource;
    source->CacheGlobalData(format, block);
    return source;
}

// A top-level window that counts the control's change messages.
class ParentWnd : public CWnd {
public:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == CCodeEditWnd::EditChangeMessage()) {
            ++changes;
            EXPECT_EQ(wParam, 0u);
            EXPECT_EQ(lParam, 0);
        }
        return CWnd::WindowProc(message, wParam, lParam);
    }
    int changes = 0;
};

struct EditWindow {
    EditWindow(int width = 320, int height = 200)
    {
        const WCHAR* cls = CWnd::RegisterWndClass(0, nullptr, (HBRUSH)(COLOR_WINDOW + 1));
        EXPECT_TRUE(parent.CreateEx(0, cls, L"edit host", WS_OVERLAPPEDWINDOW, 0, 0, width + 40, height + 60,
                                    nullptr, nullptr));
        RECT r = {0, 0, width, height};
        EXPECT_TRUE(window.CreateEditWindow(WS_CHILD | WS_VISIBLE, r, &parent, 100));
        parent.ShowWindow(SW_SHOW);
        window.SetFocus();
    }
    ~EditWindow() { parent.DestroyWindow(); }
    void SetText(const WCHAR* text) { window.SendMessage(WM_SETTEXT, 0, (LPARAM)text); }
    CString Text()
    {
        int length = (int)window.SendMessage(WM_GETTEXTLENGTH);
        std::vector<WCHAR> buffer((size_t)length + 1);
        int copied = (int)window.SendMessage(WM_GETTEXT, (WPARAM)(length + 1), (LPARAM)buffer.data());
        return CString(buffer.data(), copied);
    }
    void Key(UINT key, bool shift = false, bool ctrl = false)
    {
        BYTE state[256] = {};
        ::GetKeyboardState(state);
        state[VK_SHIFT] = shift ? 0x80 : 0;
        state[VK_CONTROL] = ctrl ? 0x80 : 0;
        ::SetKeyboardState(state);
        window.SendMessage(WM_KEYDOWN, key, 0);
        state[VK_SHIFT] = state[VK_CONTROL] = 0;
        ::SetKeyboardState(state);
    }
    void Type(const WCHAR* chars)
    {
        for (; *chars; ++chars)
            window.SendMessage(WM_CHAR, *chars, 0);
    }
    // The client point inside the cell of an offset.
    LPARAM At(int offset)
    {
        POINT p = {};
        control.PointFromOffset(offset, p);
        return MAKELPARAM(p.x + 2, p.y + 4);
    }
    // The screen point `dx` pixels right of an offset's left edge, as a drop target gets it.
    POINTL ScreenAt(int offset, int dx)
    {
        POINT p = {};
        control.PointFromOffset(offset, p);
        POINT screen = {p.x + dx, p.y + 2};
        ::ClientToScreen(window.m_hWnd, &screen);
        return POINTL{screen.x, screen.y};
    }
    CCodeEditCtrl control;
    ParentWnd parent;
    CCodeEditWnd window{control};
};

