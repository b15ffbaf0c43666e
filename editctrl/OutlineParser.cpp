#include "editctrl/OutlineParser.h"

#include <algorithm>
#include <map>

namespace {
// The default word delimiters; PreviousWord always uses these.
const WCHAR DEFAULT_DELIMITERS[] = L" \t\n,./?<>;:\"'{[}]~`%^&*()-+=!";

bool InSet(WCHAR ch, const WCHAR* set)
{
    for (; *set; ++set)
        if (*set == ch)
            return true;
    return false;
}

WCHAR Upper(WCHAR ch)
{
    CharUpperBuffW(&ch, 1);
    return ch;
}

// The union of the handled nodes' extents, so that "inside any handled node"
// stays a logarithmic question on a text with many blocks.
class CoveredRanges {
public:
    void Add(int start, int end)
    {
        auto it = m_ranges.upper_bound(start);
        if (it != m_ranges.begin() && std::prev(it)->second >= start - 1)
            --it;
        while (it != m_ranges.end() && it->first <= end + 1) {
            start = std::min(start, it->first);
            end = std::max(end, it->second);
            it = m_ranges.erase(it);
        }
        m_ranges[start] = end;
    }
    bool Covers(int offset) const
    {
        auto it = m_ranges.upper_bound(offset);
        return it != m_ranges.begin() && std::prev(it)->second >= offset;
    }

private:
    std::map<int, int> m_ranges;
};

thread_local CoveredRanges* t_covered = nullptr;
}  // namespace

CCodeOutlineParser::CCodeOutlineParser() : delimiters(DEFAULT_DELIMITERS) {}

CCodeOutlineParser::~CCodeOutlineParser() { ClearBlockTypes(); }

void CCodeOutlineParser::ClearBlockTypes()
{
    for (BlockType* type : blockTypes)
        delete type;
    blockTypes.clear();
}

void CCodeOutlineParser::InitDefaultBlocks()
{
    ClearBlockTypes();
    RegisterEscape(L"\\\"");
    RegisterEscape(L"\\\\");
    RegisterBlockType(L"\"", L"\"", L"\"\"", FALSE, TRUE, nullptr);
    RegisterBlockType(L"//", L"\n", L"/**/", FALSE, TRUE, nullptr);
    RegisterBlockType(L"/*", L"*/", L"/**/", FALSE, FALSE, nullptr);
    CStringArray keywords;
    for (const WCHAR* word : {L"if", L"else", L"while", L"for", L"do", L"switch", L"class", L"union", L"struct",
                              L"namespace", L"catch", L"try", L"operator"})
        keywords.Add(CString(word));
    RegisterBlockType(L"{", L"}", L"...", TRUE, FALSE, &keywords);
}

void CCodeOutlineParser::RegisterBlockType(const CString& start, const CString& end, const WCHAR* label,
                                           BOOL allowNested, BOOL ignore, const CStringArray* keywords)
{
    if (end.IsEmpty()) {
        RegisterEscape(start);
        return;
    }
    BlockType* type = new BlockType;
    type->startText = start;
    type->endText = end;
    type->replaceText = label ? CString(label) : CString(L"...");
    type->allowNested = allowNested ? 1 : 0;
    type->ignore = ignore ? 1 : 0;
    if (keywords)
        for (const CString& word : *keywords)
            type->keywordList.Add(word);
    blockTypes.push_back(type);
}

CCodeOutlineParser::BlockType* CCodeOutlineParser::GetBlockType(int index) const
{
    return index >= 0 && index < (int)blockTypes.size() ? blockTypes[(size_t)index] : nullptr;
}

BOOL CCodeOutlineParser::MatchAt(const CString& text, int offset, const CString& delimiter, int& last)
{
    last = offset;
    const int n = delimiter.GetLength(), length = text.GetLength();
    if (n == 0 || offset < 0 || offset + n > length)
        return FALSE;
    const WCHAR* chars = text.GetString() + offset;
    for (int i = 0; i < n; ++i) {
        if (chars[i] == delimiter[i])
            continue;
        if (caseSensitive || Upper(chars[i]) != Upper(delimiter[i]))
            return FALSE;
    }
    // Whole words concern word-like delimiters ("begin"); a quote or a brace
    // is its own boundary and would otherwise never match beside a letter.
    bool wordLike = true;
    for (int i = 0; i < n && wordLike; ++i)
        wordLike = delimiters.Find(delimiter[i]) < 0;
    if (wholeWords && wordLike) {
        if (offset > 0 && delimiters.Find(text[offset - 1]) < 0)
            return FALSE;
        if (offset + n < length && delimiters.Find(text[offset + n]) < 0)
            return FALSE;
    }
    last = offset + n - 1;
    return TRUE;
}

BOOL CCodeOutlineParser::SkipEscapeSequence(const CString& text, int& offset)
{
    for (const CString& escape : escapes) {
        int last = 0;
        if (!escape.IsEmpty() && MatchAt(text, offset, escape, last)) {
            offset = last + 1;
            return TRUE;
        }
    }
    return FALSE;
}

BOOL CCodeOutlineParser::IsOutlineChar(WCHAR ch) const
{
    for (const CString& escape : escapes)
        if (escape.Find(ch) >= 0)
            return TRUE;
    for (const BlockType* type : blockTypes)
        if (type->startText.Find(ch) >= 0 || type->endText.Find(ch) >= 0)
            return TRUE;
    return FALSE;
}

void CCodeOutlineParser::NextLexeme(Lexeme& lexeme, const CString& text, int& offset, int limit)
{
    const int length = text.GetLength();
    lexeme = Lexeme{};
    // The characters a delimiter or an escape can start with: any other
    // character is passed over without trying every rule on it (only while
    // delimiters compare exactly, where the first character says it all).
    std::vector<WCHAR> firsts;
    if (caseSensitive) {
        for (const CString& escape : escapes)
            if (!escape.IsEmpty())
                firsts.push_back(escape[0]);
        for (const BlockType* type : blockTypes)
            for (const CString* delimiter : {&type->startText, &type->endText})
                if (!delimiter->IsEmpty())
                    firsts.push_back((*delimiter)[0]);
    }
    const WCHAR* chars = text.GetString();
    while (offset < length && offset <= limit) {
        if (caseSensitive && std::find(firsts.begin(), firsts.end(), chars[offset]) == firsts.end()) {
            ++offset;
            continue;
        }
        if (SkipEscapeSequence(text, offset))
            continue;
        if (MatchBlockTypeAt(text, offset, limit, (int)blockTypes.size(), lexeme))
            return;
        ++offset;
    }
}

BOOL CCodeOutlineParser::MatchBlockTypeAt(const CString& text, int& offset, int limit, int typeCount, Lexeme& lexeme)
{
    const int length = text.GetLength();
    typeCount = std::min(typeCount, (int)blockTypes.size());
    for (int i = 0; i < typeCount; ++i) {
        const BlockType& type = *blockTypes[(size_t)i];
        int last = 0;
        if (type.allowNested) {
            int kind = MatchAt(text, offset, type.startText, last)  ? 2
                       : MatchAt(text, offset, type.endText, last) ? 3
                                                                     : 0;
            if (kind) {
                lexeme = Lexeme{kind, i, offset, last, 0};
                offset = last + 1;
                return TRUE;
            }
            continue;
        }
        if (!MatchAt(text, offset, type.startText, last))
            continue;
        const int begin = offset;
        int p = last + 1;
        bool closed = false;
        while (p < length && p <= limit) {
            if (SkipEscapeSequence(text, p))
                continue;
            int endLast = 0;
            if (MatchAt(text, p, type.endText, endLast)) {
                // A line end stays for the next line's blocks.
                p = type.endText == L"\n" ? endLast : endLast + 1;
                closed = true;
                break;
            }
            ++p;
        }
        if (closed) {
            lexeme = Lexeme{1, i, begin, p - 1, 0};
            offset = p;
            return TRUE;
        }
        if (!type.ignore) {
            lexeme = Lexeme{1, i, begin, length - 1, 0};
            offset = length;
            return TRUE;
        }
    }
    return FALSE;
}

void CCodeOutlineParser::AddBlockNode(int kind, int blockIndex, int start, int end, int, NodeList& list)
{
    if (kind < 1 || kind > 3)
        return;
    CCodeOutlineNode* node = new CCodeOutlineNode;
    node->start = start;
    node->end = end;
    if (const BlockType* type = GetBlockType(blockIndex))
        node->label = type->replaceText;
    node->blockType = blockIndex;
    node->flags = kind == 1 ? OUTLINE_COMPLETE : kind == 2 ? OUTLINE_OPEN_START : OUTLINE_LONE_END;
    list.push_back(node);
}

void CCodeOutlineParser::ParseRange(const CString& text, int from, int to, NodeList& list)
{
    workText.Empty();
    std::vector<Lexeme> stack(1);
    stack[0].kind = 0;
    int offset = from;
    while (offset <= to) {
        Lexeme lexeme;
        NextLexeme(lexeme, text, offset, to);
        if (lexeme.kind == -1)
            break;
        if (lexeme.kind == 1) {
            AddBlockNode(1, lexeme.blockIndex, lexeme.start, lexeme.end, lexeme.extra, list);
        } else if (lexeme.kind == 3 && stack.back().kind == 2 && stack.back().blockIndex == lexeme.blockIndex) {
            Lexeme opening = stack.back();
            stack.pop_back();
            AddBlockNode(1, lexeme.blockIndex, opening.start, lexeme.end, 0, list);
        } else {
            stack.push_back(lexeme);
        }
    }
    while (stack.size() > 1) {
        const Lexeme& left = stack.back();
        AddBlockNode(left.kind, left.blockIndex, left.start, left.end, left.extra, list);
        stack.pop_back();
    }
}

bool CCodeOutlineParser::InsideAny(int offset, const NodeList& nodes)
{
    if (t_covered)
        return t_covered->Covers(offset);
    for (const CCodeOutlineNode* node : nodes)
        if (node->start <= offset && offset <= node->end)
            return true;
    return false;
}

int CCodeOutlineParser::PreviousWord(const CString& text, int from, int lowerBound, const WCHAR* stopChars,
                                     CString& word)
{
    int wordEnd = 0;
    int wordStart = WordStartBefore(text, from, lowerBound, stopChars, wordEnd);
    if (wordStart >= 0)
        word = text.Mid(wordStart, wordEnd - wordStart);
    return wordStart;
}

BOOL CCodeOutlineParser::IsFollowedByParen(const CString& text, CString& word, int wordStart, int limit)
{
    int p = wordStart + word.GetLength();
    while (p < limit && InSet(text[p], L" \t\n"))
        ++p;
    if (p >= limit || text[p] != L'(')
        return FALSE;
    word += text.Mid(p, limit - p);
    return TRUE;
}

int CCodeOutlineParser::WordStartBefore(const CString& text, int from, int lowerBound, const WCHAR* stopChars,
                                        int& wordEnd)
{
    int p = std::min(from, text.GetLength() - 1);
    while (p >= lowerBound && p >= 0 && InSet(text[p], DEFAULT_DELIMITERS)) {
        if (InSet(text[p], stopChars))
            return -1;
        --p;
    }
    wordEnd = p + 1;
    while (p >= lowerBound && p >= 0 && !InSet(text[p], DEFAULT_DELIMITERS))
        --p;
    return wordEnd > p + 1 ? p + 1 : -1;
}

int CCodeOutlineParser::FindKeywordBefore(const CString& text, int blockStart, int lowerBound, const BlockType& type,
                                          const NodeList& nodes, CString& word)
{
    if (type.keywordList.IsEmpty())
        return 0;
    const int bound = std::max(blockStart - 256, lowerBound);
    int from = blockStart - 1;
    // Words are compared where they stand in the text; only the header that
    // is found is copied out.
    while (from >= bound) {
        int wordEnd = 0;
        int wordStart = WordStartBefore(text, from, bound, L";{}", wordEnd);
        if (wordStart < 0)
            return 0;
        from = wordStart - 1;
        if (InsideAny(wordStart, nodes))
            continue;
        const WCHAR* chars = text.GetString() + wordStart;
        const int length = wordEnd - wordStart;
        for (const CString& keyword : type.keywordList) {
            if (keyword.GetLength() == length && std::equal(chars, chars + length, keyword.GetString())) {
                word.SecureEmpty();
                word = text.Mid(wordStart, length);
                return blockStart - wordStart;
            }
        }
        int p = wordEnd;
        while (p < blockStart && InSet(text[p], L" \t\n"))
            ++p;
        if (p < blockStart && text[p] == L'(') {
            word.SecureEmpty();
            word = text.Mid(wordStart, length);
            IsFollowedByParen(text, word, wordStart, blockStart);
            return blockStart - wordStart;
        }
    }
    return 0;
}

int CCodeOutlineParser::SkipBlanksBack(const CString& text, int from, int lowerBound, const NodeList& nodes)
{
    for (int p = from - 1; p >= lowerBound && p >= 0; --p)
        if (!InSet(text[p], L" \t\n") && !InsideAny(p, nodes))
            return p + 1;
    return from;
}

void CCodeOutlineParser::ExtendToKeywords(const CString& text, int from, int to, NodeList& list)
{
    NodeList handled;
    CoveredRanges covered;
    t_covered = &covered;
    for (size_t k = 0; k < list.size(); ++k) {
        CCodeOutlineNode* node = list[k];
        const BlockType* type = GetBlockType(node->blockType);
        if (type && !type->ignore) {
            int lowerBound = from;
            if (!handled.empty() && handled.back()->end > from && handled.back()->end < node->start)
                lowerBound = handled.back()->end;
            CString word;
            node->leadLength = FindKeywordBefore(text, node->start, lowerBound, *type, handled, word);
            word.SecureEmpty();  // the header held the text's words
            int start = SkipBlanksBack(text, node->start, node->start - node->leadLength, handled);
            node->leadLength += start - node->start;
            node->start = start;
            int upperBound = to;
            if (k + 1 < list.size() && list[k + 1]->start > node->end && list[k + 1]->start < to)
                upperBound = list[k + 1]->start;
            node->end = AdjustBlockEnd(text, node->end, upperBound);
        }
        handled.push_back(node);
        covered.Add(node->start, node->end);
    }
    t_covered = nullptr;
}

void CCodeOutlineParser::GetNodesExtent(const NodeList& nodes, int& first, int& last)
{
    for (const CCodeOutlineNode* node : nodes) {
        first = std::min(first, node->start);
        last = std::max(last, node->end);
    }
}

CCodeOutlineNode* CCodeOutlineParser::ExpandRangeToNodes(CCodeOutlineNode& root, int& first, int& last)
{
    int longestStart = 1, longestEnd = 1;
    for (const BlockType* type : blockTypes) {
        longestStart = std::max(longestStart, type->startText.GetLength());
        longestEnd = std::max(longestEnd, type->endText.GetLength());
    }
    first -= longestStart - 1;
    last += longestEnd - 1;
    if (last < first) {
        CCodeOutlineNode* node = root.FindInnermostNodeAt(first);
        while (node && node != &root && node->blockType < 0)
            node = node->parent;
        if (!node || node == &root)
            return &root;
        first = node->HeaderStart();
        last = node->end;
        return node;
    }
    auto widen = [&](const CCodeOutlineNode* node) {
        first = std::min(first, node->HeaderStart());
        last = std::max(last, node->end);
    };
    CCodeOutlineNode* context = &root;
    for (bool descended = true; descended;) {
        descended = false;
        for (CCodeOutlineNode* child : context->children) {
            int test = child->RangeTest(first, last);
            int header = child->HeaderStart();
            if (test == 1 || (header >= first && header <= last)) {
                widen(child);
            } else if (test == 2) {
                if (last < child->end) {
                    const BlockType* type = GetBlockType(child->blockType);
                    if (!type || !type->allowNested)
                        widen(child);
                    context = child;
                    descended = true;
                    break;
                }
                widen(child);
            }
        }
    }
    if (context != &root)
        widen(context);
    return context;
}

CCodeOutlineNode* CCodeOutlineParser::RootOf(CCodeOutlineNode* node)
{
    while (node && node->parent)
        node = node->parent;
    return node;
}

void CCodeOutlineParser::UpdateOutline(const CString& text, int offset, int length, CCodeOutlineNode& root,
                                       CODE_EDIT_OUTLINE_CHANGES& changes)
{
    const int textLength = text.GetLength();
    int first = offset, last = offset + length - 1;
    CCodeOutlineNode* context = ExpandRangeToNodes(root, first, last);
    first = std::max(first, 0);
    last = std::min(last, textLength - 1);
    if (last < first)
        return;
    changes.Widen(first, last);
    NodeList list;
    ParseRange(text, first, last, list);
    int low = first, high = last;
    GetNodesExtent(list, low, high);
    if (low < first || high > last) {
        first = low;
        last = high;
        context = ExpandRangeToNodes(root, first, last);
        first = std::max(first, 0);
        last = std::min(last, textLength - 1);
        changes.Widen(first, last);
        for (CCodeOutlineNode* node : list)
            delete node;
        list.clear();
        ParseRange(text, first, last, list);
    }
    ExtendToKeywords(text, first, last, list);
    root.RemoveNodesInRange(first, last, changes);
    const bool contextRemoved = RootOf(context) != &root;
    m_root = &root;
    for (CCodeOutlineNode* node : list) {
        const BlockType* type = GetBlockType(node->blockType);
        if (!type || type->ignore) {
            delete node;
            continue;
        }
        if (node->IsComplete()) {
            InsertNodeIntoTree(node, &root, changes);
            continue;
        }
        CCodeOutlineNode* where = context;
        if (contextRemoved) {
            where = root.FindInnermostNodeAt((node->flags & OUTLINE_OPEN_START) ? node->start : node->end);
            if (!where)
                where = &root;
        }
        if (!JoinOpenBlock(node, where, changes))
            delete node;
    }
    m_root = nullptr;
}

void CCodeOutlineParser::InsertNodeIntoTree(CCodeOutlineNode* node, CCodeOutlineNode* parent,
                                            CODE_EDIT_OUTLINE_CHANGES& changes)
{
    const BlockType* type = GetBlockType(node->blockType);
    if (!type || !type->allowNested)
        parent->RemoveNodesInRange(node->HeaderStart(), node->end, changes);
    parent->AddNode(node, changes);
}

void CCodeOutlineParser::RemoveNodeFromTree(CCodeOutlineNode* node, CCodeOutlineNode* parent,
                                            CODE_EDIT_OUTLINE_CHANGES& changes, BOOL keepChildren)
{
    int index = parent ? parent->IndexOfChild(node) : -1;
    if (index >= 0)
        parent->RemoveChild((size_t)index, changes, keepChildren);
}

CCodeOutlineNode* CCodeOutlineParser::FindCounterpart(CCodeOutlineNode* node, CCodeOutlineNode* context)
{
    if (!context || node->IsComplete())
        return nullptr;
    const bool openStart = (node->flags & OUTLINE_OPEN_START) != 0;
    for (CCodeOutlineNode* level = context; level; level = level->parent) {
        const size_t n = level->children.size();
        for (size_t k = 0; k < n; ++k) {
            CCodeOutlineNode* child = level->children[openStart ? k : n - 1 - k];
            if (child == node || child->blockType != node->blockType)
                continue;
            bool encloses = child->IsComplete() && child->start < node->start && child->end > node->end;
            bool opposite = openStart ? (child->flags & OUTLINE_LONE_END) && child->start > node->end
                                      : (child->flags & OUTLINE_OPEN_START) && child->end < node->start;
            if (encloses || opposite)
                return child;
        }
    }
    return nullptr;
}

BOOL CCodeOutlineParser::JoinOpenBlock(CCodeOutlineNode* node, CCodeOutlineNode* context,
                                       CODE_EDIT_OUTLINE_CHANGES& changes)
{
    CCodeOutlineNode* partner = FindCounterpart(node, context);
    if (!partner) {
        CCodeOutlineNode* root = m_root ? m_root : RootOf(context);
        if (!root)
            return FALSE;
        InsertNodeIntoTree(node, root, changes);
        return TRUE;
    }
    const bool openStart = (node->flags & OUTLINE_OPEN_START) != 0;
    if (!openStart && !(node->flags & OUTLINE_LONE_END))
        return FALSE;
    const CCodeOutlineNode* startSide = openStart ? node : partner;
    const CCodeOutlineNode* endSide = openStart ? partner : node;
    CCodeOutlineNode* parent = partner->parent;
    RemoveNodeFromTree(partner, parent, changes, FALSE);
    if (!parent)
        parent = m_root ? m_root : RootOf(context);

    CCodeOutlineNode* joined = new CCodeOutlineNode;
    joined->CopyValues(*startSide);
    joined->flags = OUTLINE_COMPLETE;
    joined->collapsed = 0;
    joined->end = endSide->end;
    InsertNodeIntoTree(joined, parent, changes);

    if (partner->IsComplete()) {
        // The partner's other delimiter is left over and pairs on its own.
        const BlockType* type = GetBlockType(partner->blockType);
        CCodeOutlineNode* rest = new CCodeOutlineNode;
        rest->CopyValues(*partner);
        rest->collapsed = 0;
        if (openStart) {
            rest->flags = OUTLINE_OPEN_START;
            rest->end = rest->start + (type ? type->startText.GetLength() : 1) - 1;
        } else {
            rest->flags = OUTLINE_LONE_END;
            rest->start = rest->end - (type ? type->endText.GetLength() : 1) + 1;
            rest->leadLength = 0;
            rest->ClearData();
        }
        if (!JoinOpenBlock(rest, parent, changes))
            delete rest;
    }
    delete node;
    return TRUE;
}
