// CTempCopyWatch: the plain temporary copies of encrypted files that this run
// handed to other programs. Each path stays watched until the program ends:
// - a copy handed over is wiped once it is free (no other handle is open on
//   it) and its program had the time to open it: the copy was seen held,
//   read or rewritten since the hand-over, or OPEN_GRACE has passed;
// - a copy that comes back afterwards (an editor saved it again) is wiped
//   again as soon as it is free;
// - whatever is left is wiped when the watch ends (program exit), held or not.
// A copy's placeholder (the empty file whose unique name it took) goes with
// the copy's first wipe.
//
// Every copy is noted in the watch's own journal (CTempCopyJournal), so that
// the next start wipes what a run that has ended without its clean-up (a
// crash, a copy still held at its exit) left behind.
//
// Threading: one thread only (the user-interface thread).
#pragma once

#include "doc/TempCopyJournal.h"
#include "framework/base/CString.h"

#include <windows.h>

#include <vector>

class CTempCopyWatch {
public:
    CTempCopyWatch() = default;
    // Wipes every copy still there and ends the run.
    ~CTempCopyWatch();
    CTempCopyWatch(const CTempCopyWatch&) = delete;
    CTempCopyWatch& operator=(const CTempCopyWatch&) = delete;

    // Starts the run with its journal under HKEY_CURRENT_USER\`journalKey`:
    // first wipes the copies and placeholders of runs that have ended.
    void Begin(const CString& journalKey);

    // A copy that a running job is still writing: never wiped before it is
    // handed over (or forgotten).
    void Expect(const CString& copy);
    // The copy was just handed to another program (the shell call returned;
    // the shell itself may have read it). What happens to it from now on
    // counts as its program opening it. With no program started there is
    // nothing to wait for.
    void HandOver(const CString& copy, bool programStarted = true);
    // A dialog of its own watches the copy until EndMonitor: meanwhile the
    // watch leaves it alone.
    void BeginMonitor(const CString& copy);
    void EndMonitor(const CString& copy);
    // A copy that is not ours to wipe (its job wipes it): no longer watched.
    void Forget(const CString& copy);

    // Looks at every copy and wipes those due; true while any is watched.
    bool Check();
    // Whether the copy's program has opened it or had the time to.
    bool HadTimeToOpen(const CString& copy);
    // Wipes every copy and placeholder now, held or not.
    void WipeAll();

    bool IsWatching(const CString& path) const;
    bool IsEmpty() const { return m_copies.empty(); }

    // No other handle is open on the file (it opens with no sharing at all).
    static bool IsFileFree(const CString& path);
    // The empty file whose unique name a copy with an added extension took:
    // the copy's path up to its ".tmp"; "" when the copy has no extension of its own.
    static CString PlaceholderOf(const CString& copy) { return CTempCopyJournal::PlaceholderOf(copy); }

    // How long a copy is left to a program that shows no sign of opening it.
    static const ULONGLONG OPEN_GRACE = 60000;
    // Between two looks at the copies.
    static const UINT CHECK_INTERVAL = 500;

    // Tests shorten the grace.
    void SetOpenGrace(ULONGLONG milliseconds) { m_openGrace = milliseconds; }

private:
    enum State { WRITING, HANDED_OVER, MONITORED, WIPED };
    struct Copy {
        CString path;
        State state;
        ULONGLONG handedOverAt = 0;
        bool opened = false;
        FILETIME lastAccess = {};  // as left at the hand-over
        FILETIME lastWrite = {};
    };

    Copy* Find(const CString& path);
    Copy& Watch(const CString& copy, State state);
    // Notes what the copy shows of being opened since the hand-over.
    void LookForOpening(Copy& copy);
    void Wipe(Copy& copy);

    std::vector<Copy> m_copies;
    ULONGLONG m_openGrace = OPEN_GRACE;
    CTempCopyJournal m_journal;
};
