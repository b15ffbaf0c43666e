// CMainFrame: the program's one main window: menu, the rebar with the
// toolbar (Back with its history drop-down, the "Views" drop-down, the find
// box) and the "Address" band, the status bar, the "Folders" pane with the
// folder tree and the "Image Preview" pane below it; the view fills the
// rest. It receives every job report (UWM_JOB_PROGRESS) and runs the
// progress window and the job log, handles Tab and F3, and offers the view
// and the document the folder tree, the address text, the preview pane and
// the find box.
#pragma once

#include "app/AddressBox.h"
#include "app/FolderBar.h"
#include "app/PreviewBar.h"
#include "doc/ImageViewerHost.h"
#include "doc/PreviewHost.h"
#include "doc/TextEditorHost.h"
#include "framework/windows/CFrameWnd.h"
#include "framework/windows/CReBar.h"
#include "framework/windows/CStatusBar.h"
#include "framework/windows/CToolBar.h"


class CProgressDlg;
struct JobReport;
class COrvantisView;

class CMainFrame : public CFrameWnd, public CPreviewHost, public CImageViewerHost, public CTextEditorHost {
public:
    CMainFrame();
    // Keeps a drive folder as "Settings"/"LastPath".
    ~CMainFrame() override;

    // Services for the view and the document
    CMyMFCShellTreeCtrl* GetFolderTree() { return &m_wndFolderBar.m_wndTree; }
    // Shows the folder in the address box, keeps it as the last path and
    // clears the preview.
    void SetAddressPath(const CString& path);
    // An empty path clears and hides the preview pane; a path shows it there.
    void ShowImagePreview(const CString& path) override;
    void ShowImagePreviewAs(const CString& path, const CString& shownName) override;
    void StopImagePreview() override;
    // The secure viewers, windows of their own (MainFrameViewers.cpp).
    CFullImgView* OpenImageViewer(COrvantisDoc* owner, const CString& path, HWND& window) override;
    HWND OpenTextFile(COrvantisDoc* owner, const CString& path) override;
    HWND OpenDecryptedText(COrvantisDoc* owner, const CString& name, const CString& sourcePath, const BYTE* text,
                           int size) override;
    CToolBarComboBoxButton* GetFindCombo() const;
    CToolBarComboBoxButton* GetFocusedFindCombo() const;

    // Job reports (UWM_JOB_PROGRESS), on the user-interface thread.
    LRESULT OnJobProgress(const JobReport& report);
    // Sets both stop flags; 0 for the first request of a job, 1 for later ones.
    int RequestStop();
    // Ends the job's worker by force and shows the log; always 0.
    int TerminateJob();

    BOOL LoadFrame(UINT resourceId, DWORD style = WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE, CWnd* parent = nullptr,
                   CCreateContext* context = nullptr) override;
    BOOL PreCreateWindow(CREATESTRUCTW& cs) override;
    BOOL PreTranslateMessage(MSG* msg) override;
    void OnUpdateFrameTitle(BOOL addToTitle) override;
    BOOL OnShowPopupMenu(CMenu* popup, UINT buttonCommand) override;
    int OnCreate(CREATESTRUCTW* cs) override;
    // The document's viewers close first, as the user closes them: an editor
    // whose changes the user keeps (Cancel) keeps the program open too.
    void OnClose() override;
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    BOOL OnFrameCmdMsg(UINT id, int code, CCmdUI* update) override;

    // Tab: tree, list, address box in turn.
    void CycleFocus();

    CString m_strLastPath;
    CProgressDlg* m_pProgressDlg = nullptr;
    CStatusBar m_wndStatusBar;
    CToolBar m_wndToolBar;
    CReBar m_wndReBar;
    CFolderBar m_wndFolderBar;
    CAddressBox m_wndAddressBox;
    CPreviewBar m_wndPreviewBar;

protected:
    LRESULT OnToolbarReset(WPARAM toolbarId);
    LRESULT OnToolbarContextMenu(LPARAM point);
    void OnViewCustomize();
    void OnViewFolders();
    void OnUpdateViewFolders(CCmdUI* ui);
    void OnAddressSelEndOk();
    void OnAddressEnter();

private:
    COrvantisView* GetOrvantisView() const;
    void DisplayFolderInList(const CString& path);
    // The address box shows the list's folder again.
    void ShowListFolderInAddress();
    void CloseProgressWindow();
    void AddLogLine(int text, int background, const CString& line);

    CString m_strJobTitle;             // title of the running job's progress window
};
