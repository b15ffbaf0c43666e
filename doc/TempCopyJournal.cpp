#include "doc/TempCopyJournal.h"

#include "crypt/FileOps.h"
#include "framework/windows/CWinApp.h"

#include <utility>
#include <vector>

CString CTempCopyJournal::ProgramKey()
{
    CWinApp* app = AfxGetApp();
    CString profile = app ? app->ProfilePath() : CString();
    return profile.IsEmpty() ? CString() : profile + L"\\TempCopies";
}

namespace {

bool Exists(const CString& path) { return ::GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }

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

// The notes: copy path and the run that made it.
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

CTempCopyJournal::~CTempCopyJournal()
{
    ClearNotes();
    if (m_run)
        ::CloseHandle(m_run);
}

void CTempCopyJournal::Begin(const CString& key)
{
    if (key.IsEmpty() || m_run)
        return;
    m_key = key;
    m_runName = NewRunName();
    m_run = ::CreateMutexW(nullptr, FALSE, m_runName);
    WipeLeftovers();
}

void CTempCopyJournal::Note(const CString& copy)
{
    if (m_key.IsEmpty() || m_runName.IsEmpty())
        return;
    ::RegSetKeyValueW(HKEY_CURRENT_USER, m_key, copy, REG_SZ, m_runName.GetString(),
                      (DWORD)((m_runName.GetLength() + 1) * sizeof(WCHAR)));
}

void CTempCopyJournal::WipeLeftovers()
{
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, m_key, 0, KEY_READ | KEY_SET_VALUE, &key) != ERROR_SUCCESS)
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

void CTempCopyJournal::ClearNotes()
{
    if (m_key.IsEmpty() || m_runName.IsEmpty())
        return;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, m_key, 0, KEY_READ | KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    for (const auto& [path, run] : ReadNotes(key)) {
        CString placeholder = PlaceholderOf(path);
        if (run == m_runName && !Exists(path) && (placeholder.IsEmpty() || !Exists(placeholder)))
            ::RegDeleteValueW(key, path);
    }
    ::RegCloseKey(key);
}

CString CTempCopyJournal::PlaceholderOf(const CString& copy)
{
    CString lower = copy;
    lower.MakeLower();
    int slash = lower.ReverseFind(L'\\');
    int tmp = lower.Find(L".tmp", slash + 1);
    if (tmp < 0 || tmp + 4 >= copy.GetLength())
        return CString();
    return copy.Left(tmp + 4);
}

void CTempCopyJournal::DeletePlaceholderOf(const CString& copy)
{
    CString placeholder = PlaceholderOf(copy);
    if (!placeholder.IsEmpty())
        ::DeleteFileW(placeholder);
}
