#include "editctrl/OutlineCache.h"
#include "editctrl/EditTextBuffer.h"
#include "editctrl/OutlineNode.h"

#include <algorithm>

void COutlineCasheManager::Clear()
{
    spans.clear();
    hiddenBefore.assign(1, 0);
    invalid = 1;
}

void COutlineCasheManager::Rebuild(const CCodeOutlineNode& root, const CEditTextBuffer& text)
{
    spans.clear();
    hiddenBefore.assign(1, 0);
    std::vector<CCodeOutlineNode*> nodes;
    root.CollectNodesByCollapse(nodes, TRUE, true);
    const int length = text.GetLength();
    int lastEnd = -1;
    for (CCodeOutlineNode* node : nodes) {
        int start = std::max(node->start, 0), end = std::min(node->end, length - 1);
        // Nodes are disjoint and in text order; a stale overlap is skipped.
        if (end < start || start <= lastEnd)
            continue;
        spans.push_back(Span{start, end, node});
        hiddenBefore.push_back(hiddenBefore.back() + text.CountLineBreaks(start, end + 1));
        lastEnd = end;
    }
    invalid = 0;
}

int COutlineCasheManager::SpanAtOrBefore(int offset) const
{
    auto it = std::upper_bound(spans.begin(), spans.end(), offset,
                               [](int value, const Span& span) { return value < span.start; });
    return (int)(it - spans.begin()) - 1;
}

CCodeOutlineNode* COutlineCasheManager::Lookup(int offset) const
{
    int i = SpanAtOrBefore(offset);
    if (i < 0 || offset > spans[(size_t)i].end)
        return nullptr;
    return spans[(size_t)i].node;
}

int COutlineCasheManager::HiddenBreaksBefore(int offset, const CEditTextBuffer& text) const
{
    int i = SpanAtOrBefore(offset - 1);
    if (i < 0)
        return 0;
    const Span& span = spans[(size_t)i];
    if (offset - 1 > span.end)
        return hiddenBefore[(size_t)i + 1];
    return hiddenBefore[(size_t)i] + text.CountLineBreaks(span.start, offset);
}

int COutlineCasheManager::LineOfVisibleLine(int n, const CEditTextBuffer& text) const
{
    // Spans whose start has fewer than n visible line feeds before it all lie
    // before the n-th visible line feed.
    size_t lo = 0, hi = spans.size();
    while (lo < hi) {
        size_t mid = (lo + hi) / 2;
        int visibleBefore = text.CountLineBreaks(0, spans[mid].start) - hiddenBefore[mid];
        if (visibleBefore < n)
            lo = mid + 1;
        else
            hi = mid;
    }
    return n + hiddenBefore[lo];
}
