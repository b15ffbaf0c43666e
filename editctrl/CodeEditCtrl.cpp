#include "editctrl/CodeEditCtrl.h"

#include <algorithm>

BOOL CCodeEditCtrl::overwriteMode = 0;
UINT CCodeEditCtrl::privateClipboardFormat = 0;

namespace {
CEditDetachedHost g_detachedHost;
CEditNullMeasurer g_nullMeasurer;
}  // namespace

CCodeEditCtrl::CCodeEditCtrl()
    : wordDelimiters(L" \t\n,./?<>;:\"'{[}]~`%^&*()-+=!"),
      specialDelimiters(L";.{}\n"),
      blankChars(L" \n\t"),
      intelliSenseChars(L".>:"),
      indentChars(L" \t"),
      escapeChars(L"\\"),
      m_host(&g_detachedHost),
      m_measurer(&g_nullMeasurer)
{
    urlPrefixes.Add(CString(L"http://"));
    urlPrefixes.Add(CString(L"ftp://"));
    urlPrefixes.Add(CString(L"mailto:"));
    caretPos.x = markerBarWidth;
    outlineRoot.owner = this;
}

CCodeEditCtrl::~CCodeEditCtrl()
{
    EmptyUndoList();
    DeleteAllMarkers();
    outlineRoot.owner = nullptr;
    delete outlineParser;
    tipText.SecureEmpty();
    for (CODE_EDIT_HYPERLINK_DEF& link : hyperlinks)
        link.text.SecureEmpty();
}

void CCodeEditCtrl::AttachHost(CEditHost* host) { m_host = host ? host : &g_detachedHost; }

void CCodeEditCtrl::AttachMeasurer(CEditMeasurer* measurer) { m_measurer = measurer ? measurer : &g_nullMeasurer; }

WCHAR CCodeEditCtrl::GetCharAt(int offset, bool checkBounds) const
{
    (void)checkBounds;  // At() is always bounded: 0 outside the text
    return text.At(offset);
}

void CCodeEditCtrl::ResetViewState()
{
    caretOffset = 0;
    caretLine = 0;
    caretColumn = 0;
    preferredColumn = 0;
    selStart = selEnd = -1;
    blockSelection = 0;
    blockSelStart = blockSelEnd = POINT{-1, -1};
    topLine = 0;
    hiddenAboveTop = 0;
    topOffset = 0;
    bottomOffset = 0;
    scrollColumn = 0;
    hiddenLineCount = 0;
    hyperlinks.clear();
    caretLink = hotLink = -1;
}

void CCodeEditCtrl::SetText(const WCHAR* chars, int count)
{
    ResetViewState();
    outlineRoot.DeleteChildren();
    outlineCache.Invalidate();
    text.Set(chars, count);
    m_openAtLineStart.clear();
    EmptyUndoList();
    lineBreakCount = text.LineBreakCount();
}

BOOL CCodeEditCtrl::MatchSymbol(int offset, bool forward, CODE_EDIT_SYM_DEF** symbol)
{
    if (symbol)
        *symbol = nullptr;
    for (CODE_EDIT_SYM_DEF& sym : symbols) {
        bool match = false;
        if (sym.keyChar != 0 && text.At(offset) == sym.keyChar) {
            match = true;
        } else if (!sym.sequence.IsEmpty()) {
            int length = sym.sequence.GetLength();
            int first = forward ? offset : offset - length + 1;
            match = first >= 0 && first + length <= text.GetLength() && text.Mid(first, length) == sym.sequence;
        }
        if (match) {
            if (symbol)
                *symbol = &sym;
            return TRUE;
        }
    }
    return FALSE;
}

int CCodeEditCtrl::GetSymbolLength(int offset, bool forward)
{
    CODE_EDIT_SYM_DEF* symbol = nullptr;
    if (!MatchSymbol(offset, forward, &symbol))
        return 0;
    int length = symbol->keyChar != 0 && text.At(offset) == symbol->keyChar ? 1 : symbol->sequence.GetLength();
    return length - 1;
}
