#include "tests/QvTest.h"

#include "tests/editctrl/EditTestSupport.h"

// Geometry of every case: 8x16 characters, line height 17 (one pixel of
// spacing), a 400x200 client without scroll bars, the text area starting
// right of the 4-pixel marker bar; tab stops every 32 pixels (4 columns).

TEST(CodeEditNavigationTest, MetricsAndLayoutOfTheFixedFont)
{
    TestEdit t(L"x");
    EXPECT_EQ(t.edit.lineHeight, 17);
    EXPECT_EQ(t.edit.maxCharWidth, 8);
    EXPECT_EQ(t.edit.tabWidth, 32);
    EXPECT_EQ(t.edit.textRect.left, 4);
    EXPECT_EQ(t.edit.textRect.right, 400);
    EXPECT_EQ(t.edit.PageRows(), 11);
}

TEST(CodeEditNavigationTest, OffsetsMapToPointsAndColumns)
{
    TestEdit t(L"ab\tc\nxy");
    struct Case {
        int offset, x, y, column;
    } cases[] = {
        {0, 5, 0, 0},    // the left edge is raised one pixel into the text area
        {2, 20, 0, 2},   // 4 + 2 * 8
        {3, 36, 0, 4},   // after the tab: 4 + 32
        {4, 44, 0, 5},   // the line end
        {6, 12, 17, 1},  // second row
        {99, 20, 17, 2}, // limited to the length
    };
    for (const Case& c : cases) {
        POINT p = {};
        POINT lineAndColumn = {};
        t.edit.PointFromOffset(c.offset, p, &lineAndColumn);
        EXPECT_EQ(p.x, c.x) << "offset " << c.offset;
        EXPECT_EQ(p.y, c.y) << "offset " << c.offset;
        EXPECT_EQ(lineAndColumn.x, c.column) << "offset " << c.offset;
    }
}

TEST(CodeEditNavigationTest, ColumnsCountTabsToTabStopsOnlyWhileTabsAreKept)
{
    TestEdit t(L"\tx\ta");
    EXPECT_EQ(t.edit.ColumnOfOffset(1), 4);
    EXPECT_EQ(t.edit.ColumnOfOffset(3), 8);
    EXPECT_EQ(t.edit.OffsetOfColumn(2, 0), 0) << "a column inside a tab gives the tab";
    EXPECT_EQ(t.edit.OffsetOfColumn(5, 0), 2);
    EXPECT_EQ(t.edit.OffsetOfColumn(50, 0), 4) << "past the end gives the line end";
    t.edit.keepTabs = 0;
    EXPECT_EQ(t.edit.ColumnOfOffset(1), 1);
    EXPECT_EQ(t.edit.OffsetOfColumn(2, 0), 2);
}

TEST(CodeEditNavigationTest, PointsMapToTheNearerCharacterEdge)
{
    TestEdit t(L"abcd\nxy");
    // 'a' spans 5..13: its left half maps to 0, its right half to 1.
    struct Case {
        int x, y, offset, updatedX;
    } cases[] = {
        {6, 3, 0, 5},     {9, 3, 0, 5},     {10, 3, 1, 13},   {36, 3, 3, 29},  // the last character has no half
        {38, 3, 4, 37},  // right of the row end
        {300, 3, 4, 37},  {6, 20, 5, 5},    {100, 20, 7, 21}, {6, 40, 7, 5},   // below the last line
    };
    for (const Case& c : cases) {
        POINT p = {c.x, c.y};
        EXPECT_EQ(t.edit.OffsetFromPoint(p, true, false), c.offset) << c.x << "," << c.y;
        EXPECT_EQ(p.x, c.updatedX) << c.x << "," << c.y;
    }
    POINT outside = {1, 3};
    EXPECT_EQ(t.edit.OffsetFromPoint(outside, false, false), -1) << "the marker bar is outside the text";
}

TEST(CodeEditNavigationTest, EmptyTextEdgeCases)
{
    TestEdit t(L"");
    POINT p = {50, 50};
    EXPECT_EQ(t.edit.OffsetFromPoint(p, false, false), 0);
    EXPECT_FALSE(t.edit.MoveHome(TRUE));
    EXPECT_FALSE(t.edit.MoveLineUp(TRUE, TRUE));
    EXPECT_TRUE(t.edit.MoveTextEnd(TRUE));
    EXPECT_EQ(t.edit.failures, (std::vector<unsigned>{0x400, 0x40}));
}

TEST(CodeEditNavigationTest, HomeTogglesBetweenFirstNonBlankAndLineStart)
{
    TestEdit t(L"x\n    abc");
    t.edit.MoveCaretToOffset(8, TRUE, TRUE);
    ASSERT_TRUE(t.edit.MoveHome(TRUE));
    EXPECT_EQ(t.edit.caretOffset, 6);
    ASSERT_TRUE(t.edit.MoveHome(TRUE));
    EXPECT_EQ(t.edit.caretOffset, 2);
    ASSERT_TRUE(t.edit.MoveHome(TRUE));
    EXPECT_EQ(t.edit.caretOffset, 6);
}

struct WordCase {
    const char* name;
    const WCHAR* text;
    int from;
    int expected;  // -1: refused
};

TEST(CodeEditNavigationTest, WordRightStopsAtEachUnit)
{
    const WordCase cases[] = {
        {"word then plain delimiter run", L"a==b", 0, 1},
        {"equals signs are one run", L"a==b", 1, 3},
        {"same special delimiters are one unit", L";;;x", 0, 3},
        {"line feed stops a special run", L";;\n;;", 0, 2},
        {"line end crosses the feed and leading blanks", L"ab\n  cd", 2, 5},
        {"a tab is not a blank", L"ab\n\tcd", 2, 3},
        {"blank runs are skipped", L"ab  cd", 2, 4},
        {"the last character reaches the end", L"ab", 1, 2},
        {"at the end it is refused", L"ab", 2, -1},
    };
    for (const WordCase& c : cases) {
        TestEdit t(c.text);
        t.edit.MoveCaretToOffset(c.from, TRUE, TRUE);
        BOOL moved = t.edit.MoveWordRight(TRUE);
        if (c.expected < 0) {
            EXPECT_FALSE(moved) << c.name;
            EXPECT_EQ(t.edit.failures, std::vector<unsigned>{0x800}) << c.name;
        } else {
            EXPECT_EQ(t.edit.caretOffset, c.expected) << c.name;
        }
    }
}

TEST(CodeEditNavigationTest, WordLeftStopsAtEachUnit)
{
    const WordCase cases[] = {
        {"line start goes to the previous line end", L"ab\ncd", 3, 2},
        {"word start", L"ab cd", 4, 3},
        {"over blanks to the previous word", L"ab  cd", 4, 0},
        {"plain delimiter run", L"a==b", 3, 1},
        {"special delimiter run", L"x;;;", 4, 1},
        {"blanks at the text start", L"   a", 3, 0},
        {"at the start it is refused", L"ab", 0, -1},
    };
    for (const WordCase& c : cases) {
        TestEdit t(c.text);
        t.edit.MoveCaretToOffset(c.from, TRUE, TRUE);
        BOOL moved = t.edit.MoveWordLeft(TRUE);
        if (c.expected < 0) {
            EXPECT_FALSE(moved) << c.name;
            EXPECT_EQ(t.edit.failures, std::vector<unsigned>{0x1000}) << c.name;
        } else {
            EXPECT_EQ(t.edit.caretOffset, c.expected) << c.name;
        }
    }
}

TEST(CodeEditNavigationTest, LeftAndRightStopAtTheEnds)
{
    TestEdit t(L"ab");
    EXPECT_FALSE(t.edit.MoveLeft(TRUE));
    EXPECT_TRUE(t.edit.MoveRight(TRUE));
    EXPECT_TRUE(t.edit.MoveRight(TRUE));
    EXPECT_FALSE(t.edit.MoveRight(TRUE));
    EXPECT_EQ(t.edit.caretOffset, 2);
    EXPECT_EQ(t.edit.failures, (std::vector<unsigned>{0x10, 0x20}));
}

TEST(CodeEditNavigationTest, VerticalMovesKeepThePreferredColumn)
{
    TestEdit t(L"abcdef\nab\nabcdef");
    t.edit.MoveCaretToOffset(4, TRUE, TRUE);
    t.edit.MoveRight(TRUE);  // column 5 becomes the preferred one
    ASSERT_TRUE(t.edit.MoveLineDown(TRUE, TRUE));
    EXPECT_EQ(t.edit.caretOffset, 9) << "the short line's end";
    ASSERT_TRUE(t.edit.MoveLineDown(TRUE, TRUE));
    EXPECT_EQ(t.edit.caretOffset, 15) << "back on column 5";
    ASSERT_TRUE(t.edit.MoveLineUp(TRUE, TRUE));
    ASSERT_TRUE(t.edit.MoveLineUp(TRUE, TRUE));
    EXPECT_EQ(t.edit.caretOffset, 5);
    EXPECT_FALSE(t.edit.MoveLineUp(TRUE, TRUE));
    EXPECT_EQ(t.edit.failures, std::vector<unsigned>{0x40});
}

namespace {
}  // namespace

TEST(CodeEditNavigationTest, MovingDownPastTheLastFullRowScrollsOneLine)
{
    TestEdit t(XLines(30));
    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(t.edit.MoveLineDown(TRUE, TRUE));
    EXPECT_EQ(t.edit.caretLine, 10);
    EXPECT_EQ(t.edit.topLine, 0) << "row 10 (y 170) is still whole";
    ASSERT_TRUE(t.edit.MoveLineDown(TRUE, TRUE));
    EXPECT_EQ(t.edit.caretLine, 11);
    EXPECT_EQ(t.edit.topLine, 1);
    EXPECT_EQ(t.edit.topOffset, 2);
}

TEST(CodeEditNavigationTest, PagesScrollByTheRowsOfTheTextArea)
{
    TestEdit t(XLines(30));
    ASSERT_TRUE(t.edit.MovePageDown(TRUE));
    EXPECT_EQ(t.edit.topLine, 10) << "a page less one line";
    EXPECT_EQ(t.edit.caretLine, 10);
    ASSERT_TRUE(t.edit.MovePageUp(TRUE));
    EXPECT_EQ(t.edit.topLine, 0);
    EXPECT_EQ(t.edit.caretLine, 0);
    ASSERT_TRUE(t.edit.MoveTextEnd(TRUE));
    EXPECT_EQ(t.edit.caretOffset, 59);
    EXPECT_EQ(t.edit.caretLine, 29);
    EXPECT_GE(t.edit.topLine, 29 - 11);
    ASSERT_TRUE(t.edit.MoveTextStart(TRUE));
    EXPECT_EQ(t.edit.topLine, 0);
    EXPECT_EQ(t.edit.caretOffset, 0);
}

TEST(CodeEditNavigationTest, CaretBeyondTheRightEdgeScrollsByTheStep)
{
    TestEdit t(CString(L'x', 100));
    // 49 visible columns, step 15 percent = 7; x of offset 60 = 4 + 480.
    t.edit.MoveCaretToOffset(60, TRUE, TRUE);
    EXPECT_EQ(t.edit.scrollColumn, (484 - 400) / 8 + 7);
    POINT p = {};
    t.edit.PointFromOffset(60, p);
    EXPECT_GE(p.x, t.edit.textRect.left);
    EXPECT_LT(p.x, t.edit.textRect.right);
}

TEST(CodeEditNavigationTest, BackTabMovesToThePreviousIndentStop)
{
    TestEdit t(L"        x");
    t.edit.MoveCaretToOffset(6, TRUE, TRUE);
    ASSERT_TRUE(t.edit.MoveToIndentStop());
    EXPECT_EQ(t.edit.caretOffset, 4);
    ASSERT_TRUE(t.edit.MoveToIndentStop());
    EXPECT_EQ(t.edit.caretOffset, 0);
    EXPECT_FALSE(t.edit.MoveToIndentStop());
    EXPECT_EQ(t.edit.failures, std::vector<unsigned>{0x2000});
}

TEST(CodeEditNavigationTest, LineLookupsOnALargeTextUseTheIndex)
{
    TestEdit t(XLines(200000));
    EXPECT_EQ(t.edit.LineOfOffset(2 * 150000), 150000);
    EXPECT_EQ(t.edit.OffsetOfLine(150000), 300000);
    EXPECT_EQ(t.edit.OffsetOfLine(200000), -1);
    EXPECT_EQ(t.edit.CountCharInRange(0, 9, L'\n'), 5);
}
