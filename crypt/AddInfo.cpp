#include "crypt/AddInfo.h"

#include <utility>

namespace {

WCHAR FoldAsciiCase(WCHAR ch) { return (ch >= 'A' && ch <= 'Z') ? (WCHAR)(ch + ('a' - 'A')) : ch; }

int ComparePathsNoCase(const CString& a, const CString& b)
{
    const WCHAR* p = a.GetString();
    const WCHAR* q = b.GetString();
    for (;; ++p, ++q) {
        int x = FoldAsciiCase(*p), y = FoldAsciiCase(*q);
        if (x != y || x == 0)
            return x - y;
    }
}

}  // namespace

CSortableObArray::~CSortableObArray()
{
    if (m_bOwnsElements)
        for (CObject* element : m_items)
            delete element;
}

void CSortableObArray::Sort()
{
    if (!m_pfnCompare)
        return;
    int n = GetSize();
    int h = 1;
    while (h <= n)
        h = 3 * h + 1;
    while (h > 2) {
        h /= 3;
        for (int i = h; i < n; ++i)
            for (int j = i - h; j >= 0; j -= h) {
                if (m_pfnCompare(m_items[(size_t)(j + h)], m_items[(size_t)j], m_nUserData) >= 0)
                    break;
                std::swap(m_items[(size_t)(j + h)], m_items[(size_t)j]);
            }
    }
}

void CSortableObArray::TakeAllFrom(CSortableObArray& other)
{
    Append(other);
    other.RemoveAll();
}

int CompareAddInfo(CObject* a, CObject* b, LPARAM)
{
    const CAddInfo* x = static_cast<const CAddInfo*>(a);
    const CAddInfo* y = static_cast<const CAddInfo*>(b);
    if (x->m_bFolder != y->m_bFolder)
        return x->m_bFolder ? -1 : 1;
    return ComparePathsNoCase(x->m_strPath, y->m_strPath);
}
