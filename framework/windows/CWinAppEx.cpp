#include "framework/windows/CWinAppEx.h"

#include "framework/windows/CDocTemplate.h"
#include "framework/windows/CFrameWnd.h"
#include "framework/windows/CommandMap.h"
#include "framework/windows/StandardIds.h"

CWinAppEx::CWinAppEx(const WCHAR* appName) : CWinApp(appName) {}

CWinAppEx::~CWinAppEx() = default;

void CWinAppEx::AddDocTemplate(CSingleDocTemplate* docTemplate) { m_docTemplate.reset(docTemplate); }

BOOL CWinAppEx::ProcessShellCommand()
{
    if (!m_docTemplate)
        return FALSE;
    OnFileNew();
    return m_docTemplate->GetDocument() != nullptr;
}

void CWinAppEx::OnFileNew()
{
    if (m_docTemplate)
        m_docTemplate->OpenDocumentFile(nullptr);
}

BOOL CWinAppEx::CleanState() { return WriteProfileString(WorkspaceSection(), nullptr, nullptr); }

void CWinAppEx::SaveState(CFrameWnd* frame)
{
    if (frame && frame->IsWindow())
        frame->SaveBarState(WorkspaceSection());
}

void CWinAppEx::LoadState(CFrameWnd* frame)
{
    if (!frame || !frame->IsWindow())
        return;
    frame->LoadBarState(WorkspaceSection());
    m_nCmdShow = frame->GetRestoredShowCommand();
}

BOOL CWinAppEx::OnIdle(LONG count)
{
    // First pass: the main window updates its bars and views.
    if (count == 0 && m_pMainWnd && m_pMainWnd->IsWindow())
        m_pMainWnd->SendMessage(WM_IDLEUPDATECMDUI, TRUE);
    return CWinApp::OnIdle(count);
}

int CWinAppEx::ExitInstance()
{
    m_docTemplate.reset();
    return CWinApp::ExitInstance();
}

BOOL CWinAppEx::OnCmdMsg(UINT id, int code, CCmdUI* update)
{
    static const CommandEntry<CWinAppEx> commands[] = {
        Cmd(ID_APP_EXIT, &CWinAppEx::OnAppExit),
    };
    return DispatchCommand(this, commands, id, code, update) || CWinApp::OnCmdMsg(id, code, update);
}

void CWinAppEx::OnAppExit()
{
    if (m_pMainWnd && m_pMainWnd->IsWindow())
        m_pMainWnd->SendMessage(WM_CLOSE);
}
