#include "crypt/PathParts.h"

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
