#include "app/PidlNameCache.h"

#include <shellapi.h>
#include <shlwapi.h>

std::vector<BYTE> CPidlNameCache::Bytes(LPCITEMIDLIST pidl)
{
    if (!pidl)
        return {};
    UINT size = ::ILGetSize(pidl);
    // Only the terminator: the empty list.
    if (size <= sizeof(USHORT))
        return {};
    const BYTE* first = (const BYTE*)pidl;
    return std::vector<BYTE>(first, first + size);
}

uint64_t CPidlNameCache::Hash(const std::vector<BYTE>& bytes)
{
    uint64_t hash = 1469598103934665603ull;
    for (BYTE b : bytes)
        hash = (hash ^ b) * 1099511628211ull;
    return hash;
}

int CPidlNameCache::FindIndex(const std::vector<BYTE>& bytes) const
{
    if (bytes.empty())
        return -1;
    auto range = m_index.equal_range(Hash(bytes));
    int first = -1;
    for (auto it = range.first; it != range.second; ++it) {
        if (m_entries[(size_t)it->second].bytes == bytes && (first < 0 || it->second < first))
            first = it->second;
    }
    return first;
}

CString CPidlNameCache::Find(LPCITEMIDLIST pidl) const
{
    int index = FindIndex(Bytes(pidl));
    return index < 0 ? CString() : m_entries[(size_t)index].name;
}

void CPidlNameCache::Add(LPCITEMIDLIST pidl, const CString& name)
{
    std::vector<BYTE> bytes = Bytes(pidl);
    if (bytes.empty())
        return;
    uint64_t hash = Hash(bytes);
    m_entries.push_back(Entry{std::move(bytes), name});
    m_index.emplace(hash, (int)m_entries.size() - 1);
}

void CPidlNameCache::SetName(LPCITEMIDLIST pidl, const CString& name)
{
    int index = FindIndex(Bytes(pidl));
    if (index >= 0)
        m_entries[(size_t)index].name = name;
    else
        Add(pidl, name);
}

CString CPidlNameCache::GetName(LPCITEMIDLIST pidl, IShellFolder* parentFolder, LPCITEMIDLIST relative)
{
    CString name = Find(pidl);
    if (!name.IsEmpty())
        return name;
    STRRET answer = {};
    WCHAR buffer[MAX_PATH] = {};
    if (parentFolder && relative && SUCCEEDED(parentFolder->GetDisplayNameOf(relative, SHGDN_NORMAL, &answer)) &&
        SUCCEEDED(::StrRetToBufW(&answer, relative, buffer, MAX_PATH))) {
        name = buffer;
    } else {
        SHFILEINFOW file = {};
        if (!::SHGetFileInfoW((LPCWSTR)pidl, 0, &file, sizeof file, SHGFI_PIDL | SHGFI_DISPLAYNAME))
            return CString(L"???");
        name = file.szDisplayName;
    }
    Add(pidl, name);
    return name;
}

void CPidlNameCache::Clear()
{
    m_entries.clear();
    m_index.clear();
}
