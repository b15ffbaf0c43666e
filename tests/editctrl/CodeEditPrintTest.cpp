// Printing through the core: pagination with the printer's metrics, the
// continue flag and the last page, and the screen's view left alone. The
// printer measurer is 10x20 (rows 21 high), the screen's 8x16.
#include "tests/QvTest.h"

#include "framework/base/CPrintInfo.h"
#include "tests/editctrl/EditTestSupport.h"

namespace {
CString Lines(int count)
{
    CString text;
    for (int i = 1; i <= count; ++i) {
        CString line;
        line.Format(i < count ? L"L%d\n" : L"L%d", i);
        text += line;
    }
    return text;
}

CString FirstText(const CEditDisplayList& list)
{
    for (const EditDrawOp& op : list.Ops())
        if (op.kind == EditDrawOp::TEXT)
            return op.text;
    return CString();
}
}  // namespace

TEST(CodeEditPrintTest, OneHundredTwentyLinesAtFiftyAPageGiveThreePages)
{
    TestEdit t(Lines(120), 400, 200);
    t.edit.MoveCaretToOffset(t.edit.OffsetOfLine(70), TRUE, TRUE);
    const POINT caret = t.edit.caretPos;
    const int topLine = t.edit.topLine, topOffset = t.edit.topOffset, lineHeight = t.edit.lineHeight;
    const RECT textRect = t.edit.textRect;
    const size_t invalidated = t.host.invalidated.size();

    FixedMeasurer printer(10, 20);
    CPrintInfo info;
    // 50 rows of 21 pixels and two rows' margin on each side.
    info.m_rectDraw = RECT{0, 0, 800, 50 * 21 + 4 * 21};
    t.edit.BeginPrintPages(info);
    std::vector<CString> firsts;
    for (info.m_nCurPage = 1; info.m_bContinuePrinting && info.m_nCurPage < 10; ++info.m_nCurPage) {
        CEditDisplayList list;
        ASSERT_TRUE(t.edit.PrintPage(list, printer, info));
        firsts.push_back(FirstText(list));
        // Nothing the screen shows moves while a page is printed.
        EXPECT_EQ(t.edit.caretPos.y, caret.y);
        EXPECT_EQ(t.edit.topLine, topLine);
        EXPECT_EQ(t.edit.lineHeight, lineHeight);
    }
    t.edit.EndPrintPages(info);
    ASSERT_EQ(firsts.size(), 3u);
    EXPECT_EQ(firsts[0], CString(L"L1"));
    EXPECT_EQ(firsts[1], CString(L"L51"));
    EXPECT_EQ(firsts[2], CString(L"L101"));
    EXPECT_EQ(info.GetMaxPage(), 3u);
    EXPECT_FALSE(info.m_bContinuePrinting);
    EXPECT_EQ(t.edit.caretPos.x, caret.x);
    EXPECT_EQ(t.edit.topOffset, topOffset);
    EXPECT_TRUE(::EqualRect(&t.edit.textRect, &textRect));
    EXPECT_GT(t.host.invalidated.size(), invalidated) << "the screen repaints its labels afterwards";
    // Printing used the printer's rows: page 2's text starts two rows (42 pixels) down.
    CPrintInfo again;
    again.m_rectDraw = info.m_rectDraw;
    again.m_nCurPage = 2;
    CEditDisplayList list;
    t.edit.BeginPrintPages(again);
    ASSERT_TRUE(t.edit.PrintPage(list, printer, again));
    for (const EditDrawOp& op : list.Ops())
        if (op.kind == EditDrawOp::TEXT) {
            EXPECT_EQ(op.rect.top, 42);
            EXPECT_EQ(op.rect.bottom, 63);
            break;
        }
    EXPECT_TRUE(again.m_bContinuePrinting);
}

TEST(CodeEditPrintTest, AnEmptyTextPrintsOnePageAndAPagePastTheEndNone)
{
    TestEdit t(L"");
    FixedMeasurer printer(10, 20);
    CPrintInfo info;
    info.m_rectDraw = RECT{0, 0, 800, 600};
    CEditDisplayList list;
    EXPECT_TRUE(t.edit.PrintPage(list, printer, info));
    EXPECT_FALSE(info.m_bContinuePrinting);
    TestEdit u(L"a\nb");
    CPrintInfo past;
    past.m_rectDraw = info.m_rectDraw;
    past.m_nCurPage = 4;
    EXPECT_FALSE(u.edit.PrintPage(list, printer, past));
    EXPECT_FALSE(past.m_bContinuePrinting);
}
