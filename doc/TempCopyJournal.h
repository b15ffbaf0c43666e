// CTempCopyJournal: where the plain temporary copies of encrypted files are
// noted, so that a run that ends without its clean-up (a crash, a kill, a
// copy still held at its exit) leaves nothing behind for long. A copy is
// noted before its first byte is written; the next start of any run wipes
// the copies, and their placeholders, of runs that have ended.
//
// The notes live under a registry key, one value per copy path whose data
// names the run that made it. A run is alive as long as its named mutex,
// which lives as long as the journal object.
//
// Threading: one thread only (the user-interface thread).
#pragma once

#include "framework/base/CString.h"

#include <windows.h>

class CTempCopyJournal {
public:
    // The program's own journal: a key of the application's profile; "" without one.
    static CString ProgramKey();

    CTempCopyJournal() = default;
    ~CTempCopyJournal();
    CTempCopyJournal(const CTempCopyJournal&) = delete;
    CTempCopyJournal& operator=(const CTempCopyJournal&) = delete;

    // Starts the run with its notes under HKEY_CURRENT_USER\`key`: first
    // wipes the copies and placeholders of runs that have ended.
    void Begin(const CString& key);
    bool HasBegun() const { return m_run != nullptr; }

    // Notes a copy (before anything is written to it) as this run's.
    void Note(const CString& copy);
    // Removes this run's notes whose copy and placeholder are gone.
    void ClearNotes();

    // The empty file whose unique name a copy with an added extension took:
    // the copy's path up to its ".tmp"; "" when the copy has no extension of its own.
    static CString PlaceholderOf(const CString& copy);
    static void DeletePlaceholderOf(const CString& copy);

private:
    void WipeLeftovers();

    CString m_key;
    CString m_runName;
    HANDLE m_run = nullptr;
};
