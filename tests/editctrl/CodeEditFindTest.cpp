// Finding and replacing: where a search starts, wrapping, direction, case and
// whole words; replacing the found text and every occurrence. Expected
// offsets are counted by hand; a model of the search, written from its rules
// (a lower-cased, for backward searches reversed, copy searched from the
// start offset and then, wrapped, from 0), checks random searches.
#include "tests/QvTest.h"

#include "tests/editctrl/EditTestSupport.h"

#include <random>
#include <string>

namespace {
struct FindCase {
    const char* fault;
    const WCHAR* text;
    int selStart, selEnd, caret;  // selection -1: none
    const WCHAR* what;
    BOOL forward, matchCase, wholeWord;
    int expected;  // -1: not found
};

const FindCase FIND_CASES[] = {
    {"a selected match is found again instead of the next", L"abc abc abc", 0, 3, 3, L"abc", 1, 1, 0, 4},
    {"backward search skips the match ending at the caret", L"abc abc abc", -1, -1, 7, L"abc", 0, 1, 0, 4},
    {"forward search past the last match does not wrap", L"abc abc abc", -1, -1, 9, L"abc", 1, 1, 0, 0},
    {"a selection ending at the text end does not wrap", L"a b a", 4, 5, 5, L"a", 1, 1, 0, 0},
    {"a match across the start offset is missed", L"abcd", -1, -1, 2, L"bc", 1, 1, 0, 1},
    {"a whole word at the text end is refused", L"foo bar", -1, -1, 0, L"bar", 1, 1, 1, 4},
    {"a word followed by a letter at the end counts as whole", L"foo barx", -1, -1, 0, L"bar", 1, 1, 1, -1},
    {"the wrapped copy's cut end looks like a word end", L"abcd", -1, -1, 1, L"abc", 1, 1, 1, -1},
    {"mixed case does not find capitals", L"Word WORD word", -1, -1, 1, L"wOrD", 1, 0, 0, 5},
    {"case folding misses letters beyond ASCII", L"x \x00C4rger", -1, -1, 0, L"\x00E4RGER", 1, 0, 0, 2},
    {"matching case finds the other case", L"Word word", -1, -1, 0, L"word", 1, 1, 0, 5},
    {"backward wrap does not go on from the text end", L"ab ab", -1, -1, 1, L"ab", 0, 1, 0, 3},
    {"an empty search text finds something", L"abc", -1, -1, 0, L"", 1, 1, 0, -1},
    {"a search in an empty text finds something", L"", -1, -1, 0, L"a", 1, 1, 0, -1},
    {"a text longer than the document is found", L"ab", -1, -1, 0, L"abc", 1, 1, 0, -1},
};

void Place(CCodeEditCtrl& e, int selStart, int selEnd, int caret)
{
    e.MoveCaretToOffset(caret, FALSE, FALSE);
    e.selStart = selStart;
    e.selEnd = selEnd;
}

std::u16string Lower(std::u16string s)
{
    for (char16_t& c : s)
        if (c >= u'A' && c <= u'Z')
            c = (char16_t)(c - u'A' + u'a');
    return s;
}

bool IsDelimiter(char16_t c) { return std::u16string(u" \t\n,./?<>;:\"'{[}]~`%^&*()-+=!").find(c) != std::u16string::npos; }

// LocateText as its rules read, on ASCII texts.
int ModelLocate(const std::u16string& text, int selStart, int selEnd, int caret, std::u16string what, bool forward,
                bool matchCase, bool wholeWord)
{
    const int length = (int)text.size(), n = (int)what.size();
    if (n == 0)
        return -1;
    int low = std::min(selStart, selEnd), high = std::max(selStart, selEnd);
    int start = low >= 0 && low < high ? (forward ? high : low) : caret;
    start = std::max(0, std::min(start, length));
    std::u16string hay = matchCase ? text : Lower(text);
    if (!matchCase)
        what = Lower(what);
    if (!forward) {
        hay.assign(hay.rbegin(), hay.rend());
        what.assign(what.rbegin(), what.rend());
        start = length - start;
    }
    // Neighbours come from the whole text (in search order).
    auto bounded = [&](int p) {
        if (!wholeWord)
            return true;
        bool before = p == 0 || IsDelimiter(hay[(size_t)p - 1]);
        bool after = p + n >= length || IsDelimiter(hay[(size_t)(p + n)]);
        return before && after;
    };
    auto search = [&](int from, int limit) {
        for (int p = from; p + n <= limit; ++p)
            if (hay.compare((size_t)p, (size_t)n, what) == 0 && bounded(p))
                return p;
        return -1;
    };
    int p = search(start, length);
    if (p < 0)
        p = search(0, std::min(start + n - 1, length));
    if (p < 0)
        return -1;
    return forward ? p : length - p - n;
}
}  // namespace

TEST(CodeEditFindTest, LocateTextTable)
{
    for (const FindCase& c : FIND_CASES) {
        TestEdit t(c.text);
        Place(t.edit, c.selStart, c.selEnd, c.caret);
        int position = -1, length = 0;
        BOOL found = t.edit.LocateText(position, length, c.what, c.forward, c.matchCase, c.wholeWord);
        EXPECT_EQ(found ? position : -1, c.expected) << c.fault;
        if (found) {
            EXPECT_EQ(length, StringLength(c.what)) << c.fault;
        }
    }
    TestEdit t(L"abc");
    int position = 0, length = 0;
    EXPECT_FALSE(t.edit.LocateText(position, length, nullptr, TRUE, TRUE, FALSE));
}

TEST(CodeEditFindTest, RandomSearchesAgreeWithTheModel)
{
    std::mt19937 random(4711);
    const char16_t alphabet[] = u"aAb .";
    for (int round = 0; round < 3000; ++round) {
        std::u16string text, what;
        int n = (int)(random() % 14), m = 1 + (int)(random() % 3);
        for (int i = 0; i < n; ++i)
            text += alphabet[random() % 5];
        for (int i = 0; i < m; ++i)
            what += alphabet[random() % 3];
        int caret = (int)(random() % (n + 1));
        int selStart = -1, selEnd = -1;
        if (random() % 2) {
            selStart = (int)(random() % (n + 1));
            selEnd = (int)(random() % (n + 1));
        }
        bool forward = random() % 2, matchCase = random() % 2, wholeWord = random() % 2;
        TestEdit t(CString((const WCHAR*)text.c_str(), n));
        Place(t.edit, selStart, selEnd, caret);
        int position = -1, length = 0;
        CString needle((const WCHAR*)what.c_str(), m);
        BOOL found = t.edit.LocateText(position, length, needle, forward, matchCase, wholeWord);
        int expected = ModelLocate(text, selStart, selEnd, caret, what, forward, matchCase, wholeWord);
        ASSERT_EQ(found ? position : -1, expected)
            << "round " << round << " text '" << CString((const WCHAR*)text.c_str(), n).ToUtf8() << "' what '"
            << needle.ToUtf8() << "' caret " << caret << " sel " << selStart << "," << selEnd << " fwd " << forward
            << " case " << matchCase << " whole " << wholeWord;
    }
}

TEST(CodeEditFindTest, FindSelectsTheMatchWithTheCaretAtItsEnd)
{
    TestEdit t(L"one two one");
    EXPECT_TRUE(t.edit.FindAndSelect(L"one", TRUE, TRUE, FALSE));
    EXPECT_EQ(t.edit.selStart, 0);
    EXPECT_EQ(t.edit.selEnd, 3);
    EXPECT_EQ(t.edit.GetCaretOffset(), 3);
    EXPECT_TRUE(t.edit.FindAndSelect(L"one", TRUE, TRUE, FALSE));
    EXPECT_EQ(t.edit.selStart, 8);
    EXPECT_FALSE(t.edit.FindAndSelect(L"three", TRUE, TRUE, FALSE));
    EXPECT_EQ(t.edit.selStart, 8);
}

TEST(CodeEditFindTest, FindInsideACollapsedBlockExpandsIt)
{
    // "{" at 2, "}" at 20: the block holds lines "1".."8".
    TestEdit t(L"x {\n1\n2\n3\n4\n5\n6\n7\n8\n}\ny");
    FoldWholeText(t.edit);
    ASSERT_EQ(t.edit.outlineRoot.children.size(), 1u);
    CCodeOutlineNode* block = t.edit.outlineRoot.children[0];
    t.edit.ToggleOutlineNode(block);
    ASSERT_EQ(t.edit.hiddenLineCount, 9);
    EXPECT_TRUE(t.edit.FindAndSelect(L"5", TRUE, TRUE, FALSE));
    EXPECT_FALSE(block->collapsed);
    EXPECT_EQ(t.edit.hiddenLineCount, 0);
    EXPECT_EQ(t.edit.selStart, 12);
    EXPECT_EQ(t.edit.LineOfOffset(12, true, true), 5);
}

namespace {
struct ReplaceAllCase {
    const char* fault;
    const WCHAR* text;
    int caret;
    const WCHAR* what;
    const WCHAR* with;
    BOOL matchCase, wholeWord;
    const WCHAR* expected;
    int count;
};

const ReplaceAllCase REPLACE_ALL_CASES[] = {
    {"an empty replacement stops after the first match", L"aaa", 0, L"a", L"", 1, 0, L"", 3},
    {"an empty replacement from the end misses matches", L"aaa", 3, L"a", L"", 1, 0, L"", 3},
    {"a doubled letter is replaced again inside its replacement", L"xax a", 0, L"a", L"aa", 1, 0, L"xaax aa", 2},
    {"a replacement ending with the text loops at the text end", L"xb", 0, L"b", L"ab", 1, 0, L"xab", 1},
    {"matches before the caret are left out", L"ab ab ab", 4, L"ab", L"X", 1, 0, L"X X X", 3},
    {"overlapping matches are replaced twice", L"aaaa", 0, L"aa", L"b", 1, 0, L"bb", 2},
    {"whole words replace inside words", L"cat catalog cat", 0, L"cat", L"dog", 1, 1, L"dog catalog dog", 2},
    {"case is not ignored when asked", L"Ab ab AB", 0, L"ab", L"x", 0, 0, L"x x x", 3},
    {"line feeds in the replacement are lost", L"a;b", 0, L";", L"\n", 1, 0, L"a\nb", 1},
    {"no occurrence still changes something", L"abc", 0, L"z", L"y", 1, 0, L"abc", 0},
};
}  // namespace

TEST(CodeEditFindTest, ReplaceEverywhereTable)
{
    for (const ReplaceAllCase& c : REPLACE_ALL_CASES) {
        TestEdit t(c.text);
        t.edit.MoveCaretToOffset(c.caret, FALSE, FALSE);
        int count = t.edit.ReplaceEverywhere(c.what, c.with, TRUE, c.matchCase, c.wholeWord);
        EXPECT_EQ(count, c.count) << c.fault;
        EXPECT_EQ(U16(t.edit.GetTextBuffer().Mid(0, t.edit.GetLength())), U16(CString(c.expected))) << c.fault;
        EXPECT_EQ(t.edit.IsModified() != 0, c.count > 0) << c.fault;
    }
}

TEST(CodeEditFindTest, ReplaceEverywhereIsOneUndoStep)
{
    TestEdit t(L"a-b-c-d");
    t.edit.SetSelectionRange(0, 1, FALSE);
    EXPECT_EQ(t.edit.ReplaceEverywhere(L"-", L"+=", TRUE, TRUE, FALSE), 3);
    EXPECT_EQ(U16(t.edit.GetTextBuffer().Mid(0, t.edit.GetLength())), u"a+=b+=c+=d");
    // The last replacement is selected.
    EXPECT_EQ(std::min(t.edit.selStart, t.edit.selEnd), 7);
    EXPECT_EQ(std::max(t.edit.selStart, t.edit.selEnd), 9);
    EXPECT_TRUE(t.edit.StepUndo(TRUE, FALSE));
    EXPECT_EQ(U16(t.edit.GetTextBuffer().Mid(0, t.edit.GetLength())), u"a-b-c-d");
    EXPECT_FALSE(t.edit.CanUndo());
    EXPECT_FALSE(t.edit.IsModified());
    EXPECT_TRUE(t.edit.StepRedo(TRUE, FALSE));
    EXPECT_EQ(U16(t.edit.GetTextBuffer().Mid(0, t.edit.GetLength())), u"a+=b+=c+=d");
}

TEST(CodeEditFindTest, ReplaceAllWithoutMatchesKeepsTheSelection)
{
    TestEdit t(L"abc");
    t.edit.SetSelectionRange(1, 2, FALSE);
    EXPECT_EQ(t.edit.ReplaceEverywhere(L"z", L"y", TRUE, TRUE, FALSE), 0);
    EXPECT_EQ(t.edit.selStart, 1);
    EXPECT_EQ(t.edit.selEnd, 2);
    EXPECT_FALSE(t.edit.CanUndo());
}

TEST(CodeEditFindTest, ReplaceFoundReplacesTheSelectedMatchAndSelectsTheNext)
{
    TestEdit t(L"abc abc");
    t.edit.SetSelectionRange(0, 3, FALSE);
    EXPECT_TRUE(t.edit.ReplaceFound(L"ABC", L"X", TRUE, FALSE, FALSE));
    EXPECT_EQ(U16(t.edit.GetTextBuffer().Mid(0, t.edit.GetLength())), u"X abc");
    EXPECT_EQ(t.edit.selStart, 2);
    EXPECT_EQ(t.edit.selEnd, 5);
    // The selection is not the search text: nothing is replaced, the next one is found.
    t.edit.SetSelectionRange(0, 1, FALSE);
    EXPECT_TRUE(t.edit.ReplaceFound(L"abc", L"Y", TRUE, TRUE, FALSE));
    EXPECT_EQ(U16(t.edit.GetTextBuffer().Mid(0, t.edit.GetLength())), u"X abc");
    EXPECT_EQ(t.edit.selStart, 2);
    // An empty replacement deletes the match.
    EXPECT_TRUE(t.edit.ReplaceFound(L"abc", L"", TRUE, TRUE, FALSE));
    EXPECT_EQ(U16(t.edit.GetTextBuffer().Mid(0, t.edit.GetLength())), u"X ");
}

TEST(CodeEditFindTest, ReadOnlyReplacesNothingButStillFinds)
{
    TestEdit t(L"abc abc");
    t.edit.readOnly = 1;
    t.edit.SetSelectionRange(0, 3, FALSE);
    EXPECT_FALSE(t.edit.ReplaceFound(L"abc", L"X", TRUE, TRUE, FALSE));
    EXPECT_EQ(t.edit.ReplaceEverywhere(L"abc", L"X", TRUE, TRUE, FALSE), 0);
    EXPECT_FALSE(t.edit.ReplaceFound(L"abc", nullptr, TRUE, TRUE, FALSE));
    EXPECT_EQ(U16(t.edit.GetTextBuffer().Mid(0, t.edit.GetLength())), u"abc abc");
    EXPECT_TRUE(t.edit.FindAndSelect(L"abc", TRUE, TRUE, FALSE));
}

namespace {
// A control whose owner refuses every deletion.
class GuardedEdit : public CCodeEditCtrl {
public:
    BOOL CanDeleteText(int, const CString&) override { return FALSE; }
};
}  // namespace

TEST(CodeEditFindTest, ReplaceAllAsksTheDeletionHookFirst)
{
    GuardedEdit e;
    e.SetText(L"a-b", 3);
    EXPECT_EQ(e.ReplaceEverywhere(L"-", L"+", TRUE, TRUE, FALSE), 0);
    EXPECT_EQ(U16(e.GetTextBuffer().Mid(0, e.GetLength())), u"a-b");
    EXPECT_FALSE(e.CanUndo());
}

// Replace-all moves the blocks between its matches with the text; a fold
// there stays folded and keeps hiding its lines.
TEST(CodeEditFindTest, ReplaceAllKeepsTheFoldsBetweenItsMatches)
{
    // "aa" at 0; "{" at 3 .. "}" at 10 holding "aa" at 5 and "x" at 8; "aa" at 12.
    TestEdit t(L"aa {\naa\nx\n}\naa");
    FoldWholeText(t.edit);
    ASSERT_EQ(t.edit.outlineRoot.children.size(), 1u);
    CCodeOutlineNode* block = t.edit.outlineRoot.children[0];
    ASSERT_EQ(block->start, 3);
    ASSERT_EQ(block->end, 10);
    t.edit.ToggleOutlineNode(block);
    ASSERT_EQ(t.edit.hiddenLineCount, 3);
    EXPECT_EQ(t.edit.ReplaceEverywhere(L"aa", L"bbbb", TRUE, TRUE, FALSE), 3);
    EXPECT_EQ(U16(t.edit.GetTextBuffer().Mid(0, t.edit.GetLength())), u"bbbb {\nbbbb\nx\n}\nbbbb");
    ASSERT_EQ(t.edit.outlineRoot.children.size(), 1u);
    EXPECT_EQ(t.edit.outlineRoot.children[0], block);
    EXPECT_EQ(block->start, 5);
    EXPECT_EQ(block->end, 14);
    EXPECT_TRUE(block->collapsed);
    EXPECT_EQ(t.edit.hiddenLineCount, 3);
    // An empty replacement of the whole block's text takes the block away.
    TestEdit u(L"a{}b{}");
    FoldWholeText(u.edit);
    u.edit.SetAutoOutlining(FALSE);  // only the moving of the blocks is looked at
    ASSERT_EQ(u.edit.outlineRoot.children.size(), 2u);
    EXPECT_EQ(u.edit.ReplaceEverywhere(L"{}", L"", TRUE, TRUE, FALSE), 2);
    EXPECT_TRUE(u.edit.outlineRoot.children.empty());
}
