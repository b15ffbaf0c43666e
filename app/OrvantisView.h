// COrvantisView: the view of the document template. Its client area is the
// file list. It keeps the folder history behind Back, Forward and the
// history drop-down, watches the shown folder for changes, runs the find
// box, and turns every menu, toolbar and context-menu command into calls
// of the document after filling the document's selection. It also holds
// the display settings.
//
// Its second side (OrvantisViewOpen.cpp) opens the files the list hands
// it: previews and secure viewers through the document, encrypted files
// through a plain temporary copy that is wiped once the program it was
// handed to lets go of it, and media in the program's own video window
// through the player library it owns.
#pragma once

#include "app/MultipleSelectorBrowser.h"
#include "app/MyMFCShellListCtrl.h"
#include "app/TempCopyWatch.h"
#include "doc/VideoHost.h"
#include "framework/windows/CView.h"
#include "framework/base/Collections.h"
#include "viewers/VideoPlayerDll.h"
#include "viewers/VideoViewOwner.h"

#include <shlobj.h>

#include <memory>
#include <vector>

class COrvantisDoc;
class CMainFrame;
class CToolBarComboBoxButton;
class CVideoView;

class COrvantisView : public CView, public CVideoHost, public CVideoViewOwner {
public:
    // Reads the display settings and loads the player library.
    COrvantisView();
    // Closes the video window, wipes the temporary copies still there,
    // then lets the player library go.
    ~COrvantisView() override;

    COrvantisDoc* GetDocument() const;
    CMyMFCShellListCtrl& GetList() { return m_wndList; }
    CMultipleSelectorBrowser* GetBrowser() const { return m_pBrowser; }

    // The folders visited, for the Back drop-down.
    const CStringArray& GetHistory() const { return m_History; }
    int GetHistoryPos() const { return m_nHistoryPos; }
    // Closes the folder watch when there is one and forgets it.
    void CloseChangeNotification();
    bool IsWatchingFolder() const { return m_hChangeNotification != nullptr; }
    // After a job: tree and list are listed again, the watch returns 500 ms later.
    void OnJobEnded();
    // The tree's selected folder and the list are listed again.
    void RefreshAll();
    // The tree selects and opens the list's folder.
    void SyncTreeToList();
    // The list's folder, or "" when it has no file-system path.
    CString GetCurrentFolder() const;
    // The list's folder as the address box shows it: its path, else its
    // display name, else "????".
    CString ShownFolderText() const;
    // The end of an asynchronous temporary decryption (PROGRESS_TEMP_DECRYPTED),
    // with the job's CRYPT_* result.
    void OnTempDecrypted(int result);

    // The video window (OrvantisViewOpen.cpp). A plain media file plays
    // where it lies.
    void ShowVideo(const CString& path) override;
    void OnVideoViewClosing(CVideoView* window) override;
    void DeferCopyRemoval(const CString& path) override;
    void OnVideoViewDestroyed(CVideoView* window) override;

    BOOL PreCreateWindow(CREATESTRUCTW& cs) override;
    BOOL DestroyWindow() override;
    void OnDestroy() override;
    void OnInitialUpdate() override;
    void OnActivateView(BOOL activate, CView* activated, CView* deactivated) override;
    void OnDraw(CDC* dc) override;
    void OnIdleUpdateCmdUI() override;
    int OnCreate(CREATESTRUCTW* cs) override;
    void OnSize(UINT type, int cx, int cy) override;
    void OnTimer(UINT_PTR id) override;
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    BOOL OnCmdMsg(UINT id, int code, CCmdUI* update) override;

    // Timers
    static const UINT_PTR TIMER_WIPE = 1;       // temporary copies handed to other programs
    static const UINT_PTR TIMER_WATCH = 2;      // the folder watch after a job
    static const UINT_PTR TIMER_PLAYBACK = 4;   // external playback of a growing copy
    static const UINT_PTR TIMER_VIDEO_COPY = 5; // copies the video window could not remove in time

protected:
    // Folder changes, history and watch
    void OnChangeCurrentFolder();
    void WatchFolder(const CString& path);
    void AddToHistory(const CString& text);
    // Shows history entry `index`, or the next live one in `step` direction
    // when it is gone; false when none could be shown.
    bool ShowHistoryEntry(int index, int step);

    // Commands
    void OnViewStyle(UINT id);
    void OnUpdateViewStyle(CCmdUI* ui);
    void OnGoUp();
    void OnUpdateGoUp(CCmdUI* ui);
    void OnRefresh();
    void OnGoBack();
    void OnUpdateGoBack(CCmdUI* ui);
    void OnGoForward();
    void OnUpdateGoForward(CCmdUI* ui);
    void OnHistoryEntry(UINT id);
    void OnClearHistory();
    void OnEncryptFolder();
    void OnDecryptFolder();
    void OnEnterPassword();
    void OnUpdateEnterPassword(CCmdUI* ui);
    void OnAllowRootFolder();
    void OnUpdateAllowRootFolder(CCmdUI* ui);
    void OnIntegrityTest();
    void OnEncryptSelected();
    void OnDecryptSelected();
    void OnEncryptSelectedTo();
    void OnDecryptSelectedTo();
    void OnVerifyRecovery();
    void OnRepairFiles();
    void OnZipFolder();
    void OnUnzipFolder();
    void OnDecryptFolderTo();
    void OnAllowDoubleClick();
    void OnUpdateAllowDoubleClick(CCmdUI* ui);
    void OnUseSecurePreview();
    void OnUpdateUseSecurePreview(CCmdUI* ui);
    void OnUseSecureTextEditor();
    void OnUpdateUseSecureTextEditor(CCmdUI* ui);
    void OnUseSecureImageViewer();
    void OnUpdateUseSecureImageViewer(CCmdUI* ui);
    void OnThumbSize(UINT id);
    void OnUpdateThumbSize(CCmdUI* ui);
    void OnCycleThumbSize();
    void OnUpdateCycleThumbSize(CCmdUI* ui);
    // Thumbnail mode: the browser over the client area, the list hidden.
    void OnThumbnails();
    void OnUpdateThumbnails(CCmdUI* ui);
    void CloseThumbnails();
    // The browser drops its thumbnails and lays itself out for the size setting.
    void ApplyThumbSize();
    int GetThumbPixels() const;
    // The open browser lists the list's folder again (or the top level it shows).
    void RefreshBrowser();
    LRESULT OnBrowserOpenFolder();
    void OnSettings();
    void OnFindFile();
    void UpdateFindHistory(CToolBarComboBoxButton* combo, bool fromBox);

    // The folder a current-folder command works on; "" after telling the
    // user that the list shows no folder of the file system.
    CString FolderForCommand();
    // Refills the document's selection from the browser's current item in
    // thumbnail mode, else from the list's selected items; false when empty.
    bool FillSelection();
    // A "To" command: the folder chosen to copy into, or "" when cancelled.
    CString ChooseDestination(const WCHAR* title, const CString& start);
    // The folder shown, with the selection filled and a destination chosen;
    // "" after a refusal (with its message) or a cancelled choice.
    CString FolderAndSelectionForCopy(const WCHAR* title, CString& destination);
    CMainFrame* GetMainFrame() const;
    void WriteSetting(const WCHAR* name, int value);

    // Opening files (OrvantisViewOpen.cpp)
    LRESULT OnListSelChanged();
    LRESULT OnOpenSecureViewer(WPARAM kind);
    LRESULT OnListCommand(WPARAM command);
    // Opens a copy with its registered application: the copy is watched
    // from then on until the program ends (m_tempCopies); a media file's is
    // first watched by the clean-up dialog. `openNow` false: the program was
    // already started on the growing copy.
    void HandOverCopy(const CString& copy, bool media, bool openNow);
    void CheckTempCopies();
    void OnPlaybackTimer();
    // Makes the video window on first use and hands it the settings, the
    // player and this view.
    void PrepareVideoWindow();
    void PlayInVideoWindow(const CString& path, int playNow, int tempCopy, int isWmv);
    // At exit: the window closes through its whole close path.
    void CloseVideoWindow();
    void HandOverVideoCopies();
    // The next selection is previewed again, even of the same file.
    void ForgetLastPreview();

public:
    // Members (in the order of the design)
    HANDLE m_hChangeNotification = nullptr;
    BYTE m_bRefreshPending = 0;
    CStringArray m_FindResults;
    CString m_strLastFind;
    CString m_strTempCopy;        // the copy a running temporary decryption writes
    int m_nFindIndex = 0;
    CStringArray m_History;
    int m_nHistoryPos = -1;
    int m_bAutopreview = 1;
    int m_bTextView = 1;
    int m_bImageView = 1;
    int m_bAsyncVideo = 1;
    BYTE m_nPlaybackState = 0;    // 0 none, 1 waiting for the playback timer, 2 started on the growing copy
    BYTE m_bVideoMode = 0;        // the running decryption feeds the program's player
    int m_nVideoCache = 0;
    int m_nThumbSize = 0;
    CString m_strTempToWipe;      // the copy last handed to another program
    CMyMFCShellListCtrl m_wndList;
    // The thumbnail browser while thumbnail mode is on (then the list is hidden). UI thread.
    CMultipleSelectorBrowser* m_pBrowser = nullptr;
    // The player library and the video window (made on first use, kept
    // hidden between videos; it clears this pointer when it goes). UI thread.
    VideoPlayerDll m_Player;
    CVideoView* m_pVideoView = nullptr;

protected:
    // The item list of every history entry, so that folders without a path
    // can be shown again.
    struct PidlCopy {
        explicit PidlCopy(LPCITEMIDLIST pidl) : pidl(pidl ? ::ILClone(pidl) : nullptr) {}
        ~PidlCopy() { ::ILFree(pidl); }
        PidlCopy(const PidlCopy&) = delete;
        PidlCopy& operator=(const PidlCopy&) = delete;
        LPITEMIDLIST pidl;
    };
    std::vector<std::unique_ptr<PidlCopy>> m_historyPidls;

public:
    // Copies handed to other programs, watched until the program ends.
    CTempCopyWatch m_tempCopies;

protected:
    bool m_bTempCopyIsCopy = false;   // the running decryption's result is a copy of ours
    bool m_bTempCopyIsMedia = false;
    // Copies the video window handed over, waiting for the clean-up dialog.
    std::vector<CString> m_videoCopiesLeft;
    bool m_bClosingVideoForExit = false;
    // Whether names were last listed under a key, and which.
    uint64_t m_nListedKey = 0;
};
