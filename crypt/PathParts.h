// Splitting paths the way the system's path splitter does: an optional drive
// ("X:"), the folder up to the last "\" or "/", and the file part (name and
// extension, the extension from the last ".").
#pragma once

#include "framework/base/CString.h"

// Name and extension: the text after the last separator (or after the drive).
CString PathFilePart(const CString& path);
// Drive and folder, with the trailing separator: everything before the file part.
CString PathFolderPart(const CString& path);
// The extension of a file part, from its last "." (with the dot), or "".
CString FileExtension(const CString& filePart);
