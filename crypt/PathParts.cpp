#include "crypt/PathParts.h"

#include <windows.h>

namespace {

int FilePartStart(const CString& path)
{
    int start = (path.GetLength() >= 2 && path[1] == L':') ? 2 : 0;
    for (int i = path.GetLength() - 1; i >= start; --i)
        if (path[i] == L'\\' || path[i] == L'/')
            return i + 1;
    return start;
}

}  // namespace

CString PathFilePart(const CString& path) { return path.Mid(FilePartStart(path)); }

CString PathFolderPart(const CString& path) { return path.Left(FilePartStart(path)); }

CString FileExtension(const CString& filePart)
{
    int dot = filePart.ReverseFind(L'.');
    return dot < 0 ? CString() : filePart.Mid(dot);
}

bool IsDeviceName(const CString& filePart)
{
    static const WCHAR* const kDevices[] = {L"con", L"prn", L"aux", L"nul", L"conin$", L"conout$"};
    // The system looks at the text before the first "." only.
    CString stem = filePart;
    stem.TrimRight(L':');
    int dot = stem.Find(L'.');
    if (dot >= 0)
        stem = stem.Left(dot);
    stem.TrimRight(L" :");
    for (const WCHAR* device : kDevices)
        if (stem.CompareNoCase(device) == 0)
            return true;
    if (stem.GetLength() != 4 || stem[3] < L'1' || stem[3] > L'9')
        return false;
    CString port = stem.Left(3);
    return port.CompareNoCase(L"com") == 0 || port.CompareNoCase(L"lpt") == 0;
}
