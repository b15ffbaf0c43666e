// CStoredNameReader: reads the plain names stored in the headers of a listed
// folder's encrypted files on helper threads, while the list goes on listing
// the folder. A long folder is thus not read one header after another, and the
// reads overlap the listing itself.
//
// The list hands each encrypted file over as it lists it (Add) and takes the
// names back on its own thread in the order it handed them over (TakeReady,
// TakeAll). Listing another folder begins a new batch, which cancels an
// unfinished one: its helpers leave it at their next file and its names are
// never handed out, so a name of one folder never lands in another's list.
//
// Threads: the public functions are called by the owner's thread only (the
// list's, the user-interface thread). The helpers share the batch with it
// under m_lock; each reads with an engine of its own.
#pragma once

#include "framework/base/CString.h"

#include <windows.h>

#include <deque>
#include <functional>
#include <memory>
#include <vector>

class CFileCipher;

class CStoredNameReader {
public:
    // `helpers` threads read (0: one per processor, at most 8); they are
    // started with the first file handed over.
    explicit CStoredNameReader(int helpers = 0);
    // Cancels the batch and ends the helpers.
    ~CStoredNameReader();
    CStoredNameReader(const CStoredNameReader&) = delete;
    CStoredNameReader& operator=(const CStoredNameReader&) = delete;

    // Begins a new batch; an unfinished one is cancelled.
    void Begin();
    // Hands over an encrypted file of the batch by its full path, with the
    // caller's tag that comes back with its name.
    void Add(const CString& path, LPARAM tag);
    // Receives a tag and the name stored in that file ("" when the file has
    // none that can be read: no key, a short or damaged header).
    typedef std::function<void(LPARAM tag, const CString& storedName)> NameSink;
    // Hands out the names read so far, in the order the files were handed
    // over, up to the first one still being read.
    void TakeReady(const NameSink& sink);
    // Waits until every file handed over is read and hands out the rest; the
    // batch is over.
    void TakeAll(const NameSink& sink);
    // Cancels the batch: nothing more of it is handed out.
    void Cancel();

    // Test hook: called on the reading thread with the path of each file
    // before it is read (null: none). Set before the first file is handed over.
    void SetReadHook(std::function<void(const CString& path)> hook) { m_readHook = std::move(hook); }
    int HelperCount() const { return m_helperCount; }

private:
    struct Entry {
        CString path;
        LPARAM tag;
        CString name;
        bool read = false;
    };
    // The files of one listing. Entries are only appended, so the helpers'
    // indices stay valid; a deque keeps appending cheap for long folders.
    struct Batch {
        std::deque<Entry> entries;
        size_t nextToRead = 0;   // the first entry no helper has taken
        size_t nextToHand = 0;   // the first entry not yet handed out
        bool cancelled = false;
    };

    bool StartHelpers();
    static DWORD WINAPI HelperMain(void* self);
    void HelperLoop(CFileCipher& cipher);
    bool HasWork() const;
    CString ReadName(CFileCipher& cipher, const CString& path) const;
    // Hands out read entries from nextToHand on; m_lock is held and released
    // around each call of the sink.
    void HandOut(Batch& batch, const NameSink& sink);

    int m_helperCount;
    std::vector<HANDLE> m_helpers;
    bool m_helpersTried = false;
    std::function<void(const CString&)> m_readHook;

    CRITICAL_SECTION m_lock;
    CONDITION_VARIABLE m_workAdded;  // a file was handed over, or the helpers must end
    CONDITION_VARIABLE m_nameRead;   // a helper stored a name
    std::shared_ptr<Batch> m_batch;  // the current batch (null: none)
    bool m_stopping = false;
};
