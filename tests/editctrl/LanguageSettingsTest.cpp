#include "tests/QvTest.h"

#include "res/resource.h"
#include "tests/editctrl/EditTestSupport.h"

#include <map>

namespace {
CString LoadDefinition(int id)
{
    HRSRC found = ::FindResourceW(nullptr, MAKEINTRESOURCEW(id), L"EDITOR_XML_SETTINGS");
    if (!found)
        return CString();
    HGLOBAL loaded = ::LoadResource(nullptr, found);
    const char* bytes = (const char*)::LockResource(loaded);
    CString text = CString::FromUtf8(bytes, (int)::SizeofResource(nullptr, found));
    text.Remove(L'\r');
    text.Remove(L'\n');
    return text;
}

// The colour painted for every offset of the text (line feeds excluded).
std::vector<COLORREF> PaintedColours(CCodeEditCtrl& e)
{
    CEditDisplayList list;
    e.PaintControl(list, nullptr);
    std::vector<COLORREF> colours((size_t)e.GetLength(), (COLORREF)-1);
    const CEditTextBuffer& text = e.GetTextBuffer();
    int offset = 0;
    for (const EditDrawOp& op : list.Ops()) {
        if (op.kind != EditDrawOp::TEXT)
            continue;
        for (int i = 0; i < op.text.GetLength(); ++i) {
            while (offset < e.GetLength() && text.At(offset) == L'\n')
                ++offset;
            if (offset < e.GetLength())
                colours[(size_t)offset++] = op.color;
        }
    }
    return colours;
}

const COLORREF BLUE = RGB(0, 0, 255), DARKGREEN = RGB(0, 128, 0), STRING = RGB(0xA3, 0x15, 0x15),
               DARKRED = RGB(128, 0, 0), BLACK = RGB(0, 0, 0), PLAINRED = RGB(255, 0, 0), GREY = RGB(128, 128, 128);

struct Token {
    const WCHAR* text;
    int occurrence;  // 0 = first
    COLORREF colour;
};

struct Language {
    const char* name;
    int id;
    const WCHAR* source;
    std::vector<Token> tokens;
};
}  // namespace

TEST(LanguageSettingsTest, EveryShippedDefinitionAppliesWholeAndColoursItsLanguage)
{
    const Language languages[] = {
        {"C/C++", IDR_EDITOR_CPP,
         L"#include <stdio.h>\n/* a block\n   comment */\nint main(void)\n{\n    const char* s = \"a \\\" b\";"
         L" // note\n    return 0;\n}\n",
         {{L"/*", 0, DARKGREEN}, {L"comment", 0, DARKGREEN}, {L"int", 0, BLUE}, {L"main", 0, BLACK},
          {L"const", 0, BLUE}, {L"\" b\"", 0, STRING}, {L"note", 0, DARKGREEN}, {L"return", 0, BLUE}}},
        {"C#", IDR_EDITOR_CSHARP,
         L"using System;\nclass App {\n  static void Main() { string s = \"x\"; } // entry\n}\n",
         {{L"using", 0, BLUE}, {L"class", 0, BLUE}, {L"App", 0, BLACK}, {L"\"x\"", 0, STRING},
          {L"entry", 0, DARKGREEN}}},
        {"JavaScript", IDR_EDITOR_JAVASCRIPT,
         L"function add(a, b) {\n  // sum\n  return `${a}` + 'b';\n}\n",
         {{L"function", 0, BLUE}, {L"add", 0, BLACK}, {L"sum", 0, DARKGREEN}, {L"return", 0, BLUE},
          {L"'b'", 0, STRING}}},
        {"BASIC", IDR_EDITOR_BASIC,
         L"Dim x As Integer\nREM a remark\nx = 1 ' set it\nIf x Then Print \"one\"\n",
         {{L"Dim", 0, BLUE}, {L"Integer", 0, BLUE}, {L"remark", 0, DARKGREEN}, {L"set", 0, DARKGREEN},
          {L"Then", 0, BLUE}, {L"\"one\"", 0, STRING}}},
        {"Pascal", IDR_EDITOR_PASCAL,
         L"program Hello;\n{ greets\n  the world }\nbegin\n  WriteLn('Hi');\nEND.\n",
         {{L"program", 0, BLUE}, {L"greets", 0, DARKGREEN}, {L"world", 0, DARKGREEN}, {L"begin", 0, BLUE},
          {L"'Hi'", 0, STRING}, {L"END", 0, BLUE}}},
        {"assembler", IDR_EDITOR_ASM,
         L"section .text\nstart:\n    MOV eax, 1 ; load\n    ret\n",
         {{L"section", 0, RGB(0x2B, 0x91, 0xAF)}, {L"MOV", 0, BLUE}, {L"eax", 0, DARKRED},
          {L"load", 0, DARKGREEN}, {L"ret", 0, BLUE}}},
        {"SQL", IDR_EDITOR_SQL,
         L"-- report\nSELECT name, COUNT(*) FROM people\nwhere name = 'O''Brien' /* x */;\n",
         {{L"report", 0, DARKGREEN}, {L"SELECT", 0, BLUE}, {L"COUNT", 0, RGB(255, 0, 255)}, {L"where", 0, BLUE},
          {L"Brien", 0, STRING}, {L"x", 0, DARKGREEN}}},
        {"HTML/ASP", IDR_EDITOR_HTML,
         L"<html>\n<!-- a\n note -->\n<body class=\"main\">\n<% Response.Write(1) %>\n</body>\n",
         {{L"html", 0, DARKRED}, {L"note", 0, DARKGREEN}, {L"body", 0, DARKRED}, {L"class", 0, PLAINRED},
          {L"\"main\"", 0, BLUE}, {L"Response", 0, RGB(0, 0, 128)}}},
        {"XML", IDR_EDITOR_XML,
         L"<?xml version=\"1.0\"?>\n<!-- about\n  this -->\n<root a='1'>text</root>\n",
         {{L"version", 0, GREY}, {L"about", 0, DARKGREEN}, {L"this", 0, DARKGREEN}, {L"root", 0, DARKRED},
          {L"text", 0, BLACK}, {L"root", 1, DARKRED}}},
    };
    for (const Language& lang : languages) {
        CString definition = LoadDefinition(lang.id);
        ASSERT_FALSE(definition.IsEmpty()) << lang.name;
        TestEdit t(lang.source, 2000, 400);
        EXPECT_EQ(t.edit.ApplySettingsText(definition), TRUE) << lang.name;
        EXPECT_EQ(t.edit.RefusedColorBlocks(), 0) << lang.name;
        EXPECT_TRUE(t.edit.hyperlinksEnabled) << lang.name;
        std::vector<COLORREF> colours = PaintedColours(t.edit);
        CString source(lang.source);
        for (const Token& token : lang.tokens) {
            int at = -1;
            for (int k = 0; k <= token.occurrence; ++k)
                at = source.Find(token.text, at + 1);
            ASSERT_GE(at, 0) << lang.name;
            EXPECT_EQ(colours[(size_t)at], token.colour)
                << lang.name << ": " << CString(token.text).ToUtf8() << " got " << std::hex << colours[(size_t)at];
        }
    }
}

TEST(LanguageSettingsTest, ValueKindsOfTheFormat)
{
    struct ColourCase {
        const WCHAR* value;
        COLORREF colour;
    } colours[] = {
        {L"0000ff", RGB(0, 0, 255)},  {L"\"Blue\"", RGB(0, 0, 255)}, {L"\"DARKGREEN\"", RGB(0, 128, 0)},
        {L"Blue", 0},                 {L"\"teal\"", 0},              {L"ff00", 0},
        {L"123456", RGB(0x12, 0x34, 0x56)},
    };
    for (const ColourCase& c : colours)
        EXPECT_EQ(ParseColourSpec(c.value), c.colour) << CString(c.value).ToUtf8();

    CString source(L"<V>  \"LT!--\"  </V><V>\\tGTx</V><V>aGTb</V>");
    CString value;
    ASSERT_TRUE(CutTaggedValue(source, L"V", value, TRUE));
    EXPECT_EQ(value, CString(L"<!--"));
    ASSERT_TRUE(CutTaggedValue(source, L"V", value, TRUE));
    EXPECT_EQ(value, CString(L"\t>x"));
    ASSERT_TRUE(CutTaggedValue(source, L"V", value, TRUE));
    EXPECT_EQ(value, CString(L"a>b")) << "letters inside a word are replaced too";
    EXPECT_FALSE(CutTaggedValue(source, L"V", value, TRUE));

    CString nested(L"<BLOCK>a<BLOCK>b</BLOCK>c</BLOCK><BLOCK>d</BLOCK>");
    ASSERT_TRUE(CutTaggedValue(nested, L"BLOCK", value, FALSE));
    EXPECT_EQ(value, CString(L"a<BLOCK>b</BLOCK>c")) << "the outer element holds the inner one whole";
    CString unclosed(L"<X>never closed");
    EXPECT_FALSE(CutTaggedValue(unclosed, L"X", value, FALSE));
    CString lone(L"<Val><</Val>");
    ASSERT_TRUE(CutTaggedValue(lone, L"Val", value, FALSE));
    EXPECT_EQ(value, CString(L"<"));
}

TEST(LanguageSettingsTest, KeysApplyAndReloadsReplaceRules)
{
    const WCHAR* definition =
        L"<OPTIONS><WordDelimiters>x</WordDelimiters><EscapeSequences><EscapeSequence>\\\\</EscapeSequence>"
        L"</EscapeSequences></OPTIONS>"
        L"<COLOR_DATA><EditBackColor>000000</EditBackColor><SelBackColor>\"red\"</SelBackColor>"
        L"<KEYWORDS><Color>0000ff</Color><CaseSensitive>\"true\"</CaseSensitive><Keyword>Go</Keyword></KEYWORDS>"
        L"<KEYWORDS><Keyword>ignored</Keyword></KEYWORDS>"
        L"<WORDS><WORD><Val>w1</Val><Color>ff0000</Color></WORD><WORD><Val>w2</Val></WORD>"
        L"<WORD><Val>w3</Val><Color>ff0000</Color></WORD></WORDS>"
        L"<BLOCKS><BLOCK><Start>/*</Start><End>*/</End><WholeText>true</WholeText></BLOCK>"
        L"<BLOCK><Start>{-</Start><End>-}</End><WholeText>TRUE</WholeText></BLOCK>"
        L"<BLOCK><Start>toolong</Start></BLOCK><BLOCK><Start>#</Start></BLOCK></BLOCKS></COLOR_DATA>"
        L"<HYPERLINKS><URLPrefixes><URLPrefix>web:</URLPrefix></URLPrefixes></HYPERLINKS>";
    TestEdit t(L"");
    CString defaultDelimiters = t.edit.wordDelimiters;
    ASSERT_TRUE(t.edit.ApplySettingsText(definition));
    EXPECT_EQ(t.edit.wordDelimiters, defaultDelimiters) << "only the name WordDelimeters is read";
    EXPECT_EQ(t.edit.backColor, 0u);
    EXPECT_EQ(t.edit.selBackColor, RGB(255, 0, 0));
    EXPECT_EQ(t.edit.selBackColorInactive, RGB(255, 0, 0));
    COLORREF c = 0, b = 0;
    EXPECT_TRUE(t.edit.LookupWordColor(L"go", c, b, 0)) << "a quoted boolean is false: not case-sensitive";
    EXPECT_FALSE(t.edit.LookupWordColor(L"ignored", c, b, 0)) << "keywords without a colour are ignored";
    EXPECT_TRUE(t.edit.LookupWordColor(L"w1", c, b, 0));
    EXPECT_FALSE(t.edit.LookupWordColor(L"w3", c, b, 0)) << "words stop at the first one without a colour";
    EXPECT_EQ(t.edit.colorBlocks.size(), 2u);
    EXPECT_EQ(t.edit.RefusedColorBlocks(), 2) << "a second multi-line block and a long start";
    EXPECT_FALSE(t.edit.hyperlinksEnabled) << "the section switches links off unless it says true";
    ASSERT_EQ(t.edit.urlPrefixes.GetSize(), 1);
    EXPECT_EQ(t.edit.escapeSequences.GetSize(), 1);

    ASSERT_TRUE(t.edit.ApplySettingsText(definition));
    EXPECT_EQ(t.edit.colorBlocks.size(), 2u) << "blocks are replaced";
    EXPECT_EQ(t.edit.escapeSequences.GetSize(), 2) << "escape sequences accumulate";
}

TEST(LanguageSettingsTest, DefinitionFilesAreReadWithTheirLineEndsRemoved)
{
    qvtest::TempFolder folder;
    CString path = folder.WriteFile(L"def.xml", "<COLOR_DATA>\r\n<KEYWORDS><Color>0000ff</Color>\r\n"
                                                "<Keyword>alpha</Keyword></KEYWORDS>\r\n</COLOR_DATA>\r\n");
    TestEdit t(L"");
    ASSERT_TRUE(t.edit.ReadSettingsFile(path));
    COLORREF c = 0, b = 0;
    EXPECT_TRUE(t.edit.LookupWordColor(L"alpha", c, b, 0));
    EXPECT_FALSE(t.edit.ReadSettingsFile(folder / L"missing.xml"));
}

TEST(LanguageSettingsTest, ShippedDefinitionsFoldTheirLanguage)
{
    struct Block {
        int start, end;
        const WCHAR* label;
    };
    struct Language {
        const char* name;
        int id;
        const WCHAR* source;
        std::vector<Block> blocks;
    } languages[] = {
        // The line comment's "{" opens nothing; "if (a)" heads the braces; the comment folds.
        {"C++", IDR_EDITOR_CPP, L"// {\nif (a) {\n}\n/* x\n*/", {{11, 14, L"..."}, {16, 22, L"/**/"}}},
        // Any letter case, whole words only, and "end" inside a string ends nothing.
        {"Pascal", IDR_EDITOR_PASCAL, L"procedure P;\nBEGIN\n x := 'end';\nEnd;", {{13, 34, L"..."}}},
        {"XML", IDR_EDITOR_XML, L"<a>\n<!-- c\n-->\n</a>", {{4, 13, L"<!---->"}}},
    };
    for (const Language& lang : languages) {
        TestEdit t(lang.source);
        ASSERT_EQ(t.edit.ApplySettingsText(LoadDefinition(lang.id)), TRUE) << lang.name;
        t.edit.SetFoldingEnabled(TRUE);
        t.edit.AllowOutlineUpdates(TRUE);
        t.edit.SetAutoOutlining(TRUE);
        t.edit.ReparseOutlineRange(-1, -1);
        std::vector<CCodeOutlineNode*> nodes;
        t.edit.outlineRoot.CollectChildNodes(nodes, true);
        ASSERT_EQ(nodes.size(), lang.blocks.size()) << lang.name;
        for (size_t i = 0; i < nodes.size(); ++i) {
            EXPECT_EQ(nodes[i]->start, lang.blocks[i].start) << lang.name << " " << i;
            EXPECT_EQ(nodes[i]->end, lang.blocks[i].end) << lang.name << " " << i;
            EXPECT_EQ(nodes[i]->label, CString(lang.blocks[i].label)) << lang.name << " " << i;
        }
    }
}
