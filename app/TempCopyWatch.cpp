#include "app/TempCopyWatch.h"

#include "crypt/FileOps.h"
#include "framework/windows/CWaitCursor.h"

#include <utility>

namespace {

bool Exists(const CString& path) { return ::GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }

bool SameTime(const FILETIME& a, const FILETIME& b)
{
    return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

void DeletePlaceholderOf(const CString& copy)
{
    CString placeholder = CTempCopyWatch::PlaceholderOf(copy);
    if (!placeholder.IsEmpty())
        ::DeleteFileW(placeholder);
}

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

// A run is alive while its mutex is.
bool RunIsAlive(const CString& runName)
{
    HANDLE mutex = ::OpenMutexW(SYNCHRONIZE, FALSE, runName);
    if (!mutex)
        return false;
    ::CloseHandle(mutex);
    return true;
}

CString NewRunName()
{
    static LONG sequence = 0;
    CString name;
    name.Format(L"Quorvex temporary copies %u.%llu.%d", (unsigned)::GetCurrentProcessId(),
                (unsigned long long)::GetTickCount64(), (int)::InterlockedIncrement(&sequence));
    return name;
}

// The journal's notes: copy path and the run that made it.
std::vector<std::pair<CString, CString>> ReadNotes(HKEY key)
{
    std::vector<std::pair<CString, CString>> notes;
    for (DWORD index = 0;; ++index) {
        WCHAR name[MAX_PATH * 2] = {};
        WCHAR data[MAX_PATH] = {};
        DWORD nameLength = MAX_PATH * 2, dataSize = sizeof data - sizeof(WCHAR), type = 0;
        LONG result = ::RegEnumValueW(key, index, name, &nameLength, nullptr, &type, (BYTE*)data, &dataSize);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result == ERROR_SUCCESS && type == REG_SZ)
            notes.emplace_back(CString(name), CString(data));
    }
    return notes;
}

}  // namespace

CTempCopyWatch::~CTempCopyWatch()
{
    WipeAll();
    if (m_run)
        ::CloseHandle(m_run);
}

void CTempCopyWatch::Begin(const CString& journalKey)
{
    m_journalKey = journalKey;
    if (m_journalKey.IsEmpty() || m_run)
        return;
    m_runName = NewRunName();
    m_run = ::CreateMutexW(nullptr, FALSE, m_runName);
    WipeLeftovers();
}

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
    Note(path);
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
    ClearNotes();
}

bool CTempCopyWatch::IsFileFree(const CString& path)
{
    HANDLE file = ::CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    ::CloseHandle(file);
    return true;
}

CString CTempCopyWatch::PlaceholderOf(const CString& copy)
{
    CString lower = copy;
    lower.MakeLower();
    int slash = lower.ReverseFind(L'\\');
    int tmp = lower.Find(L".tmp", slash + 1);
    if (tmp < 0 || tmp + 4 >= copy.GetLength())
        return CString();
    return copy.Left(tmp + 4);
}

// Journal

void CTempCopyWatch::Note(const CString& copy)
{
    if (m_journalKey.IsEmpty() || m_runName.IsEmpty())
        return;
    ::RegSetKeyValueW(HKEY_CURRENT_USER, m_journalKey, copy, REG_SZ, m_runName.GetString(),
                      (DWORD)((m_runName.GetLength() + 1) * sizeof(WCHAR)));
}

void CTempCopyWatch::WipeLeftovers()
{
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, m_journalKey, 0, KEY_READ | KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    for (const auto& [path, run] : ReadNotes(key)) {
        if (run == m_runName || RunIsAlive(run))
            continue;
        if (Exists(path))
            CFileOps::SecureDeleteFile(path);
        DeletePlaceholderOf(path);
        // A copy still held stays noted for the next start.
        if (!Exists(path))
            ::RegDeleteValueW(key, path);
    }
    ::RegCloseKey(key);
}

void CTempCopyWatch::ClearNotes()
{
    if (m_journalKey.IsEmpty() || m_runName.IsEmpty())
        return;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, m_journalKey, 0, KEY_READ | KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    for (const auto& [path, run] : ReadNotes(key)) {
        CString placeholder = PlaceholderOf(path);
        if (run == m_runName && !Exists(path) && (placeholder.IsEmpty() || !Exists(placeholder)))
            ::RegDeleteValueW(key, path);
    }
    ::RegCloseKey(key);
}
