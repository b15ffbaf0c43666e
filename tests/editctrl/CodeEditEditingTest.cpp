#include "tests/QvTest.h"

#include "tests/editctrl/EditTestSupport.h"

namespace {
void Type(CCodeEditCtrl& e, const WCHAR* chars)
{
    for (; *chars; ++chars) {
        if (e.HasSelection())
            e.DeleteSelectionRange(TRUE, FALSE, TRUE);
        e.SetCurrentOperation(EDIT_OP_TYPING);
        e.InsertChar(*chars, TRUE);
    }
}

std::u16string Text(const CCodeEditCtrl& e) { return U16(e.GetTextBuffer().Mid(0, e.GetLength())); }

// Records the order in which an editing operation reaches the hooks.
class HookOrderEdit : public RecordingEdit {
public:
    BOOL CanInsertText(const CString&, int) override { return Log("CanInsertText"), TRUE; }
    BOOL CanDeleteText(int, const CString&) override { return Log("CanDeleteText"), TRUE; }
    void NoteTextInserted(int o, const CString& t, BOOL s) override
    {
        Log("NoteTextInserted");
        CCodeEditCtrl::NoteTextInserted(o, t, s);
    }
    void NoteTextRemoved(int a, int b, const CString& t) override
    {
        Log("NoteTextRemoved");
        CCodeEditCtrl::NoteTextRemoved(a, b, t);
    }
    void OnTextInsertedForOutline(int, int) override { Log("OnTextInsertedForOutline"); }
    void OnTextRemovedForOutline(int, int) override { Log("OnTextRemovedForOutline"); }
    void ReparseOutline(int, int, BOOL) override { Log("ReparseOutline"); }
    void SendChangeNotice(int o, const CString& t, BOOL i) override
    {
        Log("SendChangeNotice");
        CCodeEditCtrl::SendChangeNotice(o, t, i);
    }
    void PushUndoRecord(CODE_EDIT_UNDO_ACTION* r) override
    {
        Log("PushUndoRecord");
        CCodeEditCtrl::PushUndoRecord(r);
    }
    void Log(const char* hook) { hooks.push_back(hook); }
    std::vector<std::string> hooks;
};

struct HookEdit {
    HookEdit(const WCHAR* initial)
    {
        edit.AttachHost(&host);
        edit.AttachMeasurer(&measurer);
        edit.InitializeControl();
        edit.SetText(initial, StringLength(initial));
        edit.hooks.clear();
    }
    FixedMeasurer measurer;
    RecordingHost host;
    HookOrderEdit edit;
};

class EditingTest : public ::testing::Test {
protected:
    void SetUp() override { CCodeEditCtrl::overwriteMode = 0; }
    void TearDown() override { CCodeEditCtrl::overwriteMode = 0; }
};
}  // namespace

TEST_F(EditingTest, TypingMergesRunsOfOneCharacterClass)
{
    TestEdit t(L"");
    Type(t.edit, L"abc def");
    EXPECT_EQ(Text(t.edit), u"abc def");
    EXPECT_EQ(t.edit.UndoRecordCount(), 3) << "abc, the blank, def";
    ASSERT_TRUE(t.edit.StepUndo(TRUE, TRUE));
    EXPECT_EQ(Text(t.edit), u"abc ");
    EXPECT_EQ(t.edit.caretOffset, 4);
    ASSERT_TRUE(t.edit.StepUndo(TRUE, TRUE));
    ASSERT_TRUE(t.edit.StepUndo(TRUE, TRUE));
    EXPECT_EQ(Text(t.edit), u"");
    EXPECT_FALSE(t.edit.StepUndo(TRUE, TRUE));
    ASSERT_TRUE(t.edit.StepRedo(TRUE, TRUE));
    ASSERT_TRUE(t.edit.StepRedo(TRUE, TRUE));
    ASSERT_TRUE(t.edit.StepRedo(TRUE, TRUE));
    EXPECT_EQ(Text(t.edit), u"abc def");
    EXPECT_FALSE(t.edit.StepRedo(TRUE, TRUE));
    EXPECT_EQ(t.edit.failures, (std::vector<unsigned>{0x1, 0x2}));
    EXPECT_GE(t.host.changeNotices, 7);
}

// The class is the typed character's own: punctuation whose key code is no
// delimiter (the full stop's is 0xBE) still ends a word run.
TEST_F(EditingTest, TypingMergeComparesTheTypedCharacters)
{
    struct Case {
        const char* name;
        const WCHAR* typed;
        int records;
    } cases[] = {{"a full stop", L"a.b", 3},
                 {"two full stops are one run", L"a..b", 3},
                 {"a parenthesis", L"ab(c", 3},
                 {"equals signs and a semicolon", L"x==y;", 4},
                 {"one word", L"abc", 1}};
    for (const Case& c : cases) {
        TestEdit t(L"");
        Type(t.edit, c.typed);
        EXPECT_EQ(t.edit.UndoRecordCount(), c.records) << c.name;
    }
}

TEST_F(EditingTest, TypingOverASelectionUndoesInOneStep)
{
    TestEdit t(L"hello world");
    t.edit.SetSelectionRange(0, 5, FALSE);
    Type(t.edit, L"X");
    EXPECT_EQ(Text(t.edit), u"X world");
    ASSERT_TRUE(t.edit.StepUndo(TRUE, TRUE));
    EXPECT_EQ(Text(t.edit), u"hello world");
    EXPECT_FALSE(t.edit.CanUndo());
}

TEST_F(EditingTest, OverwriteModeRecordsTheReplacedCharacter)
{
    TestEdit t(L"abc");
    CCodeEditCtrl::overwriteMode = 1;
    Type(t.edit, L"x");
    EXPECT_EQ(Text(t.edit), u"xbc");
    ASSERT_TRUE(t.edit.StepUndo(TRUE, TRUE));
    EXPECT_EQ(Text(t.edit), u"abc");
    ASSERT_TRUE(t.edit.StepRedo(TRUE, TRUE));
    EXPECT_EQ(Text(t.edit), u"xbc");
    t.edit.MoveTextEnd(TRUE);
    Type(t.edit, L"d");
    EXPECT_EQ(Text(t.edit), u"xbcd") << "at the end overwrite inserts";
}

TEST_F(EditingTest, ThreeHundredAndOneInsertionsKeepThreeHundred)
{
    TestEdit t(L"");
    for (int i = 0; i < 301; ++i)
        t.edit.InsertText(CString(L"a\n"), -1, FALSE, FALSE, TRUE, FALSE);
    EXPECT_EQ(t.edit.UndoRecordCount(), 300);
    while (t.edit.CanUndo())
        t.edit.StepUndo(FALSE, FALSE);
    EXPECT_EQ(Text(t.edit), u"a\n") << "the text after the first insertion";
    EXPECT_TRUE(t.edit.IsModified()) << "the loaded (empty) text cannot be reached any more";
}

TEST_F(EditingTest, TheLimitDropsWholeGroups)
{
    TestEdit t(L"");
    t.edit.undoLimit = 4;
    t.edit.InsertText(CString(L"a"), -1, FALSE, FALSE, TRUE, TRUE);  // a group of three
    t.edit.InsertText(CString(L"b"), -1, FALSE, FALSE, TRUE, TRUE);
    t.edit.InsertText(CString(L"c"), -1, FALSE, FALSE, TRUE, FALSE);
    t.edit.InsertText(CString(L"d"), -1, FALSE, FALSE, TRUE, FALSE);
    t.edit.InsertText(CString(L"e"), -1, FALSE, FALSE, TRUE, FALSE);
    EXPECT_EQ(t.edit.UndoRecordCount(), 2) << "the first group went whole";
    t.edit.StepUndo(FALSE, FALSE);
    t.edit.StepUndo(FALSE, FALSE);
    EXPECT_FALSE(t.edit.CanUndo());
    EXPECT_EQ(Text(t.edit), u"abc");
}

TEST_F(EditingTest, TheByteBudgetDropsOldRecords)
{
    TestEdit t(L"");
    t.edit.undoByteBudget = 1000;
    CString chunk(L'x', 200);  // 400 bytes each
    for (int i = 0; i < 5; ++i)
        t.edit.InsertText(chunk + L"\n", -1, FALSE, FALSE, TRUE, FALSE);
    EXPECT_LE(t.edit.UndoBytes(), 1000u);
    EXPECT_EQ(t.edit.UndoRecordCount(), 2);
}

TEST_F(EditingTest, AnUndoneRecordIsDroppedByTheNextEdit)
{
    TestEdit t(L"");
    t.edit.InsertText(CString(L"one "), -1, FALSE, FALSE, TRUE, FALSE);
    t.edit.InsertText(CString(L"two "), -1, FALSE, FALSE, TRUE, FALSE);
    t.edit.InsertText(CString(L"three"), -1, FALSE, FALSE, TRUE, FALSE);
    t.edit.StepUndo(TRUE, FALSE);
    t.edit.StepUndo(TRUE, FALSE);
    t.edit.StepRedo(TRUE, FALSE);
    EXPECT_EQ(Text(t.edit), u"one two ");
    Type(t.edit, L"x");
    EXPECT_FALSE(t.edit.CanRedo());
    t.edit.StepUndo(TRUE, FALSE);
    EXPECT_EQ(Text(t.edit), u"one two ");
    t.edit.StepUndo(TRUE, FALSE);
    EXPECT_EQ(Text(t.edit), u"one ");
}

TEST_F(EditingTest, AFullLineBreaksBeforeTheTypedCharacter)
{
    CString full = CString(L"  ") + CString(L'a', 2045);  // 2047 characters
    {
        TestEdit t(full);
        t.edit.MoveTextEnd(FALSE);
        Type(t.edit, L"z");
        EXPECT_EQ(Text(t.edit), U16(full + L"\n  z")) << "the new line has the indent and the character";
    }
    {
        TestEdit t(full);
        t.edit.MoveCaretToOffset(100, FALSE, FALSE);
        Type(t.edit, L"z");
        EXPECT_EQ(Text(t.edit), U16(full.Left(100) + L"z\n  " + full.Mid(100)))
            << "broken at the caret, the character ends the first part";
    }
}

TEST_F(EditingTest, JoiningTwoLongLinesIsRefused)
{
    CString line(L'a', 1100);
    TestEdit t(line + L"\n" + line);
    t.edit.MoveCaretToOffset(1100, FALSE, FALSE);
    EXPECT_FALSE(t.edit.DeleteChar(TRUE, FALSE));
    EXPECT_EQ(t.edit.failures, std::vector<unsigned>{0x10008000});
    EXPECT_EQ(t.edit.GetLength(), 2201);
}

TEST_F(EditingTest, APasteThatMakesALongLineIsBrokenInTheSameGroup)
{
    TestEdit t(L"");
    CString paste(L'p', 3000);
    t.edit.SetCurrentOperation(EDIT_OP_PASTE);
    ASSERT_TRUE(t.edit.InsertText(paste, -1, TRUE, FALSE, TRUE, FALSE));
    CString expected = paste.Left(2047) + L"\n" + paste.Mid(2047);
    EXPECT_EQ(Text(t.edit), U16(expected));
    EXPECT_EQ(t.edit.caretOffset, 3001);
    t.edit.StepUndo(TRUE, TRUE);
    EXPECT_EQ(Text(t.edit), u"") << "one undo removes the paste and its break";

    TestEdit t2(CString(L'q', 2000));
    t2.edit.InsertText(CString(L"1234567890\nx"), 2000, FALSE, FALSE, TRUE, FALSE);
    for (int line = 0; line <= t2.edit.lineBreakCount; ++line) {
        int start = t2.edit.OffsetOfLine(line);
        EXPECT_LE(t2.edit.LineEndOf(start) - start, 2047) << "line " << line;
    }
}

TEST_F(EditingTest, LoadedTextIsNeverChanged)
{
    CString loaded = CString(L'x', 5000) + L"\r\nshort";
    TestEdit t(L"");
    ASSERT_TRUE(t.edit.InsertText(loaded, 0, FALSE, TRUE, FALSE, FALSE));
    EXPECT_EQ(t.edit.GetLength(), 5000 + 6) << "no line is split; only the carriage return goes";
    EXPECT_EQ(t.edit.lineBreakCount, 1);
    EXPECT_FALSE(t.edit.CanUndo());
}

TEST_F(EditingTest, UndoBackToTheSavedStateClearsModified)
{
    TestEdit t(L"");
    Type(t.edit, L"ab");
    t.edit.InsertText(CString(L" x"), -1, FALSE, FALSE, TRUE, FALSE);
    t.edit.MarkSaved();
    EXPECT_FALSE(t.edit.IsModified());
    Type(t.edit, L"!");
    EXPECT_TRUE(t.edit.IsModified());
    t.edit.StepUndo(TRUE, FALSE);
    EXPECT_FALSE(t.edit.IsModified());
    t.edit.StepUndo(TRUE, FALSE);
    EXPECT_TRUE(t.edit.IsModified());
    t.edit.StepRedo(TRUE, FALSE);
    EXPECT_FALSE(t.edit.IsModified());
}

TEST_F(EditingTest, ASavedStateDroppedByTheLimitCannotComeBack)
{
    TestEdit t(L"");
    t.edit.undoLimit = 2;
    t.edit.InsertText(CString(L"a"), -1, FALSE, FALSE, TRUE, FALSE);
    t.edit.MarkSaved();
    t.edit.InsertText(CString(L"b"), -1, FALSE, FALSE, TRUE, FALSE);
    t.edit.InsertText(CString(L"c"), -1, FALSE, FALSE, TRUE, FALSE);
    t.edit.InsertText(CString(L"d"), -1, FALSE, FALSE, TRUE, FALSE);
    while (t.edit.CanUndo())
        t.edit.StepUndo(FALSE, FALSE);
    EXPECT_EQ(Text(t.edit), u"ab");
    EXPECT_TRUE(t.edit.IsModified()) << "the text differs from the saved one";
}

TEST_F(EditingTest, FailureCodesOfRefusedEdits)
{
    TestEdit t(L"ab");
    t.edit.MoveTextEnd(FALSE);
    EXPECT_FALSE(t.edit.DeleteChar(TRUE, FALSE));
    EXPECT_FALSE(t.edit.DeleteSelectionRange(TRUE, FALSE, FALSE));
    TestEdit full(CString(L'a', 2047));
    full.edit.MoveTextEnd(FALSE);
    EXPECT_FALSE(full.edit.InsertTab(TRUE));
    EXPECT_EQ(t.edit.failures, (std::vector<unsigned>{0x20010000, 0x100000}));
    EXPECT_EQ(full.edit.failures, std::vector<unsigned>{0x10004000});
}

TEST_F(EditingTest, TabsAndNewLinesFollowTheIndentRules)
{
    TestEdit t(L"    abc");
    t.edit.MoveTextEnd(FALSE);
    ASSERT_TRUE(t.edit.InsertNewLine(TRUE, FALSE, t.edit.caretOffset, TRUE));
    EXPECT_EQ(Text(t.edit), u"    abc\n    ");
    EXPECT_EQ(t.edit.caretOffset, 12);
    ASSERT_TRUE(t.edit.InsertTab(TRUE));
    EXPECT_EQ(Text(t.edit), u"    abc\n    \t");
    EXPECT_EQ(t.edit.caretOffset, 13);

    TestEdit blanks(L"x");
    blanks.edit.keepTabs = 0;
    blanks.edit.MoveTextEnd(FALSE);
    blanks.edit.InsertTab(TRUE);
    EXPECT_EQ(Text(blanks.edit), u"x   ") << "to the next indent stop";
    EXPECT_EQ(U16(blanks.edit.MakeNewLineText(0)), u"\n");

    TestEdit inside(L"      x");
    EXPECT_EQ(U16(inside.edit.MakeNewLineText(2)), u"\n  ") << "only the blanks before the offset";
}

TEST_F(EditingTest, DeletingTheSelectionAndCharacters)
{
    TestEdit t(L"one\ntwo");
    t.edit.SetSelectionRange(5, 2, FALSE);
    ASSERT_TRUE(t.edit.DeleteChar(TRUE, FALSE));
    EXPECT_EQ(Text(t.edit), u"onwo");
    EXPECT_EQ(t.edit.caretOffset, 2);
    EXPECT_EQ(t.edit.lineBreakCount, 0);
    EXPECT_FALSE(t.edit.HasSelection());
    ASSERT_TRUE(t.edit.DeleteChar(TRUE, FALSE));
    EXPECT_EQ(Text(t.edit), u"ono");
    t.edit.StepUndo(TRUE, FALSE);
    t.edit.StepUndo(TRUE, FALSE);
    EXPECT_EQ(Text(t.edit), u"one\ntwo");
    EXPECT_EQ(t.edit.lineBreakCount, 1);
}

TEST_F(EditingTest, HooksRunInTheirFixedOrder)
{
    HookEdit insert(L"abc");
    insert.edit.InsertText(CString(L"x\ny"), 1, FALSE, FALSE, TRUE, FALSE);
    EXPECT_EQ(insert.edit.hooks,
              (std::vector<std::string>{"CanInsertText", "NoteTextInserted", "OnTextInsertedForOutline",
                                        "ReparseOutline", "PushUndoRecord", "SendChangeNotice"}));
    HookEdit remove(L"a\nb");
    remove.edit.MoveCaretToOffset(1, FALSE, FALSE);
    remove.edit.DeleteChar(FALSE, FALSE);
    EXPECT_EQ(remove.edit.hooks,
              (std::vector<std::string>{"CanDeleteText", "PushUndoRecord", "NoteTextRemoved",
                                        "OnTextRemovedForOutline", "ReparseOutline", "SendChangeNotice"}));
}

TEST_F(EditingTest, AVetoedInsertionChangesNothing)
{
    class Veto : public RecordingEdit {
    public:
        BOOL CanInsertText(const CString&, int) override { return FALSE; }
    };
    Veto e;
    FixedMeasurer m;
    RecordingHost h;
    e.AttachHost(&h);
    e.AttachMeasurer(&m);
    e.InitializeControl();
    EXPECT_FALSE(e.InsertText(CString(L"x"), 0, TRUE, FALSE, TRUE, FALSE));
    EXPECT_FALSE(e.InsertChar(L'x', TRUE));
    EXPECT_EQ(e.GetLength(), 0);
    EXPECT_FALSE(e.CanUndo());
    EXPECT_TRUE(e.failures.empty()) << "vetoes are silent";
}
