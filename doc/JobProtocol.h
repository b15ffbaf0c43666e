// The job protocol: the job codes, the stop flags that the user interface and
// the document's worker share, and the one window message that carries every
// report of a job to the main window.
//
// A report is UWM_JOB_PROGRESS sent synchronously with its value in wParam
// and, in lParam, the JobReport itself: its PROGRESS_* code, the value and,
// where the code has one, its text. A job sends, in this order:
// PROGRESS_BEGIN; any number of PROGRESS_LOG, PROGRESS_SET_RANGE,
// PROGRESS_SET_POS, PROGRESS_STATUS and PROGRESS_LONG_OPERATION;
// PROGRESS_FINISH (or PROGRESS_CLOSE); then the worker sends PROGRESS_JOB_ENDED.
// The temporary-decryption job (JOB_TEMP_DECRYPT) sends PROGRESS_TEMP_DECRYPTED
// instead, once: after its finish when the copy is complete, before the copy
// is wiped (and before the finish) when it failed.
#pragma once

#include "crypt/FileCipher.h"
#include "doc/JobOptions.h"
#include "framework/base/CString.h"
#include "framework/base/Collections.h"

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

// The jobs the document's worker performs (JobRequest::code).
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

// One job as the document's worker receives it: made by a command of the
// document on the user-interface thread just before the worker starts, then
// read by the worker alone (COrvantisDoc::StartJob, COrvantisDoc::Run).
struct JobRequest {
    int code = -1;            // JobCode; any other value runs no job
    CString folder;           // the folder, recovery and integrity jobs: the folder they work on
    CStringArray selection;   // the "Selected" jobs: the selected items' full paths
    // The "To" commands: the folder shown and the destination, both ending in
    // "\" (both empty for in-place work). JOB_TEMP_DECRYPT: the encrypted
    // file and the copy it is decrypted into.
    CString source;
    CString destination;
    JobOptions options;       // the document's options when the job started
    bool mediaCopy = false;   // JOB_TEMP_DECRYPT: the copy is media the program's own player takes
};

// The user asked the job to stop (tested between files). Set by the progress
// window's Cancel and Terminate and at exit; cleared when a job starts.
extern std::atomic<int> g_StopRequested;
// The job's abort flag: the engines of the document's jobs, and no other
// decryption, watch it at every block. Set with g_StopRequested; cleared
// when a job starts.
extern AbortFlag g_AbortRequested;

// One report, as UWM_JOB_PROGRESS carries it (lParam points to it while the
// handler runs; the handler copies what it keeps).
struct JobReport {
    int code = 0;        // PROGRESS_*
    WPARAM value = 0;    // also in wParam
    CString text;        // empty for the codes without text
};

// The report a UWM_JOB_PROGRESS carries.
inline const JobReport& ReportOf(LPARAM lParam) { return *reinterpret_cast<const JobReport*>(lParam); }

// Sends one report to `target` and waits for its handler. Nothing is sent
// when `target` is not a window.
void SendJobReport(HWND target, int code, WPARAM value, const CString& text = CString());

// The text with `value` put in its first integer conversion (%d, %i, %u, %x,
// %X, %o with flags and width) and "%%" made "%"; every other "%" stays as it
// is. Unlike printf, no text can make it read further arguments.
CString FormatLogValue(const CString& text, int value);
