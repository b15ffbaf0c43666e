// CWinAppEx: the application object of a program with a document template
// and a workspace.
//
// The workspace is what the frame keeps between runs: the window placement,
// the toolbar's buttons and visibility, the status bar's visibility, the
// docking panes' visibility and sizes. It lives in its own section of the
// profile ("Workspace"), written when the main window closes and read when
// it is created; CleanState discards it, so that the next start builds the
// default layout.
#pragma once

#include "framework/windows/CWinApp.h"

#include <memory>

class CFrameWnd;
class CSingleDocTemplate;

class CWinAppEx : public CWinApp {
public:
    explicit CWinAppEx(const WCHAR* appName = nullptr);
    ~CWinAppEx() override;

    // The application owns the template from here on.
    void AddDocTemplate(CSingleDocTemplate* docTemplate);

    // The command line as the standard parser reads it: no argument asks
    // for a new document, a path for that document. Both make a new, empty
    // document (it has no file content). FALSE when the document, frame or
    // view could not be made.
    BOOL ProcessShellCommand();
    void OnFileNew();

    // The profile section of the workspace.
    static const WCHAR* WorkspaceSection() { return L"Workspace"; }
    BOOL CleanState();
    void SaveState(CFrameWnd* frame);
    void LoadState(CFrameWnd* frame);

    // How the main window is shown first: SW_SHOW, or the state the
    // workspace restored.
    int m_nCmdShow = SW_SHOW;

    BOOL OnIdle(LONG count) override;
    int ExitInstance() override;
    BOOL OnCmdMsg(UINT id, int code, CCmdUI* update) override;

protected:
    // ID_APP_EXIT: closes the main window as the user would.
    void OnAppExit();

private:
    std::unique_ptr<CSingleDocTemplate> m_docTemplate;
};
