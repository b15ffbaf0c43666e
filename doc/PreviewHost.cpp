#include "doc/PreviewHost.h"

#include "framework/windows/CWinApp.h"
#include "framework/windows/CWnd.h"

CPreviewHost* CPreviewHost::OfMainWindow()
{
    CWnd* main = AfxGetMainWnd();
    if (!main || !main->m_hWnd)
        return nullptr;
    return dynamic_cast<CPreviewHost*>(main);
}
