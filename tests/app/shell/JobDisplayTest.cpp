#include "tests/app/shell/MainWindowSupport.h"
#include "tests/app/shell/ShellTestSupport.h"

#include "app/LogDlg.h"
#include "app/ProgressDlg.h"
#include "crypt/KeyState.h"
#include "doc/JobProtocol.h"
#include "res/resource.h"

#include <algorithm>
#include <memory>
#include <set>
#include <vector>

namespace {

using qvtest::LogLineColours;

CString TextOf(const CString& encoded) { return encoded.Mid(2); }

// The colours drawn inside `rect` of a window's client area (its edge of two
// pixels left out, where a focus frame may lie), drawn through WM_PRINTCLIENT.
qvtest::ColourCounts CountColoursInside(HWND window, RECT rect)
{
    RECT client;
    ::GetClientRect(window, &client);
    qvtest::ColourCounts counts;
    if (client.right <= 0 || client.bottom <= 0)
        return counts;
    CDC memory;
    memory.CreateCompatibleDC(nullptr);
    CBitmap bitmap;
    void* bits = nullptr;
    bitmap.CreateDibSection32(client.right, client.bottom, &bits);
    HGDIOBJ old = memory.SelectObject(&bitmap);
    ::SendMessageW(window, WM_PRINTCLIENT, (WPARAM)memory.m_hDC, PRF_CLIENT | PRF_ERASEBKGND);
    ::GdiFlush();
    const uint32_t* pixels = (const uint32_t*)bits;
    const int top = std::max((int)rect.top + 2, 0), bottom = std::min((int)rect.bottom - 2, (int)client.bottom);
    const int left = std::max((int)rect.left + 2, 0), right = std::min((int)rect.right - 2, (int)client.right);
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            ++counts[qvtest::PixelColour(pixels[y * client.right + x])];
    memory.SelectObject(old);
    return counts;
}

class JobDisplayTest : public qvtest::ProgramTest {
protected:
    void SetUp() override
    {
        qvtest::ProgramTest::SetUp();
        Start();
        spy = std::make_unique<qvtest::JobReportSpy>(frame->m_hWnd);
        for (const WCHAR* name : {L"a.txt", L"b.txt", L"c.txt"})
            folder.WriteFile(name, qvtest::PatternBytes(40000));
    }
    void TearDown() override
    {
        spy.reset();
        qvtest::ProgramTest::TearDown();
    }
    // The jobs' temporary files ("ENC...").
    std::set<CString> JobTempFiles() const { return qvtest::FileNamesMatching(tempFolder / L"ENC*"); }
    // Starts an integrity test of the folder and waits until the views
    // hear that it ended (or, with `ended` false, until the worker is gone).
    void RunIntegrityTest(bool waitForEnd = true)
    {
        document->m_strCurrentFolder = folder.Path();
        document->m_strPassword = L"test password";
        ASSERT_TRUE(document->StartJob(JOB_INTEGRITY_TEST));
        EXPECT_TRUE(qvtest::PumpUntil([&] { return (!waitForEnd || jobEnded) && !document->IsRunning(); }, 30000));
    }
    void Record(const JobReport& report)
    {
        const int code = report.code;
        codes.push_back(code);
        if (code == PROGRESS_JOB_ENDED)
            jobEnded = true;
        CProgressDlg* dialog = frame->m_pProgressDlg;
        if (!dialog)
            return;
        if (code == PROGRESS_BEGIN) {
            ownerDisabledWhileRunning = !frame->IsWindowEnabled();
            title = dialog->GetWindowText();
        } else if (code == PROGRESS_SET_RANGE) {
            int lower = -1, upper = -1;
            dialog->m_wndProgress.GetRange(lower, upper);
            ranges.push_back(upper);
        } else if (code == PROGRESS_SET_POS) {
            percents.push_back(qvtest::Text(*dialog, IDC_PROGRESS_PERCENT));
        } else if (code == PROGRESS_LOG) {
            ++logLines;
        }
    }
    // Checks the log dialog while it is open and closes it.
    bool CheckLogAndClose(const CString& caption)
    {
        CLogDlg* log = qvtest::ShownLogDialog();
        if (!log)
            return false;
        logCaption = qvtest::Text(*log, IDC_LOG_TEXT);
        EXPECT_EQ(caption, logCaption);
        for (int i = 0; i < log->m_list.GetCount(); ++i)
            logTexts.push_back(log->m_list.GetText(i));
        qvtest::Click(*log, IDC_LOG_ERRORS_ONLY);
        errorsOnly = log->m_list.GetCount();
        for (int i = 0; i < errorsOnly; ++i)
            EXPECT_EQ(10, LogLineColours(log->m_list.GetText(i)).first) << "only red lines";
        qvtest::Click(*log, IDC_LOG_ERRORS_ONLY);
        EXPECT_EQ((int)logTexts.size(), log->m_list.GetCount());
        qvtest::Click(*log, IDCANCEL);
        return true;
    }
    bool LogHas(const WCHAR* text, std::pair<int, int> colours) const
    {
        for (const CString& line : logTexts) {
            if (TextOf(line) == text && LogLineColours(line) == colours)
                return true;
        }
        return false;
    }

    // The jobs' temporary files go to a folder of this test alone.
    qvtest::MovedTempFolder tempFolder;
    qvtest::TempFolder folder;
    std::unique_ptr<qvtest::JobReportSpy> spy;
    std::vector<int> codes;
    std::vector<int> ranges;
    std::vector<CString> percents;
    std::vector<CString> logTexts;
    CString title;
    CString logCaption;
    int logLines = 0;
    int errorsOnly = -1;
    bool jobEnded = false;
    bool ownerDisabledWhileRunning = false;
};

}  // namespace

TEST_F(JobDisplayTest, AJobShowsItsProgressAndEndsWithItsColouredLog)
{
    // A file the job cannot read gives a red error line.
    CString locked = folder.WriteFile(L"d.txt", "locked");
    HANDLE lock = ::CreateFileW(locked, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, lock);
    spy->after = [this](const JobReport& report) { Record(report); };
    qvtest::TimerScript script([this] { return CheckLogAndClose(L"Integrity Test"); });
    RunIntegrityTest();
    ::CloseHandle(lock);

    ASSERT_TRUE(jobEnded);
    EXPECT_TRUE(script.Done() && !script.TimedOut()) << "the log dialog showed";
    EXPECT_EQ(PROGRESS_BEGIN, codes.front());
    EXPECT_EQ(PROGRESS_JOB_ENDED, codes.back());
    EXPECT_EQ(L"Integrity test", title);
    EXPECT_TRUE(ownerDisabledWhileRunning);
    ASSERT_EQ(1u, ranges.size());
    EXPECT_EQ(4, ranges[0]) << "the four files";
    EXPECT_EQ(std::vector<CString>({L"0%", L"25%", L"50%", L"75%", L"100%"}), percents)
        << "after each file, and full once every file is through";
    EXPECT_GT(logLines, 10);
    EXPECT_EQ(std::make_pair(13, 1), LogLineColours(logTexts.front())) << "\"Start\"";
    EXPECT_GE(errorsOnly, 1) << "the unreadable file";
    EXPECT_TRUE(LogHas(L"Compare 100% Match", {3, 1}));
    EXPECT_EQ(nullptr, frame->m_pProgressDlg);
    EXPECT_TRUE(frame->IsWindowEnabled());
    EXPECT_FALSE(HasKey()) << "the integrity test forgets its password";
}

// Every kind of log line is drawn in its own text and background colours
// (the log's colour table: 0 black, 1 white, 3 green, 9 grey, 10 red, 13 blue).
TEST_F(JobDisplayTest, EachLogKindIsDrawnInItsColours)
{
    const COLORREF black = RGB(0, 0, 0), white = RGB(255, 255, 255), green = RGB(0, 128, 0),
                   grey = RGB(128, 128, 128), red = RGB(255, 0, 0), blue = RGB(0, 0, 255);
    const struct {
        int kind;
        COLORREF text, background;
    } cases[] = {
        {LOG_PLAIN, blue, white},        {LOG_INFO, black, white},          {LOG_ERROR, red, white},
        {LOG_OK, green, white},          {LOG_WARNING, grey, white},        {LOG_HEADING, white, blue},
        {LOG_HEADING_ERROR, white, red}, {LOG_HEADING_OK, white, green},    {LOG_HEADING_WARNING, white, grey},
        {77, blue, white},  // any other kind
    };
    COrvantisDoc::ProgressSetTitle(L"Colours");
    ASSERT_NE(nullptr, frame->m_pProgressDlg);
    HWND list = frame->m_pProgressDlg->m_list.m_hWnd;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        ::SendMessageW(list, LB_RESETCONTENT, 0, 0);
        COrvantisDoc::ProgressLog(c.kind, L"MMMMMMMMMMMMMMMM");
        RECT item = {};
        ASSERT_NE(LB_ERR, ::SendMessageW(list, LB_GETITEMRECT, 0, (LPARAM)&item));
        qvtest::ColourCounts drawn = CountColoursInside(list, item);
        int area = (item.right - item.left - 4) * (item.bottom - item.top - 4);
        EXPECT_GT(qvtest::CountOf(drawn, c.background), area / 2) << "the line's background";
        EXPECT_GT(qvtest::CountOf(drawn, c.text), 0) << "the text";
    }
    COrvantisDoc::ProgressClose();
    EXPECT_EQ(nullptr, frame->m_pProgressDlg);
}

TEST_F(JobDisplayTest, CancelAsksTheJobToStopThenTerminateEndsItByForce)
{
    std::set<CString> tempBefore = JobTempFiles();
    bool done = false;
    std::vector<std::pair<int, int>> afterFirstCancel, afterSecondCancel;
    bool terminateAfterFirst = true, terminateAfterSecond = false;
    bool workerGone = false;
    std::set<CString> tempDuringJob, tempAfter;
    std::unique_ptr<qvtest::TimerScript> script;
    // Inside the first position report the worker waits for this thread, so
    // it cannot see the stop request: Terminate has to end it.
    spy->before = [&](const JobReport& report) {
        if (done || report.code != PROGRESS_SET_POS || !frame->m_pProgressDlg)
            return;
        done = true;
        CProgressDlg* dialog = frame->m_pProgressDlg;
        auto lastLines = [dialog](int count) {
            std::vector<std::pair<int, int>> colours;
            for (int i = dialog->m_list.GetCount() - count; i < dialog->m_list.GetCount(); ++i)
                colours.push_back(LogLineColours(dialog->m_list.GetText(i)));
            return colours;
        };
        qvtest::Click(*dialog, IDCANCEL);
        afterFirstCancel = lastLines(1);
        terminateAfterFirst = qvtest::Visible(*dialog, IDC_TERMINATE);
        EXPECT_EQ(1, g_StopRequested.load());
        qvtest::Click(*dialog, IDCANCEL);
        afterSecondCancel = lastLines(2);
        terminateAfterSecond = qvtest::Visible(*dialog, IDC_TERMINATE);
        script = std::make_unique<qvtest::TimerScript>([this] { return CheckLogAndClose(L"Integrity test (terminated)"); });
        tempDuringJob = JobTempFiles();
        qvtest::Click(*dialog, IDC_TERMINATE);
        workerGone = !document->IsRunning();
        tempAfter = JobTempFiles();
    };
    RunIntegrityTest(false);
    EXPECT_TRUE(qvtest::PumpUntil([&] { return script && script->Done(); }, 30000));

    ASSERT_TRUE(done);
    using Colours = std::vector<std::pair<int, int>>;
    EXPECT_EQ(Colours({{1, 10}}), afterFirstCancel) << "white on red";
    EXPECT_FALSE(terminateAfterFirst);
    EXPECT_EQ(Colours({{10, 1}, {10, 1}}), afterSecondCancel) << "two red lines";
    EXPECT_TRUE(terminateAfterSecond);
    EXPECT_TRUE(workerGone);
    ASSERT_TRUE(script && script->Done() && !script->TimedOut()) << "the log dialog showed";
    EXPECT_TRUE(LogHas(L"Stop request received - WAIT for last operation to finish", {1, 10}));
    EXPECT_TRUE(LogHas(L"Terminate button enabled.", {10, 1}));
    EXPECT_TRUE(LogHas(L"You can Terminate the process, but you are risking the last data may be corrupted.", {10, 1}));
    EXPECT_TRUE(LogHas(L"Received Thread termination request - bad way to exit", {1, 13}));
    EXPECT_TRUE(LogHas(L"Thread Closing", {0, 1}));
    EXPECT_TRUE(tempBefore.empty());
    EXPECT_FALSE(tempDuringJob.empty()) << "the job had made its temporary files";
    EXPECT_TRUE(tempAfter.empty()) << "the job's temporary files are wiped";
    EXPECT_FALSE(HasKey()) << "the test password is forgotten";
    EXPECT_TRUE(document->m_strPassword.IsEmpty());
    EXPECT_EQ(nullptr, frame->m_pProgressDlg);
    EXPECT_EQ(nullptr, qvtest::FindThreadWindow(L"Integrity test")) << "the progress window is gone";
    EXPECT_TRUE(frame->IsWindowEnabled());
}

TEST_F(JobDisplayTest, EveryJobThatRunsThroughEndsWithItsBarFull)
{
    // The three files: encrypted, checked, tested and decrypted again in turn.
    struct Case {
        const char* name;
        int job;
    };
    const Case cases[] = {
        {"encrypt folder", JOB_ENCRYPT_FOLDER},        {"verify recovery records", JOB_VERIFY_RECOVERY},
        {"repair damaged files", JOB_REPAIR_RECOVERY}, {"integrity test", JOB_INTEGRITY_TEST},
        {"decrypt folder", JOB_DECRYPT_FOLDER},
    };
    CString shown;
    int position = -1, upper = -2;
    spy->before = [&](const JobReport& report) {
        if (report.code == PROGRESS_JOB_ENDED)
            jobEnded = true;
        CProgressDlg* dialog = frame->m_pProgressDlg;
        if (report.code != PROGRESS_FINISH || !dialog)
            return;
        // What the window shows as the job reports its end.
        shown = qvtest::Text(*dialog, IDC_PROGRESS_PERCENT);
        int lower = -1;
        dialog->m_wndProgress.GetRange(lower, upper);
        position = dialog->m_wndProgress.GetPos();
    };
    for (const Case& c : cases) {
        shown.Empty();
        position = -1;
        jobEnded = false;
        document->m_strCurrentFolder = folder.Path();
        document->m_strPassword = L"test password";
        COrvantisDoc::SetPasswordKey(document->m_strPassword);
        qvtest::TimerScript closeLog([] { return qvtest::CloseShownLogDialog(); });
        ASSERT_TRUE(document->StartJob(c.job)) << c.name;
        ASSERT_TRUE(qvtest::PumpUntil([&] { return jobEnded; }, 30000)) << c.name;
        EXPECT_EQ(CString(L"100%"), shown) << c.name;
        EXPECT_EQ(upper, position) << c.name;
    }
    EXPECT_EQ(qvtest::PatternBytes(40000), qvtest::ReadFileBytes(folder / L"a.txt")) << "decrypted again";
    COrvantisDoc::SetPasswordKey(CString());
}

TEST_F(JobDisplayTest, TheProgressWindowAndTheLogOpenCentredOnTheMainWindow)
{
    // Away from the screen's corner, where a window placed at 0, 0 would
    // also be.
    frame->MoveWindow(240, 160, 820, 640);
    CRect main, progress, log;
    frame->GetWindowRect(&main);
    spy->after = [&](const JobReport& report) {
        if (report.code == PROGRESS_BEGIN && frame->m_pProgressDlg)
            frame->m_pProgressDlg->GetWindowRect(&progress);
        if (report.code == PROGRESS_JOB_ENDED)
            jobEnded = true;
    };
    qvtest::TimerScript script([&] {
        CLogDlg* shownLog = qvtest::ShownLogDialog();
        if (!shownLog)
            return false;
        shownLog->GetWindowRect(&log);
        shownLog->EndDialog(IDOK);
        return true;
    });
    RunIntegrityTest();
    ASSERT_TRUE(jobEnded);
    ASSERT_FALSE(progress.IsRectEmpty());
    ASSERT_FALSE(log.IsRectEmpty());
    for (const CRect* window : {&progress, &log}) {
        CPoint centre = window->CenterPoint(), wanted = main.CenterPoint();
        EXPECT_LE(std::abs(centre.x - wanted.x), 1) << (window == &log ? "log" : "progress");
        EXPECT_LE(std::abs(centre.y - wanted.y), 1) << (window == &log ? "log" : "progress");
    }
}
