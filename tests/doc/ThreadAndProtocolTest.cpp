#include "tests/doc/JobTestSupport.h"

#include "crypt/FileCipher.h"
#include "framework/base/Thread.h"
#include "framework/base/MessagePump.h"

#include <atomic>
#include <string>
#include <vector>

using namespace jobtest;

namespace {

// A thread body given as a function.
class FunctionThread : public CThread {
public:
    explicit FunctionThread(std::function<void(FunctionThread&)> body) : m_body(std::move(body)) {}
    ~FunctionThread() override { Stop(); }
    void Run() override { m_body(*this); }

private:
    std::function<void(FunctionThread&)> m_body;
};

// Waits until the condition holds, at most 30 s; true when it held.
template <class Condition>
bool SpinUntil(Condition condition)
{
    for (DWORD start = GetTickCount(); !condition(); Sleep(1))
        if (GetTickCount() - start > 30000)
            return false;
    return true;
}

}  // namespace

TEST(Thread, StopWithoutAThreadAndABodyThatReturnsAtOnce)
{
    std::atomic<int> runs{0};
    FunctionThread thread([&](FunctionThread&) { ++runs; });
    EXPECT_TRUE(thread.Stop()) << "nothing to wait for";
    EXPECT_EQ(thread.m_bStop.load(), 1);
    ASSERT_TRUE(thread.Start());
    EXPECT_EQ(thread.m_bStop.load(), 0) << "Start clears the request";
    EXPECT_FALSE(thread.WaitForExit(5000)) << "the thread ends by itself";
    EXPECT_FALSE(thread.IsRunning());
    EXPECT_EQ(runs.load(), 1);
}

TEST(Thread, WaitsDispatchTheMessagesTheThreadSends)
{
    RecordingWindow window;
    HWND target = window.m_hWnd;
    FunctionThread thread([target](FunctionThread& self) {
        for (int i = 0; i < 50 && !self.m_bStop; ++i)
            SendJobReport(target, PROGRESS_SET_POS, i);
        while (!self.m_bStop)
            Sleep(1);
    });
    ASSERT_TRUE(thread.Start());
    DWORD start = GetTickCount();
    while (window.reports.size() < 50 && GetTickCount() - start < 10000)
        thread.WaitForExit(20);
    EXPECT_TRUE(thread.Stop()) << "a thread that honours the request ends by itself";
    EXPECT_EQ(window.reports.size(), 50u);
    EXPECT_EQ(window.reports.back(), Pos(49));
}

TEST(Thread, StartStopsTheRunningThreadAndATerminatedThreadIsReportedSo)
{
    std::atomic<int> generation{0};
    std::atomic<bool> ignoreStop{false};
    FunctionThread thread([&](FunctionThread& self) {
        ++generation;
        while (ignoreStop || !self.m_bStop)
            Sleep(1);
    });
    ASSERT_TRUE(thread.Start());
    ASSERT_TRUE(SpinUntil([&] { return generation != 0; }));
    ASSERT_TRUE(thread.Start());
    ASSERT_TRUE(SpinUntil([&] { return generation != 1; }));
    EXPECT_TRUE(thread.IsRunning());
    EXPECT_EQ(thread.m_bStop.load(), 0) << "the new thread starts without a stop request";

    ignoreStop = true;
    DWORD start = GetTickCount();
    EXPECT_FALSE(thread.Stop()) << "a body that ignores the request is terminated";
    EXPECT_GE(GetTickCount() - start, 2900u);
    EXPECT_FALSE(thread.IsRunning());
}

TEST(JobProtocol, FormatLogValueFormatsOneNumberAndNothingElse)
{
    struct Case {
        const WCHAR* text;
        int value;
        const char* expected;
    } cases[] = {
        {L"Files: %d", 12, "Files: 12"},
        {L"Files: %d", 0, "Files: 0"},
        {L"100%% match", 5, "100% match"},
        {L"%5d|%-3d|", 7, "    7|%-3d|"},
        {L"code %x and %s and %n", 255, "code ff and %s and %n"},
        {L"%s first, then %d", 3, "%s first, then 3"},
        {L"ends in %", 1, "ends in %"},
        {L"Finished with %d Erros and %d restricted", 2, "Finished with 2 Erros and %d restricted"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatLogValue(c.text, c.value).ToUtf8(), c.expected) << CString(c.text).ToUtf8();
}

class JobProtocolTest : public JobTest {};

TEST_F(JobProtocolTest, LogLinesAreFormattedOnlyWithAValue)
{
    COrvantisDoc::ProgressLog(LOG_INFO, L"Files: %d", 0);
    COrvantisDoc::ProgressLog(LOG_OK, L"Done 100%% - %s", LOG_NO_VALUE);
    COrvantisDoc::ProgressLog(LOG_OK, L"Done 100%%", 7);
    COrvantisDoc::ProgressSetCount(3);
    COrvantisDoc::ProgressSetIndex(2);
    COrvantisDoc::ProgressLongOperation(5);
    COrvantisDoc::ProgressClose();
    EXPECT_EQ(m_window.reports, (std::vector<Report>{Log(LOG_INFO, "Files: 0"), Log(LOG_OK, "Done 100%% - %s"),
                                                      Log(LOG_OK, "Done 100%"), Range(3), Pos(2),
                                                      {PROGRESS_LONG_OPERATION, 1, ""}, {PROGRESS_CLOSE, 0, ""}}));
}

TEST_F(JobProtocolTest, AnUnknownJobSendsOnlyTheEndAndRunClearsTheStopFlags)
{
    g_StopRequested = 1;
    g_AbortRequested = 1;
    RunJob(77);
    EXPECT_EQ(m_window.reports, (std::vector<Report>{Ended()}));
    EXPECT_EQ(g_StopRequested.load(), 0);
    EXPECT_EQ(g_AbortRequested.load(), 0);
}

TEST_F(JobProtocolTest, WithoutAMainWindowNothingIsSentAndTheJobStillRuns)
{
    m_app->m_pMainWnd = nullptr;
    WriteFile(L"a.txt", "abc");
    SetPassword(L"secret one");
    m_doc->m_strCurrentFolder = m_folder.Path();
    ASSERT_TRUE(m_doc->StartJob(JOB_ENCRYPT_FOLDER));
    WaitForJob();
    EXPECT_TRUE(m_window.reports.empty());
    EXPECT_EQ(TreeListing(m_folder.Path(), false).size(), 1u);
    EXPECT_FALSE(qvtest::FileExists(Path(L"a.txt")));
    // A window whose handle is gone is no receiver either.
    RecordingWindow gone;
    gone.DestroyWindow();
    m_app->m_pMainWnd = &gone;
    COrvantisDoc::ProgressLog(LOG_INFO, L"dropped");
    m_app->m_pMainWnd = &m_window;
}

// Reports of the user-interface thread, made while the worker reports, and
// made inside the handler of a worker's report, each reach the handler with
// their own text.
TEST_F(JobProtocolTest, TextsOfConcurrentReportersNeverMix)
{
    class Chatter : public CThread {
    public:
        void Run() override
        {
            for (int i = 0; i < 300; ++i) {
                CString text;
                text.Format(L"worker %d", i);
                COrvantisDoc::ProgressLog(LOG_INFO, text);
            }
        }
    } worker;
    int nested = 0;
    m_window.onReport = [&](const Report& report) {
        if (report.text.rfind("worker ", 0) == 0 && report.text.back() == '7') {
            COrvantisDoc::ProgressLog(LOG_OK, L"inside " + CString::FromUtf8(report.text.c_str()));
            ++nested;
        }
    };
    ASSERT_TRUE(worker.Start());
    int own = 0;
    while (worker.IsRunning()) {
        CString text;
        text.Format(L"ui %d", own++);
        COrvantisDoc::ProgressLog(LOG_WARNING, text);
        worker.WaitForExit(1);
    }
    m_window.onReport = nullptr;
    EXPECT_EQ(nested, 30);
    int workerLines = 0, uiLines = 0, insideLines = 0;
    for (const Report& r : m_window.Logs()) {
        if (r.value == LOG_INFO) {
            EXPECT_EQ(r.text.rfind("worker ", 0), 0u) << r.text;
            ++workerLines;
        } else if (r.value == LOG_WARNING) {
            EXPECT_EQ(r.text.rfind("ui ", 0), 0u) << r.text;
            ++uiLines;
        } else {
            EXPECT_EQ(r.text.rfind("inside worker ", 0), 0u) << r.text;
            EXPECT_EQ(r.text.back(), '7');
            ++insideLines;
        }
    }
    EXPECT_EQ(workerLines, 300);
    EXPECT_EQ(uiLines, own);
    EXPECT_EQ(insideLines, 30);
}

// The worker is terminated while it waits inside a report: the text slot's
// guard is not lost with it, so later reports still go through.
TEST_F(JobProtocolTest, ATerminatedWorkerDoesNotBlockLaterReports)
{
    class Blocked : public CThread {
    public:
        void Run() override { COrvantisDoc::ProgressLog(LOG_INFO, L"last words"); }
    } worker;
    bool terminated = false;
    m_window.onReport = [&](const Report& report) {
        if (report.text == "last words" && !terminated) {
            terminated = true;
            TerminateThread(worker.m_hThread.load(), 1);
            worker.m_hThread = nullptr;
        }
    };
    ASSERT_TRUE(worker.Start());
    while (!terminated)
        PumpPendingMessages();
    m_window.onReport = nullptr;
    COrvantisDoc::ProgressLog(LOG_OK, L"after");
    EXPECT_TRUE(m_window.HasLog(LOG_OK, "after"));
}
