#include "tests/QvTest.h"

#include "tests/editctrl/EditTestSupport.h"

namespace {
std::u16string Text(const CCodeEditCtrl& e) { return U16(e.GetTextBuffer().Mid(0, e.GetLength())); }

class KeyboardTest : public ::testing::Test {
protected:
    void SetUp() override { CCodeEditCtrl::overwriteMode = 0; }
    void TearDown() override { CCodeEditCtrl::overwriteMode = 0; }
};
}  // namespace

TEST_F(KeyboardTest, KeysMoveSelectAndEdit)
{
    struct Case {
        const char* name;
        const WCHAR* text;
        int caret;
        UINT key;
        bool shift, ctrl;
        const char16_t* after;
        int caretAfter, selStart, selEnd;
    } cases[] = {
        {"left", L"abc", 2, VK_LEFT, false, false, u"abc", 1, -1, -1},
        {"shift right selects", L"abc", 1, VK_RIGHT, true, false, u"abc", 2, 1, 2},
        {"ctrl right is a word", L"ab cd", 0, VK_RIGHT, false, true, u"ab cd", 3, -1, -1},
        {"ctrl shift end selects to the end", L"ab\ncd", 1, VK_END, true, true, u"ab\ncd", 5, 1, 5},
        {"home", L"  ab", 4, VK_HOME, false, false, u"  ab", 2, -1, -1},
        {"ctrl home", L"ab\ncd", 4, VK_HOME, false, true, u"ab\ncd", 0, -1, -1},
        {"backspace", L"abc", 2, VK_BACK, false, false, u"ac", 1, -1, -1},
        {"backspace at the start", L"abc", 0, VK_BACK, false, false, u"abc", 0, -1, -1},
        {"ctrl backspace deletes the word", L"ab cd", 5, VK_BACK, false, true, u"ab ", 3, -1, -1},
        {"delete", L"abc", 1, VK_DELETE, false, false, u"ac", 1, -1, -1},
        {"ctrl delete deletes the word", L"ab cd", 0, VK_DELETE, false, true, u"cd", 0, -1, -1},
        {"enter keeps the indent", L"  ab", 4, VK_RETURN, false, false, u"  ab\n  ", 7, -1, -1},
        {"tab", L"ab", 2, VK_TAB, false, false, u"ab\t", 3, -1, -1},
        {"shift tab moves back to the stop", L"      x", 6, VK_TAB, true, false, u"      x", 4, -1, -1},
        {"down", L"ab\ncd", 1, VK_DOWN, false, false, u"ab\ncd", 4, -1, -1},
    };
    for (const Case& c : cases) {
        TestEdit t(c.text);
        t.edit.MoveCaretToOffset(c.caret, FALSE, FALSE);
        t.edit.preferredColumn = t.edit.ColumnOfOffset(c.caret);
        t.host.shift = c.shift;
        t.host.control = c.ctrl;
        t.edit.HandleKeyDown(c.key);
        EXPECT_EQ(Text(t.edit), c.after) << c.name;
        EXPECT_EQ(t.edit.caretOffset, c.caretAfter) << c.name;
        EXPECT_EQ(t.edit.selStart, c.selStart) << c.name;
        EXPECT_EQ(t.edit.selEnd, c.selEnd) << c.name;
    }
}

TEST_F(KeyboardTest, ArrowsWithASelectionCollapseItFirst)
{
    TestEdit t(L"abcdef");
    t.edit.SetSelectionRange(1, 4, FALSE);
    t.edit.HandleKeyDown(VK_LEFT);
    EXPECT_EQ(t.edit.caretOffset, 1) << "to the smaller end, no further";
    t.edit.SetSelectionRange(4, 1, FALSE);
    t.edit.HandleKeyDown(VK_RIGHT);
    EXPECT_EQ(t.edit.caretOffset, 4);
}

TEST_F(KeyboardTest, CharactersAreTypedAndControlCharactersIgnored)
{
    TestEdit t(L"");
    for (WCHAR ch : {L'a', L' ', L'\t', L'\x08', L'\x0d', L'\x00e9', L'b'})
        t.edit.HandleChar(ch);
    EXPECT_EQ(Text(t.edit), u"a \u00e9b");
    t.edit.SetSelectionRange(0, 2, FALSE);
    t.edit.HandleChar(L'X');
    EXPECT_EQ(Text(t.edit), u"X\u00e9b");
    t.edit.StepUndo(TRUE, FALSE);
    EXPECT_EQ(Text(t.edit), u"a \u00e9b");
}

TEST_F(KeyboardTest, AReadOnlyControlOnlyPages)
{
    CString lines;
    for (int i = 0; i < 40; ++i)
        lines += L"line\n";
    TestEdit t(lines);
    t.edit.readOnly = 1;
    t.edit.HandleKeyDown(VK_RIGHT);
    t.edit.HandleChar(L'x');
    EXPECT_EQ(t.edit.caretOffset, 0);
    EXPECT_EQ(t.edit.GetLength(), 200);
    t.edit.HandleKeyDown(VK_TAB);
    EXPECT_EQ(t.edit.topLine, 10) << "Tab pages down a page less one line";
    t.host.shift = true;
    t.edit.HandleKeyDown(VK_TAB);
    EXPECT_EQ(t.edit.topLine, 0) << "Shift+Tab pages up";
    t.host.shift = false;
    EXPECT_FALSE(t.edit.ToggleOverwriteMode());
    EXPECT_EQ(t.edit.failures, std::vector<unsigned>{0x40000004});
}

TEST_F(KeyboardTest, InsertTogglesTheModeSharedByEveryControl)
{
    TestEdit a(L"abc"), b(L"xyz");
    a.edit.HandleKeyDown(VK_INSERT);
    EXPECT_TRUE(b.edit.IsOverwriteMode());
    EXPECT_EQ(a.host.caretSize.cx, 8) << "a block caret as wide as the widest character";
    b.edit.HandleChar(L'Q');
    EXPECT_EQ(Text(b.edit), u"Qyz");
    b.edit.HandleKeyDown(VK_INSERT);
    EXPECT_FALSE(a.edit.IsOverwriteMode());
    EXPECT_EQ(b.host.caretSize.cx, 2);
}

TEST_F(KeyboardTest, WindowTextMessages)
{
    TestEdit t(L"");
    const WCHAR loaded[] = {L'a', L'b', L'c', 0, L'e', L'f', L'g'};
    t.edit.modified = 1;
    t.edit.SetWindowTextFrom(loaded, 7);
    EXPECT_EQ(t.edit.GetLength(), 7);
    EXPECT_TRUE(t.edit.IsModified()) << "setting the text leaves the modified flag alone";
    EXPECT_FALSE(t.edit.CanUndo());
    t.edit.SetWindowTextFrom(L"abcdefg", 7);
    WCHAR buffer[5] = {L'z', L'z', L'z', L'z', L'z'};
    EXPECT_EQ(t.edit.GetWindowTextInto(buffer, 5), 4);
    EXPECT_EQ(std::u16string((const char16_t*)buffer, 5), std::u16string(u"abcd\0", 5));
}

TEST_F(KeyboardTest, WordBoundsAndBlankLines)
{
    TestEdit t(L"int  value;");
    int start = -1, end = -1;
    t.edit.FindWordBounds(6, start, end);
    EXPECT_EQ(start, 5);
    EXPECT_EQ(end, 10);
    t.edit.FindWordBounds(4, start, end);
    EXPECT_EQ(start, 0) << "blanks are skipped backwards to the word before";
    EXPECT_EQ(end, 3);
    CString word;
    EXPECT_TRUE(t.edit.GetWordAtOffset(1, word));
    EXPECT_EQ(word, CString(L"int"));
    CString tip(L"  \n\t\n  code\n");
    CCodeEditCtrl::StripLeadingBlankLines(tip);
    EXPECT_EQ(tip, CString(L"  code\n"));
}

TEST_F(KeyboardTest, DropsAreGroupedOnlyWhenTheDragStartedHere)
{
    // A drop from another window stands alone: undo takes back only the drop.
    TestEdit outside(L"hello world");
    POINT end = {200, 5};
    ASSERT_TRUE(outside.edit.OnDrop(CString(L"!"), false, true, end));
    EXPECT_EQ(Text(outside.edit), u"hello world!");
    outside.edit.MoveCaretToOffset(0, FALSE, FALSE);
    outside.edit.HandleChar(L'>');
    outside.edit.StepUndo(TRUE, FALSE);
    EXPECT_EQ(Text(outside.edit), u"hello world!") << "the next edit is not part of the drop";

    // Moving text inside the control: the drop and the removal of its source are one step.
    TestEdit inside(L"hello world");
    inside.edit.SetSelectionRange(0, 5, FALSE);
    inside.edit.dragSource = 1;
    POINT inSelection = {13, 5};
    EXPECT_FALSE(inside.edit.OnDrop(CString(L"hello"), false, true, inSelection));
    EXPECT_EQ(inside.edit.failures, std::vector<unsigned>{0x800000});
    ASSERT_TRUE(inside.edit.OnDrop(CString(L"hello"), false, true, end));
    inside.edit.SetSelectionRange(0, 5, FALSE);
    inside.edit.DeleteSelectionRange(TRUE, FALSE, FALSE);
    inside.edit.dragSource = 0;
    EXPECT_EQ(Text(inside.edit), u" worldhello");
    inside.edit.StepUndo(TRUE, FALSE);
    EXPECT_EQ(Text(inside.edit), u"hello world") << "one undo restores both places";
}
