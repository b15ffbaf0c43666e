// The one way benchmarks include Google Benchmark: its headers switch to a
// Windows mode when they see _WIN32 and then want MSVC headers, so the Windows
// macros are hidden around them and restored before <windows.h>. Also the
// clock the benchmarks time their own rounds and references with, a folder of
// each run's own for their data, and ratios of paired measurements.
#pragma once

#pragma push_macro("_WIN32")
#pragma push_macro("_WIN64")
#pragma push_macro("WIN32")
#undef _WIN32
#undef _WIN64
#undef WIN32
#include <benchmark/benchmark.h>
#pragma pop_macro("WIN32")
#pragma pop_macro("_WIN64")
#pragma pop_macro("_WIN32")

#include <windows.h>

#include "framework/base/CString.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern "C" char* CDECL wine_get_unix_file_name(const WCHAR* dosName);

namespace benchsupport {

// Seconds on the performance counter.
inline double Now()
{
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return (double)counter.QuadPart / (double)frequency.QuadPart;
}

// Bytes read plus written per second by memcpy over a 256 MiB block, best of three.
inline double CopyBandwidth()
{
    std::vector<uint8_t> a(256u << 20, 1), b(a.size());
    double best = 1e30;
    for (int i = 0; i < 3; ++i) {
        double start = Now();
        memcpy(b.data(), a.data(), a.size());
        best = std::min(best, Now() - start);
    }
    return 2.0 * a.size() / best;
}

// Removes a folder with everything in it.
inline void RemoveTree(const CString& folder)
{
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW(folder + L"\\*", &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            CString name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(folder + L"\\" + name);
            else
                ::DeleteFileW(folder + L"\\" + name);
        } while (::FindNextFileW(search, &found));
        ::FindClose(search);
    }
    ::RemoveDirectoryW(folder);
}

// Wall seconds a shell command takes; a failure is reported on stderr.
inline double TimeShell(const std::string& command)
{
    double start = Now();
    int rc = std::system(command.c_str());
    double seconds = Now() - start;
    if (rc != 0)
        fprintf(stderr, "command failed (%d): %s\n", rc, command.c_str());
    return seconds;
}

inline int Shell(const std::string& command) { return std::system(command.c_str()); }

// What a shell command prints on its standard output.
inline std::string ShellOutput(const std::string& command)
{
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char line[512];
        while (fgets(line, sizeof line, pipe))
            out += line;
        pclose(pipe);
    }
    return out;
}

// Processors this process may run on (taskset narrows them), to give the
// peers the same number of threads.
inline int UsableProcessors()
{
    DWORD_PTR process = 0, system = 0;
    if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system) || process == 0)
        return 1;
    int count = 0;
    for (; process; process &= process - 1)
        ++count;
    return count;
}

// The median of ours[i] / reference[i]: rounds measured side by side on a
// busy machine vary together, so their ratios vary less than either time.
inline double MedianRatio(const std::vector<double>& ours, const std::vector<double>& reference)
{
    std::vector<double> ratios;
    for (size_t i = 0; i < ours.size() && i < reference.size(); ++i)
        if (reference[i] > 0)
            ratios.push_back(ours[i] / reference[i]);
    if (ratios.empty())
        return 0;
    std::sort(ratios.begin(), ratios.end());
    size_t n = ratios.size();
    return n % 2 ? ratios[n / 2] : (ratios[n / 2 - 1] + ratios[n / 2]) / 2;
}

// A number from the environment, or the default.
inline int EnvNumber(const char* name, int fallback)
{
    const char* text = getenv(name);
    return text && atoi(text) > 0 ? atoi(text) : fallback;
}

// A folder of this run's own in the temporary folder, named as
// GetTempFileName names files, so that two runs never share or delete each
// other's data; removed with everything in it when it goes.
class RunFolder {
public:
    explicit RunFolder(const WCHAR* prefix)
    {
        WCHAR temp[MAX_PATH], name[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        // The unique name is taken as a file, then becomes the folder.
        if (GetTempFileNameW(temp, prefix, 0, name) && DeleteFileW(name) && CreateDirectoryW(name, nullptr))
            m_path = name;
        if (char* unixPath = m_path.IsEmpty() ? nullptr : wine_get_unix_file_name(m_path)) {
            m_unixPath = unixPath;
            HeapFree(GetProcessHeap(), 0, unixPath);
        }
    }
    ~RunFolder()
    {
        if (!m_path.IsEmpty())
            RemoveTree(m_path);
    }
    RunFolder(const RunFolder&) = delete;
    RunFolder& operator=(const RunFolder&) = delete;

    bool IsValid() const { return !m_path.IsEmpty() && !m_unixPath.empty(); }
    const CString& Path() const { return m_path; }
    CString operator/(const WCHAR* name) const { return m_path + L"\\" + name; }
    // The same folder for shell commands, quoted.
    std::string Unix(const std::string& name = std::string()) const
    {
        return "'" + m_unixPath + (name.empty() ? "" : "/" + name) + "'";
    }

private:
    CString m_path;
    std::string m_unixPath;
};

}  // namespace benchsupport
