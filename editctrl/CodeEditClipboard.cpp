// CCodeEditCtrl: copy, cut, paste and clear through the host's clipboard,
// the clipboard blocks, and text coming in from the clipboard or a drop.
#include "editctrl/CodeEditCtrl.h"

#include <algorithm>

namespace {
UINT RichTextFormat() { return ::RegisterClipboardFormatW(L"Rich Text Format"); }

UINT BlockFormat()
{
    if (CCodeEditCtrl::privateClipboardFormat == 0)
        CCodeEditCtrl::privateClipboardFormat = ::RegisterClipboardFormatW(L"CODE_TEXT");
    return CCodeEditCtrl::privateClipboardFormat;
}

// The characters of a UTF-16 block up to its first zero.
CString TextOfBlock(const WipedBytes& bytes)
{
    const WCHAR* chars = reinterpret_cast<const WCHAR*>(bytes.data());
    size_t limit = bytes.size() / sizeof(WCHAR), n = 0;
    while (n < limit && chars[n])
        ++n;
    return CString(chars, (int)n);
}
}  // namespace

BOOL CCodeEditCtrl::CanPaste()
{
    return !readOnly && (m_host->IsClipboardFormatAvailable(CF_UNICODETEXT) ||
                         m_host->IsClipboardFormatAvailable(BlockFormat()));
}

BOOL CCodeEditCtrl::GetCaretLineText(CString& line)
{
    if (caretOffset < 0)
        return FALSE;
    int start = LineStartOf(caretOffset, false), end = LineEndOf(caretOffset, false);
    if (start >= end || end > text.GetLength())
        return FALSE;
    line = text.Mid(start, end - start);
    return TRUE;
}

BOOL CCodeEditCtrl::CopySelected()
{
    if (!CanCopy()) {
        OnEditFailure(EDIT_FAIL_NO_SELECTION_COPY);
        return FALSE;
    }
    CString copied;
    bool haveText = false;
    if (!HasSelection()) {
        // The line mode wins when both modes are on.
        if (copyLineIfNoSelection) {
            if (GetCaretLineText(copied)) {
                copied += L'\n';
                haveText = true;
            }
        } else if (copyAllIfNoSelection) {
            copied = text.Mid(0, text.GetLength());
            haveText = true;
        }
    } else {
        copied = GetSelectedText();
        haveText = true;
    }
    if (!haveText) {
        OnEditFailure(EDIT_FAIL_NO_SELECTION_COPY);
        return FALSE;
    }
    BOOL ok = CopySelectionToClipboard(copied, copied.GetLength());
    copied.SecureEmpty();
    return ok;
}

bool CCodeEditCtrl::MakeClipboardBlock(const WCHAR* chars, int length, bool crLf, bool ansi, WipedBytes& out)
{
    out.clear();
    int feeds = 0;
    if (crLf)
        for (int i = 0; i < length; ++i)
            feeds += chars[i] == L'\n';
    std::vector<WCHAR, WipingAllocator<WCHAR>> wide;
    wide.reserve((size_t)length + (size_t)feeds + 1);
    for (int i = 0; i < length; ++i) {
        if (crLf && chars[i] == L'\n')
            wide.push_back(L'\r');
        wide.push_back(chars[i]);
    }
    if (!ansi) {
        wide.push_back(0);
        const uint8_t* bytes = reinterpret_cast<const uint8_t*>(wide.data());
        out.assign(bytes, bytes + wide.size() * sizeof(WCHAR));
        return true;
    }
    // The conversion says how many bytes it needs; nothing is guessed.
    int count = (int)wide.size();
    int needed = count == 0 ? 0 : ::WideCharToMultiByte(::GetACP(), 0, wide.data(), count, nullptr, 0, nullptr, nullptr);
    if (count > 0 && needed <= 0)
        return false;
    out.resize((size_t)needed + 1);
    if (needed > 0 &&
        ::WideCharToMultiByte(::GetACP(), 0, wide.data(), count, (char*)out.data(), needed, nullptr, nullptr) != needed) {
        out.clear();
        return false;
    }
    out[(size_t)needed] = 0;
    return true;
}

BOOL CCodeEditCtrl::CopySelectionToClipboard(const CString& copied, int length)
{
    if (length < 0 || length > copied.GetLength())
        length = copied.GetLength();
    int zero = 0;
    while (zero < length && copied[zero])
        ++zero;
    bool richText = copyRichText && zero <= richTextLimit;
    std::vector<EditClipboardBlock> blocks;
    auto add = [&](UINT format, const WCHAR* chars, int count, bool ansi) {
        blocks.emplace_back();
        blocks.back().format = format;
        return MakeClipboardBlock(chars, count, clipboardCrLf != 0, ansi, blocks.back().bytes);
    };
    if (blockSelection && !add(BlockFormat(), copied.GetString(), length, false))
        return FALSE;
    if (richText) {
        CString rtf;
        ComposeRtf(rtf);
        UINT format = RichTextFormat();
        bool made = format == 0 || add(format, rtf.GetString(), rtf.GetLength(), true);
        rtf.SecureEmpty();
        if (!made)
            return FALSE;
    }
    if (!add(CF_UNICODETEXT, copied.GetString(), length, false))
        return FALSE;
    return m_host->PutClipboardBlocks(blocks);
}

BOOL CCodeEditCtrl::CutSelected()
{
    if (!CanCut()) {
        OnEditFailure(EDIT_FAIL_NO_SELECTION_COPY);
        return FALSE;
    }
    SetCurrentOperation(EDIT_OP_CUT);
    return DeleteSelectionRange(TRUE, TRUE, FALSE);
}

BOOL CCodeEditCtrl::ClearSelected()
{
    SetCurrentOperation(EDIT_OP_DELETE);
    return DeleteSelectionRange(TRUE, FALSE, FALSE);
}

BOOL CCodeEditCtrl::PasteText(int offset)
{
    if (readOnly) {
        OnEditFailure(EDIT_FAIL_READ_ONLY_PASTE);
        return FALSE;
    }
    WipedBytes bytes;
    bool columnBlock = m_host->GetClipboardBlock(BlockFormat(), bytes);
    if (!columnBlock && !m_host->GetClipboardBlock(CF_UNICODETEXT, bytes)) {
        OnEditFailure(EDIT_FAIL_NO_CLIPBOARD_TEXT);
        return FALSE;
    }
    CString pasted = TextOfBlock(bytes);
    DeleteSelectionRange(FALSE, FALSE, TRUE);
    SetCurrentOperation(EDIT_OP_PASTE);
    InsertTransferredText(pasted, columnBlock, offset);
    pasted.SecureEmpty();
    modified = 1;
    return TRUE;
}

BOOL CCodeEditCtrl::InsertTransferredText(const CString& transferred, bool columnBlock, int offset)
{
    if (columnBlock)
        return InsertColumnText(transferred, offset, TRUE, FALSE, TRUE, FALSE);
    return InsertText(transferred, offset, TRUE, FALSE, TRUE, FALSE, TRUE);
}

void CCodeEditCtrl::EscapeHtml(CString& s)
{
    s.Replace(L" ", L"&nbsp;");
    s.Replace(L"<", L"&lt;");
    s.Replace(L">", L"&gt;");
}
