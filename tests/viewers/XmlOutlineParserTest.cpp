// The element-folding outline parser: its tag lexemes, how start, end and
// self-closing tags become blocks, the block-type limit, plain mode, and
// tag names far into long texts. Offsets counted by hand.
#include "tests/QvTest.h"

#include "viewers/XmlOutlineParser.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

// A parser with the default brace and comment rules (block types 0..3) in tag mode.
struct TagParser {
    explicit TagParser(BOOL tagMode = TRUE)
    {
        parser.InitDefaultBlocks();
        parser.SetXmlMode(tagMode);
    }
    // Parses the whole text; the nodes in the order they were made.
    std::vector<std::unique_ptr<CCodeOutlineNode>> Parse(const CString& text)
    {
        CCodeOutlineParser::NodeList list;
        parser.ParseRange(text, 0, text.GetLength() - 1, list);
        std::vector<std::unique_ptr<CCodeOutlineNode>> owned;
        for (CCodeOutlineNode* node : list)
            owned.emplace_back(node);
        return owned;
    }
    CXmlOutlineParser parser;
};

struct ExpectedNode {
    int start;
    int end;
    const WCHAR* label;
    DWORD flags;
};

struct ParseCase {
    const char* fault;
    const WCHAR* text;
    std::vector<ExpectedNode> nodes;
};

}  // namespace

TEST(XmlOutlineParser, StartsInPlainModeWithTheBlockTypeLimit)
{
    CXmlOutlineParser parser;
    EXPECT_FALSE(parser.GetXmlMode());
    EXPECT_EQ(512, parser.blockTypeLimit);
    EXPECT_FALSE(parser.tagOpen);
    parser.SetXmlMode(TRUE);
    EXPECT_TRUE(parser.GetXmlMode());
}

TEST(XmlOutlineParser, ReadsTagLexemes)
{
    struct Case {
        const char* fault;
        const WCHAR* text;
        std::vector<CCodeOutlineParser::Lexeme> lexemes;
    };
    const Case cases[] = {
        {"self-closing tag split wrongly", L"<a/>", {{4, -3, 0, 0, 0}, {4, -6, 1, 1, 0}, {4, -5, 2, 2, 0}, {4, -4, 3, 3, 0}}},
        {"name read outside a tag", L"ab <c>", {{4, -3, 3, 3, 0}, {4, -6, 4, 4, 0}, {4, -4, 5, 5, 0}}},
        {"blank before the name taken as the name", L"< ab>", {{4, -3, 0, 0, 0}, {4, -6, 2, 3, 0}, {4, -4, 4, 4, 0}}},
        {"name without a delimiter after it read", L"<abc", {{4, -3, 0, 0, 0}}},
        {"brace rule not tried first", L"<{}>", {{4, -3, 0, 0, 0}, {2, 3, 1, 1, 0}, {3, 3, 2, 2, 0}, {4, -4, 3, 3, 0}}},
        {"comment rule not tried first", L"/*<a>*/", {{1, 2, 0, 6, 0}}},
    };
    for (const Case& c : cases) {
        TagParser t;
        const CString text(c.text);
        int offset = 0;
        std::vector<CCodeOutlineParser::Lexeme> read;
        for (;;) {
            CCodeOutlineParser::Lexeme lexeme;
            t.parser.NextLexeme(lexeme, text, offset, text.GetLength() - 1);
            if (lexeme.kind == -1)
                break;
            read.push_back(lexeme);
        }
        ASSERT_EQ(c.lexemes.size(), read.size()) << c.fault;
        for (size_t i = 0; i < read.size(); ++i) {
            const auto &want = c.lexemes[i], &got = read[i];
            EXPECT_EQ(want.kind, got.kind) << c.fault << " #" << i;
            EXPECT_EQ(want.blockIndex, got.blockIndex) << c.fault << " #" << i;
            EXPECT_EQ(want.start, got.start) << c.fault << " #" << i;
            EXPECT_EQ(want.end, got.end) << c.fault << " #" << i;
        }
    }
}

TEST(XmlOutlineParser, TheOpenTagStateCarriesOverBetweenCalls)
{
    TagParser t;
    const CString text(L"<ab>");
    int offset = 0;
    CCodeOutlineParser::Lexeme lexeme;
    t.parser.NextLexeme(lexeme, text, offset, 0);
    EXPECT_EQ(-3, lexeme.blockIndex);
    EXPECT_TRUE(t.parser.tagOpen);
    // The next call, with its own limit, still reads the name.
    t.parser.NextLexeme(lexeme, text, offset, 3);
    EXPECT_EQ(-6, lexeme.blockIndex);
    EXPECT_EQ(1, lexeme.start);
    EXPECT_EQ(2, lexeme.end);
    EXPECT_FALSE(t.parser.tagOpen);
    // Past the limit or the text nothing is read.
    offset = 4;
    t.parser.NextLexeme(lexeme, text, offset, 3);
    EXPECT_EQ(-1, lexeme.kind);
    offset = -1;
    t.parser.NextLexeme(lexeme, text, offset, 3);
    EXPECT_EQ(-1, lexeme.kind);
}

TEST(XmlOutlineParser, PairsTagsIntoBlocks)
{
    const ParseCase cases[] = {
        {"nested elements not both complete",
         L"<a><b>x</b></a>",
         {{3, 10, L"<b>", OUTLINE_COMPLETE}, {0, 14, L"<a>", OUTLINE_COMPLETE}}},
        {"self-closing element not one block", L"<br/>", {{0, 4, L"<br>", OUTLINE_COMPLETE}}},
        {"names paired case-insensitively",
         L"<Div>x</div>",
         {{6, 11, L"<div>", OUTLINE_LONE_END}, {0, 4, L"<Div>", OUTLINE_OPEN_START}}},
        {"end after a self-closing child paired",
         L"<a><br/></a>",
         {{8, 11, L"<a>", OUTLINE_LONE_END}, {3, 7, L"<br>", OUTLINE_COMPLETE}, {0, 2, L"<a>", OUTLINE_OPEN_START}}},
        {"attributes break the name", L"<p class=x>y</p>", {{0, 15, L"<p>", OUTLINE_COMPLETE}}},
        {"a lone slash-gt made a block", L"x/>", {}},
        {"a name after blanks not read", L"a < b > c", {{2, 6, L"<b>", OUTLINE_OPEN_START}}},
        {"braces inside elements lost",
         L"<a>{x}</a>",
         {{3, 5, L"...", OUTLINE_COMPLETE}, {0, 9, L"<a>", OUTLINE_COMPLETE}}},
    };
    for (const ParseCase& c : cases) {
        TagParser t;
        auto nodes = t.Parse(c.text);
        ASSERT_EQ(c.nodes.size(), nodes.size()) << c.fault;
        for (size_t i = 0; i < nodes.size(); ++i) {
            EXPECT_EQ(c.nodes[i].start, nodes[i]->start) << c.fault << " #" << i;
            EXPECT_EQ(c.nodes[i].end, nodes[i]->end) << c.fault << " #" << i;
            EXPECT_EQ(CString(c.nodes[i].label), nodes[i]->label) << c.fault << " #" << i;
            EXPECT_EQ(c.nodes[i].flags, nodes[i]->flags) << c.fault << " #" << i;
        }
    }
}

TEST(XmlOutlineParser, MakesOneBlockTypePerTagName)
{
    TagParser t;
    t.Parse(L"<a><b></b><b/></a>");
    ASSERT_EQ(6u, t.parser.blockTypes.size());
    for (int i : {4, 5}) {
        const CCodeOutlineParser::BlockType& type = *t.parser.blockTypes[(size_t)i];
        const CString label(i == 4 ? L"<a>" : L"<b>");
        EXPECT_EQ(label, type.startText);
        EXPECT_EQ(label, type.endText);
        EXPECT_EQ(label, type.replaceText);
        EXPECT_TRUE(type.allowNested);
        EXPECT_FALSE(type.ignore);
        EXPECT_EQ(0, type.keywordList.GetSize());
        EXPECT_EQ(1, type.userValue);
    }
    EXPECT_EQ(0, t.parser.blockTypes[3]->userValue);
    EXPECT_EQ(4, t.parser.TagBlockType(L"a"));
}

TEST(XmlOutlineParser, AtTheBlockTypeLimitOnlyKnownNamesFold)
{
    TagParser t;
    EXPECT_EQ(4, t.parser.TagBlockType(L"k"));
    for (int i = 0; (int)t.parser.blockTypes.size() < 512; ++i) {
        CString name;
        name.Format(L"t%d", i);
        t.parser.TagBlockType(name);
    }
    ASSERT_EQ(512u, t.parser.blockTypes.size());
    auto nodes = t.Parse(L"<k>x</k><new>y</new>");
    ASSERT_EQ(1u, nodes.size());
    EXPECT_EQ(0, nodes[0]->start);
    EXPECT_EQ(7, nodes[0]->end);
    EXPECT_EQ(CString(L"<k>"), nodes[0]->label);
    EXPECT_EQ(512u, t.parser.blockTypes.size());
    EXPECT_EQ(-1, t.parser.TagBlockType(L"new"));
}

TEST(XmlOutlineParser, PlainModeFollowsTheBaseRulesOnly)
{
    const CString text(L"{<a>x</a>}");
    TagParser plain(FALSE);
    auto nodes = plain.Parse(text);
    ASSERT_EQ(1u, nodes.size());
    EXPECT_EQ(0, nodes[0]->start);
    EXPECT_EQ(9, nodes[0]->end);
    EXPECT_EQ(3, nodes[0]->blockType);
    EXPECT_EQ(4u, plain.parser.blockTypes.size());

    TagParser tags;
    EXPECT_EQ(2u, tags.Parse(text).size());
}

TEST(XmlOutlineParser, TagLexemesAndUnknownTypesMakeNoNodes)
{
    TagParser t;
    CCodeOutlineParser::NodeList list;
    for (int index : {-1, -3, -7, -10, 4, 99})
        t.parser.AddBlockNode(1, index, 0, 3, 0, list);
    EXPECT_TRUE(list.empty());
    t.parser.AddBlockNode(1, 3, 0, 3, 0, list);
    ASSERT_EQ(1u, list.size());
    delete list[0];
}

// Tag names travel as 32-bit offsets: a tag past offset 65,535 keeps its name.
TEST(XmlOutlineParser, TagsPastOffset65535KeepTheirNames)
{
    struct Case {
        const char* fault;
        int padding;
    };
    for (const Case& c : {Case{"name cut to 16 bits near the limit", 65530}, Case{"name cut to 16 bits", 70000},
                          Case{"name cut to 16 bits past twice the limit", 99000}}) {
        TagParser t;
        CString text(L'x', c.padding);
        text += L"<abc>y</abc><d/>";
        auto nodes = t.Parse(text);
        ASSERT_EQ(2u, nodes.size()) << c.fault;
        EXPECT_EQ(c.padding, nodes[0]->start) << c.fault;
        EXPECT_EQ(c.padding + 11, nodes[0]->end) << c.fault;
        EXPECT_EQ(CString(L"<abc>"), nodes[0]->label) << c.fault;
        EXPECT_TRUE(nodes[0]->IsComplete()) << c.fault;
        EXPECT_EQ(c.padding + 12, nodes[1]->start) << c.fault;
        EXPECT_EQ(CString(L"<d>"), nodes[1]->label) << c.fault;
    }
}

namespace {

// The tag rules written out plainly for texts without language rules: the
// blocks, in the order they are made, as "kind start end label" lines.
std::vector<std::string> ModelTagBlocks(const std::string& text)
{
    struct Tok {
        int kind, index, start, end;
        std::string name;
    };
    std::vector<std::string> labels;
    auto typeOf = [&labels](const std::string& name) {
        std::string label = "<" + name + ">";
        for (size_t i = 0; i < labels.size(); ++i)
            if (labels[i] == label)
                return (int)i;
        labels.push_back(label);
        return (int)labels.size() - 1;
    };
    std::vector<std::string> out;
    auto emit = [&](int kind, int index, int start, int end) {
        if (index >= 0 && kind >= 1 && kind <= 3)
            out.push_back(std::to_string(kind) + " " + std::to_string(start) + " " + std::to_string(end) + " " +
                          labels[(size_t)index]);
    };
    auto isDelimiter = [](char c) { return c == '<' || c == '>' || c == '/' || c == ' '; };
    std::vector<Tok> stack = {{0, 0, 0, 0, ""}};
    auto is = [](const Tok& t, int index) { return t.kind == 4 && t.index == index; };
    bool open = false;
    const int n = (int)text.size();
    for (int p = 0; p < n;) {
        const char c = text[(size_t)p];
        Tok top = stack.back();
        if (c == '<') {
            open = true;
            stack.push_back({4, -3, p, p, ""});
        } else if (c == '/') {
            if (is(top, -3))
                stack.back() = {4, -8, top.start, p, ""};
            else
                stack.push_back({4, -5, p, p, ""});
        } else if (c == '>') {
            open = false;
            if (is(top, -5)) {
                stack.pop_back();
                if (is(stack.back(), -7)) {
                    Tok named = stack.back();
                    stack.back() = {1, typeOf(named.name), named.start, p, named.name};
                } else {
                    stack.push_back({4, -10, top.start, p, ""});
                }
            } else if (is(top, -7)) {
                stack.back() = {2, typeOf(top.name), top.start, p, top.name};
            } else if (is(top, -9)) {
                stack.pop_back();
                Tok endTag = {3, typeOf(top.name), top.start, p, top.name};
                if (stack.back().kind == 2 && stack.back().index == endTag.index) {
                    emit(1, endTag.index, stack.back().start, p);
                    stack.pop_back();
                } else {
                    stack.push_back(endTag);
                }
            }
        } else if (open) {
            int q = p;
            while (q < n && !isDelimiter(text[(size_t)q]))
                ++q;
            if (q < n && q > p) {
                open = false;
                std::string name = text.substr((size_t)p, (size_t)(q - p));
                if (is(top, -3) || is(top, -8))
                    stack.back() = {4, is(top, -3) ? -7 : -9, top.start, q - 1, name};
                p = q;
                continue;
            }
        }
        ++p;
    }
    while (!stack.empty()) {
        emit(stack.back().kind, stack.back().index, stack.back().start, stack.back().end);
        stack.pop_back();
    }
    return out;
}

}  // namespace

// Random texts of tag characters, each parsed by a fresh parser and by the model.
TEST(XmlOutlineParser, RandomTagTextsFollowTheModel)
{
    const char alphabet[] = "<>/ abAx";
    unsigned seed = 6103;
    auto next = [&seed](unsigned n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % n;
    };
    size_t blocks = 0, complete = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        for (unsigned i = 0, length = 1 + next(24); i < length; ++i)
            text += alphabet[next(8)];
        CXmlOutlineParser parser;
        parser.SetXmlMode(TRUE);
        const CString wide(text.c_str());
        CCodeOutlineParser::NodeList list;
        parser.ParseRange(wide, 0, wide.GetLength() - 1, list);
        std::vector<std::string> got;
        for (CCodeOutlineNode* node : list) {
            int kind = node->flags == OUTLINE_COMPLETE ? 1 : node->flags == OUTLINE_OPEN_START ? 2 : 3;
            got.push_back(std::to_string(kind) + " " + std::to_string(node->start) + " " + std::to_string(node->end) +
                          " " + node->label.ToUtf8());
            delete node;
        }
        ASSERT_EQ(ModelTagBlocks(text), got) << "text \"" << text << "\"";
        blocks += got.size();
        complete += (size_t)std::count_if(got.begin(), got.end(), [](const std::string& s) { return s[0] == '1'; });
    }
    EXPECT_GT(blocks, 300u) << "the texts hardly form tags";
    EXPECT_GT(complete, 100u) << "the texts hardly form elements";
}

// A "<" followed by a long run without delimiters reads no name and ends
// (a scan from every position of the run would take minutes).
TEST(XmlOutlineParser, ALongRunWithoutDelimitersAfterAnOpenTagReadsNoName)
{
    TagParser t;
    CString text(L"<");
    text += CString(L'a', 100000);
    int offset = 0;
    CCodeOutlineParser::Lexeme lexeme;
    t.parser.NextLexeme(lexeme, text, offset, text.GetLength() - 1);
    EXPECT_EQ(-3, lexeme.blockIndex);
    t.parser.NextLexeme(lexeme, text, offset, text.GetLength() - 1);
    EXPECT_EQ(-1, lexeme.kind);
    EXPECT_TRUE(t.parser.tagOpen);
    text += L"><b/>";
    // Now the run ends in ">": it is the name of an open start tag.
    auto nodes = t.Parse(text);
    ASSERT_EQ(2u, nodes.size());
    EXPECT_EQ(CString(L"<b>"), nodes[0]->label);
    EXPECT_EQ(100002, nodes[0]->start);
    EXPECT_EQ(0, nodes[1]->start);
    EXPECT_EQ(100001, nodes[1]->end);
    EXPECT_EQ((DWORD)OUTLINE_OPEN_START, nodes[1]->flags);
    EXPECT_EQ(100002, nodes[1]->label.GetLength());
}
