// The edit control window's own border, printing into stand-ins for a
// printer (a memory DC and an enhanced metafile; a Wine prefix has no
// printer), and the tooltip shown over a link.
#include "tests/QvTest.h"

#include "editctrl/window/CodeEditPrinter.h"
#include "editctrl/window/CodeEditWnd.h"

#include <vector>

namespace {
struct Window {
    explicit Window(DWORD style, int width = 320, int height = 200)
    {
        const WCHAR* cls = CWnd::RegisterWndClass(0, nullptr, (HBRUSH)(COLOR_WINDOW + 1));
        EXPECT_TRUE(parent.CreateEx(0, cls, L"frame host", WS_POPUP | WS_VISIBLE, 10, 10, width + 40, height + 40,
                                    nullptr, nullptr));
        RECT r = {10, 10, 10 + width, 10 + height};
        EXPECT_TRUE(window.CreateEditWindow(WS_CHILD | WS_VISIBLE | style, r, &parent, 100));
        parent.ShowWindow(SW_SHOW);
        ::UpdateWindow(parent.m_hWnd);
    }
    ~Window() { parent.DestroyWindow(); }
    CCodeEditCtrl control;
    CWnd parent;
    CCodeEditWnd window{control};
};

// Runs the message loop until `done` holds or five seconds pass.
template <class Condition>
bool PumpUntil(Condition done)
{
    const DWORD deadline = ::GetTickCount() + 5000;
    while (!done()) {
        if ((int)(::GetTickCount() - deadline) > 0)
            return false;
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return true;
}

CString NumberedLines(int count)
{
    CString text;
    for (int i = 1; i <= count; ++i) {
        CString line;
        line.Format(i < count ? L"line %d\n" : L"line %d", i);
        text += line;
    }
    return text;
}
}  // namespace

TEST(CodeEditFrameTest, ABorderedControlDrawsItsOwnOnePixelFrame)
{
    Window bordered(WS_BORDER), plain(0);
    RECT client = {};
    bordered.window.GetClientRect(&client);
    EXPECT_EQ(client.right, 318);
    EXPECT_EQ(client.bottom, 198);
    EXPECT_EQ(bordered.window.GetStyle() & WS_BORDER, 0u);
    EXPECT_TRUE(bordered.control.ownBorder);
    plain.window.GetClientRect(&client);
    EXPECT_EQ(client.right, 320);
    EXPECT_FALSE(plain.control.ownBorder);

    ::RedrawWindow(bordered.window.m_hWnd, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
    HDC dc = ::GetWindowDC(bordered.window.m_hWnd);
    const COLORREF dark = ::GetSysColor(COLOR_3DDKSHADOW), light = ::GetSysColor(COLOR_BTNHIGHLIGHT);
    EXPECT_EQ(::GetPixel(dc, 0, 0), dark);
    EXPECT_EQ(::GetPixel(dc, 0, 100), dark);
    EXPECT_EQ(::GetPixel(dc, 100, 0), dark);
    EXPECT_EQ(::GetPixel(dc, 319, 100), light);
    EXPECT_EQ(::GetPixel(dc, 100, 199), light);
    ::ReleaseDC(bordered.window.m_hWnd, dc);

    // Adding WS_BORDER later gives the same frame instead of the system's.
    plain.window.ModifyStyle(0, WS_BORDER);
    ::SetWindowPos(plain.window.m_hWnd, nullptr, 0, 0, 0, 0, SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
    EXPECT_TRUE(plain.control.ownBorder);
    EXPECT_EQ(plain.window.GetStyle() & WS_BORDER, 0u);
    plain.window.GetClientRect(&client);
    EXPECT_EQ(client.right, 318);
}

TEST(CodeEditPrintTest, PagesPrintIntoAMemoryDcAndLeaveTheScreenAlone)
{
    Window w(0);
    CString text = NumberedLines(120);
    w.window.SendMessage(WM_SETTEXT, 0, (LPARAM)(const WCHAR*)text);
    w.control.MoveCaretToOffset(w.control.OffsetOfLine(60), TRUE, TRUE);
    const POINT caret = w.control.caretPos;
    const int topLine = w.control.topLine, topOffset = w.control.topOffset, lineHeight = w.control.lineHeight;
    const RECT textRect = w.control.textRect;

    HDC screen = ::GetDC(nullptr);
    HDC dc = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, 600, 900);
    ::ReleaseDC(nullptr, screen);
    HGDIOBJ old = ::SelectObject(dc, bitmap);
    CPrintInfo info;
    info.m_rectDraw = RECT{0, 0, 600, 900};
    CCodeEditPrinter printer(w.window);
    printer.BeginPrintPages(dc, info);
    TEXTMETRICW tm = {};
    HGDIOBJ oldFont = ::SelectObject(dc, printer.PrintFont());
    ::GetTextMetricsW(dc, &tm);
    ::SelectObject(dc, oldFont);
    const int rowHeight = tm.tmHeight + w.control.lineSpacing;
    const int perPage = (900 - 4 * rowHeight) / rowHeight;
    const int expectedPages = (120 + perPage - 1) / perPage;
    int pages = 0;
    long inked = 0;
    for (info.m_nCurPage = 1; info.m_bContinuePrinting && pages < 50; ++info.m_nCurPage) {
        RECT all = {0, 0, 600, 900};
        ::FillRect(dc, &all, (HBRUSH)::GetStockObject(WHITE_BRUSH));
        ASSERT_TRUE(printer.PrintPage(dc, info));
        ++pages;
        if (pages == 1)
            for (int y = 0; y < 900; y += 2)
                for (int x = 0; x < 600; x += 2)
                    inked += ::GetPixel(dc, x, y) != RGB(255, 255, 255);
    }
    printer.EndPrintPages(dc, info);
    EXPECT_EQ(pages, expectedPages);
    EXPECT_EQ(info.GetMaxPage(), (UINT)expectedPages);
    EXPECT_GT(inked, 100);
    ::SelectObject(dc, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(dc);

    EXPECT_EQ(w.control.caretPos.x, caret.x);
    EXPECT_EQ(w.control.caretPos.y, caret.y);
    EXPECT_EQ(w.control.topLine, topLine);
    EXPECT_EQ(w.control.topOffset, topOffset);
    EXPECT_EQ(w.control.lineHeight, lineHeight);
    EXPECT_TRUE(::EqualRect(&w.control.textRect, &textRect));
}

namespace {
int CALLBACK CountTextRecords(HDC, HANDLETABLE*, const ENHMETARECORD* record, int, LPARAM counter)
{
    if (record->iType == EMR_EXTTEXTOUTW || record->iType == EMR_POLYTEXTOUTW)
        ++*reinterpret_cast<int*>(counter);
    return 1;
}
}  // namespace

TEST(CodeEditPrintTest, APageRecordsItsTextIntoAMetafile)
{
    Window w(0);
    w.window.SendMessage(WM_SETTEXT, 0, (LPARAM)L"first\nsecond\nthird");
    HDC reference = ::GetDC(nullptr);
    HDC dc = ::CreateEnhMetaFileW(reference, nullptr, nullptr, nullptr);
    ::ReleaseDC(nullptr, reference);
    ASSERT_NE(dc, nullptr);
    CPrintInfo info;
    info.m_rectDraw = RECT{0, 0, 500, 700};
    CCodeEditPrinter printer(w.window);
    printer.BeginPrintPages(dc, info);
    EXPECT_TRUE(printer.PrintPage(dc, info));
    EXPECT_FALSE(info.m_bContinuePrinting);
    printer.EndPrintPages(dc, info);
    HENHMETAFILE metafile = ::CloseEnhMetaFile(dc);
    ASSERT_NE(metafile, nullptr);
    int texts = 0;
    ::EnumEnhMetaFile(nullptr, metafile, CountTextRecords, &texts, nullptr);
    ::DeleteEnhMetaFile(metafile);
    EXPECT_GE(texts, 3);
}

TEST(CodeEditTipTest, ATooltipShowsOverALink)
{
    Window w(0);
    w.window.SendMessage(WM_SETTEXT, 0, (LPARAM)L"see http://example.org/x now");
    w.control.SetTipsEnabled(TRUE);
    CToolTipCtrl* tip = w.window.Tips().Control();
    ASSERT_NE(tip, nullptr);
    tip->SendMessage(TTM_SETDELAYTIME, TTDT_INITIAL, 10);
    POINT p = {};
    ASSERT_TRUE(w.control.PointFromOffset(8, p));
    p.y += w.control.lineHeight / 2;
    POINT onScreen = p;
    ::ClientToScreen(w.window.m_hWnd, &onScreen);
    ::SetCursorPos(onScreen.x + 40, onScreen.y + 40);
    ::SetCursorPos(onScreen.x, onScreen.y);
    const CString expected(L"http://example.org/x\nCTRL + click to follow the link");
    // A move now and then, not every turn: each relayed move restarts the
    // tooltip's delay. Other programs on the display may move the cursor away
    // meanwhile; it is put back each time.
    int turns = 0;
    bool shown = PumpUntil([&] {
        if (turns++ % 15 == 0) {
            ::SetCursorPos(onScreen.x, onScreen.y);
            w.window.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(p.x, p.y));
        }
        return ::IsWindowVisible(tip->m_hWnd) && w.control.tipText == expected;
    });
    EXPECT_TRUE(shown) << "tip text '" << w.control.tipText.ToUtf8() << "'";
    // Turning tips off hides it at once.
    w.control.SetTipsEnabled(FALSE);
    EXPECT_FALSE(::IsWindowVisible(tip->m_hWnd));
}

TEST(CodeEditFoldMouseTest, AClickOnTheOutlineBarFoldsAndADoubleClickOnTheLabelSelects)
{
    Window w(0);
    w.window.SendMessage(WM_SETTEXT, 0, (LPARAM)L"x {\n1\n2\n}\ny");
    CCodeEditCtrl& c = w.control;
    c.SetFoldingEnabled(TRUE);
    c.AllowOutlineUpdates(TRUE);
    c.SetAutoOutlining(TRUE);
    c.ReparseOutlineRange(-1, -1);
    c.ShowOutlineBar(TRUE, 20);
    ASSERT_EQ(c.outlineRoot.children.size(), 1u);
    CCodeOutlineNode* block = c.outlineRoot.children[0];
    const int barX = c.markerBarWidth + 10, rowY = c.textRect.top + c.lineHeight / 2;
    w.window.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(barX, rowY));
    w.window.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(barX, rowY));
    EXPECT_TRUE(block->collapsed);
    EXPECT_EQ(c.hiddenLineCount, 3);
    ::UpdateWindow(w.window.m_hWnd);  // the paint places the label
    const RECT label = c.DocRectToClient(block->labelRect);
    ASSERT_GT(label.right, label.left);
    const int labelX = (label.left + label.right) / 2, labelY = (label.top + label.bottom) / 2;
    w.window.SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(labelX, labelY));
    EXPECT_EQ(c.selStart, block->start);
    EXPECT_EQ(c.selEnd, block->end + 1);
    w.window.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(barX, rowY));
    EXPECT_FALSE(block->collapsed);
    EXPECT_EQ(c.hiddenLineCount, 0);
}
