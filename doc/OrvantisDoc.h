// COrvantisDoc: the application's single document. It holds no file content;
// it holds the inputs of the encryption jobs (the selected items, the folders,
// the password and the job options), owns the worker thread that runs them
// one at a time, and offers the commands that start them.
//
// A command runs on the user-interface thread: it asks for its password and
// options (CJobPrompts, JobPrompts.h), stores what the user confirmed,
// installs the key and starts the job: the inputs the job needs go to the
// worker as one JobRequest (doc/JobProtocol.h). The worker's Run performs the
// request and reports every step to the main window with UWM_JOB_PROGRESS.
// While a job runs the progress window keeps the main window disabled, so no
// second command starts one.
#pragma once

#include "crypt/AddInfo.h"
#include "crypt/NameCrypt.h"
#include "doc/JobOptions.h"
#include "doc/JobPrompts.h"
#include "doc/TempCopyJournal.h"
#include "doc/JobProtocol.h"
#include "doc/UiThreadCall.h"
#include "doc/ViewerKind.h"
#include "framework/base/Thread.h"
#include "framework/windows/CDocument.h"
#include "framework/base/CString.h"
#include "framework/base/Collections.h"
#include "zip/PkArchive.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <set>
#include <vector>


// The three times of a file, read before it is replaced and set on its successor.
struct FileTimes {
    FILETIME created = {}, accessed = {}, written = {};
    bool valid = false;

    bool ApplyTo(const CString& path) const;
};

// How the deletion of a job's original ended.
enum OriginalDeletion {
    ORIGINAL_DELETED,
    ORIGINAL_STAYS,               // untouched
    ORIGINAL_WIPED_BUT_STAYS,     // secure deletion overwrote it, but it could not be deleted
};

class CFullImgView;  // the secure image viewer window (comes with the viewers)
class CEditorWindow; // the secure text editor window (comes with the viewers)

// SaveEditorText's own result besides the CRYPT_* codes: no password is set.
const int EDITOR_SAVE_NO_PASSWORD = 1;

// What COrvantisDoc::OpenTempDecrypted found out besides the path it returns.
struct TempOpenInfo {
    enum VideoKind { VIDEO_NONE = 0, VIDEO_MEDIA = 1, VIDEO_WMV = 2 };

    int passwordAsked = 0;    // 1: a password had to be asked for
    int asynchronous = 0;     // 1: JOB_TEMP_DECRYPT still writes the copy; PROGRESS_TEMP_DECRYPTED ends it
    int showProgress = 0;     // 1: the asynchronous copy is over 20,000,000 bytes
    int videoKind = VIDEO_NONE;
    // True: the path is a plain copy made for this open, to be wiped after
    // use. False: the path is the user's own file (a plain file is opened
    // where it lies) and must never be wiped or deleted.
    bool isTempCopy = false;
};

class COrvantisDoc : public CDocument, public CThread {
public:
    // Reads the kept job options from the profile. Made on the user-interface
    // thread, which is then the only one to change the password and the key state.
    COrvantisDoc();
    // Closes the viewers it opened that are still open (so none calls it
    // afterwards) and saves the options; a job still running is asked to stop
    // and, after at most StopWorker's wait, ended by force with EndJobByForce's clean-up.
    ~COrvantisDoc() override;

    BOOL OnNewDocument() override;
    // The answerer of the password prompts (the application's dialogs); it
    // outlives the document. Without one every prompt counts as cancelled.
    void SetPrompts(CJobPrompts* prompts) { m_pPrompts = prompts; }

    // Commands (user-interface thread). The "To" commands copy the selection
    // from `source` (the folder shown) into `destination` first and work on
    // the copies; the "InPlace" ones work on m_Selection where it lies.
    void EncryptCurrentFolder(const CString& folder);
    void EncryptSelectedTo(const CString& destination, const CString& source);
    void EncryptSelectedInPlace();
    void DecryptCurrentFolder(const CString& folder);
    void DecryptSelectedTo(const CString& destination, const CString& source);
    void DecryptSelectedInPlace();
    // Verifies (repair false) or repairs the encrypted files of a folder with the key already installed.
    void StartRecoveryJob(const CString& folder, bool repair);
    // True when the test job was started.
    bool StartIntegrityTest(const CString& folder);
    // True when the user confirmed a password (an empty one clears the key).
    bool EnterPassword();
    // Command "Allow Encrypt Root Folder": toggles m_bAllowRootFolder, with a
    // warning when it turns on.
    void OnAllowRootFolder();

    // False after telling the user why the folder may not be encrypted in place.
    bool CheckFolderPolicy(const CString& folder);
    static CString GetSpecialFolderPath(int csidl);
    // Installs the key state for a password; an empty one clears it.
    static void SetPasswordKey(const CString& password);
    // Ends a running job by force (stop request, 3000 ms, termination) and
    // returns when the worker has ended.
    int StopWorker();
    // StopWorker, then what the job's own end would have done: forgets a
    // password that was not to be kept (the integrity test's never is) and
    // wipes the temporary files made since the job started.
    void EndJobByForce();
    // Starts the worker (CThread::Start) after noting the temporary files
    // that were there before the job.
    bool Start() override;
    void SaveSettings();
    // Deletes a temporary file of the backup jobs; false (and, with report, a
    // message box) when it cannot be deleted.
    bool RemoveTempFile(const CString& path, bool report);

    // Opening single files (user-interface thread; TempDecrypt.cpp).
    //
    // The file to open for `path`: an encrypted file is decrypted into a plain
    // temporary copy ("ENC...." in the temporary folder plus the plain name's
    // extension, none for media the program's player takes when
    // `videoAllowed`), at once up to 10,000,000 bytes, else by the
    // JOB_TEMP_DECRYPT job, which ends with PROGRESS_TEMP_DECRYPTED (wParam:
    // its CRYPT_* result) and no PROGRESS_JOB_ENDED. A plain file comes back
    // as itself with info.isTempCopy false. "" when nothing can be opened (no
    // password, or a failed decryption: its message was shown and the partial
    // copy wiped).
    CString OpenTempDecrypted(const CString& path, TempOpenInfo& info, bool videoAllowed);
    // Hands an image (plain, or encrypted shown as `shownName`) to the main
    // window's preview pane; anything else clears and hides the pane.
    void OpenImagePreview(const CString& path, const CString& shownName);
    // A ViewerKind: VIEWER_TEXT, VIEWER_IMAGE or VIEWER_VIDEO (SecureViewers.cpp).
    void OpenSecureViewer(const CString& path, int kind);
    // The secure editor on `path`: a plain file loaded by the window, an
    // encrypted one decrypted into memory and handed over. A file over
    // CFileCipher::MEMORY_LIMIT bytes, or one that cannot be decrypted, gets
    // a message instead. Its window, or null.
    HWND OpenTextEditor(const CString& path);
    // Stops the preview pane's work, clears and hides it (the start of every
    // command that runs a job or asks for a password).
    void ClearImagePreview();

    // The secure editor's saving (user-interface thread; EditorSave.cpp).
    // Encrypts `text` again into `encryptedPath` with the active password and
    // the file's own options; shows nothing. CRYPT_OK or an error code.
    int SaveEditorText(const CString& encryptedPath, const BYTE* text, size_t size);
    // The message for a SaveEditorText result.
    CString EditorSaveMessage(int code);
    // An editor this document opened is going: it is forgotten here.
    void EditorClosed(CEditorWindow* editor);
    // The windows of the viewers this document opened that are still open.
    std::vector<HWND> OpenViewerWindows() const;
    // Asks every open viewer to close as the user closes it (an editor with
    // unsaved changes asks Save / Discard / Cancel); true when none stayed.
    bool AskViewersToClose();

    // Folder backup (user-interface thread, no job reports; BackupJobs.cpp).
    // Packs `folder` into `tempArchive`, checks it, moves it into place as
    // folder\compressed.zip and deletes the files whose entries tested sound
    // at their size; a file that could not be packed stays. True when every
    // item was packed and every packed file removed.
    bool ZipFolderBackup(const CString& folder, const CString& tempArchive);
    // True when every entry tests sound and none contradicts the size of the
    // file of its name in `folder`.
    bool VerifyZipPackage(const CString& folder, const CString& archive);
    // True when every entry was extracted under `destination`.
    bool UnzipFolderBackup(const CString& destination, const CString& archive);

    // Job lists. The items of a folder, its subfolders' too with the
    // document's "recurse" option (user-interface thread) or the running
    // job's (worker thread, CollectJobItems).
    bool CollectFolderItems(const CString& folder, CAddInfoList& list);
    bool CollectJobItems(const CString& folder, CAddInfoList& list);
    bool AddFileItem(const CString& path, CAddInfoList& list);
    // The start of the name of every temporary file the program makes.
    static constexpr const WCHAR* kTempFilePrefix = L"ENC";
    // A new empty file "ENC....tmp" in the user's temporary folder; "" on failure.
    static CString MakeTempFileName();
    // Appends the files under `folder` whose shown name (the plain name of an
    // encrypted file while a key is set) contains `text`, without regard to case.
    void FindFilesByName(const CString& folder, const CString& text, CStringArray& results);

    // Starts the worker on the job `jobCode` with the document's inputs
    // (folder, selection, copy folders, options, the temporary copy): they
    // are copied into the worker's request, and the copy folders are
    // forgotten here.
    // User-interface thread. False when the worker cannot start.
    bool StartJob(int jobCode);
    // True while the worker runs the temporary decryption that writes `copy`.
    bool IsDecryptingInto(const CString& copy) const;
    // The request of the job the worker runs or last ran (code -1 before the
    // first). User-interface thread; it does not change while a job runs.
    const JobRequest& RunningJob() const { return m_job; }

    // Job bodies (worker thread), run by Run according to the request.
    bool EncryptFolderJob();
    bool EncryptSelectedJob();
    // `leftOut`: items already left out of the list, counted as skipped.
    bool EncryptItemList(CAddInfoList& list, int leftOut = 0);
    bool DecryptFolderJob();
    bool DecryptSelectedJob();
    bool DecryptItemList(CAddInfoList& list, int leftOut = 0);
    bool RecoveryJob(bool repair);
    bool IntegrityTestJob();
    // JOB_TEMP_DECRYPT: the request's source into its destination, the copy.
    bool AsyncTempDecryptJob();
    // Deletes one file, wiping it first with the job's "SecureDelete" option; clears a
    // read-only attribute first. False when it cannot be deleted, and for a
    // link, which is never deleted through.
    bool DeleteOriginal(const CString& path);
    // The start of one file's work: status and log line. (The file's times
    // come from the engine, which reads them as it opens the file.)
    void BeginFile(const CString& path, const CString& line);
    // The end of one file's work once its new form stands under its new name:
    // false (after the job's line) when that file cannot be read; otherwise it
    // gets the times of the original, and the original is deleted (wiped on
    // request), `deletion` telling how that ended.
    bool ReplaceOriginal(const CString& original, const CString& target, const FileTimes& times,
                         OriginalDeletion& deletion);

    // Reports to the main window (any thread; nothing without a main window).
    static void ProgressSetTitle(const CString& title);
    static void ProgressFinish(bool keepLog, const CString& caption);
    static void ProgressClose();
    static void ProgressSetFile(const CString& text);
    // `text` is formatted with `value` (FormatLogValue) unless value is LOG_NO_VALUE.
    static void ProgressLog(int kind, const CString& text, int value = LOG_NO_VALUE);
    static void ProgressSetCount(int count);
    static void ProgressSetIndex(int index);
    static void ProgressEnded();
    static void ProgressLongOperation(int on);

    // The worker's body: clears the stop flags, runs the job the request names,
    // then reports PROGRESS_JOB_ENDED (not after JOB_TEMP_DECRYPT).
    void Run() override;

    int m_bMediaFile = 0;          // the file being decrypted for opening is media the program's player takes
    // Job inputs, written on the user-interface thread; StartJob hands a copy to the worker.
    CNameCrypt m_NameCrypt;
    CStringArray m_Selection;      // full paths, refilled by the view before every "Selected" command
    CFullImgView* m_pImageViewer = nullptr;  // the open secure image viewer; it clears this when it closes
    CString m_strCurrentFolder;    // folder of the folder, recovery and integrity jobs
    CString m_strSourcePath;       // "To" commands: both end in "\"; both empty for in-place work
    CString m_strDestPath;
    // The active password; empty: none. Threading: read and written on the
    // user-interface thread only, like the key state (crypt/KeyState.h) that
    // SetPasswordKey installs from it; a job changes either only through
    // OnUiThread, so it and the key always agree there.
    CString m_strPassword;

    // The job options; the kept ones are read at construction and written at exit.
    JobOptions m_Options;
    // The video window plays the copy being decrypted: set by the view on the
    // user-interface thread while the temporary decryption may already run,
    // read and cleared by that job on the worker.
    std::atomic<int> m_bVideoViewOpen{0};

    CPkArchive m_Archive;          // the backup jobs' archive
    CString m_strLastPreview;      // the path last handed to the preview pane; "" after the pane was cleared
    int m_bAllowRootFolder = 0;

private:
    CJobPrompts* m_pPrompts = nullptr;
    // Every plain temporary copy is noted here before its first byte is
    // written; the document's start wipes what an ended run left
    // (user-interface thread).
    CTempCopyJournal m_tempCopyJournal;
    // The windows of the viewers (image viewers, editors) this document
    // opened, each marked as its own; any of them may have closed since
    // (user-interface thread).
    std::vector<HWND> m_viewerWindows;
    CUiThreadCall m_uiThread;                   // made with the document, on its thread
    std::set<CString> m_tempFilesBeforeJob;     // "ENC" temporary files when the last job started
    bool m_bJobStarted = false;                 // a job was started since the document was made

    // Runs `work` on the user-interface thread, waiting for it (a job's
    // changes of the password and the key state).
    void OnUiThread(const std::function<void()>& work) { m_uiThread.Run(work); }
    // Empties the password and clears the key state (user-interface thread).
    void ForgetPassword();
    void WipeTempFilesOfJob();

    static HWND ReportWindow();
    bool AskPasswordAndOptions(bool encrypt, bool passFolderNames);
    bool SetCopyFolders(const CString& destination, const CString& source, const WCHAR* sameFolderMessage);
    void ClearCopyFolders();
    void RunFileCommand(int jobCode, bool encrypt, bool passFolderNames, const CString& currentFolder);
    bool CollectItems(const CString& folder, CAddInfoList& list, bool recurse);
    // Returns how many selected items were left out (links, names of devices).
    int ListSelection(CAddInfoList& list);
    void EncryptFolderNames(CAddInfoList& list, int& errors, int& skipped);
    void DecryptFolderNames(CAddInfoList& list, int& errors, int& skipped);
    void FinishFileJob(int errors, int skipped, const WCHAR* caption);
    CString DecryptCopyNow(const CString& path, const CString& copy);
    // The message of a failed decryption for opening: a CRC mismatch, or a password that cannot unlock the file.
    static void ShowOpenFailure(int result);
    void NotifyTempDecrypted(int result);
    void KeepViewer(HWND window);
    void CloseViewers();
    bool CheckBackupFolder(const CString& folder);

    // The job the worker runs: written by StartJob before the worker starts
    // (never while it runs), then read by the worker.
    JobRequest m_job;
};
