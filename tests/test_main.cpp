#include "tests/QvTest.h"

#include <string>

namespace qvtest {

namespace {
CString TemporaryFolder()
{
    WCHAR base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    return base;
}
}  // namespace

TempFolder::TempFolder() : TempFolder(TemporaryFolder()) {}

TempFolder::TempFolder(const CString& base)
{
    static LONG counter = 0;
    for (;;) {
        CString candidate;
        candidate.Format(L"%sqvtest-%lu-%ld", (LPCWSTR)base, GetCurrentProcessId(), InterlockedIncrement(&counter));
        if (CreateDirectoryW(candidate, nullptr)) {
            m_path = candidate;
            return;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            throw std::runtime_error("cannot create a temporary folder");
    }
}

TempFolder::~TempFolder() { RemoveTree(m_path); }

CString TempFolder::operator/(const CString& name) const { return m_path + L"\\" + name; }

CString TempFolder::WriteFile(const CString& name, const std::string& bytes) const
{
    CString path = *this / name;
    WriteFileBytes(path, bytes);
    return path;
}

std::string ReadFileBytes(const CString& path)
{
    std::string out;
    HANDLE h = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return out;
    char buf[65536];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got > 0)
        out.append(buf, got);
    CloseHandle(h);
    return out;
}

bool WriteFileBytes(const CString& path, const std::string& bytes)
{
    HANDLE h = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    size_t done = 0;
    bool ok = true;
    while (ok && done < bytes.size()) {
        DWORD chunk = (DWORD)std::min<size_t>(bytes.size() - done, 1 << 20), wrote = 0;
        ok = WriteFile(h, bytes.data() + done, chunk, &wrote, nullptr) && wrote == chunk;
        done += wrote;
    }
    CloseHandle(h);
    return ok;
}

bool FileExists(const CString& path)
{
    DWORD a = GetFileAttributesW(path);
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const CString& path)
{
    DWORD a = GetFileAttributesW(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::string PatternBytes(size_t size, unsigned variant)
{
    std::string out(size, '\0');
    unsigned x = variant * 2654435761u + 12345u;
    for (size_t i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        out[i] = (char)(x >> 24);
    }
    return out;
}

void RemoveTree(const CString& path)
{
    if (path.IsEmpty())
        return;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW(path + L"\\*", &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            CString name = fd.cFileName;
            if (name == L"." || name == L"..")
                continue;
            CString child = path + L"\\" + name;
            SetFileAttributesW(child, FILE_ATTRIBUTE_NORMAL);
            if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                RemoveTree(child);
            else if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveDirectoryW(child);
            else
                DeleteFileW(child);
        } while (FindNextFileW(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryW(path);
}

}  // namespace qvtest

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    // Test programs run side by side in one Wine prefix. Each gets a temporary
    // folder of its own, so a check for files left behind there sees only the
    // files of its own program.
    qvtest::TempFolder temporary;
    CString path = temporary.Path() + L"\\";
    SetEnvironmentVariableW(L"TMP", path);
    SetEnvironmentVariableW(L"TEMP", path);
    return RUN_ALL_TESTS();
}
