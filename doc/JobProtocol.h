// The job protocol: the process-wide job state that the user interface and
// the document's worker share, and the one window message that carries every
// report of a job to the main window.
//
// A report is UWM_JOB_PROGRESS sent synchronously with a PROGRESS_* code in
// lParam and a value in wParam; its text, where the code has one, is in
// g_ProgressText while the handler runs. A job sends, in this order:
// PROGRESS_BEGIN; any number of PROGRESS_LOG, PROGRESS_SET_RANGE,
// PROGRESS_SET_POS, PROGRESS_STATUS and PROGRESS_LONG_OPERATION;
// PROGRESS_FINISH (or PROGRESS_CLOSE); then the worker sends PROGRESS_JOB_ENDED.
// The temporary-decryption job (JOB_TEMP_DECRYPT) sends PROGRESS_TEMP_DECRYPTED
// instead, once: after its finish when the copy is complete, before the copy
// is wiped (and before the finish) when it failed.
#pragma once

#include "framework/base/CString.h"

#include <windows.h>

#include <atomic>

const UINT UWM_JOB_PROGRESS = WM_USER + 0x401;  // 0x801

// lParam of UWM_JOB_PROGRESS.
enum ProgressCode {
    PROGRESS_BEGIN = 0,            // text: title of the progress window
    PROGRESS_FINISH = 1,           // wParam 1 shows the log dialog; text: its caption
    PROGRESS_SET_RANGE = 2,        // wParam: number of steps
    PROGRESS_SET_POS = 3,          // wParam: current step
    PROGRESS_STATUS = 4,           // text: status line
    PROGRESS_LOG = 5,              // wParam: LogKind; text: the line
    PROGRESS_JOB_ENDED = 6,        // the views refresh
    PROGRESS_LONG_OPERATION = 7,   // wParam 1 on, 0 off
    PROGRESS_TEMP_DECRYPTED = 8,   // wParam: the temporary decryption's CRYPT_* result; only CRYPT_OK (0) leaves a copy to open
    PROGRESS_CLOSE = 9,            // the progress window closes without a log
};

// wParam of PROGRESS_LOG; the receiver gives each kind its colours.
enum LogKind {
    LOG_PLAIN = 0,  // step lines
    LOG_INFO = 1,
    LOG_ERROR = 2,
    LOG_OK = 3,
    LOG_WARNING = 4,
    LOG_HEADING = 10,
    LOG_HEADING_ERROR = 20,
    LOG_HEADING_OK = 30,
    LOG_HEADING_WARNING = 40,
};

// The value that tells ProgressLog there is nothing to format: the text is sent unchanged.
const int LOG_NO_VALUE = -1000;

// Values of g_JobCode: the job the next run of the document's worker performs.
enum JobCode {
    JOB_ENCRYPT_FOLDER = 0,
    JOB_DECRYPT_FOLDER = 1,
    JOB_INTEGRITY_TEST = 3,
    JOB_ENCRYPT_SELECTED = 6,
    JOB_DECRYPT_SELECTED = 7,
    JOB_VERIFY_RECOVERY = 8,
    JOB_REPAIR_RECOVERY = 9,
    JOB_TEMP_DECRYPT = 10,
};

// Written by the document's commands just before they start the worker.
extern int g_JobCode;
// The user asked the job to stop (tested between files). Set by the progress
// window's Cancel and Terminate and at exit; cleared when a job starts.
// (g_AbortRequested, which the cipher engine tests at every block, is in crypt/FileCipher.h.)
extern std::atomic<int> g_StopRequested;
// The text of the report being handled. Read it only inside the handler.
extern CString g_ProgressText;

// Sends one report to `target` and waits for its handler. With `text` the slot
// g_ProgressText holds it while the handler runs; without, the slot is left as
// it is. The slot is guarded so that reports of the worker and of the
// user-interface thread never see each other's text. Nothing is sent when
// `target` is not a window.
void SendJobReport(HWND target, int code, WPARAM value, const CString* text);

// The text with `value` put in its first integer conversion (%d, %i, %u, %x,
// %X, %o with flags and width) and "%%" made "%"; every other "%" stays as it
// is. Unlike printf, no text can make it read further arguments.
CString FormatLogValue(const CString& text, int value);
