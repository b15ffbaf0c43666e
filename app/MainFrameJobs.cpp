// The main frame's side of the job protocol: the progress window, the job
// log, and stopping a job.
#include "app/LogDlg.h"
#include "app/MainFrame.h"
#include "app/OrvantisView.h"
#include "app/ProgressDlg.h"
#include "crypt/FileCipher.h"
#include "crypt/FileOps.h"
#include "doc/OrvantisDoc.h"
#include "doc/JobProtocol.h"
#include "framework/windows/CDocument.h"

#include <vector>

namespace {

// The views of the frame's document that are the program's views.
std::vector<COrvantisView*> ProgramViews(CDocument* document)
{
    std::vector<COrvantisView*> views;
    if (!document)
        return views;
    for (CView* view : document->GetViews()) {
        if (auto* programView = dynamic_cast<COrvantisView*>(view))
            views.push_back(programView);
    }
    return views;
}

// The files in the user's temporary folder that carry the jobs' prefix and
// were made after `since` (all of them for 0).
std::set<CString> TempFilesOfJobs(ULONGLONG since = 0)
{
    std::set<CString> files;
    WCHAR folder[MAX_PATH + 1] = {};
    DWORD length = ::GetTempPathW(MAX_PATH, folder);
    if (length == 0 || length > MAX_PATH)
        return files;
    ForEachEntry(CString(folder) + COrvantisDoc::kTempFilePrefix + L"*", [&](const WIN32_FIND_DATAW& found) {
        ULONGLONG created = ((ULONGLONG)found.ftCreationTime.dwHighDateTime << 32) | found.ftCreationTime.dwLowDateTime;
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && created >= since)
            files.insert(CString(folder) + found.cFileName);
    });
    return files;
}

}  // namespace

void CMainFrame::AddLogLine(int text, int background, const CString& line)
{
    if (m_pProgressDlg)
        m_pProgressDlg->AddLog(text, background, line);
}

void CMainFrame::CloseProgressWindow()
{
    CProgressDlg* dialog = m_pProgressDlg;
    m_pProgressDlg = nullptr;
    if (dialog)
        dialog->Close();
}

void CMainFrame::RememberTempFiles()
{
    FILETIME now = {};
    ::GetSystemTimeAsFileTime(&now);
    m_jobBegan = ((ULONGLONG)now.dwHighDateTime << 32) | now.dwLowDateTime;
    m_tempFilesAtBegin = TempFilesOfJobs();
}

void CMainFrame::WipeNewTempFiles()
{
    // The job made its temporary files after it began; files that were
    // there before are someone else's.
    for (const CString& path : TempFilesOfJobs(m_jobBegan)) {
        if (!m_tempFilesAtBegin.count(path))
            CFileOps::SecureDeleteFile(path);
    }
}

LRESULT CMainFrame::OnJobProgress(const JobReport& report)
{
    CDocument* document = GetActiveDocument();
    const WPARAM value = report.value;
    switch (report.code) {
    case PROGRESS_BEGIN: {
        const CString& title = report.text;
        for (COrvantisView* view : ProgramViews(document))
            view->CloseChangeNotification();
        CloseProgressWindow();
        m_strJobTitle = title;
        RememberTempFiles();
        auto* dialog = new CProgressDlg(title);
        if (!dialog->Create(nullptr)) {
            delete dialog;
            return 0;
        }
        m_pProgressDlg = dialog;
        dialog->SetPos(0);
        dialog->ShowWindow(SW_SHOWNORMAL);
        return 0;
    }
    case PROGRESS_TEMP_DECRYPTED:
        // wParam carries the decryption's result.
        for (COrvantisView* view : ProgramViews(document))
            view->OnTempDecrypted((int)(INT_PTR)value);
        return 0;
    case PROGRESS_JOB_ENDED:
        for (COrvantisView* view : ProgramViews(document))
            view->OnJobEnded();
        return 0;
    default:
        break;
    }
    if (!m_pProgressDlg)
        return 0;
    switch (report.code) {
    case PROGRESS_FINISH: {
        const CString& caption = report.text;
        CProgressDlg* dialog = m_pProgressDlg;
        if (value) {
            dialog->ShowWindow(SW_HIDE);
            CLogDlg log(this);
            log.m_strText = caption;
            log.m_pSource = &dialog->m_list;
            log.DoModal();
        }
        if (m_pProgressDlg == dialog)
            CloseProgressWindow();
        return 0;
    }
    case PROGRESS_CLOSE:
        CloseProgressWindow();
        return 0;
    case PROGRESS_STATUS:
        m_pProgressDlg->SetStatus(report.text);
        return 0;
    case PROGRESS_LONG_OPERATION:
        m_pProgressDlg->SetLongOperation(value != 0);
        return 0;
    case PROGRESS_SET_RANGE:
        m_pProgressDlg->SetRange(0, (int)value);
        m_pProgressDlg->SetPos(0);
        return 0;
    case PROGRESS_SET_POS:
        m_pProgressDlg->SetPos((int)value);
        return 0;
    case PROGRESS_LOG: {
        int text = 0, background = 1;
        CColorListBox::KindColors((int)value, text, background);
        m_pProgressDlg->AddLog(text, background, report.text);
        return 0;
    }
    default:
        return 0;
    }
}

int CMainFrame::RequestStop()
{
    int previous = g_StopRequested.exchange(1);
    g_AbortRequested = 1;
    if (previous == 0) {
        AddLogLine(1, 10, L"Stop request received - WAIT for last operation to finish");
        return 0;
    }
    AddLogLine(10, 1, L"Terminate button enabled.");
    AddLogLine(10, 1, L"You can Terminate the process, but you are risking the last data may be corrupted.");
    return 1;
}

int CMainFrame::TerminateJob()
{
    g_StopRequested = 1;
    g_AbortRequested = 1;
    AddLogLine(1, 13, L"Received Thread termination request - bad way to exit");
    COrvantisView* view = dynamic_cast<COrvantisView*>(GetActiveView());
    COrvantisDoc* document = view ? view->GetDocument() : nullptr;
    if (!document)
        return 0;
    document->StopWorker();
    AddLogLine(0, 1, L"Thread Closing");
    // The job's own end never ran: forget a password that was not to be
    // kept (the integrity test's is never kept) and wipe the job's
    // temporary files.
    const JobRequest& job = document->RunningJob();
    if (job.code == JOB_INTEGRITY_TEST || !job.options.m_bKeepPassword) {
        document->m_strPassword.SecureEmpty();
        COrvantisDoc::SetPasswordKey(CString());
    }
    WipeNewTempFiles();
    CString caption = m_strJobTitle.IsEmpty() ? CString(L"Job") : m_strJobTitle;
    COrvantisDoc::ProgressFinish(true, caption + L" (terminated)");
    // The views refresh and watch their folder again, as after any job.
    for (COrvantisView* programView : ProgramViews(document))
        programView->OnJobEnded();
    return 0;
}
