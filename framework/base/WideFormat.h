// printf-style formatting of UTF-16 text without the host C library's wide
// functions (wrong under -fshort-wchar). Windows conventions: %s/%c wide,
// %S/%hs/%C/%hc narrow, %ls/%lc wide; "l" is 32 bits, "ll", "I64", "z", "I" 64.
#pragma once

#include <cstdarg>

#include <windows.h>

class CString;

void AppendWideFormat(CString& out, const WCHAR* format, va_list args);
