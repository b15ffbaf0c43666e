// Fixtures of the document and job tests: a window that stands in for the
// main frame and records every job report, a document with its own registry
// profile, folder trees in a temporary folder, and a driver for the password
// dialogs the document's commands open.
#pragma once

#include "tests/QvTest.h"

#include "doc/OrvantisDoc.h"
#include "framework/windows/CWinApp.h"
#include "framework/windows/CWnd.h"

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace jobtest {

struct Report {
    int code;
    int value;
    std::string text;  // UTF-8; empty for codes without text

    bool operator==(const Report& other) const
    {
        return code == other.code && value == other.value && text == other.text;
    }
};
void PrintTo(const Report& report, std::ostream* os);

// Shorthands for expected sequences.
Report Begin(const std::string& title);
Report Log(int kind, const std::string& text);
Report Status(const CString& path);
Report Range(int count);
Report Pos(int index);
Report Finish(bool keepLog, const std::string& caption);
Report Ended();

// A hidden top-level window that records every UWM_JOB_PROGRESS; a test may
// act inside a report (delete a file, ask for a stop) through onReport.
class RecordingWindow : public CWnd {
public:
    RecordingWindow();
    ~RecordingWindow() override;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    std::vector<Report> reports;
    std::function<void(const Report&)> onReport;

    std::vector<Report> Logs() const;
    std::vector<std::string> LogTexts() const;
    // Log lines of one kind.
    std::vector<std::string> LogTexts(int kind) const;
    bool HasLog(int kind, const std::string& text) const;
    int CountLogs(const std::string& text) const;
};

// A file of `size` bytes that takes no room on disk (for size limits).
void MakeSparseFile(const CString& path, uint64_t size);

// The names of the "ENC" temporary files now in the user's temporary folder.
std::set<std::string> TempFiles();

// Lists a folder tree as "relative path" (folders end in "\") with file contents, sorted.
std::vector<std::string> TreeListing(const CString& folder, bool withContent = true);

// A document under an application with a registry profile of its own, a
// recording main window and a temporary folder. Every test ends without new
// "ENC" temporary files.
class JobTest : public ::testing::Test {
protected:
    JobTest();
    ~JobTest() override;

    // Runs the job on the worker and waits (pumping) until it ended.
    void RunJob(int jobCode);
    // Waits (pumping) for a job started by a command.
    void WaitForJob();
    void SetPassword(const CString& password);
    CString Path(const CString& relative) const { return m_folder / relative; }
    CString MakeFolder(const CString& relative) const;
    CString WriteFile(const CString& relative, const std::string& bytes) const;
    // The only file in a folder whose name is not in `except`.
    CString OnlyFile(const CString& folder) const;

    static const WCHAR* const kCompany;
    std::unique_ptr<CWinApp> m_app;
    RecordingWindow m_window;
    std::unique_ptr<COrvantisDoc> m_doc;
    qvtest::TempFolder m_folder;
    std::set<std::string> m_tempBefore;
};

// The UTF-8 form of a CString.
inline std::string U8(const CString& text) { return text.ToUtf8(); }
// Name and extension of a path.
CString PathFilePartOf(const CString& path);
// The CRC line of some content as the jobs write it.
std::string CrcOkLine(const std::string& content);

// Runs `command` (which opens a modal dialog) and, once a dialog of this
// thread is visible, `script` with it; the script must close the dialog.
// Message boxes the script or the command raise are not shown: pass a
// MessageBoxCapture around the call.
void WithDialog(const std::function<void()>& command, const std::function<void(CWnd& dialog)>& script);

}  // namespace jobtest
