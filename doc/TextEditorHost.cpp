#include "doc/TextEditorHost.h"

#include "framework/windows/CWinApp.h"
#include "framework/windows/CWnd.h"

CTextEditorHost* CTextEditorHost::OfMainWindow()
{
    CWnd* main = AfxGetMainWnd();
    if (!main || !main->m_hWnd)
        return nullptr;
    return dynamic_cast<CTextEditorHost*>(main);
}
