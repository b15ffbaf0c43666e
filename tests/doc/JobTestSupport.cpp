#include "tests/doc/JobTestSupport.h"

#include "crypt/Crc32.h"
#include "crypt/FileCipher.h"
#include "framework/windows/CDialog.h"

#include <algorithm>

namespace jobtest {

const WCHAR* const JobTest::kCompany = L"Halvercombe Job Tests";

void PrintTo(const Report& report, std::ostream* os)
{
    *os << "{" << report.code << ", " << report.value << ", \"" << report.text << "\"}";
}

Report Begin(const std::string& title) { return {PROGRESS_BEGIN, 0, title}; }
Report Log(int kind, const std::string& text) { return {PROGRESS_LOG, kind, text}; }
Report Status(const CString& path) { return {PROGRESS_STATUS, 0, path.ToUtf8()}; }
Report Range(int count) { return {PROGRESS_SET_RANGE, count, ""}; }
Report Pos(int index) { return {PROGRESS_SET_POS, index, ""}; }
Report Finish(bool keepLog, const std::string& caption) { return {PROGRESS_FINISH, keepLog ? 1 : 0, caption}; }
Report Ended() { return {PROGRESS_JOB_ENDED, 0, ""}; }

RecordingWindow::RecordingWindow()
{
    CreateEx(0, RegisterWndClass(0), L"Job reports", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr);
}

RecordingWindow::~RecordingWindow()
{
    if (m_hWnd)
        DestroyWindow();
}

LRESULT RecordingWindow::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != UWM_JOB_PROGRESS)
        return CWnd::WindowProc(message, wParam, lParam);
    const JobReport& sent = ReportOf(lParam);
    EXPECT_EQ(sent.value, wParam) << "the value travels in wParam too";
    Report report{sent.code, (int)sent.value, sent.text.ToUtf8()};
    reports.push_back(report);
    if (onReport)
        onReport(report);
    return 0;
}

std::vector<Report> RecordingWindow::Logs() const
{
    std::vector<Report> out;
    for (const Report& r : reports)
        if (r.code == PROGRESS_LOG)
            out.push_back(r);
    return out;
}

std::vector<std::string> RecordingWindow::LogTexts() const
{
    std::vector<std::string> out;
    for (const Report& r : Logs())
        out.push_back(r.text);
    return out;
}

std::vector<std::string> RecordingWindow::LogTexts(int kind) const
{
    std::vector<std::string> out;
    for (const Report& r : Logs())
        if (r.value == kind)
            out.push_back(r.text);
    return out;
}

bool RecordingWindow::HasLog(int kind, const std::string& text) const
{
    for (const Report& r : Logs())
        if (r.value == kind && r.text == text)
            return true;
    return false;
}

int RecordingWindow::CountLogs(const std::string& text) const
{
    int count = 0;
    for (const Report& r : Logs())
        count += r.text == text;
    return count;
}

void MakeSparseFile(const CString& path, uint64_t size)
{
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = (LONGLONG)size;
    SetFilePointerEx(file, end, nullptr, FILE_BEGIN);
    SetEndOfFile(file);
    CloseHandle(file);
}

std::set<std::string> TempFiles()
{
    std::set<std::string> names;
    WCHAR folder[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, folder);
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW(CString(folder) + L"ENC*", &entry);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do
        names.insert(CString(entry.cFileName).ToUtf8());
    while (FindNextFileW(find, &entry));
    FindClose(find);
    return names;
}

namespace {

void ListTree(const CString& folder, const CString& prefix, bool withContent, std::vector<std::string>& out)
{
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW(folder + L"\\*", &entry);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        CString name = entry.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            out.push_back((prefix + name + L"\\").ToUtf8());
            ListTree(folder + L"\\" + name, prefix + name + L"\\", withContent, out);
        } else {
            std::string line = (prefix + name).ToUtf8();
            if (withContent)
                line += "=" + qvtest::ReadFileBytes(folder + L"\\" + name);
            out.push_back(line);
        }
    } while (FindNextFileW(find, &entry));
    FindClose(find);
}

}  // namespace

std::vector<std::string> TreeListing(const CString& folder, bool withContent)
{
    std::vector<std::string> out;
    ListTree(folder, CString(), withContent, out);
    std::sort(out.begin(), out.end());
    return out;
}

CString PathFilePartOf(const CString& path) { return path.Mid(path.ReverseFind(L'\\') + 1); }

std::string CrcOkLine(const std::string& content)
{
    Crc32 crc;
    crc.Update(content.data(), content.size());
    uint8_t bytes[4];
    crc.GetBytes(bytes);
    char line[40];
    snprintf(line, sizeof line, "CRC: %02x%02x%02x%02x (OK)", bytes[0], bytes[1], bytes[2], bytes[3]);
    return line;
}

JobTest::JobTest()
{
    RegDeleteTreeW(HKEY_CURRENT_USER, CString(L"Software\\") + kCompany);
    m_app = std::make_unique<CWinApp>(L"Quorvex");
    m_app->SetRegistryKey(kCompany);
    m_app->SetProfileName(L"Quorvex");
    m_app->m_pMainWnd = &m_window;
    m_doc = std::make_unique<COrvantisDoc>();
    g_StopRequested = 0;
    g_AbortRequested = 0;
    m_tempBefore = TempFiles();
}

JobTest::~JobTest()
{
    m_doc.reset();
    COrvantisDoc::SetPasswordKey(CString());
    std::set<std::string> after = TempFiles();
    std::vector<std::string> added;
    std::set_difference(after.begin(), after.end(), m_tempBefore.begin(), m_tempBefore.end(),
                        std::back_inserter(added));
    EXPECT_TRUE(added.empty()) << "temporary files left behind: " << (added.empty() ? "" : added[0]);
    m_app->m_pMainWnd = nullptr;
    m_app.reset();
    RegDeleteTreeW(HKEY_CURRENT_USER, CString(L"Software\\") + kCompany);
}

void JobTest::WaitForJob()
{
    DWORD start = GetTickCount();
    while (m_doc->IsRunning() && GetTickCount() - start < 120000)
        m_doc->WaitForExit(100);
    ASSERT_FALSE(m_doc->IsRunning()) << "the job did not end";
}

void JobTest::RunJob(int jobCode)
{
    m_window.reports.clear();
    ASSERT_TRUE(m_doc->StartJob(jobCode));
    WaitForJob();
    ASSERT_FALSE(m_window.reports.empty());
    EXPECT_EQ(m_window.reports.back(), Ended());
}

void JobTest::SetPassword(const CString& password)
{
    m_doc->m_strPassword = password;
    COrvantisDoc::SetPasswordKey(password);
}

CString JobTest::MakeFolder(const CString& relative) const
{
    CString path = m_folder / relative;
    CreateDirectoryW(path, nullptr);
    return path;
}

CString JobTest::WriteFile(const CString& relative, const std::string& bytes) const
{
    return m_folder.WriteFile(relative, bytes);
}

CString JobTest::OnlyFile(const CString& folder) const
{
    CString found;
    int count = 0;
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW(folder + L"\\*", &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                found = entry.cFileName;
                ++count;
            }
        } while (FindNextFileW(find, &entry));
        FindClose(find);
    }
    EXPECT_EQ(count, 1) << "files in " << folder.ToUtf8();
    return found;
}

namespace {

struct DialogRun {
    std::function<void(CWnd&)> script;
    bool started = false;
    DWORD deadline = 0;
    HWND dialog = nullptr;
    bool timedOut = false;
};
thread_local DialogRun* t_run = nullptr;

BOOL CALLBACK FindVisibleDialog(HWND hwnd, LPARAM found)
{
    WCHAR className[32];
    if (IsWindowVisible(hwnd) && GetClassNameW(hwnd, className, 32) && lstrcmpW(className, L"#32770") == 0) {
        *reinterpret_cast<HWND*>(found) = hwnd;
        return FALSE;
    }
    return TRUE;
}

void CALLBACK DialogTick(HWND, UINT, UINT_PTR, DWORD)
{
    DialogRun* run = t_run;
    if (!run)
        return;
    if (!run->started) {
        HWND dialog = nullptr;
        EnumThreadWindows(GetCurrentThreadId(), FindVisibleDialog, (LPARAM)&dialog);
        if (dialog) {
            run->started = true;
            run->dialog = dialog;
            run->script(*CWnd::FromHandle(dialog));
        }
    } else if (IsWindow(run->dialog) && (LONG)(GetTickCount() - run->deadline) > 0) {
        run->timedOut = true;
        if (CDialog* dialog = dynamic_cast<CDialog*>(CWnd::FromHandlePermanent(run->dialog)))
            dialog->EndDialog(IDABORT);
    }
}

}  // namespace

void WithDialog(const std::function<void()>& command, const std::function<void(CWnd& dialog)>& script)
{
    DialogRun run{script, false, GetTickCount() + 10000};
    DialogRun* previous = t_run;
    t_run = &run;
    UINT_PTR timer = SetTimer(nullptr, 0, 10, DialogTick);
    command();
    KillTimer(nullptr, timer);
    t_run = previous;
    EXPECT_TRUE(run.started) << "no dialog was shown";
    EXPECT_FALSE(run.timedOut) << "the script left the dialog open";
}

}  // namespace jobtest
