#include "doc/JobNames.h"

#include "crypt/FileOps.h"
#include "crypt/PathParts.h"

#include <windows.h>

namespace {

bool IsHexDigit(WCHAR ch) { return (ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'f') || (ch >= 'A' && ch <= 'F'); }

}  // namespace

bool IsGeneratedEncryptedFileName(const CString& name)
{
    // "hh{hhhhhhhhhh-hhhh}.dat"
    static const char kShape[] = "xx{xxxxxxxxxx-xxxx}";
    const int shapeLength = (int)sizeof kShape - 1;
    if (name.GetLength() != shapeLength + 4 || name.Right(4).CompareNoCase(L".dat") != 0)
        return false;
    for (int i = 0; i < shapeLength; ++i) {
        bool ok = kShape[i] == 'x' ? IsHexDigit(name[i]) : name[i] == (WCHAR)kShape[i];
        if (!ok)
            return false;
    }
    return true;
}

bool PathIsTaken(const CString& path)
{
    return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES || CFileOps::IsLink(path);
}

bool IsUsableNamePart(const CString& name)
{
    if (name.IsEmpty() || name == L"." || name == L".." || IsDeviceName(name))
        return false;
    for (int i = 0; i < name.GetLength(); ++i) {
        WCHAR ch = name[i];
        if (ch < 0x20 || ch == 0x7F || ch == '\\' || ch == '/' || ch == ':')
            return false;
    }
    return true;
}

CString UniqueNameInFolder(const CString& folder, const CString& name)
{
    return UniqueNameInFolder(name, [&](const CString& candidate) { return PathIsTaken(folder + candidate); });
}

CString UniqueNameInFolder(const CString& name, const std::function<bool(const CString& name)>& taken)
{
    if (!taken(name))
        return name;
    CString extension = FileExtension(name);
    // A leading dot alone (".profile") is a name, not an extension.
    if (extension.GetLength() == name.GetLength())
        extension.Empty();
    CString stem = name.Left(name.GetLength() - extension.GetLength());
    for (int n = 2;; ++n) {
        CString number;
        number.Format(L" (%d)", n);
        CString candidate = stem + number + extension;
        if (!taken(candidate))
            return candidate;
    }
}

CString ShortenedStoredName(const CString& storedName)
{
    CString extension = L".ZZZ";
    int dot = storedName.ReverseFind(L'.');
    if (dot > 0 && IsUsableNamePart(storedName.Mid(dot)))
        extension = storedName.Mid(dot);
    CString stem = L"_file";
    if (storedName.GetLength() > 20 && IsUsableNamePart(storedName.Left(20)))
        stem = storedName.Left(20);
    CString shortName = stem + extension;
    return IsUsableNamePart(shortName) ? shortName : CString(L"_file.ZZZ");
}

CString NetworkLongPath(const CString& path)
{
    if (path.Left(2) != L"\\\\" || path.Left(4) == L"\\\\?\\" || path.Left(4) == L"\\\\.\\")
        return path;
    return L"\\\\?\\UNC\\" + path.Mid(2);
}
