#include "tests/QvTest.h"

#include "editctrl/EditColors.h"
#include "tests/editctrl/EditTestSupport.h"

namespace {
const COLORREF RED = 0x0000FF, GREEN = 0x008000, BLUE = 0xFF0000;

// The C-like rules used by most cases: a multi-line comment, a line comment,
// strings with backslash escapes.
void AddCRules(CCodeEditCtrl& e)
{
    e.AddColorBlock(L"/*", L"*/", TRUE, GREEN, -1, TRUE, FALSE);
    e.AddColorBlock(L"//", L"", FALSE, GREEN, -1, TRUE, FALSE);
    e.AddColorBlock(L"\"", L"\"", FALSE, RED, -1, TRUE, FALSE);
}

struct Span {
    int start, end;
};

std::vector<Span> Areas(CCodeEditCtrl& e)
{
    std::vector<CODE_EDIT_COLOR_AREA> areas;
    e.BuildColorAreas(areas, 0, e.GetLength() - 1, nullptr, FALSE);
    std::vector<Span> spans;
    for (const CODE_EDIT_COLOR_AREA& a : areas)
        spans.push_back({a.start, a.end});
    return spans;
}

bool operator==(const Span& a, const Span& b) { return a.start == b.start && a.end == b.end; }
std::ostream& operator<<(std::ostream& os, const Span& s) { return os << s.start << ".." << s.end; }
}  // namespace

TEST(CodeEditColoringTest, BlockDelimitersAreLimitedAndOnlyOneBlockSpansLines)
{
    CCodeEditCtrl e;
    EXPECT_FALSE(e.AddColorBlock(L"abcde", L"", FALSE, RED, -1, TRUE, FALSE)) << "five characters";
    EXPECT_TRUE(e.AddColorBlock(L"abcd", L"", FALSE, RED, -1, TRUE, FALSE)) << "four characters";
    EXPECT_FALSE(e.AddColorBlock(L"x", L"abcde", FALSE, RED, -1, TRUE, FALSE)) << "a five-character end";
    EXPECT_FALSE(e.AddColorBlock(L"/*", L"", TRUE, RED, -1, TRUE, FALSE)) << "multi-line needs an end";
    EXPECT_TRUE(e.AddColorBlock(L"/*", L"*/", TRUE, RED, -1, TRUE, FALSE));
    EXPECT_FALSE(e.AddColorBlock(L"{-", L"-}", TRUE, RED, -1, TRUE, FALSE)) << "a second multi-line block";
    EXPECT_TRUE(e.AddColorBlock(L"<", L">", FALSE, RED, -1, TRUE, FALSE));
    ASSERT_EQ(e.colorBlocks.size(), 3u);
    EXPECT_EQ(e.colorBlocks[0].start, CString(L"abcd")) << "longest start first";
    EXPECT_EQ(e.colorBlocks[1].start, CString(L"/*"));
    EXPECT_EQ(e.colorBlocks[2].start, CString(L"<"));
    CODE_EDIT_COLOR_BLOCK fresh;
    EXPECT_EQ(fresh.caseSensitive, 0);
    EXPECT_EQ((int)fresh.color, -1);
}

TEST(CodeEditColoringTest, KeywordsFollowTheirCaseRule)
{
    TestEdit t(L"");
    CCodeEditCtrl& e = t.edit;
    e.AddKeyword(L"Select", BLUE, -1, FALSE);
    e.AddKeyword(L"Exact", RED, 0x00FFFF, TRUE);
    struct Case {
        const WCHAR* word;
        bool found;
        COLORREF color;
    } cases[] = {
        {L"Select", true, BLUE}, {L"select", true, BLUE}, {L"SELECT", true, BLUE}, {L"Exact", true, RED},
        {L"exact", false, 0},    {L"EXACT", false, 0},    {L"", false, 0},
    };
    for (const Case& c : cases) {
        COLORREF color = 0, back = 0;
        EXPECT_EQ(!!e.LookupWordColor(c.word, color, back, 0), c.found) << U16(c.word).size();
        if (c.found) {
            EXPECT_EQ(color, c.color);
        }
    }
    COLORREF color = 0, back = 0;
    e.LookupWordColor(L"select", color, back, 0);
    EXPECT_EQ(back, 0xFFFFFFu) << "no background of its own: the control's";
    e.LookupWordColor(L"Exact", color, back, 0);
    EXPECT_EQ(back, 0x00FFFFu);
    e.darkBackground = 1;
    e.LookupWordColor(L"select", color, back, 0);
    EXPECT_EQ(color, LightTwin(BLUE)) << "on a dark background the light twin";
    e.LookupWordColor(L"Exact", color, back, 0);
    EXPECT_EQ(color, RED) << "a keyword with its own background keeps its colour";
}

TEST(CodeEditColoringTest, AreasOfCommentsAndStrings)
{
    struct Case {
        const char* name;
        const WCHAR* text;
        std::vector<Span> areas;
    } cases[] = {
        {"line comment takes its line feed", L"a // b\nc", {{2, 6}}},
        {"string ends at its quote", L"x \"ab\" y", {{2, 5}}},
        {"unclosed string ends at the line end", L"x \"abc\ny", {{2, 6}}},
        {"escaped quote does not end a string", L"\"a\\\"b\" c", {{0, 5}}},
        {"comment spans lines", L"a /* b\nc */ d", {{2, 10}}},
        {"unclosed comment runs to the end", L"a /* b\nc", {{2, 7}}},
        {"backslash continues a line comment", L"// a\\\nb\nc", {{0, 7}}},
        {"escaped backslash does not continue", L"// a\\\\\nb", {{0, 6}}},
        {"comment opener inside a string", L"\"/*\" x", {{0, 3}}},
        {"earliest start wins", L"\"//\" // x", {{0, 3}, {5, 8}}},
    };
    for (const Case& c : cases) {
        TestEdit t(c.text);
        AddCRules(t.edit);
        t.edit.AddEscapeSequence(L"\\\\");
        t.edit.AddEscapeSequence(L"\\\"");
        EXPECT_EQ(Areas(t.edit), c.areas) << c.name;
    }
}

TEST(CodeEditColoringTest, LongestStartIsTriedFirstAndCaseFoldsWhenAsked)
{
    TestEdit t(L"<!-- x --> <b>");
    t.edit.AddColorBlock(L"<", L">", FALSE, RED, -1, TRUE, FALSE);
    t.edit.AddColorBlock(L"<!--", L"-->", TRUE, GREEN, -1, TRUE, FALSE);
    std::vector<CODE_EDIT_COLOR_AREA> areas;
    t.edit.BuildColorAreas(areas, 0, t.edit.GetLength() - 1, nullptr, FALSE);
    ASSERT_EQ(areas.size(), 2u);
    EXPECT_EQ(areas[0].color, GREEN);
    EXPECT_EQ(areas[0].end, 9);
    EXPECT_EQ(areas[1].start, 11);

    TestEdit words(L"rem x\nREM y\nremark z");
    words.edit.AddColorBlock(L"rem", L"", FALSE, GREEN, -1, FALSE, TRUE);
    EXPECT_EQ(Areas(words.edit), (std::vector<Span>{{0, 5}, {6, 11}})) << "whole words, any case";
}

TEST(CodeEditColoringTest, OpenBlockAboveTheViewIsFoundAndStringsDoNotOpenIt)
{
    CString body;
    for (int i = 0; i < 50; ++i)
        body += L"line\n";
    struct Case {
        const char* name;
        CString text;
        bool open;
    } cases[] = {
        {"opened many lines above", CString(L"/* start\n") + body + L"x", true},
        {"closed above", CString(L"/* a */\n") + body + L"x", false},
        {"opener inside a string", CString(L"s = \"/*\";\n") + body + L"x", false},
        {"opener inside a line comment", CString(L"// /*\n") + body + L"x", false},
        {"opener after a string on its line", CString(L"\"a\" /*\n") + body + L"x", true},
        {"no opener at all", body + L"x", false},
        {"end followed by a star", CString(L"/* a **/*\n") + body + L"x", false},
    };
    for (const Case& c : cases) {
        TestEdit t(c.text);
        AddCRules(t.edit);
        EXPECT_EQ(!!t.edit.FindOpenColorBlock(t.edit.GetLength() - 1, nullptr), c.open) << c.name;
        // A second question is answered from the line-start checkpoints the same way.
        EXPECT_EQ(!!t.edit.FindOpenColorBlock(t.edit.GetLength() - 2, nullptr), c.open) << c.name;
    }
}

TEST(CodeEditColoringTest, CheckpointsFollowAnEditAboveThem)
{
    CString body;
    for (int i = 0; i < 20; ++i)
        body += L"line\n";
    TestEdit t(CString(L"/* a\n") + body + L"x");
    AddCRules(t.edit);
    int last = t.edit.GetLength() - 1;
    ASSERT_TRUE(t.edit.FindOpenColorBlock(last, nullptr));
    // Close the comment on line 3; the known answers below it must go.
    int at = t.edit.OffsetOfLine(3);
    t.edit.text.Insert(at, L"*/", 2);
    t.edit.InvalidateColorCheckpoints(at);
    EXPECT_FALSE(t.edit.FindOpenColorBlock(last + 2, nullptr));
    EXPECT_TRUE(t.edit.FindOpenColorBlock(at, nullptr));
}

TEST(CodeEditColoringTest, EndOfBlockAndNearbyDelimiters)
{
    TestEdit t(L"abc */ defghij /* x");
    AddCRules(t.edit);
    const CODE_EDIT_COLOR_BLOCK* block = nullptr;
    t.edit.FindOpenColorBlock(0, &block);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(t.edit.EndOfColorBlock(0, *block), 6);
    EXPECT_EQ(t.edit.EndOfColorBlock(7, *block), t.edit.GetLength() - 1);
    EXPECT_TRUE(t.edit.NearColorBlockDelimiter(1)) << "'*/' ends four characters on";
    EXPECT_TRUE(t.edit.NearColorBlockDelimiter(8)) << "'*/' starts four characters back";
    EXPECT_FALSE(t.edit.NearColorBlockDelimiter(10));
}

TEST(CodeEditColoringTest, CharacterSetSearchesAndEnclosingPairs)
{
    CString s(L"ab<cd>ef");
    EXPECT_EQ(CCodeEditCtrl::FindLastOfBefore(s, 4, L"<>"), 3);
    EXPECT_EQ(CCodeEditCtrl::FindLastOfBefore(s, 1, L"<>"), -1);
    EXPECT_EQ(CCodeEditCtrl::FindFirstOfFrom(s, 3, L"<>"), 5);
    EXPECT_EQ(CCodeEditCtrl::SkipSetRun(CString(L"  x"), 0, true, L" "), 2);
    TestEdit t(s);
    int open = -1, close = -1;
    EXPECT_TRUE(t.edit.FindEnclosingPair(4, L'<', L'>', open, close));
    EXPECT_EQ(open, 2);
    EXPECT_EQ(close, 5);
    EXPECT_FALSE(t.edit.FindEnclosingPair(7, L'<', L'>', open, close));
}

TEST(CodeEditColoringTest, LightTwinsAndLightness)
{
    EXPECT_EQ(LightTwin(0), 0x7F7F7Fu);
    EXPECT_EQ(LightTwin((COLORREF)-1), (COLORREF)-1);
    EXPECT_EQ(LightTwin(RGB(204, 204, 204)), 0xFFFFFFu) << "lightness 0.8 becomes 1";
    // Pure blue: hue 2/3, saturation 1, lightness 0.5 -> 0.75: (127, 127, 255).
    EXPECT_EQ(LightTwin(RGB(0, 0, 255)), RGB(127, 127, 255));
    EXPECT_NEAR(ColorLightness(RGB(0, 0, 255)), 0.5, 1e-9);
}

TEST(CodeEditColoringTest, KeywordsAreFoundInPlaceWithTheirCaseRule)
{
    TestEdit t(L"");
    t.edit.AddKeyword(CString(L"Select"), 0x0000FF, (COLORREF)-1, FALSE);
    t.edit.AddKeyword(CString(L"int"), 0xFF0000, (COLORREF)-1, TRUE);
    struct Case {
        const char* name;
        const WCHAR* word;
        int length;
        bool found;
    } cases[] = {
        {"a case-insensitive keyword in any case", L"sElEcT", 6, true},
        {"a case-sensitive keyword as written", L"int", 3, true},
        {"not in another case", L"INT", 3, false},
        {"a prefix of a keyword is none", L"in", 2, false},
        {"a word inside a longer text: only its own length counts", L"intx", 3, true},
        {"a word longer than any keyword", L"selectselectselectselectselectselectselectselectselectselectselect"
                                           L"selectselectselectselectselectselectselectselectselectselect",
         126, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(t.edit.FindKeyword(c.word, c.length) != nullptr, c.found);
    }
    COLORREF color = 0, back = 0;
    EXPECT_TRUE(t.edit.LookupWordColor(CString(L"SELECT"), color, back, 0));
    EXPECT_EQ(color, 0x0000FFu);
}
