// Files made, read and removed on the Unix side, for what the system cannot
// make or would follow: symbolic links, and files named like devices ("nul",
// "aux.c"), which the system opens as devices.
#pragma once

#include "tests/QvTest.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

extern "C" char* CDECL wine_get_unix_file_name(const WCHAR* dosName);

namespace qvunix {

// The Unix form of a full path of this program ("X:\..."); "" when it has
// none. The long form "\\?\X:\..." keeps a name like "aux.c" from being
// taken for the device.
inline std::string UnixPath(const CString& path)
{
    char* unixPath = wine_get_unix_file_name(L"\\\\?\\" + path);
    std::string out = unixPath ? unixPath : "";
    if (unixPath)
        HeapFree(GetProcessHeap(), 0, unixPath);
    return out;
}

// The Unix path of `name` in `folder`.
inline std::string Child(const CString& folder, const std::string& name) { return UnixPath(folder) + "/" + name; }

// A symbolic link `name` in `folder` that leads to `target`.
inline bool MakeLink(const CString& folder, const std::string& name, const CString& target)
{
    return symlink(UnixPath(target).c_str(), Child(folder, name).c_str()) == 0;
}

inline bool IsLink(const CString& folder, const std::string& name)
{
    struct stat info;
    return lstat(Child(folder, name).c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

inline bool WriteFile(const CString& folder, const std::string& name, const std::string& bytes)
{
    FILE* file = fopen(Child(folder, name).c_str(), "wb");
    if (!file)
        return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return fclose(file) == 0 && ok;
}

// The content of a file; "<missing>" when it cannot be opened.
inline std::string ReadFile(const CString& folder, const std::string& name)
{
    FILE* file = fopen(Child(folder, name).c_str(), "rb");
    if (!file)
        return "<missing>";
    std::string out;
    char buffer[4096];
    for (size_t got; (got = fread(buffer, 1, sizeof buffer, file)) > 0;)
        out.append(buffer, got);
    fclose(file);
    return out;
}

inline void RemoveUnixTree(const std::string& path);

// Removes what a Unix folder holds, without following links.
inline void RemoveUnixChildren(const std::string& folder)
{
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return;
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..")
            RemoveUnixTree(folder + "/" + name);
    }
    closedir(dir);
}

// Removes a Unix tree without following links, as "rm -rf" does.
inline void RemoveUnixTree(const std::string& path)
{
    struct stat info;
    if (lstat(path.c_str(), &info) != 0)
        return;
    if (S_ISDIR(info.st_mode)) {
        RemoveUnixChildren(path);
        rmdir(path.c_str());
    } else {
        unlink(path.c_str());
    }
}

// Empties a folder of this program on the Unix side when it goes out of scope,
// before the folder's own clean-up, which would follow links and open devices.
class TreeCleaner {
public:
    explicit TreeCleaner(const CString& folder) : m_folder(UnixPath(folder)) {}
    ~TreeCleaner()
    {
        if (!m_folder.empty())
            RemoveUnixChildren(m_folder);
    }
    TreeCleaner(const TreeCleaner&) = delete;
    TreeCleaner& operator=(const TreeCleaner&) = delete;

private:
    std::string m_folder;
};

}  // namespace qvunix
