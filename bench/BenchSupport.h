// The one way benchmarks include Google Benchmark: its headers switch to a
// Windows mode when they see _WIN32 and then want MSVC headers, so the Windows
// macros are hidden around them and restored before <windows.h>. Also the
// clock the benchmarks time their own rounds and references with, and the
// removal of their fixture folders.
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

namespace benchsupport {

// Seconds on the performance counter.
inline double Now()
{
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return (double)counter.QuadPart / (double)frequency.QuadPart;
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

}  // namespace benchsupport
