// Bookmarks, line colours and highlights: the sorted list, flipping and
// deleting, and markers following lines as the text changes.
#include "tests/QvTest.h"

#include "tests/editctrl/EditTestSupport.h"

#include <vector>

namespace {
// Ten lines "L0".."L9", no line feed after the last.
CString TenLines()
{
    CString s;
    for (int i = 0; i < 10; ++i) {
        if (i)
            s += L'\n';
        CString line;
        line.Format(L"L%d", i);
        s += line;
    }
    return s;
}

std::vector<int> LinesOf(const CCodeEditCtrl& e)
{
    std::vector<int> lines;
    for (const CCodeEditMarker* m : e.Markers())
        lines.push_back(m->line);
    return lines;
}

// A control whose markers of bit 0x40000 stay on their line number, as the
// secure editor's are.
class StayingMarkerEdit : public RecordingEdit {
public:
    BOOL MarkerMovesOnInsert(const CCodeEditMarker* m) override { return !(m->type & 0x40000); }
    BOOL MarkerMovesOnDelete(const CCodeEditMarker* m) override { return !(m->type & 0x40000); }
};

int OffsetOfLineStart(const CCodeEditCtrl& e, int line) { return e.GetTextBuffer().LineStart(line); }
}  // namespace

TEST(MarkersTest, TheListIsSortedAndRefusesReservedTypes)
{
    TestEdit t(TenLines());
    EXPECT_TRUE(t.edit.FlipLineMarker(3, 1, 7, FALSE, 0));
    EXPECT_FALSE(t.edit.FlipLineMarker(3, 1, 7, FALSE, 0)) << "the second flip removes it";
    EXPECT_TRUE(t.edit.Markers().empty());

    auto* reserved = new CCodeEditMarker;
    reserved->type = 0x20;
    EXPECT_EQ(t.edit.InsertMarkerSorted(reserved, FALSE), nullptr) << "type 0x20 is refused";
    EXPECT_TRUE(t.edit.Markers().empty());
    delete reserved;

    t.edit.FlipLineMarker(5, 1, 0, FALSE, 0);
    t.edit.FlipLineMarker(5, 2, 0, FALSE, 2);
    t.edit.FlipLineMarker(1, 1, 0, FALSE, 0);
    ASSERT_EQ(t.edit.Markers().size(), 3u);
    EXPECT_EQ(t.edit.Markers().front()->priority, 2u) << "the higher priority first";
    EXPECT_EQ(LinesOf(t.edit), (std::vector<int>{5, 1, 5}));
    EXPECT_EQ(t.edit.FindMarkerOnLine(5, 2)->priority, 2u);
    EXPECT_TRUE(t.edit.HasMarkerOfType(2));
    EXPECT_FALSE(t.edit.HasMarkerOfType(0x10000));

    // The marker bar draws the higher priority last.
    t.edit.gradientMarkers = 0;
    CEditDisplayList list;
    t.edit.PaintControl(list, nullptr);
    int glyphs = 0;
    for (const EditDrawOp& op : list.Ops())
        glyphs += op.kind == EditDrawOp::MARKER;
    EXPECT_EQ(glyphs, 2) << "bookmarks (bit 1) only";

    t.edit.DeleteMarkersOfType(0xFFFFFFFF, TRUE);
    EXPECT_TRUE(t.edit.Markers().empty());
}

TEST(MarkersTest, MarkersFollowInsertedAndDeletedLines)
{
    enum Edit { INSERT_TWO_FEEDS_IN_LINE_3, DELETE_LINE_5, JOIN_LINES_3_AND_4 };
    struct Case {
        const char* name;
        Edit edit;
        std::vector<int> expected;
    } cases[] = {
        {"two line feeds inside line 3 move lines 4 and below by two", INSERT_TWO_FEEDS_IN_LINE_3, {2, 3, 6, 7, 9}},
        {"deleting line 5 up to line 6 removes its marker and moves the rest up", DELETE_LINE_5, {2, 3, 4, 6}},
        {"joining line 3 with line 4 moves the markers below up", JOIN_LINES_3_AND_4, {2, 3, 3, 4, 6}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestEdit t(TenLines());
        for (int line : {2, 3, 4, 5, 7})
            t.edit.FlipLineMarker(line, 1, 0, FALSE, 0);
        switch (c.edit) {
        case INSERT_TWO_FEEDS_IN_LINE_3:
            t.edit.InsertText(CString(L"\n\n"), OffsetOfLineStart(t.edit, 3) + 1, FALSE, FALSE, TRUE, FALSE);
            break;
        case DELETE_LINE_5:
            t.edit.SetSelectionRange(OffsetOfLineStart(t.edit, 5), OffsetOfLineStart(t.edit, 6), FALSE);
            t.edit.DeleteSelectionRange(FALSE, FALSE, FALSE);
            break;
        case JOIN_LINES_3_AND_4:
            t.edit.MoveCaretToOffset(OffsetOfLineStart(t.edit, 4) - 1, FALSE, FALSE);
            t.edit.DeleteChar(FALSE, FALSE);
            break;
        }
        EXPECT_EQ(LinesOf(t.edit), c.expected);
    }
}

TEST(MarkersTest, ALineColourShrinksWithItsDeletedLines)
{
    TestEdit t(TenLines());
    CCodeLineColorMarker* colour = t.edit.AddLineColorMarker(2, 0x0000FF, 0x00FF00, 0, 4, 0, 0);
    ASSERT_NE(colour, nullptr);
    COLORREF text = 0, back = 0;
    EXPECT_TRUE(t.edit.GetLineColorMarker(6, text, back));
    EXPECT_EQ(back, 0x00FF00u);
    EXPECT_FALSE(t.edit.GetLineColorMarker(7, text, back));
    // Delete lines 4 and 5 whole.
    t.edit.SetSelectionRange(OffsetOfLineStart(t.edit, 4), OffsetOfLineStart(t.edit, 6), FALSE);
    t.edit.DeleteSelectionRange(FALSE, FALSE, FALSE);
    EXPECT_EQ(colour->line, 2);
    EXPECT_EQ(colour->lineCount, 2) << "lines 2 to 4";

    // The painter takes the line's colours.
    CEditDisplayList list;
    t.edit.PaintControl(list, nullptr);
    bool painted = false;
    for (const EditDrawOp& op : list.Ops())
        painted = painted || (op.kind == EditDrawOp::TEXT && op.back == 0x00FF00 && op.text == CString(L"L3"));
    EXPECT_TRUE(painted);
}

TEST(MarkersTest, StayingMarkersKeepTheirLineNumber)
{
    TestEditOf<StayingMarkerEdit> t(TenLines());
    StayingMarkerEdit& edit = t.edit;
    edit.FlipLineMarker(5, 0x40000, 0, FALSE, 0);
    edit.FlipLineMarker(6, 1, 0, FALSE, 0);
    edit.InsertText(CString(L"\n"), 0, FALSE, FALSE, TRUE, FALSE);
    EXPECT_EQ(LinesOf(edit), (std::vector<int>{5, 7}));
}

TEST(MarkersTest, StoredFormAndHighlights)
{
    CCodeHiliteMarker hilite;
    hilite.line = 3;
    hilite.priority = 2;
    hilite.data = 0xABCDEF01;
    hilite.startOffset = 10;
    hilite.endOffset = 20;
    std::vector<uint8_t> stored;
    hilite.Store(stored);
    EXPECT_EQ(stored, (std::vector<uint8_t>{3, 0, 0, 0, 8, 0, 0, 0, 2, 0, 0, 0, 0x01, 0xEF, 0xCD, 0xAB, 10, 0, 0, 0,
                                            20, 0, 0, 0}));
    CCodeHiliteMarker loaded;
    const uint8_t* p = stored.data();
    ASSERT_TRUE(loaded.Load(p, stored.data() + stored.size()));
    EXPECT_EQ(loaded.endOffset, 20);
    EXPECT_EQ(loaded.data, 0xABCDEF01u);
    p = stored.data();
    EXPECT_FALSE(loaded.Load(p, stored.data() + 20)) << "a cut-short form is refused";

    TestEdit t(L"abcdefghij");
    auto* marker = new CCodeHiliteMarker;
    marker->startOffset = 2;
    marker->endOffset = 4;
    marker->textColor = 0x111111;
    marker->backColor = 0x222222;
    t.edit.InsertMarkerSorted(marker, FALSE);
    COLORREF text = 0, back = 0;
    EXPECT_FALSE(t.edit.GetHiliteMarker(1, text, back));
    EXPECT_TRUE(t.edit.GetHiliteMarker(3, text, back));
    EXPECT_EQ(back, 0x222222u);
    EXPECT_FALSE(t.edit.GetHiliteMarker(4, text, back)) << "the end is exclusive";
}

namespace {
class SymbolEdit : public RecordingEdit {
public:
    BOOL OnDrawSymbol(CEditDisplayList&, const RECT& cell, const CODE_EDIT_SYM_DEF& symbol) override
    {
        cells.push_back(cell);
        names.push_back(symbol.name);
        return TRUE;
    }
    std::vector<RECT> cells;
    std::vector<CString> names;
};
}  // namespace

TEST(MarkersTest, SymbolsAreDrawnByTheirHook)
{
    TestEditOf<SymbolEdit> t(L"a->b");
    SymbolEdit& edit = t.edit;
    CODE_EDIT_SYM_DEF arrow;
    arrow.name = L"arrow";
    arrow.sequence = L"->";
    edit.symbols.push_back(arrow);
    edit.symbolsEnabled = 1;
    CEditDisplayList list;
    edit.PaintControl(list, nullptr);
    ASSERT_EQ(edit.cells.size(), 1u);
    EXPECT_EQ(edit.names[0], CString(L"arrow"));
    EXPECT_EQ(edit.cells[0].right - edit.cells[0].left, 16) << "the cell of two characters";
    for (const EditDrawOp& op : list.Ops()) {
        if (op.kind == EditDrawOp::TEXT) {
            EXPECT_LT(op.text.Find(L'-'), 0) << "the symbol's characters are not drawn as text";
        }
    }
}

TEST(MarkersTest, GoingToAMarkerFindsItsLineOrFails)
{
    TestEdit t(TenLines());
    t.edit.FlipLineMarker(5, 1, 77, FALSE, 0);
    CCodeEditMarker* marker = t.edit.FindMarker(77);
    ASSERT_NE(marker, nullptr);
    EXPECT_TRUE(t.edit.GoToMarker(marker));
    EXPECT_EQ(t.edit.caretOffset, OffsetOfLineStart(t.edit, 5));
    std::vector<CCodeEditMarker*> found;
    t.edit.CollectMarkers(found, 77);
    EXPECT_EQ(found.size(), 1u);
    marker->line = 40;
    EXPECT_FALSE(t.edit.GoToMarker(marker)) << "a line that does not exist";
    EXPECT_EQ(t.edit.FindMarker(78), nullptr);
}
