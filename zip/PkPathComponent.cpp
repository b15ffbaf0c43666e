#include "zip/PkPathComponent.h"

#include "zip/ZipFileSystem.h"

namespace {
const int kMaxDrive = 2;
const int kMaxDirectory = 32766;
const int kMaxTitle = 255;
const int kMaxExtension = 255;
}  // namespace

void CPkPathComponent::Assign(const CString& path)
{
    CString rest = path;
    int prefix = ZipFileSystem::LongPrefixLength(path);
    if (prefix == 2 || prefix == 4 || prefix == 8) {
        m_szPrefix = path.Left(prefix);
        rest = path.Mid(prefix);
    } else {
        m_szPrefix.Empty();
    }

    int start = 0;
    CString drive, directory, title, extension;
    if (rest.GetLength() >= 2 && rest[1] == L':') {
        drive = rest.Left(2);
        start = 2;
    }
    int lastSeparator = -1;
    for (int i = start; i < rest.GetLength(); ++i)
        if (IsPathSeparator(rest[i]))
            lastSeparator = i;
    int nameStart = start;
    if (lastSeparator >= 0) {
        directory = rest.Mid(start, lastSeparator + 1 - start);
        nameStart = lastSeparator + 1;
    }
    CString name = rest.Mid(nameStart);
    int dot = name.ReverseFind(L'.');
    if (dot >= 0) {
        title = name.Left(dot);
        extension = name.Mid(dot);
    } else {
        title = name;
    }
    if (drive.GetLength() > kMaxDrive || directory.GetLength() > kMaxDirectory || title.GetLength() > kMaxTitle ||
        extension.GetLength() > kMaxExtension) {
        m_szDrive.Empty();
        m_szDirectory.Empty();
        m_szFileTitle.Empty();
        m_szFileExt.Empty();
        return;
    }
    directory.Trim(L'\\');
    if (!extension.IsEmpty())
        extension = extension.Mid(1);
    m_szDrive = drive;
    m_szDirectory = directory;
    m_szFileTitle = title;
    m_szFileExt = extension;
}

CString CPkPathComponent::GetFileName() const
{
    CString name = m_szFileTitle;
    if (!m_szFileExt.IsEmpty())
        name += L"." + m_szFileExt;
    return name;
}

CString CPkPathComponent::GetFolderPath() const
{
    CString path = m_szPrefix + m_szDrive;
    if (!m_szDrive.IsEmpty() && !m_szDirectory.IsEmpty())
        path += L"\\";
    path += m_szDirectory;
    return path;
}

CString CPkPathComponent::GetFullPath() const
{
    CString path = GetFolderPath();
    CString name = GetFileName();
    if (!name.IsEmpty()) {
        if (path.IsEmpty())
            path = L".";
        path += L"\\" + name;
    }
    return path;
}

CString CPkPathComponent::GetPathWithoutDrive() const
{
    CString path = m_szDirectory;
    CString name = GetFileName();
    if (!m_szDirectory.IsEmpty() && !name.IsEmpty())
        path += L"\\";
    return path + name;
}
