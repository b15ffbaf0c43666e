// Copy, cut, paste and clear through a fake clipboard, the clipboard blocks,
// and the rich-text export, byte for byte.
#include "tests/QvTest.h"

#include "tests/editctrl/EditTestSupport.h"

#include <string>
#include <vector>

namespace {
std::u16string Text(const CCodeEditCtrl& e) { return U16(e.GetTextBuffer().Mid(0, e.GetLength())); }

UINT RichTextFormat() { return ::RegisterClipboardFormatW(L"Rich Text Format"); }

std::string Ascii(const CString& s)
{
    std::string out;
    for (int i = 0; i < s.GetLength(); ++i)
        out += (char)s[i];
    return out;
}

using ClipboardTest = InsertModeTest;
}  // namespace

TEST_F(ClipboardTest, CopyWritesLineFeedsAsTheSettingAsks)
{
    struct Case {
        const char* name;
        BOOL crLf;
        const char16_t* expected;
    } cases[] = {
        {"CR LF setting writes every line feed as CR LF", 1, u"b\r\nc\r\n"},
        {"without it the text is copied as is", 0, u"b\nc\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestEdit t(L"ab\nc\nd");
        t.edit.clipboardCrLf = c.crLf;
        t.edit.SetSelectionRange(1, 5, FALSE);
        ASSERT_TRUE(t.edit.CopySelected());
        EXPECT_EQ(U16(t.host.ClipboardText(CF_UNICODETEXT)), c.expected);
        EXPECT_EQ(t.host.clipboard.count(CCodeEditCtrl::privateClipboardFormat), 0u) << "no column block";
        EXPECT_EQ(t.host.clipboard.count(RichTextFormat()), 0u) << "rich text is off";
    }
}

TEST_F(ClipboardTest, ClipboardBlocksHoldExactlyTheConvertedBytes)
{
    WipedBytes bytes;
    ASSERT_TRUE(CCodeEditCtrl::MakeClipboardBlock(L"a\nb", 3, true, true, bytes));
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.end()), (std::vector<uint8_t>{0x61, 0x0D, 0x0A, 0x62, 0}));
    ASSERT_TRUE(CCodeEditCtrl::MakeClipboardBlock(L"a\nb", 3, false, false, bytes));
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.end()),
              (std::vector<uint8_t>{0x61, 0, 0x0A, 0, 0x62, 0, 0, 0}));
    // A long text of line feeds: twice its length as ANSI with CR LF, plus the zero.
    CString feeds(L'\n', 5000);
    ASSERT_TRUE(CCodeEditCtrl::MakeClipboardBlock(feeds, feeds.GetLength(), true, true, bytes));
    EXPECT_EQ(bytes.size(), 10001u);
    ASSERT_TRUE(CCodeEditCtrl::MakeClipboardBlock(L"", 0, true, true, bytes));
    EXPECT_EQ(bytes.size(), 1u) << "an empty text is one zero byte";
}

TEST_F(ClipboardTest, FailedAndRefusedClipboardOperations)
{
    {
        SCOPED_TRACE("copy with nothing selected and both modes off");
        TestEdit t(L"abc");
        EXPECT_FALSE(t.edit.CopySelected());
        EXPECT_EQ(t.edit.failures, std::vector<unsigned>{0x40000});
    }
    {
        SCOPED_TRACE("line mode on an empty caret line");
        TestEdit t(L"abc\n\nd");
        t.edit.copyLineIfNoSelection = 1;
        t.edit.MoveCaretToOffset(4, FALSE, FALSE);
        EXPECT_FALSE(t.edit.CopySelected());
        EXPECT_EQ(t.edit.failures, std::vector<unsigned>{0x40000});
        t.edit.MoveCaretToOffset(1, FALSE, FALSE);
        t.edit.copyAllIfNoSelection = 1;
        ASSERT_TRUE(t.edit.CopySelected());
        EXPECT_EQ(U16(t.host.ClipboardText(CF_UNICODETEXT)), u"abc\r\n") << "the line mode wins";
    }
    {
        SCOPED_TRACE("a cut whose copy fails deletes nothing");
        TestEdit t(L"secret text");
        t.edit.SetSelectionRange(0, 6, FALSE);
        t.host.clipboardFails = true;
        EXPECT_FALSE(t.edit.CutSelected());
        EXPECT_EQ(Text(t.edit), u"secret text");
        EXPECT_EQ(t.edit.failures, std::vector<unsigned>{0x80100000});
        EXPECT_FALSE(t.edit.CanUndo());
    }
    {
        SCOPED_TRACE("paste into a read-only control, and paste with no text");
        TestEdit t(L"abc");
        t.host.PutClipboardText(CF_UNICODETEXT, CString(L"x"));
        t.edit.readOnly = 1;
        EXPECT_FALSE(t.edit.PasteText(-1));
        EXPECT_FALSE(t.edit.CanPaste());
        t.edit.readOnly = 0;
        EXPECT_TRUE(t.edit.CanPaste());
        t.host.clipboard.clear();
        EXPECT_FALSE(t.edit.CanPaste());
        EXPECT_FALSE(t.edit.PasteText(-1));
        EXPECT_EQ(t.edit.failures, (std::vector<unsigned>{0x40020000, 0x80020000}));
        EXPECT_EQ(Text(t.edit), u"abc");
    }
    {
        SCOPED_TRACE("clear on a read-only control still deletes the selection");
        TestEdit t(L"abcdef");
        t.edit.readOnly = 1;
        t.edit.SetSelectionRange(1, 3, FALSE);
        EXPECT_TRUE(t.edit.ClearSelected());
        EXPECT_EQ(Text(t.edit), u"adef");
    }
}

TEST_F(ClipboardTest, CutAndPasteRoundTripWithOneUndoEach)
{
    TestEdit t(L"one two three");
    t.edit.SetSelectionRange(4, 8, FALSE);
    ASSERT_TRUE(t.edit.CutSelected());
    EXPECT_EQ(Text(t.edit), u"one three");
    t.edit.MoveCaretToOffset(9, FALSE, FALSE);
    t.edit.failures.clear();
    ASSERT_TRUE(t.edit.PasteText(-1));
    EXPECT_EQ(t.edit.failures, std::vector<unsigned>{0x100000}) << "no selection to replace, still inserted";
    EXPECT_EQ(Text(t.edit), u"one threetwo ");
    EXPECT_EQ(t.edit.caretOffset, 13);
    t.edit.StepUndo(TRUE, TRUE);
    EXPECT_EQ(Text(t.edit), u"one three");
    t.edit.StepUndo(TRUE, TRUE);
    EXPECT_EQ(Text(t.edit), u"one two three");

    // Pasting over a selection replaces it in one undo step.
    t.edit.SetSelectionRange(0, 3, FALSE);
    ASSERT_TRUE(t.edit.PasteText(-1));
    EXPECT_EQ(Text(t.edit), u"two  two three");
    t.edit.StepUndo(TRUE, TRUE);
    EXPECT_EQ(Text(t.edit), u"one two three");
}

TEST_F(ClipboardTest, AColumnBlockCopiesBothFormatsAndPastesByColumns)
{
    TestEdit t(L"abcd\nefgh\nijkl\n");
    SelectColumnBlock(t.edit, 1, 3, 2);  // columns 1 and 2 of the first two rows
    EXPECT_EQ(U16(t.edit.GetSelectedText()), u"bc\nfg");
    ASSERT_TRUE(t.edit.CopySelected());
    EXPECT_EQ(U16(t.host.ClipboardText(CCodeEditCtrl::privateClipboardFormat)), u"bc\r\nfg");
    EXPECT_EQ(U16(t.host.ClipboardText(CF_UNICODETEXT)), u"bc\r\nfg");

    t.edit.ClearSelection(FALSE, TRUE, FALSE);
    t.edit.blockSelection = 0;
    t.edit.MoveCaretToOffset(13, FALSE, FALSE);  // column 3 of the third row
    ASSERT_TRUE(t.edit.PasteText(-1));
    EXPECT_EQ(Text(t.edit), u"abcd\nefgh\nijkbcl\nfg");
    // A later record must replay at the offsets the text really had.
    t.edit.MoveCaretToOffset(0, FALSE, FALSE);
    t.edit.HandleChar(L'Z');
    EXPECT_EQ(Text(t.edit), u"Zabcd\nefgh\nijkbcl\nfg");
    t.edit.StepUndo(TRUE, TRUE);
    t.edit.StepUndo(TRUE, TRUE);
    EXPECT_EQ(Text(t.edit), u"abcd\nefgh\nijkl\n") << "one undo takes the whole column paste";
    t.edit.StepRedo(TRUE, TRUE);
    t.edit.StepRedo(TRUE, TRUE);
    EXPECT_EQ(Text(t.edit), u"Zabcd\nefgh\nijkbcl\nfg");

    // Text another program copied goes in as plain text.
    t.host.clipboard.clear();
    t.host.PutClipboardText(CF_UNICODETEXT, CString(L"1\n2"));
    t.edit.MoveCaretToOffset(1, FALSE, FALSE);
    ASSERT_TRUE(t.edit.PasteText(-1));
    EXPECT_EQ(Text(t.edit), u"Z1\n2abcd\nefgh\nijkbcl\nfg");
}

TEST_F(ClipboardTest, RichTextHeaderColourTableAndBodyAreExact)
{
    struct Case {
        const char* name;
        const WCHAR* text;
        int from, to;
        const char* rtf;
    } cases[] = {
        {"default colours: no colour word, an empty table", L"plain", 0, 5,
         "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Courier New;}}{\n\\colortbl;}\n\\pard\\fs20 plain\n}"},
        {"a tab at column 1 becomes three blanks", L"a\tb", 0, 3,
         "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Courier New;}}{\n\\colortbl;}\n\\pard\\fs20 a   b\n}"},
        {"braces and backslashes are escaped", L"{a\\b}", 0, 5,
         "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Courier New;}}{\n\\colortbl;}\n\\pard\\fs20 \\{a\\\\b\\}\n}"},
        {"line feeds become line words", L"a\nb", 0, 3,
         "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Courier New;}}{\n\\colortbl;}\n\\pard\\fs20 a\\line\nb\n}"},
        {"characters beyond ASCII are Unicode escapes, not question marks", L"\x00E9\x20AC\xFFFD", 0, 3,
         "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Courier New;}}{\n\\colortbl;}\n\\pard\\fs20 \\u233?\\u8364?\\u-3?\n}"},
        {"the highlight follows the keyword's background and ends with it", L"int x", 0, 5,
         "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Courier New;}}{\n\\colortbl;\\red255\\green255\\blue0;"
         "\\red255\\green0\\blue0;\\red0\\green0\\blue0;}\n\\pard\\fs20 \\highlight1\\cf2 int\\highlight0\\cf3  x\n}"},
        {"a keyword without background has a colour word only", L"x int", 0, 5,
         "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Courier New;}}{\n\\colortbl;\\red0\\green0\\blue255;}\n"
         "\\pard\\fs20 x \\cf1 int\n}"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestEdit t(c.text);
        t.edit.AddKeyword(CString(L"int"), c.text[0] == L'i' ? 0x0000FF : 0xFF0000,
                          c.text[0] == L'i' ? 0x00FFFF : (COLORREF)-1, TRUE);
        t.edit.SetSelectionRange(c.from, c.to, FALSE);
        CString rtf;
        t.edit.ComposeRtf(rtf);
        EXPECT_EQ(Ascii(rtf), std::string(c.rtf));
    }
}

TEST_F(ClipboardTest, RichTextIsCopiedUpToItsLimit)
{
    for (int length : {120000, 120001}) {
        SCOPED_TRACE(length);
        TestEdit t(CString(L'a', length));
        t.edit.copyRichText = 1;
        t.edit.SetSelectionRange(0, length, FALSE);
        ASSERT_TRUE(t.edit.CopySelected());
        bool hasRtf = t.host.clipboard.count(RichTextFormat()) != 0;
        EXPECT_EQ(hasRtf, length <= 120000);
        if (hasRtf) {
            const WipedBytes& rtf = t.host.clipboard[RichTextFormat()];
            std::string head(rtf.begin(), rtf.begin() + 12);
            EXPECT_EQ(head, "{\\rtf1\\ansi\\");
            EXPECT_EQ(rtf.back(), 0) << "terminated by a zero byte";
        }
    }
}

TEST_F(ClipboardTest, CuttingAColumnBlockTakesOnlyItsColumns)
{
    TestEdit t(L"abcd\nefgh\nijkl\n");
    SelectColumnBlock(t.edit, 1, 3, 2);
    ASSERT_TRUE(t.edit.CutSelected());
    EXPECT_EQ(Text(t.edit), u"ad\neh\nijkl\n") << "the text between the corners on other columns stays";
    EXPECT_EQ(U16(t.host.ClipboardText(CCodeEditCtrl::privateClipboardFormat)), u"bc\r\nfg");
    EXPECT_FALSE(t.edit.blockSelection);
    EXPECT_EQ(t.edit.caretOffset, 1);
    t.edit.HandleChar(L'Z');
    t.edit.StepUndo(TRUE, TRUE);
    t.edit.StepUndo(TRUE, TRUE);
    EXPECT_EQ(Text(t.edit), u"abcd\nefgh\nijkl\n") << "one undo for the whole block";
    t.edit.StepRedo(TRUE, TRUE);
    EXPECT_EQ(Text(t.edit), u"ad\neh\nijkl\n");
}
