// Records of the edit control: symbols, hyperlinks, word and block colours,
// colour areas, undo records, and the operation and failure codes.
#pragma once

#include "framework/base/CString.h"
#include "framework/base/Collections.h"

#include <windows.h>

// A character sequence drawn as an image (a facility nothing fills yet).
struct CODE_EDIT_SYM_DEF {
    CString name;
    CString sequence;
    int imageIndex = -1;
    int reservedA = 0;
    int reservedB = 1;
    WCHAR keyChar = 0;
};

// One hyperlink found while painting.
struct CODE_EDIT_HYPERLINK_DEF {
    CString text;
    int offset = -1;
};

// A word of the text looked at in place, without a copy.
struct EditWordView {
    const WCHAR* chars;
    int length;
};

// The keyword table's order: UTF-16 units compared one by one, a prefix
// first. Strings and in-place words compare alike, so a word of the text is
// looked up without being copied.
struct EditKeywordOrder {
    using is_transparent = void;
    static int Compare(const WCHAR* a, int an, const WCHAR* b, int bn)
    {
        for (int i = 0; i < an && i < bn; ++i)
            if (a[i] != b[i])
                return a[i] < b[i] ? -1 : 1;
        return an == bn ? 0 : (an < bn ? -1 : 1);
    }
    bool operator()(const CString& a, const CString& b) const
    {
        return Compare(a.GetString(), a.GetLength(), b.GetString(), b.GetLength()) < 0;
    }
    bool operator()(const CString& a, const EditWordView& b) const
    {
        return Compare(a.GetString(), a.GetLength(), b.chars, b.length) < 0;
    }
    bool operator()(const EditWordView& a, const CString& b) const
    {
        return Compare(a.chars, a.length, b.GetString(), b.GetLength()) < 0;
    }
};

// Colour of a keyword or word.
struct CODE_EDIT_SYNTAX_COLOR {
    COLORREF color = (COLORREF)-1;
    COLORREF lightColor = (COLORREF)-1;
    COLORREF backColor = (COLORREF)-1;
    int caseSensitive = 1;
};

// A coloured block: a start string, an end string (empty: the line end).
struct CODE_EDIT_COLOR_BLOCK {
    virtual ~CODE_EDIT_COLOR_BLOCK() = default;
    virtual bool IsSameBlock(const CODE_EDIT_COLOR_BLOCK& other) const
    {
        return multiLine == other.multiLine && start == other.start && end == other.end;
    }
    CString start;
    CString end;
    COLORREF color = (COLORREF)-1;
    COLORREF lightColor = (COLORREF)-1;
    COLORREF backColor = (COLORREF)-1;
    int multiLine = 0;
    int unused = 0;
    int caseSensitive = 0;
    int wholeWord = 0;
};

// A coloured stretch of text, `end` inclusive.
struct CODE_EDIT_COLOR_AREA {
    int start = 0;
    int end = 0;
    COLORREF color = (COLORREF)-1;
    COLORREF lightColor = (COLORREF)-1;
    COLORREF backColor = (COLORREF)-1;
};

struct CODE_BASE_UNDO_DATA {
    virtual ~CODE_BASE_UNDO_DATA() = default;
};

struct CODE_EDIT_UNDO_INDENT_DATA : CODE_BASE_UNDO_DATA {
    int start = 0;
    int end = 0;
    int indent = 0;
    CStringArray lines;
    ~CODE_EDIT_UNDO_INDENT_DATA() override
    {
        for (CString& line : lines)
            line.SecureEmpty();
    }
};

// One undo record. Its text may be plaintext: it is wiped when the record goes.
struct CODE_EDIT_UNDO_ACTION {
    int offset = -1;
    int caretOffset = -1;
    int kind = 0;
    CString text;
    CODE_BASE_UNDO_DATA* data = nullptr;
    int flags = 1;
    int groupWithNext = 0;
    int ownsData = 0;

    CODE_EDIT_UNDO_ACTION() = default;
    CODE_EDIT_UNDO_ACTION(const CODE_EDIT_UNDO_ACTION&) = delete;
    CODE_EDIT_UNDO_ACTION& operator=(const CODE_EDIT_UNDO_ACTION&) = delete;
    ~CODE_EDIT_UNDO_ACTION()
    {
        text.SecureEmpty();
        if (ownsData)
            delete data;
    }
};

// Undo record kinds and flags.
enum : int {
    UNDO_INSERT = 1,
    UNDO_DELETE = 2,
    UNDO_DATA = 4,
    UNDO_KIND_MASK = 0xFF,
    UNDO_FLAG_INSERT_MODE = 1,
    UNDO_FLAG_OVERTYPE = 2,
    UNDO_FLAG_SAVED = 4,
};

// Operation codes carried by the records made while an operation runs.
enum : int {
    EDIT_OP_TYPING = 0x100,
    EDIT_OP_CUT = 0x200,
    EDIT_OP_PASTE = 0x400,
    EDIT_OP_DELETE = 0x800,
    EDIT_OP_BACKSPACE = 0x1000,
    EDIT_OP_DROP = 0x2000,
    EDIT_OP_ENTER = 0x4000,
    EDIT_OP_INDENT = 0x8000,
    EDIT_OP_UNINDENT = 0x10000,
    EDIT_OP_TAB = 0x20000,
    EDIT_OP_REPLACE = 0x40000,
};

// Failure codes passed to OnEditFailure: the high four bits name the reason
// (1 line length, 2 end of text, 4 read-only, 8 clipboard), the rest the operation.
enum : unsigned {
    EDIT_FAIL_UNDO = 0x1,
    EDIT_FAIL_REDO = 0x2,
    EDIT_FAIL_LEFT = 0x10,
    EDIT_FAIL_RIGHT = 0x20,
    EDIT_FAIL_UP = 0x40,
    EDIT_FAIL_DOWN = 0x80,
    EDIT_FAIL_PAGE_UP = 0x100,
    EDIT_FAIL_PAGE_DOWN = 0x200,
    EDIT_FAIL_LINE_START = 0x400,
    EDIT_FAIL_WORD_RIGHT = 0x800,
    EDIT_FAIL_WORD_LEFT = 0x1000,
    EDIT_FAIL_BACK_TAB = 0x2000,
    EDIT_FAIL_NO_SELECTION_COPY = 0x40000,
    EDIT_FAIL_NO_SELECTION_DELETE = 0x100000,
    EDIT_FAIL_SELECTION = 0x200000,
    EDIT_FAIL_INDENT = 0x400000,
    EDIT_FAIL_DROP = 0x800000,
    EDIT_FAIL_TAB_TOO_LONG = 0x10004000,
    EDIT_FAIL_JOIN_TOO_LONG = 0x10008000,
    EDIT_FAIL_DELETE_AT_END = 0x20010000,
    EDIT_FAIL_READ_ONLY_OVERWRITE = 0x40000004,
    EDIT_FAIL_READ_ONLY_PASTE = 0x40020000,
    EDIT_FAIL_NO_CLIPBOARD_TEXT = 0x80020000,
    EDIT_FAIL_CUT_COPY = 0x80100000,
};
