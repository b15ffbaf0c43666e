// Undo and redo of every editing operation in insert and overwrite mode, and
// a model check: random edits, undos and redos applied to the control and to
// a small model of the rules (one undo step per user operation, undo goes
// back to the text before it, redo forward, a new edit drops what was undone).
#include "tests/QvTest.h"

#include "tests/editctrl/EditTestSupport.h"

#include <random>
#include <string>
#include <vector>

namespace {
std::u16string Text(const CCodeEditCtrl& e) { return U16(e.GetTextBuffer().Mid(0, e.GetLength())); }

using UndoModelTest = InsertModeTest;

void Key(TestEdit& t, UINT key, bool shift = false)
{
    t.host.shift = shift;
    t.edit.HandleKeyDown(key);
    t.host.shift = false;
}

struct EditOpCase {
    const char* name;  // the fault the row would catch
    const WCHAR* start;
    int caret;
    int selStart, selEnd;  // -1: no selection
    bool overwrite;
    void (*apply)(TestEdit&);
    const char16_t* after;
};

void TypeX(TestEdit& t) { t.edit.HandleChar(L'x'); }
void Backspace(TestEdit& t) { Key(t, VK_BACK); }
void Delete(TestEdit& t) { Key(t, VK_DELETE); }
void Enter(TestEdit& t) { Key(t, VK_RETURN); }
void Tab(TestEdit& t) { Key(t, VK_TAB); }
void ShiftTab(TestEdit& t) { Key(t, VK_TAB, true); }
void BackspaceThenDelete(TestEdit& t)
{
    Key(t, VK_BACK);
    Key(t, VK_DELETE);
}
void PasteText(TestEdit& t)
{
    t.edit.SetCurrentOperation(EDIT_OP_PASTE);
    t.edit.InsertText(CString(L"P\nQ"), -1, TRUE, FALSE, TRUE, FALSE);
}
}  // namespace

TEST_F(UndoModelTest, EveryOperationUndoesAndRedoesToTheExactTextInBothModes)
{
    const EditOpCase cases[] = {
        {"typing inserts", L"abcd", 2, -1, -1, false, TypeX, u"abxcd"},
        {"typing replaces in overwrite mode", L"abcd", 2, -1, -1, true, TypeX, u"abxd"},
        {"overwrite at a line end inserts", L"ab\ncd", 2, -1, -1, true, TypeX, u"abx\ncd"},
        {"backspace", L"abcd", 2, -1, -1, false, Backspace, u"acd"},
        {"backspace in overwrite mode is no exchange", L"abcd", 2, -1, -1, true, Backspace, u"acd"},
        {"delete", L"abcd", 2, -1, -1, false, Delete, u"abd"},
        {"delete in overwrite mode is no exchange", L"abcd", 2, -1, -1, true, Delete, u"abd"},
        {"backspace then delete in overwrite mode", L"abcd", 2, -1, -1, true, BackspaceThenDelete, u"ad"},
        {"delete of a line feed in overwrite mode", L"ab\ncd", 2, -1, -1, true, Delete, u"abcd"},
        {"line break", L"  ab", 3, -1, -1, false, Enter, u"  a\n  b"},
        {"typing over a selection", L"abcd", 0, 1, 3, false, TypeX, u"axd"},
        {"typing over a selection in overwrite mode", L"abcd", 0, 1, 3, true, TypeX, u"axd"},
        {"delete of a selection in overwrite mode", L"abcd", 0, 1, 3, true, Delete, u"ad"},
        {"paste", L"ab", 1, -1, -1, false, PasteText, u"aP\nQb"},
        {"paste in overwrite mode inserts", L"ab", 1, -1, -1, true, PasteText, u"aP\nQb"},
        {"tab", L"ab", 1, -1, -1, false, Tab, u"a\tb"},
        {"tab on a selection indents it", L"ab\ncd\n", 0, 0, 4, false, Tab, u"\tab\n\tcd\n"},
        {"tab on a selection in overwrite mode indents it", L"ab\ncd\n", 0, 0, 4, true, Tab, u"\tab\n\tcd\n"},
        {"shift+tab on a selection unindents it", L"\tab\n    cd\n", 0, 0, 9, false, ShiftTab, u"ab\ncd\n"},
    };
    for (const EditOpCase& c : cases) {
        SCOPED_TRACE(c.name);
        CCodeEditCtrl::overwriteMode = 0;
        TestEdit t(c.start);
        t.edit.noTypingMerge = 1;
        t.edit.MoveCaretToOffset(c.caret, FALSE, FALSE);
        if (c.selStart >= 0)
            t.edit.SetSelectionRange(c.selStart, c.selEnd, FALSE);
        CCodeEditCtrl::overwriteMode = c.overwrite;
        c.apply(t);
        EXPECT_EQ(Text(t.edit), c.after);
        while (t.edit.CanUndo())
            t.edit.StepUndo(TRUE, TRUE);
        EXPECT_EQ(Text(t.edit), std::u16string((const char16_t*)c.start)) << "undone to the start";
        EXPECT_FALSE(t.edit.IsModified()) << "back at the loaded text";
        while (t.edit.CanRedo())
            t.edit.StepRedo(TRUE, TRUE);
        EXPECT_EQ(Text(t.edit), c.after) << "redone to the end";
        EXPECT_TRUE(t.edit.IsModified());
    }
}

TEST_F(UndoModelTest, TypingOverAFullLineInOverwriteModeUndoesWhole)
{
    // The line break that typing into a full line makes is no exchange of
    // one character, although overwrite mode is on.
    CString line(L'a', 2047);
    TestEdit t(line);
    t.edit.MoveCaretToOffset(2047, FALSE, FALSE);
    CCodeEditCtrl::overwriteMode = 1;
    t.edit.HandleChar(L'z');
    EXPECT_EQ(Text(t.edit), U16(line + L"\nz"));
    while (t.edit.CanUndo())
        t.edit.StepUndo(TRUE, TRUE);
    EXPECT_EQ(Text(t.edit), U16(line));
}

TEST_F(UndoModelTest, RedoOfABrokenPastePutsTheCaretAfterTheBreak)
{
    // 2000 characters, 101 pasted at their start: the line is broken at
    // 2047 in the paste's undo group. Redo replays the paste, then the
    // break; the caret follows the last replayed record.
    TestEdit t(CString(L'c', 2000));
    t.edit.MoveCaretToOffset(0, FALSE, FALSE);
    t.edit.SetCurrentOperation(EDIT_OP_PASTE);
    ASSERT_TRUE(t.edit.InsertText(CString(L'p', 101), -1, TRUE, FALSE, TRUE, FALSE));
    EXPECT_EQ(t.edit.GetLength(), 2102);
    EXPECT_EQ(t.edit.GetCharAt(2047), L'\n');
    t.edit.StepUndo(TRUE, TRUE);
    EXPECT_EQ(t.edit.GetLength(), 2000);
    t.edit.StepRedo(TRUE, TRUE);
    EXPECT_EQ(t.edit.GetLength(), 2102);
    EXPECT_EQ(t.edit.caretOffset, 2048);
}

namespace {
// The model: a text, a caret, the mode, and the list of texts after each
// user operation; `applied` of them are in force.
struct EditModel {
    std::u16string text;
    int caret = 0;
    bool overwrite = false;
    std::vector<std::u16string> states;
    size_t applied = 0;
    size_t saved = 0;

    void Changed()
    {
        states.resize(applied + 1);
        states.push_back(text);
        ++applied;
    }
    void Type(char16_t ch)
    {
        if (overwrite && caret < (int)text.size() && text[(size_t)caret] != u'\n')
            text[(size_t)caret] = ch;
        else
            text.insert((size_t)caret, 1, ch);
        ++caret;
        Changed();
    }
    void Backspace()
    {
        if (caret == 0)
            return;
        text.erase((size_t)--caret, 1);
        Changed();
    }
    void Delete()
    {
        if (caret >= (int)text.size())
            return;
        text.erase((size_t)caret, 1);
        Changed();
    }
    // A selection [a, b) replaced by `with` (empty: deleted); typing over a
    // selection inserts in either mode.
    void Replace(int a, int b, const std::u16string& with)
    {
        text.replace((size_t)a, (size_t)(b - a), with);
        caret = a + (int)with.size();
        Changed();
    }
    void Enter()
    {
        // Overwrite mode moves to the next line instead; the text holds no blanks, so no indent is copied.
        if (overwrite)
            return;
        text.insert((size_t)caret, 1, u'\n');
        ++caret;
        Changed();
    }
    bool Undo()
    {
        if (applied == 0)
            return false;
        text = states[--applied];
        return true;
    }
    bool Redo()
    {
        if (applied + 1 >= states.size())
            return false;
        text = states[++applied];
        return true;
    }
};
}  // namespace

TEST_F(UndoModelTest, RandomEditsUndosAndRedosFollowTheModel)
{
    std::mt19937 random(20261211);
    for (int round = 0; round < 20; ++round) {
        CCodeEditCtrl::overwriteMode = 0;
        TestEdit t(L"abcd\nefgh\nij");
        t.edit.noTypingMerge = 1;
        EditModel model;
        model.text = u"abcd\nefgh\nij";
        model.states.push_back(model.text);
        for (int step = 0; step < 200; ++step) {
            int op = (int)(random() % 12);
            std::string what;
            switch (op) {
            case 0: {
                int at = (int)(random() % (model.text.size() + 1));
                t.edit.MoveCaretToOffset(at, FALSE, FALSE);
                model.caret = at;
                what = "caret " + std::to_string(at);
                break;
            }
            case 1:
                CCodeEditCtrl::overwriteMode = !CCodeEditCtrl::overwriteMode;
                model.overwrite = CCodeEditCtrl::overwriteMode != 0;
                what = "mode";
                break;
            case 2: {
                char16_t ch = (char16_t)(u'a' + random() % 3);
                t.edit.HandleChar((WCHAR)ch);
                model.Type(ch);
                what = "type";
                break;
            }
            case 3: Key(t, VK_BACK); model.Backspace(); what = "backspace"; break;
            case 4: Key(t, VK_DELETE); model.Delete(); what = "delete"; break;
            case 5: Key(t, VK_RETURN); model.Enter(); what = "enter"; break;
            case 6:
            case 7:
                EXPECT_EQ(t.edit.StepUndo(TRUE, TRUE) != 0, model.Undo()) << "undo availability";
                what = "undo";
                break;
            case 8:
                EXPECT_EQ(t.edit.StepRedo(TRUE, TRUE) != 0, model.Redo()) << "redo availability";
                what = "redo";
                break;
            case 9:
            case 10: {
                // A selection, then a character typed over it or Delete.
                int size = (int)model.text.size();
                int a = (int)(random() % (size + 1)), b = (int)(random() % (size + 1));
                if (a == b)
                    break;
                t.edit.SetSelectionRange(a, b, FALSE);
                int low = std::min(a, b), high = std::max(a, b);
                if (op == 9) {
                    t.edit.HandleChar(L'q');
                    model.Replace(low, high, u"q");
                    what = "type over " + std::to_string(low) + ".." + std::to_string(high);
                } else {
                    Key(t, VK_DELETE);
                    model.Replace(low, high, u"");
                    what = "delete " + std::to_string(low) + ".." + std::to_string(high);
                }
                break;
            }
            case 11: {
                t.edit.SetCurrentOperation(EDIT_OP_PASTE);
                t.edit.InsertText(CString(L"P\nQ"), -1, TRUE, FALSE, TRUE, FALSE);
                model.Replace(model.caret, model.caret, u"P\nQ");
                what = "paste";
                break;
            }
            }
            model.caret = t.edit.caretOffset;  // caret placement is not what this model checks
            ASSERT_EQ(Text(t.edit), model.text) << "round " << round << " step " << step << " after " << what;
            ASSERT_EQ(t.edit.IsModified() != 0, model.applied != model.saved)
                << "round " << round << " step " << step << " after " << what;
        }
    }
}
