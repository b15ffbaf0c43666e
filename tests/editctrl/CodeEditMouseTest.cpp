// The mouse, the wheel, the scroll bars, the selection and indenting, without
// a window: client points go to the core's handlers.
#include "tests/QvTest.h"

#include "tests/editctrl/EditTestSupport.h"

#include <string>
#include <vector>

namespace {
std::u16string Text(const CCodeEditCtrl& e) { return U16(e.GetTextBuffer().Mid(0, e.GetLength())); }

// The client point of an offset's cell, a little inside it.
POINT PointOf(CCodeEditCtrl& e, int offset)
{
    POINT p = {};
    e.PointFromOffset(offset, p);
    return POINT{p.x + 2, p.y + 4};
}

using MouseTest = InsertModeTest;
}  // namespace

TEST_F(MouseTest, WheelAndScrollBarsMoveTheTopLine)
{
    // 30 lines in an area of 11 rows of 17 pixels.
    struct Case {
        const char* name;
        BOOL scrollPastEnd;
        int startTop;
        int bar, code, position;  // bar -1: the wheel, position its delta
        int expectedTop;
    } cases[] = {
        {"a wheel step of 120 scrolls one line", 1, 0, -1, 0, -120, 1},
        {"a step of 360 scrolls three lines through the thumb path", 1, 0, -1, 0, -360, 3},
        {"a positive step scrolls up", 1, 5, -1, 0, 240, 3},
        {"page down moves by the page less one line", 1, 0, SB_VERT, SB_PAGEDOWN, 0, 10},
        {"page up likewise", 1, 15, SB_VERT, SB_PAGEUP, 0, 5},
        {"past the end the last line can be the top row", 1, 0, SB_VERT, SB_BOTTOM, 0, 29},
        {"without that the view stops when the last page is full", 0, 0, SB_VERT, SB_BOTTOM, 0, 19},
        {"a thumb dragged into the extra page clamps to the last line", 1, 0, SB_VERT, SB_THUMBTRACK, 1000, 29},
        {"page down near the end clamps and still scrolls", 1, 25, SB_VERT, SB_PAGEDOWN, 0, 29},
        {"a line up at the top does nothing", 1, 0, SB_VERT, SB_LINEUP, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestEdit t(XLines(30));
        t.edit.scrollPastEnd = c.scrollPastEnd;
        t.edit.RecalcLayout();
        t.edit.HandleScrollBar(SB_VERT, SB_THUMBPOSITION, c.startTop);
        ASSERT_EQ(t.edit.topLine, c.startTop);
        if (c.bar < 0)
            t.edit.HandleMouseWheel(c.position);
        else
            t.edit.HandleScrollBar(c.bar, c.code, c.position);
        EXPECT_EQ(t.edit.topLine, c.expectedTop);
        EXPECT_EQ(t.edit.topOffset, 2 * c.expectedTop) << "the top row's offset follows";
        EXPECT_EQ(t.host.vert.pos, c.expectedTop) << "the bar shows it";
    }
    TestEdit fits(XLines(5));
    EXPECT_FALSE(fits.edit.HandleMouseWheel(-120)) << "a text that fits does not scroll";
    EXPECT_EQ(fits.edit.topLine, 0);
}

TEST_F(MouseTest, PressDragAndReleaseSelectAndAutoScroll)
{
    TestEdit t(XLines(30));
    t.edit.HandleLButtonDown(PointOf(t.edit, 2));
    EXPECT_TRUE(t.host.captured);
    EXPECT_EQ(t.edit.caretOffset, 2);
    t.edit.HandleMouseMove(PointOf(t.edit, 2));  // the anchor
    t.edit.HandleMouseMove(PointOf(t.edit, 7));
    EXPECT_EQ(t.edit.selStart, 2);
    EXPECT_EQ(t.edit.selEnd, 7);
    EXPECT_TRUE(t.host.timers.empty());
    // Below the text area: the timer runs and the view follows the caret.
    t.edit.HandleMouseMove(POINT{20, t.edit.textRect.bottom + 5});
    EXPECT_EQ(t.host.timers.count(CCodeEditCtrl::AUTO_SCROLL_TIMER), 1u);
    EXPECT_GT(t.edit.topLine, 0);
    int top = t.edit.topLine;
    t.edit.HandleMouseMove(POINT{20, t.edit.textRect.bottom + 5});
    EXPECT_GT(t.edit.topLine, top) << "each timer tick scrolls on";
    t.edit.HandleMouseMove(PointOf(t.edit, t.edit.topOffset + 2));
    EXPECT_TRUE(t.host.timers.empty()) << "back inside, the timer ends";
    t.edit.HandleLButtonUp(PointOf(t.edit, t.edit.topOffset + 2));
    EXPECT_FALSE(t.host.captured);
    EXPECT_EQ(t.edit.selStart, 2);
    EXPECT_EQ(t.edit.selEnd, t.edit.caretOffset);

    // A press outside the selection clears it; a click without a move leaves none.
    t.edit.HandleScrollBar(SB_VERT, SB_TOP, 0);
    t.edit.HandleLButtonDown(PointOf(t.edit, 1));
    EXPECT_EQ(t.edit.selStart, -1);
    EXPECT_EQ(t.edit.caretOffset, 1);
    t.edit.HandleLButtonUp(PointOf(t.edit, 1));
    EXPECT_EQ(t.edit.selStart, -1);
}

TEST_F(MouseTest, SelectionGeometryAndPointsOnIt)
{
    TestEdit t(L"abcdef\nghijkl\nmnopqr\n");
    t.edit.SetSelectionRange(2, 16, FALSE);  // from "c" to "o"
    RECT first, middle, last;
    ASSERT_TRUE(t.edit.GetSelectionRects(first, middle, last));
    const int lh = t.edit.lineHeight, left = t.edit.textRect.left;
    POINT c = {}, o = {};
    t.edit.PointFromOffset(2, c);
    t.edit.PointFromOffset(16, o);
    EXPECT_EQ(first.left, c.x);
    EXPECT_EQ(first.right, t.edit.textRect.right);
    EXPECT_EQ(middle.top, lh);
    EXPECT_EQ(middle.bottom, 2 * lh);
    EXPECT_EQ(last.left, left);
    EXPECT_EQ(last.right, o.x);
    EXPECT_TRUE(t.edit.IsPointInSelection(PointOf(t.edit, 3).x, PointOf(t.edit, 3).y));
    EXPECT_TRUE(t.edit.IsPointInSelection(PointOf(t.edit, 8).x, PointOf(t.edit, 8).y));
    EXPECT_FALSE(t.edit.IsPointInSelection(PointOf(t.edit, 0).x, PointOf(t.edit, 0).y));
    EXPECT_FALSE(t.edit.IsPointInSelection(PointOf(t.edit, 17).x, PointOf(t.edit, 17).y));

    CString word;
    t.edit.ClearSelection(FALSE, TRUE, FALSE);
    EXPECT_TRUE(t.edit.GetWordAtPoint(PointOf(t.edit, 9), word));
    EXPECT_EQ(U16(word), u"ghijkl");
    EXPECT_FALSE(t.edit.GetWordAtPoint(POINT{t.edit.textRect.right - 5, 4}, word)) << "far right of the line's text";
}

TEST_F(MouseTest, DoubleAndRightClicks)
{
    struct Case {
        const char* name;
        const WCHAR* text;
        int at;
        int selStart, selEnd;
    } cases[] = {
        {"a word is selected", L"one two", 5, 4, 7},
        {"a single blank leaves an empty selection", L"one two", 3, 3, 3},
        {"two blanks are both selected", L"one  two", 3, 3, 5},
        {"a blank and a tab are a run", L"one \ttwo", 4, 3, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestEdit t(c.text);
        t.edit.HandleLButtonDblClk(PointOf(t.edit, c.at));
        EXPECT_EQ(t.edit.selStart, c.selStart);
        EXPECT_EQ(t.edit.selEnd, c.selEnd);
        EXPECT_EQ(t.edit.caretOffset, c.selEnd);
    }
    TestEdit t(L"one two three");
    t.edit.SetSelectionRange(4, 7, FALSE);
    t.edit.HandleRButtonDown(PointOf(t.edit, 5));
    EXPECT_EQ(t.edit.selStart, 4) << "a right click inside the selection keeps it";
    EXPECT_EQ(t.edit.selEnd, 7);
    t.edit.HandleRButtonDown(PointOf(t.edit, 10));
    EXPECT_EQ(t.edit.selStart, -1) << "outside, it clears it";
    EXPECT_EQ(t.edit.caretOffset, 10);
}

TEST_F(MouseTest, SelectAllLeavesTheAnchorAtTheEnd)
{
    {
        SCOPED_TRACE("forward from the text end fails with one code");
        TestEdit end(L"abc");
        end.edit.MoveCaretToOffset(3, FALSE, FALSE);
        for (int code : {1, 3, 5, 7})
            EXPECT_FALSE(end.edit.ExtendSelection(code));
        EXPECT_EQ(end.edit.failures, (std::vector<unsigned>{0x200000, 0x200000, 0x200000, 0x200000}));
    }
    TestEdit t(L"abc\ndef");
    t.edit.MoveCaretToOffset(5, FALSE, FALSE);
    ASSERT_TRUE(t.edit.ExtendSelection(12));
    EXPECT_EQ(t.edit.selStart, 7);
    EXPECT_EQ(t.edit.selEnd, 0);
    EXPECT_EQ(t.edit.caretOffset, 0);
}

TEST_F(MouseTest, TheCursorOverTextSelectionAndLinks)
{
    TestEdit t(L"see http://example.org here\nplain");
    CEditDisplayList list;
    t.edit.PaintControl(list, nullptr);  // the painter finds the link
    EXPECT_EQ(t.edit.CursorAtPoint(PointOf(t.edit, 1), false), EditCursor::IBEAM);
    EXPECT_EQ(t.edit.CursorAtPoint(PointOf(t.edit, 8), false), EditCursor::IBEAM);
    EXPECT_EQ(t.edit.CursorAtPoint(PointOf(t.edit, 8), true), EditCursor::HAND) << "Ctrl over a link";
    EXPECT_EQ(t.edit.hotLink, 0);
    EXPECT_EQ(t.edit.CursorAtPoint(PointOf(t.edit, 1), true), EditCursor::IBEAM);
    EXPECT_EQ(t.edit.hotLink, -1);
    t.edit.SetSelectionRange(0, 3, FALSE);
    EXPECT_EQ(t.edit.CursorAtPoint(PointOf(t.edit, 1), false), EditCursor::ARROW) << "a selection can be dragged";
    EXPECT_EQ(t.edit.CursorAtPoint(POINT{1, 4}, false), EditCursor::ARROW) << "the marker bar";
}

TEST_F(MouseTest, IndentAndUnindentFollowTheirRules)
{
    struct Case {
        const char* name;
        const WCHAR* text;
        int selStart, selEnd;
        BOOL indent;
        BOOL keepTabs;
        const char16_t* expected;
        int expectedSelStart, expectedSelEnd;
    } cases[] = {
        {"a selection ending at a line start leaves that line alone", L"ab\ncd\nef", 0, 6, TRUE, TRUE,
         u"\tab\n\tcd\nef", 0, 8},
        {"an empty line gets the unit before its line feed", L"ab\n\ncd", 0, 6, TRUE, TRUE, u"\tab\n\t\n\tcd", 0, 9},
        {"a backward selection stays backward", L"ab\ncd", 5, 1, TRUE, TRUE, u"\tab\n\tcd", 7, 0},
        {"unindent removes one leading tab", L"\tab\n\tcd", 0, 7, FALSE, TRUE, u"ab\ncd", 0, 5},
        {"or four leading blanks", L"     ab\nx\n", 0, 9, FALSE, TRUE, u" ab\nx\n", 0, 6},
        {"a tab wider than the columns left stays", L"\t  ab\nx", 0, 7, FALSE, TRUE, u"\tab\nx", 0, 5},
        {"without keepTabs blanks and tabs count one each", L"\t  ab\nx", 0, 7, FALSE, FALSE, u"ab\nx", 0, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestEdit t(c.text);
        t.edit.keepTabs = c.keepTabs;
        t.edit.SetSelectionRange(c.selStart, c.selEnd, FALSE);
        ASSERT_TRUE(t.edit.IndentSelection(c.indent));
        EXPECT_EQ(Text(t.edit), c.expected);
        EXPECT_EQ(t.edit.selStart, c.expectedSelStart);
        EXPECT_EQ(t.edit.selEnd, c.expectedSelEnd);
        t.edit.StepUndo(TRUE, TRUE);
        EXPECT_EQ(Text(t.edit), std::u16string((const char16_t*)c.text)) << "one undo";
        t.edit.StepRedo(TRUE, TRUE);
        EXPECT_EQ(Text(t.edit), c.expected) << "redo";
    }
    {
        SCOPED_TRACE("refusals");
        TestEdit t(L"ab cd\nef");
        t.edit.SetSelectionRange(0, 2, FALSE);
        EXPECT_FALSE(t.edit.IndentSelection(TRUE)) << "inside one line";
        t.edit.SetSelectionRange(0, 8, FALSE);
        EXPECT_FALSE(t.edit.IndentSelection(FALSE)) << "no touched line begins with a blank";
        EXPECT_EQ(t.edit.failures, (std::vector<unsigned>{0x400000, 0x400000}));
    }
}

TEST_F(MouseTest, IndentingManyLinesChangesTheTextOnceAndKeepsTheLineLimit)
{
    // 200 lines, the tenth one already at the line limit.
    CString s;
    for (int i = 0; i < 200; ++i)
        s += i == 10 ? CString(L'y', 2047) + L"\n" : CString(L"line\n");
    TestEdit t(s);
    t.edit.SetSelectionRange(0, t.edit.GetLength(), FALSE);
    int notices = t.host.changeNotices;
    ASSERT_TRUE(t.edit.IndentSelection(TRUE));
    EXPECT_EQ(t.host.changeNotices - notices, 1) << "one change of the text";
    EXPECT_EQ(t.edit.GetLength(), s.GetLength() + 199);
    for (int line = 0; line < 200; ++line) {
        int start = t.edit.GetTextBuffer().LineStart(line);
        int end = t.edit.GetTextBuffer().LineEnd(line);
        ASSERT_LE(end - start, 2047) << "line " << line;
        EXPECT_EQ(t.edit.GetCharAt(start) == L'\t', line != 10) << "line " << line;
    }
    t.edit.StepUndo(TRUE, TRUE);
    EXPECT_EQ(U16(t.edit.GetTextBuffer().Mid(0, t.edit.GetLength())), U16(s));
}

TEST_F(MouseTest, ADragHoveringNearAnEdgeScrollsAndLeavingRestoresTheCaret)
{
    TestEdit t(XLines(30));
    const int bottom = t.edit.textRect.bottom;
    EXPECT_TRUE(t.edit.DragOverPoint(POINT{20, 60}));
    EXPECT_EQ(t.edit.topLine, 0) << "the middle of the text does not scroll";
    int top = t.edit.topLine;
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(t.edit.DragOverPoint(POINT{20, bottom - 3}));
        EXPECT_GT(t.edit.topLine, top) << "each drag-over near the bottom scrolls on";
        top = t.edit.topLine;
    }
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(t.edit.DragOverPoint(POINT{20, 3}));
        EXPECT_LT(t.edit.topLine, top) << "near the top it scrolls back";
        top = t.edit.topLine;
    }
    EXPECT_FALSE(t.edit.DragOverPoint(POINT{20, bottom + 5})) << "outside the text area";
    t.host.caretSize = SIZE{};
    t.edit.DragLeave();
    EXPECT_EQ(t.host.caretSize.cx, 2) << "the normal caret again";
    EXPECT_EQ(t.host.caretSize.cy, t.edit.lineHeight);
}

TEST_F(MouseTest, AltDragSelectsAColumnBlock)
{
    TestEdit t(L"abcdef\nghijkl\nmnopqr\n");
    t.host.alt = true;
    t.edit.HandleLButtonDown(PointOf(t.edit, 1));
    t.host.alt = false;
    EXPECT_TRUE(t.edit.blockSelection);
    EXPECT_TRUE(t.edit.swallowAltUp) << "the Alt release must not reach the menu";
    t.edit.HandleMouseMove(PointOf(t.edit, 1));  // the anchor corner
    POINT end = {};
    t.edit.PointFromOffset(11, end);  // row 1, before "k"
    t.edit.HandleMouseMove(POINT{end.x + 1, end.y + 4});
    t.edit.HandleLButtonUp(POINT{end.x + 1, end.y + 4});
    EXPECT_EQ(U16(t.edit.GetSelectedText()), u"bcd\nhij");
    ASSERT_TRUE(t.edit.CopySelected());
    EXPECT_EQ(t.host.clipboard.count(CCodeEditCtrl::privateClipboardFormat), 1u);
    // A plain press ends the block.
    t.edit.HandleLButtonDown(PointOf(t.edit, 16));
    EXPECT_FALSE(t.edit.blockSelection);
}

TEST_F(MouseTest, FocusLeavesAndFindsTheCaretWhereItWas)
{
    TestEdit t(XLines(30));
    t.edit.MoveCaretToOffset(6, FALSE, FALSE);
    t.edit.HandleKillFocus();
    EXPECT_EQ(t.edit.dragSelEnd, 6) << "the drop target reads it";
    POINT saved = t.edit.savedScrollPoint;
    t.edit.blockSelection = 1;
    t.edit.HandleScrollBar(SB_VERT, SB_LINEDOWN, 0);
    t.host.systemCaret = POINT{-1, -1};
    t.edit.HandleSetFocus();
    EXPECT_EQ(t.host.systemCaret.x, saved.x);
    EXPECT_EQ(t.host.systemCaret.y, saved.y - t.edit.lineHeight) << "a column block's caret scrolled with the view";
    EXPECT_TRUE(t.host.caretShown);
    t.edit.blockSelection = 0;
    t.edit.readOnly = 1;
    t.host.caretShown = false;
    t.edit.HandleSetFocus();
    EXPECT_FALSE(t.host.caretShown) << "a read-only control shows no caret";
}

TEST_F(MouseTest, ABlockDropIsTestedAgainstTheBlocksRectangle)
{
    TestEdit t(L"abcdef\nghijkl\nmnopqr\n");
    SelectColumnBlock(t.edit, 1, 3, 2);  // columns 1 and 2 of the first two rows
    t.edit.dragSource = 1;
    // Offset 5 ("f") lies between the block's ends but outside its rectangle.
    EXPECT_TRUE(t.edit.OnDrop(CString(L"X\nY"), true, false, PointOf(t.edit, 5)));
    EXPECT_EQ(U16(t.edit.GetTextBuffer().Mid(0, t.edit.GetLength())), u"abcdeXf\nghijkYl\nmnopqr\n");
    t.edit.failures.clear();
    EXPECT_FALSE(t.edit.OnDrop(CString(L"Z"), true, false, PointOf(t.edit, 2))) << "inside the block";
    EXPECT_EQ(t.edit.failures, std::vector<unsigned>{0x800000});
}

TEST_F(MouseTest, ScrollingDownOverACollapsedBlockCountsItAsOneRow)
{
    // "x {" and eight lines and "}" fold into one row; then "y" and 20 lines.
    CString text(L"x {\n1\n2\n3\n4\n5\n6\n7\n8\n}\ny\n");
    text += XLines(20);
    TestEdit t(text);
    t.edit.SetFoldingEnabled(TRUE);
    t.edit.AllowOutlineUpdates(TRUE);
    t.edit.SetAutoOutlining(TRUE);
    t.edit.ReparseOutlineRange(-1, -1);
    ASSERT_EQ(t.edit.outlineRoot.children.size(), 1u);
    t.edit.ToggleOutlineNode(t.edit.outlineRoot.children[0]);
    ASSERT_EQ(t.edit.hiddenLineCount, 9);
    ASSERT_TRUE(t.edit.HandleScrollBar(SB_VERT, SB_LINEDOWN, 0));
    EXPECT_EQ(t.edit.topLine, 1);
    EXPECT_EQ(t.edit.topOffset, 22) << "the row after the block is \"y\"";
    EXPECT_EQ(t.edit.hiddenAboveTop, 9) << "the block's lines lie folded above the top row";
    t.edit.HandleMouseWheel(-120);
    EXPECT_EQ(t.edit.topOffset, 24);
    t.edit.HandleScrollBar(SB_VERT, SB_LINEUP, 0);
    t.edit.HandleScrollBar(SB_VERT, SB_LINEUP, 0);
    EXPECT_EQ(t.edit.topOffset, 0);
}

TEST_F(MouseTest, TheMouseFoldsAndSelectsBlocks)
{
    TestEdit t(L"x {\n1\n2\n}\ny\n");
    t.edit.showOutlineBar = 1;
    t.edit.SetFoldingEnabled(TRUE);
    t.edit.AllowOutlineUpdates(TRUE);
    t.edit.SetAutoOutlining(TRUE);
    t.edit.ReparseOutlineRange(-1, -1);
    t.edit.RecalcLayout();
    ASSERT_EQ(t.edit.outlineRoot.children.size(), 1u);
    CCodeOutlineNode* block = t.edit.outlineRoot.children[0];
    // A click in the outline bar beside the block's first line folds it.
    POINT bar = {t.edit.markerBarWidth + 3, 4};
    t.edit.HandleLButtonDown(bar);
    t.edit.HandleLButtonUp(bar);
    EXPECT_TRUE(block->collapsed);
    EXPECT_EQ(t.edit.hiddenLineCount, 3);
    // A click on the collapsed label (placed by the painter) selects the block's text.
    CEditDisplayList list;
    t.edit.PaintControl(list, nullptr);
    ASSERT_GT(block->labelRect.right, block->labelRect.left);
    POINT label = {block->labelRect.left + 2 - t.edit.scrollColumn * t.edit.maxCharWidth, block->labelRect.top + 4};
    t.edit.HandleLButtonDown(label);
    t.edit.HandleLButtonUp(label);
    EXPECT_EQ(std::min(t.edit.selStart, t.edit.selEnd), block->start);
    EXPECT_EQ(std::max(t.edit.selStart, t.edit.selEnd), block->end + 1);
    // A double click on it unfolds it.
    t.edit.HandleLButtonDblClk(label);
    EXPECT_FALSE(block->collapsed);
    EXPECT_EQ(t.edit.hiddenLineCount, 0);
}
