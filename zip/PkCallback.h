// Progress callbacks supplied by users of the library, the volume callback of
// segmented archives, and the registry that holds them by type.
#pragma once

#include "framework/base/CString.h"

#include <cstdint>
#include <map>

class CPkActionCallback {
public:
    enum CallbackType {
        cbNothing = 0,
        cbAdd = 0x0001,
        cbAddTmp = 0x0002,
        cbAddStore = 0x0004,
        cbExtract = 0x0008,
        cbTest = 0x0040,
        cbSave = 0x0080,
        cbRename = 0x0200,
        cbMoveData = 0x0400,
        cbAll = 0x1FFFF,
    };

    virtual ~CPkActionCallback() = default;
    virtual void Init(const WCHAR* entryName, const WCHAR* filePath)
    {
        m_szEntryName = entryName;
        m_szPath = filePath;
        m_iCounter = 1;
        m_uAccumulated = 0;
    }
    virtual void SetTotal(uint64_t total) { m_uTotal = total; }
    virtual void CallbackEnd() {}
    // False stops the operation.
    virtual bool Callback(uint64_t progress) = 0;

    // Calls Callback every m_iStep requests with the accumulated progress.
    bool RequestCallback(uint64_t progress = 1);
    bool RequestLastCallback(uint64_t progress = 0);

    CallbackType m_iType = cbNothing;
    int m_iStep = 1;
    int m_iCounter = 1;
    uint64_t m_uAccumulated = 0;

protected:
    CString m_szEntryName;
    CString m_szPath;
    uint64_t m_uTotal = 0;
};

// Asked for a volume's file name; the storage sets the fields before the call.
class ZipVolumeCallback {
public:
    enum Code { cdInsertVolume = 0, cdNewVolume = 1, cdFileExists = 2, cdCannotLabel = 3, cdCannotCreate = 4,
                cdNotFound = 5 };
    virtual ~ZipVolumeCallback() = default;
    // needed: bytes for a new volume, -1 for the last one, 0 when reading.
    virtual bool Callback(int64_t needed) = 0;

    CString m_szFileName;
    uint32_t m_uVolumeNumber = 0;  // 1-based
    int m_iCode = 0;
};

// Tells a callback (or nothing) its end when it goes out of scope.
class CPkCallbackScope {
public:
    explicit CPkCallbackScope(CPkActionCallback* callback) : m_callback(callback) {}
    ~CPkCallbackScope()
    {
        if (m_callback)
            m_callback->CallbackEnd();
    }
    CPkCallbackScope(const CPkCallbackScope&) = delete;
    CPkCallbackScope& operator=(const CPkCallbackScope&) = delete;

private:
    CPkActionCallback* m_callback;
};

namespace PkArchiveLib {
// Registered callbacks by type; does not own them.
class CPkCallbackProvider {
public:
    void Set(CPkActionCallback* callback, int mask);
    CPkActionCallback* Get(CPkActionCallback::CallbackType type) const;

private:
    std::map<int, CPkActionCallback*> m_callbacks;
};
}  // namespace PkArchiveLib
