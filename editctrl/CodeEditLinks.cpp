// CCodeEditCtrl: links in the text (a URL prefix and what follows it up to
// the last character that is not a word delimiter), following them, and the
// tooltip protocol that explains a link, a collapsed block or a word. The
// tooltip window itself is the window layer's, reached through CEditTipWindow.
#include "editctrl/CodeEditCtrl.h"

#include <algorithm>

CString CCodeEditCtrl::currentTipText;

namespace {
const WCHAR LINK_TIP_FORMAT[] = L"%s\nCTRL + click to follow the link";
}  // namespace

bool CCodeEditCtrl::MatchesTextAt(int offset, const CString& s) const
{
    if (offset < 0 || offset + s.GetLength() > text.GetLength())
        return false;
    for (int i = 0; i < s.GetLength(); ++i)
        if (text.At(offset + i) != s[i])
            return false;
    return true;
}

BOOL CCodeEditCtrl::FindHyperlink(int first, int last, CString& url, int& offset)
{
    first = std::max(first, 0);
    last = std::min(last, text.GetLength());
    // The earliest prefix (the first listed on a tie) that stands at the run's
    // start or after a word delimiter; compared in place.
    int best = -1, bestLength = 0;
    for (const CString& prefix : urlPrefixes) {
        const int n = prefix.GetLength();
        if (n == 0)
            continue;
        for (int p = first; p + n <= last && (best < 0 || p < best); ++p) {
            if (!MatchesTextAt(p, prefix))
                continue;
            if (p == first || !IsWordChar(text.At(p - 1))) {
                best = p;
                bestLength = n;
            }
            break;  // only the prefix's first occurrence counts
        }
    }
    if (best < 0 || best >= last)
        return FALSE;
    int end = best + bestLength;
    for (int p = last - 1; p >= best + bestLength; --p) {
        if (IsWordChar(text.At(p))) {
            end = p + 1;
            break;
        }
    }
    offset = best;
    url = text.Mid(best, end - best);
    return TRUE;
}

void CCodeEditCtrl::AddHyperlink(const CString& url, int offset)
{
    CODE_EDIT_HYPERLINK_DEF link;
    link.text = url;
    link.offset = offset;
    hyperlinks.push_back(link);
}

void CCodeEditCtrl::ClearHyperlinks()
{
    for (CODE_EDIT_HYPERLINK_DEF& link : hyperlinks)
        link.text.SecureEmpty();
    hyperlinks.clear();
    caretLink = hotLink = -1;
}

int CCodeEditCtrl::HyperlinkAtOffset(int offset) const
{
    for (size_t i = 0; i < hyperlinks.size(); ++i) {
        const CODE_EDIT_HYPERLINK_DEF& link = hyperlinks[i];
        if (link.offset <= offset && offset <= link.offset + link.text.GetLength())
            return (int)i;
    }
    return -1;
}

BOOL CCodeEditCtrl::LinkAtOffset(int offset, CString& url, int& linkOffset)
{
    const int length = text.GetLength();
    if (!hyperlinksEnabled || offset < 0 || offset >= length || blankChars.Find(text.At(offset)) >= 0)
        return FALSE;
    // The blank-separated run around the offset, as the painter passes it.
    int start = offset, end = offset;
    while (start > 0 && blankChars.Find(text.At(start - 1)) < 0)
        --start;
    while (end < length && blankChars.Find(text.At(end)) < 0)
        ++end;
    CString found;
    int at = -1;
    if (!FindHyperlink(start, end, found, at) || offset < at || offset >= at + found.GetLength()) {
        found.SecureEmpty();
        return FALSE;
    }
    url = found;
    linkOffset = at;
    found.SecureEmpty();
    return TRUE;
}

int CCodeEditCtrl::HotLinkAtPoint(POINT point)
{
    POINT p = point;
    int offset = point.x >= textRect.left ? OffsetFromPoint(p, false, false) : -1;
    CString url;
    int at = -1;
    if (offset < 0 || !LinkAtOffset(offset, url, at)) {
        hotLink = -1;
        return -1;
    }
    // Found where the mouse is, whatever the last paint covered.
    hotLink = HyperlinkAtOffset(at);
    if (hotLink < 0 || hyperlinks[(size_t)hotLink].offset != at) {
        AddHyperlink(url, at);
        hotLink = (int)hyperlinks.size() - 1;
    }
    url.SecureEmpty();
    return hotLink;
}

void CCodeEditCtrl::FollowHyperlink(int offset, const CString& url)
{
    m_host->ShowWaitCursor(true);
    m_host->OpenWithShell(url);
    m_host->ShowWaitCursor(false);
    hotLink = -1;
    InvalidateRow(LineStartOf(offset));
}

BOOL CCodeEditCtrl::FollowHotLink()
{
    if (!hyperlinksEnabled || hotLink < 0 || hotLink >= (int)hyperlinks.size())
        return FALSE;
    CString url = hyperlinks[(size_t)hotLink].text;
    FollowHyperlink(hyperlinks[(size_t)hotLink].offset, url);
    url.SecureEmpty();
    return TRUE;
}

BOOL CCodeEditCtrl::GetLinkTipText(CString& tip)
{
    if (!hyperlinksEnabled || hotLink < 0 || hotLink >= (int)hyperlinks.size()) {
        tip.SecureEmpty();
        return FALSE;
    }
    const CODE_EDIT_HYPERLINK_DEF& link = hyperlinks[(size_t)hotLink];
    tip.SecureEmpty();
    tip.Format(LINK_TIP_FORMAT, (const WCHAR*)link.text);
    return CanShowLinkTip(link.offset, tip);
}

void CCodeEditCtrl::AttachTipWindow(CEditTipWindow* tips)
{
    // The tip text may be the document's words: it goes with the tooltip.
    if (!tips)
        currentTipText.SecureEmpty();
    m_tips = tips;
}

void CCodeEditCtrl::SetTipsEnabled(BOOL on)
{
    on = on ? 1 : 0;
    if (tipsEnabled == on)
        return;
    tipsEnabled = on;
    if (!m_tips)
        return;
    if (!on)
        HideTip();
    m_tips->Activate(on != 0);
}

void CCodeEditCtrl::HideTip()
{
    if (m_tips)
        m_tips->Pop();
    currentTipText.SecureEmpty();
    tipHidden = 1;
}

int CCodeEditCtrl::TipCandidateAt(POINT point, CString& candidate)
{
    candidate.SecureEmpty();
    tipPoint = point;
    if (hyperlinksEnabled) {
        HotLinkAtPoint(point);
        if (hotLink >= 0)
            return GetLinkTipText(candidate) && !candidate.IsEmpty() ? TIP_MULTI_LINE : TIP_NONE;
    }
    if (outliningEnabled && GetCollapsedTextAtPoint(point.x, point.y, candidate, TRUE))
        return TIP_MULTI_LINE;
    POINT p = point;
    int offset = point.x >= textRect.left ? OffsetFromPoint(p, false, false) : -1;
    if (offset >= 0 && IsWordChar(text.At(offset)) && GetWordAtOffset(offset, candidate))
        return TIP_WORD;
    candidate.SecureEmpty();
    return TIP_NONE;
}

void CCodeEditCtrl::OnTipMouseMove(POINT point, bool mouseCaptured)
{
    if (!tipsEnabled || mouseCaptured)
        return;
    CString candidate;
    if (TipCandidateAt(point, candidate) == TIP_NONE) {
        HideTip();
        tipText.SecureEmpty();
        return;
    }
    if (candidate != currentTipText) {
        CString asked(candidate);
        if (!GetTipText(asked) || asked != currentTipText)
            HideTip();
        asked.SecureEmpty();
    }
    candidate.SecureEmpty();
}

BOOL CCodeEditCtrl::OnTipNeedText(POINT point, const WCHAR** textOut)
{
    if (!tipsEnabled)
        return FALSE;
    int kind = TipCandidateAt(point, currentTipText);
    if (m_tips) {
        if (kind == TIP_MULTI_LINE)
            m_tips->SetMaxWidth(32767);
        else if (maxTipWidth != -1)
            m_tips->SetMaxWidth(maxTipWidth);
    }
    if (kind == TIP_NONE) {
        HideTip();
        return FALSE;
    }
    if (GetTipText(currentTipText) && (!tipHidden || currentTipText != tipText)) {
        if (textOut)
            *textOut = currentTipText;
        tipHidden = 0;
        tipText = currentTipText;
        return TRUE;
    }
    return FALSE;
}
