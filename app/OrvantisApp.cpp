#include "app/OrvantisApp.h"

#include "app/AboutDlg.h"
#include "app/JobPromptDialogs.h"
#include "app/MainFrame.h"
#include "app/OrvantisView.h"
#include "doc/OrvantisDoc.h"
#include "framework/windows/AfxMessageBox.h"
#include "framework/windows/CDocTemplate.h"
#include "framework/windows/CommandMap.h"
#include "imaging/core/PicEntryPoints.h"
#include "res/resource.h"

#include <commctrl.h>
#include <ole2.h>

CString g_FindText;
UINT g_ShellFileListFormat = ::RegisterClipboardFormatW(L"QuorvexShellFileList");

namespace {

CString AppTitle()
{
    CString title;
    if (!title.LoadString(IDS_APP_TITLE))
        title = L"Quorvex";
    return title;
}

}  // namespace

COrvantisApp::COrvantisApp() : CWinAppEx(AppTitle()) {}

BOOL COrvantisApp::InitInstance()
{
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
    CWinAppEx::InitInstance();

    if (FAILED(::OleInitialize(nullptr))) {
        AfxMessageBox(IDS_OLE_INIT_FAILED);
        return FALSE;
    }
    m_bOleStarted = true;
    m_bImagingStarted = pic_Initialize(nullptr) != FALSE;

    // The profile: Software\Halvercombe\Quorvex. The program keeps no
    // recent-file list (its document has no file).
    SetRegistryKey(L"Halvercombe");
    SetProfileName(L"Quorvex");
    if ((int)GetProfileInt(L"Settings", L"Appversion", 0) != LAYOUT_VERSION)
        CleanState();
    WriteProfileInt(L"Settings", L"Appversion", LAYOUT_VERSION);

    // The document asks for passwords through the program's dialogs.
    AddDocTemplate(new CSingleDocTemplate(
        IDR_MAINFRAME,
        [] {
            auto* document = new COrvantisDoc;
            document->SetPrompts(&CJobPromptDialogs::Instance());
            return static_cast<CDocument*>(document);
        },
        [] { return static_cast<CFrameWnd*>(new CMainFrame); }, [] { return static_cast<CView*>(new COrvantisView); }));
    if (!ProcessShellCommand())
        return FALSE;
    m_pMainWnd->ShowWindow(m_nCmdShow);
    m_pMainWnd->UpdateWindow();
    return TRUE;
}

BOOL COrvantisApp::PreTranslateMessage(MSG* msg) { return CWinAppEx::PreTranslateMessage(msg); }

int COrvantisApp::ExitInstance()
{
    if (m_bOleStarted)
        ::OleUninitialize();
    m_bOleStarted = false;
    if (m_bImagingStarted)
        pic_Shutdown();
    m_bImagingStarted = false;
    return CWinAppEx::ExitInstance();
}

BOOL COrvantisApp::OnCmdMsg(UINT id, int code, CCmdUI* update)
{
    static const CommandEntry<COrvantisApp> commands[] = {
        Cmd(ID_APP_ABOUT, &COrvantisApp::OnAppAbout),
    };
    return DispatchCommand(this, commands, id, code, update) || CWinAppEx::OnCmdMsg(id, code, update);
}

void COrvantisApp::OnAppAbout()
{
    CAboutDlg about;
    about.DoModal();
}
