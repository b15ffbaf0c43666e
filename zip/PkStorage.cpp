#include "zip/PkStorage.h"

#include "zip/PkException.h"
#include "zip/ZipFileSystem.h"

#include <algorithm>
#include <cstring>

namespace {
const char kSegmentedMarker[4] = {'P', 'K', 7, 8};
const uint32_t kEndRecordSearchLimit = 22 + 65535;
const UINT kReadWriteFlags = CFile::modeReadWrite | CFile::shareDenyWrite;
const UINT kReadOnlyFlags = CFile::modeRead | CFile::shareDenyWrite;
}  // namespace

CPkStorage::CPkStorage() = default;

CPkStorage::~CPkStorage()
{
    if (!m_internalFile.IsClosed())
        m_internalFile.Abort();
}

void CPkStorage::OpenFile(const CString& path, UINT flags) { m_internalFile.Open(path, flags, true); }

void CPkStorage::OpenStorage(const CString& path, int mode, uint64_t volumeSize)
{
    m_pWriteBuffer.Allocate((uint32_t)m_iWriteBufferSize, false);
    m_uCurrentVolume = 0xFFFF;
    m_uBytesInWriteBuffer = 0;
    m_uBytesWritten = 0;
    m_uBytesBeforeZip = 0;
    m_iFlags = sfOpen | sfOwnFile;
    m_pFile = &m_internalFile;
    m_szArchivePath = path;
    m_binarySplitSizes.RemoveAll();

    if (mode & omCreate) {
        m_uCurrentVolume = 0;
        if (mode & omSpanned) {
            if (!m_pSpanChangeVolumeFunc)
                ThrowZipException(ZipCauseNoCallback, path);
            if (!ZipFileSystem::IsRemovableDrive(path))
                ThrowZipException(ZipCauseNonRemovable, path);
            m_iFlags |= sfSpanned;
            m_pChangeVolumeFunc = m_pSpanChangeVolumeFunc;
        } else if (mode & (omSplit | omBinarySplit)) {
            if (volumeSize == 0)
                ThrowZipException(ZipCauseNoVolumeSize, path);
            m_uSplitData = volumeSize;
            if (mode & omBinarySplit) {
                m_iFlags |= sfBinarySplit;
                m_pSplitNames.reset(new CPkBinSplitNamesHandler);
            } else {
                m_iFlags |= sfSplit;
                m_pSplitNames.reset(new CPkRegularSplitNamesHandler);
            }
            m_pSplitNames->Initialize(path);
            m_pChangeVolumeFunc = m_pSplitChangeVolumeFunc;
        }
        if (IsSegmented()) {
            StartNextVolume(4);
            Write(kSegmentedMarker, 4, true);
        } else if ((mode & omAppend) == omAppend) {
            OpenFile(path, CFile::modeCreate | CFile::modeNoTruncate | kReadWriteFlags);
            m_pFile->SeekToEnd();
        } else {
            OpenFile(path, CFile::modeCreate | kReadWriteFlags);
        }
        return;
    }

    m_iFlags |= sfExisting;
    if ((mode & omReadOnly) == omReadOnly)
        m_iFlags |= sfReadOnly;
    OpenFile(path, IsReadOnly() ? kReadOnlyFlags : kReadWriteFlags);
    m_uCurrentVolume = 0;
    if (mode & omSpanned) {
        m_iFlags |= sfSpanned;
    } else if (mode & omBinarySplit) {
        m_iFlags |= sfBinarySplit;
        m_pSplitNames.reset(new CPkBinSplitNamesHandler);
        uint32_t number = m_pSplitNames->GetVolumeNumber(path);
        if (number == 0)
            ThrowZipException(ZipCauseBadZipFile, path);
        if (number == 1) {
            m_pSplitNames.reset();
            m_iFlags &= ~sfSegmentBits;
            return;
        }
        m_uCurrentVolume = (uint16_t)(number - 1);
        m_uSplitData = number - 1;
        m_binarySplitSizes.SetSize((int)number);
        for (int volume = (int)number - 1; volume >= 0; --volume) {
            ChangeVolume((uint16_t)volume);
            m_binarySplitSizes[volume] = m_pFile->GetLength();
        }
        ChangeVolume((uint16_t)(number - 1));
    } else if (mode & omSplit) {
        m_iFlags |= sfSplit;
    }
}

void CPkStorage::OpenMemory(CPkAbstractFile& file, int mode)
{
    m_pWriteBuffer.Allocate((uint32_t)m_iWriteBufferSize, false);
    m_uBytesInWriteBuffer = 0;
    m_uBytesWritten = 0;
    m_uBytesBeforeZip = 0;
    m_iFlags = sfOpen;
    m_pFile = &file;
    m_szArchivePath = file.GetFilePath();
    m_uCurrentVolume = 0;
    if (mode & omCreate) {
        if ((mode & omAppend) == omAppend) {
            file.SeekToEnd();
        } else {
            file.SetLength(0);
            file.SeekToBegin();
        }
    } else {
        file.SeekToBegin();
        m_iFlags |= sfExisting;
        if ((mode & omReadOnly) == omReadOnly)
            m_iFlags |= sfReadOnly;
    }
}

CString CPkStorage::CloseStorage(bool directoryWritten, bool notAfterFailure)
{
    CString result;
    bool renamed = false;
    if (directoryWritten) {
        Flush();
        if (IsSplit() && !IsExisting()) {
            result = RenameLastVolume();
            renamed = true;
        }
    }
    if (notAfterFailure && result.IsEmpty()) {
        if (IsSplit() && IsExisting() && m_pSplitNames)
            result = m_pSplitNames->GetVolumeName(m_szArchivePath, LastVolume() + 1u,
                                                  CPkSplitNamesHandler::flLast | CPkSplitNamesHandler::flExisting);
        else if (m_pFile)
            result = m_pFile->GetFilePath();
    }
    if (!renamed && m_pFile) {
        if (directoryWritten && !IsReadOnly() && !IsExistingSegmented())
            m_pFile->Flush();
        if (m_iFlags & sfOwnFile)
            CloseFile();
    }
    m_pWriteBuffer.Release();
    m_uBytesInWriteBuffer = 0;
    m_uCurrentVolume = 0xFFFF;
    m_iFlags = 0;
    m_pFile = nullptr;
    m_uBytesBeforeZip = 0;
    m_pSplitNames.reset();
    m_binarySplitSizes.RemoveAll();
    return result;
}

void CPkStorage::CloseFile()
{
    if (m_internalFile.IsClosed())
        return;
    try {
        m_internalFile.Close();
    } catch (CException*) {
        m_internalFile.Abort();
        throw;
    }
}

void CPkStorage::WriteToBuffer(const char* buffer, uint32_t count)
{
    while (count > 0) {
        if (m_uBytesInWriteBuffer == 0 && count >= m_pWriteBuffer.GetSize()) {
            // Large pieces go straight to the file.
            m_pFile->Write(buffer, count);
            if (IsSegmented())
                m_uBytesWritten += count;
            return;
        }
        uint32_t room = m_pWriteBuffer.GetSize() - m_uBytesInWriteBuffer;
        if (room == 0) {
            Flush();
            continue;
        }
        uint32_t n = std::min(room, count);
        memcpy(m_pWriteBuffer.GetBuffer() + m_uBytesInWriteBuffer, buffer, n);
        m_uBytesInWriteBuffer += n;
        buffer += n;
        count -= n;
    }
}

void CPkStorage::Write(const void* data, uint32_t count, bool inOnePiece)
{
    const char* buffer = (const char*)data;
    if (!IsSegmented()) {
        WriteToBuffer(buffer, count);
        return;
    }
    while (count > 0) {
        uint32_t chunk;
        if (inOnePiece && !IsBinarySplit()) {
            AssureFree(count);
            chunk = count;
        } else {
            chunk = std::min(AssureFree(1), count);
        }
        WriteToBuffer(buffer, chunk);
        buffer += chunk;
        count -= chunk;
    }
}

void CPkStorage::Flush()
{
    if (m_uBytesInWriteBuffer == 0)
        return;
    uint32_t fill = m_uBytesInWriteBuffer;
    m_uBytesInWriteBuffer = 0;
    m_pFile->Write(m_pWriteBuffer.GetBuffer(), fill);
    if (IsSegmented())
        m_uBytesWritten += fill;
    if (IsSpanned()) {
        ULONGLONG space = ZipFileSystem::GetDriveFreeSpace(m_pFile->GetFilePath());
        m_uCurrentVolSize = space > 0xFFFFFFFFull ? 0xFFFFFFFFull : space;
    }
}

void CPkStorage::FlushFile()
{
    Flush();
    if (!IsReadOnly())
        m_pFile->Flush();
}

uint64_t CPkStorage::GetPosition() const
{
    uint64_t position = m_pFile->GetPosition() + m_uBytesInWriteBuffer;
    if (m_uCurrentVolume == 0 || !IsSegmented())
        position -= m_uBytesBeforeZip;
    if (IsBinarySplit())
        for (int v = 0; v < (int)m_uCurrentVolume && v < m_binarySplitSizes.GetSize(); ++v)
            position += m_binarySplitSizes[v];
    return position;
}

uint32_t CPkStorage::GetFreeVolumeSpace() const
{
    if (!IsSegmented())
        return 0xFFFFFFFFu;
    int64_t room = (int64_t)m_uCurrentVolSize - m_uBytesInWriteBuffer;
    if (!IsSpanned())
        room -= (int64_t)m_uBytesWritten;
    if (room < 0)
        return 0;
    return room > 0xFFFFFFFFll ? 0xFFFFFFFFu : (uint32_t)room;
}

uint32_t CPkStorage::AssureFree(uint32_t needed)
{
    while (GetFreeVolumeSpace() < needed) {
        if (IsSplit() && m_uBytesWritten == 0 && m_uBytesInWriteBuffer == 0) {
            m_uCurrentVolSize = needed;
            break;
        }
        StartNextVolume(needed);
    }
    return GetFreeVolumeSpace();
}

void CPkStorage::StartNextVolume(uint32_t /*needed*/)
{
    Flush();
    if (m_uBytesWritten > 0) {
        ++m_uCurrentVolume;
        m_uBytesWritten = 0;
        if (m_uCurrentVolume >= (IsSpanned() ? 999 : 65535))
            ThrowError(ZipCauseTooManyVolumes);
    }
    CString name =
        IsSpanned() ? m_szArchivePath : m_pSplitNames->GetVolumeName(m_szArchivePath, m_uCurrentVolume + 1u, 0);
    if (!m_internalFile.IsClosed()) {
        if (IsBinarySplit())
            m_binarySplitSizes.Add(m_pFile->GetLength());
        CloseFile();
    }
    if (IsSpanned())
        ThrowError(ZipCauseInternal);  // a spanned volume needs a volume callback
    m_uCurrentVolSize = m_uSplitData;
    OpenFile(name, CFile::modeCreate | kReadWriteFlags);
}

void CPkStorage::ChangeVolume(uint16_t volume)
{
    if (!IsSegmented() || volume == m_uCurrentVolume)
        return;
    if (IsSpanned())
        ThrowError(ZipCauseNoCallback);
    int flags = CPkSplitNamesHandler::flExisting;
    if (volume == LastVolume())
        flags |= CPkSplitNamesHandler::flLast;
    CString name = m_pSplitNames->GetVolumeName(m_szArchivePath, volume + 1u, flags);
    if (ZipFileSystem::PathExists(name) != 1)
        ThrowZipException(ZipCauseNotFound, name);
    m_uBytesInWriteBuffer = 0;
    CloseFile();
    OpenFile(name, kReadOnlyFlags);
    m_uCurrentVolume = volume;
}

uint32_t CPkStorage::Read(void* data, uint32_t count, bool inOnePiece)
{
    if (count == 0)
        return 0;
    Flush();
    char* buffer = (char*)data;
    uint32_t got = m_pFile->Read(buffer, count);
    while (got == 0) {
        if (!IsSegmented() || m_uCurrentVolume >= LastVolume())
            ThrowError(ZipCauseBadZipFile);
        ChangeVolume(m_uCurrentVolume + 1);
        got = m_pFile->Read(buffer, count);
    }
    if (got < count && inOnePiece && !IsBinarySplit())
        ThrowError(ZipCauseBadZipFile);
    while (got < count) {
        uint32_t n = m_pFile->Read(buffer + got, count - got);
        if (n == 0) {
            if (!IsSegmented() || m_uCurrentVolume >= LastVolume())
                ThrowError(ZipCauseBadZipFile);
            ChangeVolume(m_uCurrentVolume + 1);
        }
        got += n;
    }
    return count;
}

uint64_t CPkStorage::VolumeLength(uint16_t volume) const
{
    if (volume < m_binarySplitSizes.GetSize())
        return m_binarySplitSizes[volume];
    return m_pFile->GetLength();
}

void CPkStorage::SeekInBinarySplit(int64_t offset, bool fromStart)
{
    uint64_t target = fromStart ? (uint64_t)offset : GetPosition() + (uint64_t)offset;
    SeekToLogical(target);
}

void CPkStorage::SeekToLogical(uint64_t position)
{
    Flush();
    if (!IsBinarySplit()) {
        m_pFile->SeekDirected(position + GetFileOffsetBase(), true);
        return;
    }
    uint64_t start = 0;
    for (uint16_t volume = 0; volume <= LastVolume(); ++volume) {
        uint64_t length = VolumeLength(volume);
        if (position < start + length || (volume == LastVolume() && position == start + length)) {
            ChangeVolume(volume);
            m_pFile->Seek((LONGLONG)(position - start), CFile::begin);
            return;
        }
        start += length;
    }
    ThrowError(ZipCauseGeneric);
}

void CPkStorage::SeekFile(uint64_t position)
{
    Flush();
    m_pFile->Seek((LONGLONG)position, CFile::begin);
}

int64_t CPkStorage::FindEndRecord()
{
    static const char kSignature[4] = {'P', 'K', 5, 6};
    uint64_t budget = kEndRecordSearchLimit;
    uint32_t chunkSize = (uint32_t)std::max(m_iLocateBufferSize, 1024);
    CPkAutoBuffer buffer(chunkSize + 3, false);
    char tail[3];
    uint32_t tailLength = 0;  // first bytes of the region already searched
    for (int volume = m_uCurrentVolume; volume >= 0 && budget > 0; --volume) {
        if (IsBinarySplit()) {
            if (volume >= m_binarySplitSizes.GetSize())
                ThrowError(ZipCauseGeneric);
            ChangeVolume((uint16_t)volume);
        }
        uint64_t end = m_pFile->SeekToEnd();
        while (end > 0 && budget > 0) {
            uint32_t n = (uint32_t)std::min<uint64_t>({chunkSize, end, budget});
            uint64_t start = end - n;
            m_pFile->Seek((LONGLONG)start, CFile::begin);
            if (m_pFile->Read(buffer.GetBuffer(), n) != n)
                ThrowError(ZipCauseBadZipFile);
            memcpy(buffer.GetBuffer() + n, tail, tailLength);
            const char* bytes = buffer.GetBuffer();
            uint32_t total = n + tailLength;
            for (int64_t i = (int64_t)n - 1; i >= 0; --i) {
                if ((uint32_t)i + 4 <= total && memcmp(bytes + i, kSignature, 4) == 0) {
                    m_pFile->Seek((LONGLONG)(start + (uint64_t)i), CFile::begin);
                    return (int64_t)(start + (uint64_t)i);
                }
            }
            tailLength = std::min<uint32_t>(3, total);
            memcpy(tail, bytes, tailLength);
            budget -= n;
            end = start;
        }
        if (!IsBinarySplit())
            break;
    }
    return -1;
}

void CPkStorage::SetupFromDirectory(uint16_t volume)
{
    if (!IsBinarySplit())
        m_uCurrentVolume = volume;
    if (volume == 0 && !IsBinarySplit()) {
        m_iFlags &= ~sfSegmentBits;
        return;
    }
    if (!IsSegmented()) {
        if (ZipFileSystem::IsRemovableDrive(m_szArchivePath))
            m_iFlags |= sfSpanned;
        else
            m_iFlags |= sfSplit;
    }
    if (IsSpanned()) {
        if (!m_pSpanChangeVolumeFunc)
            ThrowError(ZipCauseNoCallback);
        m_pChangeVolumeFunc = m_pSpanChangeVolumeFunc;
    } else if (!IsBinarySplit()) {
        m_pSplitNames.reset(new CPkRegularSplitNamesHandler);
        m_pSplitNames->Initialize(m_szArchivePath);
        m_uSplitData = volume;
        m_pChangeVolumeFunc = m_pSplitChangeVolumeFunc;
    }
    m_pWriteBuffer.Release();
}

CString CPkStorage::RenameLastVolume()
{
    CString target = m_pSplitNames->GetVolumeName(m_szArchivePath, m_uCurrentVolume + 1u, CPkSplitNamesHandler::flLast);
    CString current = m_pFile->GetFilePath();
    Flush();
    if (IsBinarySplit())
        m_binarySplitSizes.Add(m_pFile->GetLength());
    CloseFile();
    if (target.CompareNoCase(current) != 0) {
        if (ZipFileSystem::PathExists(target) != 0)
            ZipFileSystem::RemoveFile(target, 0, true);
        ZipFileSystem::RenameFile(current, target);
    }
    return target;
}

void CPkStorage::EndSegmentation()
{
    CString path;
    if (IsSplit()) {
        path = RenameLastVolume();
    } else {
        path = m_pFile->GetFilePath();
        Flush();
        CloseFile();
    }
    m_iFlags |= sfExisting;
    if (m_uCurrentVolume > 0) {
        m_uSplitData = m_uCurrentVolume;
        if (IsSpanned())
            m_szArchivePath = path;
    } else {
        m_pSplitNames.reset();
        m_binarySplitSizes.RemoveAll();
        m_iFlags &= ~sfSegmentBits;
    }
    OpenFile(path, IsSegmented() ? kReadOnlyFlags : kReadWriteFlags);
}

void CPkStorage::ThrowError(int cause) const
{
    CString path = m_szArchivePath;
    if (m_pFile && m_pFile->HasFilePath() && !m_pFile->IsClosed())
        path = m_pFile->GetFilePath();
    ThrowZipException(cause, path);
}
