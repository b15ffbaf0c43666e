// CPkStorage: the archive's byte channel. Owns the archive file (or uses a
// caller's file), buffers writes, knows the bytes before the archive and runs
// split, binary split and spanned volumes.
#pragma once

#include "framework/base/Collections.h"
#include "zip/PkAbstractFile.h"
#include "framework/base/PkAutoBuffer.h"
#include "zip/PkCallback.h"
#include "zip/PkSplitNames.h"

#include <cstdint>
#include <memory>

class CPkStorage {
public:
    enum Flags {
        sfOpen = 0x01,
        sfReadOnly = 0x02,
        sfOwnFile = 0x04,
        sfExisting = 0x08,
        sfSegmented = 0x10,
        sfSplit = 0x30,
        sfBinarySplit = 0x70,
        sfSpanned = 0x90,
        sfSegmentBits = 0xF0,
    };
    enum OpenMode {
        omOpen = 0x01,
        omReadOnly = 0x03,
        omCreate = 0x04,
        omAppend = 0x0C,
        omSplit = 0x100,
        omBinarySplit = 0x200,
        omSpanned = 0x400,
    };

    CPkStorage();
    virtual ~CPkStorage();

    void OpenStorage(const CString& path, int mode, uint64_t volumeSize);
    void OpenMemory(CPkAbstractFile& file, int mode);
    // The archive path to report.
    CString CloseStorage(bool directoryWritten, bool notAfterFailure);

    // Reads exactly count bytes (cause 201 when short); inOnePiece keeps the
    // read on one volume (not for binary split archives).
    uint32_t Read(void* buffer, uint32_t count, bool inOnePiece);
    void Write(const void* buffer, uint32_t count, bool inOnePiece);
    void Flush();
    // Writes the buffer and the file's own buffers.
    void FlushFile();
    // Drops what the write buffer holds (after a failed entry).
    void DiscardWriteBuffer() { m_uBytesInWriteBuffer = 0; }
    uint64_t GetPosition() const;
    uint32_t AssureFree(uint32_t needed);
    uint32_t GetFreeVolumeSpace() const;
    void ChangeVolume(uint16_t volume);
    void SeekInBinarySplit(int64_t offset, bool fromStart);
    // Moves to a logical position of the archive (flushing first): on its
    // volume for binary split archives, else on the current volume.
    void SeekToLogical(uint64_t position);
    // Seeks the current file to an absolute position, flushing first.
    void SeekFile(uint64_t position);
    // File offset of the end record's signature in the current volume, or -1.
    int64_t FindEndRecord();
    void SetupFromDirectory(uint16_t volume);
    void EndSegmentation();
    [[noreturn]] void ThrowError(int cause) const;

    bool IsOpen() const { return (m_iFlags & sfOpen) != 0; }
    bool IsReadOnly() const { return (m_iFlags & sfReadOnly) != 0; }
    bool IsExisting() const { return (m_iFlags & sfExisting) != 0; }
    bool IsSegmented() const { return (m_iFlags & sfSegmented) != 0; }
    bool IsSplit() const { return (m_iFlags & sfSplit) == sfSplit; }
    bool IsBinarySplit() const { return (m_iFlags & sfBinarySplit) == sfBinarySplit; }
    bool IsSpanned() const { return (m_iFlags & sfSpanned) == sfSpanned; }
    bool IsNewSegmented() const { return IsSegmented() && !IsExisting(); }
    bool IsExistingSegmented() const { return IsSegmented() && IsExisting(); }
    void SetReadOnly() { m_iFlags |= sfReadOnly; }
    int GetFlags() const { return m_iFlags; }

    uint16_t GetCurrentVolume() const { return m_uCurrentVolume; }
    uint64_t GetBytesBeforeZip() const { return m_uBytesBeforeZip; }
    void SetBytesBeforeZip(uint64_t bytes) { m_uBytesBeforeZip = bytes; }
    // Bytes before the archive when on the first volume, else 0.
    uint64_t GetFileOffsetBase() const { return m_uCurrentVolume == 0 ? m_uBytesBeforeZip : 0; }
    CPkAbstractFile* GetFile() const { return m_pFile; }
    const CString& GetArchivePath() const { return m_szArchivePath; }
    uint32_t GetBufferFill() const { return m_uBytesInWriteBuffer; }
    uint32_t GetWriteBufferSize() const { return m_iWriteBufferSize; }
    char* GetWriteBuffer() { return m_pWriteBuffer.GetBuffer(); }
    void SetBufferFill(uint32_t fill) { m_uBytesInWriteBuffer = fill; }
    uint64_t GetBytesWrittenToVolume() const { return m_uBytesWritten; }
    void SetBytesWrittenToVolume(uint64_t bytes) { m_uBytesWritten = bytes; }
    uint64_t GetLastVolumeNumber() const { return m_uSplitData; }

    int m_iWriteBufferSize = 65536;
    int m_iLocateBufferSize = 32768;
    ZipVolumeCallback* m_pSpanChangeVolumeFunc = nullptr;
    ZipVolumeCallback* m_pSplitChangeVolumeFunc = nullptr;

private:
    void OpenFile(const CString& path, UINT flags);
    void StartNextVolume(uint32_t needed);
    void WriteToBuffer(const char* buffer, uint32_t count);
    CString RenameLastVolume();
    void CloseFile();
    uint64_t VolumeLength(uint16_t volume) const;
    uint16_t LastVolume() const { return (uint16_t)m_uSplitData; }

    CPkAbstractFile* m_pFile = nullptr;
    uint64_t m_uSplitData = 0;
    uint32_t m_uBytesInWriteBuffer = 0;
    uint64_t m_uCurrentVolSize = 0;
    CPkAutoBuffer m_pWriteBuffer;
    uint64_t m_uBytesWritten = 0;
    uint16_t m_uCurrentVolume = 0xFFFF;
    uint64_t m_uBytesBeforeZip = 0;
    ZipVolumeCallback* m_pChangeVolumeFunc = nullptr;
    int m_iFlags = 0;
    CString m_szArchivePath;
    CPkFile m_internalFile;
    std::unique_ptr<CPkSplitNamesHandler> m_pSplitNames;
    CArray<uint64_t> m_binarySplitSizes;  // lengths of all volumes, in order
};
