// COutlineCasheManager (the spelling of the name is intended): the control's
// quick answers about collapsed outline blocks. It keeps the outermost
// collapsed nodes in text order with the line feeds each hides, so that
// "which collapsed node holds this offset", "how many line feeds are hidden
// before it" and "where does visible line n start" are binary searches, not
// walks of the tree or of the text. Rebuilt from the tree when invalid; the
// tree invalidates it on every change. Window thread only.
#pragma once

#include "framework/base/CObject.h"

#include <vector>

class CCodeOutlineNode;
class CEditTextBuffer;

class COutlineCasheManager : public CObject {
public:
    void Invalidate() { invalid = 1; }
    bool IsValid() const { return !invalid; }
    // The outermost collapsed nodes below `root`, with their hidden line feeds.
    void Rebuild(const CCodeOutlineNode& root, const CEditTextBuffer& text);
    void Clear();
    // The outermost collapsed node holding the offset, or null.
    CCodeOutlineNode* Lookup(int offset) const;
    // Hidden line feeds at offsets below `offset`.
    int HiddenBreaksBefore(int offset, const CEditTextBuffer& text) const;
    int HiddenBreakTotal() const { return spans.empty() ? 0 : hiddenBefore.back(); }
    // The line (all lines counted) that visible line n is.
    int LineOfVisibleLine(int n, const CEditTextBuffer& text) const;
    bool IsEmpty() const { return spans.empty(); }

    struct Span {
        int start;
        int end;  // inclusive
        CCodeOutlineNode* node;
    };

    BOOL invalid = 1;
    std::vector<Span> spans;
    // hiddenBefore[i]: hidden line feeds in spans 0..i-1 (one more entry than spans).
    std::vector<int> hiddenBefore;

private:
    // Index of the last span starting at or before the offset, or -1.
    int SpanAtOrBefore(int offset) const;
};
