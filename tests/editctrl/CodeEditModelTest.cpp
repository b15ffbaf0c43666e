#include "tests/QvTest.h"

#include "tests/editctrl/EditTestSupport.h"

TEST(CodeEditModelTest, EveryMemberStartsWithItsDocumentedDefault)
{
    CCodeEditCtrl e;
    struct Case {
        const char* member;
        long long actual, expected;
    } cases[] = {
        {"backColor", (int)e.backColor, -1}, {"textColor", (int)e.textColor, -1},
        {"selBackColor", (int)e.selBackColor, -1}, {"selBackColorInactive", (int)e.selBackColorInactive, -1},
        {"selTextColor", (int)e.selTextColor, -1}, {"selTextColorInactive", (int)e.selTextColorInactive, -1},
        {"outlineGlyphColor", (int)e.outlineGlyphColor, -1}, {"outlineLineColor", (int)e.outlineLineColor, -1},
        {"lineNumberBackColor", (int)e.lineNumberBackColor, -1},
        {"lineNumberTextColor", (int)e.lineNumberTextColor, -1}, {"markerBarColor", (int)e.markerBarColor, -1},
        {"clipboardCrLf", e.clipboardCrLf, 1}, {"lineSpacing", e.lineSpacing, 1},
        {"markerBarWidth", e.markerBarWidth, 4}, {"defaultLineNumberWidth", e.defaultLineNumberWidth, 40},
        {"outlineBarWidth", e.outlineBarWidth, 20}, {"indentSize", e.indentSize, 4}, {"tabSize", e.tabSize, 4},
        {"scrollStepPercent", e.scrollStepPercent, 15}, {"scrollMarginColumns", e.scrollMarginColumns, 2},
        {"autoScrollDelay", e.autoScrollDelay, 100}, {"copyAllIfNoSelection", e.copyAllIfNoSelection, 0},
        {"copyLineIfNoSelection", e.copyLineIfNoSelection, 0}, {"dialogCode", e.dialogCode, 4},
        {"autoIndent", e.autoIndent, 1}, {"unicodeFile", e.unicodeFile, 0}, {"copyRichText", e.copyRichText, 0},
        {"symbolsEnabled", e.symbolsEnabled, 0}, {"colorHyperlinks", e.colorHyperlinks, 1},
        {"hyperlinkColor", (int)e.hyperlinkColor, 0xFF0000}, {"modified", e.modified, 0},
        {"maxLineLength", e.maxLineLength, 2048}, {"readOnly", e.readOnly, 0}, {"lastKey", e.lastKey, -1},
        {"previousKey", e.previousKey, -1}, {"lineHeight", e.lineHeight, 0}, {"maxCharWidth", e.maxCharWidth, 0},
        {"aveCharWidth", e.aveCharWidth, 0}, {"caretOffset", e.caretOffset, 0}, {"caretPos.x", e.caretPos.x, 4},
        {"caretPos.y", e.caretPos.y, 0}, {"caretLocked", e.caretLocked, 0}, {"selStart", e.selStart, -1},
        {"selEnd", e.selEnd, -1}, {"blockSelStart.x", e.blockSelStart.x, -1}, {"blockSelEnd.y", e.blockSelEnd.y, -1},
        {"swallowAltUp", e.swallowAltUp, 0}, {"blockSelection", e.blockSelection, 0},
        {"showLineNumbers", e.showLineNumbers, 0}, {"showOutlineBar", e.showOutlineBar, 0},
        {"lineNumberWidth", e.lineNumberWidth, 40}, {"scrollColumn", e.scrollColumn, 0}, {"topLine", e.topLine, 0},
        {"hiddenAboveTop", e.hiddenAboveTop, 0}, {"topOffset", e.topOffset, 0}, {"bottomOffset", e.bottomOffset, 0},
        {"lineBreakCount", e.lineBreakCount, 0}, {"hiddenLineCount", e.hiddenLineCount, 0},
        {"wheelFactor", e.wheelFactor, 1}, {"scrollPastEnd", e.scrollPastEnd, 1},
        {"horzScrollAllowed", e.horzScrollAllowed, 1}, {"caretLine", e.caretLine, 0},
        {"caretColumn", e.caretColumn, 0}, {"dragSelEnd", e.dragSelEnd, 0}, {"dropOffset", e.dropOffset, -1},
        {"mouseState", e.mouseState, -1}, {"preferredColumn", e.preferredColumn, 0}, {"dragSource", e.dragSource, 0},
        {"scrollTimer", e.scrollTimer, -1}, {"tabWidth", e.tabWidth, 0}, {"keepTabs", e.keepTabs, 1},
        {"tipsEnabled", e.tipsEnabled, 0}, {"tipHidden", e.tipHidden, 0}, {"maxTipWidth", e.maxTipWidth, -1},
        {"blockScanRadius", e.blockScanRadius, 4}, {"gradientMarkers", e.gradientMarkers, 0},
        {"outliningEnabled", e.outliningEnabled, 0}, {"autoOutlining", e.autoOutlining, 0},
        {"maxTipLength", e.maxTipLength, 512}, {"hyperlinksEnabled", e.hyperlinksEnabled, 1},
        {"caretLink", e.caretLink, -1}, {"hotLink", e.hotLink, -1}, {"darkBackground", e.darkBackground, 0},
        {"lightHyperlinkColor", (int)e.lightHyperlinkColor, -1}, {"ownBorder", e.ownBorder, 0},
        {"reserved", e.reserved, 0}, {"text length", e.GetLength(), 0}, {"font is null", e.font == nullptr, 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.actual, c.expected) << c.member;

    struct StringCase {
        const char* member;
        const CString& actual;
        const WCHAR* expected;
    } strings[] = {
        {"wordDelimiters", e.wordDelimiters, L" \t\n,./?<>;:\"'{[}]~`%^&*()-+=!"},
        {"specialDelimiters", e.specialDelimiters, L";.{}\n"},
        {"blankChars", e.blankChars, L" \n\t"},
        {"intelliSenseChars", e.intelliSenseChars, L".>:"},
        {"indentChars", e.indentChars, L" \t"},
        {"escapeChars", e.escapeChars, L"\\"},
    };
    for (const StringCase& c : strings)
        EXPECT_EQ(c.actual, CString(c.expected)) << c.member;
    EXPECT_EQ(e.wordDelimiters.Find(L'\\'), -1) << "no backslash among the delimiters";
    ASSERT_EQ(e.urlPrefixes.GetSize(), 3);
    EXPECT_EQ(e.urlPrefixes[0], CString(L"http://"));
    EXPECT_EQ(e.urlPrefixes[1], CString(L"ftp://"));
    EXPECT_EQ(e.urlPrefixes[2], CString(L"mailto:"));
}

TEST(CodeEditModelTest, SettingTextKeepsNulsAndResetsTheView)
{
    TestEdit t(L"one\ntwo\nthree");
    CCodeEditCtrl& e = t.edit;
    e.caretOffset = 9;
    e.selStart = 1;
    e.selEnd = 5;
    e.topLine = 2;
    e.topOffset = 8;
    e.hiddenAboveTop = 1;
    e.scrollColumn = 3;
    e.hiddenLineCount = 4;

    const WCHAR loaded[] = {L'a', 0, L'b', L'\n', L'c'};
    e.SetText(loaded, 5);
    EXPECT_EQ(e.GetLength(), 5) << "a NUL does not cut the text";
    EXPECT_EQ(e.GetCharAt(2), L'b');
    EXPECT_EQ(e.lineBreakCount, 1);
    EXPECT_EQ(e.GetLineCount(), 2);
    struct Case {
        const char* member;
        int actual, expected;
    } cases[] = {{"caretOffset", e.caretOffset, 0}, {"selStart", e.selStart, -1}, {"selEnd", e.selEnd, -1},
                 {"topLine", e.topLine, 0}, {"topOffset", e.topOffset, 0}, {"hiddenAboveTop", e.hiddenAboveTop, 0},
                 {"scrollColumn", e.scrollColumn, 0}, {"hiddenLineCount", e.hiddenLineCount, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(c.actual, c.expected) << c.member;
}

TEST(CodeEditModelTest, CharacterAccessOutsideTheTextGivesZero)
{
    TestEdit t(L"ab");
    EXPECT_EQ(t.edit.GetCharAt(-1), 0);
    EXPECT_EQ(t.edit.GetCharAt(2), 0);
    EXPECT_EQ(t.edit.GetCharAt(1), L'b');
}

TEST(CodeEditModelTest, SymbolsMatchByKeyCharacterOrSequenceInEitherDirection)
{
    TestEdit t(L"a->b");
    CODE_EDIT_SYM_DEF arrow;
    arrow.sequence = L"->";
    t.edit.symbols.push_back(arrow);
    EXPECT_TRUE(t.edit.MatchSymbol(1, true, nullptr));
    EXPECT_TRUE(t.edit.MatchSymbol(2, false, nullptr));
    EXPECT_FALSE(t.edit.MatchSymbol(2, true, nullptr));
    EXPECT_EQ(t.edit.GetSymbolLength(1, true), 1);
    EXPECT_EQ(t.edit.GetSymbolLength(0, true), 0);
}
