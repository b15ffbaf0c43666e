// CCodeEditCtrl: finding, replacing the found text, and replacing every
// occurrence. The text is searched where it lies, a span at a time, with
// letters folded one by one when case does not matter, so a search makes no
// copy of the text (which may be decrypted plaintext) beyond one short span.
#include "editctrl/CodeEditCtrl.h"

#include <algorithm>
#include <vector>

namespace {
// The lower-case twin of every UTF-16 unit, by the system's own mapping.
const WCHAR* LowerCaseTable()
{
    static const std::vector<WCHAR> table = [] {
        std::vector<WCHAR> t(65536);
        for (size_t i = 0; i < t.size(); ++i) {
            WCHAR ch = (WCHAR)i;
            if (ch != 0)
                ::CharLowerBuffW(&ch, 1);
            t[i] = ch;
        }
        return t;
    }();
    return table.data();
}

// Characters looked at in one go; a span that straddles the buffer's gap is copied (and wiped).
const int SEARCH_CHUNK = 1 << 16;
}  // namespace

// One search: a needle compared with the control's text in place.
class CCodeEditCtrl::TextMatcher {
public:
    TextMatcher(const CCodeEditCtrl& edit, const WCHAR* what, int length, BOOL matchCase, BOOL wholeWord)
        : m_edit(edit), m_text(edit.text), m_fold(matchCase ? nullptr : LowerCaseTable()), m_whole(wholeWord != 0)
    {
        m_needle.assign(what, what + length);
        if (m_fold)
            for (WCHAR& ch : m_needle)
                ch = m_fold[ch];
    }
    ~TextMatcher() { WipeBytes(m_needle.data(), m_needle.size() * sizeof(WCHAR)); }
    TextMatcher(const TextMatcher&) = delete;
    TextMatcher& operator=(const TextMatcher&) = delete;

    int Length() const { return (int)m_needle.size(); }

    // The lowest match start in [low, high], or -1.
    int Forward(int low, int high) const
    {
        const int n = Length();
        low = std::max(low, 0);
        high = std::min(high, m_text.GetLength() - n);
        for (int chunk = low; chunk <= high; chunk += SEARCH_CHUNK) {
            const int starts = std::min(SEARCH_CHUNK, high - chunk + 1);
            CEditTextSpan span = m_text.Span(chunk, starts + n - 1);
            for (int i = 0; i < starts; ++i)
                if (MatchesIn(span.Chars() + i) && WordBoundsAt(chunk + i))
                    return chunk + i;
        }
        return -1;
    }

    // The highest match start in [low, high], or -1.
    int Backward(int low, int high) const
    {
        const int n = Length();
        low = std::max(low, 0);
        high = std::min(high, m_text.GetLength() - n);
        for (int top = high; top >= low; top -= SEARCH_CHUNK) {
            const int starts = std::min(SEARCH_CHUNK, top - low + 1);
            const int first = top - starts + 1;
            CEditTextSpan span = m_text.Span(first, starts + n - 1);
            for (int i = starts - 1; i >= 0; --i)
                if (MatchesIn(span.Chars() + i) && WordBoundsAt(first + i))
                    return first + i;
        }
        return -1;
    }

    // Whether the text at [offset, offset + length) is the needle (word bounds aside).
    bool MatchesAt(int offset) const
    {
        if (offset < 0 || offset + Length() > m_text.GetLength())
            return false;
        for (int i = 0; i < Length(); ++i)
            if (Fold(m_text.At(offset + i)) != m_needle[(size_t)i])
                return false;
        return true;
    }

    // With whole words, the neighbours in the whole text must be delimiters.
    bool WordBoundsAt(int offset) const
    {
        if (!m_whole)
            return true;
        if (offset > 0 && m_edit.IsWordChar(m_text.At(offset - 1)))
            return false;
        const int after = offset + Length();
        return after >= m_text.GetLength() || !m_edit.IsWordChar(m_text.At(after));
    }

private:
    WCHAR Fold(WCHAR ch) const { return m_fold ? m_fold[ch] : ch; }
    bool MatchesIn(const WCHAR* chars) const
    {
        for (size_t i = 0; i < m_needle.size(); ++i)
            if (Fold(chars[i]) != m_needle[i])
                return false;
        return true;
    }

    const CCodeEditCtrl& m_edit;
    const CEditTextBuffer& m_text;
    const WCHAR* m_fold;
    bool m_whole;
    std::vector<WCHAR, WipingAllocator<WCHAR>> m_needle;
};

int CCodeEditCtrl::SearchStartOffset(BOOL forward) const
{
    const int length = text.GetLength();
    int low = std::min(selStart, selEnd), high = std::max(selStart, selEnd);
    int start = low >= 0 && low < high ? (forward ? high : low) : caretOffset;
    return std::clamp(start, 0, length);
}

BOOL CCodeEditCtrl::LocateText(int& position, int& length, const WCHAR* what, BOOL forward, BOOL matchCase,
                               BOOL wholeWord)
{
    const int n = what ? StringLength(what) : 0;
    if (n == 0)
        return FALSE;
    TextMatcher matcher(*this, what, n, matchCase, wholeWord);
    const int size = text.GetLength(), start = SearchStartOffset(forward);
    int found = -1;
    if (forward) {
        // From the start on; then, wrapping, every match that begins before it.
        found = matcher.Forward(start, size - n);
        if (found < 0)
            found = matcher.Forward(0, start - 1);
    } else {
        // The closest match ending at or before the start; then, wrapping,
        // every match that ends after it, from the text end down.
        found = matcher.Backward(0, start - n);
        if (found < 0)
            found = matcher.Backward(start - n + 1, size - n);
    }
    if (found < 0)
        return FALSE;
    position = found;
    length = n;
    return TRUE;
}

void CCodeEditCtrl::ExpandCollapsedAround(int first, int last)
{
    if (!outliningEnabled)
        return;
    // As going to a line does: the lines of both ends come into view.
    for (int offset : {first, last}) {
        if (FindCollapsedNodeInRange(offset, offset, true))
            ExpandLine(LineOfOffset(offset, true, false) + 1);
    }
    while (CCodeOutlineNode* node = FindCollapsedNodeInRange(first, last, true))
        ExpandLine(LineOfOffset(node->start, true, false) + 1);
}

BOOL CCodeEditCtrl::FindAndSelect(const WCHAR* what, BOOL forward, BOOL matchCase, BOOL wholeWord)
{
    int position = 0, length = 0;
    if (!LocateText(position, length, what, forward, matchCase, wholeWord))
        return FALSE;
    ExpandCollapsedAround(position, position + length - 1);
    return SelectRange(position, position + length);
}

BOOL CCodeEditCtrl::SelectionHolds(const WCHAR* what, BOOL matchCase, BOOL wholeWord) const
{
    const int n = what ? StringLength(what) : 0;
    const int low = std::min(selStart, selEnd), high = std::max(selStart, selEnd);
    if (n == 0 || low < 0 || high - low != n)
        return FALSE;
    TextMatcher matcher(*this, what, n, matchCase, wholeWord);
    return matcher.MatchesAt(low) && matcher.WordBoundsAt(low);
}

BOOL CCodeEditCtrl::ReplaceFound(const WCHAR* what, const WCHAR* replacement, BOOL forward, BOOL matchCase,
                                 BOOL wholeWord)
{
    if (!replacement || readOnly)
        return FALSE;
    BOOL replaced = FALSE;
    if (HasSelection() && SelectionHolds(what, matchCase, wholeWord)) {
        DeleteSelectionRange(FALSE, FALSE, TRUE);
        SetCurrentOperation(EDIT_OP_REPLACE);
        const int at = caretOffset;
        CString inserted(replacement);
        if (!inserted.IsEmpty())
            InsertText(inserted, at, FALSE, FALSE, TRUE, FALSE, TRUE);
        inserted.SecureEmpty();
        SetSelectionRange(at, caretOffset, FALSE);
        modified = 1;
        RedrawAll();
        replaced = TRUE;
    }
    BOOL found = FindAndSelect(what, forward, matchCase, wholeWord);
    return replaced || found;
}

void CCodeEditCtrl::CollectReplaceMatches(std::vector<int>& starts, const WCHAR* what, BOOL forward, BOOL matchCase,
                                          BOOL wholeWord) const
{
    const int n = StringLength(what);
    TextMatcher matcher(*this, what, n, matchCase, wholeWord);
    const int size = text.GetLength(), start = SearchStartOffset(forward);
    // The order of a search that goes on after each replacement and stops
    // where it began: from the start to the end, then from the other end up
    // to the first match, never overlapping a match already taken.
    if (forward) {
        int p = matcher.Forward(start, size - n);
        const int wrapUntil = p >= 0 ? p : start + n - 1;  // matches must end by here
        for (; p >= 0; p = matcher.Forward(p + n, size - n))
            starts.push_back(p);
        const int firstTaken = starts.empty() ? wrapUntil : starts.front();
        for (int q = matcher.Forward(0, firstTaken - n); q >= 0; q = matcher.Forward(q + n, firstTaken - n))
            starts.push_back(q);
        std::sort(starts.begin(), starts.end());
        return;
    }
    int p = matcher.Backward(0, start - n);
    for (; p >= 0; p = matcher.Backward(0, p - n))
        starts.push_back(p);
    const int firstTaken = starts.empty() ? start - n + 1 : starts.front();
    const int lowest = starts.empty() ? firstTaken : firstTaken + n;
    for (int q = matcher.Backward(lowest, size - n); q >= 0; q = matcher.Backward(lowest, q - n))
        starts.push_back(q);
    std::sort(starts.begin(), starts.end());
}

int CCodeEditCtrl::ReplaceEverywhere(const WCHAR* what, const WCHAR* replacement, BOOL forward, BOOL matchCase,
                                     BOOL wholeWord)
{
    if (!replacement || readOnly || !what || !*what)
        return 0;
    m_host->ShowWaitCursor(true);
    std::vector<int> starts;
    CollectReplaceMatches(starts, what, forward, matchCase, wholeWord);
    if (starts.empty()) {
        m_host->ShowWaitCursor(false);
        return 0;
    }
    const int n = StringLength(what);
    CString with(replacement);
    NormalizeInsertText(with, TRUE, 0);
    const int r = with.GetLength();

    // One pass: the stretch from the first match to the end of the last is
    // rebuilt once and exchanged in one deletion and one insertion, a single
    // undo step.
    const int first = starts.front(), last = starts.back() + n;
    CString rebuilt;
    WCHAR* out = rebuilt.GetBuffer((last - first) - (int)starts.size() * n + (int)starts.size() * r);
    int written = 0, from = first;
    for (int s : starts) {
        written += text.CopyTo(from, s - from, out + written);
        std::copy(with.GetString(), with.GetString() + r, out + written);
        written += r;
        from = s + n;
    }
    rebuilt.ReleaseBuffer(written);

    // Markers follow lines; when every match and its replacement hold the same
    // line feeds, no line moves and the markers stay where they are.
    const bool linesKept = CountChar(with, L'\n') == CountChar(CString(what), L'\n');
    CString removed = text.Mid(first, last - first);
    if (!CanDeleteText(first, removed) || !CanInsertText(rebuilt, first)) {
        removed.SecureEmpty();
        rebuilt.SecureEmpty();
        with.SecureEmpty();
        m_host->ShowWaitCursor(false);
        return 0;
    }
    SetCurrentOperation(EDIT_OP_REPLACE);
    RecordTextChange(removed, UNDO_DELETE, first, TRUE, TRUE);
    if (!linesKept)
        NoteTextRemoved(first, last, removed);
    // The blocks move with the text around each match instead of going with
    // the whole stretch: folds between the matches stay.
    CODE_EDIT_OUTLINE_CHANGES outlineChanges(first, last);
    MoveOutlineForReplacements(starts, n, r, outlineChanges);
    ChangeDelete(first, last - first);
    if (!linesKept)
        NoteTextInserted(first, rebuilt, TRUE);
    ChangeInsert(first, rebuilt);
    ApplyOutlineChanges(outlineChanges, FALSE);
    if (outlineParser && (HoldsOutlineChar(what) || HoldsOutlineChar(with)))
        ReparseOutline(first, rebuilt.GetLength(), FALSE);
    RecordTextChange(rebuilt, UNDO_INSERT, first, TRUE, FALSE);
    SendChangeNotice(first, rebuilt, TRUE);
    removed.SecureEmpty();
    rebuilt.SecureEmpty();
    with.SecureEmpty();

    // As after the last replacement of a search that replaces as it goes: it is selected.
    const int lastEnd = first + written;
    selStart = selEnd = -1;
    RecalcLayout();
    if (UpdateLineNumberWidth())
        RecalcScrolling();
    SetSelectionRange(lastEnd - r, lastEnd, FALSE);
    MoveCaretToOffset(lastEnd, TRUE, FALSE);
    modified = 1;
    RedrawAll();
    m_host->ShowWaitCursor(false);
    return (int)starts.size();
}

bool CCodeEditCtrl::HoldsOutlineChar(const CString& s) const
{
    for (int i = 0; i < s.GetLength(); ++i)
        if (outlineParser->IsOutlineChar(s[i]))
            return true;
    return false;
}

void CCodeEditCtrl::MoveOutlineForReplacements(const std::vector<int>& starts, int n, int r,
                                               CODE_EDIT_OUTLINE_CHANGES& changes)
{
    if (outlineRoot.children.empty())
        return;
    // Where an offset of the old text lands: shifted by the matches before
    // it; one inside a match lands on the replacement's first (or, for an
    // end, last) character.
    auto map = [&](int p, bool isEnd) {
        size_t k = (size_t)(std::upper_bound(starts.begin(), starts.end(), p) - starts.begin());
        if (k > 0 && p < starts[k - 1] + n) {
            int replaced = starts[k - 1] + (int)(k - 1) * (r - n);
            return isEnd ? replaced + r - 1 : replaced;
        }
        return p + (int)k * (r - n);
    };
    std::vector<CCodeOutlineNode*> nodes, emptied;
    outlineRoot.CollectChildNodes(nodes, true);
    for (CCodeOutlineNode* node : nodes) {
        if (node->end < starts.front())
            continue;
        const int header = map(node->HeaderStart(), false);
        node->start = map(node->start, false);
        node->end = map(node->end, true);
        node->leadLength = std::max(0, node->start - header);
        if (node->end < node->start)
            emptied.push_back(node);
    }
    // A block whose text was all replaced by nothing is gone.
    for (CCodeOutlineNode* node : emptied) {
        CCodeOutlineNode* parent = node->parent;
        int index = parent ? parent->IndexOfChild(node) : -1;
        if (index >= 0)
            parent->RemoveChild((size_t)index, changes, FALSE);
    }
    outlineCache.Invalidate();
}
