// Language definitions: the tagged text that sets a control's delimiters,
// colours, keywords, blocks, folding and link rules.
#include "editctrl/CodeEditCtrl.h"
#include "editctrl/EditColors.h"

#include <vector>

namespace {
void ResolveEscapes(CString& value)
{
    if (value.GetLength() > 1 && value[0] == L'"' && value[value.GetLength() - 1] == L'"')
        value = value.Mid(1, value.GetLength() - 2);
    value.Replace(L"\\t", L"\t");
    value.Replace(L"\\n", L"\n");
    value.Replace(L"\\r", L"\r");
    value.Replace(L"\\b", L"\b");
    value.Replace(L"LT", L"<");
    value.Replace(L"GT", L">");
    value.Replace(L"AMP", L"&");
}

bool ReadBoolean(CString& source, const WCHAR* name, bool fallback)
{
    CString value;
    if (!CutTaggedValue(source, name, value, FALSE))
        return fallback;
    return value.CompareNoCase(L"true") == 0;
}

bool ReadColour(CString& source, const WCHAR* name, COLORREF& colour)
{
    CString value;
    if (!CutTaggedValue(source, name, value, FALSE))
        return false;
    colour = ParseColourSpec(value);
    return true;
}

int HexDigit(WCHAR ch)
{
    if (ch >= L'0' && ch <= L'9')
        return ch - L'0';
    if (ch >= L'a' && ch <= L'f')
        return ch - L'a' + 10;
    if (ch >= L'A' && ch <= L'F')
        return ch - L'A' + 10;
    return -1;
}
}  // namespace

BOOL CutTaggedValue(CString& source, const WCHAR* name, CString& value, BOOL escaped)
{
    CString open = CString(L"<") + name + L">";
    CString close = CString(L"</") + name + L">";
    int start = source.Find(open);
    if (start < 0)
        return FALSE;
    int contentStart = start + open.GetLength();
    int depth = 1;
    int p = contentStart;
    int closeAt = -1;
    const int length = source.GetLength();
    while (p + close.GetLength() <= length) {
        if (source[p] != L'<') {
            ++p;
            continue;
        }
        if (p + open.GetLength() <= length && source.Mid(p, open.GetLength()) == open) {
            ++depth;
            p += open.GetLength();
        } else if (source.Mid(p, close.GetLength()) == close) {
            if (--depth == 0) {
                closeAt = p;
                break;
            }
            p += close.GetLength();
        } else {
            ++p;
        }
    }
    if (closeAt < 0)
        return FALSE;
    value = source.Mid(contentStart, closeAt - contentStart);
    value.Trim();
    source.Delete(start, closeAt + close.GetLength() - start);
    if (escaped)
        ResolveEscapes(value);
    return TRUE;
}

COLORREF ParseColourSpec(const CString& value)
{
    static const struct {
        const WCHAR* name;
        COLORREF colour;
    } names[] = {
        {L"black", RGB(0, 0, 0)},          {L"darkred", RGB(128, 0, 0)},     {L"darkgreen", RGB(0, 128, 0)},
        {L"brown", RGB(128, 128, 0)},      {L"darkblue", RGB(0, 0, 128)},    {L"darkmagenta", RGB(128, 0, 128)},
        {L"darkcyan", RGB(0, 128, 128)},   {L"gray", RGB(192, 192, 192)},    {L"darkgray", RGB(128, 128, 128)},
        {L"red", RGB(255, 0, 0)},          {L"green", RGB(0, 255, 0)},       {L"yellow", RGB(255, 255, 0)},
        {L"blue", RGB(0, 0, 255)},         {L"magenta", RGB(255, 0, 255)},   {L"cyan", RGB(0, 255, 255)},
        {L"white", RGB(255, 255, 255)},
    };
    if (!value.IsEmpty() && value[0] == L'"') {
        CString name(value);
        name.MakeLower();
        name = name.GetLength() >= 2 ? name.Mid(1, name.GetLength() - 2) : CString();
        for (const auto& entry : names)
            if (name == entry.name)
                return entry.colour;
        return 0;
    }
    if (value.GetLength() != 6)
        return 0;
    // "0x" + BB GG RR read as one hexadecimal number, digits as far as they go.
    CString digits = value.Mid(4, 2) + value.Mid(2, 2) + value.Mid(0, 2);
    COLORREF colour = 0;
    for (int i = 0; i < digits.GetLength(); ++i) {
        int d = HexDigit(digits[i]);
        if (d < 0)
            break;
        colour = colour * 16 + (COLORREF)d;
    }
    return colour;
}

BOOL CCodeEditCtrl::ApplySettingsText(const CString& settings)
{
    ClearSyntaxRules();
    m_refusedColorBlocks = 0;
    CString work(settings);
    CString section, value;

    if (CutTaggedValue(work, L"OPTIONS", section, FALSE)) {
        if (CutTaggedValue(section, L"WordDelimeters", value, TRUE))  // the definitions' own spelling
            wordDelimiters = value;
        if (CutTaggedValue(section, L"SpecialDelimiters", value, TRUE))
            specialDelimiters = value;
        if (CutTaggedValue(section, L"IntelliSenseChars", value, TRUE))
            intelliSenseChars = value;
        CString sequences;
        if (CutTaggedValue(section, L"EscapeSequences", sequences, FALSE))
            while (CutTaggedValue(sequences, L"EscapeSequence", value, TRUE))
                AddEscapeSequence(value);
    }

    if (CutTaggedValue(work, L"COLOR_DATA", section, FALSE)) {
        COLORREF colour = 0;
        if (ReadColour(section, L"EditTextColor", colour))
            textColor = colour;
        if (ReadColour(section, L"EditBackColor", colour))
            backColor = colour;
        if (ReadColour(section, L"SelTextColor", colour))
            selTextColor = selTextColorInactive = colour;
        if (ReadColour(section, L"SelBackColor", colour))
            selBackColor = selBackColorInactive = colour;
        CString group;
        while (CutTaggedValue(section, L"KEYWORDS", group, FALSE)) {
            bool caseSensitive = ReadBoolean(group, L"CaseSensitive", true);
            COLORREF color = 0, back = (COLORREF)-1;
            bool hasColour = ReadColour(group, L"Color", color);
            ReadColour(group, L"BackColor", back);
            while (CutTaggedValue(group, L"Keyword", value, FALSE))
                if (hasColour && !value.IsEmpty())
                    AddKeyword(value, color, back, caseSensitive);
        }
        CString words;
        if (CutTaggedValue(section, L"WORDS", words, FALSE)) {
            CString word;
            while (CutTaggedValue(words, L"WORD", word, FALSE)) {
                CString val;
                COLORREF color = 0, back = (COLORREF)-1;
                if (!CutTaggedValue(word, L"Val", val, FALSE) || !ReadColour(word, L"Color", color))
                    break;
                ReadColour(word, L"BackColor", back);
                AddKeyword(val, color, back, ReadBoolean(word, L"CaseSensitive", true));
            }
        }
        CString blocks;
        if (CutTaggedValue(section, L"BLOCKS", blocks, FALSE)) {
            CString block;
            while (CutTaggedValue(blocks, L"BLOCK", block, FALSE)) {
                CString start, end;
                if (!CutTaggedValue(block, L"Start", start, TRUE))
                    break;
                CutTaggedValue(block, L"End", end, TRUE);
                COLORREF color = (COLORREF)-1, back = (COLORREF)-1;
                ReadColour(block, L"Color", color);
                ReadColour(block, L"BackColor", back);
                bool multiLine = ReadBoolean(block, L"WholeText", false);
                bool caseSensitive = ReadBoolean(block, L"CaseSensitive", true);
                bool wholeWord = ReadBoolean(block, L"WholeWord", false);
                if (!AddColorBlock(start, end, multiLine, color, back, caseSensitive, wholeWord))
                    ++m_refusedColorBlocks;
            }
        }
    }

    if (CutTaggedValue(work, L"OUTLINE_DATA", section, FALSE) && !ApplyFoldingSettings(section))
        return FALSE;
    if (CutTaggedValue(work, L"HYPERLINKS", section, FALSE) && !ApplyLinkSettings(section))
        return FALSE;
    return TRUE;
}

BOOL CCodeEditCtrl::ApplyFoldingSettings(const CString& content)
{
    if (!outlineParser)
        return TRUE;
    // The blocks go, and with them every hidden line: the view is counted again.
    outlineRoot.DeleteChildren();
    outlineCache.Invalidate();
    hiddenLineCount = 0;
    RecalcLayout();
    topOffset = LineStartOf(topOffset, false);
    topLine = LineOfOffset(topOffset, true, false);
    hiddenAboveTop = 0;
    outlineParser->ClearBlockTypes();
    CString section(content), list, value;
    if (CutTaggedValue(section, L"EscapeSequences", list, FALSE))
        while (CutTaggedValue(list, L"EscapeSequence", value, TRUE))
            outlineParser->RegisterEscape(value);
    if (CutTaggedValue(section, L"BLOCKS", list, FALSE)) {
        CString block;
        while (CutTaggedValue(list, L"BLOCK", block, FALSE)) {
            CString start, end, label(L"..."), keywordList, word;
            // A block without its delimiters ends the list.
            if (!CutTaggedValue(block, L"Start", start, TRUE) || !CutTaggedValue(block, L"End", end, TRUE))
                break;
            CutTaggedValue(block, L"ReplaceString", label, TRUE);
            BOOL nested = ReadBoolean(block, L"AllowNestedBlocks", true);
            BOOL ignore = ReadBoolean(block, L"Ignore", false);
            CStringArray keywords;
            if (CutTaggedValue(block, L"KEYWORDS", keywordList, FALSE))
                while (CutTaggedValue(keywordList, L"Keyword", word, TRUE))
                    keywords.Add(word);
            outlineParser->RegisterBlockType(start, end, label, nested, ignore, &keywords);
        }
    }
    outlineParser->caseSensitive = ReadBoolean(section, L"CaseSensitive", true);
    outlineParser->wholeWords = ReadBoolean(section, L"WholeWords", false);
    outlineParser->delimiters = wordDelimiters;
    return TRUE;
}

BOOL CCodeEditCtrl::ApplyLinkSettings(const CString& content)
{
    CString section(content), value;
    hyperlinksEnabled = 0;
    hyperlinksEnabled = ReadBoolean(section, L"EnableHyperlinkSupport", false);
    colorHyperlinks = ReadBoolean(section, L"HighlightWithColor", true);
    COLORREF colour = 0;
    if (ReadColour(section, L"Color", colour)) {
        hyperlinkColor = colour;
        lightHyperlinkColor = LightTwin(colour);
    }
    CString prefixes;
    if (CutTaggedValue(section, L"URLPrefixes", prefixes, FALSE)) {
        urlPrefixes.RemoveAll();
        while (CutTaggedValue(prefixes, L"URLPrefix", value, FALSE))
            urlPrefixes.Add(value);
        for (CODE_EDIT_HYPERLINK_DEF& link : hyperlinks)
            link.text.SecureEmpty();
        hyperlinks.clear();
        caretLink = hotLink = -1;
    }
    return TRUE;
}

BOOL CCodeEditCtrl::ReadSettingsFile(const CString& path)
{
    CString full(path);
    if (path.Find(L'\\') < 0 && path.Find(L'/') < 0 && path.Find(L':') < 0) {
        WCHAR module[MAX_PATH] = {};
        DWORD n = ::GetModuleFileNameW(nullptr, module, MAX_PATH);
        CString folder(module, (int)n);
        int slash = folder.ReverseFind(L'\\');
        full = folder.Left(slash + 1) + path;
    }
    HANDLE file = ::CreateFileW(full, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return FALSE;
    std::vector<char> bytes;
    char chunk[65536];
    DWORD got = 0;
    bool ok = true;
    while ((ok = ::ReadFile(file, chunk, sizeof chunk, &got, nullptr) != FALSE) && got > 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    ::CloseHandle(file);
    if (!ok)
        return FALSE;
    CString joined;
    if (bytes.size() >= 2 && (unsigned char)bytes[0] == 0xFF && (unsigned char)bytes[1] == 0xFE) {
        joined = CString((const WCHAR*)(bytes.data() + 2), (int)((bytes.size() - 2) / 2));
    } else {
        size_t skip = bytes.size() >= 3 && (unsigned char)bytes[0] == 0xEF ? 3 : 0;
        joined = CString::FromUtf8(bytes.data() + skip, (int)(bytes.size() - skip));
    }
    joined.Remove(L'\r');
    joined.Remove(L'\n');
    return ApplySettingsText(joined);
}
