#include "app/TempCopyWatch.h"

#include "crypt/FileOps.h"
#include "framework/windows/CWaitCursor.h"


namespace {

bool Exists(const CString& path) { return ::GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }

bool SameTime(const FILETIME& a, const FILETIME& b)
{
    return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

void DeletePlaceholderOf(const CString& copy) { CTempCopyJournal::DeletePlaceholderOf(copy); }

// Sets the copy's last access time back before its last write, so that the
// first read from now on moves it (file systems that update access times
// only on the first read after a write still do then).
void RewindLastAccess(const CString& path)
{
    HANDLE file = ::CreateFileW(path, FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    FILETIME written = {};
    if (::GetFileTime(file, nullptr, nullptr, &written)) {
        ULARGE_INTEGER earlier;
        earlier.LowPart = written.dwLowDateTime;
        earlier.HighPart = written.dwHighDateTime;
        earlier.QuadPart -= 20000000;  // two seconds, beyond any file system's rounding
        FILETIME access = {earlier.LowPart, earlier.HighPart};
        ::SetFileTime(file, nullptr, &access, nullptr);
    }
    ::CloseHandle(file);
}

}  // namespace

CTempCopyWatch::~CTempCopyWatch() { WipeAll(); }

void CTempCopyWatch::Begin(const CString& journalKey) { m_journal.Begin(journalKey); }

CTempCopyWatch::Copy* CTempCopyWatch::Find(const CString& path)
{
    for (Copy& copy : m_copies) {
        if (copy.path.CompareNoCase(path) == 0)
            return &copy;
    }
    return nullptr;
}

bool CTempCopyWatch::IsWatching(const CString& path) const
{
    return const_cast<CTempCopyWatch*>(this)->Find(path) != nullptr;
}

// A path watched before is watched afresh: a unique name comes back once its
// placeholder is gone.
CTempCopyWatch::Copy& CTempCopyWatch::Watch(const CString& path, State state)
{
    Copy* copy = Find(path);
    if (!copy) {
        m_copies.push_back(Copy{path, state});
        copy = &m_copies.back();
    }
    *copy = Copy{path, state};
    m_journal.Note(path);
    return *copy;
}

void CTempCopyWatch::Expect(const CString& copy) { Watch(copy, WRITING); }

void CTempCopyWatch::HandOver(const CString& path, bool programStarted)
{
    Copy& copy = Watch(path, HANDED_OVER);
    copy.opened = !programStarted;
    RewindLastAccess(path);
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (::GetFileAttributesExW(path, GetFileExInfoStandard, &data)) {
        copy.lastAccess = data.ftLastAccessTime;
        copy.lastWrite = data.ftLastWriteTime;
    }
    copy.handedOverAt = ::GetTickCount64();
}

void CTempCopyWatch::BeginMonitor(const CString& path)
{
    if (Copy* copy = Find(path))
        copy->state = MONITORED;
}

void CTempCopyWatch::EndMonitor(const CString& path)
{
    Copy* copy = Find(path);
    if (!copy || copy->state != MONITORED)
        return;
    if (Exists(path)) {
        copy->state = HANDED_OVER;
    } else {
        copy->state = WIPED;
        DeletePlaceholderOf(path);
    }
}

void CTempCopyWatch::Forget(const CString& path)
{
    for (size_t i = 0; i < m_copies.size(); ++i) {
        if (m_copies[i].path.CompareNoCase(path) == 0) {
            m_copies.erase(m_copies.begin() + (long)i);
            return;
        }
    }
}

void CTempCopyWatch::LookForOpening(Copy& copy)
{
    if (copy.opened)
        return;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(copy.path, GetFileExInfoStandard, &data))
        return;
    copy.opened = !SameTime(data.ftLastAccessTime, copy.lastAccess) ||
                  !SameTime(data.ftLastWriteTime, copy.lastWrite) || !IsFileFree(copy.path);
}

bool CTempCopyWatch::HadTimeToOpen(const CString& path)
{
    Copy* copy = Find(path);
    if (!copy || copy->state == WRITING)
        return copy == nullptr;
    LookForOpening(*copy);
    return copy->opened || ::GetTickCount64() - copy->handedOverAt >= m_openGrace;
}

bool CTempCopyWatch::Check()
{
    for (Copy& copy : m_copies) {
        switch (copy.state) {
        case HANDED_OVER:
            if (!Exists(copy.path)) {
                // Moved away by its program: watched for coming back.
                copy.state = WIPED;
                DeletePlaceholderOf(copy.path);
            } else if (HadTimeToOpen(copy.path) && IsFileFree(copy.path)) {
                Wipe(copy);
            }
            break;
        case WIPED:
            // Written again since it was wiped.
            if (Exists(copy.path) && IsFileFree(copy.path))
                Wipe(copy);
            break;
        case WRITING:
        case MONITORED:
            break;
        }
    }
    return !m_copies.empty();
}

void CTempCopyWatch::Wipe(Copy& copy)
{
    CWaitCursor wait;
    CFileOps::SecureDeleteFile(copy.path);
    DeletePlaceholderOf(copy.path);
    copy.state = WIPED;
}

void CTempCopyWatch::WipeAll()
{
    for (Copy& copy : m_copies) {
        if (Exists(copy.path))
            CFileOps::SecureDeleteFile(copy.path);
        DeletePlaceholderOf(copy.path);
    }
    m_copies.clear();
    m_journal.ClearNotes();
}

bool CTempCopyWatch::IsFileFree(const CString& path)
{
    HANDLE file = ::CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    ::CloseHandle(file);
    return true;
}
