// CString: the program's UTF-16 string.
//
// winelib compiles with -fshort-wchar, so WCHAR is 16 bits while the host C
// library's wide functions assume 32 bits; nothing here calls them. Formatting
// follows the Windows conventions: %s and %c take wide text, %S, %hs and %C take
// narrow text, the "l" length is 32 bits and "ll"/"I64" are 64 bits.
//
// Strings carry decrypted names and text, so every buffer a string gives
// back (destroyed, grown, moved over) is wiped first, and Empty wipes the
// characters it drops.
#pragma once

#include <windows.h>

#include <cstdarg>
#include <cstddef>
#include <string>

class CString {
public:
    CString() = default;
    CString(const WCHAR* text);
    CString(const WCHAR* text, int length);
    CString(WCHAR ch, int repeat = 1);
    // Narrow text is taken in the ANSI code page, as the system does.
    explicit CString(const char* text);
    CString(const CString& other);
    CString(CString&& other) noexcept;
    ~CString();

    CString& operator=(const CString& other);
    CString& operator=(CString&& other) noexcept;
    CString& operator=(const WCHAR* text);
    CString& operator=(WCHAR ch);

    // Access
    int GetLength() const { return m_length; }
    bool IsEmpty() const { return m_length == 0; }
    void Empty();
    // Overwrites the whole buffer with zeros, then empties the string, keeping
    // the buffer; for passwords and other secrets.
    void SecureEmpty();
    const WCHAR* GetString() const { return m_data ? m_data : EmptyText(); }
    operator const WCHAR*() const { return GetString(); }
    WCHAR GetAt(int index) const { return GetString()[index]; }
    WCHAR operator[](int index) const { return GetString()[index]; }
    void SetAt(int index, WCHAR ch) { m_data[index] = ch; }

    // Appending
    CString& operator+=(const CString& text);
    CString& operator+=(const WCHAR* text);
    CString& operator+=(WCHAR ch);
    void Append(const WCHAR* text, int length);
    void AppendChar(WCHAR ch) { *this += ch; }

    // Comparison: Compare is ordinal; CompareNoCase folds case ordinally.
    int Compare(const WCHAR* text) const;
    int CompareNoCase(const WCHAR* text) const;

    // Extraction
    CString Mid(int first) const;
    CString Mid(int first, int count) const;
    CString Left(int count) const;
    CString Right(int count) const;

    // Searching: positions or -1
    int Find(WCHAR ch, int start = 0) const;
    int Find(const WCHAR* sub, int start = 0) const;
    int ReverseFind(WCHAR ch) const;
    int FindOneOf(const WCHAR* charSet) const;

    // Changing
    CString& MakeUpper();
    CString& MakeLower();
    int Replace(WCHAR oldCh, WCHAR newCh);
    int Replace(const WCHAR* oldText, const WCHAR* newText);
    int Remove(WCHAR ch);
    int Insert(int index, WCHAR ch);
    int Insert(int index, const WCHAR* text);
    int Delete(int index, int count = 1);
    CString& Trim();
    CString& Trim(WCHAR ch);
    CString& Trim(const WCHAR* chars);
    CString& TrimLeft();
    CString& TrimLeft(WCHAR ch);
    CString& TrimLeft(const WCHAR* chars);
    CString& TrimRight();
    CString& TrimRight(WCHAR ch);
    CString& TrimRight(const WCHAR* chars);
    void Truncate(int length);

    // Formatting
    void Format(const WCHAR* format, ...);
    void FormatV(const WCHAR* format, va_list args);
    void AppendFormat(const WCHAR* format, ...);
    void AppendFormatV(const WCHAR* format, va_list args);
    // Loads a string resource of the running module; false when it is missing.
    BOOL LoadString(UINT id);

    // Direct buffer access: write up to minLength characters, then ReleaseBuffer.
    WCHAR* GetBuffer(int minLength = 0);
    void ReleaseBuffer(int newLength = -1);
    void Preallocate(int length);

    // UTF-8
    std::string ToUtf8() const;
    static CString FromUtf8(const char* bytes, int length = -1);

private:
    static const WCHAR* EmptyText();
    void Reserve(int capacity);
    void SetLength(int length);
    void Assign(const WCHAR* text, int length);
    CString& TrimLeftWhere(bool (*test)(WCHAR, const void*), const void* context);
    CString& TrimRightWhere(bool (*test)(WCHAR, const void*), const void* context);

    WCHAR* m_data = nullptr;  // zero-terminated when not null
    int m_length = 0;
    int m_capacity = 0;  // characters, terminator excluded
};

CString operator+(const CString& a, const CString& b);
CString operator+(const CString& a, const WCHAR* b);
CString operator+(const WCHAR* a, const CString& b);
CString operator+(const CString& a, WCHAR b);
CString operator+(WCHAR a, const CString& b);

bool operator==(const CString& a, const CString& b);
bool operator==(const CString& a, const WCHAR* b);
bool operator==(const WCHAR* a, const CString& b);
bool operator!=(const CString& a, const CString& b);
bool operator!=(const CString& a, const WCHAR* b);
bool operator!=(const WCHAR* a, const CString& b);
bool operator<(const CString& a, const CString& b);
bool operator>(const CString& a, const CString& b);
bool operator<=(const CString& a, const CString& b);
bool operator>=(const CString& a, const CString& b);

// Length of a zero-terminated UTF-16 text (the host's wcslen is wrong here).
int StringLength(const WCHAR* text);
