#include "zip/PkCentralDir.h"

#include "zip/PkArchive.h"
#include "zip/PkException.h"
#include "zip/PkStorage.h"
#include "zip/ZipBytes.h"

#include <algorithm>
#include <cstring>

using namespace ZipBytes;

namespace {
const char kEndSignature[4] = {'P', 'K', 5, 6};
const char kZip64LocatorSignature[4] = {'P', 'K', 6, 7};
const char kZip64EndSignature[4] = {'P', 'K', 6, 6};
const uint64_t kZip64EndRecordSize = 56;
const uint32_t kEndRecordSize = 22;
const uint32_t kDescriptorWithSignature = 16;
}  // namespace

CPkCentralDir::CPkCentralDir(CPkArchive& archive, CPkStorage& storage) : m_archive(archive), m_storage(storage) {}

CPkCentralDir::~CPkCentralDir() { DeleteHeaders(); }

void CPkCentralDir::ThrowError(int cause, bool withPath) const
{
    if (withPath)
        m_storage.ThrowError(cause);
    ThrowZipException(cause);
}

void CPkCentralDir::Init()
{
    DeleteHeaders();
    m_info = ZipDirectoryInfo();
    m_pOpenedFile = nullptr;
    m_bSorted = false;
}

void CPkCentralDir::Close()
{
    m_pOpenedFile = nullptr;
    DeleteHeaders();
    m_info = ZipDirectoryInfo();
    m_iFlags = 0;
    m_iSpareOption = 0;
}

void CPkCentralDir::DeleteHeaders()
{
    for (CPkFileHeader* header : m_headers)
        delete header;
    m_headers.RemoveAll();
}

int CPkCentralDir::GetIndexOf(const CPkFileHeader* header) const
{
    for (int i = 0; i < m_headers.GetSize(); ++i)
        if (m_headers[i] == header)
            return i;
    return -1;
}

void CPkCentralDir::ReadDirectory()
{
    if (m_storage.FindEndRecord() < 0)
        ThrowError(ZipCauseCdirNotFound);
    uint64_t endPosition = m_storage.GetPosition();
    char record[kEndRecordSize];
    m_storage.Read(record, kEndRecordSize, true);
    m_info.m_uEndOffset = endPosition;
    m_info.m_uThisVolume = GetU16(record + 4);
    m_info.m_uVolumeWithCD = GetU16(record + 6);
    m_info.m_uVolumeEntriesNo = GetU16(record + 8);
    m_info.m_uEntriesNumber = GetU16(record + 10);
    m_info.m_uSize = GetU32(record + 12);
    m_info.m_uOffset = GetU32(record + 16);
    uint16_t commentSize = GetU16(record + 20);
    m_info.m_pszComment.Allocate(commentSize, false);
    if (commentSize)
        m_storage.Read(m_info.m_pszComment.GetBuffer(), commentSize, true);

    bool saturated = m_info.m_uThisVolume == 0xFFFF || m_info.m_uVolumeWithCD == 0xFFFF ||
                     m_info.m_uVolumeEntriesNo == 0xFFFF || m_info.m_uEntriesNumber == 0xFFFF ||
                     m_info.m_uSize == 0xFFFFFFFFu || m_info.m_uOffset == 0xFFFFFFFFu;
    // Where the directory ends: before the end record, or before Zip64 end
    // records that some writers add although nothing needs them.
    uint64_t directoryEnd = endPosition;
    if (endPosition >= 20) {
        char locator[4];
        m_storage.SeekToLogical(endPosition - 20);
        m_storage.Read(locator, 4, true);
        if (memcmp(locator, kZip64LocatorSignature, 4) == 0) {
            if (saturated)
                ThrowError(ZipCauseNoZip64);
            directoryEnd = endPosition - 20;
            if (endPosition >= 20 + kZip64EndRecordSize) {
                char record[4];
                m_storage.SeekToLogical(endPosition - 20 - kZip64EndRecordSize);
                m_storage.Read(record, 4, true);
                if (memcmp(record, kZip64EndSignature, 4) == 0)
                    directoryEnd -= kZip64EndRecordSize;
            }
        }
    }
    if (!(m_iCheckOptions & coNoVolumeCheck) && m_info.m_uThisVolume == 0 &&
        (m_info.m_uEntriesNumber != m_info.m_uVolumeEntriesNo || m_info.m_uVolumeWithCD != 0))
        ThrowError(ZipCauseBadZipFile);

    m_storage.SetupFromDirectory(m_info.m_uThisVolume);
    // 64-bit sums: a directory that claims to reach past its end record is damage.
    if (!m_storage.IsSegmented() && directoryEnd < m_info.m_uOffset + m_info.m_uSize)
        ThrowError(ZipCauseBadZipFile);
    if (m_storage.GetBytesBeforeZip() == 0 && m_info.m_uThisVolume == 0 &&
        directoryEnd >= m_info.m_uOffset + m_info.m_uSize)
        m_storage.SetBytesBeforeZip(directoryEnd - m_info.m_uOffset - m_info.m_uSize);
    if ((m_info.m_uSize == 0) != (m_info.m_uEntriesNumber == 0))
        ThrowError(ZipCauseBadZipFile);
    // Every central header takes at least 46 bytes.
    if ((uint64_t)m_info.m_uEntriesNumber * CPkFileHeader::kCentralSize > m_info.m_uSize)
        ThrowError(ZipCauseBadZipFile);
    m_info.m_bInArchive = true;
    if (!m_storage.IsBinarySplit())
        m_storage.ChangeVolume(m_info.m_uVolumeWithCD);
    if (m_info.m_uSize != 0)
        ReadHeaders();
}

void CPkCentralDir::ReadHeaders()
{
    m_storage.SeekToLogical(m_info.m_uOffset);
    DeleteHeaders();
    for (int i = 0; i < m_info.m_uEntriesNumber; ++i) {
        CPkFileHeader* header = new CPkFileHeader(this);
        m_headers.Add(header);
        if (!header->ReadCentral(m_storage))
            ThrowError(ZipCauseBadZipFile);
    }
    std::stable_sort(m_headers.begin(), m_headers.end(), [](const CPkFileHeader* a, const CPkFileHeader* b) {
        if (a->m_uVolumeStart != b->m_uVolumeStart)
            return a->m_uVolumeStart < b->m_uVolumeStart;
        return a->m_uOffset < b->m_uOffset;
    });
    for (int i = 1; i < m_headers.GetSize(); ++i)
        if (m_headers[i]->m_uVolumeStart == m_headers[i - 1]->m_uVolumeStart &&
            m_headers[i]->m_uOffset == m_headers[i - 1]->m_uOffset)
            ThrowError(ZipCauseBadZipFile, false);
    m_bSorted = true;
    CheckEntryLayout();
}

uint64_t CPkCentralDir::EntryLimit(uint16_t index) const
{
    const CPkFileHeader* header = m_headers[index];
    for (int next = index + 1; next < m_headers.GetSize(); ++next) {
        const CPkFileHeader* other = m_headers[next];
        if (other->m_uVolumeStart == header->m_uVolumeStart && other->m_uOffset > header->m_uOffset)
            return other->m_uOffset;
        break;
    }
    if (index + 1 == m_headers.GetSize() && m_info.m_bInArchive && header->m_uVolumeStart == m_info.m_uVolumeWithCD)
        return m_info.m_uOffset;
    return UINT64_MAX;
}

void CPkCentralDir::CheckEntryLayout() const
{
    // Entries of one volume follow each other: the data of one may not run
    // into the next entry's local header or into the directory.
    if (m_storage.IsSegmented() && !m_storage.IsBinarySplit())
        return;
    for (int i = 0; i < m_headers.GetSize(); ++i) {
        const CPkFileHeader* header = m_headers[i];
        uint64_t end = (uint64_t)header->m_uOffset + CPkFileHeader::kLocalSize + header->m_uComprSize;
        if (end > EntryLimit((uint16_t)i))
            ThrowError(ZipCauseBadZipFile);
    }
}

void CPkCentralDir::OpenEntry(uint16_t index)
{
    CPkFileHeader* header = m_headers[index];
    if (!header->ReadLocalHeader(*this))
        ThrowError(ZipCauseBadZipFile);
    if (m_bSorted && (!m_storage.IsSegmented() || m_storage.IsBinarySplit())) {
        uint64_t end = (uint64_t)header->m_uOffset + header->m_uLocalHeaderSize + header->m_uComprSize;
        if (end > EntryLimit(index))
            ThrowError(ZipCauseBadZipFile);
    }
    m_pOpenedFile = header;
}

CPkFileHeader* CPkCentralDir::AddNewEntry(CPkFileHeader& source, uint16_t replaceIndex, int level, bool copyMode)
{
    m_pOpenedFile = nullptr;
    CPkFileHeader* header = new CPkFileHeader(this);
    try {
        header->m_uMethod = source.m_uMethod;
        header->m_uModTime = source.m_uModTime;
        header->m_uModDate = source.m_uModDate;
        header->m_tModificationTime = source.m_tModificationTime;
        header->m_tLastAccessTime = source.m_tLastAccessTime;
        header->m_tCreationTime = source.m_tCreationTime;
        header->m_uExternalAttr = source.m_uExternalAttr;
        header->m_uLocalComprSize = source.m_uLocalComprSize;
        header->m_uLocalUncomprSize = source.m_uLocalUncomprSize;
        header->m_uLocalHeaderSize = source.m_uLocalHeaderSize;
        header->m_uFlag = source.m_uFlag & CPkFileHeader::flUtf8;
        header->m_iSystemCompatibility = source.m_iSystemCompatibility;
        header->m_uEncryptionMethod = source.m_uEncryptionMethod;
        {
            // Name and comment travel as text; they are encoded for this entry.
            CString name = source.GetEntryName();
            CString comment = source.GetComment();
            CPkCentralDir* owner = header->m_pCentralDir;
            header->m_pCentralDir = nullptr;
            header->SetEntryName(name);
            header->m_pCentralDir = owner;
            header->SetComment(comment);
        }
        header->m_aLocalExtraData = source.m_aLocalExtraData;
        header->m_aCentralExtraData = source.m_aCentralExtraData;
        header->m_aCentralExtraData.RemoveInternalHeaders();

        PrepareForChange();
        header->PrepareForWriting(level, m_storage.IsSegmented());
        if (copyMode) {
            header->m_uCrc32 = source.m_uCrc32;
            header->m_uComprSize = source.m_uComprSize;
            header->m_uUncomprSize = source.m_uUncomprSize;
        }

        uint16_t index;
        if (replaceIndex != 0xFFFF && replaceIndex < GetCount()) {
            header->EncodeText();
            if (header->GetNameBytes().GetSize() > 65535 || header->GetCommentBytes().GetSize() > 65535 ||
                header->m_aCentralExtraData.GetTotalSize() > 65535)
                ThrowError(ZipCauseTooLongData);
            CPkFileHeader* replaced = m_headers[replaceIndex];
            header->m_uOffset = replaced->m_uOffset;
            m_uNewEntryStart = replaced->m_uOffset;
            header->m_uVolumeStart = replaced->m_uVolumeStart;
            m_storage.SeekToLogical(replaced->m_uOffset);
            delete replaced;
            m_headers[replaceIndex] = header;
            index = replaceIndex;
        } else {
            m_storage.Flush();
            m_storage.GetFile()->SeekToEnd();
            m_uNewEntryStart = m_storage.GetPosition();
            header->m_uOffset = m_uNewEntryStart > 0xFFFFFFFFull ? 0xFFFFFFFFu : (uint32_t)m_uNewEntryStart;
            header->m_uVolumeStart = m_storage.GetCurrentVolume();
            index = (uint16_t)m_headers.Add(header);
        }
        m_pOpenedFile = header;
        m_info.m_uLastIndexAdded = index;
    } catch (...) {
        if (m_pOpenedFile != header)
            delete header;
        throw;
    }
    return header;
}

void CPkCentralDir::CloseNewEntry()
{
    CPkFileHeader* header = m_pOpenedFile;
    if (!m_storage.IsSegmented() && !header->HasDataDescriptor())
        header->UpdateLocalSizes(m_storage);
    header->WriteDataDescriptor(m_storage);
    m_storage.Flush();
    m_pOpenedFile = nullptr;
}

void CPkCentralDir::AbandonNewEntry()
{
    CPkFileHeader* header = m_pOpenedFile;
    m_pOpenedFile = nullptr;
    if (!header || m_storage.IsSegmented())
        return;
    int index = GetIndexOf(header);
    if (index < 0)
        return;
    bool appended = index == m_headers.GetSize() - 1;
    for (int i = 0; appended && i < index; ++i)
        if (m_headers[i]->m_uOffset > header->m_uOffset)
            appended = false;
    uint64_t offset = m_uNewEntryStart;
    RemoveEntry(header, (uint16_t)index);
    m_info.m_bInArchive = false;
    m_storage.DiscardWriteBuffer();
    if (appended)
        m_storage.GetFile()->SetLength(offset + m_storage.GetBytesBeforeZip());
}

void CPkCentralDir::RemoveEntry(CPkFileHeader* header, uint16_t index)
{
    if (index >= GetCount() || m_headers[index] != header)
        return;
    if (m_pOpenedFile == header)
        m_pOpenedFile = nullptr;
    delete header;
    m_headers.RemoveAt(index);
    if (m_info.m_uLastIndexAdded == index)
        m_info.m_uLastIndexAdded = 0xFFFF;
    else if (m_info.m_uLastIndexAdded != 0xFFFF && m_info.m_uLastIndexAdded > index)
        --m_info.m_uLastIndexAdded;
}

void CPkCentralDir::RemoveLastEntry(CPkFileHeader* header, uint16_t index)
{
    if (m_headers.IsEmpty())
        return;
    if (index == 0xFFFF)
        index = (uint16_t)(m_headers.GetSize() - 1);
    if (!header)
        header = m_headers[index];
    uint64_t offset = header->m_uOffset;
    RemoveEntry(header, index);
    m_storage.Flush();
    m_storage.GetFile()->SetLength(offset + m_storage.GetBytesBeforeZip());
    m_info.m_bInArchive = false;
}

void CPkCentralDir::PrepareForChange()
{
    if (m_info.m_bInArchive) {
        m_storage.Flush();
        m_storage.GetFile()->SetLength(m_storage.GetBytesBeforeZip() + m_info.m_uOffset);
        m_info.m_bInArchive = false;
    } else {
        m_storage.Flush();
    }
}

bool CPkCentralDir::CanModify()
{
    if (!m_archive.IsOpen() || m_storage.IsReadOnly() || m_storage.IsExistingSegmented() ||
        m_archive.GetEntryState() != 0)
        return false;
    PrepareForChange();
    return true;
}

bool CPkCentralDir::AcceptRename(CPkFileHeader& /*header*/) { return m_archive.CommitRewrites(); }

bool CPkCentralDir::HasPendingRewrites() const
{
    for (const CPkFileHeader* header : m_headers)
        if (header->m_iState & CPkFileHeader::stRenamed)
            return true;
    return false;
}

uint64_t CPkCentralDir::PredictDirectorySize()
{
    uint64_t size = kEndRecordSize + m_info.m_pszComment.GetSize();
    for (CPkFileHeader* header : m_headers) {
        header->EncodeText();
        bool times = header->m_tModificationTime || header->m_tLastAccessTime || header->m_tCreationTime;
        size += CPkFileHeader::kCentralSize + header->GetNameBytes().GetSize() + header->GetCommentBytes().GetSize() +
                header->m_aCentralExtraData.GetTotalSize() + (times ? 36 : 0);
    }
    return size;
}

void CPkCentralDir::WriteDirectory()
{
    if (m_info.m_bInArchive)
        return;
    m_info.m_uEntriesNumber = GetCount();
    if (!m_storage.IsSegmented()) {
        m_storage.Flush();
        m_storage.GetFile()->SeekToEnd();
    }
    m_info.m_uSize = 0;
    bool converted = false;
    if (m_storage.IsNewSegmented() && m_storage.GetCurrentVolume() == 0) {
        uint64_t size = PredictDirectorySize();
        uint64_t descriptors = 0;
        for (const CPkFileHeader* header : m_headers)
            if (!header->IsEncrypted() && header->HasDataDescriptor())
                descriptors += kDescriptorWithSignature;
        uint64_t needed = size > 4 + descriptors ? size - 4 - descriptors : 0;
        if (m_storage.GetFreeVolumeSpace() >= needed)
            converted = ConvertToSingleVolume(size);
    }
    if (m_storage.IsSegmented() && !m_storage.IsBinarySplit() && !converted)
        m_storage.AssureFree((uint32_t)std::min<uint64_t>(PredictDirectorySize(), 0xFFFFFFFFu));
    try {
        WriteHeaders(converted);
        WriteEndRecord();
        if (converted && m_storage.GetCurrentVolume() != 0)
            ThrowError(ZipCauseBadZipFile);
    } catch (...) {
        if (converted) {
            m_storage.EndSegmentation();
            m_info.m_uThisVolume = 0;
        }
        throw;
    }
    m_info.m_bInArchive = true;
}

void CPkCentralDir::WriteHeaders(bool converted)
{
    CPkActionCallback* callback = m_archive.GetCallback(CPkActionCallback::cbSave);
    if (callback) {
        callback->Init(nullptr, nullptr);
        callback->SetTotal(GetCount());
    }
    if (m_storage.IsBinarySplit())
        m_storage.AssureFree(1);
    m_info.m_uVolumeWithCD = m_storage.IsBinarySplit() ? 0 : m_storage.GetCurrentVolume();
    m_info.m_uOffset = m_storage.GetPosition();
    m_info.m_uVolumeEntriesNo = 0;
    uint16_t volume = m_info.m_uVolumeWithCD;
    for (int i = 0; i < m_headers.GetSize(); ++i) {
        m_info.m_uSize += m_headers[i]->WriteCentral(m_storage);
        uint16_t now = m_storage.IsBinarySplit() ? 0 : m_storage.GetCurrentVolume();
        if (now == volume) {
            ++m_info.m_uVolumeEntriesNo;
        } else {
            m_info.m_uVolumeEntriesNo = 1;
            if (i == 0) {
                m_info.m_uVolumeWithCD = now;
                m_info.m_uOffset = 0;
            }
            volume = now;
        }
        if (callback) {
            bool go = i + 1 < m_headers.GetSize() ? callback->RequestCallback(1) : callback->RequestLastCallback(1);
            if (!go) {
                callback->CallbackEnd();
                if (converted) {
                    m_storage.DiscardWriteBuffer();
                    m_storage.GetFile()->SetLength(m_info.m_uOffset);
                    ThrowZipException(ZipCauseAbortedSafely);
                }
                ThrowZipException(ZipCauseAbortedAction);
            }
        }
    }
    if (callback)
        callback->CallbackEnd();
    // The end record holds 32-bit offsets and sizes.
    if (m_info.m_uOffset > 0xFFFFFFFFull || m_info.m_uSize > 0xFFFFFFFFull ||
        m_info.m_uOffset + m_info.m_uSize > 0xFFFFFFFFull)
        ThrowError(ZipCauseTooBigSize);
}

void CPkCentralDir::WriteEndRecord()
{
    uint32_t commentSize = m_info.m_pszComment.GetSize();
    uint32_t total = kEndRecordSize + commentSize;
    if (m_storage.IsSegmented()) {
        uint16_t before = m_storage.GetCurrentVolume();
        m_storage.AssureFree(m_storage.IsBinarySplit() ? 1 : total);
        m_info.m_uThisVolume = m_storage.IsBinarySplit() ? 0 : m_storage.GetCurrentVolume();
        if (!m_storage.IsBinarySplit() && m_storage.GetCurrentVolume() != before)
            m_info.m_uVolumeEntriesNo = 0;
    } else {
        m_info.m_uThisVolume = 0;
    }
    CPkAutoBuffer record(total, false);
    char* buf = record.GetBuffer();
    memcpy(buf, kEndSignature, 4);
    PutU16(buf + 4, m_info.m_uThisVolume);
    PutU16(buf + 6, m_info.m_uVolumeWithCD);
    PutU16(buf + 8, m_info.m_uVolumeEntriesNo);
    PutU16(buf + 10, m_info.m_uEntriesNumber);
    PutU32(buf + 12, (uint32_t)m_info.m_uSize);
    PutU32(buf + 16, (uint32_t)m_info.m_uOffset);
    PutU16(buf + 20, (uint16_t)commentSize);
    if (commentSize)
        memcpy(buf + kEndRecordSize, m_info.m_pszComment.GetBuffer(), commentSize);
    m_storage.Write(buf, total, true);
}

bool CPkCentralDir::ConvertToSingleVolume(uint64_t directorySize)
{
    uint32_t fill = m_storage.GetBufferFill();
    if (m_storage.GetBytesWrittenToVolume() == 0 &&
        (uint64_t)fill + directorySize <= m_storage.GetWriteBufferSize()) {
        uint64_t length = StripDescriptors(m_storage.GetWriteBuffer(), fill);
        m_storage.SetBufferFill((uint32_t)length);
        return true;
    }
    m_storage.Flush();
    CPkFile* file = dynamic_cast<CPkFile*>(m_storage.GetFile());
    if (!file)
        return false;
    uint64_t length = file->GetLength();
    // Unnamed: two conversions never share one mapping.
    HANDLE mapping = CreateFileMappingW(file->m_hFile, nullptr, PAGE_READWRITE, 0, 0, nullptr);
    if (!mapping)
        return false;
    char* view = (char*)MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0);
    if (!view) {
        CloseHandle(mapping);
        return false;
    }
    uint64_t newLength = StripDescriptors(view, length);
    UnmapViewOfFile(view);
    CloseHandle(mapping);
    file->SetLength(newLength);
    file->SeekToEnd();
    m_storage.SetBytesWrittenToVolume(newLength);
    return true;
}

uint64_t CPkCentralDir::StripDescriptors(char* data, uint64_t length)
{
    uint64_t shift = 4;  // the segmented archive's leading marker
    for (int i = 0; i < m_headers.GetSize(); ++i) {
        CPkFileHeader* header = m_headers[i];
        uint64_t start = header->m_uOffset;
        uint64_t end = i + 1 < m_headers.GetSize() ? m_headers[i + 1]->m_uOffset : length;
        uint64_t dropped = 0;
        if (!header->IsEncrypted() && header->HasDataDescriptor()) {
            header->m_uFlag &= ~CPkFileHeader::flDataDescriptor;
            char* local = data + start;
            PutU16(local + 6, header->m_uFlag);
            PutU32(local + 14, header->m_uCrc32);
            PutU32(local + 18, header->m_uComprSize);
            PutU32(local + 22, header->m_uUncomprSize);
            header->m_uLocalComprSize = header->m_uComprSize;
            header->m_uLocalUncomprSize = header->m_uUncomprSize;
            dropped = kDescriptorWithSignature;
        }
        memmove(data + start - shift, data + start, (size_t)(end - start - dropped));
        header->m_uOffset = (uint32_t)(start - shift);
        shift += dropped;
    }
    return length - shift;
}
