#include "framework/windows/CommandPrompts.h"

CString LoadStringPart(UINT id, int part)
{
    CString text;
    if (!text.LoadString(id))
        return CString();
    int start = 0;
    for (int i = 0; i < part; ++i) {
        int newline = text.Find(L'\n', start);
        if (newline < 0)
            return CString();
        start = newline + 1;
    }
    int end = text.Find(L'\n', start);
    return end < 0 ? text.Mid(start) : text.Mid(start, end - start);
}
