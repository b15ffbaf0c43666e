// CPkMemFile: a growable archive file in memory (the add operation's
// compression trial). Positions and lengths are 32-bit; anything beyond is
// refused with cause 505.
#pragma once

#include "zip/PkAbstractFile.h"

class CPkMemFile : public CPkAbstractFile {
public:
    CPkMemFile() = default;
    ~CPkMemFile() override { Close(); }
    CPkMemFile(const CPkMemFile&) = delete;
    CPkMemFile& operator=(const CPkMemFile&) = delete;

    void Close() override;
    void Flush() override {}
    ULONGLONG GetPosition() const override { return m_nPos; }
    ULONGLONG Seek(LONGLONG offset, UINT origin) override;
    ULONGLONG GetLength() const override { return m_nDataSize; }
    void SetLength(ULONGLONG length) override;
    CString GetFilePath() const override { return CString(); }
    bool HasFilePath() const override { return false; }
    UINT Read(void* buffer, UINT count) override;
    void Write(const void* buffer, UINT count) override;
    bool IsClosed() const override { return m_lpBuf == nullptr; }

    uint32_t GetCapacity() const { return m_nBufSize; }
    const char* GetData() const { return m_lpBuf; }

private:
    // Makes room for n bytes: at least doubling, in whole growth steps.
    void Grow(ULONGLONG n);

    uint32_t m_nGrowBy = 1024;
    uint32_t m_nPos = 0;
    uint32_t m_nBufSize = 0;
    uint32_t m_nDataSize = 0;
    char* m_lpBuf = nullptr;
    bool m_bAutoDelete = true;
};
