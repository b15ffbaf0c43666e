// The outline tree and parser on their own: node insertion and removal, text
// shifts, and the blocks the default rules find in small texts. Expected
// offsets are counted by hand from the texts.
#include "tests/QvTest.h"

#include "editctrl/OutlineNode.h"
#include "editctrl/OutlineParser.h"

#include <memory>

namespace {
CCodeOutlineNode* MakeNode(int start, int end, DWORD flags = OUTLINE_COMPLETE)
{
    CCodeOutlineNode* node = new CCodeOutlineNode;
    node->start = start;
    node->end = end;
    node->flags = flags;
    node->blockType = 0;
    return node;
}

struct Found {
    int start, end, lead;
    DWORD flags;
};

std::vector<Found> Describe(const CCodeOutlineNode& root)
{
    std::vector<CCodeOutlineNode*> nodes;
    root.CollectChildNodes(nodes, true);
    std::vector<Found> found;
    for (const CCodeOutlineNode* n : nodes)
        found.push_back({n->start, n->end, n->leadLength, n->flags});
    return found;
}

// The whole text parsed with the default rules into a fresh tree.
void ParseAll(CCodeOutlineParser& parser, const CString& text, CCodeOutlineNode& root)
{
    CODE_EDIT_OUTLINE_CHANGES changes;
    parser.UpdateOutline(text, 0, text.GetLength(), root, changes);
}
}  // namespace

TEST(OutlineTreeTest, AddingAnEnclosingNodeTakesInTheSiblingsAndReportsOnlyItself)
{
    CCodeOutlineNode root;
    CODE_EDIT_OUTLINE_CHANGES first;
    root.AddNode(MakeNode(10, 20), first);
    root.AddNode(MakeNode(30, 40), first);
    root.AddNode(MakeNode(50, 60), first);
    CODE_EDIT_OUTLINE_CHANGES changes;
    CCodeOutlineNode* outer = MakeNode(5, 45);
    root.AddNode(outer, changes);
    ASSERT_EQ(root.children.size(), 2u);
    EXPECT_EQ(root.children[0], outer);
    ASSERT_EQ(outer->children.size(), 2u);
    EXPECT_EQ(outer->children[0]->start, 10);
    EXPECT_EQ(outer->children[1]->start, 30);
    EXPECT_EQ(outer->children[1]->parent, outer);
    ASSERT_EQ(changes.added.size(), 1u);
    EXPECT_EQ(changes.added[0], outer);
    EXPECT_TRUE(changes.removed.empty());
}

TEST(OutlineTreeTest, APartlyOverlappingNodeRemovesTheSiblingAndLiftsItsChildren)
{
    CCodeOutlineNode root;
    CODE_EDIT_OUTLINE_CHANGES setup;
    CCodeOutlineNode* sibling = MakeNode(10, 40);
    root.AddNode(sibling, setup);
    root.AddNode(MakeNode(15, 20), setup);  // goes below the sibling
    ASSERT_EQ(sibling->children.size(), 1u);
    CODE_EDIT_OUTLINE_CHANGES changes;
    root.AddNode(MakeNode(30, 50), changes);
    ASSERT_EQ(changes.removed.size(), 1u);
    EXPECT_EQ(changes.removed[0], sibling);
    std::vector<Found> tree = Describe(root);
    ASSERT_EQ(tree.size(), 2u);
    EXPECT_EQ(tree[0].start, 15);
    EXPECT_EQ(tree[1].start, 30);
}

TEST(OutlineTreeTest, TextChangesShiftAndCutNodes)
{
    struct Case {
        const char* what;
        bool insert;
        int a, b;  // insert: offset and length; remove: first and last (exclusive)
        int start, end, lead;
    } cases[] = {
        // Node 20..40 with an 8-character header from 12.
        {"insert inside the header", true, 15, 5, 25, 45, 13},
        {"insert before the header", true, 2, 5, 25, 45, 8},
        {"insert inside the block", true, 30, 5, 20, 45, 8},
        {"insert after the block", true, 41, 5, 20, 40, 8},
        {"remove from the middle beyond the end", false, 30, 50, 20, 29, 8},
        {"remove before the header", false, 0, 5, 15, 35, 8},
        {"remove part of the header", false, 14, 16, 18, 38, 6},
        {"remove inside the block", false, 25, 30, 20, 35, 8},
        {"remove the header and the block's start", false, 10, 25, 10, 25, 0},
    };
    for (const Case& c : cases) {
        std::unique_ptr<CCodeOutlineNode> node(MakeNode(20, 40));
        node->leadLength = 8;
        if (c.insert)
            node->OnTextInserted(c.a, c.b);
        else
            node->OnTextRemoved(c.a, c.b);
        EXPECT_EQ(node->start, c.start) << c.what;
        EXPECT_EQ(node->end, c.end) << c.what;
        EXPECT_EQ(node->leadLength, c.lead) << c.what;
    }
}

TEST(OutlineTreeTest, OnlyCompleteBlocksCollapse)
{
    for (DWORD flags : {OUTLINE_OPEN_START, OUTLINE_LONE_END}) {
        std::unique_ptr<CCodeOutlineNode> node(MakeNode(0, 5, flags));
        node->SetCollapsed(TRUE);
        EXPECT_FALSE(node->collapsed) << flags;
    }
    std::unique_ptr<CCodeOutlineNode> node(MakeNode(0, 5));
    node->SetCollapsed(TRUE);
    EXPECT_TRUE(node->collapsed);
}

TEST(OutlineParserTest, DefaultRulesFindBlocksAndTheirHeaders)
{
    struct Case {
        const WCHAR* text;
        std::vector<Found> expected;
    } cases[] = {
        // A keyword and a condition: the block starts after ")", its header is "if (x)".
        {L"if (x) {\n a;\n}", {{6, 13, 6, OUTLINE_COMPLETE}}},
        // A definition: the header starts at the name before "(".
        {L"int main(int a) {\n}", {{15, 18, 11, OUTLINE_COMPLETE}}},
        // "{" in a string with an escaped quote, and in a line comment, opens nothing.
        {L"s = \"a\\\" {\";\n{\n}", {{13, 15, 0, OUTLINE_COMPLETE}}},
        {L"// {\n{\n}", {{5, 7, 0, OUTLINE_COMPLETE}}},
        // An unclosed comment runs to the end of the text.
        {L"a /* b\nc", {{2, 7, 0, OUTLINE_COMPLETE}}},
        // Two openings and one closing: the inner block and an open start.
        {L"{ {\n}", {{0, 0, 0, OUTLINE_OPEN_START}, {2, 4, 0, OUTLINE_COMPLETE}}},
        // Strings and line comments never stay in the tree.
        {L"\"x\" // y\n", {}},
    };
    for (const Case& c : cases) {
        CCodeOutlineParser parser;
        parser.InitDefaultBlocks();
        CCodeOutlineNode root;
        ParseAll(parser, c.text, root);
        std::vector<Found> tree = Describe(root);
        ASSERT_EQ(tree.size(), c.expected.size()) << (&c - cases);
        for (size_t i = 0; i < tree.size(); ++i) {
            EXPECT_EQ(tree[i].start, c.expected[i].start) << i;
            EXPECT_EQ(tree[i].end, c.expected[i].end) << i;
            EXPECT_EQ(tree[i].lead, c.expected[i].lead) << i;
            EXPECT_EQ(tree[i].flags, c.expected[i].flags) << i;
        }
    }
}

TEST(OutlineParserTest, CommentBlocksCarryTheirLabel)
{
    CCodeOutlineParser parser;
    parser.InitDefaultBlocks();
    CCodeOutlineNode root;
    ParseAll(parser, L"/* a\n b */", root);
    ASSERT_EQ(root.children.size(), 1u);
    EXPECT_EQ(root.children[0]->label, CString(L"/**/"));
    EXPECT_EQ(root.children[0]->end, 9);
}

TEST(OutlineParserTest, CaseAndWholeWordRules)
{
    CCodeOutlineParser parser;
    parser.RegisterBlockType(L"begin", L"end", L"...", TRUE, FALSE, nullptr);
    parser.caseSensitive = 0;
    CCodeOutlineNode root;
    ParseAll(parser, L"BEGIN x END", root);
    ASSERT_EQ(root.children.size(), 1u);
    EXPECT_EQ(root.children[0]->end, 10);

    parser.caseSensitive = 1;
    parser.wholeWords = 1;
    CCodeOutlineNode other;
    ParseAll(parser, L"beginning end", other);
    // "begin" inside a longer word starts nothing; the lone "end" stays an end.
    ASSERT_EQ(other.children.size(), 1u);
    EXPECT_EQ(other.children[0]->flags, (DWORD)OUTLINE_LONE_END);
}

TEST(OutlineParserTest, ANewClosingBraceClosesTheBlockAndLeavesTheOldOneAlone)
{
    CCodeOutlineParser parser;
    parser.InitDefaultBlocks();
    CCodeOutlineNode root;
    CString text(L"{\na\nb\n}");
    ParseAll(parser, text, root);
    ASSERT_EQ(root.children.size(), 1u);
    // "}" typed after "a": the tree shifts first, then the range is parsed again.
    text.Insert(3, L'}');
    root.OnTextInserted(3, 1);
    CODE_EDIT_OUTLINE_CHANGES changes;
    parser.UpdateOutline(text, 3, 1, root, changes);
    std::vector<Found> tree = Describe(root);
    ASSERT_EQ(tree.size(), 2u);
    EXPECT_EQ(tree[0].start, 0);
    EXPECT_EQ(tree[0].end, 3);
    EXPECT_EQ(tree[0].flags, (DWORD)OUTLINE_COMPLETE);
    EXPECT_EQ(tree[1].start, 7);
    EXPECT_EQ(tree[1].flags, (DWORD)OUTLINE_LONE_END);
}
