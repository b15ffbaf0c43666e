// COrvantisView: browsing, history, the folder watch, find and the
// commands.
#include "app/OrvantisView.h"

#include "app/MainFrame.h"
#include "app/OrvantisApp.h"
#include "app/SettingsDlg.h"
#include "crypt/KeyState.h"
#include "doc/OrvantisDoc.h"
#include "framework/windows/AfxMessageBox.h"
#include "framework/windows/CDC.h"
#include "framework/windows/CWaitCursor.h"
#include "framework/windows/CWinApp.h"
#include "framework/windows/CommandMap.h"
#include "framework/windows/FolderChooser.h"
#include "res/resource.h"

namespace {

const WCHAR kSettings[] = L"Settings";
const UINT LIST_ID = 1;
// Posted to itself by the first display: the tree follows the list once the
// main window is on screen.
const UINT UWM_SYNC_TREE = WM_APP + 0x110;

int ReadSetting(const WCHAR* name, int defaultValue)
{
    CWinApp* app = AfxGetApp();
    return app ? (int)app->GetProfileInt(kSettings, name, defaultValue) : defaultValue;
}

// Which key the names were listed under (0: none), without keeping the key.
uint64_t KeyFingerprint()
{
    if (!HasKey())
        return 0;
    uint64_t hash = 1469598103934665603ull;
    for (size_t i = 0; i < 32; ++i)
        hash = (hash ^ g_NameKey[i]) * 1099511628211ull;
    return hash | 1;
}

}  // namespace

COrvantisView::COrvantisView()
{
    m_nThumbSize = ReadSetting(L"ThumbSize", 0);
    m_bAutopreview = ReadSetting(L"Autopreview", 1);
    m_bTextView = ReadSetting(L"TextView", 1);
    m_bImageView = ReadSetting(L"ImageView", 1);
    m_bAsyncVideo = ReadSetting(L"AsyncVideo", 1);
    m_nVideoCache = ReadSetting(L"VideoCache", 0);
    m_wndList.m_bTextView = m_bTextView;
    m_wndList.m_bImageView = m_bImageView;
    // Without the library media files go to the application registered for their type.
    m_Player.Load();
    m_wndList.m_bVideoPlayer = m_Player.IsLoaded() ? 1 : 0;
    // Copies an earlier run left go now; this run's are noted beside them,
    // in the program's profile (COrvantisApp::InitInstance names it).
    m_tempCopies.Begin(CTempCopyJournal::ProgramKey());
}

COrvantisView::~COrvantisView()
{
    if (m_pBrowser) {
        if (m_pBrowser->IsWindow())
            m_pBrowser->DestroyWindow();
        delete m_pBrowser;
        m_pBrowser = nullptr;
    }
    CloseVideoWindow();
    m_tempCopies.WipeAll();
    // m_Player goes last: the video window no longer holds it.
}

COrvantisDoc* COrvantisView::GetDocument() const { return dynamic_cast<COrvantisDoc*>(m_pDocument); }

CMainFrame* COrvantisView::GetMainFrame() const
{
    CWinApp* app = AfxGetApp();
    return app ? dynamic_cast<CMainFrame*>(app->m_pMainWnd) : nullptr;
}

void COrvantisView::WriteSetting(const WCHAR* name, int value)
{
    if (CWinApp* app = AfxGetApp())
        app->WriteProfileInt(kSettings, name, value);
}

BOOL COrvantisView::PreCreateWindow(CREATESTRUCTW& cs) { return CView::PreCreateWindow(cs); }

int COrvantisView::OnCreate(CREATESTRUCTW* cs)
{
    if (CView::OnCreate(cs) == -1)
        return -1;
    if (!m_wndList.Create(WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SHOWSELALWAYS, CRect(0, 0, 0, 0), this, LIST_ID))
        return -1;
    m_wndList.SetExtendedStyle(m_wndList.GetExtendedStyle() | LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    return 0;
}

void COrvantisView::OnSize(UINT, int cx, int cy)
{
    if (m_wndList.IsWindow())
        m_wndList.MoveWindow(0, 0, cx, cy);
    if (m_pBrowser && m_pBrowser->IsWindow())
        m_pBrowser->MoveWindow(0, 0, cx, cy);
}

BOOL COrvantisView::DestroyWindow()
{
    CloseChangeNotification();
    return CView::DestroyWindow();
}

void COrvantisView::OnDestroy()
{
    // The frame's destruction takes the view with it without DestroyWindow.
    CloseChangeNotification();
    CloseVideoWindow();
    if (m_pBrowser) {
        // The loader ends with the browser's window.
        if (m_pBrowser->IsWindow())
            m_pBrowser->DestroyWindow();
        delete m_pBrowser;
        m_pBrowser = nullptr;
    }
    CView::OnDestroy();
}

void COrvantisView::OnDraw(CDC*) {}

void COrvantisView::OnActivateView(BOOL activate, CView* activated, CView* deactivated)
{
    if (activate) {
        if (CMainFrame* frame = GetMainFrame())
            m_wndList.SetRelatedTree(frame->GetFolderTree());
    }
    CView::OnActivateView(activate, activated, deactivated);
}

void COrvantisView::OnInitialUpdate()
{
    CView::OnInitialUpdate();
    if (CMainFrame* frame = GetMainFrame())
        m_wndList.SetRelatedTree(frame->GetFolderTree());
    CString last;
    if (CWinApp* app = AfxGetApp())
        last = app->GetProfileString(kSettings, L"LastPath", L"");
    // A last folder that cannot be shown any more gives the Desktop.
    if (!last.IsEmpty() && SUCCEEDED(m_wndList.DisplayFolder(last.GetString()))) {
        // The tree is not on screen yet, so the list could not make it
        // select the folder.
        PostMessage(UWM_SYNC_TREE);
        return;
    }
    ITEMIDLIST desktop = {};
    if (FAILED(m_wndList.DisplayFolderPidl(&desktop)))
        OnChangeCurrentFolder();
}

// Folder changes, history and the folder watch

CString COrvantisView::GetCurrentFolder() const
{
    CString path;
    if (!m_wndList.GetCurrentFolder(path))
        path.Empty();
    return path;
}

CString COrvantisView::ShownFolderText() const
{
    CString path = GetCurrentFolder();
    if (path.IsEmpty() && !m_wndList.GetCurrentFolderName(path))
        path.Empty();
    if (path.IsEmpty())
        path = L"????";
    return path;
}

void COrvantisView::AddToHistory(const CString& text)
{
    m_nHistoryPos = -1;
    for (int i = 0; i < m_History.GetSize(); ++i) {
        if (m_History[i].CompareNoCase(text) == 0) {
            m_nHistoryPos = i;
            break;
        }
    }
    if (m_nHistoryPos >= 0)
        return;
    m_History.Add(text);
    m_historyPidls.push_back(std::make_unique<PidlCopy>(m_wndList.GetCurrentPidl()));
    m_nHistoryPos = m_History.GetSize() - 1;
    if (m_History.GetSize() >= 20) {
        m_History.RemoveAt(0);
        m_historyPidls.erase(m_historyPidls.begin());
        --m_nHistoryPos;
    }
}

void COrvantisView::OnChangeCurrentFolder()
{
    CString path = ShownFolderText();
    if (CMainFrame* frame = GetMainFrame(); frame && frame->IsWindow())
        frame->SetAddressPath(path);
    if (m_pBrowser)
        m_pBrowser->NavigateTo(GetCurrentFolder());
    ForgetLastPreview();
    AddToHistory(path);
    WatchFolder(path);
}

void COrvantisView::CloseChangeNotification()
{
    if (!m_hChangeNotification)
        return;
    if (CWinApp* app = AfxGetApp())
        app->RemoveWakeHandle(m_hChangeNotification);
    ::FindCloseChangeNotification(m_hChangeNotification);
    m_hChangeNotification = nullptr;
}

void COrvantisView::WatchFolder(const CString& path)
{
    CloseChangeNotification();
    // Network paths and "\\"-forms are not watched.
    if (path.IsEmpty() || path[0] == L'\\')
        return;
    CString folder = path;
    if (folder[folder.GetLength() - 1] != L'\\')
        folder += L'\\';
    HANDLE watch = ::FindFirstChangeNotificationW(folder, FALSE,
                                                  FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME);
    if (watch == INVALID_HANDLE_VALUE || !watch)
        return;
    m_hChangeNotification = watch;
    // The message loop wakes for it, so the idle-time check sees it at once.
    if (CWinApp* app = AfxGetApp())
        app->AddWakeHandle(watch);
}

void COrvantisView::OnIdleUpdateCmdUI()
{
    if (m_hChangeNotification && ::WaitForSingleObject(m_hChangeNotification, 0) == WAIT_OBJECT_0) {
        ::FindNextChangeNotification(m_hChangeNotification);
        m_bRefreshPending = 1;
    }
    if (m_bRefreshPending)
        RefreshAll();
}

void COrvantisView::RefreshAll()
{
    CMainFrame* frame = GetMainFrame();
    CMyMFCShellTreeCtrl* tree = frame ? frame->GetFolderTree() : nullptr;
    uint64_t key = KeyFingerprint();
    if (tree && tree->IsWindow()) {
        if (key != m_nListedKey) {
            // Names shown under another key (or decrypted before the key
            // was cleared) must not linger in any open branch: the tree is
            // listed again from the root and opened down to the list's folder.
            HTREEITEM root = tree->GetRootItem();
            tree->CollapseAndDiscard(root);
            tree->Expand(root, TVE_EXPAND);
            if (m_wndList.GetCurrentPidl())
                tree->SelectPidl(m_wndList.GetCurrentPidl(), true);
        } else {
            tree->RefreshSelected();
        }
    }
    m_nListedKey = key;
    m_wndList.Refresh();
    m_bRefreshPending = 0;
}

void COrvantisView::SyncTreeToList()
{
    CMainFrame* frame = GetMainFrame();
    CMyMFCShellTreeCtrl* tree = frame ? frame->GetFolderTree() : nullptr;
    if (!tree || !tree->IsWindow())
        return;
    tree->PumpOneMessage();
    if (m_wndList.GetCurrentPidl())
        tree->SelectPidl(m_wndList.GetCurrentPidl(), true);
}

void COrvantisView::OnJobEnded()
{
    RefreshAll();
    KillTimer(TIMER_WATCH);
    SetTimer(TIMER_WATCH, 500);
    RefreshBrowser();
}

void COrvantisView::OnTimer(UINT_PTR id)
{
    KillTimer(id);
    switch (id) {
    case TIMER_WIPE:
        CheckTempCopies();
        break;
    case TIMER_WATCH:
        WatchFolder(ShownFolderText());
        break;
    case TIMER_PLAYBACK:
        OnPlaybackTimer();
        break;
    case TIMER_VIDEO_COPY:
        HandOverVideoCopies();
        break;
    default:
        break;
    }
}

bool COrvantisView::ShowHistoryEntry(int index, int step)
{
    // Entries are shown by the item list kept from their visit (folders
    // without a path have nothing else); those whose folder is gone are
    // passed over.
    for (; index >= 0 && index < m_History.GetSize(); index += step) {
        LPCITEMIDLIST pidl = m_historyPidls[(size_t)index]->pidl;
        // A folder of the disk that is gone would still bind (its item list
        // names it) and show as empty.
        CString path = PathOfPidl(pidl);
        bool gone = !path.IsEmpty() && ::GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES;
        HRESULT shown = E_FAIL;
        if (!gone)
            shown = pidl ? m_wndList.DisplayFolderPidl(pidl) : m_wndList.DisplayFolder(m_History[index].GetString());
        if (SUCCEEDED(shown))
            return true;
        if (step == 0)
            break;
    }
    return false;
}

void COrvantisView::OnGoBack()
{
    if (GetMainFrame() && m_nHistoryPos > 0)
        ShowHistoryEntry(m_nHistoryPos - 1, -1);
}

void COrvantisView::OnUpdateGoBack(CCmdUI* ui) { ui->Enable(m_nHistoryPos > 0); }

void COrvantisView::OnGoForward()
{
    if (m_nHistoryPos < m_History.GetSize() - 1)
        ShowHistoryEntry(m_nHistoryPos + 1, 1);
}

void COrvantisView::OnUpdateGoForward(CCmdUI* ui) { ui->Enable(m_nHistoryPos < m_History.GetSize() - 1); }

void COrvantisView::OnHistoryEntry(UINT id)
{
    int index = (int)(id - ID_HISTORY_FIRST);
    if (index < m_History.GetSize())
        ShowHistoryEntry(index, 0);
}

void COrvantisView::OnClearHistory()
{
    m_History.RemoveAll();
    m_historyPidls.clear();
    m_nHistoryPos = -1;
}

// Display commands

void COrvantisView::OnViewStyle(UINT id)
{
    switch (id) {
    case ID_VIEW_LARGEICON:
        m_wndList.SetViewStyle(LVS_ICON);
        break;
    case ID_VIEW_SMALLICON:
        m_wndList.SetViewStyle(LVS_SMALLICON);
        break;
    case ID_VIEW_LIST:
        m_wndList.SetViewStyle(LVS_LIST);
        break;
    default:
        m_wndList.SetViewStyle(LVS_REPORT);
        break;
    }
}

void COrvantisView::OnUpdateViewStyle(CCmdUI* ui)
{
    DWORD style = m_wndList.GetViewStyle();
    DWORD wanted = ui->m_nID == ID_VIEW_LARGEICON   ? LVS_ICON
                   : ui->m_nID == ID_VIEW_SMALLICON ? LVS_SMALLICON
                   : ui->m_nID == ID_VIEW_LIST      ? LVS_LIST
                                                    : LVS_REPORT;
    ui->SetRadio(style == wanted);
}

void COrvantisView::OnGoUp() { m_wndList.DisplayParentFolder(); }

void COrvantisView::OnUpdateGoUp(CCmdUI* ui) { ui->Enable(m_wndList.GetCurrentPidl() && !m_wndList.IsDesktopShown()); }

void COrvantisView::OnRefresh() { RefreshAll(); }

void COrvantisView::OnAllowDoubleClick()
{
    m_wndList.m_bAllowDoubleClick = !m_wndList.m_bAllowDoubleClick;
    WriteSetting(L"allowdoubleclick", m_wndList.m_bAllowDoubleClick);
}

void COrvantisView::OnUpdateAllowDoubleClick(CCmdUI* ui) { ui->SetCheck(m_wndList.m_bAllowDoubleClick ? 1 : 0); }

void COrvantisView::OnUseSecurePreview()
{
    m_bAutopreview = !m_bAutopreview;
    WriteSetting(L"Autopreview", m_bAutopreview);
}

void COrvantisView::OnUpdateUseSecurePreview(CCmdUI* ui) { ui->SetCheck(m_bAutopreview ? 1 : 0); }

void COrvantisView::OnUseSecureTextEditor()
{
    m_bTextView = !m_bTextView;
    m_wndList.m_bTextView = m_bTextView;
    WriteSetting(L"TextView", m_bTextView);
}

void COrvantisView::OnUpdateUseSecureTextEditor(CCmdUI* ui) { ui->SetCheck(m_bTextView ? 1 : 0); }

void COrvantisView::OnUseSecureImageViewer()
{
    m_bImageView = !m_bImageView;
    m_wndList.m_bImageView = m_bImageView;
    WriteSetting(L"ImageView", m_bImageView);
}

void COrvantisView::OnUpdateUseSecureImageViewer(CCmdUI* ui) { ui->SetCheck(m_bImageView ? 1 : 0); }

void COrvantisView::OnThumbSize(UINT id)
{
    m_nThumbSize = (int)(id - ID_THUMB_SMALL);
    WriteSetting(L"ThumbSize", m_nThumbSize);
    ApplyThumbSize();
}

void COrvantisView::OnUpdateThumbSize(CCmdUI* ui) { ui->SetCheck(m_nThumbSize == (int)(ui->m_nID - ID_THUMB_SMALL)); }

void COrvantisView::OnCycleThumbSize()
{
    m_nThumbSize = (m_nThumbSize + 1) % 3;
    WriteSetting(L"ThumbSize", m_nThumbSize);
    ApplyThumbSize();
}

void COrvantisView::OnUpdateCycleThumbSize(CCmdUI* ui) { ui->Enable(m_pBrowser != nullptr); }

int COrvantisView::GetThumbPixels() const { return m_nThumbSize == 1 ? 240 : m_nThumbSize == 2 ? 360 : 170; }

void COrvantisView::ApplyThumbSize()
{
    if (!m_pBrowser)
        return;
    m_pBrowser->m_FolderPicture.Free();
    m_pBrowser->m_ParentPicture.Free();
    m_pBrowser->m_nThumbPixels = GetThumbPixels();
    m_pBrowser->UpdateColumns();
    m_pBrowser->ResetThumbnails();
    m_pBrowser->UpdateLayout();
    m_pBrowser->Invalidate();
}

void COrvantisView::OnThumbnails()
{
    if (m_pBrowser) {
        CloseThumbnails();
        return;
    }
    m_pBrowser = new CMultipleSelectorBrowser;
    m_pBrowser->m_nThumbPixels = GetThumbPixels();
    CRect client;
    GetClientRect(&client);
    m_pBrowser->CreateAndShow(client, this);
    m_wndList.ShowWindow(SW_HIDE);
    m_pBrowser->ShowWindow(SW_SHOW);
    m_pBrowser->SetFocus();
    m_pBrowser->UpdateLayout();
    m_pBrowser->NavigateTo(GetCurrentFolder());
}

void COrvantisView::OnUpdateThumbnails(CCmdUI* ui) { ui->SetRadio(m_pBrowser != nullptr); }

void COrvantisView::CloseThumbnails()
{
    if (!m_pBrowser)
        return;
    if (!m_pBrowser->m_strCurrentPath.IsEmpty())
        m_wndList.SelectItemByPath(m_pBrowser->m_strCurrentPath);
    m_wndList.ShowWindow(SW_SHOW);
    m_pBrowser->DestroyWindow();
    delete m_pBrowser;
    m_pBrowser = nullptr;
    m_wndList.SetFocus();
}

void COrvantisView::RefreshBrowser()
{
    if (m_pBrowser)
        m_pBrowser->NavigateTo(m_pBrowser->IsTopLevel() ? CString() : GetCurrentFolder());
}

LRESULT COrvantisView::OnBrowserOpenFolder()
{
    // The top level is the browser's own: the list stays where it is, so no
    // folder change sends the browser back into a folder.
    if (m_pBrowser && !m_pBrowser->IsTopLevel())
        m_wndList.DisplayFolder(m_pBrowser->m_strFolder.GetString());
    return 0;
}

void COrvantisView::OnSettings()
{
    COrvantisDoc* document = GetDocument();
    CSettingsDlg dialog(this);
    dialog.m_bAllowRoot = document ? document->m_bAllowRootFolder : 0;
    dialog.m_bDoubleClick = m_wndList.m_bAllowDoubleClick;
    dialog.m_bAsyncVideo = m_bAsyncVideo;
    dialog.m_bAutopreview = m_bAutopreview;
    dialog.m_bImageView = m_bImageView;
    dialog.m_bTextView = m_bTextView;
    dialog.m_nVideoCache = m_nVideoCache;
    dialog.SetPlayerStatus(m_Player.IsLoaded());
    if (dialog.DoModal() != IDOK)
        return;
    if (document)
        document->m_bAllowRootFolder = dialog.m_bAllowRoot;
    m_wndList.m_bAllowDoubleClick = dialog.m_bDoubleClick;
    WriteSetting(L"allowdoubleclick", m_wndList.m_bAllowDoubleClick);
    m_bAsyncVideo = dialog.m_bAsyncVideo;
    WriteSetting(L"AsyncVideo", m_bAsyncVideo);
    m_bAutopreview = dialog.m_bAutopreview;
    WriteSetting(L"Autopreview", m_bAutopreview);
    m_bImageView = m_wndList.m_bImageView = dialog.m_bImageView;
    WriteSetting(L"ImageView", m_bImageView);
    m_bTextView = m_wndList.m_bTextView = dialog.m_bTextView;
    WriteSetting(L"TextView", m_bTextView);
    m_nVideoCache = dialog.m_nVideoCache;
    WriteSetting(L"VideoCache", m_nVideoCache);
}

// Job commands

CString COrvantisView::FolderForCommand()
{
    CString folder = GetCurrentFolder();
    if (folder.IsEmpty())
        AfxMessageBox(L"This command works on a folder of the disk: open one in the list first.", MB_OK);
    return folder;
}

bool COrvantisView::FillSelection()
{
    COrvantisDoc* document = GetDocument();
    if (!document)
        return false;
    document->m_Selection.RemoveAll();
    if (m_pBrowser) {
        if (!m_pBrowser->m_strCurrentPath.IsEmpty())
            document->m_Selection.Add(m_pBrowser->m_strCurrentPath);
    } else {
        m_wndList.GetSelectedPaths(document->m_Selection);
    }
    return !document->m_Selection.IsEmpty();
}

CString COrvantisView::ChooseDestination(const WCHAR* title, const CString& start)
{
    CString chosen;
    if (!AfxChooseFolder(GetMainFrame() ? GetMainFrame()->m_hWnd : m_hWnd, title, start, chosen))
        chosen.Empty();
    return chosen;
}

void COrvantisView::OnEncryptFolder()
{
    CString folder = FolderForCommand();
    if (!folder.IsEmpty() && GetDocument())
        GetDocument()->EncryptCurrentFolder(folder);
}

void COrvantisView::OnDecryptFolder()
{
    CString folder = FolderForCommand();
    if (!folder.IsEmpty() && GetDocument())
        GetDocument()->DecryptCurrentFolder(folder);
}

// The document's own settings: the check marks of "Enter Password..." (a
// password is set) and "Allow Encrypt Root Folder" (roots are allowed).
void COrvantisView::OnUpdateEnterPassword(CCmdUI* ui)
{
    COrvantisDoc* document = GetDocument();
    ui->SetCheck(document && !document->m_strPassword.IsEmpty() ? 1 : 0);
}

void COrvantisView::OnAllowRootFolder()
{
    if (COrvantisDoc* document = GetDocument())
        document->OnAllowRootFolder();
}

void COrvantisView::OnUpdateAllowRootFolder(CCmdUI* ui)
{
    COrvantisDoc* document = GetDocument();
    ui->SetCheck(document && document->m_bAllowRootFolder ? 1 : 0);
}

void COrvantisView::OnEnterPassword()
{
    COrvantisDoc* document = GetDocument();
    if (!document || !document->EnterPassword())
        return;
    RefreshAll();
    SyncTreeToList();
    // Names are shown under the new key.
    RefreshBrowser();
}

void COrvantisView::OnIntegrityTest()
{
    CString folder = FolderForCommand();
    if (!folder.IsEmpty() && GetDocument())
        GetDocument()->StartIntegrityTest(folder);
}

void COrvantisView::OnEncryptSelected()
{
    if (!FillSelection()) {
        AfxMessageBox(L"Select files and/or folders in the list first", MB_OK);
        return;
    }
    GetDocument()->EncryptSelectedInPlace();
}

void COrvantisView::OnDecryptSelected()
{
    if (!FillSelection()) {
        AfxMessageBox(L"Select single file or folder in the list first", MB_OK);
        return;
    }
    GetDocument()->DecryptSelectedInPlace();
}

CString COrvantisView::FolderAndSelectionForCopy(const WCHAR* title, CString& destination)
{
    CString folder = FolderForCommand();
    if (folder.IsEmpty())
        return folder;
    if (!FillSelection()) {
        AfxMessageBox(L"Select files and/or folders in the list first", MB_OK);
        return CString();
    }
    destination = ChooseDestination(title, folder);
    return destination.IsEmpty() ? CString() : folder;
}

void COrvantisView::OnEncryptSelectedTo()
{
    CString destination;
    CString folder = FolderAndSelectionForCopy(L"Copy and Encrypt Selected files/folders to :", destination);
    if (!folder.IsEmpty())
        GetDocument()->EncryptSelectedTo(destination, folder);
}

void COrvantisView::OnDecryptSelectedTo()
{
    CString destination;
    CString folder = FolderAndSelectionForCopy(L"Copy and Decrypt Selected files/folders to :", destination);
    if (!folder.IsEmpty())
        GetDocument()->DecryptSelectedTo(destination, folder);
}

void COrvantisView::OnVerifyRecovery()
{
    CString folder = FolderForCommand();
    if (!folder.IsEmpty() && GetDocument())
        GetDocument()->StartRecoveryJob(folder, false);
}

void COrvantisView::OnRepairFiles()
{
    CString folder = FolderForCommand();
    if (!folder.IsEmpty() && GetDocument())
        GetDocument()->StartRecoveryJob(folder, true);
}

void COrvantisView::OnZipFolder()
{
    CString folder = FolderForCommand();
    if (folder.IsEmpty() || !GetDocument())
        return;
    CWaitCursor wait;
    GetDocument()->ZipFolderBackup(folder, COrvantisDoc::MakeTempFileName());
    // The backup sends no job reports: the list shows the folder as it is now.
    RefreshAll();
}

void COrvantisView::OnUnzipFolder()
{
    CString archive = m_wndList.GetFocusedItemPath();
    if (archive.IsEmpty()) {
        AfxMessageBox(L"Select the folder's compressed.zip in the list first", MB_OK);
        return;
    }
    CString folder = FolderForCommand();
    if (folder.IsEmpty() || !GetDocument())
        return;
    CWaitCursor wait;
    GetDocument()->UnzipFolderBackup(folder, archive);
    RefreshAll();
}

void COrvantisView::OnDecryptFolderTo() {}


// Find

void COrvantisView::UpdateFindHistory(CToolBarComboBoxButton* combo, bool fromBox)
{
    if (!combo)
        return;
    if (fromBox)
        g_FindText = combo->GetText();
    if (g_FindText.IsEmpty())
        return;
    CComboBox& box = combo->GetComboBox();
    for (int i = box.GetCount() - 1; i >= 0; --i) {
        if (box.GetLBText(i) == g_FindText)
            box.DeleteString(i);
    }
    box.InsertString(0, g_FindText);
    box.SetCurSel(0);
    if (!fromBox)
        combo->SetText(g_FindText);
}

void COrvantisView::OnFindFile()
{
    CMainFrame* frame = GetMainFrame();
    CToolBarComboBoxButton* combo = frame ? frame->GetFocusedFindCombo() : nullptr;
    UpdateFindHistory(combo, combo != nullptr);
    COrvantisDoc* document = GetDocument();
    if (!document || g_FindText.IsEmpty())
        return;
    CString found;
    if (g_FindText != m_strLastFind) {
        m_FindResults.RemoveAll();
        m_nFindIndex = 0;
        CString folder = FolderForCommand();
        if (folder.IsEmpty())
            return;
        document->FindFilesByName(folder, g_FindText, m_FindResults);
        if (!m_FindResults.IsEmpty())
            found = m_FindResults[0];
    } else if (!m_FindResults.IsEmpty()) {
        ++m_nFindIndex;
        found = m_FindResults[m_nFindIndex % m_FindResults.GetSize()];
    }
    m_strLastFind = g_FindText;
    m_wndList.SelectItemByPath(found);
}

// Messages and the command table

BOOL COrvantisView::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == ChangeCurrentFolderMessage()) {
        OnChangeCurrentFolder();
        *result = 0;
        return TRUE;
    }
    if (message == AfterShellCommandMessage()) {
        // Whatever a shell command did to the folder shows at the next idle time.
        m_bRefreshPending = 1;
        *result = 0;
        return TRUE;
    }
    switch (message) {
    case UWM_LIST_COMMAND:
        *result = OnListCommand(wParam);
        return TRUE;
    case UWM_LIST_SELCHANGED:
        *result = OnListSelChanged();
        return TRUE;
    case UWM_OPEN_SECURE_VIEWER:
        *result = OnOpenSecureViewer(wParam);
        return TRUE;
    case UWM_BROWSER_OPEN_FOLDER:
        *result = OnBrowserOpenFolder();
        return TRUE;
    case UWM_SYNC_TREE:
        SyncTreeToList();
        *result = 0;
        return TRUE;
    case WM_ERASEBKGND:
        *result = 1;
        return TRUE;
    case WM_SETFOCUS:
        if (m_pBrowser && m_pBrowser->IsWindow())
            m_pBrowser->SetFocus();
        else if (m_wndList.IsWindow())
            m_wndList.SetFocus();
        *result = 0;
        return TRUE;
    case WM_MOUSEWHEEL:
        if (m_pBrowser)
            m_pBrowser->OnMouseWheel(GET_KEYSTATE_WPARAM(wParam), GET_WHEEL_DELTA_WPARAM(wParam),
                                     POINT{(short)LOWORD(lParam), (short)HIWORD(lParam)});
        return CView::OnWndMsg(message, wParam, lParam, result);
    case WM_MOUSEHWHEEL:
        *result = DefWindowProc(message, wParam, lParam);
        return TRUE;
    default:
        return CView::OnWndMsg(message, wParam, lParam, result);
    }
}

BOOL COrvantisView::OnCmdMsg(UINT id, int code, CCmdUI* update)
{
    static const CommandEntry<COrvantisView> commands[] = {
        CmdRange(ID_VIEW_SMALLICON, ID_VIEW_DETAILS, &COrvantisView::OnViewStyle),
        CmdUpdateRange(ID_VIEW_SMALLICON, ID_VIEW_DETAILS, &COrvantisView::OnUpdateViewStyle),
        Cmd(ID_GO_UP, &COrvantisView::OnGoUp),
        CmdUpdate(ID_GO_UP, &COrvantisView::OnUpdateGoUp),
        Cmd(ID_REFRESH, &COrvantisView::OnRefresh),
        Cmd(ID_GO_BACK, &COrvantisView::OnGoBack),
        CmdUpdate(ID_GO_BACK, &COrvantisView::OnUpdateGoBack),
        Cmd(ID_GO_FORWARD, &COrvantisView::OnGoForward),
        CmdUpdate(ID_GO_FORWARD, &COrvantisView::OnUpdateGoForward),
        CmdRange(ID_HISTORY_FIRST, ID_HISTORY_LAST, &COrvantisView::OnHistoryEntry),
        Cmd(ID_CLEAR_HISTORY, &COrvantisView::OnClearHistory),
        Cmd(ID_ENCRYPT_FOLDER, &COrvantisView::OnEncryptFolder),
        Cmd(ID_DECRYPT_FOLDER, &COrvantisView::OnDecryptFolder),
        Cmd(ID_ENTER_PASSWORD, &COrvantisView::OnEnterPassword),
        CmdUpdate(ID_ENTER_PASSWORD, &COrvantisView::OnUpdateEnterPassword),
        Cmd(ID_ALLOW_ROOT_FOLDER, &COrvantisView::OnAllowRootFolder),
        CmdUpdate(ID_ALLOW_ROOT_FOLDER, &COrvantisView::OnUpdateAllowRootFolder),
        Cmd(ID_INTEGRITY_TEST, &COrvantisView::OnIntegrityTest),
        Cmd(ID_ENCRYPT_SELECTED, &COrvantisView::OnEncryptSelected),
        Cmd(ID_DECRYPT_SELECTED, &COrvantisView::OnDecryptSelected),
        Cmd(ID_ENCRYPT_SELECTED_TO, &COrvantisView::OnEncryptSelectedTo),
        Cmd(ID_DECRYPT_SELECTED_TO, &COrvantisView::OnDecryptSelectedTo),
        Cmd(ID_VERIFY_RECOVERY, &COrvantisView::OnVerifyRecovery),
        Cmd(ID_REPAIR_FILES, &COrvantisView::OnRepairFiles),
        Cmd(ID_ZIP_FOLDER, &COrvantisView::OnZipFolder),
        Cmd(ID_UNZIP_FOLDER, &COrvantisView::OnUnzipFolder),
        Cmd(ID_DECRYPT_FOLDER_TO, &COrvantisView::OnDecryptFolderTo),
        Cmd(ID_ALLOW_DOUBLE_CLICK, &COrvantisView::OnAllowDoubleClick),
        CmdUpdate(ID_ALLOW_DOUBLE_CLICK, &COrvantisView::OnUpdateAllowDoubleClick),
        Cmd(ID_USE_SECURE_PREVIEW, &COrvantisView::OnUseSecurePreview),
        CmdUpdate(ID_USE_SECURE_PREVIEW, &COrvantisView::OnUpdateUseSecurePreview),
        Cmd(ID_USE_SECURE_TEXT_EDITOR, &COrvantisView::OnUseSecureTextEditor),
        CmdUpdate(ID_USE_SECURE_TEXT_EDITOR, &COrvantisView::OnUpdateUseSecureTextEditor),
        Cmd(ID_USE_SECURE_IMAGE_VIEWER, &COrvantisView::OnUseSecureImageViewer),
        CmdUpdate(ID_USE_SECURE_IMAGE_VIEWER, &COrvantisView::OnUpdateUseSecureImageViewer),
        CmdRange(ID_THUMB_SMALL, ID_THUMB_XLARGE, &COrvantisView::OnThumbSize),
        CmdUpdateRange(ID_THUMB_SMALL, ID_THUMB_XLARGE, &COrvantisView::OnUpdateThumbSize),
        Cmd(ID_THUMB_SIZE, &COrvantisView::OnCycleThumbSize),
        CmdUpdate(ID_THUMB_SIZE, &COrvantisView::OnUpdateCycleThumbSize),
        Cmd(ID_THUMBNAILS, &COrvantisView::OnThumbnails),
        CmdUpdate(ID_THUMBNAILS, &COrvantisView::OnUpdateThumbnails),
        Cmd(ID_SETTINGS, &COrvantisView::OnSettings),
        Cmd(ID_FIND_FILE, &COrvantisView::OnFindFile),
    };
    return DispatchCommand(this, commands, id, code, update) || CView::OnCmdMsg(id, code, update);
}
