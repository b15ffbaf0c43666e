#include "tests/QvTest.h"

#include "editctrl/window/CodeEditWnd.h"
#include "tests/editctrl/window/EditWindowTestSupport.h"
#include "framework/windows/COleDataSource.h"

#include <memory>
#include <vector>

namespace {
class CodeEditWndTest : public ::testing::Test {
protected:
    void SetUp() override { CCodeEditCtrl::overwriteMode = 0; }
    void TearDown() override { CCodeEditCtrl::overwriteMode = 0; }
};
}  // namespace

TEST_F(CodeEditWndTest, TheClassNameCarriesModuleStyleCursorAndBrush)
{
    CString name = CCodeEditWnd::RegisterEditClass();
    CString expected;
    expected.Format(L"MFCEditCtrl2:%x:8:%x:10", (unsigned)(UINT_PTR)::GetModuleHandleW(nullptr),
                    (unsigned)(UINT_PTR)::LoadCursorW(nullptr, (LPCWSTR)IDC_ARROW));
    EXPECT_EQ(name, expected);
    WNDCLASSW wc = {};
    ASSERT_TRUE(::GetClassInfoW(::GetModuleHandleW(nullptr), name, &wc));
    EXPECT_EQ(wc.style, (UINT)CS_DBLCLKS);
    EXPECT_EQ(CCodeEditWnd::RegisterEditClass(), name) << "registered once";
}

TEST_F(CodeEditWndTest, TextMessagesAndTyping)
{
    EditWindow w;
    EXPECT_EQ(w.window.SendMessage(WM_SETTEXT, 0, (LPARAM)L"abcdefg"), TRUE);
    EXPECT_EQ(w.Text(), CString(L"abcdefg"));
    WCHAR fiveChars[5] = {};
    EXPECT_EQ(w.window.SendMessage(WM_GETTEXT, 5, (LPARAM)fiveChars), 4);
    EXPECT_EQ(CString(fiveChars), CString(L"abcd"));
    EXPECT_EQ(w.window.SendMessage(WM_GETDLGCODE), DLGC_WANTALLKEYS);

    int before = w.parent.changes;
    w.Key(VK_END);
    w.Type(L"xy");
    EXPECT_EQ(w.Text(), CString(L"abcdefgxy"));
    EXPECT_EQ(w.parent.changes - before, 2) << "one change message per typed character";
    w.Key(VK_HOME);
    w.Key(VK_RIGHT, true);
    w.Key(VK_RIGHT, true);
    w.Type(L"Z");
    EXPECT_EQ(w.Text(), CString(L"Zcdefgxy"));
    w.Key(VK_RETURN);
    w.Key(VK_BACK);
    w.Key(VK_DELETE);
    EXPECT_EQ(w.Text(), CString(L"Zdefgxy"));
}

TEST_F(CodeEditWndTest, TwoControlsShareOverwriteMode)
{
    EditWindow a, b;
    a.window.SendMessage(WM_SETTEXT, 0, (LPARAM)L"one");
    b.window.SendMessage(WM_SETTEXT, 0, (LPARAM)L"two");
    a.Key(VK_INSERT);
    b.window.SetFocus();
    b.Type(L"T");
    EXPECT_EQ(b.Text(), CString(L"Two"));
    b.Key(VK_INSERT);
    a.window.SetFocus();
    a.Type(L"O");
    EXPECT_EQ(a.Text(), CString(L"Oone"));
}

namespace {
// The control's client area painted through WM_PRINTCLIENT into a 32-bit bitmap.
class Capture {
public:
    explicit Capture(CCodeEditWnd& window)
    {
        RECT r = {};
        window.GetClientRect(&r);
        width = r.right;
        height = r.bottom;
        BITMAPINFO bi = {};
        bi.bmiHeader.biSize = sizeof bi.bmiHeader;
        bi.bmiHeader.biWidth = width;
        bi.bmiHeader.biHeight = -height;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        HDC dc = ::CreateCompatibleDC(nullptr);
        void* bits = nullptr;
        HBITMAP bitmap = ::CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        HGDIOBJ old = ::SelectObject(dc, bitmap);
        window.SendMessage(WM_PRINTCLIENT, (WPARAM)dc, PRF_CLIENT);
        ::GdiFlush();
        const DWORD* p = (const DWORD*)bits;
        pixels.assign(p, p + (size_t)width * height);
        ::SelectObject(dc, old);
        ::DeleteObject(bitmap);
        ::DeleteDC(dc);
    }
    // The pixel as a colour value 0x00BBGGRR.
    COLORREF At(int x, int y) const
    {
        DWORD v = pixels[(size_t)y * width + x];
        return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    }
    int Count(const RECT& r, COLORREF colour) const
    {
        int n = 0;
        for (int y = std::max(0, (int)r.top); y < std::min(height, (int)r.bottom); ++y)
            for (int x = std::max(0, (int)r.left); x < std::min(width, (int)r.right); ++x)
                n += At(x, y) == colour;
        return n;
    }
    int width = 0, height = 0;
    std::vector<DWORD> pixels;
};

RECT CellRect(CCodeEditCtrl& c, int from, int to)
{
    POINT a = {}, b = {};
    c.PointFromOffset(from, a);
    c.PointFromOffset(to, b);
    return RECT{a.x, a.y, b.x, a.y + c.lineHeight};
}
}  // namespace

TEST_F(CodeEditWndTest, PaintedPixelsShowColoursSelectionAndLineNumbers)
{
    EditWindow w;
    CCodeEditCtrl& c = w.control;
    const COLORREF KEYWORD = RGB(0, 0, 255), COMMENT = RGB(0, 128, 0), SELECTION = RGB(255, 200, 0);
    c.AddKeyword(L"int", KEYWORD, -1, TRUE);
    c.AddColorBlock(L"//", L"", FALSE, COMMENT, -1, TRUE, FALSE);
    c.backColor = RGB(255, 255, 255);
    c.textColor = RGB(0, 0, 0);
    c.selBackColor = c.selBackColorInactive = SELECTION;
    c.showLineNumbers = 1;
    w.window.SendMessage(WM_SETTEXT, 0, (LPARAM)L"int value; // note\nplain text here");
    c.RecalcLayout();
    c.SetSelectionRange(26, 31, FALSE);  // "ain t" on the second line

    Capture shot(w.window);
    RECT keyword = CellRect(c, 0, 3);
    RECT comment = CellRect(c, 11, 18);
    RECT plain = CellRect(c, 4, 9);
    RECT selected = CellRect(c, 26, 31);
    EXPECT_GT(shot.Count(keyword, KEYWORD), 5) << "the keyword's glyphs in its colour";
    EXPECT_EQ(shot.Count(plain, KEYWORD), 0);
    EXPECT_GT(shot.Count(comment, COMMENT), 5) << "the comment in its colour";
    int cell = (selected.right - selected.left) * (selected.bottom - selected.top);
    EXPECT_GT(shot.Count(selected, SELECTION), cell / 2) << "the selection's background";
    RECT bar = {c.markerBarWidth, 0, c.markerBarWidth + c.lineNumberWidth, 2 * c.lineHeight};
    int barArea = (bar.right - bar.left) * (bar.bottom - bar.top);
    EXPECT_GT(shot.Count(bar, RGB(0xF0, 0xF0, 0xF0)), barArea / 2) << "the line-number bar's background";
    EXPECT_GT(shot.Count(bar, 0xA08200), 3) << "line numbers in their colour";
}

TEST_F(CodeEditWndTest, DroppedTextGoesUnderThePointerAndOtherDataIsRefused)
{
    ::OleInitialize(nullptr);
    EditWindow w;
    w.window.SendMessage(WM_SETTEXT, 0, (LPARAM)L"abc\ndef");
    CCodeEditDropTarget* target = w.window.DropTarget();
    ASSERT_NE(target, nullptr);
    // Just right of the left edge of "e" (offset 5) on the second row.
    POINT p = {};
    w.control.PointFromOffset(5, p);
    POINT screen = {p.x + 1, p.y + 2};
    ::ClientToScreen(w.window.m_hWnd, &screen);
    POINTL at = {screen.x, screen.y};

    COleDataSource* other = TextSource(CF_TEXT, "zz", 3);
    DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    EXPECT_EQ(target->DragEnter(other, 0, at, &effect), S_OK);
    EXPECT_EQ(effect, (DWORD)DROPEFFECT_NONE);
    effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    target->Drop(other, 0, at, &effect);
    EXPECT_EQ(effect, (DWORD)DROPEFFECT_NONE);
    other->Release();
    EXPECT_EQ(w.Text(), CString(L"abc\ndef"));

    const WCHAR dropped[] = L"xy";
    COleDataSource* text = TextSource(CF_UNICODETEXT, dropped, sizeof dropped);
    effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    target->DragEnter(text, 0, at, &effect);
    EXPECT_EQ(effect, (DWORD)DROPEFFECT_MOVE);
    effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    target->Drop(text, MK_CONTROL, at, &effect);
    EXPECT_EQ(effect, (DWORD)DROPEFFECT_COPY);
    text->Release();
    EXPECT_EQ(w.Text(), CString(L"abc\ndxyef"));
    ::OleUninitialize();
}
