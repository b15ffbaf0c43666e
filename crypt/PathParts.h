// Splitting paths the way the system's path splitter does: an optional drive
// ("X:"), the folder up to the last "\" or "/", and the file part (name and
// extension, the extension from the last "."); and the names the system takes
// for a device.
#pragma once

#include "framework/base/CString.h"

// Name and extension: the text after the last separator (or after the drive).
CString PathFilePart(const CString& path);
// Drive and folder, with the trailing separator: everything before the file part.
CString PathFolderPart(const CString& path);
// The extension of a file part, from its last "." (with the dot), or "".
CString FileExtension(const CString& filePart);

// True for a name the system opens as a device in whatever folder it stands:
// con, prn, aux, nul, com1-com9, lpt1-lpt9, conin$ and conout$, in any case,
// alone or with any extension ("aux.c", "NUL.tar.gz"), and with blanks or
// ":" before the extension. A file of such a name on this platform's disks is
// never reached through its plain path.
bool IsDeviceName(const CString& filePart);
