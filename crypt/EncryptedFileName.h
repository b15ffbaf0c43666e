// Encrypted file names: 23 characters, "%02x" + "{" + ten upper-case hex
// digits + "-" + four upper-case hex digits + "}.dat", e.g. "3a{0F12A9BC44-7E01}.dat".
// The plain name lives inside the file.
#pragma once

#include "framework/base/CString.h"

// Derived from the plain name (name and extension) alone: the same name always
// gives the same encrypted name, in any folder and under any password.
CString MakeStaticEncryptedFileName(const CString& plainName);
// A new random encrypted name.
CString MakeRandomEncryptedFileName();

// True when the name is not empty, its first "{" stands at index 1 or later,
// and its first "}" at index 6 or later and after that "{".
bool IsEncryptedFileName(const CString& name);
// IsEncryptedFileName of the path's last component (name and extension).
bool IsEncryptedFilePath(const CString& path);
