#include "doc/FolderNameCache.h"

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
        WIN32_FIND_DATAW entry;
        HANDLE find = FindFirstFileW(folder + L"*", &entry);
        if (find == INVALID_HANDLE_VALUE) {
            // Unreadable: every question goes to the disk.
            m_folder.Empty();
            return GetFileAttributesW(folder + name) != INVALID_FILE_ATTRIBUTES;
        }
        // Short names too: a lookup by one finds its file.
        do {
            m_names.insert(Key(entry.cFileName));
            if (entry.cAlternateFileName[0])
                m_names.insert(Key(entry.cAlternateFileName));
        } while (FindNextFileW(find, &entry));
        FindClose(find);
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
