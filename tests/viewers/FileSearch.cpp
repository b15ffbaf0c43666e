// A walk of unix folders for files holding given bytes. Plain POSIX, kept
// apart from the Windows headers.
#include <dirent.h>
#include <sys/stat.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace picturetest {

namespace {

const long long kLargestFileRead = 256ll << 20;

bool Holds(const std::string& path, const std::vector<std::string>& patterns)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return false;
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    for (const std::string& pattern : patterns)
        if (!pattern.empty() && bytes.find(pattern) != std::string::npos)
            return true;
    return false;
}

void Walk(const std::string& folder, const std::vector<std::string>& patterns, long long since,
          std::vector<std::string>& found)
{
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return;
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        std::string path = folder + "/" + name;
        struct stat info;
        if (lstat(path.c_str(), &info) != 0)
            continue;
        if (S_ISDIR(info.st_mode))
            Walk(path, patterns, since, found);
        else if (S_ISREG(info.st_mode) && (long long)info.st_mtime >= since && info.st_size <= kLargestFileRead &&
                 Holds(path, patterns))
            found.push_back(path);
    }
    closedir(dir);
}

}  // namespace

std::vector<std::string> FilesHolding(const std::vector<std::string>& roots,
                                      const std::vector<std::string>& patterns, long long since)
{
    std::vector<std::string> found;
    for (const std::string& root : roots)
        Walk(root, patterns, since, found);
    return found;
}

}  // namespace picturetest
