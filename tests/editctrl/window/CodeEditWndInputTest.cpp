// The edit control window with the real clipboard, the mouse, the wheel, the
// scroll bars and a drag inside it, under the tests' display.
#include "tests/QvTest.h"

#include "editctrl/window/CodeEditWnd.h"
#include "tests/editctrl/window/EditWindowTestSupport.h"
#include "framework/windows/COleDataSource.h"

#include <richedit.h>

#include <vector>

namespace {
using InputWindow = EditWindow;

CString ClipboardText(UINT format)
{
    CString text;
    if (!::OpenClipboard(nullptr))
        return text;
    if (HANDLE block = ::GetClipboardData(format)) {
        const WCHAR* chars = (const WCHAR*)::GlobalLock(block);
        text = CString(chars);
        ::GlobalUnlock(block);
    }
    ::CloseClipboard();
    return text;
}

std::string Utf8(const CString& s)
{
    int n = ::WideCharToMultiByte(CP_UTF8, 0, s, s.GetLength(), nullptr, 0, nullptr, nullptr);
    std::string out((size_t)n, '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, s, s.GetLength(), out.data(), n, nullptr, nullptr);
    return out;
}

class CodeEditInputTest : public ::testing::Test {
protected:
    void SetUp() override { CCodeEditCtrl::overwriteMode = 0; }
    void TearDown() override { CCodeEditCtrl::overwriteMode = 0; }
};
}  // namespace

TEST_F(CodeEditInputTest, TextAndAColumnBlockGoThroughTheSystemClipboard)
{
    InputWindow w;
    // A fixed-pitch font, so that columns are characters.
    w.window.SendMessage(WM_SETFONT, (WPARAM)::GetStockObject(ANSI_FIXED_FONT), TRUE);
    w.SetText(L"alpha\nbeta\ngamma\n");
    w.control.SetSelectionRange(0, 10, FALSE);
    ASSERT_TRUE(w.control.CopySelected());
    EXPECT_EQ(Utf8(ClipboardText(CF_UNICODETEXT)), "alpha\r\nbeta");
    EXPECT_FALSE(::IsClipboardFormatAvailable(CCodeEditCtrl::privateClipboardFormat));
    w.control.ClearSelection(FALSE, TRUE, FALSE);
    w.control.MoveCaretToOffset(17, FALSE, FALSE);
    ASSERT_TRUE(w.control.PasteText(-1));
    EXPECT_EQ(Utf8(w.Text()), "alpha\nbeta\ngamma\nalpha\nbeta");

    // Columns 1 and 2 of the first two rows as a block.
    w.control.blockSelection = 1;
    const int x0 = w.control.textRect.left + 1, cw = w.control.CharWidth(L'a');
    w.control.blockSelStart = POINT{x0 + cw, 0};
    w.control.blockSelEnd = POINT{x0 + 3 * cw, 2 * w.control.lineHeight};
    w.control.selStart = 1;
    w.control.selEnd = 8;
    ASSERT_TRUE(w.control.CopySelected());
    EXPECT_TRUE(::IsClipboardFormatAvailable(CCodeEditCtrl::privateClipboardFormat));
    EXPECT_EQ(Utf8(ClipboardText(CF_UNICODETEXT)), "lp\r\net");
    w.control.ClearSelection(FALSE, TRUE, FALSE);
    w.control.MoveCaretToOffset(12, FALSE, FALSE);  // "gamma", column 1
    ASSERT_TRUE(w.control.PasteText(-1));
    EXPECT_EQ(Utf8(w.Text()), "alpha\nbeta\nglpamma\naetlpha\nbeta");
    ASSERT_TRUE(w.control.StepUndo(TRUE, TRUE));
    EXPECT_EQ(Utf8(w.Text()), "alpha\nbeta\ngamma\nalpha\nbeta") << "one undo for the column paste";
}

TEST_F(CodeEditInputTest, RichTextIsReadBackByTheSystemRichEditControl)
{
    HMODULE riched = ::LoadLibraryW(L"riched20.dll");
    ASSERT_NE(riched, nullptr);
    InputWindow w;
    w.control.AddKeyword(L"int", RGB(255, 0, 0), -1, TRUE);
    w.control.copyRichText = 1;
    w.SetText(L"int x = {\\u00e9};\n\x00E9\x20AC");
    w.control.SetSelectionRange(0, w.control.GetLength(), FALSE);
    ASSERT_TRUE(w.control.CopySelected());
    UINT rtfFormat = ::RegisterClipboardFormatW(L"Rich Text Format");
    ASSERT_TRUE(::IsClipboardFormatAvailable(rtfFormat));

    HWND rich = ::CreateWindowExW(0, L"RichEdit20W", L"", WS_CHILD | WS_VISIBLE | ES_MULTILINE, 0, 0, 300, 100,
                                  w.parent.m_hWnd, nullptr, nullptr, nullptr);
    ASSERT_NE(rich, nullptr);
    REPASTESPECIAL special = {};
    ::SendMessageW(rich, EM_PASTESPECIAL, rtfFormat, (LPARAM)&special);
    GETTEXTLENGTHEX lengthQuery = {GTL_DEFAULT, 1200};
    int length = (int)::SendMessageW(rich, EM_GETTEXTLENGTHEX, (WPARAM)&lengthQuery, 0);
    std::vector<WCHAR> buffer((size_t)length + 1);
    GETTEXTEX query = {};
    query.cb = (DWORD)(buffer.size() * sizeof(WCHAR));
    query.flags = GT_USECRLF;
    query.codepage = 1200;
    ::SendMessageW(rich, EM_GETTEXTEX, (WPARAM)&query, (LPARAM)buffer.data());
    // How the line word reads back is the rich edit control's affair.
    std::string readBack = Utf8(CString(buffer.data()));
    EXPECT_EQ(readBack.substr(0, 17), "int x = {\\u00e9};") << "braces and backslashes survive";
    ASSERT_GE(readBack.size(), 5u);
    EXPECT_EQ(readBack.substr(readBack.size() - 5), "\xC3\xA9\xE2\x82\xAC") << "characters beyond ASCII survive";

    CHARFORMAT2W format = {};
    format.cbSize = sizeof format;
    ::SendMessageW(rich, EM_SETSEL, 0, 3);
    ::SendMessageW(rich, EM_GETCHARFORMAT, SCF_SELECTION, (LPARAM)&format);
    EXPECT_EQ(format.crTextColor, RGB(255, 0, 0)) << "the keyword keeps its colour";
    EXPECT_EQ(format.yHeight, 200) << "10 points";
    ::SendMessageW(rich, EM_SETSEL, 4, 5);
    ::SendMessageW(rich, EM_GETCHARFORMAT, SCF_SELECTION, (LPARAM)&format);
    EXPECT_EQ(format.crTextColor, RGB(0, 0, 0));
    ::DestroyWindow(rich);
}

TEST_F(CodeEditInputTest, TheMouseSelectsAndTheWheelAndBarsScroll)
{
    InputWindow w;
    CString lines;
    for (int i = 0; i < 40; ++i)
        lines += CString(L"line text\n");
    w.SetText(lines);
    w.window.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, w.At(0));
    EXPECT_EQ(::GetCapture(), w.window.m_hWnd);
    w.window.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, w.At(0));
    w.window.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, w.At(14));
    w.window.SendMessage(WM_LBUTTONUP, 0, w.At(14));
    EXPECT_EQ(::GetCapture(), nullptr);
    EXPECT_EQ(Utf8(w.control.GetSelectedText()), "line text\nline");

    w.window.SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, w.At(6));
    EXPECT_EQ(Utf8(w.control.GetSelectedText()), "text");

    HWND vertBar = ::GetDlgItem(w.window.m_hWnd, 2);
    ASSERT_NE(vertBar, nullptr);
    auto barPos = [&]() {
        SCROLLINFO info = {};
        info.cbSize = sizeof info;
        info.fMask = SIF_POS;
        ::GetScrollInfo(vertBar, SB_CTL, &info);
        return info.nPos;
    };
    w.window.SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, (WORD)(short)-120), 0);
    EXPECT_EQ(w.control.topLine, 1);
    EXPECT_EQ(barPos(), 1);
    w.window.SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, (WORD)(short)-360), 0);
    EXPECT_EQ(w.control.topLine, 4);
    w.window.SendMessage(WM_VSCROLL, SB_PAGEDOWN, (LPARAM)vertBar);
    EXPECT_EQ(w.control.topLine, 4 + w.control.PageRows() - 1);
    w.window.SendMessage(WM_VSCROLL, SB_BOTTOM, (LPARAM)vertBar);
    EXPECT_EQ(w.control.topLine, 40) << "the last line, an empty one, at the top";
    EXPECT_EQ(barPos(), 40);
    w.window.SendMessage(WM_VSCROLL, SB_TOP, (LPARAM)vertBar);
    EXPECT_EQ(w.control.topLine, 0);

    // The I-beam over the text.
    POINT p = {};
    w.control.PointFromOffset(2, p);
    EXPECT_EQ(w.control.CursorAtPoint(p, false), EditCursor::IBEAM);
}

TEST_F(CodeEditInputTest, ASelectionDraggedInsideTheControlMovesWithOneUndo)
{
    ::OleInitialize(nullptr);
    InputWindow w;
    w.SetText(L"one two three");
    w.control.SetSelectionRange(0, 4, FALSE);  // "one "
    // What the drag loop does: the source marks itself, the target takes the drop.
    // A press on the selection asks for a drag; the window would run the loop.
    POINT press = {};
    w.control.PointFromOffset(1, press);
    ASSERT_TRUE(w.control.HandleLButtonDown(POINT{press.x + 2, press.y + 4}));
    w.control.dragSource = 1;
    const WCHAR dragged[] = L"one ";
    COleDataSource* source = TextSource(CF_UNICODETEXT, dragged, sizeof dragged);
    POINT p = {};
    w.control.PointFromOffset(13, p);
    POINTL at = w.ScreenAt(13, 3);
    DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    w.window.DropTarget()->DragEnter(source, 0, at, &effect);
    effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    w.window.DropTarget()->Drop(source, 0, at, &effect);
    source->Release();
    EXPECT_EQ(effect, (DWORD)DROPEFFECT_MOVE);
    w.control.FinishSelectionDrag(effect, POINT{p.x + 3, p.y + 2});
    EXPECT_EQ(Utf8(w.Text()), "two threeone ");
    EXPECT_EQ(Utf8(w.control.GetSelectedText()), "one ") << "the moved text is selected";
    ASSERT_TRUE(w.control.StepUndo(TRUE, TRUE));
    EXPECT_EQ(Utf8(w.Text()), "one two three") << "one undo restores both places";
    ::OleUninitialize();
}

TEST_F(CodeEditInputTest, TheAltReleaseAfterAColumnDragIsSwallowedOnce)
{
    InputWindow w;
    w.SetText(L"abc\ndef");
    w.control.swallowAltUp = 1;
    MSG altUp = {w.window.m_hWnd, WM_SYSKEYUP, VK_MENU, 0, 0, {0, 0}};
    EXPECT_TRUE(w.window.PreTranslateMessage(&altUp)) << "eaten, so the menu does not open";
    EXPECT_FALSE(w.control.swallowAltUp);
    EXPECT_FALSE(w.window.PreTranslateMessage(&altUp)) << "only once";
}

TEST_F(CodeEditInputTest, TextDroppedFromElsewhereBringsTheWindowToTheFront)
{
    ::OleInitialize(nullptr);
    InputWindow w;
    w.SetText(L"abc");
    const WCHAR* cls = CWnd::RegisterWndClass(0, nullptr, (HBRUSH)(COLOR_WINDOW + 1));
    CWnd other;
    ASSERT_TRUE(other.CreateEx(0, cls, L"other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 400, 0, 200, 100, nullptr, nullptr));
    ::SetForegroundWindow(other.m_hWnd);
    ASSERT_EQ(::GetForegroundWindow(), other.m_hWnd);
    const WCHAR dropped[] = L"xy";
    COleDataSource* source = TextSource(CF_UNICODETEXT, dropped, sizeof dropped);
    POINTL at = w.ScreenAt(1, 1);
    DWORD effect = DROPEFFECT_COPY;
    w.window.DropTarget()->DragEnter(source, MK_CONTROL, at, &effect);
    effect = DROPEFFECT_COPY;
    w.window.DropTarget()->Drop(source, MK_CONTROL, at, &effect);
    source->Release();
    EXPECT_EQ(Utf8(w.Text()), "axybc");
    EXPECT_EQ(::GetForegroundWindow(), w.parent.m_hWnd);
    other.DestroyWindow();
    ::OleUninitialize();
}
