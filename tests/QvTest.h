// The one way tests include GoogleTest: its headers switch to a Windows mode
// when they see _WIN32 and then want MSVC headers, so hide the Windows macros
// around them and restore them before <windows.h>.
#pragma once

#pragma push_macro("_WIN32")
#pragma push_macro("_WIN64")
#pragma push_macro("WIN32")
#undef _WIN32
#undef _WIN64
#undef WIN32
#include <gtest/gtest.h>
#pragma pop_macro("WIN32")
#pragma pop_macro("_WIN64")
#pragma pop_macro("_WIN32")

#include <windows.h>
#include <ostream>
#include <string>

#include "framework/base/CString.h"

// GoogleTest's wide printers assume a 4-byte wchar_t; print our strings as UTF-8.
inline void PrintTo(const CString& s, std::ostream* os) { *os << '"' << s.ToUtf8() << '"'; }

namespace qvtest {
// A fresh folder under the temporary folder, removed with its contents on destruction.
class TempFolder {
public:
    TempFolder();
    // A new folder in `parent` (ending in "\\") instead of the temporary folder.
    explicit TempFolder(const CString& parent);
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const CString& Path() const { return m_path; }
    // Path of a child: Path() + "\" + name.
    CString operator/(const CString& name) const;
    // Writes bytes to a child file and returns its path.
    CString WriteFile(const CString& name, const std::string& bytes) const;

private:
    CString m_path;
};

// Whole-file helpers for fixtures.
std::string ReadFileBytes(const CString& path);
bool WriteFileBytes(const CString& path, const std::string& bytes);
bool FileExists(const CString& path);
bool FolderExists(const CString& path);
// Deterministic pseudo-random bytes for fixtures.
std::string PatternBytes(size_t size, unsigned variant = 1);
// Removes a folder tree (files first); used by TempFolder and by tests.
void RemoveTree(const CString& path);
}  // namespace qvtest
