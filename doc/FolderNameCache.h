// CFolderNameCache: the names in the folder a job is placing files into, read
// once when the job first asks about that folder and then kept up to date
// with the job's own moves and deletions. Finding a free name then costs no
// lookup on disk: a lookup of a name that is not there makes some file
// systems search the whole folder, which for a folder of thousands of files
// costs more than the rest of a small file's work.
//
// Names compare without regard to case. A name that another program creates
// meanwhile is not seen; the jobs' moves never replace a file, so such a name
// makes the move fail, as it would have had it appeared just after a lookup.
// One folder is kept at a time: a job's list holds the files of a folder
// together.
#pragma once

#include "framework/base/CString.h"

#include <set>

class CFolderNameCache {
public:
    // True when `folder` (ending in a separator) holds an entry named `name`.
    bool Exists(const CString& folder, const CString& name);
    // The job made or removed an entry; nothing when the folder was not read.
    void Added(const CString& folder, const CString& name);
    void Removed(const CString& folder, const CString& name);

private:
    static CString Key(const CString& text);
    bool IsCurrent(const CString& folder) const;

    CString m_folder;  // key of the folder read; empty: none
    std::set<CString> m_names;
};
