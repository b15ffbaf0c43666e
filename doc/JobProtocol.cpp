#include "doc/JobProtocol.h"

#include "crypt/FileCipher.h"
#include "doc/OrvantisDoc.h"
#include "framework/windows/CWinApp.h"
#include "framework/windows/CWnd.h"

#include <memory>

std::atomic<int> g_StopRequested{0};
AbortFlag g_AbortRequested{0};

namespace {

bool IsFlag(WCHAR ch) { return ch == '-' || ch == '+' || ch == ' ' || ch == '#' || ch == '0'; }

bool IsIntegerConversion(WCHAR ch) { return ch == 'd' || ch == 'i' || ch == 'u' || ch == 'x' || ch == 'X' || ch == 'o'; }

}  // namespace

void SendJobReport(HWND target, int code, WPARAM value, const CString& text)
{
    if (!target || !::IsWindow(target))
        return;
    // On the heap, not the sender's stack: a worker terminated while it waits
    // here (Terminate) must not take the report from under its handler.
    std::unique_ptr<JobReport> report(new JobReport);
    report->code = code;
    report->value = value;
    report->text = text;
    ::SendMessageW(target, UWM_JOB_PROGRESS, value, reinterpret_cast<LPARAM>(report.get()));
}

CString FormatLogValue(const CString& text, int value)
{
    CString out;
    bool used = false;
    int length = text.GetLength();
    for (int i = 0; i < length; ++i) {
        WCHAR ch = text[i];
        if (ch != '%' || i + 1 >= length) {
            out += ch;
            continue;
        }
        if (text[i + 1] == '%') {
            out += L'%';
            ++i;
            continue;
        }
        // Flags and width, then the conversion.
        int end = i + 1;
        while (end < length && IsFlag(text[end]))
            ++end;
        while (end < length && text[end] >= '0' && text[end] <= '9')
            ++end;
        if (!used && end < length && IsIntegerConversion(text[end])) {
            CString conversion = text.Mid(i, end - i + 1), number;
            number.Format(conversion, value);
            out += number;
            used = true;
            i = end;
            continue;
        }
        out += ch;
    }
    return out;
}

// The reports of the document: every sender takes the main window at the
// moment of the report and sends nothing without one.

HWND COrvantisDoc::ReportWindow()
{
    CWnd* main = AfxGetMainWnd();
    return main ? main->m_hWnd : nullptr;
}

void COrvantisDoc::ProgressSetTitle(const CString& title) { SendJobReport(ReportWindow(), PROGRESS_BEGIN, 0, title); }

void COrvantisDoc::ProgressFinish(bool keepLog, const CString& caption)
{
    SendJobReport(ReportWindow(), PROGRESS_FINISH, keepLog ? 1 : 0, caption);
}

void COrvantisDoc::ProgressClose() { SendJobReport(ReportWindow(), PROGRESS_CLOSE, 0); }

void COrvantisDoc::ProgressSetFile(const CString& text) { SendJobReport(ReportWindow(), PROGRESS_STATUS, 0, text); }

void COrvantisDoc::ProgressLog(int kind, const CString& text, int value)
{
    HWND target = ReportWindow();
    if (!target)
        return;
    if (value == LOG_NO_VALUE) {
        SendJobReport(target, PROGRESS_LOG, (WPARAM)kind, text);
        return;
    }
    CString line = FormatLogValue(text, value);
    SendJobReport(target, PROGRESS_LOG, (WPARAM)kind, line);
}

void COrvantisDoc::ProgressSetCount(int count)
{
    SendJobReport(ReportWindow(), PROGRESS_SET_RANGE, (WPARAM)count);
}

void COrvantisDoc::ProgressSetIndex(int index)
{
    SendJobReport(ReportWindow(), PROGRESS_SET_POS, (WPARAM)index);
}

void COrvantisDoc::ProgressEnded() { SendJobReport(ReportWindow(), PROGRESS_JOB_ENDED, 0); }

void COrvantisDoc::ProgressLongOperation(int on)
{
    SendJobReport(ReportWindow(), PROGRESS_LONG_OPERATION, on ? 1 : 0);
}

void COrvantisDoc::Run()
{
    g_StopRequested = 0;
    g_AbortRequested = 0;
    switch (m_job.code) {
    case JOB_ENCRYPT_FOLDER: EncryptFolderJob(); break;
    case JOB_DECRYPT_FOLDER: DecryptFolderJob(); break;
    case JOB_INTEGRITY_TEST: IntegrityTestJob(); break;
    case JOB_ENCRYPT_SELECTED: EncryptSelectedJob(); break;
    case JOB_DECRYPT_SELECTED: DecryptSelectedJob(); break;
    case JOB_VERIFY_RECOVERY: RecoveryJob(false); break;
    case JOB_REPAIR_RECOVERY: RecoveryJob(true); break;
    case JOB_TEMP_DECRYPT:
        // Ends with PROGRESS_TEMP_DECRYPTED: the views open the copy rather than refresh.
        AsyncTempDecryptJob();
        return;
    default: break;
    }
    ProgressEnded();
}
