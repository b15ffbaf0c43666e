// CCodeOutlineParser: finds the foldable blocks of a text (pairs of start and
// end delimiters, with escapes that hide delimiters and ignored kinds such as
// strings whose content hides them), extends each block back over its header
// (a keyword, or a name followed by a parameter list), and merges the blocks
// of a re-parsed range into the control's outline tree, pairing delimiters
// that an edit separated. Window thread only, like the tree it fills.
#pragma once

#include "editctrl/OutlineNode.h"
#include "framework/base/CObject.h"
#include "framework/base/CString.h"
#include "framework/base/Collections.h"

#include <vector>

class CCodeOutlineParser : public CObject {
public:
    struct BlockType {
        CString startText;
        CString endText;
        CString replaceText;
        BOOL allowNested = 0;
        BOOL ignore = 0;
        CStringArray keywordList;
        int userValue = 0;
    };
    // kind: 1 complete block, 2 start delimiter, 3 end delimiter, -1 none,
    // 0 the bottom of the matching stack.
    struct Lexeme {
        int kind = -1;
        int blockIndex = 0;
        int start = 0;
        int end = 0;
        int extra = 0;
    };
    typedef std::vector<CCodeOutlineNode*> NodeList;

    CCodeOutlineParser();
    ~CCodeOutlineParser() override;
    CCodeOutlineParser(const CCodeOutlineParser&) = delete;
    CCodeOutlineParser& operator=(const CCodeOutlineParser&) = delete;

    // Re-parses offset..offset+length-1 (widened to whole blocks) into the tree.
    virtual void UpdateOutline(const CString& text, int offset, int length, CCodeOutlineNode& root,
                               CODE_EDIT_OUTLINE_CHANGES& changes);
    virtual void InitDefaultBlocks();
    virtual void RegisterBlockType(const CString& start, const CString& end, const WCHAR* label, BOOL allowNested,
                                   BOOL ignore, const CStringArray* keywords);
    virtual void RegisterEscape(const CString& text) { escapes.Add(text); }
    virtual void ClearBlockTypes();
    virtual void NextLexeme(Lexeme& lexeme, const CString& text, int& offset, int limit);
    virtual void AddBlockNode(int kind, int blockIndex, int start, int end, int extra, NodeList& list);
    virtual void ParseRange(const CString& text, int from, int to, NodeList& list);
    virtual BOOL MatchAt(const CString& text, int offset, const CString& delimiter, int& last);
    virtual void ExtendToKeywords(const CString& text, int from, int to, NodeList& list);
    virtual int FindKeywordBefore(const CString& text, int blockStart, int lowerBound, const BlockType& type,
                                  const NodeList& nodes, CString& word);
    virtual int SkipBlanksBack(const CString& text, int from, int lowerBound, const NodeList& nodes);
    virtual int AdjustBlockEnd(const CString&, int end, int) { return end; }
    virtual int PreviousWord(const CString& text, int from, int lowerBound, const WCHAR* stopChars, CString& word);
    virtual BOOL IsFollowedByParen(const CString& text, CString& word, int wordStart, int limit);
    virtual BOOL JoinOpenBlock(CCodeOutlineNode* node, CCodeOutlineNode* context, CODE_EDIT_OUTLINE_CHANGES& changes);
    virtual CCodeOutlineNode* FindCounterpart(CCodeOutlineNode* node, CCodeOutlineNode* context);
    virtual CCodeOutlineNode* ExpandRangeToNodes(CCodeOutlineNode& root, int& first, int& last);

    // Tries the first `typeCount` block types at `offset` in array order: a
    // match sets the lexeme, moves `offset` past it and answers TRUE.
    BOOL MatchBlockTypeAt(const CString& text, int& offset, int limit, int typeCount, Lexeme& lexeme);
    BOOL SkipEscapeSequence(const CString& text, int& offset);
    BOOL IsOutlineChar(WCHAR ch) const;
    BlockType* GetBlockType(int index) const;
    static void GetNodesExtent(const NodeList& nodes, int& first, int& last);
    void InsertNodeIntoTree(CCodeOutlineNode* node, CCodeOutlineNode* parent, CODE_EDIT_OUTLINE_CHANGES& changes);
    void RemoveNodeFromTree(CCodeOutlineNode* node, CCodeOutlineNode* parent, CODE_EDIT_OUTLINE_CHANGES& changes,
                            BOOL keepChildren);

    std::vector<BlockType*> blockTypes;
    CStringArray escapes;
    CString delimiters;
    BOOL caseSensitive = 1;
    BOOL wholeWords = 0;
    CString workText;

private:
    // PreviousWord without the copy: the word's start (or -1) and its end.
    static int WordStartBefore(const CString& text, int from, int lowerBound, const WCHAR* stopChars, int& wordEnd);
    // Whether the offset lies inside one of the nodes.
    static bool InsideAny(int offset, const NodeList& nodes);
    // The root of the tree that holds `node`.
    static CCodeOutlineNode* RootOf(CCodeOutlineNode* node);
    CCodeOutlineNode* m_root = nullptr;
};
