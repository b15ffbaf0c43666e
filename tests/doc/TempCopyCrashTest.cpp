// A plain temporary copy outlives no crash: a run of this program (a child
// process) makes the copy, for the program's player, for another program or
// by the large-file job, and is killed while it has it; the next start of
// the document wipes the copy and its placeholder.
#include "tests/doc/JobTestSupport.h"

#include "crypt/FileCipher.h"
#include "crypt/EncryptedFileName.h"

using namespace jobtest;

namespace {

const WCHAR kSourceVariable[] = L"QV_CRASH_CHILD_SOURCE";
const WCHAR kReadyVariable[] = L"QV_CRASH_CHILD_READY";
const WCHAR kPassword[] = L"crash password";

CString Variable(const WCHAR* name)
{
    WCHAR value[MAX_PATH * 2] = {};
    DWORD length = ::GetEnvironmentVariableW(name, value, MAX_PATH * 2);
    return length > 0 && length < MAX_PATH * 2 ? CString(value) : CString();
}

uint64_t SizeOf(const CString& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(path, GetFileExInfoStandard, &data))
        return 0;
    return ((uint64_t)data.nFileSizeHigh << 32) | data.nFileSizeLow;
}

CString FolderOf(const CString& path) { return path.Left(path.ReverseFind(L'\\')); }

// This test program again, running only the child's part.
class ChildRun {
public:
    ChildRun(const CString& source, const CString& ready)
    {
        // The winelib program itself: its launcher script beside it would run
        // as a Unix process, with no process handle to end it by.
        WCHAR self[MAX_PATH] = {};
        ::GetModuleFileNameW(nullptr, self, MAX_PATH);
        CString program = self;
        if (program.Right(3).CompareNoCase(L".so") != 0)
            program += L".so";
        CString commandLine = L"\"" + program +
                              L"\" --gtest_also_run_disabled_tests "
                              L"--gtest_filter=TempCopyCrash.DISABLED_ChildMakesACopyAndWaitsToBeKilled";
        ::SetEnvironmentVariableW(kSourceVariable, source);
        ::SetEnvironmentVariableW(kReadyVariable, ready);
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        m_started = ::CreateProcessW(nullptr, commandLine.GetBuffer(0), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                     &startup, &m_process) && m_process.hProcess;
        ::SetEnvironmentVariableW(kSourceVariable, nullptr);
        ::SetEnvironmentVariableW(kReadyVariable, nullptr);
    }
    ~ChildRun() { Kill(); }
    bool Started() const { return m_started; }
    bool Ended(DWORD milliseconds) const
    {
        return m_started && ::WaitForSingleObject(m_process.hProcess, milliseconds) == WAIT_OBJECT_0;
    }
    // As a crash ends it: no destructor, no clean-up of its own.
    void Kill()
    {
        if (!m_started)
            return;
        ::TerminateProcess(m_process.hProcess, 9);
        ::WaitForSingleObject(m_process.hProcess, 30000);
        ::CloseHandle(m_process.hThread);
        ::CloseHandle(m_process.hProcess);
        m_started = false;
    }

private:
    PROCESS_INFORMATION m_process = {};
    bool m_started = false;
};

class TempCopyCrash : public JobTest {};

}  // namespace

TEST_F(TempCopyCrash, APlainCopyLeftByAKilledRunIsWipedAtTheNextStartOfTheDocument)
{
    struct Row {
        const char* what;  // the kind of copy, and the fault of a row that fails
        const WCHAR* plainName;
        size_t size;
    };
    const Row rows[] = {
        {"a video copy for the program's player was never noted", L"clip.mp4", 200000},
        {"a copy for another program was noted only after it was written", L"notes.txt", 3000},
        {"a large copy being written by the job was noted only after the job started", L"big.bin", 10000001 + 1000},
    };
    SetPassword(kPassword);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        CString plain = MakeFolder(L"plain") + L"\\" + row.plainName;
        ASSERT_TRUE(qvtest::WriteFileBytes(plain, qvtest::PatternBytes(row.size, 7)));
        CString encrypted = Path(MakeRandomEncryptedFileName());
        CString stored;
        ASSERT_EQ(CFileCipher().CryptFile(plain, encrypted, CRYPT_MODE_ENCRYPT, stored, nullptr, TRUE), CRYPT_OK);
        ::DeleteFileW(plain);

        CString ready = Path(L"ready.txt");
        ::DeleteFileW(ready);
        CString copy;
        {
            ChildRun child(encrypted, ready);
            ASSERT_TRUE(child.Started()) << "cannot start " << ::GetLastError();
            // The child names its copy, then waits; it is killed once plain bytes are in it.
            for (DWORD start = ::GetTickCount(); ::GetTickCount() - start < 60000 && !child.Ended(0); ::Sleep(20)) {
                if (copy.IsEmpty() && qvtest::FileExists(ready))
                    copy = CString::FromUtf8(qvtest::ReadFileBytes(ready).c_str());
                if (!copy.IsEmpty() && SizeOf(copy) > 0)
                    break;
            }
            ASSERT_FALSE(copy.IsEmpty()) << "the child made no copy";
            ASSERT_GT(SizeOf(copy), 0u) << "no plain bytes in " << copy.ToUtf8();
            child.Kill();
        }
        ASSERT_TRUE(qvtest::FileExists(copy)) << "the killed run's copy stays for now";

        { COrvantisDoc next; }
        EXPECT_FALSE(qvtest::FileExists(copy)) << copy.ToUtf8();
        EXPECT_FALSE(qvtest::FileExists(copy.Left(copy.Find(L".tmp") + 4))) << "its placeholder goes too";
        // The child's own temporary folder, which it never removed.
        qvtest::RemoveTree(FolderOf(copy));
        ::DeleteFileW(encrypted);
        ::DeleteFileW(ready);
    }
}

// The child's part: opens the copy as the view does and waits, pumping the
// job's reports, until it is killed.
TEST_F(TempCopyCrash, DISABLED_ChildMakesACopyAndWaitsToBeKilled)
{
    CString source = Variable(kSourceVariable), ready = Variable(kReadyVariable);
    ASSERT_FALSE(source.IsEmpty() || ready.IsEmpty()) << "run by the test above only";
    SetPassword(kPassword);
    TempOpenInfo info;
    CString copy = m_doc->OpenTempDecrypted(source, info, true);
    ASSERT_FALSE(copy.IsEmpty());
    ASSERT_TRUE(qvtest::WriteFileBytes(ready + L".part", copy.ToUtf8()));
    ASSERT_TRUE(::MoveFileW(ready + L".part", ready));
    // Never for long, should the test above end without killing it.
    for (DWORD start = ::GetTickCount(); ::GetTickCount() - start < 120000;) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 1000, QS_ALLINPUT);
    }
    ::TerminateProcess(::GetCurrentProcess(), 1);
}
