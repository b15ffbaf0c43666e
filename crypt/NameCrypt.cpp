#include "crypt/NameCrypt.h"

#include "crypt/KeyState.h"
#include "crypt/PathParts.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

const char kAlphabet[] = "hmDIJFo1aT8t6+jlXNu7OydveLVC5P324wSGcRYkZ9MHEbB0r!AfxKQigWsnqUzp";
const int kAlphabetSize = 64;
const char kPad = '~';
const WCHAR kMarker[] = L"~X1";
const int kMarkerLength = 3;
const size_t kFixedIvSize = 64;

// The fixed IV of the VMPC stage. Names encrypted with one IV decrypt only
// with the same IV, so these bytes must never change.
void BuildFixedIv(uint8_t iv[kFixedIvSize])
{
    uint32_t x = 0x2545F491u;
    for (size_t i = 0; i < kFixedIvSize; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        iv[i] = (uint8_t)(x >> 24);
    }
}

// Bytes of a buffer that are wiped when it goes (names are private too).
struct WorkBytes : std::vector<uint8_t> {
    using std::vector<uint8_t>::vector;
    ~WorkBytes()
    {
        if (!empty())
            SecureZeroMemory(data(), size());
    }
};

WorkBytes ToUtf8(const CString& text)
{
    CPkAutoBuffer buffer;
    int length = WideToUtf8(text, buffer);
    WorkBytes bytes(buffer.GetBuffer(), buffer.GetBuffer() + length);
    buffer.SecureRelease();
    return bytes;
}

CString FromUtf8(const WorkBytes& bytes)
{
    CPkAutoBuffer buffer((uint32_t)bytes.size(), false);
    if (!bytes.empty())
        memcpy(buffer.GetBuffer(), bytes.data(), bytes.size());
    CString text = Utf8ToWide(buffer);
    buffer.SecureRelease();
    return text;
}

std::string EncodeSymbols(const WorkBytes& b)
{
    std::string out;
    for (size_t i = 0; i < b.size(); i += 3) {
        size_t left = b.size() - i;
        uint8_t b0 = b[i], b1 = left > 1 ? b[i + 1] : 0, b2 = left > 2 ? b[i + 2] : 0;
        uint8_t s[4] = {(uint8_t)(b0 >> 2), (uint8_t)(((b0 & 3) << 4) | (b1 >> 4)),
                        (uint8_t)(((b1 & 15) << 2) | (b2 >> 6)), (uint8_t)(b2 & 63)};
        for (size_t k = 0; k < 4; ++k)
            out += k <= left ? kAlphabet[s[k]] : kPad;
    }
    return out;
}

// A symbol outside the alphabet counts as 255.
WorkBytes DecodeSymbols(const std::string& symbols)
{
    WorkBytes out;
    for (size_t i = 0; i < symbols.size(); i += 4) {
        size_t count = std::min<size_t>(4, symbols.size() - i);
        unsigned c[4] = {0, 0, 0, 0};
        for (size_t k = 0; k < count; ++k) {
            int index = CNameCrypt::AlphabetIndex(kAlphabet, kAlphabetSize, symbols[i + k]);
            c[k] = index < 0 ? 255 : (unsigned)index;
        }
        uint8_t bytes[3] = {(uint8_t)((c[0] << 2) | ((c[1] & 48) >> 4)), (uint8_t)(((c[1] & 15) << 4) | ((c[2] & 60) >> 2)),
                            (uint8_t)(((c[2] & 3) << 6) | c[3])};
        // A last group of c symbols gives c - 1 bytes.
        out.insert(out.end(), bytes, bytes + (count == 4 ? 3 : count - 1));
    }
    return out;
}

bool IsUsableComponent(const CString& name)
{
    if (name == L"." || name == L"..")
        return false;
    for (int i = 0; i < name.GetLength(); ++i) {
        WCHAR ch = name[i];
        if (ch == L'\\' || ch == L'/' || ch == L':' || ch < 0x20 || ch == 0x7F)
            return false;
    }
    return true;
}

template <class Transform>
CString ForEachComponent(const CString& path, Transform transform)
{
    CString result;
    int start = 0;
    for (;;) {
        int slash = path.Find(L'\\', start);
        CString component = slash < 0 ? path.Mid(start) : path.Mid(start, slash - start);
        result += component.IsEmpty() ? component : transform(component);
        if (slash < 0)
            return result;
        result += L'\\';
        start = slash + 1;
    }
}

}  // namespace

int CNameCrypt::AlphabetIndex(const char* alphabet, int size, char ch)
{
    for (int i = 0; i < size; ++i)
        if (alphabet[i] == ch)
            return i;
    return -1;
}

void CNameCrypt::Rc4Crypt(uint8_t* bytes, size_t length, const uint8_t* key, size_t keyLength)
{
    if (keyLength == 0)
        return;
    uint8_t s[256];
    for (int i = 0; i < 256; ++i)
        s[i] = (uint8_t)i;
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + key[i % keyLength]) & 255;
        std::swap(s[i], s[j]);
    }
    for (size_t n = 0, i = 0, j = 0; n < length; ++n) {
        i = (i + 1) & 255;
        j = (j + s[i]) & 255;
        std::swap(s[i], s[j]);
        uint8_t k = s[(s[i] + s[j]) & 255];
        // The codec's own rule: a byte below 128 equal to its keystream byte stays.
        if (bytes[n] >= 128 || bytes[n] != k)
            bytes[n] ^= k;
    }
    SecureZeroMemory(s, sizeof s);
}

void CNameCrypt::ReverseBytes(uint8_t* bytes, size_t length)
{
    for (size_t i = 0; i < length / 2; ++i)
        std::swap(bytes[i], bytes[length - 1 - i]);
}

void CNameCrypt::VmpcCrypt(uint8_t* bytes, size_t length, size_t keyLength, const uint8_t* key, const uint8_t* iv,
                           size_t ivLength)
{
    if (keyLength == 0)
        return;
    uint8_t p[256];
    for (int i = 0; i < 256; ++i)
        p[i] = (uint8_t)i;
    uint8_t s = 0;
    for (int m = 0; m < 768; ++m) {
        int n = m & 255;
        s = p[(s + p[n] + key[m % keyLength]) & 255];
        std::swap(p[n], p[s]);
    }
    // One round more than the key phase; stored names depend on it.
    if (ivLength >= 16 && ivLength <= 64)
        for (int m = 0; m < 769; ++m) {
            int n = m & 255;
            s = p[(s + p[n] + iv[m % ivLength]) & 255];
            std::swap(p[n], p[s]);
        }
    uint8_t n = 0;
    for (size_t i = 0; i < length; ++i) {
        s = p[(s + p[n]) & 255];
        uint8_t out = p[(p[p[s]] + 1) & 255];
        std::swap(p[n], p[s]);
        ++n;
        bytes[i] ^= out;
    }
    SecureZeroMemory(p, sizeof p);
}

void CNameCrypt::VmpcCryptFixedIV(uint8_t* bytes, size_t length, const uint8_t* key, size_t keyLength)
{
    uint8_t iv[kFixedIvSize];
    BuildFixedIv(iv);
    VmpcCrypt(bytes, length, keyLength % 256, key, iv, sizeof iv);
}

CString CNameCrypt::EncryptName(const CString& name) const
{
    size_t keyLength = NameKeyLength();
    if (keyLength == 0)
        return name;
    WorkBytes b = ToUtf8(name + kMarker);
    if (b.size() > MAX_NAME_BYTES)
        return name;
    Rc4Crypt(b.data(), b.size(), g_NameKey, keyLength);
    ReverseBytes(b.data(), b.size());
    VmpcCryptFixedIV(b.data(), b.size(), g_NameKey, keyLength);
    return L"{" + CString(EncodeSymbols(b).c_str()) + L"}";
}

CString CNameCrypt::DecryptName(const CString& name) const
{
    size_t keyLength = NameKeyLength();
    int length = name.GetLength();
    if (length < 2 || name[0] != L'{' || name[length - 1] != L'}' || keyLength == 0)
        return name;
    WorkBytes inner = ToUtf8(name.Mid(1, length - 2));
    std::string symbols(inner.begin(), std::find(inner.begin(), inner.end(), (uint8_t)kPad));
    if (symbols.size() > MAX_SYMBOLS)
        return name;
    WorkBytes b = DecodeSymbols(symbols);
    VmpcCryptFixedIV(b.data(), b.size(), g_NameKey, keyLength);
    ReverseBytes(b.data(), b.size());
    Rc4Crypt(b.data(), b.size(), g_NameKey, keyLength);
    CString text = FromUtf8(b);
    int marker = text.Find(kMarker);
    if (marker < 0 || marker != text.GetLength() - kMarkerLength)
        return name;
    text.Truncate(marker);
    return IsUsableComponent(text) ? text : name;
}

CString CNameCrypt::EncryptPathNames(const CString& relativePath) const
{
    return ForEachComponent(relativePath, [this](const CString& c) { return EncryptName(c); });
}

CString CNameCrypt::DecryptPathNames(const CString& relativePath) const
{
    return ForEachComponent(relativePath, [this](const CString& c) { return DecryptName(c); });
}

CString CNameCrypt::DecryptPathFileName(const CString& path) const
{
    CString filePart = PathFilePart(path);
    if (!IsEncryptedName(filePart))
        return path;
    return PathFolderPart(path) + DecryptName(filePart);
}

bool IsEncryptedName(const CString& name)
{
    return !name.IsEmpty() && name[0] == L'{' && name[name.GetLength() - 1] == L'}';
}

bool IsEncryptedPathName(const CString& path) { return IsEncryptedName(PathFilePart(path)); }
