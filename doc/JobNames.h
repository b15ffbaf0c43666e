// The names the jobs choose for the files and folders they create.
#pragma once

#include "framework/base/CString.h"

#include <functional>

// True only for a name exactly as the encrypted-name generator makes it: two
// hex digits, "{", ten hex digits, "-", four hex digits, "}.dat" (hex digits
// and the extension in either case). A plain "Setup{1234-5678}.log" is not one.
bool IsGeneratedEncryptedFileName(const CString& name);

// True when the name can be one component of a path: not empty, not "." or
// "..", no name of a device (IsDeviceName), and without "\", "/", ":" or
// control characters.
bool IsUsableNamePart(const CString& name);

// True when anything stands at the path, a link whose target is gone
// included (a new file there would be made through it).
bool PathIsTaken(const CString& path);

// The name itself when nothing of that name (PathIsTaken) exists in `folder` (which ends in a separator), else the first free
// "stem (n).ext" from n = 2.
CString UniqueNameInFolder(const CString& folder, const CString& name);
// The same with `taken` telling whether a name is in use in the folder.
CString UniqueNameInFolder(const CString& name, const std::function<bool(const CString& name)>& taken);

// The short name the decryption falls back to when a stored name cannot be
// created: its first 20 characters when it is longer than 20, else "_file",
// followed by its extension (from the last "." after its first character) or
// ".ZZZ"; parts that cannot stand in a path are replaced by those defaults.
CString ShortenedStoredName(const CString& storedName);

// A network path "\\server\..." in its long form "\\?\UNC\server\...";
// every other path unchanged.
CString NetworkLongPath(const CString& path);
