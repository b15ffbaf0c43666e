// CCodeEditCtrl: loading and saving text files in the encoding they came in
// (UTF-8 with or without a byte-order mark, UTF-16 in either byte order, or
// the ANSI code page), serialisation through an archive, going to a line and
// the bars. Every buffer that holds the text on its way comes from the wiping
// heap, so a loaded or saved file leaves nothing plain in freed memory.
#include "editctrl/CodeEditCtrl.h"
#include "framework/base/CArchive.h"

#include <algorithm>

namespace {
using WideChars = std::vector<WCHAR, WipingAllocator<WCHAR>>;

bool StartsWith(const uint8_t* bytes, size_t size, std::initializer_list<uint8_t> mark)
{
    return size >= mark.size() && std::equal(mark.begin(), mark.end(), bytes);
}

// UTF-8 that is worth telling from ANSI: valid, with at least one multi-byte
// sequence and no NUL (which UTF-16 text without a mark is full of).
bool LooksLikeUtf8(const uint8_t* bytes, size_t size)
{
    bool multiByte = false;
    for (size_t i = 0; i < size; ++i) {
        if (bytes[i] == 0)
            return false;
        multiByte = multiByte || bytes[i] >= 0x80;
    }
    return multiByte && size <= INT_MAX &&
           ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, (const char*)bytes, (int)size, nullptr, 0) > 0;
}

// Bytes to UTF-16 through a code page, sized by asking first; false when nothing converts.
bool DecodeCodePage(UINT codePage, DWORD flags, const uint8_t* bytes, size_t size, WideChars& out)
{
    if (size == 0 || size > INT_MAX)
        return false;
    int n = ::MultiByteToWideChar(codePage, flags, (const char*)bytes, (int)size, nullptr, 0);
    if (n <= 0)
        return false;
    out.resize((size_t)n);
    return ::MultiByteToWideChar(codePage, flags, (const char*)bytes, (int)size, out.data(), n) == n;
}

void DecodeUtf16(const uint8_t* bytes, size_t size, bool bigEndian, WideChars& out)
{
    out.resize(size / 2);
    for (size_t i = 0; i < out.size(); ++i) {
        uint8_t a = bytes[2 * i], b = bytes[2 * i + 1];
        out[i] = bigEndian ? (WCHAR)(a << 8 | b) : (WCHAR)(b << 8 | a);
    }
}

void RemoveCarriageReturns(WideChars& chars)
{
    chars.erase(std::remove(chars.begin(), chars.end(), L'\r'), chars.end());
}
}  // namespace

BOOL CCodeEditCtrl::LoadTextFromPath(const WCHAR* path)
{
    CFile file;
    if (!path || !file.Open(path, CFile::modeRead | CFile::shareDenyWrite))
        return FALSE;
    return LoadTextFromStream(file);
}

BOOL CCodeEditCtrl::SaveTextToPath(const WCHAR* path)
{
    CFile file;
    if (!path || !file.Open(path, CFile::modeCreate | CFile::modeWrite))
        return FALSE;
    BOOL saved = SaveTextToStream(file);
    try {
        file.Close();
    } catch (CFileException* e) {
        OnFileError(*e);
        e->Delete();
        return FALSE;
    }
    return saved;
}

BOOL CCodeEditCtrl::DecodeFileBytes(const uint8_t* bytes, size_t size, std::vector<WCHAR, WipingAllocator<WCHAR>>& chars,
                                    int& encoding)
{
    // Byte-order marks and UTF-8 first: the system's guess takes short
    // UTF-8 or ANSI texts for UTF-16.
    if (StartsWith(bytes, size, {0xEF, 0xBB, 0xBF})) {
        encoding = EDIT_FILE_UTF8_BOM;
        return size == 3 || DecodeCodePage(CP_UTF8, 0, bytes + 3, size - 3, chars);
    }
    if (StartsWith(bytes, size, {0xFF, 0xFE}) || StartsWith(bytes, size, {0xFE, 0xFF})) {
        encoding = bytes[0] == 0xFF ? EDIT_FILE_UTF16LE : EDIT_FILE_UTF16BE;
        DecodeUtf16(bytes + 2, size - 2, encoding == EDIT_FILE_UTF16BE, chars);
        return TRUE;
    }
    if (LooksLikeUtf8(bytes, size)) {
        encoding = EDIT_FILE_UTF8;
        return DecodeCodePage(CP_UTF8, 0, bytes, size, chars);
    }
    int tests = IS_TEXT_UNICODE_UNICODE_MASK | IS_TEXT_UNICODE_REVERSE_MASK | IS_TEXT_UNICODE_NOT_UNICODE_MASK |
                IS_TEXT_UNICODE_NOT_ASCII_MASK;
    if (size >= 2 && size <= INT_MAX && ::IsTextUnicode(bytes, (int)size, &tests)) {
        encoding = EDIT_FILE_UTF16LE;
        DecodeUtf16(bytes, size, false, chars);
        return TRUE;
    }
    encoding = EDIT_FILE_ANSI;
    return DecodeCodePage(::GetACP(), 0, bytes, size, chars);
}

BOOL CCodeEditCtrl::LoadTextFromStream(CFile& file)
{
    try {
        const ULONGLONG position = file.GetPosition(), length = file.GetLength();
        const ULONGLONG size = length > position ? length - position : 0;
        if (size > (ULONGLONG)INT_MAX) {
            CFileException::Throw(CFileException::invalidFile, -1, file.GetFilePath());
        }
        CWipedBuffer bytes;
        if (!bytes.Reset((size_t)size + 2))
            CFileException::Throw(CFileException::diskFull, -1, file.GetFilePath());
        size_t got = 0;
        while (got < size) {
            UINT n = file.Read(bytes.Data() + got, (UINT)std::min<ULONGLONG>(size - got, 1u << 30));
            if (n == 0)
                break;
            got += n;
        }
        if (got == 0) {
            SetWindowTextFrom(L"", 0);
            modified = 0;
            return TRUE;
        }
        WideChars chars;
        int encoding = EDIT_FILE_ANSI;
        if (!DecodeFileBytes(bytes.Data(), got, chars, encoding))
            return FALSE;
        RemoveCarriageReturns(chars);
        SetWindowTextFrom(chars.data(), (int)chars.size());
        fileEncoding = encoding;
        unicodeFile = encoding == EDIT_FILE_UTF16LE || encoding == EDIT_FILE_UTF16BE;
        modified = 0;
        return TRUE;
    } catch (CFileException* e) {
        OnFileError(*e);
        e->Delete();
        return FALSE;
    }
}

void CCodeEditCtrl::TextWithCrLf(std::vector<WCHAR, WipingAllocator<WCHAR>>& out) const
{
    const int length = text.GetLength();
    out.clear();
    out.reserve((size_t)length + (size_t)lineBreakCount);
    for (int from = 0; from < length;) {
        const int count = std::min(length - from, 1 << 16);
        CEditTextSpan span = text.Span(from, count);
        for (int i = 0; i < count; ++i) {
            if (span.Chars()[i] == L'\n')
                out.push_back(L'\r');
            out.push_back(span.Chars()[i]);
        }
        from += count;
    }
}

BOOL CCodeEditCtrl::EncodeFileBytes(const WideChars& chars, WipedBytes& bytes)
{
    auto utf16 = [&](bool bigEndian) {
        bytes.resize(2 + chars.size() * 2);
        bytes[0] = bigEndian ? 0xFE : 0xFF;
        bytes[1] = bigEndian ? 0xFF : 0xFE;
        for (size_t i = 0; i < chars.size(); ++i) {
            uint8_t low = (uint8_t)(chars[i] & 0xFF), high = (uint8_t)(chars[i] >> 8);
            bytes[2 + 2 * i] = bigEndian ? high : low;
            bytes[3 + 2 * i] = bigEndian ? low : high;
        }
        return TRUE;
    };
    if (chars.size() > INT_MAX / 4)
        return FALSE;
    if (unicodeFile)
        return utf16(fileEncoding == EDIT_FILE_UTF16BE);
    const bool utf8 = fileEncoding == EDIT_FILE_UTF8 || fileEncoding == EDIT_FILE_UTF8_BOM;
    const UINT codePage = utf8 ? CP_UTF8 : ::GetACP();
    // Asked for the size first; for ANSI also whether any character had no
    // equivalent, which would be saved as "?" and lost.
    BOOL lossy = FALSE;
    const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL* lossyOut = utf8 || codePage == CP_UTF8 ? nullptr : &lossy;
    int n = ::WideCharToMultiByte(codePage, flags, chars.data(), (int)chars.size(), nullptr, 0, nullptr, lossyOut);
    if (n <= 0)
        return FALSE;
    if (lossy) {
        // Saved as UTF-16 instead, and kept so from now on.
        unicodeFile = 1;
        fileEncoding = EDIT_FILE_UTF16LE;
        return utf16(false);
    }
    const size_t mark = fileEncoding == EDIT_FILE_UTF8_BOM ? 3 : 0;
    bytes.resize(mark + (size_t)n);
    if (mark) {
        bytes[0] = 0xEF;
        bytes[1] = 0xBB;
        bytes[2] = 0xBF;
    }
    return ::WideCharToMultiByte(codePage, flags, chars.data(), (int)chars.size(), (char*)bytes.data() + mark, n,
                                 nullptr, nullptr) == n;
}

BOOL CCodeEditCtrl::SaveTextToStream(CFile& file)
{
    try {
        if (text.IsEmpty()) {
            file.SetLength(0);
        } else {
            WideChars chars;
            TextWithCrLf(chars);
            WipedBytes bytes;
            if (!EncodeFileBytes(chars, bytes))
                return FALSE;
            file.Write(bytes.data(), (UINT)bytes.size());
        }
    } catch (CFileException* e) {
        OnFileError(*e);
        e->Delete();
        return FALSE;
    }
    MarkSaved();
    return TRUE;
}

void CCodeEditCtrl::Serialize(CArchive& archive)
{
    if (archive.IsStoring())
        SaveTextToStream(*archive.GetFile());
    else
        LoadTextFromStream(*archive.GetFile());
}

BOOL CCodeEditCtrl::GoToLine(int line, BOOL expand, BOOL redraw)
{
    int offset = OffsetOfLine(line - 1, false);
    if (line < 1 || offset < 0)
        return FALSE;
    if (expand)
        ExpandLine(line);
    return MoveCaretToOffset(offset, TRUE, redraw);
}

void CCodeEditCtrl::ShowLineNumberBar(BOOL show, int width)
{
    BOOL changedShow = (showLineNumbers != 0) != (show != 0);
    showLineNumbers = show ? 1 : 0;
    defaultLineNumberWidth = width;
    if (UpdateLineNumberWidth() || changedShow) {
        RecalcScrolling();
        MoveCaretToOffset(caretOffset, TRUE, FALSE);
        RedrawAll();
    }
}

void CCodeEditCtrl::ShowOutlineBar(BOOL show, int width)
{
    showOutlineBar = show ? 1 : 0;
    outlineBarWidth = width;
    RecalcScrolling();
    MoveCaretToOffset(caretOffset, TRUE, FALSE);
    RedrawAll();
}

POINT CCodeEditCtrl::DocToClient(POINT point) const
{
    return POINT{point.x - scrollColumn * maxCharWidth, point.y - topLine * lineHeight};
}

RECT CCodeEditCtrl::DocRectToClient(const RECT& rect) const
{
    POINT a = DocToClient(POINT{rect.left, rect.top}), b = DocToClient(POINT{rect.right, rect.bottom});
    return RECT{a.x, a.y, b.x, b.y};
}
