// CPkPathComponent: splits a path into long-path prefix, drive, folder, title
// and extension, and joins the parts again.
#pragma once

#include "framework/base/CString.h"

class CPkPathComponent {
public:
    CPkPathComponent() = default;
    explicit CPkPathComponent(const CString& path) { Assign(path); }
    virtual ~CPkPathComponent() = default;

    void Assign(const CString& path);

    CString GetFileName() const;
    CString GetFolderPath() const;
    CString GetFullPath() const;
    CString GetPathWithoutDrive() const;
    CString GetDrive() const { return m_szDrive; }
    CString GetFolder() const { return m_szDirectory; }
    CString GetTitle() const { return m_szFileTitle; }
    CString GetExtension() const { return m_szFileExt; }
    CString GetPrefix() const { return m_szPrefix; }
    void SetExtension(const CString& extension) { m_szFileExt = extension; }

private:
    CString m_szDirectory;
    CString m_szFileTitle;
    CString m_szFileExt;
    CString m_szDrive;
    CString m_szPrefix;
};

inline bool IsPathSeparator(WCHAR c) { return c == L'\\' || c == L'/'; }
