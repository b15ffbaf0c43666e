// Runs the qcrypt console tool, built beside the test programs, as its own
// process: an independent reader and writer of encrypted files for tests.
#pragma once

#include "framework/base/CString.h"

#include <windows.h>

#include <string>

namespace qvtest {

struct QCryptRun {
    bool started = false;
    DWORD exitCode = 0xFFFFFFFF;  // until the tool has run
    std::string output;  // standard output (UTF-8), trailing line ends removed
};

// The folder of the running test program, with its final "\".
inline CString TestProgramFolder()
{
    WCHAR self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    CString path = self;
    return path.Left(path.ReverseFind(L'\\') + 1);
}

inline CString QCryptPath() { return TestProgramFolder() + L"qcrypt.exe.so"; }

inline CString Quoted(const CString& text) { return L"\"" + text + L"\""; }

// qcrypt with `arguments`; its standard error and input are the null device.
inline QCryptRun RunQCrypt(const CString& arguments)
{
    QCryptRun run;
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!::CreatePipe(&readEnd, &writeEnd, &inherit, 0))
        return run;
    ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    HANDLE nul = ::CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0,
                               nullptr);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = nul;
    startup.hStdInput = nul;
    PROCESS_INFORMATION process = {};
    CString commandLine = Quoted(QCryptPath()) + L" " + arguments;
    run.started = ::CreateProcessW(nullptr, commandLine.GetBuffer(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                   &startup, &process) != FALSE;
    ::CloseHandle(writeEnd);
    ::CloseHandle(nul);
    if (!run.started) {
        ::CloseHandle(readEnd);
        return run;
    }
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got)
        run.output.append(buffer, got);
    ::CloseHandle(readEnd);
    ::WaitForSingleObject(process.hProcess, INFINITE);
    ::GetExitCodeProcess(process.hProcess, &run.exitCode);
    ::CloseHandle(process.hProcess);
    ::CloseHandle(process.hThread);
    while (!run.output.empty() && (run.output.back() == '\n' || run.output.back() == '\r'))
        run.output.pop_back();
    return run;
}

}  // namespace qvtest
