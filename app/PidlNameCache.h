// CPidlNameCache: display names of shell items by their identifier lists,
// so that the folder tree shows the names the file list shows (decrypted
// folder names among them). Two lists are the same item when their bytes,
// terminator included, are equal; the empty list (the Desktop) is never
// kept. The cache only grows while its tree lives.
#pragma once

#include "framework/base/CString.h"

#include <shlobj.h>

#include <cstdint>
#include <unordered_map>
#include <vector>

class CPidlNameCache {
public:
    // The cached name, or the shell's display name (cached then); "???" when
    // the shell cannot name the item (not cached, asked again next time).
    // With the item's parent folder and its relative list the name is asked
    // of that folder, which gives the same name without finding the folder
    // again from the Desktop.
    CString GetName(LPCITEMIDLIST pidl, IShellFolder* parentFolder = nullptr, LPCITEMIDLIST relative = nullptr);
    // The first entry of the same list gets the name; without one, a new
    // entry is added.
    void SetName(LPCITEMIDLIST pidl, const CString& name);
    void Add(LPCITEMIDLIST pidl, const CString& name);
    // The cached name; empty when there is none.
    CString Find(LPCITEMIDLIST pidl) const;
    void Clear();
    int GetCount() const { return (int)m_entries.size(); }

private:
    struct Entry {
        std::vector<BYTE> bytes;
        CString name;
    };
    static std::vector<BYTE> Bytes(LPCITEMIDLIST pidl);
    static uint64_t Hash(const std::vector<BYTE>& bytes);
    int FindIndex(const std::vector<BYTE>& bytes) const;

    std::vector<Entry> m_entries;
    std::unordered_multimap<uint64_t, int> m_index;  // hash of the bytes -> entry
};
