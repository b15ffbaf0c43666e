// Set-up shared by the application's benchmarks: fixture folders under the
// temporary folder and their removal, the bare enumeration of a folder that
// the list's and the tree's times are compared with, and a main function
// that runs the benchmarks with OLE started, as the program runs.
#pragma once

#include "bench/BenchSupport.h"

#include "framework/base/CString.h"

#include <ole2.h>

namespace appbench {

// A path in the temporary folder: `name`, then this process's id.
inline CString TempPath(const WCHAR* name)
{
    WCHAR base[MAX_PATH];
    ::GetTempPathW(MAX_PATH, base);
    CString path;
    path.Format(L"%s%s-%lu", base, name, ::GetCurrentProcessId());
    return path;
}

using benchsupport::RemoveTree;

// The seconds a bare enumeration of the folder's entries takes.
inline double EnumerationSeconds(const CString& folder)
{
    double started = benchsupport::Now();
    int count = 0;
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW(folder + L"\\*", &found);
    do {
        ++count;
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    benchmark::DoNotOptimize(count);
    return benchsupport::Now() - started;
}

// Runs the benchmarks named on the command line (all by default).
inline int RunBenchmarks(int argc, char** argv)
{
    ::OleInitialize(nullptr);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    ::OleUninitialize();
    return 0;
}

}  // namespace appbench
