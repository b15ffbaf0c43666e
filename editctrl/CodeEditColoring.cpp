// CCodeEditCtrl: keywords, colour blocks and the colour areas they make.
#include "editctrl/CodeEditCtrl.h"
#include "editctrl/EditColors.h"

#include <algorithm>

namespace {
CString Upper(const CString& s)
{
    CString u(s);
    u.MakeUpper();
    return u;
}

WCHAR UpperChar(WCHAR ch)
{
    CharUpperBuffW(&ch, 1);
    return ch;
}

bool InSet(WCHAR ch, const WCHAR* set)
{
    for (; *set; ++set)
        if (*set == ch)
            return true;
    return false;
}
}  // namespace

void CCodeEditCtrl::AddKeyword(const CString& word, COLORREF color, COLORREF back, BOOL caseSensitive)
{
    CODE_EDIT_SYNTAX_COLOR entry;
    entry.color = color;
    entry.lightColor = LightTwin(color);
    entry.backColor = back;
    entry.caseSensitive = caseSensitive ? 1 : 0;
    keywords[caseSensitive ? word : Upper(word)] = entry;
}

BOOL CCodeEditCtrl::AddColorBlock(const CString& start, const CString& end, BOOL multiLine, COLORREF color,
                                  COLORREF back, BOOL caseSensitive, BOOL wholeWord)
{
    if (start.GetLength() > blockScanRadius || end.GetLength() > blockScanRadius)
        return FALSE;
    if (multiLine) {
        if (start.IsEmpty() || end.IsEmpty())
            return FALSE;
        for (const CODE_EDIT_COLOR_BLOCK& b : colorBlocks)
            if (b.multiLine)
                return FALSE;
    }
    CODE_EDIT_COLOR_BLOCK block;
    block.start = caseSensitive ? start : Upper(start);
    block.end = caseSensitive ? end : Upper(end);
    block.multiLine = multiLine ? 1 : 0;
    block.color = color;
    block.lightColor = LightTwin(color);
    block.backColor = back;
    block.caseSensitive = caseSensitive ? 1 : 0;
    block.wholeWord = wholeWord ? 1 : 0;
    auto at = std::find_if(colorBlocks.begin(), colorBlocks.end(), [&](const CODE_EDIT_COLOR_BLOCK& b) {
        return b.start.GetLength() <= block.start.GetLength();
    });
    colorBlocks.insert(at, block);
    m_openAtLineStart.clear();
    return TRUE;
}

void CCodeEditCtrl::ClearSyntaxRules()
{
    keywords.clear();
    colorBlocks.clear();
    m_openAtLineStart.clear();
}

const CODE_EDIT_SYNTAX_COLOR* CCodeEditCtrl::FindKeyword(const WCHAR* chars, int length) const
{
    if (length <= 0)
        return nullptr;
    auto it = keywords.find(EditWordView{chars, length});
    if (it != keywords.end())
        return &it->second;
    // Folded on the stack: no keyword is longer than this, and the word
    // never reaches the heap.
    WCHAR folded[128];
    if (length > (int)std::size(folded))
        return nullptr;
    std::copy(chars, chars + length, folded);
    ::CharUpperBuffW(folded, (DWORD)length);
    it = keywords.find(EditWordView{folded, length});
    bool found = it != keywords.end() && !it->second.caseSensitive;
    SecureZeroMemory(folded, sizeof folded);
    return found ? &it->second : nullptr;
}

BOOL CCodeEditCtrl::LookupWordColor(const CString& word, COLORREF& color, COLORREF& back, int)
{
    const CODE_EDIT_SYNTAX_COLOR* found = FindKeyword(word.GetString(), word.GetLength());
    if (!found)
        return FALSE;
    const CODE_EDIT_SYNTAX_COLOR& entry = *found;
    color = ChooseColor(entry.color, entry.lightColor, entry.backColor);
    if (color == (COLORREF)-1)
        color = GetTextColor();
    back = entry.backColor == (COLORREF)-1 ? GetBackColor() : entry.backColor;
    return TRUE;
}

BOOL CCodeEditCtrl::IsEscapeSequenceAt(const WCHAR* chars, int length, int position, bool forward) const
{
    for (const CString& seq : escapeSequences) {
        int n = seq.GetLength();
        if (n == 0)
            continue;
        int first = forward ? position : position - n + 1;
        if (first < 0 || first + n > length)
            continue;
        bool same = true;
        for (int i = 0; i < n && same; ++i)
            same = chars[first + i] == seq[i];
        if (same)
            return TRUE;
    }
    return FALSE;
}

void CCodeEditCtrl::BuildColorAreas(std::vector<CODE_EDIT_COLOR_AREA>& areas, int from, int to,
                                    const CODE_EDIT_COLOR_BLOCK* excluded, BOOL redraw)
{
    areas.clear();
    from = std::max(from, 0);
    to = std::min(to, text.GetLength() - 1);
    if (to < from || colorBlocks.empty())
        return;
    const int length = to - from + 1;
    const CEditTextSpan span = text.Span(from, length);
    const WCHAR* chars = span.Chars();
    auto isDelimiter = [this](WCHAR ch) { return wordDelimiters.Find(ch) >= 0; };
    // Case-insensitive delimiters are stored upper-case; the text is folded
    // where it stands, character by character, never copied.
    auto matchesAt = [&](const CString& s, int p, bool caseSensitive) {
        int n = s.GetLength();
        if (n == 0 || p < 0 || p + n > length)
            return false;
        for (int i = 0; i < n; ++i) {
            WCHAR ch = chars[p + i];
            if (!caseSensitive)
                ch = ch < 0x80 ? (ch >= L'a' && ch <= L'z' ? (WCHAR)(ch - 0x20) : ch) : UpperChar(ch);
            if (ch != s[i])
                return false;
        }
        return true;
    };
    auto wholeWordAt = [&](const CString& s, int p) {
        bool before = p == 0 || isDelimiter(chars[p - 1]);
        int after = p + s.GetLength();
        return before && (after >= length || isDelimiter(chars[after]));
    };
    auto holdsDelimiter = [&](const CString& s) {
        for (int i = 0; i < s.GetLength(); ++i)
            if (isDelimiter(s[i]))
                return true;
        return false;
    };

    int p = 0;
    while (p < length) {
        // The earliest start of any block; ties go to the earlier (longer) block.
        const CODE_EDIT_COLOR_BLOCK* winner = nullptr;
        int winnerAt = length;
        for (const CODE_EDIT_COLOR_BLOCK& b : colorBlocks) {
            if (b.start.IsEmpty() || (excluded && b.IsSameBlock(*excluded)))
                continue;
            bool checkWord = b.wholeWord && !holdsDelimiter(b.start);
            for (int q = p; q < winnerAt; ++q) {
                if (matchesAt(b.start, q, b.caseSensitive) && (!checkWord || wholeWordAt(b.start, q))) {
                    winner = &b;
                    winnerAt = q;
                    break;
                }
            }
        }
        if (!winner)
            break;
        const CODE_EDIT_COLOR_BLOCK& b = *winner;
        bool checkWord = b.wholeWord && !b.end.IsEmpty() && !holdsDelimiter(b.end);
        int q = winnerAt + std::max(1, b.start.GetLength());
        int areaEnd = length - 1;
        int escapedUntil = 0;  // characters before this belong to an escape sequence
        while (q < length) {
            // Escape sequences are passed over whole: their characters end nothing.
            if (IsEscapeSequenceAt(chars, length, q, true) && !(chars[q] == L'\n')) {
                int skip = 1;
                for (const CString& seq : escapeSequences)
                    if (seq.GetLength() > 0 && q + seq.GetLength() <= length &&
                        CString(chars + q, seq.GetLength()) == seq)
                        skip = std::max(skip, seq.GetLength());
                q += skip;
                escapedUntil = q;
                continue;
            }
            bool continued =
                chars[q] == L'\n' && q > 0 && q - 1 >= escapedUntil && escapeChars.Find(chars[q - 1]) >= 0;
            if (!b.end.IsEmpty() && matchesAt(b.end, q, b.caseSensitive) && !(b.end[0] == L'\n' && continued) &&
                (!checkWord || wholeWordAt(b.end, q))) {
                areaEnd = q + b.end.GetLength() - 1;
                break;
            }
            if (!b.multiLine && chars[q] == L'\n' && !continued) {
                areaEnd = q;
                break;
            }
            ++q;
        }
        CODE_EDIT_COLOR_AREA area;
        area.start = from + winnerAt;
        area.end = from + areaEnd;
        area.color = b.color;
        area.lightColor = b.lightColor;
        area.backColor = b.backColor;
        areas.push_back(area);
        p = areaEnd + 1;
    }
    if (redraw)
        RedrawAll();
}

bool CCodeEditCtrl::MatchesEndingAt(const CString& s, int p, bool caseSensitive) const
{
    int n = s.GetLength();
    if (n == 0 || p - n + 1 < 0 || p >= text.GetLength())
        return false;
    for (int i = 0; i < n; ++i) {
        WCHAR ch = text.At(p - i);
        if (!caseSensitive)
            ch = UpperChar(ch);
        if (ch != s[n - 1 - i])
            return false;
    }
    return true;
}

void CCodeEditCtrl::InvalidateColorCheckpoints(int offset)
{
    int line = text.LineOfOffset(std::max(offset, 0));
    if ((int)m_openAtLineStart.size() > line + 1)
        m_openAtLineStart.resize((size_t)line + 1);
}

BOOL CCodeEditCtrl::FindOpenColorBlock(int offset, const CODE_EDIT_COLOR_BLOCK** found)
{
    const CODE_EDIT_COLOR_BLOCK* block = nullptr;
    for (const CODE_EDIT_COLOR_BLOCK& b : colorBlocks)
        if (b.multiLine)
            block = &b;
    if (found)
        *found = block;
    if (!block)
        return FALSE;
    offset = std::clamp(offset, 0, text.GetLength());
    const CString& start = block->start;
    const CString& end = block->end;
    const bool cs = block->caseSensitive != 0;
    const WCHAR startLast = start[start.GetLength() - 1];

    // Walks back from the offset until an end (closed) or an accepted start
    // (open) decides; line starts passed on the way share the answer, and a
    // line start whose answer is known ends the walk.
    // Only a character that can end a delimiter is worth a closer look.
    auto lowerOf = [](WCHAR ch) {
        CharLowerBuffW(&ch, 1);
        return ch;
    };
    const WCHAR endLast = end[end.GetLength() - 1];
    const WCHAR endLastLower = cs ? endLast : lowerOf(endLast);
    const WCHAR startLastLower = cs ? startLast : lowerOf(startLast);
    int line = text.LineOfOffset(offset);
    std::vector<int> passed;
    int answer = 0;
    int p = offset - 1;
    while (p >= 0) {
        if (p + 1 == text.LineStart(line) && line > 0) {
            if ((int)m_openAtLineStart.size() > line && m_openAtLineStart[(size_t)line] >= 0) {
                answer = m_openAtLineStart[(size_t)line];
                goto decided;
            }
            passed.push_back(line);
            --line;
        }
        const WCHAR ch = text.At(p);
        if (ch != endLast && ch != startLast && ch != endLastLower && ch != startLastLower) {
            --p;
            continue;
        }
        if (MatchesEndingAt(end, p, cs)) {
            answer = 0;
            goto decided;
        }
        if (MatchesEndingAt(start, p, cs)) {
            int at = p - start.GetLength() + 1;
            bool skipped = start.GetLength() == 2 && at > 0 && text.At(at - 1) == startLast;
            if (!skipped) {
                std::vector<CODE_EDIT_COLOR_AREA> areas;
                int lineStart = LineStartOf(at), lineEnd = LineEndOf(at);
                BuildColorAreas(areas, lineStart, lineEnd, block, FALSE);
                const CODE_EDIT_COLOR_AREA* inside = nullptr;
                for (const CODE_EDIT_COLOR_AREA& a : areas)
                    if (a.start < at && at <= a.end)
                        inside = &a;
                if (!inside) {
                    answer = 1;
                    goto decided;
                }
                p = inside->start - 1;
                continue;
            }
        }
        --p;
    }
decided:
    for (int l : passed) {
        if (l <= 0)
            continue;
        if ((int)m_openAtLineStart.size() <= l)
            m_openAtLineStart.resize((size_t)l + 1, -1);
        m_openAtLineStart[(size_t)l] = (signed char)answer;
    }
    return answer != 0;
}

int CCodeEditCtrl::EndOfColorBlock(int offset, const CODE_EDIT_COLOR_BLOCK& block) const
{
    int length = text.GetLength();
    int n = block.end.GetLength();
    for (int p = std::max(offset, 0); p + n <= length && n > 0; ++p)
        if (MatchesEndingAt(block.end, p + n - 1, block.caseSensitive != 0))
            return p + n;
    return length - 1;
}

BOOL CCodeEditCtrl::NearColorBlockDelimiter(int offset) const
{
    // Compared where the text stands: a delimiter ends somewhere in the window.
    int from = std::max(0, offset - blockScanRadius);
    int to = std::min(text.GetLength(), offset + blockScanRadius + 1);
    for (const CODE_EDIT_COLOR_BLOCK& b : colorBlocks) {
        for (const CString* delimiter : {&b.start, &b.end}) {
            int n = delimiter->GetLength();
            if (n == 0)
                continue;
            for (int p = from + n - 1; p < to; ++p)
                if (MatchesEndingAt(*delimiter, p, b.caseSensitive != 0))
                    return TRUE;
        }
    }
    return FALSE;
}

BOOL CCodeEditCtrl::FindEnclosingPair(int offset, WCHAR opening, WCHAR closing, int& openOffset,
                                      int& closeOffset) const
{
    int length = text.GetLength();
    int before = std::min(offset, length - 1);
    while (before >= 0 && text.At(before) != opening && text.At(before) != closing)
        --before;
    int after = std::max(offset, 0);
    while (after < length && text.At(after) != opening && text.At(after) != closing)
        ++after;
    if (before < 0 || after >= length || text.At(before) != opening || text.At(after) != closing)
        return FALSE;
    openOffset = before;
    closeOffset = after;
    return TRUE;
}

int CCodeEditCtrl::FindLastOfBefore(const CString& s, int position, const WCHAR* set)
{
    for (int i = std::min(position, s.GetLength() - 1); i >= 0; --i)
        if (InSet(s[i], set))
            return i + 1;
    return -1;
}

int CCodeEditCtrl::FindFirstOfFrom(const CString& s, int position, const WCHAR* set)
{
    for (int i = std::max(position, 0); i < s.GetLength(); ++i)
        if (InSet(s[i], set))
            return i;
    return -1;
}

int CCodeEditCtrl::SkipSetRun(const CString& s, int position, bool forward, const WCHAR* set)
{
    if (forward) {
        while (position < s.GetLength() && InSet(s[position], set))
            ++position;
    } else {
        while (position >= 0 && position < s.GetLength() && InSet(s[position], set))
            --position;
    }
    return position;
}

void CCodeEditCtrl::BackOverNonSet(const CString& s, const WCHAR* set, int limit, int& position)
{
    while (position > limit && position < s.GetLength() && !InSet(s[position], set))
        --position;
}
