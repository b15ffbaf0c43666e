#include "doc/FolderNameCache.h"

#include "crypt/FileOps.h"

#include <windows.h>

CString CFolderNameCache::Key(const CString& text)
{
    CString key = text;
    key.MakeUpper();
    return key;
}

bool CFolderNameCache::IsCurrent(const CString& folder) const
{
    return !m_folder.IsEmpty() && Key(folder) == m_folder;
}

bool CFolderNameCache::Exists(const CString& folder, const CString& name)
{
    if (!IsCurrent(folder)) {
        m_folder = Key(folder);
        m_names.clear();
        // Short names too: a lookup by one finds its file.
        bool readable = ForEachEntry(folder + L"*", [&](const WIN32_FIND_DATAW& entry) {
            m_names.insert(Key(entry.cFileName));
            if (entry.cAlternateFileName[0])
                m_names.insert(Key(entry.cAlternateFileName));
        });
        if (!readable) {
            // Unreadable: every question goes to the disk.
            m_folder.Empty();
            return GetFileAttributesW(folder + name) != INVALID_FILE_ATTRIBUTES;
        }
        // The walk leaves out the folder's own entries, which the disk finds.
        m_names.insert(L".");
        m_names.insert(L"..");
    }
    return m_names.count(Key(name)) != 0;
}

void CFolderNameCache::Added(const CString& folder, const CString& name)
{
    if (IsCurrent(folder))
        m_names.insert(Key(name));
}

void CFolderNameCache::Removed(const CString& folder, const CString& name)
{
    if (IsCurrent(folder))
        m_names.erase(Key(name));
}
