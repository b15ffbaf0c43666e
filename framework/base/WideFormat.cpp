#include "framework/base/WideFormat.h"

#include "framework/base/CString.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

enum class Size { Default, Char, Short, Long32, Long64, Pointer };

struct Spec {
    bool left = false, plus = false, space = false, alt = false, zero = false;
    int width = -1;
    int precision = -1;
    Size size = Size::Default;
    WCHAR conversion = 0;
};

// Reads a decimal number or '*' (taken from the arguments).
int ReadCount(const WCHAR*& p, va_list& args)
{
    if (*p == '*') {
        ++p;
        return va_arg(args, int);
    }
    int n = 0;
    while (*p >= '0' && *p <= '9')
        n = n * 10 + (*p++ - '0');
    return n;
}

void ReadSpec(const WCHAR*& p, va_list& args, Spec& s)
{
    for (;; ++p) {
        if (*p == '-') s.left = true;
        else if (*p == '+') s.plus = true;
        else if (*p == ' ') s.space = true;
        else if (*p == '#') s.alt = true;
        else if (*p == '0') s.zero = true;
        else break;
    }
    if (*p == '*' || (*p >= '1' && *p <= '9')) {
        s.width = ReadCount(p, args);
        if (s.width < 0) {
            s.left = true;
            s.width = -s.width;
        }
    }
    if (*p == '.') {
        ++p;
        s.precision = ReadCount(p, args);
        if (s.precision < 0)
            s.precision = -1;
    }
    if (p[0] == 'h' && p[1] == 'h') { s.size = Size::Char; p += 2; }
    else if (*p == 'h') { s.size = Size::Short; ++p; }
    else if (p[0] == 'l' && p[1] == 'l') { s.size = Size::Long64; p += 2; }
    else if (*p == 'l') { s.size = Size::Long32; ++p; }
    else if (*p == 'L' || *p == 'q' || *p == 'j') { s.size = Size::Long64; ++p; }
    else if (p[0] == 'I' && p[1] == '6' && p[2] == '4') { s.size = Size::Long64; p += 3; }
    else if (p[0] == 'I' && p[1] == '3' && p[2] == '2') { s.size = Size::Long32; p += 3; }
    else if (*p == 'I' || *p == 'z' || *p == 't') { s.size = Size::Pointer; ++p; }
    s.conversion = *p;
}

void Pad(CString& out, int count, WCHAR ch)
{
    for (int i = 0; i < count; ++i)
        out += ch;
}

void AppendPadded(CString& out, const WCHAR* text, int length, const Spec& s)
{
    int fill = s.width > length ? s.width - length : 0;
    if (!s.left)
        Pad(out, fill, ' ');
    out.Append(text, length);
    if (s.left)
        Pad(out, fill, ' ');
}

void AppendNarrowPadded(CString& out, const char* text, int length, const Spec& s)
{
    CString wide;
    if (length > 0) {
        int needed = MultiByteToWideChar(CP_ACP, 0, text, length, nullptr, 0);
        MultiByteToWideChar(CP_ACP, 0, text, length, wide.GetBuffer(needed), needed);
        wide.ReleaseBuffer(needed);
    }
    AppendPadded(out, wide, wide.GetLength(), s);
}

// Numbers are rendered by the narrow snprintf, which is correct on any host.
std::string NarrowSpec(const Spec& s, const char* length, char conversion)
{
    std::string f = "%";
    if (s.left) f += '-';
    if (s.plus) f += '+';
    if (s.space) f += ' ';
    if (s.alt) f += '#';
    if (s.zero) f += '0';
    if (s.width >= 0) f += std::to_string(s.width);
    if (s.precision >= 0) {
        // Appended piece by piece: GCC 12 at -O3 misreads "." + string as an overflow.
        f += '.';
        f += std::to_string(s.precision);
    }
    f += length;
    f += conversion;
    return f;
}

void AppendNarrowNumber(CString& out, const std::string& pattern, ...)
{
    char buf[512];
    va_list args;
    va_start(args, pattern);
    int n = vsnprintf(buf, sizeof buf, pattern.c_str(), args);
    va_end(args);
    if (n < 0)
        return;
    if (n >= (int)sizeof buf) {
        std::string big((size_t)n + 1, '\0');
        va_start(args, pattern);
        vsnprintf(big.data(), big.size(), pattern.c_str(), args);
        va_end(args);
        for (int i = 0; i < n; ++i)
            out += (WCHAR)(unsigned char)big[i];
        return;
    }
    for (int i = 0; i < n; ++i)
        out += (WCHAR)(unsigned char)buf[i];
}

void AppendInteger(CString& out, const Spec& s, va_list& args)
{
    bool isSigned = s.conversion == 'd' || s.conversion == 'i';
    std::string pattern = NarrowSpec(s, "ll", (char)(s.conversion == 'i' ? 'd' : s.conversion));
    long long value;
    switch (s.size) {
    case Size::Long64:
    case Size::Pointer:
        value = va_arg(args, long long);
        break;
    case Size::Char:
        value = isSigned ? (long long)(signed char)va_arg(args, int) : (long long)(unsigned char)va_arg(args, int);
        break;
    case Size::Short:
        value = isSigned ? (long long)(short)va_arg(args, int) : (long long)(unsigned short)va_arg(args, int);
        break;
    default:
        value = isSigned ? (long long)va_arg(args, int) : (long long)va_arg(args, unsigned int);
        break;
    }
    AppendNarrowNumber(out, pattern, value);
}

void AppendFloat(CString& out, const Spec& s, va_list& args)
{
    double value = va_arg(args, double);
    AppendNarrowNumber(out, NarrowSpec(s, "", (char)s.conversion), value);
}

void AppendString(CString& out, const Spec& s, bool wide, va_list& args)
{
    if (wide) {
        const WCHAR* text = va_arg(args, const WCHAR*);
        if (!text)
            text = L"(null)";
        int length = StringLength(text);
        if (s.precision >= 0 && s.precision < length)
            length = s.precision;
        AppendPadded(out, text, length, s);
    } else {
        const char* text = va_arg(args, const char*);
        if (!text)
            text = "(null)";
        int length = (int)strlen(text);
        if (s.precision >= 0 && s.precision < length)
            length = s.precision;
        AppendNarrowPadded(out, text, length, s);
    }
}

void AppendChar(CString& out, const Spec& s, bool wide, va_list& args)
{
    int value = va_arg(args, int);
    if (wide) {
        WCHAR ch = (WCHAR)value;
        AppendPadded(out, &ch, 1, s);
    } else {
        char ch = (char)value;
        AppendNarrowPadded(out, &ch, 1, s);
    }
}

}  // namespace

void AppendWideFormat(CString& out, const WCHAR* format, va_list argsIn)
{
    if (!format)
        return;
    va_list args;
    va_copy(args, argsIn);
    for (const WCHAR* p = format; *p; ++p) {
        if (*p != '%') {
            const WCHAR* run = p;
            while (p[1] && p[1] != '%')
                ++p;
            out.Append(run, (int)(p - run) + 1);
            continue;
        }
        ++p;
        if (*p == '%') {
            out += L'%';
            continue;
        }
        Spec s;
        ReadSpec(p, args, s);
        switch (s.conversion) {
        case 'd': case 'i': case 'u': case 'x': case 'X': case 'o':
            AppendInteger(out, s, args);
            break;
        case 'f': case 'F': case 'e': case 'E': case 'g': case 'G': case 'a': case 'A':
            AppendFloat(out, s, args);
            break;
        case 's':
            AppendString(out, s, s.size != Size::Short, args);
            break;
        case 'S':
            AppendString(out, s, s.size == Size::Long32, args);
            break;
        case 'c':
            AppendChar(out, s, s.size != Size::Short, args);
            break;
        case 'C':
            AppendChar(out, s, s.size == Size::Long32, args);
            break;
        case 'p':
            AppendNarrowNumber(out, "%p", va_arg(args, void*));
            break;
        case 0:
            --p;  // a lone '%' at the end
            break;
        default:
            out += s.conversion;  // unknown conversions are copied as they stand
            break;
        }
    }
    va_end(args);
}
