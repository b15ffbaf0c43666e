#include "zip/PkSplitNames.h"

#include "zip/PkPathComponent.h"

void CPkRegularSplitNamesHandler::Initialize(const CString& archivePath)
{
    m_szExtension = CPkPathComponent(archivePath).GetExtension();
}

CString CPkRegularSplitNamesHandler::GetVolumeName(const CString& archivePath, uint32_t number, int flags) const
{
    CPkPathComponent parts(archivePath);
    CString extension;
    if (flags & flLast)
        extension = m_szExtension;
    else if (number < 100)
        extension.Format(L"z%.2u", number);
    else
        extension.Format(L"z%u", number);
    parts.SetExtension(extension);
    return parts.GetFullPath();
}

CString CPkBinSplitNamesHandler::GetVolumeName(const CString& archivePath, uint32_t number, int flags) const
{
    CString extension;
    if (number < 1000)
        extension.Format(L"%.3u", number);
    else
        extension.Format(L"%u", number);
    if (!(flags & flExisting))
        return archivePath + L"." + extension;
    CPkPathComponent parts(archivePath);
    parts.SetExtension(extension);
    return parts.GetFullPath();
}

uint32_t CPkBinSplitNamesHandler::GetVolumeNumber(const CString& path) const
{
    CString extension = CPkPathComponent(path).GetExtension();
    if (extension.GetLength() < 3)
        return 0;
    uint32_t number = 0;
    for (int i = 0; i < extension.GetLength(); ++i) {
        WCHAR c = extension[i];
        if (c < L'0' || c > L'9')
            return 0;
        number = number * 10 + (uint32_t)(c - L'0');
        if (number > 65535)
            return 0;
    }
    return number >= 1 ? number : 0;
}
