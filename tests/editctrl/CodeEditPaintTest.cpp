#include "tests/QvTest.h"

#include "editctrl/EditColors.h"
#include "tests/editctrl/EditTestSupport.h"

namespace {
const COLORREF BLUE = 0xFF0000, GREEN = 0x008000;

struct PaintedRun {
    std::u16string text;
    int x;
    int top;
    COLORREF color;
    COLORREF back;
};

std::vector<PaintedRun> TextRuns(CCodeEditCtrl& e)
{
    CEditDisplayList list;
    e.PaintControl(list, nullptr);
    std::vector<PaintedRun> runs;
    for (const EditDrawOp& op : list.Ops())
        if (op.kind == EditDrawOp::TEXT)
            runs.push_back({U16(op.text), (int)op.rect.left, (int)op.rect.top, op.color, op.back});
    return runs;
}

std::string Describe(const std::vector<PaintedRun>& runs)
{
    std::string s;
    for (const PaintedRun& r : runs)
        s += "[" + std::string(r.text.begin(), r.text.end()) + "]";
    return s;
}
}  // namespace

TEST(CodeEditPaintTest, KeywordsCommentsAndPlainTextGetTheirColours)
{
    TestEdit t(L"int x; // c\nint");
    t.edit.AddKeyword(L"int", BLUE, -1, TRUE);
    t.edit.AddColorBlock(L"//", L"", FALSE, GREEN, -1, TRUE, FALSE);
    std::vector<PaintedRun> runs = TextRuns(t.edit);
    ASSERT_EQ(runs.size(), 4u) << Describe(runs);
    struct Expected {
        const char16_t* text;
        int x, top;
        COLORREF color;
    } expected[] = {
        {u"int", 5, 0, BLUE}, {u" x; ", 29, 0, 0x000000}, {u"// c", 61, 0, GREEN}, {u"int", 5, 17, BLUE}};
    for (size_t i = 0; i < runs.size(); ++i) {
        EXPECT_EQ(runs[i].text, expected[i].text) << i;
        EXPECT_EQ(runs[i].x, expected[i].x) << i;
        EXPECT_EQ(runs[i].top, expected[i].top) << i;
        EXPECT_EQ(runs[i].color, expected[i].color) << i;
        EXPECT_EQ(runs[i].back, 0xFFFFFFu) << i;
    }
}

TEST(CodeEditPaintTest, SelectionAndSelectedLineEnds)
{
    TestEdit t(L"abcd\nef");
    t.edit.SetDefaultColors();
    t.edit.selStart = 2;
    t.edit.selEnd = 6;  // "cd", the line feed and "e"
    std::vector<PaintedRun> runs = TextRuns(t.edit);
    ASSERT_EQ(runs.size(), 5u) << Describe(runs);
    EXPECT_EQ(runs[0].text, u"ab");
    EXPECT_EQ(runs[1].text, u"cd");
    EXPECT_EQ(runs[1].back, 0xD77800u) << "focused selection";
    EXPECT_EQ(runs[2].text, u" ") << "the selected line feed as one cell";
    EXPECT_EQ(runs[2].x, 37);
    EXPECT_EQ(runs[2].back, 0xD77800u);
    EXPECT_EQ(runs[3].text, u"e");
    EXPECT_EQ(runs[3].back, 0xD77800u);
    EXPECT_EQ(runs[4].text, u"f");
    EXPECT_EQ(runs[4].back, 0xFFFFFFu);

    t.host.focus = false;
    runs = TextRuns(t.edit);
    EXPECT_EQ(runs[1].back, t.edit.selBackColorInactive) << "without the focus the inactive pair";
    EXPECT_EQ(t.edit.selBackColorInactive, InactiveSelectionBack(0xD77800));
}

TEST(CodeEditPaintTest, TopOfTheViewInsideACommentOpenedAbove)
{
    CString body(L"/* open\n");
    for (int i = 0; i < 40; ++i)
        body += L"code\n";
    body += L"end */ int";
    TestEdit t(body);
    t.edit.AddColorBlock(L"/*", L"*/", TRUE, GREEN, -1, TRUE, FALSE);
    t.edit.AddKeyword(L"int", BLUE, -1, TRUE);
    t.edit.ScrollByCode(SB_VERT, SB_THUMBPOSITION, 33, FALSE);
    std::vector<PaintedRun> runs = TextRuns(t.edit);
    ASSERT_FALSE(runs.empty());
    EXPECT_EQ(runs[0].text, u"code");
    EXPECT_EQ(runs[0].color, GREEN);
    const PaintedRun& last = runs.back();
    EXPECT_EQ(last.text, u"int");
    EXPECT_EQ(last.color, BLUE);
}

TEST(CodeEditPaintTest, DarkBackgroundSwitchesToLightTwins)
{
    struct Case {
        COLORREF back;
        bool dark;
    } cases[] = {{RGB(176, 176, 176), true}, {RGB(179, 179, 179), false}, {0, true}, {0xFFFFFF, false}};
    for (const Case& c : cases) {
        TestEdit t(L"int");
        t.edit.backColor = c.back;
        t.edit.AddKeyword(L"int", BLUE, -1, TRUE);
        std::vector<PaintedRun> runs = TextRuns(t.edit);
        EXPECT_EQ(!!t.edit.darkBackground, c.dark) << std::hex << c.back;
        ASSERT_EQ(runs.size(), 1u);
        EXPECT_EQ(runs[0].color, c.dark ? LightTwin(BLUE) : BLUE) << std::hex << c.back;
    }
}

TEST(CodeEditPaintTest, LongLinesArePaintedInRunsThatFitTheBuffer)
{
    CString line(L'x', 5000);
    TestEdit t(line, 40000, 200);
    std::vector<PaintedRun> runs = TextRuns(t.edit);
    std::u16string painted;
    for (const PaintedRun& r : runs) {
        EXPECT_LE(r.text.size(), 2048u);
        painted += r.text;
    }
    EXPECT_EQ(painted, U16(line)) << "the loaded line stays whole and every character is drawn";
    EXPECT_EQ(t.edit.GetLength(), 5000);
}

TEST(CodeEditPaintTest, LineNumberBarWidthFollowsTheDigitCount)
{
    struct Case {
        int lines, width;
    } cases[] = {{9, 40}, {99999, 43}, {100000, 51}};
    for (const Case& c : cases) {
        CString s;
        for (int i = 1; i < c.lines; ++i)
            s += L'\n';
        TestEdit t(s);
        t.edit.showLineNumbers = 1;
        t.edit.UpdateLineNumberWidth();
        EXPECT_EQ(t.edit.lineNumberWidth, c.width) << c.lines << " lines";
    }
}

TEST(CodeEditPaintTest, LineNumbersArePaintedForEveryRowOnScreen)
{
    TestEdit t(L"a\nb\nc");
    t.edit.showLineNumbers = 1;
    t.edit.SetDefaultColors();
    t.edit.RecalcLayout();
    CEditDisplayList list;
    t.edit.PaintControl(list, nullptr);
    std::vector<std::u16string> numbers;
    std::vector<int> tops;
    for (const EditDrawOp& op : list.Ops())
        if (op.kind == EditDrawOp::LINE_NUMBER) {
            numbers.push_back(U16(op.text));
            tops.push_back(op.rect.top);
            EXPECT_EQ(op.color, 0xA08200u);
            EXPECT_EQ(op.rect.left, 4);
            EXPECT_EQ(op.rect.right, 44);
        }
    EXPECT_EQ(numbers, (std::vector<std::u16string>{u"1", u"2", u"3"}));
    EXPECT_EQ(tops, (std::vector<int>{1, 18, 35})) << "rows shrink by the spacing";
    std::vector<PaintedRun> runs = TextRuns(t.edit);
    ASSERT_FALSE(runs.empty());
    EXPECT_EQ(runs[0].x, 4 + 40 + 1) << "text starts right of both bars";
}

TEST(CodeEditPaintTest, HyperlinksAreFoundAndColoured)
{
    TestEdit t(L"see http://x.org now");
    std::vector<PaintedRun> runs = TextRuns(t.edit);
    ASSERT_EQ(runs.size(), 3u) << Describe(runs);
    EXPECT_EQ(runs[1].text, u"http://x.org");
    EXPECT_EQ(runs[1].color, 0xFF0000u);
    ASSERT_EQ(t.edit.hyperlinks.size(), 1u);
    EXPECT_EQ(t.edit.hyperlinks[0].offset, 4);
}

TEST(CodeEditPaintTest, RowInvalidationCoversTheRowOfTheOffset)
{
    TestEdit t(L"a\nb\nc");
    t.host.invalidated.clear();
    t.edit.InvalidateRow(2);
    ASSERT_EQ(t.host.invalidated.size(), 1u);
    RECT r = t.host.invalidated[0];
    EXPECT_EQ(r.top, 16);
    EXPECT_EQ(r.bottom, 35);
    EXPECT_EQ(r.left, 3);
}

TEST(CodeEditPaintTest, ALongLineIsPaintedOnlyAsFarAsTheTextAreaReaches)
{
    // 400 pixels wide: cells from x 5 in steps of 8; the 50th starts at 397, the last one inside.
    CString line(L'a', 3000);
    TestEdit t(line + L"\nb");
    std::vector<PaintedRun> runs = TextRuns(t.edit);
    ASSERT_EQ(runs.size(), 2u) << Describe(runs);
    EXPECT_EQ(runs[0].text, std::u16string(50, u'a'));
    EXPECT_EQ(runs[0].x, 5);
    EXPECT_EQ(runs[1].text, u"b");
    EXPECT_EQ(runs[1].x, 5);
    EXPECT_EQ(runs[1].top, 17);
}

TEST(CodeEditPaintTest, AColumnSelectionColoursTheCellsItsRectangleMeets)
{
    // Cells from x 5 in steps of 8: the rectangle from x 13 to 29 and y 0 to 34
    // meets the second and third cells of the first two rows.
    TestEdit t(L"abcd\nefgh\nijkl");
    t.edit.blockSelection = 1;
    t.edit.blockSelStart = POINT{13, 0};
    t.edit.blockSelEnd = POINT{29, 34};
    CEditDisplayList list;
    t.edit.PaintControl(list, nullptr);
    bool filled = false;
    for (const EditDrawOp& op : list.Ops())
        if (op.kind == EditDrawOp::FILL && op.rect.left == 13 && op.rect.top == 0 && op.rect.right == 29 &&
            op.rect.bottom == 34)
            filled = op.color == t.edit.selBackColor;
    EXPECT_TRUE(filled);
    std::vector<PaintedRun> runs = TextRuns(t.edit);
    ASSERT_EQ(runs.size(), 7u) << Describe(runs);
    const char16_t* texts[] = {u"a", u"bc", u"d", u"e", u"fg", u"h", u"ijkl"};
    for (size_t i = 0; i < runs.size(); ++i) {
        EXPECT_EQ(runs[i].text, texts[i]) << i;
        bool selected = i == 1 || i == 4;
        EXPECT_EQ(runs[i].back, selected ? t.edit.selBackColor : 0xFFFFFFu) << i;
    }
}
