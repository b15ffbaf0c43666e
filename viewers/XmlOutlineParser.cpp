#include "viewers/XmlOutlineParser.h"

// Tag lexemes keep their tag name as two 32-bit offsets of their own: a
// packed 16-bit pair would lose the names of tags past offset 65,535.
struct CXmlOutlineParser::TagLexeme : Lexeme {
    TagLexeme() = default;
    TagLexeme(const Lexeme& lexeme) : Lexeme(lexeme) {}
    TagLexeme(int kind_, int index, int start_, int end_, int first = -1, int last = -1)
        : Lexeme{kind_, index, start_, end_, 0}, nameFirst(first), nameLast(last)
    {
    }
    bool Is(int index) const { return kind == TAG_KIND && blockIndex == index; }
    int nameFirst = -1;
    int nameLast = -1;
};

CXmlOutlineParser::CXmlOutlineParser() = default;

CXmlOutlineParser::~CXmlOutlineParser() = default;

void CXmlOutlineParser::NextLexeme(Lexeme& lexeme, const CString& text, int& offset, int limit)
{
    if (!xmlMode) {
        CCodeOutlineParser::NextLexeme(lexeme, text, offset, limit);
        return;
    }
    // Tag block types follow the language's own; only those are tried as delimiters.
    int languageTypes = 0;
    while (languageTypes < (int)blockTypes.size() && blockTypes[(size_t)languageTypes]->userValue != 1)
        ++languageTypes;
    const int length = text.GetLength();
    // Once a name scan ran to the limit without a delimiter, later scans of
    // this call would too: skipping them keeps a long run without
    // delimiters after a "<" linear instead of quadratic.
    bool delimiterAhead = true;
    while (offset >= 0 && offset < length && offset <= limit) {
        if (SkipEscapeSequence(text, offset))
            continue;
        if (MatchBlockTypeAt(text, offset, limit, languageTypes, lexeme))
            return;
        int last = 0;
        const int p = offset;
        if (MatchAt(text, p, L"<", last)) {
            tagOpen = 1;
            lexeme = Lexeme{TAG_KIND, TAG_OPEN, p, p, 0};
            offset = p + 1;
            return;
        }
        if (MatchAt(text, p, L">", last)) {
            tagOpen = 0;
            lexeme = Lexeme{TAG_KIND, TAG_CLOSE, p, p, 0};
            offset = p + 1;
            return;
        }
        if (MatchAt(text, p, L"/", last)) {
            lexeme = Lexeme{TAG_KIND, TAG_SLASH, p, p, 0};
            offset = p + 1;
            return;
        }
        if (tagOpen && delimiterAhead) {
            int nameEnd = ReadTagName(text, p, limit);
            delimiterAhead = nameEnd >= 0;
            if (nameEnd > p) {
                tagOpen = 0;
                lexeme = Lexeme{TAG_KIND, TAG_NAME, p, nameEnd - 1, 0};
                offset = nameEnd;
                return;
            }
        }
        offset = p + 1;
    }
    lexeme = Lexeme{-1, 0, 0, 0, 0};
}

// The first delimiter from `offset` on (not past `limit`), or -1 when there is none.
int CXmlOutlineParser::ReadTagName(const CString& text, int offset, int limit) const
{
    for (int q = offset; q < text.GetLength() && q <= limit; ++q)
        if (delimiters.Find(text[q]) >= 0)
            return q;
    return -1;
}

void CXmlOutlineParser::AddBlockNode(int kind, int blockIndex, int start, int end, int extra, NodeList& list)
{
    if (blockIndex >= 0 && blockIndex < (int)blockTypes.size())
        CCodeOutlineParser::AddBlockNode(kind, blockIndex, start, end, extra, list);
}

int CXmlOutlineParser::TagBlockType(const CString& name)
{
    CString label = L"<" + name + L">";
    for (int i = 0; i < (int)blockTypes.size(); ++i)
        if (blockTypes[(size_t)i]->replaceText == label)
            return i;
    if ((int)blockTypes.size() >= blockTypeLimit)
        return -1;
    BlockType* type = new BlockType;
    type->startText = label;
    type->endText = label;
    type->replaceText = label;
    type->allowNested = 1;
    type->userValue = 1;
    blockTypes.push_back(type);
    return (int)blockTypes.size() - 1;
}

CString CXmlOutlineParser::TagName(const CString& text, int from, int to, const TagLexeme& lexeme)
{
    const int first = lexeme.nameFirst, last = lexeme.nameLast;
    if (first < 0 || last < first || last >= text.GetLength() || first < from || last > to)
        return CString();
    return text.Mid(first, last - first + 1);
}

void CXmlOutlineParser::ParseRange(const CString& text, int from, int to, NodeList& list)
{
    if (!xmlMode) {
        CCodeOutlineParser::ParseRange(text, from, to, list);
        return;
    }
    workText.Empty();
    std::vector<TagLexeme> stack(1);
    stack[0].kind = 0;
    int offset = from;
    while (offset <= to) {
        Lexeme read;
        NextLexeme(read, text, offset, to);
        TagLexeme lexeme(read);
        if (lexeme.kind == -1)
            break;
        const TagLexeme& top = stack.back();
        if (lexeme.kind == 1) {
            AddBlockNode(1, lexeme.blockIndex, lexeme.start, lexeme.end, lexeme.extra, list);
        } else if (lexeme.kind == 2) {
            stack.push_back(lexeme);
        } else if (lexeme.kind == 3) {
            if (top.kind == 2 && top.blockIndex == lexeme.blockIndex) {
                AddBlockNode(1, lexeme.blockIndex, top.start, lexeme.end, top.extra, list);
                stack.pop_back();
            } else {
                stack.push_back(lexeme);
            }
        } else if (lexeme.kind == TAG_KIND) {
            if (lexeme.blockIndex == TAG_NAME) {
                lexeme.nameFirst = lexeme.start;
                lexeme.nameLast = lexeme.end;
            }
            HandleTagLexeme(text, from, to, lexeme, stack, list);
        }
    }
    while (!stack.empty()) {
        const TagLexeme& left = stack.back();
        AddBlockNode(left.kind, left.blockIndex, left.start, left.end, left.extra, list);
        stack.pop_back();
    }
}

void CXmlOutlineParser::HandleTagLexeme(const CString& text, int from, int to, const TagLexeme& lexeme,
                                        std::vector<TagLexeme>& stack, NodeList& list)
{
    const TagLexeme top = stack.back();
    switch (lexeme.blockIndex) {
    case TAG_OPEN:
        stack.push_back(lexeme);
        break;
    case TAG_SLASH:
        if (top.Is(TAG_OPEN)) {
            stack.back() = TagLexeme(TAG_KIND, TAG_END_OPEN, top.start, lexeme.end);
        } else {
            stack.push_back(lexeme);
        }
        break;
    case TAG_NAME:
        if (top.Is(TAG_OPEN) || top.Is(TAG_END_OPEN)) {
            int combined = top.Is(TAG_OPEN) ? TAG_OPEN_NAMED : TAG_END_OPEN_NAMED;
            stack.back() = TagLexeme(TAG_KIND, combined, top.start, lexeme.end, lexeme.nameFirst, lexeme.nameLast);
        }
        break;
    case TAG_CLOSE:
        HandleTagClose(text, from, to, lexeme, stack, list);
        break;
    default:
        break;
    }
}

// A ">" completes a self-closing element, a start tag or an end tag.
void CXmlOutlineParser::HandleTagClose(const CString& text, int from, int to, const TagLexeme& close,
                                       std::vector<TagLexeme>& stack, NodeList& list)
{
    const TagLexeme top = stack.back();
    if (top.Is(TAG_SLASH)) {
        stack.pop_back();
        TagLexeme selfClose(TAG_KIND, TAG_SELF_CLOSE, top.start, close.end);
        const TagLexeme opening = stack.back();
        if (opening.Is(TAG_OPEN_NAMED)) {
            stack.back() = TagLexeme(1, TagBlockType(TagName(text, from, to, opening)), opening.start, selfClose.end,
                                     opening.nameFirst, opening.nameLast);
        } else {
            stack.push_back(selfClose);
        }
    } else if (top.Is(TAG_OPEN_NAMED)) {
        stack.back() = TagLexeme(2, TagBlockType(TagName(text, from, to, top)), top.start, close.end, top.nameFirst,
                                 top.nameLast);
    } else if (top.Is(TAG_END_OPEN_NAMED)) {
        stack.pop_back();
        TagLexeme endTag(3, TagBlockType(TagName(text, from, to, top)), top.start, close.end, top.nameFirst,
                         top.nameLast);
        const TagLexeme& opening = stack.back();
        if (opening.kind == 2 && opening.blockIndex == endTag.blockIndex) {
            AddBlockNode(1, endTag.blockIndex, opening.start, endTag.end, opening.extra, list);
            stack.pop_back();
        } else {
            stack.push_back(endTag);
        }
    }
}
