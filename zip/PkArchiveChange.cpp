// Changing an archive: copying compressed entries between archives and
// renaming entries, whose local headers are rewritten before closing.
#include "zip/PkArchive.h"

#include "zip/PkException.h"

#include <algorithm>

namespace {
struct CPkChangeInfo {
    uint16_t m_uIndex;
    uint64_t m_uDataStart;  // old local-header offset + old local-header size
    uint64_t m_uRegionEnd;
    int64_t m_iGrowth;  // accumulated, including this change
};
}  // namespace

bool CPkArchive::ReadLocalHeaderOf(uint16_t index)
{
    CPkFileHeader* header = GetHeader(index);
    if (!header)
        return false;
    if (!header->ReadLocalHeader(m_centralDir))
        ThrowError(ZipCauseBadZipFile);
    return true;
}

bool CPkArchive::CopyEntryFrom(CPkArchive& source, uint16_t sourceIndex, uint16_t replaceIndex,
                               CPkActionCallback* callback)
{
    if (&source == this || !IsOpen() || !source.IsOpen() || m_iFileOpened != 0 || source.m_iFileOpened != 0 ||
        m_storage.IsExistingSegmented() || m_storage.IsReadOnly() || source.GetEntryCount() == 0)
        return false;
    if (!source.ReadLocalHeaderOf(sourceIndex))
        return false;
    CPkFileHeader header;
    source.GetEntryInfo(header, sourceIndex);
    if (header.HasDataDescriptor()) {
        if (header.m_uLocalComprSize == 0)
            header.m_uLocalComprSize = header.m_uComprSize;
        if (header.m_uLocalUncomprSize == 0)
            header.m_uLocalUncomprSize = header.m_uUncomprSize;
    }
    bool sourceEncrypted = header.IsEncrypted();
    if (sourceEncrypted && header.m_uLocalComprSize >= CPkFileHeader::kEncryptionHeaderSize)
        header.m_uLocalComprSize -= CPkFileHeader::kEncryptionHeaderSize;
    CString name = header.GetEntryName(true);
    header.m_pCentralDir = nullptr;
    header.SetSystemCompatibility((uint8_t)m_iArchiveSystCompatib);
    if (!CheckReplaceIndex(replaceIndex))
        return false;
    if (replaceIndex != 0xFFFF && m_storage.IsSegmented())
        return false;

    bool encryptNow = !sourceEncrypted && IsEncryptionActive();
    if (encryptNow) {
        header.m_uEncryptionMethod = (uint8_t)m_iEncryptionMethod;
        CreateCryptograph(m_iEncryptionMethod);
    } else {
        m_pCryptograph.reset();
    }
    bool keepWithoutDescriptor = sourceEncrypted && !header.HasDataDescriptor();
    int level = header.GetCompressionLevel();
    CPkFileHeader* added = m_centralDir.AddNewEntry(header, replaceIndex, level, true);
    uint64_t total = added->m_uComprSize;
    bool complete = false;
    try {
        if (keepWithoutDescriptor)
            added->m_uFlag &= ~CPkFileHeader::flDataDescriptor;
        added->EncodeText();
        if (replaceIndex != 0xFFFF && replaceIndex < m_centralDir.GetCount())
            MakeSpace(replaceIndex,
                      (uint64_t)added->GetLocalSize() + added->GetDataDescriptorSize(m_storage) + total +
                          (encryptNow ? CPkFileHeader::kEncryptionHeaderSize : 0),
                      name);
        if (callback) {
            callback->Init(name, source.GetArchivePath());
            callback->SetTotal(total);
        }
        if (!added->HasDataDescriptor()) {
            added->m_uLocalComprSize = added->m_uComprSize + (encryptNow ? CPkFileHeader::kEncryptionHeaderSize : 0);
            added->m_uLocalUncomprSize = added->m_uUncomprSize;
        }
        added->WriteLocalHeader(m_storage);
        if (m_pCryptograph) {
            uint32_t crc = added->m_uCrc32;
            m_pCryptograph->BeginEncryption(m_pszPassword, *added, m_storage);
            added->m_uCrc32 = crc;
        }
        AllocateGeneralBuffer();
        uint64_t left = total;
        bool stopped = false;
        while (left > 0) {
            uint32_t n = (uint32_t)std::min<uint64_t>(m_pBuffer.GetSize(), left);
            source.m_storage.Read(m_pBuffer.GetBuffer(), n, false);
            if (m_pCryptograph)
                m_pCryptograph->Encrypt(m_pBuffer.GetBuffer(), n);
            m_storage.Write(m_pBuffer.GetBuffer(), n, false);
            left -= n;
            if (callback && !callback->RequestCallback(n)) {
                stopped = true;
                break;
            }
        }
        if (left > 0) {
            bool removable = !m_storage.IsSegmented() && replaceIndex == 0xFFFF;
            if (removable) {
                m_centralDir.AbandonNewEntry();
            }
            m_pCryptograph.reset();
            ReleaseGeneralBuffer();
            if (callback)
                callback->CallbackEnd();
            ThrowZipException(removable ? ZipCauseAbortedSafely : ZipCauseAbortedAction);
        }
        if (m_pCryptograph)
            m_pCryptograph->EndEncryption(*added, m_storage);
        if (!m_storage.IsSegmented() && !added->HasDataDescriptor()) {
            m_storage.Flush();
            added->UpdateLocalSizes(m_storage);
        }
        added->WriteDataDescriptor(m_storage);
        m_centralDir.m_pOpenedFile = nullptr;
        m_storage.Flush();
        complete = true;
        if (!stopped && callback && !callback->RequestLastCallback())
            stopped = true;
        if (callback)
            callback->CallbackEnd();
        if (stopped)
            ThrowZipException(ZipCauseAbortedSafely);
    } catch (...) {
        if (!complete && m_centralDir.m_pOpenedFile == added)
            m_centralDir.AbandonNewEntry();
        m_pCryptograph.reset();
        ReleaseGeneralBuffer();
        throw;
    }
    m_pCryptograph.reset();
    ReleaseGeneralBuffer();
    return true;
}

bool CPkArchive::CommitRewrites()
{
    if (!IsOpen() || m_storage.IsReadOnly() || m_storage.IsSegmented() || m_iFileOpened != 0)
        return false;
    uint16_t count = m_centralDir.GetCount();
    if (count == 0)
        return true;
    CArray<CPkChangeInfo> changes;
    int64_t growth = 0;
    for (uint16_t i = 0; i < count; ++i) {
        CPkFileHeader* header = m_centralDir.GetAt(i);
        if (!(header->m_iState & CPkFileHeader::stRenamed))
            continue;
        // The old local header, as it stands in the file.
        CPkFileHeader old;
        old.CopyFrom(*header);
        if (!old.ReadLocalHeader(m_centralDir))
            ThrowError(ZipCauseBadZipFile);
        header->m_aLocalExtraData = old.m_aLocalExtraData;
        header->m_uLocalComprSize = old.m_uLocalComprSize;
        header->m_uLocalUncomprSize = old.m_uLocalUncomprSize;
        header->EncodeText();
        int64_t newSize = CPkFileHeader::kLocalSize + header->GetNameBytes().GetSize() +
                          header->m_aLocalExtraData.GetTotalSize();
        growth += newSize - (int64_t)old.m_uLocalHeaderSize;
        changes.Add(CPkChangeInfo{i, (uint64_t)header->m_uOffset + old.m_uLocalHeaderSize, 0, growth});
    }
    if (changes.IsEmpty())
        return true;
    m_centralDir.PrepareForChange();
    CPkAbstractFile* file = m_storage.GetFile();
    uint64_t base = m_storage.GetBytesBeforeZip();
    uint64_t archiveEnd = file->GetLength() - base;
    uint64_t toMove = 0;
    for (int c = 0; c < changes.GetSize(); ++c) {
        changes[c].m_uRegionEnd =
            c + 1 < changes.GetSize() ? m_centralDir.GetAt(changes[c + 1].m_uIndex)->m_uOffset : archiveEnd;
        toMove += changes[c].m_uRegionEnd - changes[c].m_uDataStart;
    }
    if (growth > 0)
        file->SetLength(archiveEnd + (uint64_t)growth + base);
    AllocateGeneralBuffer();
    CPkActionCallback* callback = GetCallback(CPkActionCallback::cbRename);
    if (callback) {
        callback->Init(nullptr, m_storage.GetArchivePath());
        callback->SetTotal(toMove);
    }
    try {
        // Regions that grow move towards the end, last first; a run of regions
        // that shrink or stay moves towards the start, first first.
        int c = changes.GetSize() - 1;
        while (c >= 0) {
            if (changes[c].m_iGrowth > 0) {
                MoveData(changes[c].m_uDataStart, changes[c].m_uRegionEnd, (uint64_t)changes[c].m_iGrowth, callback,
                         true, c == 0);
                --c;
                continue;
            }
            int first = c;
            while (first > 0 && changes[first - 1].m_iGrowth <= 0)
                --first;
            for (int k = first; k <= c; ++k)
                if (changes[k].m_iGrowth != 0)
                    MoveData(changes[k].m_uDataStart, changes[k].m_uRegionEnd, (uint64_t)-changes[k].m_iGrowth,
                             callback, false, k == 0);
            c = first - 1;
        }
    } catch (...) {
        ReleaseGeneralBuffer();
        throw;
    }
    ReleaseGeneralBuffer();
    if (growth < 0)
        file->SetLength(archiveEnd - (uint64_t)(-growth) + base);
    int64_t previous = 0;
    for (int c = 0; c < changes.GetSize(); ++c) {
        uint16_t index = changes[c].m_uIndex;
        uint16_t nextChanged = c + 1 < changes.GetSize() ? changes[c + 1].m_uIndex : count;
        for (uint16_t i = index + 1; i < nextChanged; ++i)
            m_centralDir.GetAt(i)->m_uOffset = (uint32_t)(m_centralDir.GetAt(i)->m_uOffset + changes[c].m_iGrowth);
        CPkFileHeader* header = m_centralDir.GetAt(index);
        m_storage.SeekToLogical((uint64_t)((int64_t)header->m_uOffset + previous));
        header->WriteLocalHeader(m_storage);
        header->m_iState &= ~CPkFileHeader::stRenamed;
        m_storage.Flush();
        previous = changes[c].m_iGrowth;
    }
    if (callback)
        callback->CallbackEnd();
    return true;
}

bool CPkArchive::RenameEntry(uint16_t index, const CString& newName)
{
    CPkFileHeader* header = GetHeader(index);
    return header && header->SetEntryName(newName);
}
