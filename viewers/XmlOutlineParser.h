// CXmlOutlineParser: the outline parser of the secure editor's control. With
// tag mode off it is the plain brace-and-comment parser; with tag mode on it
// also folds elements: it reads "<", ">", "/" and tag names, pairs each start
// tag with the end tag of the same name (case-sensitively), turns "<name/>"
// into a complete block, and makes one block type "<name>" per tag name on
// the fly, so a collapsed element shows its start tag.
//
// Tag-name offsets travel as two 32-bit values, so texts longer than 65,535
// characters keep their tag names. Window thread only, like its control.
#pragma once

#include "editctrl/OutlineParser.h"

class CXmlOutlineParser : public CCodeOutlineParser {
public:
    // Tag lexemes: kind TAG_KIND with one of these (negative) block indexes.
    enum : int {
        TAG_KIND = 4,
        TAG_OPEN = -3,            // "<"
        TAG_CLOSE = -4,           // ">"
        TAG_SLASH = -5,           // "/"
        TAG_NAME = -6,            // a tag name
        TAG_OPEN_NAMED = -7,      // "<" and a name
        TAG_END_OPEN = -8,        // "</"
        TAG_END_OPEN_NAMED = -9,  // "</" and a name
        TAG_SELF_CLOSE = -10,     // "/>"
    };
    // No tag block type is made once the block-type array holds this many.
    static const int DEFAULT_BLOCK_TYPE_LIMIT = 512;

    CXmlOutlineParser();
    ~CXmlOutlineParser() override;

    void SetXmlMode(BOOL on) { xmlMode = on ? 1 : 0; }
    BOOL GetXmlMode() const { return xmlMode; }

    void NextLexeme(Lexeme& lexeme, const CString& text, int& offset, int limit) override;
    // Only lexemes of a known block type make a node; tag lexemes make none.
    void AddBlockNode(int kind, int blockIndex, int start, int end, int extra, NodeList& list) override;
    void ParseRange(const CString& text, int from, int to, NodeList& list) override;

    // The block type whose label is "<" + name + ">", made when it is new
    // and the limit allows; -1 otherwise.
    int TagBlockType(const CString& name);

    int blockTypeLimit = DEFAULT_BLOCK_TYPE_LIMIT;
    // A "<" was read and no name or ">" since; carries over between calls.
    BOOL tagOpen = 0;
    BOOL xmlMode = 0;

private:
    // A lexeme on the tag stack, with the offsets of its tag name (-1: none).
    struct TagLexeme;
    void HandleTagLexeme(const CString& text, int from, int to, const TagLexeme& lexeme,
                         std::vector<TagLexeme>& stack, NodeList& list);
    void HandleTagClose(const CString& text, int from, int to, const TagLexeme& close,
                        std::vector<TagLexeme>& stack, NodeList& list);
    // The name a tag lexeme carries, or empty when it lies outside from..to.
    static CString TagName(const CString& text, int from, int to, const TagLexeme& lexeme);
    int ReadTagName(const CString& text, int offset, int limit) const;
};
