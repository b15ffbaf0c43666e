#include "app/StoredNameReader.h"

#include "crypt/FileCipher.h"
#include "framework/base/Processors.h"

#include <algorithm>
#include <utility>

namespace {

const int kMostHelpers = 8;

int HelpersForThisMachine()
{
    return std::min<int>((int)UsableProcessorCount(), kMostHelpers);
}

// Holds a critical section for a scope.
class Locked {
public:
    explicit Locked(CRITICAL_SECTION& lock) : m_lock(lock) { ::EnterCriticalSection(&m_lock); }
    ~Locked() { ::LeaveCriticalSection(&m_lock); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

private:
    CRITICAL_SECTION& m_lock;
};

}  // namespace

CStoredNameReader::CStoredNameReader(int helpers) : m_helperCount(helpers > 0 ? helpers : HelpersForThisMachine())
{
    ::InitializeCriticalSection(&m_lock);
    ::InitializeConditionVariable(&m_workAdded);
    ::InitializeConditionVariable(&m_nameRead);
}

CStoredNameReader::~CStoredNameReader()
{
    {
        Locked locked(m_lock);
        if (m_batch)
            m_batch->cancelled = true;
        m_batch.reset();
        m_stopping = true;
        ::WakeAllConditionVariable(&m_workAdded);
    }
    if (!m_helpers.empty())
        ::WaitForMultipleObjects((DWORD)m_helpers.size(), m_helpers.data(), TRUE, INFINITE);
    for (HANDLE helper : m_helpers)
        ::CloseHandle(helper);
    ::DeleteCriticalSection(&m_lock);
}

bool CStoredNameReader::StartHelpers()
{
    if (!m_helpersTried) {
        m_helpersTried = true;
        for (int i = 0; i < m_helperCount; ++i) {
            HANDLE helper = ::CreateThread(nullptr, 0, HelperMain, this, 0, nullptr);
            if (!helper)
                break;
            m_helpers.push_back(helper);
        }
    }
    return !m_helpers.empty();
}

void CStoredNameReader::Begin()
{
    Cancel();
    Locked locked(m_lock);
    m_batch = std::make_shared<Batch>();
}

void CStoredNameReader::Cancel()
{
    Locked locked(m_lock);
    if (m_batch)
        m_batch->cancelled = true;
    m_batch.reset();
}

void CStoredNameReader::Add(const CString& path, LPARAM tag)
{
    StartHelpers();
    Locked locked(m_lock);
    if (!m_batch)
        m_batch = std::make_shared<Batch>();
    m_batch->entries.push_back(Entry{path, tag, CString(), false});
    ::WakeConditionVariable(&m_workAdded);
}

bool CStoredNameReader::HasWork() const { return m_batch && m_batch->nextToRead < m_batch->entries.size(); }

DWORD WINAPI CStoredNameReader::HelperMain(void* self)
{
    // The engine is only read from here; no piece of work can abandon it.
    CFileCipher cipher;
    static_cast<CStoredNameReader*>(self)->HelperLoop(cipher);
    return 0;
}

void CStoredNameReader::HelperLoop(CFileCipher& cipher)
{
    Locked locked(m_lock);
    for (;;) {
        while (!m_stopping && !HasWork())
            ::SleepConditionVariableCS(&m_workAdded, &m_lock, INFINITE);
        if (m_stopping)
            return;
        // The batch is kept alive by this reference while its file is read,
        // even when the owner cancels it meanwhile.
        std::shared_ptr<Batch> batch = m_batch;
        size_t index = batch->nextToRead++;
        CString path = batch->entries[index].path;
        ::LeaveCriticalSection(&m_lock);
        CString name = ReadName(cipher, path);
        ::EnterCriticalSection(&m_lock);
        if (batch->cancelled)
            continue;
        batch->entries[index].name = name;
        batch->entries[index].read = true;
        ::WakeAllConditionVariable(&m_nameRead);
    }
}

void CStoredNameReader::HandOut(Batch& batch, const NameSink& sink)
{
    std::vector<std::pair<LPARAM, CString>> ready;
    while (batch.nextToHand < batch.entries.size() && batch.entries[batch.nextToHand].read) {
        Entry& entry = batch.entries[batch.nextToHand++];
        ready.emplace_back(entry.tag, entry.name);
    }
    if (ready.empty())
        return;
    ::LeaveCriticalSection(&m_lock);
    for (const auto& name : ready)
        sink(name.first, name.second);
    ::EnterCriticalSection(&m_lock);
}

void CStoredNameReader::TakeReady(const NameSink& sink)
{
    Locked locked(m_lock);
    if (m_batch)
        HandOut(*m_batch, sink);
}

void CStoredNameReader::TakeAll(const NameSink& sink)
{
    std::unique_ptr<CFileCipher> ownCipher;
    Locked locked(m_lock);
    std::shared_ptr<Batch> batch = m_batch;
    if (!batch)
        return;
    for (;;) {
        HandOut(*batch, sink);
        if (batch->nextToHand == batch->entries.size())
            break;
        if (!HasWork()) {
            // A helper may have stored the next name while the sink ran,
            // and its wake-up went to nobody: sleep only while it is unread.
            if (!batch->entries[batch->nextToHand].read)
                ::SleepConditionVariableCS(&m_nameRead, &m_lock, INFINITE);
            continue;
        }
        // Rather than wait, this thread reads too (all of it without helpers).
        size_t index = batch->nextToRead++;
        CString path = batch->entries[index].path;
        ::LeaveCriticalSection(&m_lock);
        if (!ownCipher)
            ownCipher.reset(new CFileCipher());
        CString name = ReadName(*ownCipher, path);
        ::EnterCriticalSection(&m_lock);
        batch->entries[index].name = name;
        batch->entries[index].read = true;
    }
    if (m_batch == batch)
        m_batch.reset();
}

CString CStoredNameReader::ReadName(CFileCipher& cipher, const CString& path) const
{
    if (m_readHook)
        m_readHook(path);
    return cipher.ReadOriginalName(path);
}
