#include "framework/base/CString.h"

#include "framework/base/WideFormat.h"
#include "framework/base/WipedMemory.h"

#include <algorithm>
#include <cstring>
#include <new>

int StringLength(const WCHAR* text)
{
    if (!text)
        return 0;
    const WCHAR* p = text;
    while (*p)
        ++p;
    return (int)(p - text);
}

namespace {

// Strings carry decrypted names and text too: every buffer is wiped whole
// (terminator included) before it goes back to the heap.
void ReleaseChars(WCHAR* data, int capacity)
{
    if (!data)
        return;
    WipeBytes(data, sizeof(WCHAR) * ((size_t)capacity + 1));
    delete[] data;
}

}  // namespace

const WCHAR* CString::EmptyText()
{
    static const WCHAR empty[1] = {0};
    return empty;
}

CString::CString(const WCHAR* text) { Assign(text, StringLength(text)); }

CString::CString(const WCHAR* text, int length) { Assign(text, text ? length : 0); }

CString::CString(WCHAR ch, int repeat)
{
    if (repeat <= 0)
        return;
    SetLength(repeat);
    std::fill(m_data, m_data + repeat, ch);
}

CString::CString(const char* text)
{
    if (!text || !*text)
        return;
    int needed = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (needed <= 1)
        return;
    Reserve(needed - 1);
    MultiByteToWideChar(CP_ACP, 0, text, -1, m_data, needed);
    SetLength(needed - 1);
}

CString::CString(const CString& other) { Assign(other.m_data, other.m_length); }

CString::CString(CString&& other) noexcept
    : m_data(other.m_data), m_length(other.m_length), m_capacity(other.m_capacity)
{
    other.m_data = nullptr;
    other.m_length = other.m_capacity = 0;
}

CString::~CString() { ReleaseChars(m_data, m_capacity); }

CString& CString::operator=(const CString& other)
{
    if (this != &other)
        Assign(other.m_data, other.m_length);
    return *this;
}

CString& CString::operator=(CString&& other) noexcept
{
    if (this != &other) {
        ReleaseChars(m_data, m_capacity);
        m_data = other.m_data;
        m_length = other.m_length;
        m_capacity = other.m_capacity;
        other.m_data = nullptr;
        other.m_length = other.m_capacity = 0;
    }
    return *this;
}

CString& CString::operator=(const WCHAR* text)
{
    Assign(text, StringLength(text));
    return *this;
}

CString& CString::operator=(WCHAR ch)
{
    Assign(&ch, 1);
    return *this;
}

// The buffer stays for the next text; the old one does not stay in it.
void CString::Empty()
{
    if (m_data)
        WipeBytes(m_data, sizeof(WCHAR) * (size_t)m_length);
    SetLength(0);
}

void CString::SecureEmpty()
{
    if (m_data)
        WipeBytes(m_data, sizeof(WCHAR) * ((size_t)m_capacity + 1));
    m_length = 0;
}

void CString::Reserve(int capacity)
{
    if (capacity <= m_capacity && m_data)
        return;
    int grown = std::max(capacity, m_capacity + m_capacity / 2);
    WCHAR* data = new WCHAR[(size_t)grown + 1];
    if (m_data)
        memcpy(data, m_data, sizeof(WCHAR) * ((size_t)m_length + 1));
    else
        data[0] = 0;
    ReleaseChars(m_data, m_capacity);
    m_data = data;
    m_capacity = grown;
}

void CString::SetLength(int length)
{
    if (length <= 0 && !m_data) {
        m_length = 0;
        return;
    }
    Reserve(length);
    m_length = length;
    m_data[length] = 0;
}

void CString::Assign(const WCHAR* text, int length)
{
    if (length <= 0) {
        SetLength(0);
        return;
    }
    // The text may live inside this string's own buffer.
    if (m_data && text >= m_data && text <= m_data + m_length) {
        CString copy(text, length);
        *this = std::move(copy);
        return;
    }
    Reserve(length);
    memcpy(m_data, text, sizeof(WCHAR) * (size_t)length);
    SetLength(length);
}

void CString::Append(const WCHAR* text, int length)
{
    if (!text || length <= 0)
        return;
    if (m_data && text >= m_data && text <= m_data + m_length) {
        CString copy(text, length);
        Append(copy.m_data, length);
        return;
    }
    int old = m_length;
    Reserve(old + length);
    memcpy(m_data + old, text, sizeof(WCHAR) * (size_t)length);
    SetLength(old + length);
}

CString& CString::operator+=(const CString& text)
{
    Append(text.m_data, text.m_length);
    return *this;
}

CString& CString::operator+=(const WCHAR* text)
{
    Append(text, StringLength(text));
    return *this;
}

CString& CString::operator+=(WCHAR ch)
{
    Append(&ch, 1);
    return *this;
}

int CString::Compare(const WCHAR* text) const
{
    const WCHAR* a = GetString();
    const WCHAR* b = text ? text : EmptyText();
    while (*a && *a == *b) {
        ++a;
        ++b;
    }
    return (int)*a - (int)*b;
}

int CString::CompareNoCase(const WCHAR* text) const
{
    int result = CompareStringOrdinal(GetString(), -1, text ? text : EmptyText(), -1, TRUE);
    return result - CSTR_EQUAL;
}

CString CString::Mid(int first) const { return Mid(first, m_length - std::max(first, 0)); }

CString CString::Mid(int first, int count) const
{
    first = std::clamp(first, 0, m_length);
    count = std::clamp(count, 0, m_length - first);
    return CString(GetString() + first, count);
}

CString CString::Left(int count) const { return Mid(0, count); }

CString CString::Right(int count) const
{
    count = std::clamp(count, 0, m_length);
    return CString(GetString() + m_length - count, count);
}

static bool InSet(WCHAR ch, const WCHAR* set)
{
    for (; set && *set; ++set)
        if (*set == ch)
            return true;
    return false;
}

int CString::Find(WCHAR ch, int start) const
{
    for (int i = std::max(start, 0); i < m_length; ++i)
        if (m_data[i] == ch)
            return i;
    return -1;
}

int CString::Find(const WCHAR* sub, int start) const
{
    int n = StringLength(sub);
    if (start < 0 || start > m_length)
        return -1;
    if (n == 0)
        return start;
    for (int i = start; i + n <= m_length; ++i)
        if (memcmp(m_data + i, sub, sizeof(WCHAR) * (size_t)n) == 0)
            return i;
    return -1;
}

int CString::ReverseFind(WCHAR ch) const
{
    for (int i = m_length - 1; i >= 0; --i)
        if (m_data[i] == ch)
            return i;
    return -1;
}

int CString::FindOneOf(const WCHAR* charSet) const
{
    for (int i = 0; i < m_length; ++i)
        if (InSet(m_data[i], charSet))
            return i;
    return -1;
}

CString& CString::MakeUpper()
{
    if (m_length)
        CharUpperBuffW(m_data, (DWORD)m_length);
    return *this;
}

CString& CString::MakeLower()
{
    if (m_length)
        CharLowerBuffW(m_data, (DWORD)m_length);
    return *this;
}

int CString::Replace(WCHAR oldCh, WCHAR newCh)
{
    int count = 0;
    for (int i = 0; i < m_length; ++i)
        if (m_data[i] == oldCh) {
            m_data[i] = newCh;
            ++count;
        }
    return count;
}

int CString::Replace(const WCHAR* oldText, const WCHAR* newText)
{
    int oldLength = StringLength(oldText);
    if (oldLength == 0)
        return 0;
    CString result;
    int count = 0, pos = 0;
    for (int hit; (hit = Find(oldText, pos)) >= 0; pos = hit + oldLength) {
        result.Append(m_data + pos, hit - pos);
        result += newText;
        ++count;
    }
    if (count) {
        result.Append(GetString() + pos, m_length - pos);
        *this = std::move(result);
    }
    return count;
}

int CString::Remove(WCHAR ch)
{
    int kept = 0;
    for (int i = 0; i < m_length; ++i)
        if (m_data[i] != ch)
            m_data[kept++] = m_data[i];
    int removed = m_length - kept;
    if (removed)
        SetLength(kept);
    return removed;
}

int CString::Insert(int index, WCHAR ch) { return Insert(index, CString(ch)); }

int CString::Insert(int index, const WCHAR* text)
{
    index = std::clamp(index, 0, m_length);
    CString result = Left(index);
    result += text;
    result.Append(GetString() + index, m_length - index);
    *this = std::move(result);
    return m_length;
}

int CString::Delete(int index, int count)
{
    if (index < 0 || index >= m_length || count <= 0)
        return m_length;
    count = std::min(count, m_length - index);
    memmove(m_data + index, m_data + index + count, sizeof(WCHAR) * (size_t)(m_length - index - count));
    SetLength(m_length - count);
    return m_length;
}

static bool IsSpaceChar(WCHAR ch, const void*) { return ch == ' ' || (ch >= 9 && ch <= 13); }
static bool IsThatChar(WCHAR ch, const void* c) { return ch == *(const WCHAR*)c; }
static bool IsInChars(WCHAR ch, const void* c) { return InSet(ch, (const WCHAR*)c); }

CString& CString::TrimLeftWhere(bool (*test)(WCHAR, const void*), const void* context)
{
    int n = 0;
    while (n < m_length && test(m_data[n], context))
        ++n;
    Delete(0, n);
    return *this;
}

CString& CString::TrimRightWhere(bool (*test)(WCHAR, const void*), const void* context)
{
    int n = m_length;
    while (n > 0 && test(m_data[n - 1], context))
        --n;
    if (n != m_length)
        SetLength(n);
    return *this;
}

CString& CString::TrimLeft() { return TrimLeftWhere(IsSpaceChar, nullptr); }
CString& CString::TrimLeft(WCHAR ch) { return TrimLeftWhere(IsThatChar, &ch); }
CString& CString::TrimLeft(const WCHAR* chars) { return TrimLeftWhere(IsInChars, chars); }
CString& CString::TrimRight() { return TrimRightWhere(IsSpaceChar, nullptr); }
CString& CString::TrimRight(WCHAR ch) { return TrimRightWhere(IsThatChar, &ch); }
CString& CString::TrimRight(const WCHAR* chars) { return TrimRightWhere(IsInChars, chars); }
CString& CString::Trim() { return TrimRight().TrimLeft(); }
CString& CString::Trim(WCHAR ch) { return TrimRight(ch).TrimLeft(ch); }
CString& CString::Trim(const WCHAR* chars) { return TrimRight(chars).TrimLeft(chars); }

void CString::Truncate(int length)
{
    if (length >= 0 && length < m_length)
        SetLength(length);
}

void CString::Format(const WCHAR* format, ...)
{
    va_list args;
    va_start(args, format);
    FormatV(format, args);
    va_end(args);
}

void CString::FormatV(const WCHAR* format, va_list args)
{
    CString result;
    AppendWideFormat(result, format, args);
    *this = std::move(result);
}

void CString::AppendFormat(const WCHAR* format, ...)
{
    va_list args;
    va_start(args, format);
    AppendFormatV(format, args);
    va_end(args);
}

void CString::AppendFormatV(const WCHAR* format, va_list args) { AppendWideFormat(*this, format, args); }

BOOL CString::LoadString(UINT id)
{
    const WCHAR* text = nullptr;
    // With a zero buffer size the call returns a read-only pointer into the resource.
    int length = ::LoadStringW(GetModuleHandleW(nullptr), id, (LPWSTR)&text, 0);
    if (length <= 0 || !text) {
        Empty();
        return FALSE;
    }
    Assign(text, length);
    return TRUE;
}

WCHAR* CString::GetBuffer(int minLength)
{
    Reserve(std::max(minLength, m_length));
    return m_data;
}

void CString::ReleaseBuffer(int newLength)
{
    if (!m_data)
        return;
    if (newLength < 0) {
        newLength = 0;
        while (newLength < m_capacity && m_data[newLength])
            ++newLength;
    }
    SetLength(std::min(newLength, m_capacity));
}

void CString::Preallocate(int length) { Reserve(length); }

std::string CString::ToUtf8() const
{
    std::string out;
    if (m_length == 0)
        return out;
    int needed = WideCharToMultiByte(CP_UTF8, 0, m_data, m_length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0)
        return out;
    out.resize((size_t)needed);
    WideCharToMultiByte(CP_UTF8, 0, m_data, m_length, out.data(), needed, nullptr, nullptr);
    return out;
}

CString CString::FromUtf8(const char* bytes, int length)
{
    CString out;
    if (!bytes)
        return out;
    if (length < 0)
        length = (int)strlen(bytes);
    if (length == 0)
        return out;
    int needed = MultiByteToWideChar(CP_UTF8, 0, bytes, length, nullptr, 0);
    if (needed <= 0)
        return out;
    MultiByteToWideChar(CP_UTF8, 0, bytes, length, out.GetBuffer(needed), needed);
    out.ReleaseBuffer(needed);
    return out;
}

CString operator+(const CString& a, const CString& b)
{
    CString r(a);
    r += b;
    return r;
}

CString operator+(const CString& a, const WCHAR* b)
{
    CString r(a);
    r += b;
    return r;
}

CString operator+(const WCHAR* a, const CString& b)
{
    CString r(a);
    r += b;
    return r;
}

CString operator+(const CString& a, WCHAR b)
{
    CString r(a);
    r += b;
    return r;
}

CString operator+(WCHAR a, const CString& b)
{
    CString r(a);
    r += b;
    return r;
}

bool operator==(const CString& a, const CString& b)
{
    return a.GetLength() == b.GetLength() && a.Compare(b) == 0;
}
bool operator==(const CString& a, const WCHAR* b) { return a.Compare(b) == 0; }
bool operator==(const WCHAR* a, const CString& b) { return b.Compare(a) == 0; }
bool operator!=(const CString& a, const CString& b) { return !(a == b); }
bool operator!=(const CString& a, const WCHAR* b) { return !(a == b); }
bool operator!=(const WCHAR* a, const CString& b) { return !(a == b); }
bool operator<(const CString& a, const CString& b) { return a.Compare(b) < 0; }
bool operator>(const CString& a, const CString& b) { return a.Compare(b) > 0; }
bool operator<=(const CString& a, const CString& b) { return a.Compare(b) <= 0; }
bool operator>=(const CString& a, const CString& b) { return a.Compare(b) >= 0; }
