// Names of the volumes of split archives: archive.z01 ... archive.zip for
// split archives, archive.zip.001 ... for binary split ones.
#pragma once

#include "framework/base/CString.h"

class CPkSplitNamesHandler {
public:
    enum Flags { flLast = 1, flExisting = 2 };
    virtual void Initialize(const CString& /*archivePath*/) {}
    // number is 1-based.
    virtual CString GetVolumeName(const CString& archivePath, uint32_t number, int flags) const = 0;
    virtual uint32_t GetVolumeNumber(const CString& /*path*/) const { return 0; }
    virtual ~CPkSplitNamesHandler() = default;
};

class CPkRegularSplitNamesHandler : public CPkSplitNamesHandler {
public:
    void Initialize(const CString& archivePath) override;
    CString GetVolumeName(const CString& archivePath, uint32_t number, int flags) const override;

private:
    CString m_szExtension = L"zip";
};

class CPkBinSplitNamesHandler : public CPkSplitNamesHandler {
public:
    CString GetVolumeName(const CString& archivePath, uint32_t number, int flags) const override;
    uint32_t GetVolumeNumber(const CString& path) const override;
};
