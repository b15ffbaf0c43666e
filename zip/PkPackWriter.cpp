#include "zip/PkPackWriter.h"

#include "zip/PkException.h"
#include "zip/ZipFileSystem.h"

#include <algorithm>

namespace {
const uint32_t kTinyFile = 5;
const uint64_t kMaxEntrySize = 0xFFFFFFFEull;
}  // namespace

void CPkArchive::AddFiles(std::vector<ZipAddRequest>& requests, std::vector<ZipEntryResult>& added)
{
    added.assign(requests.size(), ZipEntryResult());
    CPkPackWriter writer(*this, m_iWorkerThreads);
    writer.Add(requests, added);
}

CPkPackWriter::CPkPackWriter(CPkArchive& archive, int threads)
    : m_archive(archive), m_pool(threads)
{
    m_budget = (size_t)std::max(2, 2 * m_pool.GetThreadCount());
}

CPkPackWriter::~CPkPackWriter() { m_cancelled = true; }

void CPkPackWriter::Add(std::vector<ZipAddRequest>& requests, std::vector<ZipEntryResult>& added)
{
    m_added = &added;
    for (size_t i = 0; i < requests.size(); ++i) {
        auto entry = std::make_shared<Entry>();
        bool planned = false;
        try {
            planned = Plan(requests[i], *entry);
        } catch (CException* e) {
            e->Delete();  // AddFile meets it again and answers for it
            planned = false;
        }
        if (!planned) {
            AddInTurn(requests[i], i);
            continue;
        }
        entry->request = &requests[i];
        entry->index = i;
        Dispatch(entry);
    }
    WriteAll();
}

bool CPkPackWriter::Plan(ZipAddRequest& request, Entry& entry)
{
    CPkArchive& a = m_archive;
    if (a.m_iBufferSize == 0 || request.m_pFile || request.m_uReplaceIndex != 0xFFFF || !a.CanWriteEntries())
        return false;
    CString path = request.m_szFilePath;
    path.TrimRight(L"\\/");
    DWORD attributes = 0;
    int64_t modified = 0;
    uint64_t size = 0;
    if (path.IsEmpty() || !ZipFileSystem::GetAttributesTimeAndSize(path, attributes, modified, size) ||
        (attributes & FILE_ATTRIBUTE_DIRECTORY) || size > kMaxEntrySize)
        return false;
    uint32_t rules = request.m_iSmartLevel;
    if ((rules & ZipAddRequest::rlStoredAgain) == ZipAddRequest::rlStoredAgain)
        return false;
    int level = request.m_iComprLevel;
    if (level < -1 || level > 9)
        level = -1;
    if (a.m_uCompressionMethod == 0)
        level = 0;
    bool compress = level != 0;
    bool check = (rules & ZipAddRequest::rlCheckEfficiency) && compress;
    if (check && a.m_storage.IsSegmented())
        return false;  // the trial archive's way
    if (size == 0 && (rules & ZipAddRequest::rlEmptyPlain) && a.IsEncryptionActive())
        return false;  // written without the password
    if (size < kTinyFile && (rules & ZipAddRequest::rlStoreTiny) && compress)
        level = 0;

    entry.header.m_iSystemCompatibility = (uint8_t)a.m_iArchiveSystCompatib;
    entry.header.SetSystemAttributes(attributes);
    if (request.m_szFileNameInZip.IsEmpty())
        request.m_szFileNameInZip = a.PredictEntryName(path, request.m_bFullPath, false);
    entry.header.SetEntryName(request.m_szFileNameInZip);
    entry.header.SetModificationTime(modified);
    entry.header.m_uLocalUncomprSize = (uint32_t)size;
    entry.header.m_uLocalComprSize = level == 0 ? (uint32_t)size : 0;
    entry.path = path;
    entry.level = level;
    entry.check = check;
    entry.size = size;
    return true;
}

void CPkPackWriter::Dispatch(const std::shared_ptr<Entry>& entry)
{
    uint64_t blocks = std::max<uint64_t>(1, (entry->size + CPkPackBlock::kBlockSize - 1) / CPkPackBlock::kBlockSize);
    for (uint64_t b = 0; b < blocks; ++b) {
        WaitForRoom();
        uint64_t offset = b * CPkPackBlock::kBlockSize;
        uint32_t length = (uint32_t)std::min<uint64_t>(CPkPackBlock::kBlockSize, entry->size - offset);
        InFlight job;
        job.entry = entry;
        job.block.reset(new CPkPackBlock(m_scratch, entry->path, offset, length, entry->level, b + 1 == blocks));
        CPkPackBlock* block = job.block.get();
        const std::atomic<bool>* cancelled = &m_cancelled;
        job.ticket = m_pool.Submit([block, cancelled] { block->Run(*cancelled); });
        m_inFlight.push_back(std::move(job));
    }
}

void CPkPackWriter::WaitForRoom()
{
    while (m_inFlight.size() >= m_budget)
        WriteOldest();
}

void CPkPackWriter::WriteAll()
{
    while (!m_inFlight.empty())
        WriteOldest();
}

void CPkPackWriter::AddInTurn(ZipAddRequest& request, size_t index)
{
    WaitForRoom();
    InFlight turn;
    turn.inTurn = &request;
    turn.index = index;
    m_inFlight.push_back(std::move(turn));
}

void CPkPackWriter::AddNow(ZipAddRequest& request, size_t index)
{
    try {
        (*m_added)[index].m_bDone = m_archive.AddFile(request);
    } catch (CException* e) {
        if (IsZipStop(e))
            throw;
        (*m_added)[index].m_iCause = ZipCauseOf(e);
        e->Delete();
        m_archive.EndEntryWrite(true);
    }
}

bool CPkPackWriter::BeginEntry(Entry& entry)
{
    entry.callback = m_archive.GetCallback(CPkActionCallback::cbAdd);
    if (entry.callback) {
        entry.callback->Init(entry.request->m_szFileNameInZip, entry.path);
        entry.callback->SetTotal(entry.size);
    }
    if (!m_archive.BeginEntryWrite(entry.header, entry.level, 0xFFFF))
        return false;
    entry.begun = true;
    return true;
}

void CPkPackWriter::EndCallback(Entry& entry)
{
    if (entry.callback)
        entry.callback->CallbackEnd();
    entry.callback = nullptr;
}

void CPkPackWriter::FailEntry(Entry& entry)
{
    entry.failed = true;
    if (entry.begun) {
        entry.begun = false;
        try {
            m_archive.EndEntryWrite(true);
        } catch (CException* e) {
            e->Delete();
        }
    }
    EndCallback(entry);
}

void CPkPackWriter::FinishEntry(Entry& entry)
{
    m_archive.EndEntryWrite(false);
    entry.begun = false;
    (*m_added)[entry.index].m_bDone = true;
    if (entry.check && m_archive.RemoveLastEntry(false)) {
        // Deflating made it larger: stored instead, as AddFile does.
        EndCallback(entry);
        ZipAddRequest again = *entry.request;
        again.m_iComprLevel = 0;
        again.m_iSmartLevel = ZipAddRequest::rlStoredAgain;
        // Nothing later has been written yet: the stored entry takes this place.
        (*m_added)[entry.index].m_bDone = false;
        AddNow(again, entry.index);
    }
}

void CPkPackWriter::WriteOldest()
{
    InFlight job = std::move(m_inFlight.front());
    m_inFlight.pop_front();
    if (job.inTurn) {
        AddNow(*job.inTurn, job.index);
        return;
    }
    m_pool.Wait(job.ticket);
    Entry& entry = *job.entry;
    const CPkPackBlock& block = *job.block;
    if (entry.failed)
        return;
    if (block.m_outcome != CPkPackBlock::ocDone) {
        FailEntry(entry);
        return;
    }
    try {
        if (!entry.begun && !BeginEntry(entry)) {
            FailEntry(entry);
            return;
        }
        m_archive.WritePreparedEntryData(block.OutputData(), block.OutputSize(), block.m_plainCount, block.m_crc);
    } catch (CException* e) {
        (*m_added)[entry.index].m_iCause = ZipCauseOf(e);
        e->Delete();
        FailEntry(entry);
        return;
    }
    bool stopped = entry.callback && !entry.callback->RequestCallback(block.m_plainCount);
    if (stopped && !block.m_last) {
        // Unfinished: the entry goes, and with it every byte written for it.
        FailEntry(entry);
        m_cancelled = true;
        ThrowZipException(m_archive.m_storage.IsSegmented() ? ZipCauseAbortedAction : ZipCauseAbortedSafely);
    }
    if (!block.m_last)
        return;
    try {
        FinishEntry(entry);
    } catch (CException* e) {
        if (IsZipStop(e)) {
            m_cancelled = true;
            throw;
        }
        (*m_added)[entry.index].m_iCause = ZipCauseOf(e);
        (*m_added)[entry.index].m_bDone = false;
        e->Delete();
        FailEntry(entry);
        return;
    }
    if (!stopped && entry.callback && !entry.callback->RequestLastCallback())
        stopped = true;
    EndCallback(entry);
    if (stopped) {
        m_cancelled = true;
        ThrowZipException(ZipCauseAbortedSafely);
    }
}
