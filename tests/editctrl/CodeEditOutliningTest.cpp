// Folding in the control: collapsing and expanding, hidden lines, mapping and
// caret movement over a collapsed block, editing beside one, re-parsing, and
// what the painter draws for labels and the outline bar. The 8x16 measurer
// makes rows 17 pixels high; text starts at x 5. Offsets counted by hand.
#include "tests/QvTest.h"

#include "tests/editctrl/EditTestSupport.h"

namespace {
// x0 " "1 "{"2, then lines "1".."8", "}"20, line feed 21, "y"22: the block
// 2..20 holds 9 line feeds.
const WCHAR BLOCK_TEXT[] = L"x {\n1\n2\n3\n4\n5\n6\n7\n8\n}\ny";

void FoldAll(CCodeEditCtrl& e) { FoldWholeText(e); }

CCodeOutlineNode* OnlyBlock(CCodeEditCtrl& e)
{
    return e.outlineRoot.children.size() == 1 ? e.outlineRoot.children[0] : nullptr;
}

struct CollapsedEdit : TestEdit {
    CollapsedEdit() : TestEdit(BLOCK_TEXT)
    {
        FoldAll(edit);
        block = OnlyBlock(edit);
        if (block)
            edit.ToggleOutlineNode(block);
    }
    CCodeOutlineNode* block = nullptr;
};

// Counts the nodes each update reports.
class CountingEdit : public CCodeEditCtrl {
public:
    void OnOutlineNodeAdded(CCodeOutlineNode*) override { ++added; }
    int added = 0;
};
}  // namespace

TEST(CodeEditOutliningTest, CollapsingHidesTheBlocksLinesAndExpandingShowsThem)
{
    CollapsedEdit t;
    ASSERT_NE(t.block, nullptr);
    EXPECT_EQ(t.block->start, 2);
    EXPECT_EQ(t.block->end, 20);
    EXPECT_EQ(t.edit.hiddenLineCount, 9);
    EXPECT_EQ(t.edit.LineOfOffset(22, true, true), 1);
    EXPECT_EQ(t.edit.LineOfOffset(22, true, false), 10);
    EXPECT_EQ(t.edit.OffsetOfLine(1, true), 22);
    EXPECT_EQ(t.edit.OffsetOfLine(1, false), 4);
    EXPECT_EQ(t.edit.VisibleLineOfLine(10), 1);
    EXPECT_EQ(t.edit.OffsetOfLine(2, true), -1);
    EXPECT_EQ(t.edit.LineEndOf(0, true), 21);
    EXPECT_EQ(t.edit.LineStartOf(21, true), 0);
    // The label "..." is 3 cells and a pixel each side: the row end is at 4 + 16 + 26.
    POINT p = {};
    t.edit.PointFromOffset(21, p);
    EXPECT_EQ(p.x, 46);
    EXPECT_EQ(p.y, 0);
    EXPECT_EQ(t.edit.ColumnOfOffset(21, true), 5);

    t.edit.ToggleOutlineNode(t.block);
    EXPECT_EQ(t.edit.hiddenLineCount, 0);
    EXPECT_EQ(t.edit.OffsetOfLine(1, true), 4);
}

TEST(CodeEditOutliningTest, FoldingOffShowsEverythingAndKeepsTheCollapsedState)
{
    CollapsedEdit t;
    t.edit.SetFoldingEnabled(FALSE);
    EXPECT_FALSE(t.edit.FindCollapsedNodeAt(5, nullptr, nullptr));
    EXPECT_EQ(t.edit.hiddenLineCount, 0);
    EXPECT_TRUE(t.block->collapsed);
    t.edit.SetFoldingEnabled(TRUE);
    EXPECT_TRUE(t.edit.FindCollapsedNodeAt(5, nullptr, nullptr));
    EXPECT_EQ(t.edit.hiddenLineCount, 9);
}

TEST(CodeEditOutliningTest, TheCaretStepsOverACollapsedBlockWhole)
{
    CollapsedEdit t;
    t.edit.MoveCaretToOffset(2, TRUE, FALSE);
    EXPECT_TRUE(t.edit.MoveRight(FALSE));
    EXPECT_EQ(t.edit.GetCaretOffset(), 21);
    EXPECT_TRUE(t.edit.MoveLeft(FALSE));
    EXPECT_EQ(t.edit.GetCaretOffset(), 2);
    // A click inside the label maps to the block.
    POINT inside = {30, 5};
    EXPECT_EQ(t.edit.OffsetFromPoint(inside, false, false), 2);
    POINT nextRow = {6, 20};
    EXPECT_EQ(t.edit.OffsetFromPoint(nextRow, false, false), 22);
}

TEST(CodeEditOutliningTest, KeysBesideACollapsedBlockTakeItWhole)
{
    struct Case {
        const char* what;
        UINT key;
        int caret;
        bool overwrite;
        const WCHAR* expected;
    } cases[] = {
        {"backspace after the block", VK_BACK, 21, false, L"x \ny"},
        {"delete on the block", VK_DELETE, 2, false, L"x \ny"},
        {"typing over the block", 0, 2, true, L"x Z\ny"},
    };
    for (const Case& c : cases) {
        CollapsedEdit t;
        t.edit.MoveCaretToOffset(c.caret, TRUE, FALSE);
        CCodeEditCtrl::overwriteMode = c.overwrite;
        if (c.key)
            t.edit.HandleKeyDown(c.key);
        else
            t.edit.HandleChar(L'Z');
        CCodeEditCtrl::overwriteMode = FALSE;
        CString now = t.edit.GetTextBuffer().Mid(0, t.edit.GetLength());
        EXPECT_EQ(now, CString(c.expected)) << c.what;
        EXPECT_TRUE(t.edit.outlineRoot.children.empty()) << c.what;
        EXPECT_EQ(t.edit.hiddenLineCount, 0) << c.what;
        // One undo brings the block's text back.
        t.edit.StepUndo(TRUE, FALSE);
        if (c.overwrite)
            t.edit.StepUndo(TRUE, FALSE);
        EXPECT_EQ(t.edit.GetTextBuffer().Mid(0, t.edit.GetLength()), CString(BLOCK_TEXT)) << c.what;
    }
}

TEST(CodeEditOutliningTest, OnlyOutlineCharactersStartAReparse)
{
    TestEdit t;
    CountingEdit edit;
    edit.AttachHost(&t.host);
    edit.AttachMeasurer(&t.measurer);
    edit.InitializeControl();
    CString text(L"{\n}\n");
    edit.SetText(text, text.GetLength());
    FoldAll(edit);
    ASSERT_EQ(edit.added, 1);
    edit.MoveCaretToOffset(4, TRUE, FALSE);
    edit.HandleChar(L'a');
    EXPECT_EQ(edit.added, 1);
    edit.HandleChar(L'{');
    EXPECT_GT(edit.added, 1);
    edit.AttachHost(nullptr);
    edit.AttachMeasurer(nullptr);
}

TEST(CodeEditOutliningTest, TheTipOfABlockStartingWithAnEmptyLineBeginsWithItsFirstText)
{
    // a0 " "1 "{"2 "\n"3 "\n"4 " "5 " "6 "b"7 "\n"8 "}"9; the node starts at the first line feed.
    TestEdit t(L"a {\n\n  b\n}");
    t.edit.SetFoldingEnabled(TRUE);
    CODE_EDIT_OUTLINE_CHANGES changes;
    CCodeOutlineNode* node = new CCodeOutlineNode;
    node->start = 3;
    node->end = 9;
    node->blockType = 3;
    t.edit.outlineRoot.AddNode(node, changes);
    changes.added.clear();
    t.edit.ToggleOutlineNode(node);
    CEditDisplayList list;
    t.edit.PaintControl(list, nullptr);  // places the label: "a {" then the label at x 29
    CString tip;
    ASSERT_TRUE(t.edit.GetCollapsedTextAtPoint(40, 5, tip, TRUE));
    EXPECT_EQ(tip, CString(L"  b\n}"));
    ASSERT_TRUE(t.edit.GetCollapsedTextAtPoint(40, 5, tip, FALSE));
    EXPECT_EQ(tip, CString(L"\n\n  b\n}"));
    EXPECT_FALSE(t.edit.GetCollapsedTextAtPoint(6, 5, tip, TRUE));
}

TEST(CodeEditOutliningTest, TogglingFromTheBarNeedsABlockStartingOnTheLine)
{
    TestEdit t(BLOCK_TEXT);
    FoldAll(t.edit);
    EXPECT_FALSE(t.edit.ToggleOutlineAt(22));
    EXPECT_FALSE(t.edit.ToggleOutlineAt(-1));
    EXPECT_TRUE(t.edit.ToggleOutlineAt(0));
    EXPECT_EQ(t.edit.hiddenLineCount, 9);
    t.edit.ExpandLine(5);
    EXPECT_EQ(t.edit.hiddenLineCount, 0);
}

TEST(CodeEditOutliningTest, ThePainterDrawsTheLabelAndTheBarsGlyphs)
{
    CollapsedEdit t;
    t.edit.showOutlineBar = TRUE;
    t.edit.RecalcLayout();
    CEditDisplayList list;
    t.edit.PaintControl(list, nullptr);
    // Marker bar 0..4, outline bar 4..24, text from 24: "x " at 25, the label cell from 41.
    const EditDrawOp* label = nullptr;
    std::vector<const EditDrawOp*> boxes, lines;
    CString texts;
    for (const EditDrawOp& op : list.Ops()) {
        if (op.kind == EditDrawOp::LABEL)
            label = &op;
        if (op.kind == EditDrawOp::BOX)
            boxes.push_back(&op);
        if (op.kind == EditDrawOp::TEXT)
            texts += op.text + L"|";
    }
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text, CString(L"..."));
    EXPECT_EQ(label->rect.left, 40);
    EXPECT_EQ(label->rect.right, 66);
    EXPECT_EQ(label->rect.top, 0);
    EXPECT_EQ(label->rect.bottom, 18);
    EXPECT_EQ(texts, CString(L"x |y|"));
    // One fold box, on the first row, centred in the bar: a plus for the collapsed block.
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0]->rect.left, 10);
    EXPECT_EQ(boxes[0]->rect.top, 4);
    EXPECT_EQ(boxes[0]->rect.right, 19);
    EXPECT_EQ(boxes[0]->rect.bottom, 13);
    int strokes = 0;
    for (const EditDrawOp& op : list.Ops())
        if (op.kind == EditDrawOp::LINE && op.rect.top == op.rect.bottom && op.rect.top == 8)
            ++strokes;
    EXPECT_EQ(strokes, 1);
}

// A new text starts unfolded and with nothing to undo: blocks, hidden lines
// and records of the old text would point into text that is gone.
TEST(CodeEditOutliningTest, SettingTextDropsTheOutlineAndTheUndoList)
{
    CollapsedEdit t;
    ASSERT_NE(t.block, nullptr);
    t.edit.InsertChar(L'z', TRUE);
    ASSERT_GT(t.edit.UndoRecordCount(), 0);
    const WCHAR loaded[] = L"a\nb";
    t.edit.SetText(loaded, 3);
    EXPECT_TRUE(t.edit.outlineRoot.children.empty());
    EXPECT_EQ(t.edit.hiddenLineCount, 0);
    EXPECT_EQ(t.edit.UndoRecordCount(), 0);
    EXPECT_EQ(t.edit.OffsetOfLine(1, true), 2);
}

// Edits made while folding is off move the blocks too: turning folding on
// again shows the block where its text now is.
TEST(CodeEditOutliningTest, EditsWhileFoldingIsOffKeepTheBlocksInStep)
{
    CollapsedEdit t;
    ASSERT_NE(t.block, nullptr);
    t.edit.SetFoldingEnabled(FALSE);
    t.edit.InsertText(L"zz\n", 0, FALSE, FALSE, TRUE, FALSE);
    EXPECT_EQ(t.block->start, 5);
    EXPECT_EQ(t.block->end, 23);
    t.edit.SetSelectionRange(0, 1, FALSE);
    t.edit.DeleteSelectionRange(FALSE, FALSE, FALSE);
    EXPECT_EQ(t.block->start, 4);
    t.edit.SetFoldingEnabled(TRUE);
    EXPECT_EQ(t.edit.hiddenLineCount, 9);
    int start = 0, end = 0;
    ASSERT_TRUE(t.edit.FindCollapsedNodeAt(10, &start, &end));
    EXPECT_EQ(start, 4);
    EXPECT_EQ(end, 22);
    EXPECT_EQ(t.edit.OffsetOfLine(2, true), 24);  // "z", "x {...}", "y"
    // Deleting the whole block while folding is off drops its node.
    t.edit.SetFoldingEnabled(FALSE);
    t.edit.SetSelectionRange(4, 23, FALSE);
    t.edit.DeleteSelectionRange(FALSE, FALSE, FALSE);
    EXPECT_TRUE(t.edit.outlineRoot.children.empty());
    t.edit.SetFoldingEnabled(TRUE);
    EXPECT_EQ(t.edit.hiddenLineCount, 0);
}

// New folding rules drop every block; the hidden lines and the top row are
// counted again, so the view does not skip lines that are no longer hidden.
TEST(CodeEditOutliningTest, NewFoldingRulesResetHiddenLinesAndTheTopRow)
{
    CollapsedEdit t;
    ASSERT_EQ(t.edit.hiddenLineCount, 9);
    t.edit.outlineParser = t.edit.CreateOutlineParser();
    t.edit.outlineParser->InitDefaultBlocks();
    // The top row is "y", visible line 1 but line 10 of the text.
    t.edit.topOffset = 22;
    t.edit.topLine = 1;
    t.edit.hiddenAboveTop = 9;
    EXPECT_TRUE(t.edit.ApplyFoldingSettings(L"<BLOCKS><BLOCK><Start>(</Start><End>)</End></BLOCK></BLOCKS>"));
    EXPECT_TRUE(t.edit.outlineRoot.children.empty());
    EXPECT_EQ(t.edit.hiddenLineCount, 0);
    EXPECT_EQ(t.edit.topOffset, 22);
    EXPECT_EQ(t.edit.topLine, 10);
    EXPECT_EQ(t.edit.hiddenAboveTop, 0);
    EXPECT_EQ(t.edit.OffsetOfLine(1, true), 4);
}

TEST(CodeEditOutliningTest, AClickOnTheBarTogglesAndADoubleClickOnALabelSelectsTheBlock)
{
    TestEdit t(BLOCK_TEXT);
    FoldAll(t.edit);
    t.edit.showOutlineBar = TRUE;
    t.edit.RecalcLayout();
    CCodeOutlineNode* block = OnlyBlock(t.edit);
    ASSERT_NE(block, nullptr);
    // The bar lies at x 4..23; row 0 holds the block's first line.
    EXPECT_TRUE(t.edit.ClickOutlineBar(POINT{10, 5}));
    EXPECT_TRUE(block->collapsed);
    EXPECT_EQ(t.edit.hiddenLineCount, 9);
    // Outside the bar, or on a row without a block start: nothing is toggled.
    EXPECT_FALSE(t.edit.ClickOutlineBar(POINT{30, 5}));
    EXPECT_TRUE(t.edit.ClickOutlineBar(POINT{10, 20}));
    EXPECT_TRUE(block->collapsed);
    CEditDisplayList list;
    t.edit.PaintControl(list, nullptr);  // places the label: x 40..66 on row 0
    EXPECT_FALSE(t.edit.SelectCollapsedLabelAt(POINT{30, 5}));
    EXPECT_TRUE(t.edit.SelectCollapsedLabelAt(POINT{50, 5}));
    EXPECT_EQ(t.edit.selStart, 2);
    EXPECT_EQ(t.edit.selEnd, 21);
    EXPECT_TRUE(t.edit.ClickOutlineBar(POINT{10, 5}));
    EXPECT_FALSE(block->collapsed);
    EXPECT_EQ(t.edit.hiddenLineCount, 0);
}
