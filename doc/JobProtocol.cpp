#include "doc/JobProtocol.h"

#include "crypt/FileCipher.h"
#include "doc/OrvantisDoc.h"
#include "framework/windows/CWinApp.h"
#include "framework/windows/CWnd.h"

int g_JobCode = -1;
std::atomic<int> g_StopRequested{0};
CString g_ProgressText;

namespace {

// The guard of g_ProgressText, held from the moment a report's text is stored
// until its handler has returned: the holder's thread id and how often it
// holds it (a handler may report again). Taking it free costs one atomic
// operation, without a system call. A worker terminated inside a report
// leaves it held; the next reporter sees that thread gone and takes it over.
std::atomic<DWORD> s_holder{0};
int s_holdCount = 0;  // touched by the holder only
// Set while the holder of the slot waits inside its send.
std::atomic<bool> s_holderSending{false};

bool ThreadIsGone(DWORD id)
{
    HANDLE thread = ::OpenThread(SYNCHRONIZE, FALSE, id);
    if (!thread)
        return true;
    bool gone = ::WaitForSingleObject(thread, 0) == WAIT_OBJECT_0;
    ::CloseHandle(thread);
    return gone;
}

// True when the slot was taken; false when this thread handles a report whose
// sender holds the slot and waits for it, so the slot is borrowed unlocked
// (the caller restores the text before that handler goes on).
bool TakeSlot()
{
    const DWORD self = ::GetCurrentThreadId();
    for (;;) {
        DWORD holder = 0;
        if (s_holder.compare_exchange_strong(holder, self)) {
            s_holdCount = 1;
            return true;
        }
        if (holder == self) {
            ++s_holdCount;
            return true;
        }
        if (s_holderSending.load() && ::InSendMessage())
            return false;
        if (ThreadIsGone(holder)) {
            s_holder.compare_exchange_strong(holder, 0);
            continue;
        }
        // The holder may be sending to a window of this thread: serve it meanwhile.
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_SENDMESSAGE);
        MSG msg;
        ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

void ReleaseSlot()
{
    if (--s_holdCount == 0)
        s_holder = 0;
}

bool IsFlag(WCHAR ch) { return ch == '-' || ch == '+' || ch == ' ' || ch == '#' || ch == '0'; }

bool IsIntegerConversion(WCHAR ch) { return ch == 'd' || ch == 'i' || ch == 'u' || ch == 'x' || ch == 'X' || ch == 'o'; }

}  // namespace

void SendJobReport(HWND target, int code, WPARAM value, const CString* text)
{
    if (!target || !::IsWindow(target))
        return;
    bool locked = TakeSlot();
    CString previous = g_ProgressText;
    if (text)
        g_ProgressText = *text;
    bool wasSending = s_holderSending.exchange(true);
    ::SendMessageW(target, UWM_JOB_PROGRESS, value, (LPARAM)code);
    s_holderSending = wasSending;
    g_ProgressText = previous;
    if (locked)
        ReleaseSlot();
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

void COrvantisDoc::ProgressSetTitle(const CString& title) { SendJobReport(ReportWindow(), PROGRESS_BEGIN, 0, &title); }

void COrvantisDoc::ProgressFinish(bool keepLog, const CString& caption)
{
    SendJobReport(ReportWindow(), PROGRESS_FINISH, keepLog ? 1 : 0, &caption);
}

void COrvantisDoc::ProgressClose() { SendJobReport(ReportWindow(), PROGRESS_CLOSE, 0, nullptr); }

void COrvantisDoc::ProgressSetFile(const CString& text) { SendJobReport(ReportWindow(), PROGRESS_STATUS, 0, &text); }

void COrvantisDoc::ProgressLog(int kind, const CString& text, int value)
{
    HWND target = ReportWindow();
    if (!target)
        return;
    if (value == LOG_NO_VALUE) {
        SendJobReport(target, PROGRESS_LOG, (WPARAM)kind, &text);
        return;
    }
    CString line = FormatLogValue(text, value);
    SendJobReport(target, PROGRESS_LOG, (WPARAM)kind, &line);
}

void COrvantisDoc::ProgressSetCount(int count)
{
    SendJobReport(ReportWindow(), PROGRESS_SET_RANGE, (WPARAM)count, nullptr);
}

void COrvantisDoc::ProgressSetIndex(int index)
{
    SendJobReport(ReportWindow(), PROGRESS_SET_POS, (WPARAM)index, nullptr);
}

void COrvantisDoc::ProgressEnded() { SendJobReport(ReportWindow(), PROGRESS_JOB_ENDED, 0, nullptr); }

void COrvantisDoc::ProgressLongOperation(int on)
{
    SendJobReport(ReportWindow(), PROGRESS_LONG_OPERATION, on ? 1 : 0, nullptr);
}

void COrvantisDoc::Run()
{
    g_StopRequested = 0;
    g_AbortRequested = 0;
    switch (g_JobCode) {
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
