#include "zip/PkUnpackReader.h"

#include "zip/PkException.h"
#include "zip/ZipFileSystem.h"

#include <algorithm>

namespace {
CString ParentFolder(const CString& path)
{
    int slash = path.ReverseFind(L'\\');
    return slash > 0 ? path.Left(slash) : CString();
}
}  // namespace

bool CPkArchive::TestEntries(uint16_t first, uint16_t count, uint32_t bufferSize)
{
    CPkUnpackReader reader(*this, m_iWorkerThreads);
    return reader.Test(first, count, bufferSize);
}

void CPkArchive::ExtractEntries(const std::vector<ZipExtractRequest>& requests, std::vector<ZipEntryResult>& results)
{
    CPkUnpackReader reader(*this, m_iWorkerThreads);
    reader.Extract(requests, results);
}

CPkUnpackReader::ReadHandle::~ReadHandle()
{
    if (handle != INVALID_HANDLE_VALUE)
        CloseHandle(handle);
}

CPkUnpackReader::CPkUnpackReader(CPkArchive& archive, int threads) : m_archive(archive), m_pool(threads)
{
    m_budget = (size_t)std::max(2, 2 * m_pool.GetThreadCount());
    CPkStorage& storage = m_archive.m_storage;
    if (!storage.IsOpen() || storage.IsSegmented() || storage.GetArchivePath().IsEmpty())
        return;
    // What the archive still holds in its write buffer must be in the file.
    storage.Flush();
    m_file.handle = CreateFileW(ZipFileSystem::ToLongPath(storage.GetArchivePath(), false), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                                nullptr);
}

CPkUnpackReader::~CPkUnpackReader()
{
    m_cancelled = true;
    for (Pending& pending : m_inFlight) {
        if (pending.error)
            pending.error->Delete();
        if (pending.kind != kInflate)
            continue;
        // A batch that ended early (a stop, a missing volume) leaves no file
        // of an entry whose turn never came, as one entry after the other would.
        m_pool.Wait(pending.ticket);
        if (pending.work->m_placed)
            ZipFileSystem::RemoveFile(pending.target, ZipFileSystem::RemoveClearReadOnly, false);
    }
}

void CPkUnpackReader::Cancel() { m_cancelled = true; }

bool CPkUnpackReader::CanInflateAlone(CPkFileHeader& header) const
{
    int checks = m_archive.m_centralDir.m_iCheckOptions;
    return m_file.handle != INVALID_HANDLE_VALUE && !header.IsEncrypted() &&
           (header.m_uMethod == 0 || header.m_uMethod == 8) && (checks & CPkCentralDir::coNoDescriptorCheck) &&
           !(checks & CPkCentralDir::coNoCrcOnRead);
}

uint64_t CPkUnpackReader::LocateData(uint16_t index)
{
    CPkCentralDir& directory = m_archive.m_centralDir;
    directory.OpenEntry(index);
    directory.m_pOpenedFile = nullptr;
    return m_archive.m_storage.GetFile()->GetPosition();
}

std::unique_ptr<CPkEntryInflater> CPkUnpackReader::MakeWork(const Pending& pending, CPkFileHeader& header,
                                                            const CString& freeTarget)
{
    ZipEntryFacts facts;
    facts.method = header.m_uMethod;
    facts.comprSize = header.m_uComprSize;
    facts.uncomprSize = header.m_uUncomprSize;
    facts.crc = header.m_uCrc32;
    facts.modification = header.GetModificationTime();
    facts.creation = header.m_tCreationTime;
    facts.access = header.m_tLastAccessTime;
    facts.attributes = header.GetSystemAttributes() & CPkArchive::kExtractedAttributes;
    uint64_t offset = LocateData(pending.index);
    return std::unique_ptr<CPkEntryInflater>(new CPkEntryInflater(
        m_file.handle, offset, facts, m_requests != nullptr, pending.folder, freeTarget, pending.bufferSize));
}

void CPkUnpackReader::Submit(Pending& pending, CPkFileHeader& header)
{
    // A file whose target is free is written there by the worker; one that
    // replaces a file waits for its turn.
    bool extract = m_requests != nullptr;
    pending.work = MakeWork(pending, header, extract && !pending.targetExists ? pending.target : CString());
    CPkEntryInflater* work = pending.work.get();
    const std::atomic<bool>* cancelled = &m_cancelled;
    CPkShelf<CPkInflateScratch>* scratch = &m_scratch;
    pending.ticket = m_pool.Submit([work, cancelled, scratch] { work->Run(*cancelled, *scratch); });
    pending.kind = kInflate;
}

// Testing.

bool CPkUnpackReader::Test(uint16_t first, uint16_t count, uint32_t bufferSize)
{
    CPkArchive& a = m_archive;
    if (!a.IsOpen() || a.m_storage.IsNewSegmented() || bufferSize == 0)
        return false;
    for (uint32_t i = first; i < (uint32_t)first + count; ++i) {
        while (m_inFlight.size() >= m_budget)
            if (!JudgeOldestTest(bufferSize))
                return false;
        Pending pending;
        pending.index = (uint16_t)i;
        try {
            PlanTest(pending, bufferSize);
        } catch (CException* e) {
            pending.kind = kRefused;
            pending.error = e;
        }
        m_inFlight.push_back(std::move(pending));
    }
    while (!m_inFlight.empty())
        if (!JudgeOldestTest(bufferSize))
            return false;
    return true;
}

void CPkUnpackReader::PlanTest(Pending& pending, uint32_t bufferSize)
{
    if (pending.index >= m_archive.m_centralDir.GetCount()) {
        pending.kind = kInTurn;  // TestEntry throws for it
        return;
    }
    CPkFileHeader* header = m_archive.m_centralDir.GetAt(pending.index);
    if (header->IsDirectory() || !CanInflateAlone(*header)) {
        pending.kind = kInTurn;
        return;
    }
    pending.bufferSize = bufferSize;
    Submit(pending, *header);
}

bool CPkUnpackReader::JudgeOldestTest(uint32_t bufferSize)
{
    Pending pending = std::move(m_inFlight.front());
    m_inFlight.pop_front();
    try {
        if (!JudgeTest(pending, bufferSize)) {
            Cancel();
            return false;
        }
    } catch (...) {
        Cancel();
        throw;
    }
    return true;
}

bool CPkUnpackReader::JudgeTest(Pending& pending, uint32_t bufferSize)
{
    if (pending.kind == kInflate)
        m_pool.Wait(pending.ticket);
    if (pending.error) {
        CException* error = pending.error;
        pending.error = nullptr;
        throw error;
    }
    if (pending.kind == kInTurn)
        return m_archive.TestEntry(pending.index, bufferSize);
    if (pending.kind != kInflate)
        return false;
    CPkEntryInflater& work = *pending.work;
    if (work.m_error) {
        CException* error = work.m_error;
        work.m_error = nullptr;
        throw error;
    }
    if (work.m_cause == ZipCauseBadCrc)
        m_archive.ThrowError(ZipCauseBadCrc);
    if (work.m_cause)
        ThrowZipException(work.m_cause);
    CPkFileHeader* header = m_archive.m_centralDir.GetAt(pending.index);
    CPkActionCallback* callback = m_archive.GetCallback(CPkActionCallback::cbTest);
    CPkCallbackScope scope(callback);
    if (callback) {
        callback->Init(header->GetEntryName(), nullptr);
        callback->SetTotal(header->m_uUncomprSize);
        if (!callback->RequestLastCallback(header->m_uUncomprSize))
            ThrowZipException(ZipCauseAbortedSafely);
    }
    return true;
}

// Extracting.

void CPkUnpackReader::Extract(const std::vector<ZipExtractRequest>& requests, std::vector<ZipEntryResult>& results)
{
    results.assign(requests.size(), ZipEntryResult());
    m_requests = &requests;
    m_results = &results;
    for (size_t i = 0; i < requests.size(); ++i) {
        while (m_inFlight.size() >= m_budget)
            PlaceOldest();
        Pending pending;
        pending.request = i;
        pending.index = requests[i].m_uIndex;
        try {
            PlanExtract(pending, requests[i]);
        } catch (CException* e) {
            pending.kind = kRefused;
            pending.error = e;
        }
        m_inFlight.push_back(std::move(pending));
    }
    while (!m_inFlight.empty())
        PlaceOldest();
}

bool CPkUnpackReader::IsTargetInFlight(const CString& target) const
{
    for (const Pending& pending : m_inFlight)
        if (pending.target.CompareNoCase(target) == 0)
            return true;
    return false;
}

void CPkUnpackReader::PlanExtract(Pending& pending, const ZipExtractRequest& request)
{
    CPkArchive& a = m_archive;
    pending.kind = kRefused;
    if ((request.m_nBufSize == 0 && request.m_szFolder.IsEmpty()) || !a.IsOpen())
        return;
    CPkFileHeader* header = a.GetHeader(pending.index);
    if (!header)
        return;
    if (!header->IsDirectory() && !CanInflateAlone(*header)) {
        pending.kind = kInTurn;  // ExtractEntry does all of it in its turn
        return;
    }
    pending.name = header->GetEntryName(true);
    pending.target = a.PredictExtractedName(pending.name, request.m_szFolder, request.m_bFullPath,
                                            request.m_szNewName.IsEmpty() ? nullptr : (const WCHAR*)request.m_szNewName);
    // An earlier entry of the same target is placed first: this one is judged against it.
    while (IsTargetInFlight(pending.target))
        PlaceOldest();
    if (header->IsDirectory()) {
        // Made now, so that the files planned after it know it as this run's own.
        PrepareFolder(pending.target);
        pending.kind = kFolder;
        return;
    }
    pending.folder = ParentFolder(pending.target);
    bool freshFolder = PrepareFolder(pending.folder);
    pending.targetExists = !freshFolder && ZipFileSystem::PathExists(pending.target) != 0;
    if (pending.targetExists) {
        pending.kind = JudgeExistingTarget(pending, request, *header);
        if (pending.kind != kInflate)
            return;
    }
    pending.bufferSize = request.m_nBufSize ? request.m_nBufSize : 65536;
    Submit(pending, *header);
}

bool CPkUnpackReader::PrepareFolder(const CString& folder)
{
    if (folder.IsEmpty())
        return false;
    auto known = m_folders.find(folder);
    if (known != m_folders.end())
        return known->second;
    int kind = ZipFileSystem::PathExists(folder);
    bool created = kind == 0 && ZipFileSystem::CreateFolderTree(folder);
    if (kind == 1)
        ZipFileSystem::CreateFolderTree(folder);  // fails; the entry then fails on its own
    m_folders[folder] = created;
    return created;
}

CPkUnpackReader::Kind CPkUnpackReader::JudgeExistingTarget(const Pending& pending, const ZipExtractRequest& request,
                                                          CPkFileHeader& header)
{
    int64_t entryTime = header.GetModificationTime();
    int64_t fileTime = 0;
    if ((request.m_iFlags & CPkArchive::efSkipNotOlder) && entryTime > 0 &&
        ZipFileSystem::GetFileTimes(pending.target, &fileTime) && fileTime > 0 && fileTime >= entryTime)
        return kSkipped;
    DWORD attributes = 0;
    if (ZipFileSystem::GetAttributes(pending.target, attributes) &&
        ((attributes & FILE_ATTRIBUTE_DIRECTORY) ||
         ((attributes & FILE_ATTRIBUTE_READONLY) && !(request.m_iFlags & ZipFileSystem::RemoveClearReadOnly))))
        return kRefused;  // ExtractEntry refuses it (cause 218)
    return kInflate;
}

void CPkUnpackReader::RedoOverExisting(Pending& pending, const ZipExtractRequest& request, CPkFileHeader& header)
{
    pending.targetExists = true;
    pending.kind = JudgeExistingTarget(pending, request, header);
    if (pending.kind != kInflate)
        return;
    pending.work = MakeWork(pending, header, CString());
    pending.work->Run(m_cancelled, m_scratch);
}

void CPkUnpackReader::PlaceOldest()
{
    Pending pending = std::move(m_inFlight.front());
    m_inFlight.pop_front();
    const ZipExtractRequest& request = (*m_requests)[pending.request];
    try {
        (*m_results)[pending.request].m_bDone = PlaceExtracted(pending, request);
    } catch (CException* e) {
        // A missing volume fails every entry from here on: it ends the batch
        // with the one exception that names the file to find.
        if (IsZipStop(e) || ZipCauseOf(e) == ZipCauseNotFound) {
            Cancel();
            throw;
        }
        (*m_results)[pending.request].m_iCause = ZipCauseOf(e);
        e->Delete();
        m_archive.EndEntryRead(nullptr, true);
    }
}

bool CPkUnpackReader::PlaceExtracted(Pending& pending, const ZipExtractRequest& request)
{
    CPkArchive& a = m_archive;
    if (pending.kind == kInflate)
        m_pool.Wait(pending.ticket);
    if (pending.error) {
        CException* error = pending.error;
        pending.error = nullptr;
        throw error;
    }
    if (pending.kind == kInflate && pending.work->m_targetTaken) {
        CPkFileHeader* header = a.GetHeader(pending.index);
        if (!header)
            return false;
        RedoOverExisting(pending, request, *header);
    }
    if (pending.kind == kRefused)
        return false;
    if (pending.kind == kInTurn)
        return a.ExtractEntry(pending.index, request.m_szFolder, request.m_bFullPath,
                              request.m_szNewName.IsEmpty() ? nullptr : (const WCHAR*)request.m_szNewName,
                              request.m_iFlags, request.m_nBufSize);
    CPkFileHeader* header = a.GetHeader(pending.index);
    if (!header)
        return false;
    CPkActionCallback* callback = a.GetCallback(CPkActionCallback::cbExtract);
    CPkCallbackScope scope(callback);
    if (callback)
        callback->Init(pending.name, pending.target);
    if (pending.kind == kFolder) {
        if (callback)
            callback->SetTotal(0);
        if (!m_folders.count(pending.target))
            ZipFileSystem::CreateFolderTree(pending.target);
        ZipFileSystem::SetAttributes(pending.target, header->GetSystemAttributes() & CPkArchive::kExtractedAttributes);
        return true;
    }
    if (callback)
        callback->SetTotal(header->m_uUncomprSize);
    bool result = true;
    if (pending.kind == kInflate) {
        // After a fault the temporary file goes with the job; the target stays as it was.
        CPkEntryInflater& work = *pending.work;
        if (work.m_error) {
            CException* error = work.m_error;
            work.m_error = nullptr;
            throw error;
        }
        if (work.m_cause == ZipCauseBadCrc)
            a.ThrowError(ZipCauseBadCrc);
        if (work.m_cause)
            a.ThrowError(work.m_cause, pending.target);
        int flags = request.m_iFlags;
        if (pending.targetExists && (flags & ZipFileSystem::RemoveToRecycleBin))
            ZipFileSystem::RemoveFile(pending.target, flags, true);
        if (pending.targetExists && (flags & ZipFileSystem::RemoveClearReadOnly))
            ZipFileSystem::SetAttributes(pending.target, FILE_ATTRIBUTE_ARCHIVE);
        if (!work.m_placed && !work.m_output.ReplaceTarget(pending.target))
            return false;
        result = work.m_timesSet;
    }
    if (callback && !callback->RequestLastCallback(header->m_uUncomprSize))
        a.ThrowError(ZipCauseAbortedSafely, pending.target);
    return result;
}
