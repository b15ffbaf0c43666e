// Text files: the exact bytes saved for each encoding, what loading makes of
// marks and of UTF-8 without one, round trips through a memory file and an
// archive, and going to a line. Expected bytes are written out by hand.
#include "tests/QvTest.h"

#include "framework/base/CArchive.h"
#include "framework/base/CMemFile.h"
#include "tests/editctrl/EditTestSupport.h"

#include <vector>

namespace {
using Bytes = std::vector<uint8_t>;

Bytes Saved(CCodeEditCtrl& e)
{
    CMemFile file;
    EXPECT_TRUE(e.SaveTextToStream(file));
    return Bytes(file.Data(), file.Data() + file.GetLength());
}

BOOL Load(CCodeEditCtrl& e, const Bytes& bytes)
{
    CMemFile file(bytes.data(), bytes.size());
    return e.LoadTextFromStream(file);
}

std::u16string Text(const CCodeEditCtrl& e) { return U16(e.GetTextBuffer().Mid(0, e.GetLength())); }

struct RoundTripCase {
    const char* fault;
    Bytes file;
    std::u16string text;
    BOOL unicode;
    Bytes saved;  // the file written back
};

const RoundTripCase ROUND_TRIPS[] = {
    {"a UTF-16 mark is written twice or lost", {0xFF, 0xFE, 'a', 0, 0x0D, 0, 0x0A, 0, 'b', 0}, u"a\nb", 1,
     {0xFF, 0xFE, 'a', 0, 0x0D, 0, 0x0A, 0, 'b', 0}},
    {"big-endian UTF-16 is read as little-endian", {0xFE, 0xFF, 0, 'a', 0, 0x0A, 0, 'b'}, u"a\nb", 1,
     {0xFE, 0xFF, 0, 'a', 0, 0x0D, 0, 0x0A, 0, 'b'}},
    {"UTF-8 with its mark is read as ANSI", {0xEF, 0xBB, 0xBF, 0xC3, 0xA4, 0x0A, 'b'}, u"\u00E4\nb", 0,
     {0xEF, 0xBB, 0xBF, 0xC3, 0xA4, 0x0D, 0x0A, 'b'}},
    {"UTF-8 without a mark is read as ANSI", {0xE2, 0x82, 0xAC, ' ', 'x'}, u"\u20AC x", 0,
     {0xE2, 0x82, 0xAC, ' ', 'x'}},
    {"carriage returns stay in the text", {'a', 0x0D, 0x0A, 'b'}, u"a\nb", 0, {'a', 0x0D, 0x0A, 'b'}},
    {"a mark alone is no text", {0xEF, 0xBB, 0xBF}, u"", 0, {}},
};
}  // namespace

TEST(CodeEditFilesTest, SavingALineBreakInAnsiWritesFourBytes)
{
    TestEdit t(L"a\nb");
    EXPECT_EQ(Saved(t.edit), (Bytes{0x61, 0x0D, 0x0A, 0x62}));
    EXPECT_FALSE(t.edit.IsModified());
}

TEST(CodeEditFilesTest, EncodingsRoundTripWithTheirMarks)
{
    for (const RoundTripCase& c : ROUND_TRIPS) {
        TestEdit t;
        ASSERT_TRUE(Load(t.edit, c.file)) << c.fault;
        EXPECT_EQ(Text(t.edit), c.text) << c.fault;
        EXPECT_EQ(t.edit.unicodeFile, c.unicode) << c.fault;
        EXPECT_FALSE(t.edit.IsModified()) << c.fault;
        EXPECT_EQ(Saved(t.edit), c.saved) << c.fault;
    }
}

TEST(CodeEditFilesTest, AnAnsiFileAfterAUnicodeOneIsSavedAsAnsi)
{
    TestEdit t;
    ASSERT_TRUE(Load(t.edit, {0xFF, 0xFE, 'x', 0}));
    EXPECT_EQ(t.edit.unicodeFile, 1);
    ASSERT_TRUE(Load(t.edit, {'a', 'b'}));
    EXPECT_EQ(t.edit.unicodeFile, 0);
    EXPECT_EQ(Saved(t.edit), (Bytes{'a', 'b'}));
}

TEST(CodeEditFilesTest, AnAnsiSaveThatWouldLoseCharactersSavesUtf16)
{
    if (::GetACP() == CP_UTF8)
        GTEST_SKIP() << "the ANSI code page holds every character";
    TestEdit t(L"a\x4E2D");
    EXPECT_EQ(Saved(t.edit), (Bytes{0xFF, 0xFE, 'a', 0, 0x2D, 0x4E}));
    EXPECT_EQ(t.edit.unicodeFile, 1);
}

TEST(CodeEditFilesTest, AnsiBytesThatAreNotUtf8AreReadInTheAnsiCodePage)
{
    if (::GetACP() != 1252)
        GTEST_SKIP() << "expects the Western code page";
    TestEdit t;
    ASSERT_TRUE(Load(t.edit, {'c', 'a', 'f', 0xE9}));
    EXPECT_EQ(Text(t.edit), u"caf\u00E9");
    EXPECT_EQ(Saved(t.edit), (Bytes{'c', 'a', 'f', 0xE9}));
}

TEST(CodeEditFilesTest, EmptyFilesAndEmptyTexts)
{
    TestEdit t(L"old");
    ASSERT_TRUE(Load(t.edit, {}));
    EXPECT_EQ(t.edit.GetLength(), 0);
    const uint8_t before[] = {'x', 'y', 'z'};
    CMemFile file(before, sizeof before);
    EXPECT_TRUE(t.edit.SaveTextToStream(file));
    EXPECT_EQ(file.GetLength(), 0u);
}

TEST(CodeEditFilesTest, SavingMarksTheTextSavedForUndo)
{
    TestEdit t(L"ab");
    t.edit.MoveCaretToOffset(2, FALSE, FALSE);
    t.edit.InsertChar(L'c', FALSE);
    ASSERT_TRUE(t.edit.IsModified());
    Saved(t.edit);
    EXPECT_FALSE(t.edit.IsModified());
    t.edit.StepUndo(TRUE, FALSE);
    EXPECT_TRUE(t.edit.IsModified());
    t.edit.StepRedo(TRUE, FALSE);
    EXPECT_FALSE(t.edit.IsModified());
}

TEST(CodeEditFilesTest, PathsLoadAndSaveAndAMissingFileGivesZero)
{
    WCHAR folder[MAX_PATH] = {}, path[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, folder);
    ::GetTempFileNameW(folder, L"qve", 0, path);
    TestEdit t(L"line 1\nline 2");
    ASSERT_TRUE(t.edit.SaveTextToPath(path));
    TestEdit u;
    ASSERT_TRUE(u.edit.LoadTextFromPath(path));
    EXPECT_EQ(Text(u.edit), u"line 1\nline 2");
    ::DeleteFileW(path);
    EXPECT_FALSE(u.edit.LoadTextFromPath(path));
    EXPECT_EQ(Text(u.edit), u"line 1\nline 2");
}

TEST(CodeEditFilesTest, SerialisingStoresAndLoadsTheText)
{
    TestEdit t(L"x\ny");
    CMemFile file;
    {
        CArchive out(&file, CArchive::store);
        t.edit.Serialize(out);
    }
    EXPECT_EQ(file.GetLength(), 4u);
    file.SeekToBegin();
    TestEdit u;
    CArchive in(&file, CArchive::load);
    u.edit.Serialize(in);
    EXPECT_EQ(Text(u.edit), u"x\ny");
}

TEST(CodeEditFilesTest, OutlineNodesRoundTripThroughAnArchive)
{
    CCodeOutlineNode root;
    CODE_EDIT_OUTLINE_CHANGES changes;
    for (int start : {10, 40}) {
        auto* node = new CCodeOutlineNode;
        node->start = start;
        node->end = start + 20;
        node->leadLength = 3;
        node->label = L"{...}";
        node->blockType = 3;
        node->data = 77;
        node->labelRect = RECT{1, 2, 3, 4};
        root.AddNode(node, changes);
    }
    auto* inner = new CCodeOutlineNode;
    inner->start = 12;
    inner->end = 15;
    inner->collapsed = 1;
    root.AddNode(inner, changes);
    CMemFile file;
    CArchive out(&file, CArchive::store);
    root.SerializeChildren(out);
    file.SeekToBegin();
    CCodeOutlineNode copy;
    CArchive in(&file, CArchive::load);
    copy.SerializeChildren(in);
    ASSERT_EQ(copy.children.size(), 2u);
    const CCodeOutlineNode& first = *copy.children[0];
    EXPECT_EQ(first.start, 10);
    EXPECT_EQ(first.end, 30);
    EXPECT_EQ(first.leadLength, 3);
    EXPECT_EQ(first.label, CString(L"{...}"));
    EXPECT_EQ(first.blockType, 3);
    EXPECT_EQ(first.data, 77u);
    EXPECT_EQ(first.labelRect.right, 0);
    EXPECT_EQ(first.parent, &copy);
    ASSERT_EQ(first.children.size(), 1u);
    EXPECT_TRUE(first.children[0]->collapsed);
    EXPECT_EQ(first.children[0]->parent, &first);
    // A cut archive throws a file exception and leaves no half-made node unowned.
    CMemFile cut(file.Data(), 10);
    CArchive shortIn(&cut, CArchive::load);
    CCodeOutlineNode partial;
    bool thrown = false;
    try {
        partial.SerializeChildren(shortIn);
    } catch (CFileException* e) {
        thrown = e->m_cause == CFileException::endOfFile;
        e->Delete();
    }
    EXPECT_TRUE(thrown);
}

TEST(CodeEditFilesTest, GoingToALine)
{
    TestEdit t(L"a\nbb\nc");
    EXPECT_TRUE(t.edit.GoToLine(1, FALSE, FALSE));
    EXPECT_EQ(t.edit.GetCaretOffset(), 0);
    EXPECT_TRUE(t.edit.GoToLine(3, FALSE, FALSE));
    EXPECT_EQ(t.edit.GetCaretOffset(), 5);
    EXPECT_FALSE(t.edit.GoToLine(4, FALSE, FALSE));
    EXPECT_FALSE(t.edit.GoToLine(0, FALSE, FALSE));
    EXPECT_EQ(t.edit.GetCaretOffset(), 5);
}

TEST(CodeEditFilesTest, GoingToAHiddenLineOpensItsBlock)
{
    // "{" at 2, "}" at 8: lines "1" and "2" are inside.
    TestEdit t(L"x {\n1\n2\n}\ny");
    FoldWholeText(t.edit);
    ASSERT_EQ(t.edit.outlineRoot.children.size(), 1u);
    CCodeOutlineNode* block = t.edit.outlineRoot.children[0];
    t.edit.ToggleOutlineNode(block);
    ASSERT_EQ(t.edit.hiddenLineCount, 3);
    EXPECT_TRUE(t.edit.GoToLine(3, TRUE, FALSE));
    EXPECT_FALSE(block->collapsed);
    EXPECT_EQ(t.edit.hiddenLineCount, 0);
    EXPECT_EQ(t.edit.GetCaretOffset(), 6);
}

TEST(CodeEditFilesTest, TheBarsMoveTheTextArea)
{
    TestEdit t(L"a\nb");
    const int left = t.edit.textRect.left;
    t.edit.ShowOutlineBar(TRUE, 30);
    EXPECT_EQ(t.edit.textRect.left, left + 30);
    t.edit.ShowLineNumberBar(TRUE, 25);
    EXPECT_TRUE(t.edit.showLineNumbers);
    EXPECT_EQ(t.edit.textRect.left, left + 30 + t.edit.lineNumberWidth);
    EXPECT_GE(t.edit.lineNumberWidth, 25);
    t.edit.ShowOutlineBar(FALSE, 30);
    t.edit.ShowLineNumberBar(FALSE, 25);
    EXPECT_EQ(t.edit.textRect.left, left);
}
