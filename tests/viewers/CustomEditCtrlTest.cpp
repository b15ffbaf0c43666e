// The secure editor's edit control: tag colouring, the find history and its
// wiping, user bookmarks and their glyphs (read back as pixels), markers that
// keep their line, folds kept across re-parses, word tips, the quiet failure
// report, operator tokens, and a double-click on the marker bar of a real
// window. The 8x16 measurer makes rows 17 pixels high. Offsets and expected
// colours counted by hand.
#include "tests/QvTest.h"

#include "editctrl/window/CodeEditWnd.h"
#include "tests/FreedBlockScanner.h"
#include "tests/editctrl/EditTestSupport.h"
#include "viewers/CustomEditCtrl.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

const COLORREF BLUE = 0xFF0000;
const COLORREF RED = 0x0000FF;
const COLORREF PLAIN_TEXT = 0x101010;
const COLORREF PLAIN_BACK = 0xF0F0F0;
const COLORREF KEYWORD = 0x00AA00;
const COLORREF KEYWORD_BACK = 0x202020;

struct CustomEdit : TestEditOf<CCustomEditCtrl> {
    explicit CustomEdit(const WCHAR* initial = L"") : TestEditOf<CCustomEditCtrl>(initial)
    {
        edit.textColor = PLAIN_TEXT;
        edit.backColor = PLAIN_BACK;
        edit.SetBeepFunction(&CustomEdit::RecordBeep);
        beeps.clear();
    }
    ~CustomEdit() override { edit.SetBeepFunction(nullptr); }
    static void RecordBeep(UINT type) { beeps.push_back(type); }
    static std::vector<UINT> beeps;
};
std::vector<UINT> CustomEdit::beeps;

// The colour the painter gave each character of the first row, in order.
std::vector<COLORREF> PaintedColors(CCodeEditCtrl& e, CString& painted)
{
    CEditDisplayList list;
    e.PaintControl(list, nullptr);
    std::vector<COLORREF> colors;
    painted.Empty();
    for (const EditDrawOp& op : list.Ops()) {
        if (op.kind != EditDrawOp::TEXT)
            continue;
        painted += op.text;
        colors.insert(colors.end(), (size_t)op.text.GetLength(), op.color);
    }
    return colors;
}

std::vector<CString> History()
{
    return std::vector<CString>(g_FindHistory.begin(), g_FindHistory.end());
}

int CountMarkers(CCodeEditCtrl& e, int line, uint32_t mask)
{
    std::vector<CCodeEditMarker*> found;
    e.CollectMarkersInRange(line, found, mask, line);
    return (int)found.size();
}

}  // namespace

TEST(CustomEditCtrl, StartsWithRichCopiesAndGradientMarkers)
{
    CCustomEditCtrl control;
    EXPECT_TRUE(control.copyRichText);
    EXPECT_TRUE(control.gradientMarkers);
    EXPECT_FALSE(control.GetXmlColoring());
    EXPECT_FALSE(control.GetMarginBookmarks());
    EXPECT_TRUE(control.wordTips.empty());
    EXPECT_FALSE(control.SetMarginBookmarks(TRUE));
    EXPECT_TRUE(control.SetMarginBookmarks(FALSE));
    EXPECT_FALSE(control.GetMarginBookmarks());
}

TEST(CustomEditCtrl, MakesAnXmlOutlineParserInPlainMode)
{
    CustomEdit t(L"<a>\nx\n</a>");
    CXmlOutlineParser* parser = t.edit.GetXmlOutlineParser();
    ASSERT_NE(parser, nullptr);
    EXPECT_FALSE(parser->GetXmlMode());
    FoldWholeText(t.edit);
    EXPECT_TRUE(t.edit.outlineRoot.children.empty()) << "plain mode knows no tags";

    parser->SetXmlMode(TRUE);
    t.edit.ReparseOutlineRange(-1, -1);
    ASSERT_EQ(1u, t.edit.outlineRoot.children.size());
    const CCodeOutlineNode& element = *t.edit.outlineRoot.children[0];
    EXPECT_EQ(0, element.start);
    EXPECT_EQ(9, element.end);
    EXPECT_EQ(CString(L"<a>"), element.label);
    EXPECT_TRUE(element.IsComplete());
}

TEST(CustomEditCtrl, TagColouringColoursTagsAndLeavesScriptBlocksAndPlainText)
{
    // a0 " "1 "<"2 p3 " "4 c5..s9 "="10 x11 ">"12 " "13 b14 " "15 "<"16 "%"17 "="18 " "19 x20 " "21 "%"22 ">"23
    CustomEdit t(L"a <p class=x> b <%= x %>");
    t.edit.SetXmlColoring(TRUE);
    struct Case {
        const char* fault;
        int offset;
        COLORREF color, back;        // as the language colouring left them
        COLORREF wantColor, wantBack;
    };
    const Case cases[] = {
        {"text outside tags keeps a keyword colour", 0, KEYWORD, KEYWORD_BACK, PLAIN_TEXT, PLAIN_BACK},
        {"blank between tags keeps its colour", 13, KEYWORD, KEYWORD_BACK, PLAIN_TEXT, PLAIN_BACK},
        {"'<' not blue", 2, PLAIN_TEXT, PLAIN_BACK, BLUE, PLAIN_BACK},
        {"'<' keeps a keyword back colour", 2, KEYWORD, KEYWORD_BACK, BLUE, KEYWORD_BACK},
        {"'>' not blue", 12, PLAIN_TEXT, PLAIN_BACK, BLUE, PLAIN_BACK},
        {"tag name not red", 3, PLAIN_TEXT, PLAIN_BACK, RED, PLAIN_BACK},
        {"blank inside a tag not red", 4, PLAIN_TEXT, PLAIN_BACK, RED, PLAIN_BACK},
        {"attribute not red", 5, PLAIN_TEXT, PLAIN_BACK, RED, PLAIN_BACK},
        {"keyword inside a tag recoloured", 5, KEYWORD, KEYWORD_BACK, KEYWORD, KEYWORD_BACK},
        {"'=' not blue", 10, PLAIN_TEXT, PLAIN_BACK, BLUE, PLAIN_BACK},
        {"value not red", 11, PLAIN_TEXT, PLAIN_BACK, RED, PLAIN_BACK},
        {"script '=' recoloured", 18, PLAIN_TEXT, PLAIN_BACK, PLAIN_TEXT, PLAIN_BACK},
        {"script text recoloured", 20, KEYWORD, KEYWORD_BACK, KEYWORD, KEYWORD_BACK},
        {"script '<' not blue", 16, KEYWORD, KEYWORD_BACK, BLUE, KEYWORD_BACK},
    };
    for (const Case& c : cases) {
        COLORREF color = c.color, back = c.back;
        t.edit.AdjustCharColor(t.edit.GetCharAt(c.offset), c.offset, color, back);
        EXPECT_EQ(c.wantColor, color) << c.fault;
        EXPECT_EQ(c.wantBack, back) << c.fault;
    }
    t.edit.SetXmlColoring(FALSE);
    COLORREF color = KEYWORD, back = KEYWORD_BACK;
    t.edit.AdjustCharColor(L'<', 2, color, back);
    EXPECT_EQ(KEYWORD, color) << "colouring off changes nothing";
    EXPECT_EQ(KEYWORD_BACK, back);
}

TEST(CustomEditCtrl, ThePainterDrawsTagsInTagColoursAndScriptBlocksInTheirOwn)
{
    CustomEdit t(L"a <p class=x> <%= x %>");
    t.edit.AddKeyword(L"class", KEYWORD, (COLORREF)-1, TRUE);
    t.edit.AddColorBlock(L"<%", L"%>", FALSE, KEYWORD, (COLORREF)-1, TRUE, FALSE);
    t.edit.SetXmlColoring(TRUE);
    CString painted;
    std::vector<COLORREF> colors = PaintedColors(t.edit, painted);
    ASSERT_EQ(CString(L"a <p class=x> <%= x %>"), painted.Left(22));
    const COLORREF P = PLAIN_TEXT, B = BLUE, R = RED, K = KEYWORD;
    const std::vector<COLORREF> want = {P, P, B, R, R, K, K, K, K, K, B, R, B, P, K, K, K, K, K, K, K, K};
    for (size_t i = 0; i < want.size(); ++i)
        EXPECT_EQ(want[i], colors[i]) << "character " << i << " '" << (char)painted[(int)i] << "'";
}

TEST(CustomEditCtrl, TheFindHistoryHoldsEachTextOnceNewestLast)
{
    g_FindHistory.clear();
    CustomEdit t(L"abc def abc ABC");
    EXPECT_TRUE(t.edit.FindAndSelect(L"abc", TRUE, TRUE, FALSE));
    EXPECT_TRUE(t.edit.FindAndSelect(L"def", TRUE, TRUE, FALSE));
    EXPECT_TRUE(t.edit.FindAndSelect(L"abc", TRUE, TRUE, FALSE));
    EXPECT_EQ((std::vector<CString>{L"def", L"abc"}), History());
    EXPECT_EQ(8, t.edit.selStart) << "the search itself still runs";
    EXPECT_EQ(11, t.edit.selEnd);
    EXPECT_FALSE(t.edit.FindAndSelect(L"zzz", TRUE, TRUE, FALSE)) << "a failed search is still reported";
    EXPECT_TRUE(t.edit.FindAndSelect(L"ABC", TRUE, TRUE, FALSE));
    EXPECT_EQ((std::vector<CString>{L"def", L"abc", L"zzz", L"ABC"}), History()) << "compared exactly";
    CustomEdit other(L"def");
    other.edit.FindAndSelect(L"def", TRUE, TRUE, FALSE);
    EXPECT_EQ((std::vector<CString>{L"abc", L"zzz", L"ABC", L"def"}), History()) << "shared by every control";
    g_FindHistory.clear();
}

TEST(CustomEditCtrl, SearchedTextsLeaveNoPlaintextInFreedMemory)
{
    g_FindHistory.clear();
    const std::string marker = MakeFreedBlockMarker("QVFIND");
    const CString searched(marker.c_str());
    {
        CustomEdit t(L"nothing to find here");
        CFreedBlockScanner scan(marker);
        t.edit.FindAndSelect(searched, TRUE, TRUE, FALSE);
        t.edit.FindAndSelect(L"other", TRUE, TRUE, FALSE);
        t.edit.FindAndSelect(searched, TRUE, TRUE, FALSE);  // the old entry goes
        g_FindHistory.clear();
        scan.Stop();
        EXPECT_GT(scan.BlocksScanned(), 0u);
        EXPECT_EQ(scan.Hits(), 0u) << scan.Report();
    }
}

TEST(CustomEditCtrl, ABookmarkToggledTwiceLeavesNoMarker)
{
    CustomEdit t(L"l0\nl1\nl2");
    EXPECT_EQ(1, t.edit.ToggleUserBookmark(1));
    EXPECT_EQ(1, CountMarkers(t.edit, 1, MARKER_USER_BOOKMARK));
    EXPECT_EQ(1, CountMarkers(t.edit, 1, MARKER_BOOKMARK_LINE));
    auto* line = static_cast<CCodeLineColorMarker*>(t.edit.FindMarkerOnLine(1, MARKER_BOOKMARK_LINE));
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(0x00000000u, line->textColor);
    EXPECT_EQ(0x7F7FFFu, line->backColor) << "salmon, RGB(255,127,127)";
    EXPECT_EQ(1, line->option);
    EXPECT_EQ(0, line->lineCount);
    EXPECT_EQ(2u, line->priority);
    COLORREF text = 0, back = 0;
    EXPECT_TRUE(t.edit.GetLineColorMarker(1, text, back));
    EXPECT_EQ(0x7F7FFFu, back);

    EXPECT_EQ(0, t.edit.ToggleUserBookmark(1));
    EXPECT_EQ(0, CountMarkers(t.edit, 1, MARKER_USER_BOOKMARK | MARKER_BOOKMARK_LINE));
    EXPECT_TRUE(t.edit.Markers().empty());
}

TEST(CustomEditCtrl, BookmarksGoOnTheCaretLineAndClearTogether)
{
    CustomEdit t(L"l0\nl1\nl2");
    t.edit.MoveCaretToOffset(7, FALSE, FALSE);
    EXPECT_EQ(1, t.edit.ToggleUserBookmark());
    EXPECT_EQ(1, t.edit.ToggleUserBookmark(0));
    EXPECT_EQ(1, CountMarkers(t.edit, 2, MARKER_USER_BOOKMARK));
    t.edit.FlipLineMarker(1, MARKER_TYPE_BOOKMARK, 0, FALSE, 0);
    t.edit.ClearUserBookmarks();
    EXPECT_EQ(0, CountMarkers(t.edit, 0, MARKER_USER_BOOKMARK | MARKER_BOOKMARK_LINE));
    EXPECT_EQ(0, CountMarkers(t.edit, 2, MARKER_USER_BOOKMARK | MARKER_BOOKMARK_LINE));
    EXPECT_EQ(1, CountMarkers(t.edit, 1, MARKER_TYPE_BOOKMARK)) << "other markers stay";
}

TEST(CustomEditCtrl, FixedMarkersKeepTheirLineWhileOthersMoveWithTheText)
{
    CustomEdit t(L"l0\nl1\nl2\nl3");
    t.edit.FlipLineMarker(2, MARKER_USER_BOOKMARK, 0, FALSE, 0);
    t.edit.FlipLineMarker(2, MARKER_FIXED_LINE | MARKER_YELLOW_GLYPH, 0, FALSE, 0);
    t.edit.InsertText(L"new\n", 0, FALSE, FALSE, TRUE, FALSE);
    EXPECT_EQ(1, CountMarkers(t.edit, 3, MARKER_USER_BOOKMARK));
    EXPECT_EQ(1, CountMarkers(t.edit, 2, MARKER_FIXED_LINE));
    EXPECT_FALSE(t.edit.MarkerMovesOnInsert(t.edit.FindMarkerOnLine(2, MARKER_FIXED_LINE)));
    EXPECT_FALSE(t.edit.MarkerMovesOnDelete(t.edit.FindMarkerOnLine(2, MARKER_FIXED_LINE)));
    EXPECT_TRUE(t.edit.MarkerMovesOnDelete(t.edit.FindMarkerOnLine(3, MARKER_USER_BOOKMARK)));
}

TEST(CustomEditCtrl, AFoldSurvivesARebuildOfTheSameBlockAndOpensWhenItsEndMoves)
{
    // x0 " "1 "{"2 "\n"3 a4 "\n"5 b6 "\n"7 "}"8 "\n"9 y10
    CustomEdit t(L"x {\na\nb\n}\ny");
    FoldWholeText(t.edit);
    ASSERT_EQ(1u, t.edit.outlineRoot.children.size());
    CCodeOutlineNode* before = t.edit.outlineRoot.children[0];
    t.edit.ToggleOutlineNode(before);
    ASSERT_TRUE(before->collapsed);
    // A brace pair right after the block: the update re-parses the block too.
    t.edit.InsertText(L"{}", 9, TRUE, FALSE, TRUE, FALSE);
    ASSERT_EQ(2u, t.edit.outlineRoot.children.size());
    CCodeOutlineNode* rebuilt = t.edit.outlineRoot.children[0];
    EXPECT_NE(before, rebuilt) << "the block was not rebuilt: the test proves nothing";
    EXPECT_EQ(2, rebuilt->start);
    EXPECT_EQ(8, rebuilt->end);
    EXPECT_TRUE(rebuilt->collapsed);
    EXPECT_FALSE(t.edit.outlineRoot.children[1]->collapsed);
    EXPECT_EQ(3, t.edit.hiddenLineCount);

    // A brace inside moves the block's end: the rebuilt block is open.
    t.edit.InsertText(L"}", 4, TRUE, FALSE, TRUE, FALSE);
    CCodeOutlineNode* moved = t.edit.outlineRoot.FindInnermostNodeAt(2);
    ASSERT_NE(moved, nullptr);
    EXPECT_EQ(2, moved->start);
    EXPECT_EQ(4, moved->end);
    EXPECT_FALSE(moved->collapsed);
    EXPECT_EQ(0, t.edit.hiddenLineCount);
}

TEST(CustomEditCtrl, WordTipsComeFromTheMap)
{
    CustomEdit t(L"foo bar");
    t.edit.wordTips[L"foo"] = L"the foo tip";
    CString tip(L"foo");
    EXPECT_TRUE(t.edit.GetTipText(tip));
    EXPECT_EQ(CString(L"the foo tip"), tip);
    tip = L"bar";
    EXPECT_FALSE(t.edit.GetTipText(tip));
    EXPECT_EQ(CString(L"bar"), tip);
}

TEST(CustomEditCtrl, ACollapsedBlocksTipShowsUnchanged)
{
    // a0 " "1 "{"2 "\n"3 b4 "\n"5 "}"6: the label sits after "a {".
    CustomEdit t(L"a {\nb\n}");
    FoldWholeText(t.edit);
    ASSERT_EQ(1u, t.edit.outlineRoot.children.size());
    t.edit.ToggleOutlineNode(t.edit.outlineRoot.children[0]);
    CEditDisplayList list;
    t.edit.PaintControl(list, nullptr);
    t.edit.tipPoint = POINT{40, 5};
    CString shown;
    ASSERT_TRUE(t.edit.GetCollapsedTextAtPoint(40, 5, shown, TRUE));
    CString tip(shown);
    EXPECT_TRUE(t.edit.GetTipText(tip));
    EXPECT_EQ(shown, tip);
    tip = L"other";
    EXPECT_FALSE(t.edit.GetTipText(tip));
}

TEST(CustomEditCtrl, FailedEditsBeepExceptTheQuietCodes)
{
    struct Case {
        const char* fault;
        unsigned code;
        size_t beeps;
    };
    const Case cases[] = {
        {"nothing-to-delete beeps", EDIT_FAIL_NO_SELECTION_DELETE, 0},
        {"indent failure beeps", EDIT_FAIL_INDENT, 0},
        {"drop failure beeps", EDIT_FAIL_DROP, 0},
        {"undo failure silent", EDIT_FAIL_UNDO, 1},
        {"cut-copy failure taken for nothing-to-delete", EDIT_FAIL_CUT_COPY, 1},
        {"read-only paste silent", EDIT_FAIL_READ_ONLY_PASTE, 1},
    };
    for (const Case& c : cases) {
        CustomEdit t;
        t.edit.OnEditFailure(c.code);
        ASSERT_EQ(c.beeps, CustomEdit::beeps.size()) << c.fault;
        if (c.beeps) {
            EXPECT_EQ(0xFFFFFFFFu, CustomEdit::beeps[0]) << c.fault;
        }
    }
    CustomEdit t(L"ab");
    t.edit.MoveCaretToOffset(0, FALSE, FALSE);
    EXPECT_FALSE(t.edit.MoveLeft(FALSE));
    EXPECT_EQ(1u, CustomEdit::beeps.size()) << "a refused caret move beeps";
}

TEST(CustomEditCtrl, ReadsOperatorTokensBackwards)
{
    struct Case {
        const char* fault;
        const WCHAR* text;
        int offset;
        BOOL read;
        const WCHAR* token;
        int offsetAfter;
    };
    const Case cases[] = {
        {"arrow with blanks not read", L"a - > b", 4, TRUE, L"->", 1},
        {"plain arrow not read", L"a->b", 2, TRUE, L"->", 0},
        {"'>' alone read as an arrow", L"a>b", 1, FALSE, L"", 1},
        {"dot not read", L"x.y", 1, TRUE, L".", 0},
        {"scope not read", L"a::b", 2, TRUE, L"::", 0},
        {"scope with a line break not read", L"a:\n\t:b", 4, TRUE, L"::", 0},
        {"single colon read as scope", L"a:b", 1, FALSE, L"", 1},
        {"arrow at the text's start", L"-\n>", 2, TRUE, L"->", -1},
        {"'>' first read past the start", L">", 0, FALSE, L"", 0},
        {"other character read", L"abc", 1, FALSE, L"", 1},
        {"offset past the text read", L"a.", 5, FALSE, L"", 5},
        {"negative offset read", L".", -1, FALSE, L"", -1},
    };
    for (const Case& c : cases) {
        CustomEdit t;
        int offset = c.offset;
        CString token;
        EXPECT_EQ(c.read, t.edit.ReadOperatorToken(c.text, offset, token)) << c.fault;
        EXPECT_EQ(CString(c.token), token) << c.fault;
        EXPECT_EQ(c.offsetAfter, offset) << c.fault;
    }
}

TEST(CustomEditCtrl, SkipsCharactersOfASet)
{
    struct Case {
        const char* fault;
        const WCHAR* text;
        int offset;
        BOOL forwards;
        int result;
    };
    const Case cases[] = {
        {"forwards stops late", L"  ab", 0, TRUE, 2},
        {"forwards moves off a non-member", L"ab  ", 1, TRUE, 1},
        {"forwards runs past the end", L"a  ", 1, TRUE, 3},
        {"backwards does not step first", L"ab  c", 4, FALSE, 1},
        {"backwards stops at the start", L"  ab", 2, FALSE, -1},
        {"backwards skips the offset's own character", L"a b", 2, FALSE, 0},
    };
    for (const Case& c : cases) {
        int offset = c.offset;
        EXPECT_EQ(c.result, SkipCharsInSet(c.text, L" ", offset, c.forwards)) << c.fault;
        EXPECT_EQ(c.result, offset) << c.fault;
    }
}

TEST(CustomEditCtrl, MarkerGlyphsAreRoundAndColouredAsPixels)
{
    struct Case {
        const char* fault;
        uint32_t type;
        RECT ellipse;   // expected bounds
        COLORREF fill;  // at the centre
    };
    // Rectangle 20x12: the bookmark shrinks to 1..19 x 1..11, height 10,
    // left 1 + 18/2 - 10/2 = 5, so the circle spans 5..15.
    const RECT cell = {0, 0, 20, 12};
    const Case cases[] = {
        {"bookmark not a centred dark red circle", MARKER_USER_BOOKMARK, {5, 1, 15, 11}, RGB(127, 0, 0)},
        {"yellow glyph not filling its cell", MARKER_YELLOW_GLYPH, {0, 0, 20, 12}, RGB(255, 255, 0)},
        {"bookmark bit not taking precedence", MARKER_USER_BOOKMARK | MARKER_YELLOW_GLYPH, {5, 1, 15, 11},
         RGB(127, 0, 0)},
    };
    CCustomEditCtrl control;
    CCodeEditWnd painter(control);
    for (const Case& c : cases) {
        CCodeEditMarker marker;
        marker.type = c.type;
        CEditDisplayList list;
        control.DrawMarkerGlyph(list, cell, marker);
        ASSERT_EQ(1u, list.Ops().size()) << c.fault;
        const EditDrawOp& op = list.Ops()[0];
        EXPECT_EQ(EditDrawOp::ELLIPSE, op.kind) << c.fault;
        EXPECT_EQ(c.ellipse.left, op.rect.left) << c.fault;
        EXPECT_EQ(c.ellipse.top, op.rect.top) << c.fault;
        EXPECT_EQ(c.ellipse.right, op.rect.right) << c.fault;
        EXPECT_EQ(c.ellipse.bottom, op.rect.bottom) << c.fault;

        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = 20;
        info.bmiHeader.biHeight = -12;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        HDC dc = ::CreateCompatibleDC(nullptr);
        HBITMAP dib = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        ASSERT_NE(dib, nullptr);
        HGDIOBJ old = ::SelectObject(dc, dib);
        RECT all = {0, 0, 20, 12};
        ::FillRect(dc, &all, (HBRUSH)::GetStockObject(WHITE_BRUSH));
        HFONT font = (HFONT)::GetStockObject(DEFAULT_GUI_FONT);
        painter.ExecuteDisplayList(dc, list, font, font);
        ::GdiFlush();
        auto pixel = [&](int x, int y) {
            uint32_t v = static_cast<const uint32_t*>(bits)[y * 20 + x];
            return (COLORREF)RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
        };
        const int cx = (c.ellipse.left + c.ellipse.right) / 2, cy = (c.ellipse.top + c.ellipse.bottom) / 2;
        EXPECT_EQ(c.fill, pixel(cx, cy)) << c.fault;
        // The outline: the first painted pixel of the middle row is dark red.
        int x = 0;
        while (x < 20 && pixel(x, cy) == RGB(255, 255, 255))
            ++x;
        EXPECT_EQ(c.ellipse.left, x) << c.fault;
        EXPECT_EQ(RGB(127, 0, 0), pixel(x, cy)) << c.fault;
        EXPECT_EQ(RGB(255, 255, 255), pixel(c.ellipse.left, c.ellipse.top)) << c.fault << ": corner painted";
        ::SelectObject(dc, old);
        ::DeleteObject(dib);
        ::DeleteDC(dc);
    }
    CCodeEditMarker other;
    other.type = MARKER_TYPE_BOOKMARK;
    CEditDisplayList list;
    control.DrawMarkerGlyph(list, cell, other);
    ASSERT_FALSE(list.Ops().empty());
    EXPECT_EQ(EditDrawOp::FILL, list.Ops()[0].kind) << "other markers keep the base's gradient glyph";
}

TEST(CustomEditCtrl, ADoubleClickOnTheMarkerBarTogglesABookmark)
{
    CustomEdit t(L"l0\nl1 word\nl2");
    t.edit.MoveCaretToOffset(4, FALSE, FALSE);
    const POINT onBar = {1, 20}, inText = {40, 20};
    t.edit.HandleLButtonDblClk(onBar);
    EXPECT_EQ(0, CountMarkers(t.edit, 1, MARKER_USER_BOOKMARK)) << "margin bookmarks are off";
    t.edit.SetMarginBookmarks(TRUE);
    t.edit.HandleLButtonDblClk(inText);
    EXPECT_EQ(0, CountMarkers(t.edit, 1, MARKER_USER_BOOKMARK)) << "a click in the text set one";
    t.edit.MoveCaretToOffset(4, FALSE, FALSE);
    t.edit.HandleLButtonDblClk(onBar);
    EXPECT_EQ(1, CountMarkers(t.edit, 1, MARKER_USER_BOOKMARK));
    t.edit.MoveCaretToOffset(4, FALSE, FALSE);
    t.edit.HandleLButtonDblClk(onBar);
    EXPECT_EQ(0, CountMarkers(t.edit, 1, MARKER_USER_BOOKMARK));
}

TEST(CustomEditCtrl, ADoubleClickMessageOnTheMarkerBarOfARealWindowSetsABookmark)
{
    CCustomEditCtrl control;
    control.SetMarginBookmarks(TRUE);
    CWnd parent;
    const WCHAR* cls = CWnd::RegisterWndClass(0, nullptr, (HBRUSH)(COLOR_WINDOW + 1));
    ASSERT_TRUE(parent.CreateEx(0, cls, L"custom edit host", WS_OVERLAPPEDWINDOW, 0, 0, 360, 260, nullptr, nullptr));
    {
        CCodeEditWnd window(control);
        RECT r = {0, 0, 320, 200};
        ASSERT_TRUE(window.CreateEditWindow(WS_CHILD | WS_VISIBLE, r, &parent, 100));
        window.SendMessage(WM_SETTEXT, 0, (LPARAM)L"first\nsecond");
        control.MoveCaretToOffset(0, FALSE, FALSE);
        window.SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(1, 4));
        EXPECT_EQ(1, CountMarkers(control, 0, MARKER_USER_BOOKMARK));
        EXPECT_EQ(1, CountMarkers(control, 0, MARKER_BOOKMARK_LINE));
        parent.DestroyWindow();
    }
}

// Random toggles, clears and searches against a small model, step by step.
TEST(CustomEditCtrl, BookmarksAndTheFindHistoryFollowTheirModel)
{
    g_FindHistory.clear();
    CustomEdit t(L"l0\nl1\nl2\nl3\nl4\nl5");
    const WCHAR* const texts[] = {L"l1", L"l", L"L1", L"x", L"l5"};
    std::vector<bool> marked(6, false);
    std::vector<CString> history;
    unsigned state = 20261211;
    auto next = [&state](unsigned n) {
        state = state * 1103515245u + 12345u;
        return (state >> 16) % n;
    };
    for (int step = 0; step < 400; ++step) {
        unsigned op = next(10);
        if (op < 6) {
            int line = (int)next(6);
            marked[(size_t)line] = !marked[(size_t)line];
            ASSERT_EQ(marked[(size_t)line] ? 1 : 0, t.edit.ToggleUserBookmark(line)) << "step " << step;
        } else if (op == 6) {
            t.edit.ClearUserBookmarks();
            marked.assign(6, false);
        } else {
            CString what(texts[next(5)]);
            history.erase(std::remove(history.begin(), history.end(), what), history.end());
            history.push_back(what);
            t.edit.FindAndSelect(what, next(2) != 0, TRUE, FALSE);
        }
        for (int line = 0; line < 6; ++line) {
            const int want = marked[(size_t)line] ? 1 : 0;
            ASSERT_EQ(want, CountMarkers(t.edit, line, MARKER_USER_BOOKMARK)) << "step " << step << " line " << line;
            ASSERT_EQ(want, CountMarkers(t.edit, line, MARKER_BOOKMARK_LINE)) << "step " << step << " line " << line;
        }
        ASSERT_EQ(history, History()) << "step " << step;
    }
    g_FindHistory.clear();
}

// The tooltip's request for a text: the word under the mouse maps to its tip,
// a collapsed block's text shows as it is, other words show nothing.
TEST(CustomEditCtrl, TheTooltipAsksForMappedWordsAndCollapsedBlocks)
{
    // f0 o1 o2 " "3 "{"4 "\n"5 b6 "\n"7 "}"8 " "9 q10: text from x 5, 8 pixels a character.
    CustomEdit t(L"foo {\nb\n} q");
    t.edit.wordTips[L"foo"] = L"the foo tip";
    t.edit.SetTipsEnabled(TRUE);
    const WCHAR* shown = nullptr;
    ASSERT_TRUE(t.edit.OnTipNeedText(POINT{8, 5}, &shown));
    EXPECT_EQ(CString(L"the foo tip"), CString(shown));

    FoldWholeText(t.edit);
    ASSERT_EQ(1u, t.edit.outlineRoot.children.size());
    t.edit.ToggleOutlineNode(t.edit.outlineRoot.children[0]);
    CEditDisplayList list;
    t.edit.PaintControl(list, nullptr);
    const POINT onLabel = {48, 5};
    CString blockText;
    ASSERT_TRUE(t.edit.GetCollapsedTextAtPoint(onLabel.x, onLabel.y, blockText, TRUE));
    ASSERT_TRUE(t.edit.OnTipNeedText(onLabel, &shown));
    EXPECT_EQ(blockText, CString(shown));
    EXPECT_EQ(onLabel.x, t.edit.tipPoint.x);
}
